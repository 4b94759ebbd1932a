#pragma once
// vyre-lumo-ctl doctor: a first-run check that needs no Monitor. It looks at
// the keyboard's device nodes (ids, modes, whether this user may open them),
// the udev rule, the Monitor, the desktop session and the tray host, and
// names every problem with the command that fixes it.

#include <string>
#include <vector>

#include "common/device_ids.h"

namespace vyre {
class LinkClient;
}

namespace vyre::doctor {

struct Node {
    std::string path;
    std::uint16_t productId = 0;
    std::uint16_t usagePage = 0;
    std::string mode;  // "crw------- root:root"
    bool openable = false;
    std::string error;  // why it does not open
};

enum class MonitorState { NotRunning, NoAnswer, NoKeyboard, NoAccess, NotReady, HasKeyboard };

struct Facts {
    KeyboardIds ids;
    std::vector<Node> nodes;   // the keyboard's interfaces
    std::string rule;          // the installed udev rule; empty when none
    std::string ruleCommands;  // what installs and applies it
    MonitorState monitor = MonitorState::NotRunning;
    std::string monitorNode;   // the node the Monitor may not open
    std::string session;       // SessionLine()
    std::string trayHost;      // platform::TrayHost()
};

// The session in one line: its kind, the desktop, and what works there.
std::string SessionLine();

// Looks at this machine (the client asks a running Monitor).
Facts Gather(LinkClient& client);

struct Verdict {
    std::string text;
    bool blocked = false;  // something keeps the keyboard from working
};

Verdict Examine(const Facts& facts);

}  // namespace vyre::doctor
