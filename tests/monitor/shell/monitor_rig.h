#pragma once
// A Monitor program against an emulator program, in a folder of its own,
// driven with vyre-lumo-ctl as a script would.

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"

namespace vyre {

inline std::vector<std::uint8_t> ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct MonitorRig {
    testing::TempDir folder;
    testing::SimProcess sim{folder.path(), {"--model", "B"}};

    std::unique_ptr<testing::Process> StartMonitor() {
        return std::make_unique<testing::Process>(
            std::vector<std::string>{testing::Program("vyre-lumo-monitor"), "--hid", "sim:" + sim.socket(), "--home",
                                     (folder / "home").string(), "--record", (folder / "record").string(),
                                     "--poll-ms", "1", "--arrival-ms", "20", "--log-level", "debug"},
            (folder / "monitor.log").string());
    }
    testing::RunResult Ctl(std::vector<std::string> args) {
        args.insert(args.begin(), testing::Program("vyre-lumo-ctl"));
        return testing::Run(args);
    }
    // Dumps until the Monitor has read the keyboard back.
    testing::RunResult DumpWhenReady(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"dump"};
        args.insert(args.end(), extra.begin(), extra.end());
        testing::RunResult r;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        do {
            r = Ctl(args);
            if (r.exit == 0 && r.out != "16\n" && r.out != "15\n") break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        } while (std::chrono::steady_clock::now() < end);
        return r;
    }
};

}  // namespace vyre
