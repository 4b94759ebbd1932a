// The keyboard link's handling of what the Config sends: commands (whole
// blocks and single records), requests, and the registration dump.
//
// A received block is compared with the store part by part, as the keyboard
// would keep it; only the parts that differ are taken over and written to the
// keyboard or persisted.

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "common/key_functions.h"
#include "common/key_table.h"
#include "common/link_codes.h"
#include "common/log.h"
#include "common/reports.h"
#include "common/store_blocks.h"
#include "monitor/link/keyboard_link.h"
#include "platform/profile_ini.h"
#include "platform/registry.h"

namespace vyre {
namespace {

constexpr const char* kArea = "commands";

template <typename T>
T Record(std::span<const std::uint8_t> payload) {
    T record;
    std::memcpy(static_cast<void*>(&record), payload.data(), sizeof record);
    return record;
}

bool SameBytes(const void* a, const void* b, std::size_t n) {
    return std::memcmp(a, b, n) == 0;
}

// The parts of block `code` whose contents differ from the store's. Both
// sides are compared framed as they would be written (id, length, profile,
// checksum): the store keeps what was written, while the Config's copy keeps
// the frames it was sent, so comparing frames would find the same change
// again on every upload.
template <class Frame>
std::vector<std::size_t> ChangedContents(std::uint16_t code, std::span<const std::uint8_t> stored,
                                         std::span<const std::uint8_t> received, Frame frame) {
    std::vector<std::size_t> changed;
    const BlockParts parts = PartsOf(code);
    const std::size_t total = parts.size * parts.count;
    if (parts.count == 0 || stored.size() != total || received.size() != total) return changed;
    std::vector<std::uint8_t> mine(parts.size), theirs(parts.size);
    for (std::size_t i = 0; i < parts.count; ++i) {
        const std::size_t at = i * parts.size;
        std::memcpy(mine.data(), stored.data() + at, parts.size);
        std::memcpy(theirs.data(), received.data() + at, parts.size);
        frame(i, std::span<std::uint8_t>(mine));
        frame(i, std::span<std::uint8_t>(theirs));
        if (!SameBytes(mine.data(), theirs.data(), parts.compared)) changed.push_back(i);
    }
    return changed;
}

// A launch path is text: ended within its field, without control characters
// or broken surrogate pairs. Anything else is no program to start, and
// taking it would fill the registry with noise.
bool IsPathText(const FixedText16<256>& path) {
    const std::u16string text = path.str();
    if (text.size() >= FixedText16<256>::kCapacity) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x20) return false;
        if (c >= 0xDC00 && c <= 0xDFFF) return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    return true;
}

}  // namespace

std::size_t CommandPayloadSize(std::uint16_t code) {
    switch (code) {
        case link::block::kActiveProfile:
        case link::block::kKeyRemap:
        case link::block::kFunctionKeys:
        case link::block::kThumbKeys:
        case link::block::kProfileOptions:
        case link::block::kFlexKeys:
        case link::block::kLightOptions:
        case link::block::kLightSettings:
        case link::block::kIllumination:
        case link::block::kEffects:
        case link::block::kMacros:
        case link::block::kGlobal14:
        case link::block::kGlobal16:
        case link::block::kLightMacroBlocks:
        case link::block::kHostSettings:
        case link::block::kReserved:
            return link::BlockSize(code);
        default:
            return link::CommandRecordSize(code);
    }
}

// ---- commands ---------------------------------------------------------------------------

void KeyboardLink::HandleCommand(std::uint32_t dwData, std::span<const std::uint8_t> payload,
                                 win::HWND sender) {
    const unsigned long long failuresBefore = writeFailures_;
    const std::uint16_t command = link::CodeOf(dwData);
    // After a write the keyboard did not take, the store holds what was sent,
    // not what the keyboard has: the next time the command comes, all of it
    // is written, the same bytes too, so that trying again really does.
    writeAll_ = unsure_.contains(command);
    {
        // Whatever one command changes reaches each settings file in one
        // rewrite, however many values it touches.
        platform::Registry::Batch registryWrites(settings_.registry());
        platform::ProfileWriteBatch fileWrites;
        ApplyCommand(dwData, payload);
    }
    writeAll_ = false;
    if (writeFailures_ == failuresBefore) {
        unsure_.erase(command);
        return;
    }
    unsure_.insert(command);
    // The sender learns that the keyboard did not take what it sent, rather
    // than taking silence for success.
    const auto code = static_cast<win::LPARAM>(command);
    if (sender != 0 && win::PostMessage(sender, link::kMsgNotify, link::notice::kNotWritten, code)) return;
    if (PostNoticeToConfig(link::notice::kNotWritten, code)) return;
    // The sender is gone (a Config closed by OK) and no Config is open: the
    // Monitor tells the user itself.
    win::PostMessage(shared_.tray.load(), link::kMsgNotify, link::notify::kTrayNotWritten, code);
}

void KeyboardLink::ApplyCommand(std::uint32_t dwData, std::span<const std::uint8_t> payload) {
    if (link::TagOf(dwData) != link::kTagCommand) return;
    const std::uint16_t code = link::CodeOf(dwData);
    const std::size_t expected = CommandPayloadSize(code);
    if (expected == 0) {
        log::Debug(kArea, log::Format("command %u is not known; ignored", code));
        return;
    }
    // A block always travels whole: anything else would be taken over at
    // the wrong offsets, or read past its end.
    if (payload.size() != expected) {
        log::Warning(kArea, log::Format("command %u with %zu bytes refused: it takes %zu", code,
                                        payload.size(), expected));
        return;
    }
    log::Debug(kArea, log::Format("command %u (%zu bytes)", code, payload.size()));
    switch (code) {
        case link::block::kActiveProfile: {
            const int profile = payload[2];
            if (!IsProfile(profile)) {
                log::Warning(kArea, log::Format("command 3 names profile %d; refused", profile));
                return;
            }
            if (profile != store_.currentProfile() || writeAll_) {
                store_.setCurrentProfile(profile);
                WriteActiveProfile(profile, kCommandPollMs);
                PublishProfiles(false);
            }
            return;
        }
        case link::block::kKeyRemap:
            return ApplyProfileReports(code, report::kKeyRemap, payload);
        case link::block::kFunctionKeys:
            return ApplyProfileReports(code, report::kFunctionKeys, payload);
        case link::block::kThumbKeys:
            return ApplyProfileReports(code, report::kThumbKeys, payload);
        case link::block::kProfileOptions:
            return ApplyProfileReports(code, report::kProfileOptions, payload);
        case link::block::kFlexKeys:
            return ApplyProfileReports(code, report::kFlexKeys, payload);
        case link::block::kLightOptions:
            return ApplyProfileReports(code, report::kOptionBits, payload);
        case link::block::kLightSettings:
            return ApplyProfileReports(code, report::kLightSettings, payload);
        case link::block::kIllumination:
            return ApplyIllumination(payload);
        case link::block::kEffects:
            return ApplyEffects(payload);
        case link::block::kMacros:
            return ApplyMacros(payload);
        case link::block::kGlobal14: {
            std::uint8_t framed[sizeof store_.globalReport14];
            std::memcpy(framed, payload.data(), sizeof framed);
            std::uint8_t mine[sizeof store_.globalReport14];
            std::memcpy(mine, store_.globalReport14, sizeof mine);
            report::FrameReport(report::kGlobal14, 0, framed);
            report::FrameReport(report::kGlobal14, 0, mine);
            if (!writeAll_ && SameBytes(mine, framed, sizeof framed)) return;
            std::memcpy(store_.globalReport14, framed, sizeof framed);
            WriteReport(store_.globalReport14, sizeof store_.globalReport14, kCommandPollMs);
            return;
        }
        case link::block::kGlobal16: {
            if (!writeAll_ && SameBytes(store_.globalReport16, payload.data(), payload.size())) return;
            std::memcpy(store_.globalReport16, payload.data(), payload.size());
            WriteReport(store_.globalReport16, sizeof store_.globalReport16, kCommandPollMs);
            return;
        }
        case link::block::kLightMacroBlocks:
            return ApplyLightMacroBlocks(payload);
        case link::block::kHostSettings:
            return ApplyHostSettings(payload);
        case link::block::kReserved:
            return;  // carried, never interpreted
        case link::command::kTimerAdd:
            return AddTimer(Record<HIDMSG::_STimerSettingData>(payload));
        case link::command::kTimerEdit:
            return EditTimer(Record<HIDMSG::_STimerSettingData>(payload));
        case link::command::kTimerDelete:
            return DeleteTimer(Record<HIDMSG::_STimerSettingData>(payload));
        case link::command::kMacroSet:
        case link::command::kLightMacroSet: {
            const bool light = code == link::command::kLightMacroSet;
            settings_.ApplySetOperation(light, Record<HIDMSG::_SMacroGroupData>(payload),
                                        light ? store_.lightMacroSets : store_.macroSets,
                                        light ? store_.lightMacros : store_.macros);
            return;
        }
        case link::command::kMacro:
        case link::command::kLightMacro: {
            const bool light = code == link::command::kLightMacro;
            auto record = std::make_unique<HIDMSG::_SMacroDefaultData>();
            std::memcpy(static_cast<void*>(record.get()), payload.data(), sizeof *record);
            auto& macros = light ? store_.lightMacros : store_.macros;
            settings_.ApplyMacroOperation(light, *record, macros);
            // The set list the dump sends carries each set's macro count.
            for (auto& set : light ? store_.lightMacroSets : store_.macroSets) {
                set.macroCount = static_cast<std::int32_t>(
                    std::count_if(macros.begin(), macros.end(), [&](const HIDMSG::_SMacroDefaultData& m) {
                        return m.setNumber.get() == set.setNumber.get();
                    }));
            }
            return;
        }
        default:
            return;
    }
}

std::vector<std::size_t> KeyboardLink::PartsToWrite(std::uint16_t code, std::vector<std::size_t> changed) const {
    if (!writeAll_) return changed;
    std::vector<std::size_t> all(PartsOf(code).count);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    return all;
}

void KeyboardLink::ApplyProfileReports(std::uint16_t code, std::uint8_t reportId,
                                       std::span<const std::uint8_t> payload) {
    const std::span<std::uint8_t> stored = StoreBlock(store_, code);
    const std::size_t size = PartsOf(code).size;
    const auto frame = [reportId](std::size_t p, std::span<std::uint8_t> image) {
        report::FrameReport(reportId, static_cast<int>(p), image);
    };
    for (std::size_t p : PartsToWrite(code, ChangedContents(code, stored, payload, frame))) {
        std::uint8_t* image = stored.data() + p * size;
        std::memcpy(image, payload.data() + p * size, size);
        report::FrameReport(reportId, static_cast<int>(p), std::span<std::uint8_t>(image, size));
        WriteReport(image, size, kCommandPollMs);
    }
}

void KeyboardLink::ApplyIllumination(std::span<const std::uint8_t> payload) {
    const std::span<std::uint8_t> stored = StoreBlock(store_, link::block::kIllumination);
    for (int p = 0; p < kProfileCount; ++p) {
        for (int mode = 0; mode < kIlluminationModes; ++mode) {
            for (int layer = 0; layer < kIlluminationLayers; ++layer) {
                if (!report::IlluminationLayerUsed(mode, layer)) continue;
                const std::size_t at =
                    static_cast<std::size_t>((p * kIlluminationModes + mode) * kIlluminationLayers +
                                             layer) *
                    report::kIlluminationLength;
                std::uint8_t framed[report::kIlluminationLength], mine[report::kIlluminationLength];
                std::memcpy(framed, payload.data() + at, sizeof framed);
                std::memcpy(mine, stored.data() + at, sizeof mine);
                report::FrameReport(report::kIllumination, p, framed);
                report::FrameReport(report::kIllumination, p, mine);
                if (!writeAll_ && SameBytes(mine, framed, sizeof framed)) continue;
                auto image = store_.illumination(p, mode, layer);
                std::memcpy(image.data(), framed, image.size());
                WriteReport(image.data(), image.size(), kCommandPollMs);
            }
        }
    }
}

void KeyboardLink::ApplyEffects(std::span<const std::uint8_t> payload) {
    const auto stored = StoreBlock(store_, link::block::kEffects);
    for (std::size_t p : PartsToWrite(link::block::kEffects, ChangedParts(link::block::kEffects, stored, payload))) {
        auto image = std::span<std::uint8_t, report::kEffectSequenceLength>(
            reinterpret_cast<std::uint8_t*>(&store_.effectReports[p]),
            report::kEffectSequenceLength);
        std::memcpy(image.data(), payload.data() + p * report::kEffectSequenceLength, image.size());
        report::StampStoredSequenceChecksum(image);
        const auto written = report::SequenceReportForWrite(image);
        WriteReport(written.data(), written.size(), kCommandPollMs);
    }
}

void KeyboardLink::ApplyMacros(std::span<const std::uint8_t> payload) {
    const auto stored = StoreBlock(store_, link::block::kMacros);
    const auto frame = [](std::size_t, std::span<std::uint8_t> image) {
        report::FrameMacroReport(report::kMacro, image.first<report::kMacroLength>());
    };
    for (std::size_t part :
         PartsToWrite(link::block::kMacros, ChangedContents(link::block::kMacros, stored, payload, frame))) {
        auto image = std::span<std::uint8_t, report::kMacroLength>(
            stored.data() + part * report::kMacroLength, report::kMacroLength);
        std::memcpy(image.data(), payload.data() + part * report::kMacroLength, image.size());
        report::FrameMacroReport(report::kMacro, image);
        WriteReport(image.data(), image.size(), kCommandPollMs);
    }
}

void KeyboardLink::ApplyLightMacroBlocks(std::span<const std::uint8_t> payload) {
    const auto stored = StoreBlock(store_, link::block::kLightMacroBlocks);
    // Every changed block goes into one rewrite of the file.
    platform::ProfileWriteBatch batch;
    for (std::size_t part : ChangedParts(link::block::kLightMacroBlocks, stored, payload)) {
        const int p = static_cast<int>(part / kDataSlotsPerProfile);
        const int slot = static_cast<int>(part % kDataSlotsPerProfile);
        LightMacroBlock& block = store_.lightMacro(p, slot);
        std::memcpy(static_cast<void*>(&block), payload.data() + part * sizeof(LightMacroBlock),
                    LightMacroBlock::kUsedBytes);
        settings_.WriteLightMacroBlock(p, slot, block);
    }
    if (!batch.Commit()) log::Warning(kArea, "the light macro blocks could not be stored");
}

void KeyboardLink::ApplyHostSettings(std::span<const std::uint8_t> payload) {
    HostSettingsBlock& host = store_.hostSettingsBlock;
    auto received = std::make_unique<HostSettingsBlock>();
    std::memcpy(static_cast<void*>(received.get()), payload.data(), sizeof *received);

    if (!SameBytes(host.keyTimers, received->keyTimers, sizeof host.keyTimers)) {
        for (int p = 0; p < kProfileCount; ++p) {
            for (int slot = 0; slot < kDataSlotsPerProfile; ++slot) {
                const auto& timer = received->keyTimers[p][slot];
                if (SameBytes(&host.keyTimers[p][slot], &timer, sizeof timer)) continue;
                settings_.UpdateKeyTimerName(p, slot, timer);
            }
        }
    }
    if (!SameBytes(host.keyLaunchPaths, received->keyLaunchPaths, sizeof host.keyLaunchPaths)) {
        int refused = 0;
        for (int p = 0; p < kProfileCount; ++p) {
            for (int slot = 0; slot < kDataSlotsPerProfile; ++slot) {
                auto& launch = received->keyLaunchPaths[p][slot];
                if (SameBytes(&host.keyLaunchPaths[p][slot], &launch, sizeof launch)) continue;
                if (!IsPathText(launch.path)) {
                    launch = host.keyLaunchPaths[p][slot];  // kept as it was
                    ++refused;
                    continue;
                }
                settings_.UpdateLaunchPath(p, slot, launch);
            }
        }
        if (refused > 0) {
            log::Warning(kArea, log::Format("command 12: %d launch paths that are no text were refused; "
                                            "their keys keep what they had",
                                            refused));
        }
    }
    // The Monitor alone counts: the Config's statistics are a copy it was
    // sent earlier, so the counts since then stay.
    std::memcpy(static_cast<void*>(&received->statistics), &host.statistics, sizeof host.statistics);
    std::memcpy(static_cast<void*>(&host), received.get(), sizeof host);
    SaveAllSettings();
    ApplyProfile(store_.currentProfile(), true);
    UpdateVolumeDisplayTimer();
    PublishProfiles(false);  // names may have changed
}

// ---- timers -------------------------------------------------------------------------------

void KeyboardLink::AddTimer(const HIDMSG::_STimerSettingData& timer) {
    HIDMSG::_STimerSettingData added = timer;
    added.index = static_cast<std::int32_t>(store_.timers.size());
    std::memset(added.tail, 0, sizeof added.tail);
    store_.timers.push_back(added);
    settings_.RewriteTimers(store_.timers);
}

void KeyboardLink::EditTimer(const HIDMSG::_STimerSettingData& timer) {
    const std::int32_t index = timer.index;
    if (index < 0 || static_cast<std::size_t>(index) >= store_.timers.size()) {
        log::Warning(kArea, log::Format("timer %d to edit does not exist; ignored", index));
        return;
    }
    HIDMSG::_STimerSettingData edited = timer;
    std::memset(edited.tail, 0, sizeof edited.tail);
    HIDMSG::_STimerSettingData& listed = store_.timers[static_cast<std::size_t>(index)];
    // The keys hold copies of the timer, found by its name: they follow the
    // list record, or a later delete would no longer find them.
    bool keysChanged = false;
    for (int p = 0; p < kProfileCount; ++p) {
        for (int slot = 0; slot < kDataSlotsPerProfile; ++slot) {
            HIDMSG::_STimerSettingData& key = store_.keyTimer(p, slot);
            if (!SlotHasData(slot) || listed.name.empty() ||
                !SameBytes(key.name.bytes, listed.name.bytes, sizeof key.name.bytes))
                continue;
            if (SameBytes(&key.name, &edited.name, sizeof key.name) &&
                key.seconds.get() == edited.seconds.get())
                continue;
            key.name = edited.name;
            key.seconds = edited.seconds.get();
            settings_.UpdateKeyTimerName(p, slot, key);
            keysChanged = true;
        }
    }
    listed = edited;
    settings_.WriteTimer(edited);
    if (keysChanged) PostDumpToConfig();
}

void KeyboardLink::DeleteTimer(const HIDMSG::_STimerSettingData& timer) {
    auto holdsTimer = [&](int p, int slot) {
        return SlotHasData(slot) && SameBytes(store_.keyTimer(p, slot).name.bytes, timer.name.bytes,
                                              sizeof timer.name.bytes);
    };
    auto entryCode = [](std::uint8_t* image, std::size_t first, std::size_t n) -> std::uint8_t& {
        return image[first + n * report::kFunctionEntrySize];
    };
    for (int p = 0; p < kProfileCount; ++p) {
        // Flexlayer keys that started the timer lose their function.
        bool changed = false;
        for (std::size_t n = 0; n < report::kFlexKeyEntryCount; ++n) {
            std::uint8_t& code = entryCode(store_.flexKeyReports[p], report::kFlexKeyEntries, n);
            if (code == fncode::kTimer && holdsTimer(p, static_cast<int>(16 + n))) {
                code = 0;
                changed = true;
            }
        }
        if (changed) {
            report::FrameReport(report::kFlexKeys, p, store_.flexKeyReports[p]);
            WriteReport(store_.flexKeyReports[p], report::kFlexKeysLength, kDefaultPollMs);
        }
    }
    for (int p = 0; p < kProfileCount; ++p) {
        // Thumb keys get their default function back.
        bool changed = false;
        for (std::size_t n = 0; n < report::kThumbKeyEntryCount; ++n) {
            std::uint8_t& code = entryCode(store_.thumbKeyReports[p], report::kThumbKeyEntries, n);
            if (code == fncode::kTimer && holdsTimer(p, static_cast<int>(10 + n))) {
                code = report::kThumbKeyDefaultCodes[n];
                changed = true;
            }
        }
        if (changed) {
            report::FrameReport(report::kThumbKeys, p, store_.thumbKeyReports[p]);
            WriteReport(store_.thumbKeyReports[p], report::kThumbKeysLength, kDefaultPollMs);
        }
    }
    for (int p = 0; p < kProfileCount; ++p) {
        // Function keys too (the Pause key's secondary function: Sleep).
        bool changed = false;
        for (std::size_t n = 0; n < report::kFunctionKeyEntryCount; ++n) {
            std::uint8_t& code =
                entryCode(store_.functionKeyReports[p], report::kFunctionKeyEntries, n);
            if (code == fncode::kTimer && holdsTimer(p, static_cast<int>(112 + n))) {
                code = n + 1 == report::kFunctionKeyEntryCount
                           ? report::kPauseSecondaryAfterTimerDeletion
                           : report::kFunctionKeyDefaultCodes[n];
                changed = true;
            }
        }
        if (changed) {
            report::FrameReport(report::kFunctionKeys, p, store_.functionKeyReports[p]);
            WriteReport(store_.functionKeyReports[p], report::kFunctionKeysLength, kCommandPollMs);
        }
    }
    for (int p = 0; p < kProfileCount; ++p) {
        for (int slot = 0; slot < kDataSlotsPerProfile; ++slot) {
            if (!holdsTimer(p, slot)) continue;
            std::memset(static_cast<void*>(&store_.keyTimer(p, slot)), 0,
                        sizeof(HIDMSG::_STimerSettingData));
            settings_.DeleteKeyTimerName(p, slot);
        }
    }
    PostDumpToConfig();

    const std::int32_t position = timer.index;
    if (position < 0 || static_cast<std::size_t>(position) >= store_.timers.size()) {
        log::Warning(kArea, log::Format("timer %d to delete is not in the list", position));
    } else {
        store_.timers.erase(store_.timers.begin() + position);
        for (std::size_t i = 0; i < store_.timers.size(); ++i) {
            store_.timers[i].index = static_cast<std::int32_t>(i);
        }
    }
    settings_.RewriteTimers(store_.timers);
}

// ---- requests -----------------------------------------------------------------------------

void KeyboardLink::HandleRequest(unsigned code, win::LPARAM lParam) {
    switch (code) {
        case link::request::kRegister:
            RegistrationDump(static_cast<win::HWND>(lParam));
            return;
        case link::request::kWindowsProfile:
            settings_.WriteWindowsProfile(static_cast<std::int32_t>(lParam));
            return;
        case link::request::kResetStatistics: {
            std::memset(static_cast<void*>(&store_.statistics()), 0,
                        offsetof(StatisticsRecord, trophyPoints));
            settings_.WriteStatistics(store_.statistics());
            // The page shows the zeroes at once, not at the next roll-over.
            Notify(FindConfigLinkWindow(), link::block::kStatistics, &store_.statistics(),
                   sizeof(StatisticsRecord));
            return;
        }
        case link::request::kReset:
            shared_.resetQueued = false;  // begun: a reset asked for from now on waits again
            ResetKeyboard(static_cast<win::HWND>(lParam));
            return;
        case link::request::kSendKeyReports: {
            const auto to = static_cast<win::HWND>(lParam);
            Notify(to, link::block::kFlexKeys, store_.flexKeyReports, sizeof store_.flexKeyReports);
            Notify(to, link::block::kFunctionKeys, store_.functionKeyReports,
                   sizeof store_.functionKeyReports);
            Notify(to, link::block::kThumbKeys, store_.thumbKeyReports,
                   sizeof store_.thumbKeyReports);
            return;
        }
        case link::request::kReapplyProfile:
            ApplyProfile(store_.currentProfile(), false);
            return;
        default:
            return;
    }
}

void KeyboardLink::ResetKeyboard(win::HWND linkWindow) {
    log::Info(kArea, "resetting the keyboard to its factory settings");
    const auto reset = report::ResetReport();
    WriteReport(reset.data(), reset.size(), kDefaultPollMs);
    const auto usages = KeyTableUsages();
    ResetStoreToDefaults(store_, usages);
    WriteActiveProfile(0, kDefaultPollMs);
    const auto present = report::HostPresenceReport(true);
    WriteReport(present.data(), present.size(), kDefaultPollMs);
    settings_.DeleteAllKeyTimersAndLaunchPaths();
    SaveAllSettings();
    ReadBackKeyboard(false);
    win::PostMessage(window_.GetSafeHwnd(), link::kMsgRequest, link::request::kRegister,
                     static_cast<win::LPARAM>(linkWindow));
}

void KeyboardLink::WriteFlexState() {
    WriteReport(store_.globalReport16, sizeof store_.globalReport16, kDefaultPollMs);
}

// ---- notifications ----------------------------------------------------------------------------

bool KeyboardLink::Notify(win::HWND to, std::uint16_t code, const void* data, std::size_t size) {
    if (to == 0) return false;
    return win::SendCopyData(to, window_.GetSafeHwnd(),
                             link::MakeDwData(code, link::kTagNotification), data, size);
}

bool KeyboardLink::PostNoticeToConfig(unsigned code, win::LPARAM lParam) {
    const win::HWND config = FindConfigLinkWindow();
    return config != 0 && win::PostMessage(config, link::kMsgNotify, code, lParam);
}

void KeyboardLink::RegistrationDump(win::HWND to) {
    if (to == 0) return;
    if (flags_.connected.load() == 0) {
        // A keyboard this user may not open is named, so that the Config can
        // say what keeps it from the keyboard.
        const std::string node = port_.UnopenableNode();
        if (!node.empty() && node.size() <= link::notification::kKeyboardNoAccessPathMax) {
            Notify(to, link::notification::kKeyboardNoAccess, node.data(), node.size());
        } else {
            Notify(to, link::notification::kNoKeyboard, nullptr, 0);
        }
        return;
    }
    if (flags_.ready.load() == 0) {
        Notify(to, link::notification::kNotReady, nullptr, 0);
        return;
    }
    for (std::uint16_t code : link::kRegistrationDumpOrder) {
        std::span<const std::uint8_t> bytes = StoreBlock(store_, code);
        if (bytes.empty()) bytes = ListBytes(store_, code);
        if (!Notify(to, code, bytes.data(), bytes.size())) {
            log::Warning(kArea,
                         log::Format("the dump stopped at %u: the Config does not take it", code));
            return;
        }
    }
    std::vector<std::uint8_t> records;
    {
        std::lock_guard lock(shared_.talkDevicesLock);
        records = TalkRecordBytes(store_);
    }
    if (!records.empty()) Notify(to, link::list::kTalkAdded, records.data(), records.size());
    win::PostMessage(to, link::kMsgNotify, link::notice::kDumpComplete, 0);
    // A damaged settings file is told to the first Config that comes after it
    // (not to other clients of the link, which dump for their own ends).
    if (const auto damaged = settings_.DamagedSettingsFile();
        damaged && *damaged != damageTold_ && to == FindConfigLinkWindow()) {
        if (win::PostMessage(to, link::kMsgNotify, link::notice::kSettingsDamaged,
                             link::notice::kDamagedRegistry))
            damageTold_ = *damaged;
    }
    // So is each damaged file of the data folder, once.
    const std::uint32_t files = settings_.DamagedFiles() & ~damageToldFiles_;
    if (files != 0 && to == FindConfigLinkWindow()) {
        for (long which = 1; which < link::notice::kDamagedFileCount; ++which) {
            if ((files & (1u << which)) != 0 &&
                win::PostMessage(to, link::kMsgNotify, link::notice::kSettingsDamaged, which))
                damageToldFiles_ |= 1u << which;
        }
    }
}

}  // namespace vyre
