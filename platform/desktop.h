#pragma once
// The program in front: the foreground window of the desktop and the program
// that owns it.
//
// Backends: X11 (_NET_ACTIVE_WINDOW, its _NET_WM_PID and /proc for the
// program), and a value tests set. Where the foreground cannot be known (no
// display; a Wayland session without an X11 window in front) there is none.

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
};

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

// True in a Wayland session (WAYLAND_DISPLAY set), even where DISPLAY names
// an Xwayland server as well: the desktop is then a Wayland one, which X11
// can neither see into fully nor reach with injected keys. The one rule for
// every part that chooses between an X11 and a Wayland path.
bool WaylandSession();

}  // namespace vyre::platform
