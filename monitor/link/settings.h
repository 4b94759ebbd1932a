#pragma once
// What the Monitor keeps on the computer across runs: the registry values of
// the settings key and the four files of the data folder's Config/ folder
// (timer list, macro library, light macro library, light macros of keys).
//
// Profile numbers in value names and file sections count from 1, slot numbers
// in value names count from 1 (function slot + 1); light macro keys of
// "IlluminationButtonSet.dat" count from 0.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/profile_store.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace vyre {

// The local date code: year x 1,000,000 + month x 10,000 + day x 100 + hour.
std::int32_t CurrentDateCode();

// First-start value of "PF%d SOUND": every sound off, the volume display off,
// volume step 2 (byte 111), the step a reset gives too.
inline constexpr std::uint32_t kFirstStartSoundSettings = 0x02000000;

class SettingsPersistence {
  public:
    // `configFolder` holds Timer.ini and the .dat files (created on the first write).
    SettingsPersistence(platform::Registry& registry, std::filesystem::path configFolder);

    std::filesystem::path timerFile() const { return folder_ / "Timer.ini"; }
    std::filesystem::path macroFile() const { return folder_ / "Preset_sequence.dat"; }
    std::filesystem::path lightMacroFile() const { return folder_ / "Preset_sequenceIll.dat"; }
    std::filesystem::path lightBlockFile() const { return folder_ / "IlluminationButtonSet.dat"; }

    // Loads every registry value into the store (writing the default of each
    // value that is missing or unreadable; on a first start, of every value),
    // then the timer list with the key timers and launch paths, then both
    // macro libraries. `system` is the system's keyboard repeat setting, the
    // default of the repeat values. Returns true on a first start.
    bool Load(ProfileStore& store, const platform::KeyboardRepeat& system, std::int32_t dateCode);

    // Stamps the date code into the statistics and writes the start page,
    // Windows profile, statistics and every per-profile value.
    void SaveAll(ProfileStore& store, std::int32_t dateCode);

    // --- single values -----------------------------------------------------
    void WriteWindowsProfile(std::int32_t profile);
    void WriteStatistics(const StatisticsRecord& statistics);
    // "PF%d Timer Name%d" of a key timer: written when it has a name and
    // seconds above 0, deleted when it has neither, left alone otherwise.
    void UpdateKeyTimerName(int profile, int slot, const HIDMSG::_STimerSettingData& timer);
    void DeleteKeyTimerName(int profile, int slot);
    // "PF%d Launch %d": written when the path is not empty, else deleted.
    void UpdateLaunchPath(int profile, int slot, const KeyLaunchPath& launch);
    // Deletes every timer name and launch path value (profiles 1..5, slots 1..141).
    void DeleteAllKeyTimersAndLaunchPaths();

    // --- files -------------------------------------------------------------
    std::vector<HIDMSG::_STimerSettingData> LoadTimers();
    // Writes the whole list anew in place of the old one (one atomic rewrite).
    void RewriteTimers(const std::vector<HIDMSG::_STimerSettingData>& timers);
    // Rewrites the key of one timer (its index).
    void WriteTimer(const HIDMSG::_STimerSettingData& timer);

    void LoadLibrary(bool light, std::vector<HIDMSG::_SMacroGroupData>& sets,
                     std::vector<HIDMSG::_SMacroDefaultData>& macros);
    // Set operations (byte 8: 1 add, 2 modify, 3 delete) on the list and the file.
    // An added set goes to the end of the list; a set named like the index
    // section ("SetMacro", in any case) is refused.
    void ApplySetOperation(bool light, const HIDMSG::_SMacroGroupData& record,
                           std::vector<HIDMSG::_SMacroGroupData>& sets,
                           std::vector<HIDMSG::_SMacroDefaultData>& macros);
    // Macro operations (byte 8: 1 add, 2 modify, 3 delete) on the list and the file.
    void ApplyMacroOperation(bool light, const HIDMSG::_SMacroDefaultData& record,
                             std::vector<HIDMSG::_SMacroDefaultData>& macros);

    // Where a damaged settings file was kept when it was read; empty while
    // every read was whole.
    std::optional<std::filesystem::path> DamagedSettingsFile() { return registry_.DamagedFile(); }
    // The files of the folder that loads found damaged (bit n: file n of
    // link::notice::kDamaged...). Each was kept beside itself as
    // "<name>.damaged-<time>", read as far as it could be, and written anew
    // from what was read, so that later writes and loads agree with it.
    std::uint32_t DamagedFiles() const { return damagedFiles_; }

    // The registry key the values go to (for a Batch around many writes).
    platform::Registry& registry() { return registry_; }

    void WriteLightMacroBlock(int profile, int slot, const LightMacroBlock& block);
    // False (block unchanged) when the text is missing or fails its check.
    bool ReadLightMacroBlock(int profile, int slot, LightMacroBlock& block);

  private:
    void LoadRegistry(ProfileStore& store, const platform::KeyboardRepeat& system,
                      std::int32_t dateCode, bool firstStart);
    void LoadKeyTimersAndLaunchPaths(ProfileStore& store);
    // Keeps the light macro blocks' file aside when it does not read whole
    // or holds a block that fails its check, and writes it anew with the
    // blocks that pass.
    void CheckLightBlockFile();
    std::filesystem::path LibraryFile(bool light) const {
        return light ? lightMacroFile() : macroFile();
    }

    // Keeps a copy of a damaged file, logs it and marks it (bit `which`).
    void FileDamaged(const std::filesystem::path& file, long which);

    platform::Registry& registry_;
    std::filesystem::path folder_;
    std::uint32_t damagedFiles_ = 0;
};

}  // namespace vyre
