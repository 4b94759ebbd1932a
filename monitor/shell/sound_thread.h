#pragma once
// CSoundThread's window: where the Monitor's sound requests (message 1036)
// arrive. While the action record is active each request is written there
// ("sound <kind> <value>"; for the profile settings request the value is the
// 32-bit sound settings of the profile). Playing the recordings is the sound
// player's part, which takes the same requests.

#include "monitor/link/monitor_shared.h"
#include "platform/window.h"

namespace vyre {

class CSoundThread : public win::Thread {
  public:
    explicit CSoundThread(MonitorShared& shared) : shared_(shared) {}
    ~CSoundThread() override { Stop(); }

    bool InitInstance() override;
    int ExitInstance() override;

  private:
    MonitorShared& shared_;
    win::Window window_;
};

}  // namespace vyre
