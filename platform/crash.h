#pragma once
// The crash dump of a program: when the process crashes (SIGSEGV, SIGBUS,
// SIGFPE, SIGILL, SIGABRT) a file is written with the signal and a backtrace
// of the crashing thread, then the process ends as the signal would end it.

#include <string>

namespace vyre::platform {

// Installs the handler; `file` is opened when the crash happens ("CrashInfo.dmp"
// in the current folder for the Config).
void InstallCrashHandler(const std::string& file);

// Adds an action the handler runs first, before it writes the file: undoing
// what must not outlast the process even for the time the dump takes (a
// keyboard grab). The action must be async-signal-safe. At most 8 actions;
// adding one twice runs it once.
void AddCrashAction(void (*action)());

}  // namespace vyre::platform
