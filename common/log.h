#pragma once
// One log line per event on standard error: "<local time> <level> <area>: <text>".
// The level below which lines are dropped is process-wide; programs set it from
// their --log-level option.

#include <chrono>
#include <functional>
#include <mutex>
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

// Keeps a failure that repeats from flooding the log: the first line of a run
// of equal lines is written, the others are counted, and their number follows
// when the run ends (another line comes), at most once a minute while it lasts,
// or on Flush. Thread-safe.
class RepeatFilter {
public:
    RepeatFilter(Level level, std::string area);
    ~RepeatFilter();
    RepeatFilter(const RepeatFilter&) = delete;
    RepeatFilter& operator=(const RepeatFilter&) = delete;

    void Write(std::string_view text);
    void Flush();

private:
    void FlushLocked();

    const Level level_;
    const std::string area_;
    std::mutex mutex_;
    std::string last_;
    unsigned long long repeats_ = 0;
    std::chrono::steady_clock::time_point since_{};
};

}  // namespace vyre::log
