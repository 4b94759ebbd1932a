#pragma once
// CTrayThread, the Monitor's tray icon: shown while a keyboard is connected,
// with the menu "Configuration" / "Exit"; a double-click starts the Config.
//
// Qt keeps its GUI objects on the GUI thread, so the tray's window (and with
// it the icon) lives there instead of on a thread of its own; it takes the
// same messages. Under --record showing and hiding the icon and the message
// box are written to the record instead.

#include <functional>
#include <memory>

#include "monitor/link/monitor_shared.h"
#include "platform/window.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vyre {

inline constexpr unsigned kTrayMenuConfiguration = 1029;
inline constexpr unsigned kTrayMenuExit = 1030;

class CTrayThread {
  public:
    explicit CTrayThread(MonitorShared& shared);
    ~CTrayThread();

    // Creates the window, the menu and the icon on the calling (GUI) thread.
    bool Create();
    void Destroy();

    bool iconShown() const { return shown_; }
    // Starts the Config; true when it started (tests put their own here).
    std::function<bool()> startConfig;
    // The menu's and the icon's actions (also for tests).
    void DoubleClicked();
    void MenuConfiguration();
    void MenuExit();
    // Writes or removes the user's autostart entry; the tick shows the result.
    void MenuAutostart(bool on);
    bool autostartTicked() const;

  private:
    void ShowIcon(bool show);
    bool StartConfig();

    MonitorShared& shared_;
    win::Window window_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<QMenu> menu_;
    QAction* autostart_ = nullptr;  // owned by menu_
    bool shown_ = false;
};

}  // namespace vyre
