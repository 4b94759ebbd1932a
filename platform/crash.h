#pragma once
// The crash dump of a program: when the process crashes (SIGSEGV, SIGBUS,
// SIGFPE, SIGILL, SIGABRT) a file is written with the signal and a backtrace
// of the crashing thread, then the process ends as the signal would end it.

#include <string>

namespace vyre::platform {

// Installs the handler; `file` is opened when the crash happens ("CrashInfo.dmp"
// in the current folder for the Config).
void InstallCrashHandler(const std::string& file);

}  // namespace vyre::platform
