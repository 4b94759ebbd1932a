#include "platform/atomic_file.h"
#include "platform/read_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <string>

namespace vyre::platform {

namespace fs = std::filesystem;

namespace {

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void SyncFolder(const fs::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Removes "<name>.tmp.<pid>.<n>" files of processes that no longer run.
void RemoveStaleTemporaries(const fs::path& target) {
    std::error_code ec;
    fs::path folder = target.parent_path();
    std::string prefix = target.filename().string() + ".tmp.";
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string rest = name.substr(prefix.size());
        auto dot = rest.find('.');
        long pid = 0;
        try {
            pid = std::stol(rest.substr(0, dot));
        } catch (...) {
            continue;
        }
        if (pid <= 0 || pid == ::getpid()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

// Creates the missing folders of `folder`, each private to the user (0700):
// the settings they hold are nobody else's business.
bool CreateFolders(const fs::path& folder, std::error_code& ec) {
    if (folder.empty() || fs::is_directory(folder, ec)) return true;
    fs::path parent = folder.parent_path();
    if (parent != folder && !CreateFolders(parent, ec)) return false;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        ec = std::error_code(errno, std::generic_category());
        return false;
    }
    ec.clear();
    return true;
}

}  // namespace

bool WriteFileAtomically(const fs::path& target, std::string_view contents,
                         std::error_code* error) {
    static std::atomic<unsigned> counter{0};
    auto fail = [&](int err) {
        if (error != nullptr) *error = std::error_code(err, std::generic_category());
        return false;
    };
    fs::path folder = target.parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        if (!CreateFolders(folder, ec)) {
            if (error != nullptr) *error = ec;
            return false;
        }
    }
    fs::path temp = target;
    temp += ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
    // A new file is the user's alone; a rewrite keeps the mode the file has.
    mode_t mode = 0600;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) mode = old.st_mode & 07777;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return fail(errno);
    if (::fchmod(fd, mode) != 0 || !WriteAll(fd, contents) || ::fsync(fd) != 0) {
        int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return fail(err);
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    SyncFolder(folder);
    RemoveStaleTemporaries(target);
    if (error != nullptr) error->clear();
    return true;
}

std::string FileRefusalText(FileRefusal refusal) {
    switch (refusal) {
        case FileRefusal::None:
            return {};
        case FileRefusal::Missing:
            return "it does not exist";
        case FileRefusal::Folder:
            return "it is a folder";
        case FileRefusal::NotAFile:
            return "it is a device, a pipe or a socket, not a file";
        case FileRefusal::TooLarge:
            return "it is too large";
        case FileRefusal::Unreadable:
            break;
    }
    return "it cannot be read";
}

std::optional<std::string> ReadRegularFile(const fs::path& path, std::uint64_t limit,
                                           FileRefusal* refusal) {
    auto refuse = [&](FileRefusal why, int fd = -1) -> std::optional<std::string> {
        if (fd >= 0) ::close(fd);
        if (refusal != nullptr) *refusal = why;
        return std::nullopt;
    };
    if (refusal != nullptr) *refusal = FileRefusal::None;
    // Not blocking: opening a named pipe would otherwise wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return refuse(errno == ENOENT || errno == ENOTDIR ? FileRefusal::Missing : FileRefusal::Unreadable);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return refuse(FileRefusal::Unreadable, fd);
    if (S_ISDIR(st.st_mode)) return refuse(FileRefusal::Folder, fd);
    if (!S_ISREG(st.st_mode)) return refuse(FileRefusal::NotAFile, fd);
    if (static_cast<std::uint64_t>(st.st_size) > limit) return refuse(FileRefusal::TooLarge, fd);
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            return refuse(FileRefusal::Unreadable, fd);
        }
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > limit) return refuse(FileRefusal::TooLarge, fd);  // it grew while being read
    }
    ::close(fd);
    return data;
}

std::optional<std::string> ReadWholeFile(const fs::path& path, std::uint64_t limit,
                                         bool* tooLarge) {
    FileRefusal refusal = FileRefusal::None;
    auto data = ReadRegularFile(path, limit, &refusal);
    if (tooLarge != nullptr) *tooLarge = refusal == FileRefusal::TooLarge;
    return data;
}

fs::path DamagedCopyName(const fs::path& file) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    fs::path kept = file;
    kept += std::string(".damaged-") + stamp;
    std::error_code ec;
    for (int n = 2; fs::exists(kept, ec); ++n) {
        kept = file;
        kept += std::string(".damaged-") + stamp + "-" + std::to_string(n);
    }
    return kept;
}

std::optional<fs::path> KeepDamagedCopy(const fs::path& file) {
    const auto bytes = ReadWholeFile(file);
    if (!bytes) return std::nullopt;
    fs::path kept = DamagedCopyName(file);
    if (!WriteFileAtomically(kept, *bytes)) return std::nullopt;
    return kept;
}

FileStamp StampOf(const fs::path& path) {
    struct stat st {};
    FileStamp s;
    if (::stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<unsigned long long>(st.st_size);
    s.mtimeSec = st.st_mtim.tv_sec;
    s.mtimeNsec = st.st_mtim.tv_nsec;
    return s;
}

}  // namespace vyre::platform
