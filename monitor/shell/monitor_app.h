#pragma once
// CVyreMKMonitorApp, the Monitor program: the single-instance rule, the
// control window on the main thread, the keyboard thread, and the stop.

#include <filesystem>
#include <memory>
#include <string>

#include "common/profile_store.h"
#include "monitor/link/hid_filter_thread.h"
#include "monitor/link/host_actions.h"
#include "monitor/link/led_macro_thread.h"
#include "monitor/link/monitor_shared.h"
#include "monitor/link/pending_commands.h"
#include "monitor/link/settings.h"
#include "monitor/shell/control_window.h"
#include "monitor/shell/sound_thread.h"
#include "monitor/shell/tray.h"
#include "platform/hid/hid.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace vyre {

// Stack of the keyboard thread, which works on whole settings blocks.
inline constexpr std::size_t kKeyboardThreadStack = 20485760;
// How long the stop waits for the keyboard thread before it cuts its waits
// short, and how long after that.
inline constexpr int kStopWaitMs = 3000;
inline constexpr int kStopAbortWaitMs = 5000;

struct MonitorOptions {
    std::unique_ptr<hid::Backend> backend;  // null: the HID layer could not start
    // A Qt application runs on the main thread (tray icon, popup); false:
    // the Monitor runs without a display.
    bool gui = false;
    CHIDFilterThread::Options link;
    // Where the tray writes pictures of its menu and notice (empty: nowhere).
    std::filesystem::path screenshots;
};

class CVyreMKMonitorApp {
  public:
    explicit CVyreMKMonitorApp(MonitorOptions options);
    ~CVyreMKMonitorApp();

    // False: another Monitor runs (end silently) or the control window could
    // not be created.
    bool InitInstance();
    // After a false InitInstance: true when the start failed, false when
    // another Monitor runs (which is no failure).
    bool startFailed() const { return startFailed_; }
    // The main thread's message loop (inside Qt's with a GUI), until the stop.
    int Run();
    CTrayThread* tray() { return tray_.get(); }
    // Waits (bounded) for the threads, then takes the control window down.
    int ExitInstance();

    MonitorShared& shared() { return shared_; }
    ProfileStore& store() { return *store_; }
    CHIDFilterThread* keyboardThread() { return keyboardThread_.get(); }

  private:
    bool startFailed_ = false;
    MonitorOptions options_;
    std::unique_ptr<ProfileStore> store_;
    MonitorShared shared_;
    PendingCommands commands_;
    std::unique_ptr<platform::KeyboardRepeatSettings> repeat_;
    std::unique_ptr<SettingsPersistence> settings_;
    std::unique_ptr<HostActions> host_;
    std::unique_ptr<CMoniterCtrl> control_;
    std::unique_ptr<CSoundThread> soundThread_;
    std::unique_ptr<CTrayThread> tray_;
    std::unique_ptr<CLEDMacroThread> lightThread_;
    std::unique_ptr<CHIDFilterThread> keyboardThread_;
};

}  // namespace vyre
