#include "monitor/shell/sound_thread.h"

#include <string>

#include "common/bytes.h"
#include "common/link_codes.h"
#include "common/log.h"
#include "platform/record.h"

namespace vyre {

std::string EventRecording(std::uint32_t event, const SoundSwitches& on) {
    const std::uint16_t code = static_cast<std::uint16_t>(event);
    const unsigned a = (event >> 16) & 0xFF;
    const unsigned b = (event >> 24) & 0xFF;
    switch (code) {
        case 0x0005:
            return on.trophy ? "trophy0" : "";
        case 0x0006:
            return on.trophy ? "trophy1" : "";
        case 0x0100: {
            static const char* kProfiles[] = {"profile_one",  "profile_two",  "profile_three",
                                              "profile_four", "profile_five", "windows_profile"};
            return on.profile && a < 6 ? kProfiles[a] : "";
        }
        case 0x0400: {
            static const char* kMacro[] = {"macro-select-macro-key", "macro-Enter-Macro-and-press",
                                           "macro-recorded-successfully", "macro-recording-aborted",
                                           "macro-Key-not-available"};
            return on.macro && b >= 1 && b <= 5 ? kMacro[b - 1] : "";
        }
        case 0x0B00:
            if (b == 1) return "";
            return a == 0x26 ? "svolume_down" : a == 0x27 ? "volume_up" : "";
        case 0x0D00:
            return b == 1 ? "" : "timer_activated";
        case 0x0E00:
            return b == 1 ? "" : "timer_stopped";
        default:
            return "";
    }
}

std::string CountdownRecording(std::int64_t seconds) {
    switch (seconds) {
        case 0:
            return "go";
        case 1:
            return "1_second";
        case 2:
        case 3:
        case 4:
        case 5:
            return std::to_string(seconds) + "_seconds";
        case 10:
            return "10_seconds";
        default:
            return "";
    }
}

CSoundThread::CSoundThread(MonitorShared& shared, std::unique_ptr<platform::Mci> mci)
    : shared_(shared), mci_(std::move(mci)) {}

CSoundThread::~CSoundThread() {
    Stop();
}

bool CSoundThread::InitInstance() {
    const std::string name(link::kSoundWindowName);
    if (!window_.Create(name, name, win::HWND_MESSAGE)) return false;
    auto& map = window_.Messages();
    map.On(link::kMsgPlaySound, [this](win::WPARAM kind, win::LPARAM value) {
        std::uint32_t settings = 0;
        if (kind == 0 && value != 0)
            settings = LoadLe32(reinterpret_cast<const std::uint8_t*>(value));
        platform::ActionRecord::Instance().Write(log::Format(
            "sound-request %llu %lld", static_cast<unsigned long long>(kind),
            kind == 0 ? static_cast<long long>(settings) : static_cast<long long>(value)));
        switch (kind) {
            case 0:  // the profile's sound settings
                if (value == 0) break;
                on_.macro = (settings >> 16) & 1;
                on_.profile = (settings >> 17) & 1;
                on_.trophy = (settings >> 18) & 1;
                volumeStep_ = static_cast<std::int8_t>(settings >> 24);
                break;
            case 3:  // an event: played when no other follows within 700 ms
                window_.KillTimer(kSoundTimerPending);
                pending_ = static_cast<std::uint32_t>(value);
                window_.SetTimer(kSoundTimerPending, kSoundDelayMs);
                break;
            case 7:  // the countdown, at once
                if (auto name = CountdownRecording(value); !name.empty()) Play(name);
                break;
            default:
                break;
        }
        return 0;
    });
    map.On(win::WM_TIMER, [this](win::WPARAM id, win::LPARAM) {
        window_.KillTimer(kSoundTimerPending);
        if (id == kSoundTimerPending) {
            if (auto name = EventRecording(pending_, on_); !name.empty()) Play(name);
        }
        return 0;
    });
    map.On(win::WM_DESTROY, [this](win::WPARAM, win::LPARAM) {
        shared_.sound = 0;
        return 0;
    });
    shared_.sound = window_.GetSafeHwnd();
    return true;
}

int CSoundThread::ExitInstance() {
    shared_.sound = 0;
    mci_.reset();  // stops what plays
    return 0;
}

void CSoundThread::Play(const std::string& name) {
    if (!mci_) return;
    const std::string alias = kSoundAlias;
    mci_->SendString("close " + alias);
    const std::string path = ".\\wave\\" + name + ".wav";
    if (mci_->SendString("open  \"" + path + "\" type waveaudio alias " + alias) !=
        platform::MciError::None) {
        log::Debug("sound", "cannot open " + path);
        return;
    }
    mci_->SendString("setaudio " + alias + " volume to " +
                     std::to_string((volumeStep_ + 1) * kSoundVolumeUnit) + " ");
    mci_->SendString("play " + alias);
}

}  // namespace vyre
