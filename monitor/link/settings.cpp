#include "monitor/link/settings.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <system_error>

#include "common/link_codes.h"
#include "common/log.h"
#include "common/stored_name.h"
#include "monitor/link/settings_text.h"
#include "platform/atomic_file.h"
#include "platform/profile_ini.h"
#include "platform/text.h"

namespace vyre {
namespace {

using platform::RegStatus;
using platform::RegType;

constexpr const char* kArea = "settings";
// Damaged files cannot make a load run for ever.
constexpr int kMaxListEntries = 100000;

std::string Name(const char* format, int a) {
    return log::Format(format, a);
}
std::string Name(const char* format, int a, int b) {
    return log::Format(format, a, b);
}
std::string Name(const char* format, int a, int b, int c) {
    return log::Format(format, a, b, c);
}

std::u16string DefaultProfileName(int profile) {
    return text::Utf8ToUtf16("Default" + std::to_string(profile + 1));
}

std::uint32_t LightGroupBits(const std::uint8_t (&flags)[kLightGroupFlagCount]) {
    std::uint32_t bits = 0;
    for (int i = 0; i < kLightGroupFlagCount; ++i) {
        if (flags[i] != 0) bits |= 1u << i;
    }
    return bits;
}

void SetLightGroupBits(std::uint32_t bits, std::uint8_t (&flags)[kLightGroupFlagCount]) {
    for (int i = 0; i < kLightGroupFlagCount; ++i) flags[i] = (bits >> i) & 1u;
}

// The display name of a launch path: the file name without its folder, up to
// its first dot ("C:\Games\app.v2.exe" gives "app").
std::u16string LaunchDisplayName(std::u16string_view path) {
    const std::size_t slash = path.find_last_of(u"\\/");
    std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    return std::u16string(name.substr(0, name.find(u'.')));
}

std::string SetNameOf(const FixedText<40>& name) {
    return name.str();
}

// The section that lists the sets of a library file; a set of this name
// would share it.
bool IsIndexSectionName(const std::string& name) {
    return SameStoredName(name, "SetMacro", kStoredSetNameBytes, text::EqualNoCaseUtf8);
}

// INI access with narrow names (the files are UTF-8, as is the system's
// multibyte page, so set names need no conversion).
std::string IniGet(const std::string& section, const std::string& key,
                   const std::filesystem::path& file) {
    return platform::GetPrivateProfileString(section, key, "", file);
}
int IniInt(const std::string& section, const std::string& key, const std::filesystem::path& file) {
    return platform::GetPrivateProfileInt(section, key, 0, file);
}
void IniSet(const std::string& section, const std::string& key, const std::string& value,
            const std::filesystem::path& file) {
    if (!platform::WritePrivateProfileString(section, key.c_str(), value.c_str(), file)) {
        log::Warning(kArea, "cannot write [" + section + "] " + key + " of " + file.string());
    }
}
void IniDeleteKey(const std::string& section, const std::string& key,
                  const std::filesystem::path& file) {
    platform::WritePrivateProfileString(section, key.c_str(), nullptr, file);
}
void IniDeleteSection(const std::string& section, const std::filesystem::path& file) {
    platform::WritePrivateProfileString(section, nullptr, nullptr, file);
}

}  // namespace

std::int32_t CurrentDateCode() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return StatisticsRecord::DateCode(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                      local.tm_hour);
}

SettingsPersistence::SettingsPersistence(platform::Registry& registry,
                                         std::filesystem::path configFolder)
    : registry_(registry), folder_(std::move(configFolder)) {}

// ---- registry ---------------------------------------------------------------------

bool SettingsPersistence::Load(ProfileStore& store, const platform::KeyboardRepeat& system,
                               std::int32_t dateCode) {
    const bool firstStart = !registry_.KeyExists();
    if (firstStart) {
        log::Info(kArea, "first start: writing the default settings");
        store.setCurrentProfile(0);
    }
    LoadRegistry(store, system, dateCode, firstStart);
    store.timers = LoadTimers();
    LoadKeyTimersAndLaunchPaths(store);
    store.macroSets.clear();
    store.macros.clear();
    store.lightMacroSets.clear();
    store.lightMacros.clear();
    LoadLibrary(false, store.macroSets, store.macros);
    LoadLibrary(true, store.lightMacroSets, store.lightMacros);
    CheckLightBlockFile();
    return firstStart;
}

void SettingsPersistence::LoadRegistry(ProfileStore& store, const platform::KeyboardRepeat& system,
                                       std::int32_t dateCode, bool firstStart) {
    platform::Registry::Batch batch(registry_);
    HostSettingsBlock& host = store.hostSettingsBlock;

    // Each value is read into its field; a value that is missing, unreadable
    // or out of range is written with its default, which the field takes.
    auto dword = [&](const std::string& name, std::int32_t fallback, auto valid) -> std::int32_t {
        if (!firstStart) {
            if (auto v = registry_.ReadDword(name); v && valid(static_cast<std::int32_t>(*v))) {
                return static_cast<std::int32_t>(*v);
            }
        }
        registry_.WriteDword(name, static_cast<std::uint32_t>(fallback));
        return fallback;
    };
    auto any = [](std::int32_t) { return true; };
    auto string = [&](const std::string& name, std::uint32_t maxBytes,
                      const std::u16string& fallback) -> std::u16string {
        if (!firstStart) {
            if (auto v = registry_.ReadString(name, maxBytes)) return *v;
        }
        registry_.WriteString(name, RegType::MultiSz, fallback);
        return fallback;
    };
    auto binary = [&](const std::string& name, std::span<std::uint8_t> field,
                      std::span<const std::uint8_t> fallback) {
        if (!firstStart) {
            std::vector<std::uint8_t> buffer(field.size());
            RegType type = RegType::None;
            std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
            if (registry_.QueryValue(name, &type, buffer.data(), &size) == RegStatus::Ok &&
                type == RegType::Binary && size == field.size()) {
                std::copy(buffer.begin(), buffer.end(), field.begin());
                return;
            }
        }
        std::copy(fallback.begin(), fallback.end(), field.begin());
        registry_.SetValue(name, RegType::Binary, field.data(),
                           static_cast<std::uint32_t>(field.size()));
    };

    host.startPage = dword("Start Page", 0, [](std::int32_t v) { return v >= 0 && v <= 4; });
    host.windowsProfile = dword("Windows Profile", HostSettingsBlock::kNoWindowsProfile,
                                [](std::int32_t v) { return v >= 0 && v <= 5; });
    {
        StatisticsRecord fresh{};
        std::memset(static_cast<void*>(&fresh), 0, sizeof fresh);
        fresh.lifetime[kStatisticsDateIndex] = dateCode;
        fresh.hour[kStatisticsDateIndex] = dateCode;
        fresh.day[kStatisticsDateIndex] = dateCode;
        binary("Statistic DB", BytesOf(host.statistics), BytesOf(fresh));
    }

    for (int p = 0; p < kProfileCount; ++p) {
        const int n = p + 1;
        ProfileHostRecord& rec = host.profileHostRecords[p];
        rec.repeatDelay =
            dword(Name("PF%d Repeat Delay Time", n), platform::kRepeatDelayMax - system.delay, any);
        rec.repeatRate = dword(Name("PF%d Repeat Rate", n), system.speed, any);
        const std::uint32_t sound = static_cast<std::uint32_t>(
            dword(Name("PF%d SOUND", n), static_cast<std::int32_t>(kFirstStartSoundSettings), any));
        StoreLe32(reinterpret_cast<std::uint8_t*>(&rec.soundSettings), sound);
        rec.player = dword(Name("PF%d Player", n), 0, any);
        rec.name.set(string(Name("PF%d NAME", n), sizeof rec.name, DefaultProfileName(p)));
        for (int e = 0; e < kProgramLinksPerProfile; ++e) {
            FixedText16<256>& link = host.programLinks[p][e];
            link.set(string(Name("PF%d EXEC%d", n, e + 1), sizeof link, u""));
        }
        const auto talkBytes = BytesOf(host.talkCommands[p]);
        const std::vector<std::uint8_t> talkNow(talkBytes.begin(), talkBytes.end());
        binary(Name("PF%d TalkCommand", n), talkBytes, talkNow);
        for (int mode = 0; mode < kIlluminationModes; ++mode) {
            for (int layer = 0; layer < kIlluminationLayers; ++layer) {
                std::uint8_t defaults[kLightGroupFlagCount];
                DefaultLightGroupFlags(layer, defaults);
                const std::int32_t bits =
                    dword(Name("PF%d KeyIllumination %d_%d", n, mode, layer),
                          static_cast<std::int32_t>(LightGroupBits(defaults)), any);
                SetLightGroupBits(static_cast<std::uint32_t>(bits),
                                  host.lightGroupFlags[p][mode][layer]);
            }
        }
    }
    if (!batch.Commit()) log::Warning(kArea, "the settings could not be written");
}

void SettingsPersistence::LoadKeyTimersAndLaunchPaths(ProfileStore& store) {
    for (int p = 0; p < kProfileCount; ++p) {
        for (int slot = 0; slot < kDataSlotsPerProfile; ++slot) {
            HIDMSG::_STimerSettingData& timer = store.keyTimer(p, slot);
            if (auto name = registry_.ReadString(Name("PF%d Timer Name%d", p + 1, slot + 1), 50)) {
                text::WideToMultiByteField(text::kCodePageSystem, *name, timer.name.bytes,
                                           sizeof timer.name.bytes);
                for (const auto& listed : store.timers) {
                    if (std::memcmp(listed.name.bytes, timer.name.bytes, sizeof timer.name.bytes) ==
                        0) {
                        timer.seconds = listed.seconds.get();
                        break;
                    }
                }
                timer.set_running(false);
                timer.set_remaining(0);
            }
            KeyLaunchPath& launch = store.launchPath(p, slot);
            if (auto path = registry_.ReadString(Name("PF%d Launch %d", p + 1, slot + 1), 512)) {
                launch.path.set(*path);
                launch.displayName.set(LaunchDisplayName(launch.path.str()));
            }
        }
    }
}

void SettingsPersistence::SaveAll(ProfileStore& store, std::int32_t dateCode) {
    HostSettingsBlock& host = store.hostSettingsBlock;
    host.statistics.lifetime[kStatisticsDateIndex] = dateCode;
    host.statistics.hour[kStatisticsDateIndex] = dateCode;
    host.statistics.day[kStatisticsDateIndex] = dateCode;

    platform::Registry::Batch batch(registry_);
    registry_.WriteDword("Start Page", static_cast<std::uint32_t>(host.startPage.get()));
    registry_.WriteDword("Windows Profile", static_cast<std::uint32_t>(host.windowsProfile.get()));
    WriteStatistics(host.statistics);
    for (int p = 0; p < kProfileCount; ++p) {
        const int n = p + 1;
        const ProfileHostRecord& rec = host.profileHostRecords[p];
        registry_.WriteDword(Name("PF%d Repeat Delay Time", n),
                             static_cast<std::uint32_t>(rec.repeatDelay.get()));
        registry_.WriteDword(Name("PF%d Repeat Rate", n),
                             static_cast<std::uint32_t>(rec.repeatRate.get()));
        registry_.WriteDword(Name("PF%d SOUND", n), rec.soundSettings.value());
        registry_.WriteDword(Name("PF%d Player", n), static_cast<std::uint32_t>(rec.player.get()));
        registry_.WriteString(Name("PF%d NAME", n), RegType::MultiSz, rec.name.str());
        for (int e = 0; e < kProgramLinksPerProfile; ++e) {
            registry_.WriteString(Name("PF%d EXEC%d", n, e + 1), RegType::MultiSz,
                                  host.programLinks[p][e].str());
        }
        const auto talk = BytesOf(host.talkCommands[p]);
        registry_.SetValue(Name("PF%d TalkCommand", n), RegType::Binary, talk.data(),
                           static_cast<std::uint32_t>(talk.size()));
        for (int mode = 0; mode < kIlluminationModes; ++mode) {
            for (int layer = 0; layer < kIlluminationLayers; ++layer) {
                registry_.WriteDword(Name("PF%d KeyIllumination %d_%d", n, mode, layer),
                                     LightGroupBits(host.lightGroupFlags[p][mode][layer]));
            }
        }
    }
    if (!batch.Commit()) log::Warning(kArea, "the settings could not be written");
}

void SettingsPersistence::WriteWindowsProfile(std::int32_t profile) {
    registry_.WriteDword("Windows Profile", static_cast<std::uint32_t>(profile));
}

void SettingsPersistence::WriteStatistics(const StatisticsRecord& statistics) {
    const auto bytes = BytesOf(statistics);
    registry_.SetValue("Statistic DB", RegType::Binary, bytes.data(),
                       static_cast<std::uint32_t>(bytes.size()));
}

void SettingsPersistence::UpdateKeyTimerName(int profile, int slot,
                                             const HIDMSG::_STimerSettingData& timer) {
    const std::string name = Name("PF%d Timer Name%d", profile + 1, slot + 1);
    if (timer.seconds.get() > 0 && !timer.name.empty()) {
        // A REG_SZ of the name field's full 50 bytes.
        FixedText16<25> wide{};
        wide.set(text::MultiByteToWide(text::kCodePageSystem, timer.name.str()));
        registry_.SetValue(name, RegType::Sz, wide.bytes, sizeof wide.bytes);
    } else if (timer.seconds.get() == 0 && timer.name.empty()) {
        registry_.DeleteValue(name);
    }
}

void SettingsPersistence::DeleteKeyTimerName(int profile, int slot) {
    registry_.DeleteValue(Name("PF%d Timer Name%d", profile + 1, slot + 1));
}

void SettingsPersistence::UpdateLaunchPath(int profile, int slot, const KeyLaunchPath& launch) {
    const std::string name = Name("PF%d Launch %d", profile + 1, slot + 1);
    if (launch.path.empty()) {
        registry_.DeleteValue(name);
    } else {
        // The whole 512-byte path field.
        registry_.SetValue(name, RegType::MultiSz, launch.path.bytes, sizeof launch.path.bytes);
    }
}

void SettingsPersistence::DeleteAllKeyTimersAndLaunchPaths() {
    platform::Registry::Batch batch(registry_);
    for (int p = 1; p <= kProfileCount; ++p) {
        for (int slot = 1; slot <= kFunctionSlotCount - 1; ++slot) {
            registry_.DeleteValue(Name("PF%d Timer Name%d", p, slot));
            registry_.DeleteValue(Name("PF%d Launch %d", p, slot));
        }
    }
}

// ---- timer list ---------------------------------------------------------------------

std::vector<HIDMSG::_STimerSettingData> SettingsPersistence::LoadTimers() {
    std::vector<HIDMSG::_STimerSettingData> timers;
    const auto file = timerFile();
    const int count = std::min(IniInt("Timer", "Count", file), kMaxListEntries);
    int skipped = 0, firstSkipped = 0;
    for (int key = 0; key < count; ++key) {
        HIDMSG::_STimerSettingData timer{};
        std::memset(static_cast<void*>(&timer), 0, sizeof timer);
        std::int32_t seconds = 0;
        if (!ParseTimerText(IniGet("Timer", std::to_string(key), file), &seconds, &timer.name)) {
            if (skipped++ == 0) firstSkipped = key;
            continue;
        }
        // The index is the timer's position, which deletions rely on.
        timer.index = static_cast<std::int32_t>(timers.size());
        timer.seconds = seconds;
        timers.push_back(timer);
    }
    // One line for all of them: a damaged count must not flood the log.
    if (skipped > 0) {
        log::Warning(kArea, log::Format("Timer.ini: %d of %d timers are missing or damaged (the first: %d); "
                                        "skipped",
                                        skipped, count, firstSkipped));
    }
    if (skipped > 0 || !platform::ProfileFileReadsWhole(file)) {
        // The list is written anew as it was read: the keys then are the
        // timers' positions again, which later writes of one timer rely on.
        FileDamaged(file, link::notice::kDamagedTimers);
        platform::ProfileFile fresh;
        fresh.Set("Timer", "Count", std::to_string(timers.size()));
        for (const auto& t : timers)
            fresh.Set("Timer", std::to_string(t.index.get()), TimerText(t.seconds, t.name));
        if (!fresh.Save(file)) log::Warning(kArea, "cannot write " + file.string());
    }
    return timers;
}

void SettingsPersistence::RewriteTimers(const std::vector<HIDMSG::_STimerSettingData>& timers) {
    const auto file = timerFile();
    // The old list goes in the same rewrite that writes the new one, so the
    // file holds one or the other whatever happens.
    platform::ProfileWriteBatch batch;
    IniDeleteSection("Timer", file);
    IniSet("Timer", "Count", std::to_string(timers.size()), file);
    for (std::size_t i = 0; i < timers.size(); ++i) {
        IniSet("Timer", std::to_string(i), TimerText(timers[i].seconds, timers[i].name), file);
    }
    if (!batch.Commit()) log::Warning(kArea, "cannot write " + file.string());
}

void SettingsPersistence::WriteTimer(const HIDMSG::_STimerSettingData& timer) {
    IniSet("Timer", std::to_string(timer.index.get()), TimerText(timer.seconds, timer.name),
           timerFile());
}

// ---- macro libraries -------------------------------------------------------------------

void SettingsPersistence::LoadLibrary(bool light, std::vector<HIDMSG::_SMacroGroupData>& sets,
                                      std::vector<HIDMSG::_SMacroDefaultData>& macros) {
    const auto file = LibraryFile(light);
    bool damaged = !platform::ProfileFileReadsWhole(file);
    // Keys of macros that are there but fail their check, per set read.
    std::vector<std::pair<std::string, std::vector<std::string>>> failing;
    const int setCount = std::min(IniInt("SetMacro", "number", file), kMaxListEntries);
    std::vector<std::string> names;
    for (int i = 0; i < setCount; ++i) {
        const std::string name = IniGet("SetMacro", std::to_string(i), file);
        if (name.empty()) {
            damaged = true;  // the index was cut
            continue;
        }
        if (IsIndexSectionName(name)) {
            log::Warning(kArea, file.filename().string() + ": a set named like the index section (\"" + name +
                                    "\") is skipped");
            continue;
        }
        const bool twice = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return SameStoredName(n, name, kStoredSetNameBytes, text::EqualNoCaseUtf8);
        });
        if (twice) {
            damaged = true;  // one section cannot be two sets
            continue;
        }
        // A set whose section is gone stays, empty.
        if (platform::GetPrivateProfileKeyNames(text::Utf8ToUtf16(name), file).empty()) damaged = true;
        names.push_back(name);
    }
    // A set's own section is found when the index lost it.
    for (const auto& section : platform::GetPrivateProfileSectionNames(file)) {
        const std::string name = text::Utf16ToUtf8(section);
        if (name.empty() || IsIndexSectionName(name) || IniGet(name, "number", file).empty()) continue;
        const bool listed = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
            return SameStoredName(n, name, kStoredSetNameBytes, text::EqualNoCaseUtf8);
        });
        if (listed) continue;
        damaged = true;
        names.push_back(name);
    }
    for (const std::string& name : names) {
        HIDMSG::_SMacroGroupData set{};
        std::memset(static_cast<void*>(&set), 0, sizeof set);
        set.setNumber = static_cast<std::int32_t>(sets.size());
        const int macroCount = std::min(IniInt(name, "number", file), kMaxListEntries);
        set.macroCount = macroCount;
        set.name.bytes[0] = 0;
        text::WideToMultiByteField(text::kCodePageSystem, text::Utf8ToUtf16(name), set.name.bytes,
                                   sizeof set.name.bytes);
        int skipped = 0, firstSkipped = 0;
        std::vector<std::string> bad;
        for (int k = 0; k < macroCount; ++k) {
            auto macro = std::make_unique<HIDMSG::_SMacroDefaultData>();
            std::memset(static_cast<void*>(macro.get()), 0, sizeof *macro);
            macro->setNumber = set.setNumber.get();
            macro->macroNumber = k;
            macro->setName = set.name;
            const std::string line = IniGet(name, std::to_string(k), file);
            if (!ParseMacroText(line, light, macro.get())) {
                if (skipped++ == 0) firstSkipped = k;
                if (!line.empty()) bad.push_back(std::to_string(k));
                continue;
            }
            macros.push_back(*macro);
        }
        if (skipped > 0) {
            log::Warning(kArea, file.filename().string() + log::Format(": %d of %d macros", skipped, macroCount) +
                                    " of set \"" + name + "\" are missing or fail their check (the first: " +
                                    std::to_string(firstSkipped) + "); skipped");
        }
        if (!bad.empty()) {
            damaged = true;
            failing.emplace_back(name, std::move(bad));
        }
        sets.push_back(set);
    }
    if (!damaged) return;
    FileDamaged(file, light ? link::notice::kDamagedLightMacros : link::notice::kDamagedMacros);
    // Written anew from what was read: the index lists every set read, each
    // set keeps its keys but the macros that failed their check (the copy
    // keeps those), and nothing that could not be read stays.
    platform::ProfileFile fresh;
    fresh.Set("SetMacro", "number", std::to_string(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        fresh.Set("SetMacro", std::to_string(i), name);
        const auto bad = std::find_if(failing.begin(), failing.end(), [&](const auto& f) { return f.first == name; });
        fresh.Set(name, "number", std::to_string(std::max(IniInt(name, "number", file), 0)));
        for (const auto& key : platform::GetPrivateProfileKeyNames(text::Utf8ToUtf16(name), file)) {
            const std::string k = text::Utf16ToUtf8(key);
            const bool failed = bad != failing.end() &&
                                std::find(bad->second.begin(), bad->second.end(), k) != bad->second.end();
            if (failed || text::EqualNoCaseUtf8(k, "number")) continue;
            fresh.Set(name, k, IniGet(name, k, file));
        }
    }
    if (!fresh.Save(file)) log::Warning(kArea, "cannot write " + file.string());
}

void SettingsPersistence::ApplySetOperation(bool light, const HIDMSG::_SMacroGroupData& record,
                                            std::vector<HIDMSG::_SMacroGroupData>& sets,
                                            std::vector<HIDMSG::_SMacroDefaultData>& macros) {
    const auto file = LibraryFile(light);
    const std::string name = SetNameOf(record.name);
    auto named = [&](const std::string& n) {
        return std::find_if(sets.begin(), sets.end(), [&](const HIDMSG::_SMacroGroupData& s) {
            return SameStoredName(SetNameOf(s.name), n, kStoredSetNameBytes, text::EqualNoCaseUtf8);
        });
    };
    HIDMSG::_SMacroGroupData stored = record;
    stored.change = HIDMSG::kChangeNone;
    if ((record.change == HIDMSG::kChangeAdd || record.change == HIDMSG::kChangeModify) &&
        IsIndexSectionName(name)) {
        // Its macros would go into the index of sets.
        log::Warning(kArea, file.filename().string() + ": a set cannot be named \"" + name +
                                "\", the name of the index of sets; refused");
        return;
    }
    platform::ProfileWriteBatch batch;
    switch (record.change) {
        case HIDMSG::kChangeAdd: {
            // A set is known by its name, which is also its section in the file.
            // Names that the file would keep as one are one set.
            if (StoredName(name, kStoredSetNameBytes).empty() || named(name) != sets.end()) {
                log::Warning(kArea, file.filename().string() + ": a set named \"" + name +
                                        "\" would be one with another set; refused");
                return;
            }
            // It is stored at the place it takes at the end of the list,
            // whatever index it came with: that is where a restart finds it.
            const auto position = static_cast<std::int32_t>(sets.size());
            stored.setNumber = position;
            sets.push_back(stored);
            IniSet(name, "number", "0", file);
            IniSet("SetMacro", "number", std::to_string(sets.size()), file);
            IniSet("SetMacro", std::to_string(position), name, file);
            break;
        }
        case HIDMSG::kChangeModify: {
            const std::int32_t index = record.setNumber;
            if (index < 0 || static_cast<std::size_t>(index) >= sets.size()) return;
            const std::string oldName = SetNameOf(sets[index].name);
            if (oldName != name) {
                // A renamed set takes its macros along to the section of its
                // new name, so that they are found there after a restart.
                const auto clash = named(name);
                if (StoredName(name, kStoredSetNameBytes).empty() ||
                    (clash != sets.end() && clash != sets.begin() + index))
                    return;
                const auto keys =
                    platform::GetPrivateProfileKeyNames(text::Utf8ToUtf16(oldName), file);
                std::vector<std::pair<std::string, std::string>> values;
                for (const auto& key : keys) {
                    const std::string k = text::Utf16ToUtf8(key);
                    values.emplace_back(k, IniGet(oldName, k, file));
                }
                IniDeleteSection(oldName, file);
                for (const auto& [k, v] : values) IniSet(name, k, v, file);
                for (auto& m : macros) {
                    if (m.setNumber.get() == index) m.setName = record.name;
                }
            }
            sets[index] = stored;
            IniSet("SetMacro", std::to_string(index), name, file);
            break;
        }
        case HIDMSG::kChangeDelete: {
            const auto it = named(name);
            if (it == sets.end()) return;
            const std::int32_t k = static_cast<std::int32_t>(it - sets.begin());
            const std::size_t oldCount = sets.size();
            IniDeleteSection(SetNameOf(it->name), file);
            sets.erase(it);
            for (std::size_t j = static_cast<std::size_t>(k); j < sets.size(); ++j) {
                sets[j].setNumber = static_cast<std::int32_t>(j);
                IniSet("SetMacro", std::to_string(j), SetNameOf(sets[j].name), file);
            }
            IniDeleteKey("SetMacro", std::to_string(oldCount - 1), file);
            IniSet("SetMacro", "number", std::to_string(sets.size()), file);
            // The set's macros go with it and the later sets' macros follow
            // their set down one place, as a reload of the file gives them.
            std::erase_if(macros, [&](const HIDMSG::_SMacroDefaultData& m) {
                return m.setNumber.get() == k;
            });
            for (auto& m : macros) {
                if (m.setNumber.get() > k) m.setNumber = m.setNumber.get() - 1;
            }
            break;
        }
        default:
            return;
    }
    if (!batch.Commit()) log::Warning(kArea, "cannot write " + file.string());
}

void SettingsPersistence::ApplyMacroOperation(bool light, const HIDMSG::_SMacroDefaultData& record,
                                              std::vector<HIDMSG::_SMacroDefaultData>& macros) {
    const auto file = LibraryFile(light);
    const std::string setName = SetNameOf(record.setName);
    HIDMSG::_SMacroDefaultData stored = record;
    stored.change = HIDMSG::kChangeNone;
    if (IsIndexSectionName(setName)) {
        log::Warning(kArea, file.filename().string() + ": a macro of a set named \"" + setName +
                                "\" refused");
        return;
    }
    auto find = [&]() {
        return std::find_if(macros.begin(), macros.end(), [&](const HIDMSG::_SMacroDefaultData& m) {
            return m.setNumber.get() == record.setNumber.get() &&
                   m.macroNumber.get() == record.macroNumber.get();
        });
    };
    platform::ProfileWriteBatch batch;
    switch (record.change) {
        case HIDMSG::kChangeAdd: {
            if (setName.empty()) return;
            const int n = IniInt(setName, "number", file);
            stored.macroNumber = n;
            IniSet(setName, std::to_string(n), MacroText(stored, light), file);
            IniSet(setName, "number", std::to_string(n + 1), file);
            macros.push_back(stored);
            break;
        }
        case HIDMSG::kChangeModify: {
            const auto it = find();
            if (it == macros.end()) return;
            *it = stored;
            IniSet(setName, std::to_string(record.macroNumber.get()), MacroText(stored, light),
                   file);
            break;
        }
        case HIDMSG::kChangeDelete: {
            const auto it = find();
            if (it == macros.end()) return;
            const int oldCount = IniInt(setName, "number", file);
            IniSet(setName, "number", std::to_string(std::max(oldCount - 1, 0)), file);
            const std::int32_t deleted = record.macroNumber;
            const auto at = it - macros.begin();
            macros.erase(it);
            for (auto m = macros.begin() + at; m != macros.end(); ++m) {
                if (m->setNumber.get() != record.setNumber.get() || m->macroNumber.get() <= deleted)
                    continue;
                m->macroNumber = m->macroNumber.get() - 1;
                IniSet(setName, std::to_string(m->macroNumber.get()), MacroText(*m, light), file);
            }
            IniDeleteKey(setName, std::to_string(oldCount - 1), file);
            break;
        }
        default:
            return;
    }
    if (!batch.Commit()) log::Warning(kArea, "cannot write " + file.string());
}

void SettingsPersistence::FileDamaged(const std::filesystem::path& file, long which) {
    damagedFiles_ |= 1u << which;
    if (const auto kept = platform::KeepDamagedCopy(file)) {
        // Named once: the copy is the file's name with an ending.
        log::Warning(kArea, "the file " + file.string() +
                                " is damaged: what could be read is kept; the damaged file is kept beside it "
                                "with the ending " +
                                kept->filename().string().substr(file.filename().string().size()));
    } else {
        log::Warning(kArea, "the file " + file.string() +
                                " is damaged: what could be read is kept (no copy could be kept beside it)");
    }
}

// ---- light macro blocks ----------------------------------------------------------------

void SettingsPersistence::WriteLightMacroBlock(int profile, int slot,
                                               const LightMacroBlock& block) {
    IniSet(Name("PF%d", profile + 1), std::to_string(slot), LightMacroText(block),
           lightBlockFile());
}

void SettingsPersistence::CheckLightBlockFile() {
    const auto file = lightBlockFile();
    bool damaged = !platform::ProfileFileReadsWhole(file);
    platform::ProfileFile fresh;
    for (const auto& section : platform::GetPrivateProfileSectionNames(file)) {
        for (const auto& key : platform::GetPrivateProfileKeyNames(section, file)) {
            const std::string s = text::Utf16ToUtf8(section), k = text::Utf16ToUtf8(key);
            const std::string value = IniGet(s, k, file);
            LightMacroBlock block{};
            if (ParseLightMacroText(value, &block)) {
                fresh.Set(s, k, value);
            } else {
                damaged = true;
            }
        }
    }
    if (!damaged) return;
    FileDamaged(file, link::notice::kDamagedLightBlocks);
    if (!fresh.Save(file)) log::Warning(kArea, "cannot write " + file.string());
}

bool SettingsPersistence::ReadLightMacroBlock(int profile, int slot, LightMacroBlock& block) {
    return ParseLightMacroText(
        IniGet(Name("PF%d", profile + 1), std::to_string(slot), lightBlockFile()), &block);
}

}  // namespace vyre
