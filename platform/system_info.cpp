#include "platform/system_info.h"

#include <hidapi.h>
#include <sys/utsname.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QtGlobal>
#include <cstdlib>
#include <fstream>

#include <X11/Xlib.h>  // after Qt: it defines Bool and Status

namespace vyre::platform {

namespace {

std::string EnvOr(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::string(v) : std::string(fallback);
}

// PRETTY_NAME of os-release, without its quotes.
std::string Distribution() {
    for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
            std::string value = line.substr(12);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) {
                value = value.substr(1, value.size() - 2);
            }
            return value;
        }
    }
    return "unknown";
}

}  // namespace

std::vector<std::string> SystemFacts() {
    std::vector<std::string> facts;
    facts.push_back("distribution: " + Distribution());
    utsname uts{};
    if (::uname(&uts) == 0) {
        facts.push_back(std::string("kernel: ") + uts.sysname + " " + uts.release + " " + uts.machine);
    }
    facts.push_back("session type: " + EnvOr("XDG_SESSION_TYPE", "unknown"));
    facts.push_back("desktop: " + EnvOr("XDG_CURRENT_DESKTOP", EnvOr("DESKTOP_SESSION", "unknown").c_str()));
    facts.push_back(std::string("display: ") + (std::getenv("WAYLAND_DISPLAY") ? "Wayland " : "") +
                    (std::getenv("DISPLAY") ? "X11" : (std::getenv("WAYLAND_DISPLAY") ? "" : "none")));
    facts.push_back(std::string("Qt: ") + qVersion() + " (built with " QT_VERSION_STR ")");
    facts.push_back(std::string("hidapi: ") + hid_version_str());
    return facts;
}

std::string TrayHost() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() != nullptr &&
        bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value()) {
        return "StatusNotifierItem";
    }
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return {};
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return {};
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    const bool tray = XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
    XCloseDisplay(display);
    return tray ? "XEmbed" : "";
}

}  // namespace vyre::platform
