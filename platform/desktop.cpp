#include "platform/desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/log.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/profile_ini.h"

namespace vyre::platform {
namespace {

class X11Desktop : public Desktop {
  public:
    explicit X11Desktop(Display* display) : display_(display) {
        wayland_ = WaylandSession();
        active_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
        pid_ = XInternAtom(display_, "_NET_WM_PID", False);
        type_ = XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False);
        typeDesktop_ = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
    }
    ~X11Desktop() override { XCloseDisplay(display_); }

    std::optional<ForegroundProgram> Foreground() override {
        std::lock_guard lock(mutex_);
        const auto active = Property(DefaultRootWindow(display_), active_, XA_WINDOW);
        if (!active) return std::nullopt;  // no window manager that tells
        ForegroundProgram fg;
        fg.window = active->empty() ? 0 : (*active)[0];
        // In a Wayland session no active X11 window means a Wayland window is
        // in front, which X11 cannot name: the foreground is unknown.
        if (fg.window == 0 && wayland_) return std::nullopt;
        if (fg.window == 0) {
            fg.desktop = true;
            return fg;
        }
        const Window w = static_cast<Window>(fg.window);
        if (const auto types = Property(w, type_, XA_ATOM)) {
            for (unsigned long t : *types) {
                if (t == typeDesktop_) fg.desktop = true;
            }
        }
        if (const auto pid = Property(w, pid_, XA_CARDINAL); pid && !pid->empty()) {
            const bool desktop = fg.desktop;
            fg = ProgramOfProcess(fg.window, static_cast<long>((*pid)[0]));
            fg.desktop = desktop;
        }
        return fg;
    }

  private:
    // A 32-bit property as longs; nullopt when the window has none.
    std::optional<std::vector<unsigned long>> Property(Window w, Atom name, Atom type) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, w, name, 0, 64, False, type, &actualType, &format, &count,
                               &after, &data) != Success ||
            actualType == None) {
            if (data) XFree(data);
            return std::nullopt;
        }
        std::vector<unsigned long> values;
        if (format == 32 && data) {
            const auto* longs = reinterpret_cast<const unsigned long*>(data);
            values.assign(longs, longs + count);
        }
        if (data) XFree(data);
        return values;
    }

    std::mutex mutex_;
    Display* display_;
    Atom active_, pid_, type_, typeDesktop_;
    bool wayland_ = false;
};

int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}  // a window that went away meanwhile

}  // namespace

ForegroundProgram ProgramOfProcess(std::uint64_t window, long pid) {
    ForegroundProgram fg;
    fg.window = window;
    if (pid <= 0) return fg;
    const std::string proc = "/proc/" + std::to_string(pid);
    fg.path = process::ExecutableOf(static_cast<pid_t>(pid)).string();
    std::ifstream cmdline(proc + "/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t end = std::min(all.find('\0', at), all.size());
        fg.arguments.push_back(all.substr(at, end - at));
        at = end + 1;
    }
    // A Flatpak sandbox names its app in a file at the sandbox's root.
    fg.appId = GetPrivateProfileString("Application", "name", "", proc + "/root/.flatpak-info");
    return fg;
}

std::unique_ptr<Desktop> MakeX11Desktop() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;
    XSetErrorHandler(&IgnoreErrors);
    return std::make_unique<X11Desktop>(display);
}

std::unique_ptr<Desktop> MakeSessionDesktop() {
    if (WaylandSession()) {
        if (auto wlroots = MakeWlrootsDesktop()) return wlroots;
        if (auto dbus = MakeDBusDesktop((paths::AssetFolder() / "kwin" / "vyre-lumo-foreground.js").string()))
            return dbus;
        log::Info("desktop",
                  "this Wayland desktop does not tell which program is in front: profiles follow only "
                  "X11 (Xwayland) programs here. They follow every program on sway and other wlroots "
                  "desktops, on KDE Plasma, and on GNOME with the Vyre Lumo extension enabled");
    }
    return MakeX11Desktop();
}

bool WaylandSession() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return wayland != nullptr && *wayland != '\0';
}

}  // namespace vyre::platform
