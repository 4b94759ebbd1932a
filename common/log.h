#pragma once
// One log line per event on standard error: "<local time> <level> <area>: <text>".
// The level below which lines are dropped is process-wide; programs set it from
// their --log-level option.

#include <functional>
#include <string>
#include <string_view>

namespace vyre::log {

enum class Level { Debug = 0, Info = 1, Warning = 2, Error = 3, Off = 4 };

void SetLevel(Level level);
Level CurrentLevel();
bool Enabled(Level level);
// "debug", "info", "warning" (or "warn"), "error", "off"; false for other words.
bool ParseLevel(std::string_view word, Level* level);

// Writes one line (thread-safe; lines never interleave).
void Write(Level level, std::string_view area, std::string_view text);

// Also hands every written line (with its newline) to `sink`, under the lock
// that keeps lines whole; an empty function removes it. Programs use it for a
// log file.
void SetSink(std::function<void(std::string_view line)> sink);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline void Debug(std::string_view area, std::string_view text) {
    Write(Level::Debug, area, text);
}
inline void Info(std::string_view area, std::string_view text) {
    Write(Level::Info, area, text);
}
inline void Warning(std::string_view area, std::string_view text) {
    Write(Level::Warning, area, text);
}
inline void Error(std::string_view area, std::string_view text) {
    Write(Level::Error, area, text);
}

}  // namespace vyre::log
