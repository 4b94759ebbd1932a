// The Monitor's side of the program link: one registration dump, and one
// full upload (sixteen commands) that changes one report, against an
// emulated keyboard that is never busy. The keyboard is reached without the
// busy poll's sleeps, so the figures are host time alone.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "common/link_codes.h"
#include "common/reports.h"
#include "common/store_blocks.h"
#include "monitor/link/keyboard_link.h"
#include "platform/hid/device_ids.h"
#include "platform/registry.h"
#include "sim/backend.h"
#include "tools/link_client.h"

namespace {

using namespace vyre;

// The keyboard without sleeps: a write, then status reads until not busy.
class ImmediatePort : public KeyboardPort {
  public:
    explicit ImmediatePort(std::unique_ptr<hid::Device> device) : device_(std::move(device)) {}
    bool IsOpen() const override { return device_ != nullptr; }
    std::int8_t WriteFeatureReport(const std::uint8_t* bytes, std::size_t length, int) override {
        if (!device_->SetFeature(bytes, length)) return kReportNotWritten;
        std::uint8_t status[3];
        do {
            status[0] = 4;
            if (device_->GetFeature(status, 3) < 0) break;
        } while (status[1] == kStatusBusy);
        return static_cast<std::int8_t>(status[1]);
    }
    bool GetFeature(std::uint8_t* buffer, std::size_t length) override {
        return device_->GetFeature(buffer, length) >= 0;
    }
    bool SleepWhileConnected(int) override { return true; }
    std::unique_lock<std::recursive_mutex> HoldExchanges() override {
        return std::unique_lock(mutex_);
    }

  private:
    std::unique_ptr<hid::Device> device_;
    std::recursive_mutex mutex_;
};

struct Bench {
    Bench() : keyboard(std::make_shared<sim::Keyboard>(Config())), backend(keyboard) {
        for (const auto& info : backend.Enumerate()) {
            if (info.usagePage == kFeatureUsagePage)
                port = std::make_unique<ImmediatePort>(
                    backend.Open(info.path, hid::OpenMode::Feature));
        }
        folder =
            std::filesystem::temp_directory_path() / ("vyre-bench-" + std::to_string(::getpid()));
        settings = std::make_unique<SettingsPersistence>(*registry, folder / "Config");
        window.Create("bench", "bench", win::HWND_MESSAGE);
        store->hostSettingsBlock.modelFlag = 2;
        link = std::make_unique<KeyboardLink>(*store, *port, flags, shared, *settings, *repeat,
                                              host, hooks, window);
        flags.connected = 1;
        link->ReadBackKeyboard(true);
        flags.ready = 1;
        link->LoadSettings();
    }
    ~Bench() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    static sim::KeyboardConfig Config() {
        sim::KeyboardConfig c;
        c.model = sim::Model::B;
        c.busyPolls = 0;
        return c;
    }
    std::shared_ptr<sim::Keyboard> keyboard;
    sim::EmulatorBackend backend;
    std::unique_ptr<ImmediatePort> port;
    std::filesystem::path folder;
    std::unique_ptr<ProfileStore> store = NewProfileStore();
    LinkFlags flags;
    MonitorShared shared;
    std::unique_ptr<platform::Registry> registry = platform::Registry::InMemory();
    std::unique_ptr<SettingsPersistence> settings;
    std::unique_ptr<platform::KeyboardRepeatSettings> repeat = platform::MakeMemoryKeyboardRepeat();
    SystemHostActions host{platform::MakeRecordingKeyInjector(),
                           std::make_unique<platform::SettableVolume>()};
    LinkHooks hooks;
    win::Window window;
    std::unique_ptr<KeyboardLink> link;
};

// The dump goes to a window of another thread, as to the Config, so every
// block is copied as it is between the programs.
void BM_RegistrationDump(benchmark::State& state) {
    Bench bench;
    std::atomic<win::HWND> clientWindow{0};
    std::atomic<int> dumps{0};
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> bytes{0};
    std::thread receiver([&] {
        LinkClient client("bench client");
        client.Create();
        clientWindow = client.hwnd();
        while (!stop.load()) {
            client.Pump(
                std::chrono::milliseconds(20),
                [&](const LinkEvent& e) {
                    bytes += e.data.size();
                    if (EndsDump(e)) ++dumps;
                },
                nullptr);
        }
    });
    while (clientWindow.load() == 0) std::this_thread::yield();
    for (auto _ : state) {
        const int before = dumps.load();
        bench.link->RegistrationDump(clientWindow.load());
        while (dumps.load() == before) std::this_thread::yield();
    }
    stop = true;
    receiver.join();
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes.load()));
}
BENCHMARK(BM_RegistrationDump)->Unit(benchmark::kMillisecond);

void BM_FullUploadChangingOneReport(benchmark::State& state) {
    Bench bench;
    std::vector<std::vector<std::uint8_t>> blocks;
    for (std::uint16_t code : link::kFullUploadOrder) {
        const auto bytes = StoreBlock(*bench.store, code);
        blocks.emplace_back(bytes.begin(), bytes.end());
    }
    std::size_t remap = 0;
    while (link::kFullUploadOrder[remap] != link::block::kKeyRemap) ++remap;
    std::uint64_t writes = 0;
    for (auto _ : state) {
        blocks[remap][report::kKeyRemapUsages] ^= 1;  // one key of profile 1
        const auto before = bench.keyboard->counters().writes;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            bench.link->HandleCommand(
                link::MakeDwData(link::kFullUploadOrder[i], link::kTagCommand), blocks[i]);
        }
        writes += bench.keyboard->counters().writes - before;
    }
    state.counters["writes/upload"] =
        benchmark::Counter(static_cast<double>(writes) / state.iterations());
}
BENCHMARK(BM_FullUploadChangingOneReport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
