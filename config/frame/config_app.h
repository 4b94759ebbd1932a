#pragma once
// CVyreMKConfigApp, the Config program: finds (or starts) the Monitor, stays
// away when the firmware updater or another Config runs, starts the link
// thread, shows the main dialog once the Monitor has sent everything, and
// ends when the dialog ends, the Monitor goes away or has no keyboard.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include "config/frame/config_dlg.h"
#include "config/frame/data_work.h"
#include "platform/window.h"

namespace vyre {

// Looks for the Monitor after starting it: six looks, each after 4 s.
inline constexpr int kMonitorLooks = 6;
inline constexpr int kMonitorLookMs = 4000;
inline constexpr std::size_t kLinkThreadStack = 10480000;

class CVyreMKConfigApp {
  public:
    CVyreMKConfigApp();
    ~CVyreMKConfigApp();

    // False: end at once (a message was shown where one is due).
    bool InitInstance();
    // Qt's loop with this thread's windows served inside it, to the end.
    int Run();

    ConfigShared& shared() { return shared_; }
    CVyreMKConfigDlg* dialog() { return dialog_.get(); }
    // Called once the main dialog is shown (screenshots, tests).
    std::function<void(CVyreMKConfigDlg&)> onDialogShown;
    // The wait before each look for a Monitor that was started (tests record it).
    std::function<void(std::chrono::milliseconds)> waitBeforeLook = [](std::chrono::milliseconds ms) {
        std::this_thread::sleep_for(ms);
    };

  private:
    void ShowDialog();
    void EndBeforeDialog();
    void MessageBox(const char* text, const char* caption);

    ConfigShared shared_;
    win::Window mainWindow_;
    std::unique_ptr<CDataWorkThread> linkThread_;
    std::unique_ptr<CVyreMKConfigDlg> dialog_;
};

}  // namespace vyre
