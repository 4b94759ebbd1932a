#pragma once
// CLEDMacroThread, the light macro player: plays the light macro of a key as
// timed steps, each handed to the keyboard thread (message 1040/34), which
// writes the key light bitmap. A second press of the key stops it, another
// light macro key replaces it; one second after the end the keyboard thread
// restores the keyboard's own lighting.

#include <cstdint>
#include <vector>

#include "common/profile_store.h"
#include "monitor/link/monitor_shared.h"
#include "platform/window.h"

namespace vyre {

inline constexpr unsigned kLedTimerStep = 100;
inline constexpr unsigned kLedTimerRestore = 105;
inline constexpr int kNoLightSlot = 255;

class CLEDMacroThread : public win::Thread {
  public:
    CLEDMacroThread(ProfileStore& store, MonitorShared& shared);
    ~CLEDMacroThread() override;

    bool InitInstance() override;
    int ExitInstance() override;

    // On the thread: start (or stop, for the slot playing) a light macro.
    void StartMacro(int slot);
    void Step();
    bool playing() const { return playing_; }

  private:
    void SendStep(const MacroEvent& step);

    ProfileStore& store_;
    MonitorShared& shared_;
    win::Window window_;
    std::vector<MacroEvent> steps_;
    int repeatCount_ = 1;
    std::size_t stepIndex_ = 0;
    int loopsDone_ = 0;
    bool playing_ = false;
    int currentSlot_ = kNoLightSlot;
};

}  // namespace vyre
