#include "common/log.h"

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <utility>

namespace vyre::log {
namespace {

std::atomic<Level> g_level{Level::Info};
std::mutex g_mutex;
std::function<void(std::string_view)> g_sink;  // guarded by g_mutex

const char* Name(Level level) {
    switch (level) {
        case Level::Debug:
            return "debug";
        case Level::Info:
            return "info";
        case Level::Warning:
            return "warning";
        case Level::Error:
            return "error";
        case Level::Off:
            break;
    }
    return "";
}

}  // namespace

void SetLevel(Level level) {
    g_level = level;
}
Level CurrentLevel() {
    return g_level.load();
}
bool Enabled(Level level) {
    return level != Level::Off && level >= g_level.load();
}

bool ParseLevel(std::string_view word, Level* level) {
    struct Entry {
        std::string_view word;
        Level level;
    };
    static constexpr Entry kWords[] = {{"debug", Level::Debug},     {"info", Level::Info},
                                       {"warning", Level::Warning}, {"warn", Level::Warning},
                                       {"error", Level::Error},     {"off", Level::Off}};
    for (const Entry& e : kWords) {
        if (e.word == word) {
            *level = e.level;
            return true;
        }
    }
    return false;
}

void Write(Level level, std::string_view area, std::string_view text) {
    if (!Enabled(level)) return;
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    const std::string line = Format("%s.%03d %s %.*s: %.*s\n", stamp, ms, Name(level),
                                    static_cast<int>(area.size()), area.data(),
                                    static_cast<int>(text.size()), text.data());
    std::lock_guard lock(g_mutex);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    if (g_sink) g_sink(line);
}

void SetSink(std::function<void(std::string_view line)> sink) {
    std::lock_guard lock(g_mutex);
    g_sink = std::move(sink);
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char small[256];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    std::string out;
    if (n < 0) {
        va_end(args);
        return out;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.assign(small, static_cast<std::size_t>(n));
    } else {
        out.resize(static_cast<std::size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, format, args);
    }
    va_end(args);
    return out;
}

RepeatFilter::RepeatFilter(Level level, std::string area) : level_(level), area_(std::move(area)) {}

RepeatFilter::~RepeatFilter() {
    Flush();
}

void RepeatFilter::Write(std::string_view text) {
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (text == last_ && !last_.empty()) {
        ++repeats_;
        if (now - since_ >= std::chrono::minutes(1)) {
            FlushLocked();
            since_ = now;
        }
        return;
    }
    FlushLocked();
    last_.assign(text);
    since_ = now;
    log::Write(level_, area_, text);
}

void RepeatFilter::Flush() {
    std::lock_guard lock(mutex_);
    FlushLocked();
}

void RepeatFilter::FlushLocked() {
    if (repeats_ == 0) return;
    log::Write(level_, area_,
               Format("%s (repeated %llu more times)", last_.c_str(), repeats_));
    repeats_ = 0;
}

}  // namespace vyre::log
