#pragma once
// Shell links on this platform: a symbolic link, or a desktop entry
// (".desktop" file) whose Exec line names the program.

#include <string>

namespace vyre::platform {

// The program a chosen file stands for: the target of a symbolic link, the
// program of a .desktop file's Exec line, or the file itself. Empty when a
// link cannot be read.
std::string ResolveProgramFile(const std::string& path);

}  // namespace vyre::platform
