#pragma once
// The Monitor's log file: every log line also goes to LogFile(), so that a bug
// report can carry the last lines. The file is the user's alone (0600); past
// `maxBytes` it is renamed to "<name>.1" (replacing an older one) and started
// anew, so the two never hold more than twice that.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace vyre::platform {

// $VYRE_LUMO_HOME/monitor.log when that is set (tests and private setups keep
// everything in one folder), else $XDG_STATE_HOME/vyre-lumo/monitor.log, else
// ~/.local/state/vyre-lumo/monitor.log.
std::filesystem::path LogFile();

// Starts copying log lines to `file`; false with `error` when it cannot be
// opened (the log then stays on standard error alone).
bool StartLogFile(const std::filesystem::path& file, std::size_t maxBytes, std::string* error);
// Stops the copying and closes the file.
void StopLogFile();

// The last `count` lines of the log file and its predecessor, oldest first.
std::vector<std::string> LastLogLines(const std::filesystem::path& file, std::size_t count);

}  // namespace vyre::platform
