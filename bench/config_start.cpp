// From starting the Config (with a Monitor running against the emulator) to
// its main dialog shown, and the Config's resident memory then. Runs the
// three programs as their own processes on Qt's offscreen platform.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& args, const fs::path& err) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::string Text(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WaitFor(const fs::path& log, const std::string& text, std::chrono::seconds bound) {
    const auto end = Clock::now() + bound;
    while (Text(log).find(text) == std::string::npos) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

long ResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

}  // namespace

int main() {
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin";
    const fs::path folder = fs::temp_directory_path() / ("vyre-config-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    ::setenv("VYRE_LUMO_RUNTIME_DIR", folder.c_str(), 1);
    ::setenv("VYRE_LUMO_HOME", (folder / "home").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const pid_t sim = Spawn({(bin / "vyre-lumo-sim").string(), "--model", "B", "--busy-polls", "0"}, folder / "sim.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const pid_t monitor = Spawn({(bin / "vyre-lumo-monitor").string(), "--hid", "sim", "--poll-ms", "1"}, folder / "monitor.log");
    if (!WaitFor(folder / "monitor.log", "keyboard ready", std::chrono::seconds(60))) return 1;

    std::vector<double> times;
    long kb = 0;
    for (int run = 0; run < 5; ++run) {
        const fs::path log = folder / ("config-" + std::to_string(run) + ".log");
        const auto start = Clock::now();
        const pid_t config = Spawn({(bin / "vyre-lumo-config").string()}, log);
        if (!WaitFor(log, "main dialog shown", std::chrono::seconds(30))) return 1;
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kb = std::max(kb, ResidentKb(config));
        ::kill(config, SIGTERM);
        ::waitpid(config, nullptr, 0);
    }
    std::sort(times.begin(), times.end());
    std::printf("config start to main dialog: median %.0f ms (best %.0f, worst %.0f of 5)\n", times[2], times[0], times[4]);
    std::printf("config resident with its dialog: %.1f MB\n", kb / 1024.0);
    ::kill(monitor, SIGTERM);
    ::waitpid(monitor, nullptr, 0);
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    fs::remove_all(folder);
    return 0;
}
