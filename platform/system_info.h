#pragma once
// What a bug report says of the machine: "name: value" lines for the
// distribution, the kernel, the desktop session, and the Qt and hidapi
// libraries the programs run with.

#include <string>
#include <vector>

namespace vyre::platform {

std::vector<std::string> SystemFacts();

// The tray host of the session: "StatusNotifierItem" (a watcher on the
// session bus), "XEmbed" (an X11 system tray), or empty when there is none.
std::string TrayHost();

}  // namespace vyre::platform
