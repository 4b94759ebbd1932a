#pragma once
// Starting the system's programs from tests: each in its own process, waited
// for with a bound, with its output captured where asked.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/hid/sim_wire.h"

extern char** environ;

namespace vyre::testing {

inline std::filesystem::path BinFolder() {
    if (const char* env = std::getenv("VYRE_LUMO_TEST_BIN"); env && *env) return env;
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

inline std::string Program(const char* name) {
    return (BinFolder() / name).string();
}

// Starts argv; its standard output goes to stdoutFd (-1: inherited), its
// standard error to errFile (empty: /dev/null).
inline pid_t Spawn(const std::vector<std::string>& args, int stdoutFd,
                   const std::string& errFile = {}) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.empty() ? "/dev/null" : errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for a child with a bound; kills it when the bound passes (-1).
inline int WaitExit(pid_t pid, std::chrono::seconds bound = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct RunResult {
    int exit = -1;
    std::string out;
};

// Runs a program to its end and captures its standard output.
inline RunResult Run(std::vector<std::string> args) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = Spawn(args, fds[1]);
    ::close(fds[1]);
    RunResult r;
    char buf[4096];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        r.out.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    r.exit = pid > 0 ? WaitExit(pid) : -1;
    return r;
}

// A program that runs until the test ends it (SIGTERM, then a bounded wait).
class Process {
  public:
    Process() = default;
    explicit Process(const std::vector<std::string>& args, const std::string& errFile = {})
        : pid_(Spawn(args, -1, errFile)) {}
    ~Process() { Stop(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        return false;
    }
    int Stop() {
        if (pid_ <= 0) return exit_;
        ::kill(pid_, SIGTERM);
        exit_ = WaitExit(pid_);
        pid_ = -1;
        return exit_;
    }
    // Waits for the program to end by itself.
    int Wait(std::chrono::seconds bound = std::chrono::seconds(30)) {
        if (pid_ <= 0) return exit_;
        exit_ = WaitExit(pid_, bound);
        pid_ = -1;
        return exit_;
    }

  private:
    pid_t pid_ = -1;
    int exit_ = -1;
};

// vyre-lumo-sim on a private socket, ready once constructed.
class SimProcess : public Process {
  public:
    SimProcess(const std::filesystem::path& folder, std::vector<std::string> options)
        : Process(Args(folder, options)), socket_((folder / "sim.sock").string()) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            const int fd = hid::wire::Connect(socket_);
            if (fd >= 0) {
                ::close(fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    const std::string& socket() const { return socket_; }
    // Runs a control command of the emulator against this one.
    RunResult Control(std::vector<std::string> args) const {
        args.insert(args.begin(), {Program("vyre-lumo-sim"), "--socket", socket_});
        return Run(args);
    }

  private:
    static std::vector<std::string> Args(const std::filesystem::path& folder,
                                         std::vector<std::string> options) {
        std::vector<std::string> args{Program("vyre-lumo-sim"), "--socket",
                                      (folder / "sim.sock").string()};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }
    std::string socket_;
};

// vyre-lumo-monitor against an emulator with the tests' quick timings, its
// standard error in `log`; Ready() waits (bounded) until it has read the
// keyboard back.
class MonitorProcess : public Process {
  public:
    MonitorProcess(const SimProcess& sim, const std::filesystem::path& home, std::filesystem::path log)
        : Process({Program("vyre-lumo-monitor"), "--hid", "sim:" + sim.socket(), "--home", home.string(),
                   "--poll-ms", "1", "--arrival-ms", "20"},
                  log.string()),
          log_(std::move(log)) {}
    bool Ready(std::chrono::seconds bound = std::chrono::seconds(20)) const {
        const auto end = std::chrono::steady_clock::now() + bound;
        do {
            std::ifstream in(log_);
            const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (text.find("keyboard ready") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }

  private:
    std::filesystem::path log_;
};

}  // namespace vyre::testing
