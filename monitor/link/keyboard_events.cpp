// The keyboard link's handling of the keyboard's event reports: profile
// changes, sounds, macros recorded on the keyboard, key programs, media and
// volume keys, key timers, light macros, the ripple, talk commands, and the
// statistics with their trophies.

#include <algorithm>
#include <cstring>
#include <string>

#include "common/key_functions.h"
#include "common/link_codes.h"
#include "common/log.h"
#include "common/reports.h"
#include "common/stored_name.h"
#include "common/store_blocks.h"
#include "monitor/link/keyboard_link.h"
#include "platform/text.h"

namespace vyre {
namespace {

constexpr const char* kArea = "events";

// Event types (high byte of the type word).
constexpr std::uint8_t kProfileWithSound = 0x01;
constexpr std::uint8_t kProfileSilent = 0x02;
constexpr std::uint8_t kSoundOnly = 0x03;
constexpr std::uint8_t kMacroEvent = 0x04;
constexpr std::uint8_t kLaunch = 0x07;
constexpr std::uint8_t kResetDone = 0x08;
constexpr std::uint8_t kMedia = 0x0B;
constexpr std::uint8_t kLightLevel = 0x0C;
constexpr std::uint8_t kTimerStart = 0x0D;
constexpr std::uint8_t kTimersStop = 0x0E;
constexpr std::uint8_t kOpenConfig = 0x10;
constexpr std::uint8_t kLightMacroKey = 0xBF;
constexpr std::uint8_t kCounter = 0xFA;
constexpr std::uint8_t kRippleStart = 0xFB;
constexpr std::uint8_t kRippleStop = 0xFC;
constexpr std::uint8_t kTalk = 0xFF;

constexpr std::uint8_t kActionPressed = 0;
constexpr std::uint8_t kActionReleased = 1;
constexpr std::uint8_t kActionRecorded = 3;

// Media key data of event 0x0B.
constexpr std::uint8_t kMediaPlayer = 32;
constexpr std::uint8_t kMediaVolumeDown = 38;
constexpr std::uint8_t kMediaVolumeUp = 39;

// Counter of each counter event index 1..19.
constexpr int CounterOfIndex(int n) {
    if (n >= 1 && n <= 14) return n;
    switch (n) {
        case 15:
            return 16;
        case 16:
            return 15;
        case 17:
            return 17;
        case 18:
            return 18;
        case 19:
            return 0;
        default:
            return -1;
    }
}

struct TrophyGroup {
    int firstIndex, lastIndex;      // event indices that check it
    int firstCounter, lastCounter;  // counters summed
    std::int64_t thresholds[3];
    int bits[3];
};
constexpr TrophyGroup kIndexGroups[] = {
    {1, 4, 1, 4, {35000, 70000, 100000}, {12, 13, 14}},
    {5, 7, 5, 7, {5000, 10000, 20000}, {6, 7, 8}},
    {8, 9, 8, 9, {1000, 10000, 25000}, {0, 1, 2}},
    {15, 15, 16, 17, {1000, 3000, 5000}, {9, 10, 11}},
    {17, 17, 16, 17, {1000, 3000, 5000}, {9, 10, 11}},
};
constexpr TrophyGroup kCounterZeroGroup = {0, 0, 0, 0, {500000, 1500000, 3000000}, {3, 4, 5}};
constexpr std::int32_t kTierPoints[3] = {5, 10, 50};
constexpr int kAllTrophiesBit = 15;
constexpr std::int32_t kAllTrophiesPoints = 100;

// Talk entry of each talk key (event 0xFF data).
int TalkEntryOf(std::uint8_t data) {
    static constexpr std::uint8_t kKeys[] = {0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xFC, 0xFD, 0xFE, 0x39};
    for (int i = 0; i < 9; ++i) {
        if (kKeys[i] == data) return i;
    }
    return -1;
}

std::int32_t AddSaturated(std::int32_t a, std::int64_t b) {
    const std::int64_t sum = static_cast<std::int64_t>(a) + b;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(sum, INT32_MIN, INT32_MAX));
}

}  // namespace

void KeyboardLink::RequestSound(win::WPARAM kind, win::LPARAM value) {
    if (win::HWND sound = shared_.sound.load())
        win::PostMessage(sound, link::kMsgPlaySound, kind, value);
}

void KeyboardLink::HandleEvent(std::uint32_t value) {
    const auto e = report::KeyboardEvent::FromValue(value);
    log::Debug(kArea, log::Format("event %08x: index %u type 0x%02x data %u action %u", value,
                                  e.index, e.type, e.data, e.action));
    const bool pressed = e.action == kActionPressed;
    bool counterEvent = false;
    if (e.index == 0) {
        switch (e.type) {
            case kProfileWithSound:
                RequestSound(kSoundEvent, value);
                ProfileChanged(e.data, false);
                break;
            case kProfileSilent:
                ProfileChanged(e.data, false);
                break;
            case kSoundOnly:
                RequestSound(kSoundEvent, value);
                break;
            case kMacroEvent:
                RequestSound(kSoundEvent, value);
                if (e.action == kActionRecorded) MacroRecorded(e.data);
                break;
            case kLaunch:
                if (pressed) LaunchKey(e.data);
                break;
            case kResetDone:
                if (e.data == 1) PostNoticeToConfig(link::notice::kResetDone, 0);
                break;
            case kMedia:
                MediaKey(e.data, e.action);
                if (!(pressed && (e.data == kMediaVolumeDown || e.data == kMediaVolumeUp))) {
                    if (pressed || e.action == kActionReleased) RequestSound(kSoundEvent, value);
                }
                break;
            case kLightLevel: {
                store_.lightReports[store_.currentProfile()][report::kLightLevel] = e.data;
                Notify(FindConfigLinkWindow(), link::block::kLightSettings, store_.lightReports,
                       sizeof store_.lightReports);
                break;
            }
            case kTimerStart:
                if (pressed) {
                    RequestSound(kSoundEvent, value);
                    if (SlotHasData(e.data)) {
                        auto& timer = store_.keyTimer(store_.currentProfile(), e.data);
                        if (timer.seconds.get() > 0) {
                            timer.set_remaining(timer.seconds.get());
                            timer.set_running(true);
                        }
                    }
                }
                break;
            case kTimersStop:
                if (pressed) {
                    RequestSound(kSoundEvent, value);
                    for (int slot = 0; slot < kDataSlotsPerProfile; ++slot) {
                        auto& timer = store_.keyTimer(store_.currentProfile(), slot);
                        if (!timer.running()) continue;
                        timer.set_remaining(0);
                        timer.set_running(false);
                    }
                }
                break;
            case kOpenConfig: {
                static const std::string title(link::kConfigRunningTitle);
                if (e.data == 0 && win::FindWindow(nullptr, title.c_str()) == 0)
                    host_.StartConfig();
                break;
            }
            case kLightMacroKey:
                if (pressed) {
                    if (win::HWND light = shared_.lightMacro.load()) {
                        win::PostMessage(light, link::kMsgLightRequest, e.data, 0);
                    }
                }
                break;
            case kRippleStart:
                if (e.action == 1) ripples_->Start(e.data);
                break;
            case kRippleStop:
                ripples_->RequestStop();
                break;
            case kTalk:
                TalkCommand(e.data, e.action);
                break;
            default:
                break;
        }
    } else if (e.type == kCounter && e.index <= 19) {
        StatisticsRollOver();  // counts of a new hour belong to it, tick or not
        const int c = CounterOfIndex(e.index);
        StatisticsRecord& stats = store_.statistics();
        const std::int64_t count = e.count();
        stats.lifetime[c] = AddSaturated(stats.lifetime[c], count);
        stats.hour[c] = AddSaturated(stats.hour[c], count);
        stats.day[c] = AddSaturated(stats.day[c], count);
        counterEvent = true;
    }
    CountAndAward(e, counterEvent);
}

void KeyboardLink::ProfileChanged(int profile, bool write) {
    if (!IsProfile(profile)) {
        log::Warning(kArea, log::Format("the keyboard reports profile %d; ignored", profile));
        return;
    }
    const auto image = report::ActiveProfileReport(profile);
    std::memcpy(store_.activeProfileReport, image.data(), image.size());
    ApplyProfile(profile, write);
    Notify(FindConfigLinkWindow(), link::block::kActiveProfile, store_.activeProfileReport,
           sizeof store_.activeProfileReport);
    PublishProfiles(true);
}

void KeyboardLink::ChooseProfile(int profile) {
    if (!IsProfile(profile)) return;
    log::Info(kArea, log::Format("profile %d chosen in the tray", profile + 1));
    const std::uint8_t data = static_cast<std::uint8_t>(profile);
    RequestSound(kSoundEvent, report::KeyboardEvent{0, kProfileWithSound, data, kActionPressed}.value());
    ProfileChanged(profile, true);
}

void KeyboardLink::PublishProfiles(bool changed) {
    {
        std::lock_guard lock(shared_.profilesLock);
        shared_.profiles.current = store_.currentProfile();
        for (int p = 0; p < kProfileCount; ++p)
            shared_.profiles.names[p] = text::Utf16ToUtf8(store_.hostRecord(p).name.str());
    }
    win::PostMessage(shared_.tray.load(), link::kMsgNotify, link::notify::kTrayProfiles, changed ? 1 : 0);
}

void KeyboardLink::LaunchKey(int slot) {
    if (!SlotHasData(slot)) return;
    const std::u16string path = store_.launchPath(store_.currentProfile(), slot).path.str();
    if (path.empty()) return;
    host_.Launch(path);
}

void KeyboardLink::MediaKey(std::uint8_t data, std::uint8_t action) {
    using platform::MediaKey;
    if (action == kActionReleased) {
        if (data == kMediaVolumeDown) window_.KillTimer(kTimerVolumeDown);
        if (data == kMediaVolumeUp) window_.KillTimer(kTimerVolumeUp);
        return;
    }
    if (action != kActionPressed) return;
    switch (data) {
        case kMediaPlayer:
            host_.OpenMediaPlayer(store_.hostRecord(store_.currentProfile()).player.get());
            break;
        case 33:
            host_.PressKey(MediaKey::NextTrack);
            break;
        case 34:
            host_.PressKey(MediaKey::PreviousTrack);
            break;
        case 35:
            host_.PressKey(MediaKey::PlayPause);
            break;
        case 36:
            host_.PressKey(MediaKey::Stop);
            break;
        case 37:
            host_.PressKey(MediaKey::Mute);
            break;
        case kMediaVolumeDown:
            host_.PressKey(MediaKey::VolumeDown);
            window_.SetTimer(kTimerVolumeDown, 100);
            break;
        case kMediaVolumeUp:
            host_.PressKey(MediaKey::VolumeUp);
            window_.SetTimer(kTimerVolumeUp, 100);
            break;
        default:
            break;
    }
}

void KeyboardLink::TalkCommand(std::uint8_t data, std::uint8_t action) {
    const win::HWND partner = shared_.talkPartner.load();
    if (partner == 0) return;
    const int entry = TalkEntryOf(data);
    std::uint8_t function = 0;
    std::uint16_t value0 = 0, value1 = 0;
    if (entry >= 0) {
        const TalkCommandEntry& t =
            store_.hostSettingsBlock.talkCommands[store_.currentProfile()][entry];
        function = t.function;
        value0 = t.value0.get();
        value1 = t.value1.get();
    }
    const KeyboardIds ids = shared_.keyboardIds;
    const std::uint8_t model = store_.hostSettingsBlock.modelFlag;
    std::uint8_t bytes[10];
    StoreLe16(bytes + 0, ids.vendorId);
    StoreLe16(bytes + 2, model == 1 ? ids.productIdA : model == 2 ? ids.productIdB : 0);
    bytes[4] = function;
    StoreLe16(bytes + 5, value0);
    StoreLe16(bytes + 7, value1);
    bytes[9] = action;
    win::SendCopyData(partner, link::talk::kCopyDataWParam, function, bytes, sizeof bytes);
}

void KeyboardLink::CountAndAward(const report::KeyboardEvent& event, bool counterEvent) {
    StatisticsRecord& stats = store_.statistics();
    int lastTrophy = 0;
    auto award = [&](int bit, std::int32_t points) {
        stats.trophyBits = stats.trophyBits.get() | (1u << bit);
        stats.trophyPoints = AddSaturated(stats.trophyPoints, points);
        RequestSound(kSoundEvent, bit == kAllTrophiesBit ? kSoundAllTrophies : kSoundTrophy);
        lastTrophy = bit + 1;
    };
    // The first tier reached and not yet held; at most one per group and event.
    auto check = [&](const TrophyGroup& g) {
        std::int64_t sum = 0;
        for (int c = g.firstCounter; c <= g.lastCounter; ++c) sum += stats.lifetime[c].get();
        for (int tier = 0; tier < 3; ++tier) {
            if (sum >= g.thresholds[tier] && (stats.trophyBits.get() & (1u << g.bits[tier])) == 0) {
                award(g.bits[tier], kTierPoints[tier]);
                return;
            }
        }
    };
    for (const TrophyGroup& g : kIndexGroups) {
        if (event.index >= g.firstIndex && event.index <= g.lastIndex) check(g);
    }
    check(kCounterZeroGroup);
    constexpr std::uint32_t kFifteen = (1u << kAllTrophiesBit) - 1;
    if ((stats.trophyBits.get() & kFifteen) == kFifteen &&
        (stats.trophyBits.get() & (1u << kAllTrophiesBit)) == 0) {
        award(kAllTrophiesBit, kAllTrophiesPoints);
    }
    if (!counterEvent) return;
    settings_.WriteStatistics(stats);
    const win::HWND config = FindConfigLinkWindow();
    Notify(config, link::block::kStatistics, &stats, sizeof stats);
    if (lastTrophy != 0) {
        store_.hostSettingsBlock.startPage = HostSettingsBlock::kTrophyStartPage;
        if (config != 0)
            win::PostMessage(config, link::kMsgNotify, link::notice::kTrophy,
                             link::notice::TrophyParam(lastTrophy));
    }
}

void KeyboardLink::MacroRecorded(int slot) {
    if (!SlotHasMacro(slot)) {
        log::Warning(
            kArea,
            log::Format("a macro recorded into slot %d, which holds no macro; ignored", slot));
        return;
    }
    const int p = store_.currentProfile();
    MacroReportImage& image = store_.macroImage(p, slot);
    {
        const auto exchange = port_.HoldExchanges();
        const auto request = report::RequestReport(p, static_cast<std::uint8_t>(slot));
        WriteReport(request.data(), request.size(), kDefaultPollMs);
        auto bytes = BytesOf(image);
        report::PrepareReadBuffer(report::kMacro, bytes);
        port_.GetFeature(bytes.data(), bytes.size());
    }

    // The set macros recorded on the keyboard go to.
    auto& sets = store_.macroSets;
    auto live = std::find_if(sets.begin(), sets.end(),
                             [](const auto& s) { return s.name.str() == kMacroLiveSet; });
    if (live == sets.end()) {
        HIDMSG::_SMacroGroupData set;
        std::memset(static_cast<void*>(&set), 0, sizeof set);
        set.setNumber = static_cast<std::int32_t>(sets.size());
        set.change = HIDMSG::kChangeAdd;
        set.name.set(kMacroLiveSet);
        settings_.ApplySetOperation(false, set, sets, store_.macros);
        live = std::find_if(sets.begin(), sets.end(),
                            [](const auto& s) { return s.name.str() == kMacroLiveSet; });
        if (live == sets.end()) return;
    }
    const std::int32_t setIndex = live->setNumber;
    auto record = std::make_unique<HIDMSG::_SMacroDefaultData>(
        RecordFromMacroImage(image, setIndex, kMacroLiveSet));

    // A unique name within the set: "-1", "-2", ... at its end, the name
    // shortened (never inside a character) where the suffix would not fit.
    auto taken = [&](const std::string& name) {
        return std::any_of(store_.macros.begin(), store_.macros.end(), [&](const auto& m) {
            return m.setNumber.get() == setIndex &&
                   SameStoredName(m.name.str(), name, kStoredMacroNameBytes, text::EqualNoCaseUtf8);
        });
    };
    const std::string original = record->name.str();
    if (taken(original)) {
        std::string name;
        for (int n = 1;; ++n) {
            const std::string suffix = "-" + std::to_string(n);
            const std::size_t room = sizeof record->name.bytes - suffix.size();
            const std::size_t keep = text::FitMultiByte(text::kCodePageSystem, original, room + 1);
            name = original.substr(0, keep) + suffix;
            if (!taken(name)) break;
        }
        record->name.set_full(name);
        image.name = record->name;
        MacroReportImage copy = image;
        copy.setName.set(kMacroLiveSet);
        report::FrameMacroReport(report::kMacro, BytesOf(copy));
        WriteReport(reinterpret_cast<const std::uint8_t*>(&copy), sizeof copy, kDefaultPollMs);
        log::Info(kArea, "recorded macro \"" + original + "\" stored as \"" + name + "\"");
    }

    // The key calls the macro of the store (the keyboard did the same itself).
    std::uint16_t keysCode = 0;
    if (slot >= 10 && slot < 16) {
        std::uint8_t* entry = store_.thumbKeyReports[p] + report::kThumbKeyEntries +
                              (slot - 10) * report::kFunctionEntrySize;
        entry[0] = fncode::kMacro;
        entry[1] = entry[2] = 0;
        keysCode = link::block::kThumbKeys;
    } else if (slot >= 16) {
        std::uint8_t* entry = store_.flexKeyReports[p] + report::kFlexKeyEntries +
                              (slot - 16) * report::kFunctionEntrySize;
        entry[0] = fncode::kMacro;
        entry[1] = entry[2] = 0;
        keysCode = link::block::kFlexKeys;
    }

    record->change = HIDMSG::kChangeAdd;
    settings_.ApplyMacroOperation(false, *record, store_.macros);

    if (const win::HWND config = FindConfigLinkWindow()) {
        if (keysCode == link::block::kThumbKeys)
            Notify(config, keysCode, store_.thumbKeyReports, sizeof store_.thumbKeyReports);
        if (keysCode == link::block::kFlexKeys)
            Notify(config, keysCode, store_.flexKeyReports, sizeof store_.flexKeyReports);
        const auto macros = ListBytes(store_, link::list::kMacros);
        Notify(config, link::list::kMacros, macros.data(), macros.size());
        const auto sets = ListBytes(store_, link::list::kMacroSets);
        Notify(config, link::list::kMacroSets, sets.data(), sets.size());
        Notify(config, link::block::kMacros, store_.macroReports, sizeof store_.macroReports);
    }
}

}  // namespace vyre
