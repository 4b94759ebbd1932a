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

#include "bench/programs.h"

namespace {

namespace fs = std::filesystem;
using vyre::bench::ResidentKb;
using vyre::bench::Spawn;
using vyre::bench::Text;
using vyre::bench::WaitFor;
using Clock = std::chrono::steady_clock;

}  // namespace

int main() {
    const fs::path bin = vyre::bench::ProgramFolder();
    const fs::path folder =
        fs::temp_directory_path() / ("vyre-config-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    ::setenv("VYRE_LUMO_RUNTIME_DIR", folder.c_str(), 1);
    ::setenv("VYRE_LUMO_HOME", (folder / "home").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const pid_t sim = Spawn({(bin / "vyre-lumo-sim").string(), "--model", "B", "--busy-polls", "0"},
                            folder / "sim.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const pid_t monitor =
        Spawn({(bin / "vyre-lumo-monitor").string(), "--hid", "sim", "--poll-ms", "1"},
              folder / "monitor.log");
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
    std::printf("config start to main dialog: median %.0f ms (best %.0f, worst %.0f of 5)\n",
                times[2], times[0], times[4]);
    std::printf("config resident with its dialog: %.1f MB\n", kb / 1024.0);
    ::kill(monitor, SIGTERM);
    ::waitpid(monitor, nullptr, 0);
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    fs::remove_all(folder);
    return 0;
}
