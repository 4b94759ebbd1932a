#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/paths.h"
#include "platform/record.h"

extern char** environ;

namespace vyre::process {

namespace fs = std::filesystem;

namespace {

// What the grandchild reports through the pipe before it dies.
struct ChildFailure {
    int stage;  // 1 chdir, 2 exec, 3 fork
    int error;
};

[[noreturn]] void ReportAndExit(int fd, int stage) {
    ChildFailure f{stage, errno};
    ssize_t ignored = ::write(fd, &f, sizeof f);
    (void)ignored;
    ::_exit(127);
}

bool IsExecutableFile(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

StartResult Failure(int err, const char* what) {
    StartResult r;
    r.error = std::error_code(err, std::generic_category());
    r.what = what;
    return r;
}

}  // namespace

std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    const char* pathEnv = std::getenv("PATH");
    std::string path = pathEnv != nullptr ? pathEnv : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string dir = path.substr(start, end - start);
        fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
        if (IsExecutableFile(candidate)) return candidate.string();
        start = end + 1;
    }
    return {};
}

StartResult Start(const std::vector<std::string>& argv, const fs::path& workingFolder) {
    if (argv.empty() || argv[0].empty()) return Failure(EINVAL, "not found");
    std::string program = FindProgram(argv[0]);
    if (program.empty()) return Failure(ENOENT, "not found");

    // Everything the children need is prepared here: after fork only
    // async-signal-safe calls are allowed.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::string folder = workingFolder.string();

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return Failure(errno, "fork");
    int pidFds[2];
    if (::pipe2(pidFds, O_CLOEXEC) != 0) {
        int err = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        return Failure(err, "fork");
    }

    pid_t child = ::fork();
    if (child < 0) {
        int err = errno;
        for (int fd : {fds[0], fds[1], pidFds[0], pidFds[1]}) ::close(fd);
        return Failure(err, "fork");
    }
    if (child == 0) {
        // Intermediate child: start the program and leave at once, so that the
        // program is adopted by init (or the session's subreaper) and reaped there.
        ::close(fds[0]);
        ::close(pidFds[0]);
        pid_t grandchild = ::fork();
        if (grandchild < 0) ReportAndExit(fds[1], 3);
        if (grandchild > 0) {
            ssize_t ignored = ::write(pidFds[1], &grandchild, sizeof grandchild);
            (void)ignored;
            ::_exit(0);
        }
        ::close(pidFds[1]);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig) ::sigaction(sig, &dfl, nullptr);
        ::setsid();
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) ReportAndExit(fds[1], 1);
        ::execve(program.c_str(), args.data(), environ);
        ReportAndExit(fds[1], 2);
    }

    ::close(fds[1]);
    ::close(pidFds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    pid_t grandchild = 0;
    while (::read(pidFds[0], &grandchild, sizeof grandchild) < 0 && errno == EINTR) {
    }
    ::close(pidFds[0]);

    // The pipe reaches end of file when the exec succeeded (close-on-exec) or
    // carries the failure. Between fork and exec the program does nothing that
    // could block; the limit only guards against the impossible.
    ChildFailure failure{};
    std::size_t got = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (got < sizeof failure) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fds[0], POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        ssize_t n = ::read(fds[0], reinterpret_cast<char*>(&failure) + got, sizeof failure - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fds[0]);

    if (got == sizeof failure) {
        const char* what = failure.stage == 1 ? "chdir" : failure.stage == 2 ? "exec" : "fork";
        return Failure(failure.error, what);
    }
    if (grandchild <= 0) return Failure(ECHILD, "fork");
    StartResult ok;
    ok.started = true;
    ok.pid = grandchild;
    return ok;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < line.size()) {
            char c = line[i];
            if (c == '\\') {
                std::size_t n = 0;
                while (i < line.size() && line[i] == '\\') {
                    ++n;
                    ++i;
                }
                if (i < line.size() && line[i] == '"') {
                    arg.append(n / 2, '\\');
                    if (n % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(n, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && (c == ' ' || c == '\t')) break;
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

StartResult StartCommandLine(std::string_view commandLine, const fs::path& workingFolder) {
    std::string whole(commandLine);
    while (!whole.empty() && (whole.back() == ' ' || whole.back() == '\t')) whole.pop_back();
    if (whole.find('/') != std::string::npos && IsExecutableFile(whole))
        return Start({whole}, workingFolder);
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty()) return Failure(EINVAL, "not found");
    return Start(args, workingFolder);
}

fs::path ExecutableOf(pid_t pid) {
    std::error_code ec;
    fs::path link = fs::path("/proc") / std::to_string(pid) / "exe";
    fs::path target = fs::read_symlink(link, ec);
    if (ec) return {};
    // A program replaced on disk while running reads as "<path> (deleted)".
    std::string s = target.string();
    static constexpr std::string_view kDeleted = " (deleted)";
    if (s.size() > kDeleted.size() &&
        s.compare(s.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
        s.resize(s.size() - kDeleted.size());
    }
    return fs::path(s);
}

fs::path OwnExecutable() {
    return ExecutableOf(::getpid());
}

fs::path OwnFolder() {
    fs::path exe = OwnExecutable();
    return exe.empty() ? fs::path() : exe.parent_path();
}

std::vector<ProcessEntry> ListProcesses() {
    std::vector<ProcessEntry> list;
    DIR* dir = ::opendir("/proc");
    if (dir == nullptr) return list;
    while (dirent* e = ::readdir(dir)) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (end == e->d_name || *end != '\0' || pid <= 0) continue;
        list.push_back({static_cast<pid_t>(pid), ExecutableOf(static_cast<pid_t>(pid))});
    }
    ::closedir(dir);
    return list;
}

}  // namespace vyre::process

namespace vyre::process {

StartResult StartOwnProgram(std::string_view windowsName) {
    StartResult result;
    const std::optional<std::filesystem::path> program = paths::ProgramPath(windowsName);
    if (!program) {
        result.what = "not found";
        result.error = std::make_error_code(std::errc::no_such_file_or_directory);
        return result;
    }
    if (platform::ActionRecord::Instance().Active()) {
        platform::ActionRecord::Instance().Write("start " + program->string());
        result.started = true;
        return result;
    }
    std::error_code ec;
    if (!std::filesystem::exists(*program, ec)) {
        result.what = "not installed (" + program->string() + ")";
        result.error = std::make_error_code(std::errc::no_such_file_or_directory);
        return result;
    }
    return Start({program->string()}, program->parent_path());
}

StartResult Launch(std::string_view commandLine, const std::filesystem::path& workingFolder) {
    if (platform::ActionRecord::Instance().Active()) {
        platform::ActionRecord::Instance().Write("launch " + std::string(commandLine));
        StartResult result;
        result.started = true;
        return result;
    }
    return StartCommandLine(commandLine, workingFolder);
}

}  // namespace vyre::process
