// The keyboard thread's periodic work (timers 100 to 108 of its window) and
// the live key lighting it writes: light macro steps, the volume level on the
// number keys, and the restore of the keyboard's own lighting.

#include <cstring>

#include "common/link_codes.h"
#include "common/log.h"
#include "common/reports.h"
#include "monitor/link/keyboard_link.h"

namespace vyre {
namespace {

// Countdown values that are spoken.
constexpr bool Spoken(std::int32_t s) {
    return s == 10 || (s >= 0 && s <= 5);
}

// The number keys "2".."9", "0" that show volume levels 1..9 ("1" is always lit).
constexpr int kVolumeKeyOne = 13;
constexpr int kVolumeKeys[9] = {25, 26, 27, 39, 28, 40, 29, 41, 18};

void SetKeyBit(std::uint8_t* bitmap, int key, bool on) {
    std::uint8_t& byte = bitmap[report::kKeyLightBits + key / 8];
    const auto bit = static_cast<std::uint8_t>(1u << (key % 8));
    byte = on ? (byte | bit) : (byte & ~bit);
}

}  // namespace

void KeyboardLink::OnTimer(unsigned id) {
    switch (id) {
        case kTimerStatistics:
            StatisticsRollOver();
            return;
        case kTimerProgramSwitch: ProgramSwitchTick(); return;
        case kTimerCountdown:
            CountdownTick();
            return;
        case kTimerVolumeDisplay:
            VolumeLevelTick();
            return;
        case kTimerLightRestore:
            window_.KillTimer(kTimerLightRestore);
            volumeShowing_ = false;
            RestoreLights();
            return;
        case kTimerVolumeUp:
            host_.PressKey(platform::MediaKey::VolumeUp);
            return;
        case kTimerVolumeDown:
            host_.PressKey(platform::MediaKey::VolumeDown);
            return;
        default:
            return;
    }
}

void KeyboardLink::StatisticsRollOver() {
    StatisticsRecord& stats = store_.statistics();
    const std::int32_t now = Now();
    const std::int32_t stored = stats.lifetime[kStatisticsDateIndex];
    if (now == stored) return;
    // Another day is another date, not only another day of the month.
    if (stored / 100 != now / 100) {
        for (int c = 0; c < kStatisticsCounters; ++c) {
            stats.hour[c] = 0;
            stats.day[c] = 0;
        }
    } else if (stored % 100 != now % 100) {
        for (int c = 0; c < kStatisticsCounters; ++c) stats.hour[c] = 0;
    }
    stats.lifetime[kStatisticsDateIndex] = now;
    stats.hour[kStatisticsDateIndex] = now;
    stats.day[kStatisticsDateIndex] = now;
    settings_.WriteStatistics(stats);
    Notify(FindConfigLinkWindow(), link::block::kStatistics, &stats, sizeof stats);
}

void KeyboardLink::CountdownTick() {
    for (int p = 0; p < kProfileCount; ++p) {
        for (int slot = 0; slot < kDataSlotsPerProfile; ++slot) {
            HIDMSG::_STimerSettingData& timer = store_.keyTimer(p, slot);
            if (!timer.running()) continue;
            const std::int32_t remaining = timer.remaining();
            if (remaining <= 0) {
                timer.set_running(false);
                continue;
            }
            timer.set_remaining(remaining - 1);
            if (Spoken(remaining - 1)) RequestSound(kSoundCountdown, remaining - 1);
            if (remaining - 1 == 0) timer.set_running(false);
        }
    }
}

void KeyboardLink::VolumeLevelTick() {
    const ProfileHostRecord& rec = store_.hostRecord(store_.currentProfile());
    if (store_.hostSettingsBlock.modelFlag != 2 || (rec.soundSettings.volumeDisplay & 1) == 0)
        return;
    const int level = host_.VolumePercent() / 10;
    if (level == lastVolumeLevel_) return;
    volumeShowing_ = true;
    ShowVolumeLevel(level);
    lastVolumeLevel_ = level;
}

// ---- live key lighting ------------------------------------------------------------------

void KeyboardLink::LightRequest(unsigned request, win::LPARAM data) {
    lightMacroActive_ = request != kLightRestore;
    switch (request) {
        case kLightStep: {
            if (data == 0) return;
            MacroEvent step;
            std::memcpy(&step, reinterpret_cast<const void*>(data), sizeof step);
            ApplyLightStep(step);
            return;
        }
        case kLightVolume:
            ShowVolumeLevel(static_cast<int>(data));
            return;
        case kLightRestore:
            RestoreLights();
            return;
        default:
            return;
    }
}

void KeyboardLink::LiveLighting(bool on) {
    const auto report = report::LiveLightReport(on);
    std::memcpy(store_.liveLightReport, report.data(), report.size());
    WriteReport(report.data(), report.size(), kDefaultPollMs);
}

void KeyboardLink::WriteKeyLightBitmap() {
    const int p = store_.currentProfile();
    std::uint8_t bitmap[report::kKeyLightBitmapLength];
    {
        std::lock_guard lock(shared_.keyLightLock);
        report::FrameReport(report::kKeyLightBitmap, p, store_.keyLightBitmaps[p]);
        std::memcpy(bitmap, store_.keyLightBitmaps[p], sizeof bitmap);
    }
    WriteReport(bitmap, sizeof bitmap, kDefaultPollMs);
}

void KeyboardLink::ApplyLightStep(const MacroEvent& step) {
    const int p = store_.currentProfile();
    {
        std::lock_guard lock(shared_.keyLightLock);
        std::uint8_t* bitmap = store_.keyLightBitmaps[p];
        if (step.code == 0) {
            std::memset(bitmap, 0, report::kKeyLightBitmapLength);
        } else {
            int key = 0;  // a usage no key produces lights key index 0
            for (int i = 0; i < static_cast<int>(report::kRemapKeyCount); ++i) {
                if (store_.keyRemapReports[p][report::kKeyRemapUsages + i] == step.code) {
                    key = i;
                    break;
                }
            }
            SetKeyBit(bitmap, key, step.state == MacroEvent::kDown);
        }
    }
    if (store_.liveLightReport[2] != 1) LiveLighting(true);
    WriteKeyLightBitmap();
}

void KeyboardLink::ShowVolumeLevel(int level) {
    const int p = store_.currentProfile();
    if (level >= 0 && level <= 10) {
        std::lock_guard lock(shared_.keyLightLock);
        std::uint8_t* bitmap = store_.keyLightBitmaps[p];
        SetKeyBit(bitmap, kVolumeKeyOne, true);
        for (int i = 0; i < 9; ++i) SetKeyBit(bitmap, kVolumeKeys[i], i < level);
    }
    if (store_.liveLightReport[2] != 1) LiveLighting(true);
    WriteKeyLightBitmap();
    window_.SetTimer(kTimerLightRestore, 1000);
}

void KeyboardLink::RestoreLights() {
    if (store_.liveLightReport[2] != 1 || lightMacroActive_ || volumeShowing_) return;
    {
        std::lock_guard lock(shared_.keyLightLock);
        std::memset(store_.keyLightBitmaps[store_.currentProfile()] + report::kKeyLightBits, 0, 15);
    }
    LiveLighting(false);
}

void KeyboardLink::StopRipples() {
    ripples_->StopAll();
}

}  // namespace vyre
