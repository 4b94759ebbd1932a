#pragma once
// Counts the atomic rewrites of files in a folder: each one writes a
// temporary file of its own ("<name>.tmp.<pid>.<n>") and renames it into place.

#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace vyre::testing {

class Rewrites {
  public:
    explicit Rewrites(const std::filesystem::path& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        std::filesystem::create_directories(folder);
        ::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_WRITE);
    }
    ~Rewrites() { ::close(fd_); }
    Rewrites(const Rewrites&) = delete;
    Rewrites& operator=(const Rewrites&) = delete;

    // Rewrites of `name` since the last call.
    int Of(const std::string& name) {
        const std::string prefix = name + ".tmp.";
        int count = 0;
        alignas(inotify_event) char buf[64 * 1024];
        for (ssize_t n; (n = ::read(fd_, buf, sizeof buf)) > 0;) {
            for (char* p = buf; p < buf + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                if (e->len > 0 && std::string(e->name).rfind(prefix, 0) == 0) ++count;
                p += sizeof(inotify_event) + e->len;
            }
        }
        return count;
    }

  private:
    int fd_;
};

}  // namespace vyre::testing
