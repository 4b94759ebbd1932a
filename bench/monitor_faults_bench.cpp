// How soon the Monitor program answers after what must not hold it up: a
// plug storm (the first full dump after its end, with the Monitor's own
// wait after an arrival), idle connections held against it (a dump while
// they are held), and a host settings block of noise (its command).
// Runs the emulator and the Monitor as their own processes; prints seconds.
//   bench_monitor_faults [CYCLES] [CONNECTIONS]   (default 500 and 300)

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/programs.h"
#include "common/profile_store.h"
#include "platform/hid/sim_wire.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using vyre::bench::Spawn;
using vyre::bench::WaitFor;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs a command line to its end, its output dropped; its exit status.
int Run(const std::string& line) {
    const int status = std::system((line + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Emulator(const std::string& socket, vyre::hid::wire::Op op) {
    vyre::hid::wire::Writer w;
    w.U8(static_cast<std::uint8_t>(op));
    std::vector<std::uint8_t> reply;
    return vyre::hid::wire::Call(socket, w.bytes(), reply, 5000);
}

// The Monitor's socket in the runtime folder (the one process there).
std::string MonitorSocket(const fs::path& runtime) {
    for (const auto& e : fs::directory_iterator(runtime)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("p-", 0) == 0 && name.size() > 5 && name.compare(name.size() - 5, 5, ".sock") == 0)
            return e.path().string();
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 500;
    const int connections = argc > 2 ? std::atoi(argv[2]) : 300;
    const fs::path bin = vyre::bench::ProgramFolder();
    const fs::path folder = fs::temp_directory_path() / ("vyre-faults-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    ::setenv("VYRE_LUMO_RUNTIME_DIR", folder.c_str(), 1);
    const std::string socket = (folder / "sim.sock").string();
    const std::string ctl = (bin / "vyre-lumo-ctl").string();

    const pid_t sim = Spawn({(bin / "vyre-lumo-sim").string(), "--socket", socket, "--model", "B"}, folder / "sim.log");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const pid_t monitor = Spawn({(bin / "vyre-lumo-monitor").string(), "--hid", "sim:" + socket, "--home",
                                 (folder / "home").string(), "--poll-ms", "1"},
                                folder / "monitor.log");
    int result = 0;
    if (!WaitFor(folder / "monitor.log", "keyboard ready", std::chrono::seconds(60))) {
        std::fprintf(stderr, "the Monitor did not read the keyboard back\n");
        result = 1;
    }

    // A plug storm, then dumps until one is whole.
    if (result == 0) {
        for (int i = 0; i < cycles; ++i) {
            Emulator(socket, vyre::hid::wire::Op::Unplug);
            Emulator(socket, vyre::hid::wire::Op::Plug);
        }
        const auto start = Clock::now();
        const fs::path dump = folder / "dump";
        while (Since(start) < 600) {
            fs::remove_all(dump);
            // Block 3 comes last: it is there once a dump was whole.
            if (Run(ctl + " dump --dir " + dump.string()) == 0 && fs::exists(dump / "3.bin")) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::printf("first full dump after a storm of %d plug cycles: %.2f s\n", cycles, Since(start));
    }

    // Idle connections held against the Monitor, then one dump.
    if (result == 0) {
        std::vector<int> held;
        const std::string path = MonitorSocket(folder);
        for (int i = 0; i < connections; ++i) {
            const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_un addr{};
            addr.sun_family = AF_UNIX;
            std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
            if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
                held.push_back(s);
            } else {
                ::close(s);
            }
        }
        const auto start = Clock::now();
        const int exit = Run(ctl + " dump");
        std::printf("dump with %zu idle connections held: %.2f s (status %d)\n", held.size(), Since(start), exit);
        for (int s : held) ::close(s);
    }

    // A host settings block of random bytes.
    if (result == 0) {
        std::vector<char> noise(sizeof(vyre::HostSettingsBlock));
        std::uint32_t x = 12345;
        for (auto& b : noise) b = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
        std::ofstream(folder / "noise.bin", std::ios::binary).write(noise.data(), static_cast<std::streamsize>(noise.size()));
        const auto start = Clock::now();
        const int exit = Run(ctl + " send 12 " + (folder / "noise.bin").string());
        std::printf("host settings block of noise: %.2f s (status %d), registry %llu KiB\n", Since(start), exit,
                    static_cast<unsigned long long>(fs::file_size(folder / "home" / "registry.reg") / 1024));
    }

    ::kill(monitor, SIGTERM);
    ::waitpid(monitor, nullptr, 0);
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    std::error_code ec;
    fs::remove_all(folder, ec);
    return result;
}
