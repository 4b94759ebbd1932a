// Cost of one keyboard write with its status poll, and of one macro read,
// against the emulator in this process and over its socket.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "common/device_ids.h"
#include "platform/hid/select.h"
#include "sim/backend.h"
#include "sim/server.h"

namespace {

using namespace vyre;

std::unique_ptr<hid::Device> OpenFeature(hid::Backend& backend) {
    for (const auto& info : backend.Enumerate()) {
        if (info.usagePage == kFeatureUsagePage)
            return backend.Open(info.path, hid::OpenMode::Feature);
    }
    return nullptr;
}

void WriteAndPoll(hid::Device& d) {
    const std::uint8_t active[3] = {0x05, 0x03, 0x01};
    d.SetFeature(active, 3);
    std::uint8_t status[3];
    do {
        status[0] = 0x04;
        if (d.GetFeature(status, 3) != 3) break;
    } while (status[1] == 3);
}

void ReadMacro(hid::Device& d) {
    const std::uint8_t request[3] = {0x04, 0x00, 0x05};
    d.SetFeature(request, 3);
    std::uint8_t status[3] = {0x04, 0, 0};
    d.GetFeature(status, 3);
    std::vector<std::uint8_t> macro(2002, 0);
    macro[0] = 0x0E;
    d.GetFeature(macro.data(), macro.size());
}

struct OverSocket {
    sim::Keyboard keyboard{sim::KeyboardConfig{.busyPolls = 0}};
    sim::Server server{keyboard};
    std::unique_ptr<hid::Backend> backend;
    std::unique_ptr<hid::Device> feature;
    OverSocket() {
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("vyre-sim-bench-" + std::to_string(::getpid()) + ".sock"))
                                     .string();
        std::string error;
        server.Start(path, &error);
        backend = hid::MakeSimClientBackend(path);
        feature = OpenFeature(*backend);
    }
};

void BM_WriteWithPollInProcess(benchmark::State& state) {
    sim::EmulatorBackend backend(
        std::make_shared<sim::Keyboard>(sim::KeyboardConfig{.busyPolls = 0}));
    auto d = OpenFeature(backend);
    for (auto _ : state) WriteAndPoll(*d);
}
BENCHMARK(BM_WriteWithPollInProcess);

void BM_WriteWithPollOverSocket(benchmark::State& state) {
    OverSocket s;
    if (!s.feature) {
        state.SkipWithError("no emulator socket");
        return;
    }
    for (auto _ : state) WriteAndPoll(*s.feature);
}
BENCHMARK(BM_WriteWithPollOverSocket);

void BM_MacroReadOverSocket(benchmark::State& state) {
    OverSocket s;
    if (!s.feature) {
        state.SkipWithError("no emulator socket");
        return;
    }
    for (auto _ : state) ReadMacro(*s.feature);
}
BENCHMARK(BM_MacroReadOverSocket);

}  // namespace

BENCHMARK_MAIN();
