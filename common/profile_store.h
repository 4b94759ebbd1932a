#pragma once
// The profile store: the image of the keyboard's five profiles and of the
// settings only the computer keeps. The Monitor holds one and the Config holds
// an identical mirror; blocks travel whole between them and are read at the
// same offsets on both sides.
//
// ProfileStoreBlocks is the fixed byte layout (3,041,433 bytes) of every
// block; ProfileStore adds the five lists and the talk device records. The
// store is ~3 MB: create it once with NewProfileStore(), never on a stack.
//
// Report images are kept whole (header and checksum included) as byte arrays
// indexed [profile] (and [slot], [mode][layer]); their offsets are in
// common/reports.h. Macro and effect images and light macro blocks are typed
// (common/macro_image.h), as are the records of the host settings block.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <type_traits>
#include <vector>

#include "common/bytes.h"
#include "common/fixed_text.h"
#include "common/hidmsg.h"
#include "common/macro_image.h"
#include "common/reports.h"
#include "common/slots.h"
#include "common/talk_records.h"

namespace vyre {

inline constexpr int kIlluminationModes = 2;
inline constexpr int kIlluminationLayers = 11;
inline constexpr int kTalkEntriesPerProfile = 9;
inline constexpr int kProgramLinksPerProfile = 3;
inline constexpr int kLightGroupFlagCount = 9;

constexpr bool IsProfile(int p) { return p >= 0 && p < kProfileCount; }

// ---- records of the host settings block ---------------------------------------

// Byte 108..111 of the profile host record: four separate bytes that are also
// handled as one little-endian 32-bit value.
struct SoundSettings {
    std::uint8_t unused;          // 108: read by no part of the system
    std::uint8_t volumeDisplay;   // 109: bit 0 = volume level shown on the number keys
    std::uint8_t sounds;          // 110: kMacroSound | kProfileSound | kTrophySound
    std::int8_t volumeStep;       // 111: sound volume step, signed

    static constexpr std::uint8_t kMacroSound = 0x01;
    static constexpr std::uint8_t kProfileSound = 0x02;
    static constexpr std::uint8_t kTrophySound = 0x04;

    std::uint32_t value() const { return LoadLe32(reinterpret_cast<const std::uint8_t*>(this)); }
};

struct ProfileHostRecord {
    FixedText16<25> name;       // 0: up to 24 code units and a terminating zero
    std::uint8_t zero[50];      // 50
    LeI32 repeatDelay;          // 100: 0..3; the system keyboard delay is 3 minus this
    LeI32 repeatRate;           // 104: 0..31, the system keyboard speed
    SoundSettings soundSettings;  // 108
    LeI32 player;               // 112: media player choice
};

// One talk entry: what a key sends to another device program.
struct TalkCommandEntry {
    LeU16 value0;               // 0
    LeU16 value1;               // 2: with value0, the 32-bit device key
    std::uint8_t function;      // 4: function code sent
    FixedText16<40> name;       // 5

    std::uint32_t deviceKey() const { return value0.get() | (std::uint32_t{value1.get()} << 16); }
    void set_deviceKey(std::uint32_t key) {
        value0 = static_cast<std::uint16_t>(key);
        value1 = static_cast<std::uint16_t>(key >> 16);
    }
};

struct KeyLaunchPath {
    FixedText16<256> path;        // 0: program path
    FixedText16<50> displayName;  // 512: file name without folder and extension
};

// Counter indices 0..18 and the date code at index 19 of each period.
inline constexpr int kStatisticsCounters = 19;
inline constexpr int kStatisticsDateIndex = 19;

struct StatisticsRecord {
    LeI32 lifetime[20];   // 0
    LeI32 hour[20];       // 80
    LeI32 day[20];        // 160
    LeI32 trophyPoints;   // 240
    LeU32 trophyBits;     // 244: bits 0..15 reached trophies

    // Date code year x 1,000,000 + month x 10,000 + day x 100 + hour.
    static constexpr std::int32_t DateCode(int year, int month, int day, int hour) {
        return year * 1000000 + month * 10000 + day * 100 + hour;
    }
};

struct HostSettingsBlock {
    ProfileHostRecord profileHostRecords[kProfileCount];                          // 0
    TalkCommandEntry talkCommands[kProfileCount][kTalkEntriesPerProfile];         // 580
    FixedText16<256> programLinks[kProfileCount][kProgramLinksPerProfile];        // 4,405
    HIDMSG::_STimerSettingData keyTimers[kProfileCount][kDataSlotsPerProfile];    // 12,085
    KeyLaunchPath keyLaunchPaths[kProfileCount][kDataSlotsPerProfile];            // 38,170
    StatisticsRecord statistics;                                                  // 469,630
    LeI32 windowsProfile;  // 469,878: profile while the desktop is in front; 5 = none
    LeI32 startPage;       // 469,882: page the Config opens with
    std::uint8_t modelFlag;   // 469,886: 1 = product id A, 2 = product id B, 0 = none yet
    std::uint8_t layoutCode;  // 469,887: copy of report 0x0F byte 6
    std::uint8_t modelBFlag;  // 469,888: 0 = product id A, 1 = product id B
    std::uint8_t lightGroupFlags[kProfileCount][kIlluminationModes][kIlluminationLayers]
                                [kLightGroupFlagCount];  // 469,889

    static constexpr std::int32_t kNoWindowsProfile = 5;
    static constexpr std::int32_t kTrophyStartPage = 3;
};

// ---- the blocks ----------------------------------------------------------------

struct ProfileStoreBlocks {
    std::uint8_t activeProfileReport[report::kActiveProfileLength];                // code 3
    std::uint8_t keyRemapReports[kProfileCount][report::kKeyRemapLength];          // code 4
    std::uint8_t functionKeyReports[kProfileCount][report::kFunctionKeysLength];   // code 5
    std::uint8_t thumbKeyReports[kProfileCount][report::kThumbKeysLength];         // code 7
    std::uint8_t profileOptionReports[kProfileCount][report::kProfileOptionsLength];  // code 8
    std::uint8_t flexKeyReports[kProfileCount][report::kFlexKeysLength];           // code 9
    std::uint8_t lightOptionReports[kProfileCount][report::kOptionBitsLength];     // code 10
    std::uint8_t lightReports[kProfileCount][report::kLightSettingsLength];        // code 38
    std::uint8_t deviceInfoReport[report::kDeviceInfoLength];                      // code 2
    std::uint8_t liveLightReport[report::kLiveLightLength];
    std::uint8_t globalReport14[report::kGlobal14Length];                          // code 40
    std::uint8_t globalReport16[report::kFlexStateLength];                         // code 41
    MacroReportImage macroReports[kProfileCount][kMacroSlotsPerProfile];           // code 11
    LightMacroBlock lightMacroBlocks[kProfileCount][kDataSlotsPerProfile];         // code 33
    std::uint8_t reservedBlock[14];                                                // code 42
    HostSettingsBlock hostSettingsBlock;                                           // code 12
    std::uint8_t illuminationTable[kProfileCount][kIlluminationModes][kIlluminationLayers]
                                  [report::kIlluminationLength];                   // code 34
    std::uint8_t keyLightBitmaps[kProfileCount][report::kKeyLightBitmapLength];
    MacroReportImage effectReports[kProfileCount];                                 // code 52

    // The profile the keyboard and the Monitor use now (byte 2 of the report
    // 0x05 image). A value outside 0..4 is never handed out: it reads as 0.
    int currentProfile() const {
        const int p = activeProfileReport[2];
        return IsProfile(p) ? p : 0;
    }
    // Sets the current profile; refuses values outside 0..4.
    bool setCurrentProfile(int p) {
        if (!IsProfile(p)) return false;
        activeProfileReport[2] = static_cast<std::uint8_t>(p);
        return true;
    }

    ProfileHostRecord& hostRecord(int p) { return hostSettingsBlock.profileHostRecords[p]; }
    const ProfileHostRecord& hostRecord(int p) const { return hostSettingsBlock.profileHostRecords[p]; }
    StatisticsRecord& statistics() { return hostSettingsBlock.statistics; }
    const StatisticsRecord& statistics() const { return hostSettingsBlock.statistics; }

    // Per profile and slot. Slots are checked by the caller (SlotHasMacro / SlotHasData).
    MacroReportImage& macroImage(int p, int slot) { return macroReports[p][slot]; }
    LightMacroBlock& lightMacro(int p, int slot) { return lightMacroBlocks[p][slot]; }
    HIDMSG::_STimerSettingData& keyTimer(int p, int slot) { return hostSettingsBlock.keyTimers[p][slot]; }
    KeyLaunchPath& launchPath(int p, int slot) { return hostSettingsBlock.keyLaunchPaths[p][slot]; }

    // Per profile, illumination mode and layer (record (p x 2 + mode) x 11 + layer).
    std::span<std::uint8_t, report::kIlluminationLength> illumination(int p, int mode, int layer) {
        return illuminationTable[p][mode][layer];
    }
    std::span<const std::uint8_t, report::kIlluminationLength> illumination(int p, int mode,
                                                                            int layer) const {
        return illuminationTable[p][mode][layer];
    }
};

// ---- the store -----------------------------------------------------------------

struct ProfileStore : ProfileStoreBlocks {
    std::vector<HIDMSG::_SMacroGroupData> macroSets;          // list 26
    std::vector<HIDMSG::_SMacroDefaultData> macros;           // list 25
    std::vector<HIDMSG::_SMacroGroupData> lightMacroSets;     // list 31
    std::vector<HIDMSG::_SMacroDefaultData> lightMacros;      // list 32
    std::vector<HIDMSG::_STimerSettingData> timers;           // list 21
    std::map<std::uint32_t, TalkDeviceRecord> talkDevices;    // by the record's key

    ProfileStoreBlocks& blocks() { return *this; }
    const ProfileStoreBlocks& blocks() const { return *this; }
};

// A zeroed store on the heap.
std::unique_ptr<ProfileStore> NewProfileStore();

// Zeroes the device images (active profile, per-profile reports 0x06..0x0D,
// live light, reports 0x14 and 0x16, macros, light macro blocks) and the host
// settings block except its statistics. Device information, the reserved
// block, the illumination table, key light bitmaps, effect images and the
// lists are kept. Used when a keyboard is opened and when it is removed.
void ClearStore(ProfileStore& store);

// Factory settings of the store: ClearStore without touching the host settings
// block, then program links, launch paths and key timers zeroed, no Windows
// profile, start page 0, and per profile the default name, repeat, sound and
// player settings, key remap (each key its own usage, `keyUsages` by key
// index), function and thumb keys, profile options, option bits, light
// settings and light group flags. Ids, length and profile bytes of the images
// are left zero; they are set when an image is written.
void ResetStoreToDefaults(ProfileStore& store,
                          std::span<const std::uint8_t, report::kRemapKeyCount> keyUsages);

// Light group flags of one layer after a reset.
void DefaultLightGroupFlags(int layer, std::uint8_t (&flags)[kLightGroupFlagCount]);

// ---- layout, pinned ----------------------------------------------------------------

static_assert(sizeof(SoundSettings) == 4);
static_assert(sizeof(ProfileHostRecord) == 116 && alignof(ProfileHostRecord) == 1);
static_assert(offsetof(ProfileHostRecord, zero) == 50);
static_assert(offsetof(ProfileHostRecord, repeatDelay) == 100);
static_assert(offsetof(ProfileHostRecord, repeatRate) == 104);
static_assert(offsetof(ProfileHostRecord, soundSettings) == 108);
static_assert(offsetof(ProfileHostRecord, player) == 112);

static_assert(sizeof(TalkCommandEntry) == 85);
static_assert(offsetof(TalkCommandEntry, function) == 4);
static_assert(offsetof(TalkCommandEntry, name) == 5);
static_assert(sizeof(TalkCommandEntry[kTalkEntriesPerProfile]) == 765);

static_assert(sizeof(KeyLaunchPath) == 612);
static_assert(offsetof(KeyLaunchPath, displayName) == 512);
static_assert(sizeof(FixedText16<256>[kProgramLinksPerProfile]) == 1536);

static_assert(sizeof(StatisticsRecord) == 248);
static_assert(offsetof(StatisticsRecord, hour) == 80);
static_assert(offsetof(StatisticsRecord, day) == 160);
static_assert(offsetof(StatisticsRecord, trophyPoints) == 240);
static_assert(offsetof(StatisticsRecord, trophyBits) == 244);

static_assert(sizeof(HostSettingsBlock) == 470879 && alignof(HostSettingsBlock) == 1);
static_assert(offsetof(HostSettingsBlock, profileHostRecords) == 0);
static_assert(offsetof(HostSettingsBlock, talkCommands) == 580);
static_assert(offsetof(HostSettingsBlock, programLinks) == 4405);
static_assert(offsetof(HostSettingsBlock, keyTimers) == 12085);
static_assert(offsetof(HostSettingsBlock, keyLaunchPaths) == 38170);
static_assert(offsetof(HostSettingsBlock, statistics) == 469630);
static_assert(offsetof(HostSettingsBlock, windowsProfile) == 469878);
static_assert(offsetof(HostSettingsBlock, startPage) == 469882);
static_assert(offsetof(HostSettingsBlock, modelFlag) == 469886);
static_assert(offsetof(HostSettingsBlock, layoutCode) == 469887);
static_assert(offsetof(HostSettingsBlock, modelBFlag) == 469888);
static_assert(offsetof(HostSettingsBlock, lightGroupFlags) == 469889);
static_assert(sizeof(HostSettingsBlock::keyTimers) == 26085);
static_assert(sizeof(HostSettingsBlock::keyLaunchPaths) == 431460);

static_assert(sizeof(ProfileStoreBlocks) == 3041433 && alignof(ProfileStoreBlocks) == 1);
static_assert(std::is_standard_layout_v<ProfileStoreBlocks> &&
              std::is_trivially_copyable_v<ProfileStoreBlocks>);
static_assert(sizeof(ProfileStoreBlocks::keyRemapReports) == 625);
static_assert(sizeof(ProfileStoreBlocks::functionKeyReports) == 475);
static_assert(sizeof(ProfileStoreBlocks::thumbKeyReports) == 115);
static_assert(sizeof(ProfileStoreBlocks::profileOptionReports) == 40);
static_assert(sizeof(ProfileStoreBlocks::flexKeyReports) == 1470);
static_assert(sizeof(ProfileStoreBlocks::lightOptionReports) == 30);
static_assert(sizeof(ProfileStoreBlocks::lightReports) == 80);
static_assert(sizeof(ProfileStoreBlocks::macroReports) == 1121120);
static_assert(sizeof(ProfileStoreBlocks::lightMacroBlocks) == 1408590);
static_assert(sizeof(ProfileStoreBlocks::illuminationTable) == 27830);
static_assert(sizeof(ProfileStoreBlocks::keyLightBitmaps) == 100);
static_assert(sizeof(ProfileStoreBlocks::effectReports) == 10010);

}  // namespace vyre
