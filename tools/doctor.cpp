#include "tools/doctor.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

#include "common/link_codes.h"
#include "common/log.h"
#include "platform/hid/access.h"
#include "platform/hid/device_ids.h"
#include "platform/hid/select.h"
#include "platform/system_info.h"
#include "tools/link_client.h"

namespace vyre::doctor {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string ModeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::strerror(errno);
    std::string mode = S_ISCHR(st.st_mode) ? "c" : "-";
    const char* bits = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) mode += (st.st_mode & (0400 >> i)) ? bits[i] : '-';
    const passwd* user = ::getpwuid(st.st_uid);
    const group* grp = ::getgrgid(st.st_gid);
    return mode + " " + (user ? user->pw_name : std::to_string(st.st_uid)) + ":" +
           (grp ? grp->gr_name : std::to_string(st.st_gid));
}

}  // namespace

std::string SessionLine() {
    std::string kind = Env("XDG_SESSION_TYPE");
    if (kind.empty()) kind = !Env("WAYLAND_DISPLAY").empty() ? "wayland" : !Env("DISPLAY").empty() ? "x11" : "none";
    const std::string desktop = Env("XDG_CURRENT_DESKTOP").empty() ? "unknown desktop" : Env("XDG_CURRENT_DESKTOP");
    if (!Env("WAYLAND_DISPLAY").empty() || kind == "wayland") {
        return "Wayland, " + desktop + ": media and volume keys through MPRIS and the sound server; key "
               "capture while the dialog has the focus; no switch to the profile of the program in front";
    }
    if (!Env("DISPLAY").empty()) {
        return "X11, " + desktop + ": everything works (media keys, keyboard repeat, key capture, the "
               "profile of the program in front)";
    }
    return kind + ", no display: the Monitor runs without a tray icon and the Config cannot open";
}

Facts Gather(LinkClient& client) {
    Facts f;
    f.ids = hid::ConfiguredKeyboardIds();
    f.rule = hid::InstalledUdevRule();
    f.ruleCommands = hid::UdevRuleCommands();
    std::string error;
    if (auto backend = hid::MakeHidapiBackend(&error)) {
        for (const hid::DeviceInfo& d : backend->Enumerate()) {
            if (d.vendorId != f.ids.vendorId || (d.productId != f.ids.productIdA && d.productId != f.ids.productIdB))
                continue;
            bool known = false;
            for (const Node& n : f.nodes) known = known || n.path == d.path;
            if (known) continue;
            Node n;
            n.path = d.path;
            n.productId = d.productId;
            n.usagePage = d.usagePage;
            n.mode = ModeOf(d.path);
            const int fd = ::open(d.path.c_str(), O_RDWR | O_CLOEXEC);
            n.openable = fd >= 0;
            if (fd >= 0) ::close(fd); else n.error = std::strerror(errno);
            f.nodes.push_back(std::move(n));
        }
    }
    if (LinkClient::FindMonitor() != 0) {
        std::vector<LinkEvent> events;
        f.monitor = MonitorState::NoAnswer;
        if (client.Dump(events, std::chrono::seconds(10)) && !events.empty()) {
            const LinkEvent& first = events.front();
            if (first.notice) {
                f.monitor = MonitorState::HasKeyboard;
            } else if (first.code == link::notification::kNoKeyboard) {
                f.monitor = MonitorState::NoKeyboard;
            } else if (first.code == link::notification::kNotReady) {
                f.monitor = MonitorState::NotReady;
            } else if (first.code == link::notification::kKeyboardNoAccess) {
                f.monitor = MonitorState::NoAccess;
                f.monitorNode.assign(first.data.begin(), first.data.end());
            } else {
                f.monitor = MonitorState::HasKeyboard;
            }
        }
    }
    f.session = SessionLine();
    f.trayHost = platform::TrayHost();
    return f;
}

Verdict Examine(const Facts& f) {
    Verdict v;
    std::string& out = v.text;
    auto problem = [&](const std::string& what, const std::string& fix, bool blocks) {
        out += std::string(blocks ? "  PROBLEM: " : "  note: ") + what + "\n";
        if (!fix.empty()) {
            out += "  fix:\n";
            std::size_t at = 0;
            while (at <= fix.size()) {
                const std::size_t end = std::min(fix.find('\n', at), fix.size());
                out += "    " + fix.substr(at, end - at) + "\n";
                at = end + 1;
            }
        }
        v.blocked = v.blocked || blocks;
    };

    out += log::Format("keyboard (vendor %04x, model A %04x, model B %04x):\n", f.ids.vendorId,
                       f.ids.productIdA, f.ids.productIdB);
    bool denied = false;
    for (const Node& n : f.nodes) {
        out += log::Format("  %s  model %s  usage page 0x%02x  %s  %s\n", n.path.c_str(),
                           n.productId == f.ids.productIdA ? "A" : "B", n.usagePage, n.mode.c_str(),
                           n.openable ? "opens" : ("does not open: " + n.error).c_str());
        denied = denied || !n.openable;
    }
    if (f.nodes.empty()) {
        problem("no keyboard is attached (or it has other ids: VYRE_LUMO_VID, VYRE_LUMO_PID_A, "
                "VYRE_LUMO_PID_B)", "plug the keyboard in", true);
    } else if (denied) {
        problem("this user may not open the keyboard's nodes", f.ruleCommands, true);
    }

    out += "udev rule: " + (f.rule.empty() ? std::string("not installed") : f.rule) + "\n";
    if (f.rule.empty()) {
        problem("without the rule only root may open the keyboard", f.ruleCommands, true);
    } else if (denied) {
        problem("the rule is installed but not applied to the keyboard's nodes", f.ruleCommands, true);
    }

    out += "monitor: ";
    switch (f.monitor) {
        case MonitorState::NotRunning:
            out += "not running\n";
            problem("the Config starts it; so does the desktop session", "vyre-lumo-monitor &", false);
            break;
        case MonitorState::NoAnswer:
            out += "running, but it does not answer\n";
            problem("the Monitor does not answer within 10 s", "", true);
            break;
        case MonitorState::NoKeyboard:
            out += "running, without a keyboard\n";
            break;
        case MonitorState::NoAccess:
            out += "running; it may not open " + f.monitorNode + "\n";
            break;
        case MonitorState::NotReady:
            out += "running, reading the keyboard\n";
            break;
        case MonitorState::HasKeyboard:
            out += "running, with the keyboard\n";
            break;
    }

    out += "session: " + f.session + "\n";
    out += "tray: " + (f.trayHost.empty() ? std::string("none") : f.trayHost) + "\n";
    if (f.trayHost.empty()) {
        problem("the Monitor shows no tray icon here; open the Config from the desktop's menu", "", false);
    }
    out += v.blocked ? "result: something keeps the keyboard from working (see PROBLEM)\n"
                     : "result: nothing keeps the keyboard from working\n";
    return v;
}

}  // namespace vyre::doctor
