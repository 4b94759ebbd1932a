#pragma once
// The shell's "open" of an address: a web page in the desktop's browser, a
// "mailto:" link in its mail program. Handed to the desktop's handlers
// (Qt's QDesktopServices, xdg-open underneath); while the action record is
// active the address is written as "shell-open <address>" instead. Needs a
// running QGuiApplication.

#include <string>

namespace vyre::platform {

// True when the desktop took the address (always true while recording).
bool ShellOpen(const std::string& address);

}  // namespace vyre::platform
