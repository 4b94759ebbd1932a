#pragma once
// CSoundThread, the sound feedback: plays short recordings from ".\wave\"
// for what happens on the keyboard. Event sounds wait 700 ms, so that a burst
// of events sounds once, for the last; the countdown voice plays at once.
// While the action record is active each request is also written there
// ("sound-request <kind> <value>").

#include <cstdint>
#include <memory>
#include <string>

#include "monitor/link/monitor_shared.h"
#include "platform/sound.h"
#include "platform/window.h"

namespace vyre {

inline constexpr unsigned kSoundTimerPending = 103;
inline constexpr unsigned kSoundDelayMs = 700;
inline constexpr int kSoundVolumeUnit = 200;
inline constexpr const char* kSoundAlias = "1234";

// The recording an event value calls for (empty: none), given which sounds are on.
struct SoundSwitches {
    bool macro = true;
    bool profile = true;
    bool trophy = true;
};
std::string EventRecording(std::uint32_t event, const SoundSwitches& on);
// The countdown voice for seconds left (empty: none).
std::string CountdownRecording(std::int64_t seconds);

class CSoundThread : public win::Thread {
  public:
    CSoundThread(MonitorShared& shared, std::unique_ptr<platform::Mci> mci);
    ~CSoundThread() override;

    bool InitInstance() override;
    int ExitInstance() override;

    // On the thread.
    void Play(const std::string& name);

  private:
    MonitorShared& shared_;
    std::unique_ptr<platform::Mci> mci_;
    win::Window window_;
    std::int8_t volumeStep_ = 4;
    SoundSwitches on_;
    std::uint32_t pending_ = 0;
};

}  // namespace vyre
