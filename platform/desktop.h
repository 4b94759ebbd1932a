#pragma once
// The program in front: the foreground window of the desktop and the program
// that owns it.
//
// Backends: X11 (_NET_ACTIVE_WINDOW, its _NET_WM_PID and /proc for the
// program); on Wayland, wlroots compositors (foreign-toplevel-management and
// the compositor's IPC); and a value tests set. Where the foreground cannot
// be known (no display; a Wayland desktop that tells nothing, without an X11
// window in front) there is none.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vyre::platform {

struct ForegroundProgram {
    std::uint64_t window = 0;  // 0: no window in front
    bool desktop = false;      // the desktop itself is in front (or no window is)
    std::string path;          // the program's file; empty when it cannot be read
    std::vector<std::string> arguments;  // its command line (a Wine loader's names the game)
    std::string appId;                   // a sandboxed (Flatpak) app's id; empty otherwise
};

// The program of a process: its file, command line and sandbox app id, as
// far as this user may read them.
ForegroundProgram ProgramOfProcess(std::uint64_t window, long pid);

class Desktop {
  public:
    virtual ~Desktop() = default;
    // Nullopt when the foreground cannot be known here.
    virtual std::optional<ForegroundProgram> Foreground() = 0;
    // What the user must do so that the program in front can be known (a
    // desktop's part that is missing or off); empty when nothing.
    virtual std::string Advice() { return {}; }
};

// The Monitor's D-Bus service, which a desktop's own part (the KWin script,
// the GNOME Shell extension) tells the active window:
// Activated(s pid, s appId), the pid in decimal, "0" for no window.
inline constexpr const char* kForegroundService = "com.kalvex.VyreLumo.Monitor";
inline constexpr const char* kForegroundPath = "/Foreground";
inline constexpr const char* kForegroundInterface = "com.kalvex.VyreLumo.Foreground";
inline constexpr const char* kGnomeExtension = "vyre-lumo@kalvex.com";
inline constexpr const char* kGnomeExtensionMissing =
    "The Vyre Lumo GNOME Shell extension is not installed, so profiles cannot follow the program in "
    "front. Install the vyre-lumo package for this system, log out and in, then run: "
    "gnome-extensions enable vyre-lumo@kalvex.com";
inline constexpr const char* kGnomeExtensionOff =
    "Profiles follow the program in front on GNOME once the Vyre Lumo extension is on: open "
    "Extensions and switch on \"Vyre Lumo\", or run: gnome-extensions enable vyre-lumo@kalvex.com";

class SettableDesktop : public Desktop {
  public:
    std::optional<ForegroundProgram> Foreground() override {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void Set(std::optional<ForegroundProgram> value) {
        std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }

  private:
    std::mutex mutex_;
    std::optional<ForegroundProgram> value_;
};

// Null without an X display.
std::unique_ptr<Desktop> MakeX11Desktop();

// Null outside a Wayland session or where its compositor does not offer
// foreign-toplevel-management.
std::unique_ptr<Desktop> MakeWlrootsDesktop();

// KDE Plasma: loads the KWin script `script` through KWin's D-Bus scripting
// interface and takes what it reports. GNOME: takes what the Vyre Lumo
// extension reports, and advises turning it on where it is missing or off.
// Both need a Qt application object; null without one.
std::unique_ptr<Desktop> MakeKWinDesktop(const std::string& script);
std::unique_ptr<Desktop> MakeGnomeDesktop();
// The one of the two that the session's desktop (XDG_CURRENT_DESKTOP) calls for; X11
// tells of Xwayland windows until it has reported.
std::unique_ptr<Desktop> MakeDBusDesktop(const std::string& kwinScript);

// The source the session offers: a Wayland desktop's own where it has one,
// else X11 (which sees Xwayland windows). Logs once what is missing and how
// to get it when a Wayland desktop tells nothing. Null when nothing can tell.
std::unique_ptr<Desktop> MakeSessionDesktop();

// True in a Wayland session (WAYLAND_DISPLAY set), even where DISPLAY names
// an Xwayland server as well: the desktop is then a Wayland one, which X11
// can neither see into fully nor reach with injected keys. The one rule for
// every part that chooses between an X11 and a Wayland path.
bool WaylandSession();

}  // namespace vyre::platform
