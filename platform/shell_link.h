#pragma once
// Shell links on this platform: a symbolic link, or a desktop entry
// (".desktop" file) whose Exec line names the program.

#include <string>

namespace vyre::platform {

// The program a chosen file stands for: the target of a symbolic link, the
// program of a .desktop file's Exec line (found through PATH, its symbolic
// links followed), or the file itself. Empty when a link cannot be read.
std::string ResolveProgramFile(const std::string& path);

// What a program-linked profile keeps for a chosen file: the program as
// above, but for a Flatpak app's desktop entry the app's id, which names its
// sandboxed processes.
std::string ResolveLinkedProgram(const std::string& path);

}  // namespace vyre::platform
