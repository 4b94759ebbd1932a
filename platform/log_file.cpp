#include "platform/log_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>

#include "common/log.h"

namespace vyre::platform {

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

int OpenForAppend(const fs::path& file) {
    return ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
}

// The open file; only touched from the log's sink, which runs under the lock
// that keeps lines whole.
struct LogFileState {
    fs::path file;
    std::size_t maxBytes = 0;
    std::size_t size = 0;
    int fd = -1;

    ~LogFileState() {
        if (fd >= 0) ::close(fd);
    }
    void Write(std::string_view line) {
        if (fd < 0) return;
        const char* p = line.data();
        std::size_t left = line.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;  // a full disk loses log lines, never the program
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        size += line.size();
        if (size > maxBytes) Rotate();
    }
    void Rotate() {
        ::close(fd);
        fs::path old = file;
        old += ".1";
        std::error_code ec;
        fs::rename(file, old, ec);
        fd = OpenForAppend(file);
        size = 0;
    }
};

}  // namespace

fs::path LogFile() {
    const std::string home = Env("VYRE_LUMO_HOME");
    if (!home.empty()) return fs::path(home) / "monitor.log";
    const std::string state = Env("XDG_STATE_HOME");
    if (!state.empty() && fs::path(state).is_absolute()) {
        return fs::path(state) / "vyre-lumo" / "monitor.log";
    }
    const std::string user = Env("HOME");
    const fs::path base = user.empty() ? fs::current_path() : fs::path(user);
    return base / ".local" / "state" / "vyre-lumo" / "monitor.log";
}

bool StartLogFile(const fs::path& file, std::size_t maxBytes, std::string* error) {
    std::error_code ec;
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path(), ec);
        if (!ec) fs::permissions(file.parent_path(), fs::perms::owner_all, ec);
        ec.clear();
    }
    auto state = std::make_shared<LogFileState>();
    state->file = file;
    state->maxBytes = maxBytes;
    state->fd = OpenForAppend(file);
    if (state->fd < 0) {
        if (error) *error = file.string() + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(state->fd, &st) == 0) state->size = static_cast<std::size_t>(st.st_size);
    log::SetSink([state](std::string_view line) { state->Write(line); });
    return true;
}

void StopLogFile() {
    log::SetSink({});
}

std::vector<std::string> LastLogLines(const fs::path& file, std::size_t count) {
    std::deque<std::string> lines;
    fs::path older = file;
    older += ".1";
    for (const fs::path& f : {older, file}) {
        std::ifstream in(f, std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(std::move(line));
            if (lines.size() > count) lines.pop_front();
        }
    }
    return {lines.begin(), lines.end()};
}

}  // namespace vyre::platform
