#pragma once
// CTrayThread, the Monitor's tray icon: shown while a keyboard is connected,
// with the menu of the five profiles (the current one ticked), the profile
// notice's tick, "Configuration", "Start with the desktop" and "Exit"; a
// double-click starts the Config. Its tooltip names the current profile, and
// a change of the current profile shows a short notice (unless turned off;
// the choice is kept in the settings as "Profile Notice").
//
// Qt keeps its GUI objects on the GUI thread, so the tray's window (and with
// it the icon) lives there instead of on a thread of its own; it takes the
// same messages. Under --record showing and hiding the icon and the message
// box are written to the record instead.

#include <filesystem>
#include <functional>
#include <cstdint>
#include <memory>
#include <set>

#include "monitor/link/monitor_shared.h"
#include "platform/window.h"

#include <QString>

class QAction;
class QActionGroup;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace vyre {
namespace platform {
class Registry;
}

inline constexpr unsigned kTrayMenuConfiguration = 1029;
inline constexpr unsigned kTrayMenuExit = 1030;

class CTrayThread {
  public:
    // `settings` keeps the notice's tick (the user's settings key when null).
    explicit CTrayThread(MonitorShared& shared, platform::Registry* settings = nullptr);
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
    // Asks the keyboard thread to switch to a profile, as its profile key does.
    void MenuProfile(int profile);
    // Turns the profile notice on or off and keeps the choice.
    void MenuNotices(bool on);
    bool noticesTicked() const;
    QMenu* menu() { return menu_.get(); }
    QString toolTip() const;
    // Pictures of the menu and of the profile notice, written once the
    // profiles are known (--screenshots).
    std::filesystem::path screenshotFolder;
    void WriteScreenshots(const std::filesystem::path& folder);

  private:
    void ShowIcon(bool show);
    bool StartConfig();
    // The keyboard thread published the profiles (notify 1032/3).
    void ProfilesChanged(bool currentChanged);
    // The keyboard did not take a command that no Config was there to hear
    // of (notify 1032/4): the commands of one burst are told in one message.
    void NotWritten(std::uint16_t command);
    void TellNotWritten();

    MonitorShared& shared_;
    win::Window window_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<QMenu> menu_;
    platform::Registry& settings_;
    QAction* autostart_ = nullptr;  // owned by menu_
    QAction* notices_ = nullptr;    // owned by menu_
    QAction* profiles_[kProfileCount] = {};  // owned by menu_
    QActionGroup* profileGroup_ = nullptr;   // owned by menu_
    bool shown_ = false;
    std::set<std::uint16_t> notWritten_;
    std::unique_ptr<QTimer> notWrittenTimer_;
};

}  // namespace vyre
