// Resident memory of the Monitor program after it read back a model B
// keyboard with a macro on every key that can carry one. Runs the emulator
// and the Monitor as their own processes; prints the figure in MB.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/programs.h"

#include "common/key_functions.h"
#include "common/reports.h"
#include "sim/keyboard.h"

namespace {

namespace fs = std::filesystem;
using vyre::bench::ResidentKb;
using vyre::bench::Spawn;
using vyre::bench::WaitFor;
using namespace vyre;

}  // namespace

int main() {
    const fs::path bin = vyre::bench::ProgramFolder();
    const fs::path folder =
        fs::temp_directory_path() / ("vyre-memory-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    ::setenv("VYRE_LUMO_RUNTIME_DIR", folder.c_str(), 1);

    // A keyboard whose every thumb and Flexlayer key carries a macro.
    sim::KeyboardConfig config;
    config.model = sim::Model::B;
    sim::Keyboard keyboard(config);
    for (int p = 0; p < 5; ++p) {
        auto flex = *keyboard.Report(report::kFlexKeys, p, 0);
        for (int n = 0; n < 96; ++n) flex[report::kFlexKeyEntries + n * 3] = fncode::kMacro;
        report::FrameReport(report::kFlexKeys, p, flex);
        keyboard.SetReport(report::kFlexKeys, p, 0, flex);
        auto thumb = *keyboard.Report(report::kThumbKeys, p, 0);
        for (int n = 0; n < 6; ++n) thumb[report::kThumbKeyEntries + n * 3] = fncode::kMacro;
        report::FrameReport(report::kThumbKeys, p, thumb);
        keyboard.SetReport(report::kThumbKeys, p, 0, thumb);
    }
    std::string error;
    if (!keyboard.SaveState((folder / "state").string(), &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string socket = (folder / "sim.sock").string();
    const pid_t sim =
        Spawn({(bin / "vyre-lumo-sim").string(), "--state", (folder / "state").string(), "--socket",
               socket, "--model", "B", "--busy-polls", "0"},
              folder / "sim.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    const pid_t monitor = Spawn({(bin / "vyre-lumo-monitor").string(), "--hid", "sim:" + socket,
                                 "--home", (folder / "home").string(), "--poll-ms", "1"},
                                folder / "monitor.log");
    WaitFor(folder / "monitor.log", "keyboard ready", std::chrono::seconds(120));
    const long kb = ResidentKb(monitor);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "monitor resident after read-back of 560 macros: %.1f MB (read-back %.1f s with 1 ms "
        "polls)\n",
        kb / 1024.0, seconds);
    ::kill(monitor, SIGTERM);
    ::waitpid(monitor, nullptr, 0);
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    fs::remove_all(folder);
    return kb > 0 ? 0 : 1;
}
