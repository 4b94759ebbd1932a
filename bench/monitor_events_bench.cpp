// The keyboard link at work: how soon an event report from the keyboard has
// its first effect (the sound request it causes), and how late light macro
// steps come against their durations.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "common/link_codes.h"
#include "monitor/link/hid_filter_thread.h"
#include "monitor/link/led_macro_thread.h"
#include "platform/hid/device_ids.h"
#include "platform/registry.h"
#include "sim/backend.h"

namespace {

using namespace vyre;
using Clock = std::chrono::steady_clock;

// A window on a thread of its own that notes when each message arrives.
class Stopwatch {
  public:
    Stopwatch(const char* name, unsigned message) {
        std::promise<win::HWND> created;
        thread_ = std::thread([&, message] {
            win::Window window;
            window.Messages().On(message, [this](win::WPARAM, win::LPARAM) {
                {
                    std::lock_guard lock(mutex_);
                    arrivals_.push_back(Clock::now());
                }
                cv_.notify_all();
                return 0;
            });
            window.Create(name, name, win::HWND_MESSAGE);
            created.set_value(window.GetSafeHwnd());
            win::RunMessageLoop();
        });
        hwnd_ = created.get_future().get();
    }
    ~Stopwatch() {
        win::PostMessage(hwnd_, win::WM_QUIT);
        thread_.join();
    }
    win::HWND hwnd() const { return hwnd_; }
    Clock::time_point WaitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::seconds(10), [&] { return arrivals_.size() >= count; });
        return arrivals_.size() >= count ? arrivals_[count - 1] : Clock::now();
    }
    std::vector<Clock::time_point> Arrivals() {
        std::lock_guard lock(mutex_);
        return arrivals_;
    }

  private:
    std::thread thread_;
    win::HWND hwnd_ = 0;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Clock::time_point> arrivals_;
};

struct Monitor {
    Monitor() : keyboard(std::make_shared<sim::Keyboard>(Config())), backend(keyboard) {
        folder =
            std::filesystem::temp_directory_path() / ("vyre-bench-" + std::to_string(::getpid()));
        settings = std::make_unique<SettingsPersistence>(*registry, folder / "Config");
        CHIDFilterThread::Options options;
        options.pollIntervalOverrideMs = 1;
        thread = std::make_unique<CHIDFilterThread>(&backend, hid::ConfiguredKeyboardIds(), *store,
                                                    shared, commands, *settings, *repeat, host,
                                                    LinkHooks{}, options);
        thread->CreateThread();
        while (thread->flags().ready.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the start has ended
    }
    ~Monitor() {
        thread.reset();
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    static sim::KeyboardConfig Config() {
        sim::KeyboardConfig c;
        c.model = sim::Model::B;
        c.busyPolls = 0;
        c.order = {sim::InterfaceKind::Event, sim::InterfaceKind::Feature,
                   sim::InterfaceKind::Other};
        return c;
    }
    std::shared_ptr<sim::Keyboard> keyboard;
    sim::EmulatorBackend backend;
    std::filesystem::path folder;
    std::unique_ptr<ProfileStore> store = NewProfileStore();
    MonitorShared shared;
    PendingCommands commands;
    std::unique_ptr<platform::Registry> registry = platform::Registry::InMemory();
    std::unique_ptr<SettingsPersistence> settings;
    std::unique_ptr<platform::KeyboardRepeatSettings> repeat = platform::MakeMemoryKeyboardRepeat();
    SystemHostActions host{platform::MakeRecordingKeyInjector(),
                           std::make_unique<platform::SettableVolume>()};
    std::unique_ptr<CHIDFilterThread> thread;
};

void BM_EventToSoundRequest(benchmark::State& state) {
    Monitor monitor;
    Stopwatch sound("bench sound", link::kMsgPlaySound);
    monitor.shared.sound = sound.hwnd();
    std::vector<double> latencies;
    std::size_t seen = 0;
    for (auto _ : state) {
        const auto sent = Clock::now();
        monitor.keyboard->SendEvent(0, 0x03, 0, 0);  // a key that asks for a sound
        const auto arrived = sound.WaitFor(++seen);
        const double seconds = std::chrono::duration<double>(arrived - sent).count();
        state.SetIterationTime(seconds);
        latencies.push_back(seconds * 1e3);
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    monitor.shared.sound = 0;
}
BENCHMARK(BM_EventToSoundRequest)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(300);

// A light macro of 200 steps of 10 to 30 ms, measured at the keyboard thread.
void BM_LightMacroStepLateness(benchmark::State& state) {
    auto store = NewProfileStore();
    MonitorShared shared;
    LightMacroBlock& block = store->lightMacro(0, 20);
    constexpr int kSteps = 200;
    block.loopCount = 1;
    block.stepCount = kSteps;
    for (int i = 0; i < kSteps; ++i)
        block.steps[i] = {0x04, static_cast<std::uint8_t>(1 + i % 2), LeU16(10 + i % 3 * 10)};
    for (auto _ : state) {
        Stopwatch keyboard("bench keyboard", link::kMsgLightRequest);
        shared.keyboard = keyboard.hwnd();
        CLEDMacroThread player(*store, shared);
        player.CreateThread();
        while (shared.lightMacro.load() == 0) std::this_thread::yield();
        win::PostMessage(shared.lightMacro.load(), link::kMsgLightRequest, 20, 0);
        keyboard.WaitFor(kSteps + 1);  // every step, then the restore
        const auto arrivals = keyboard.Arrivals();
        std::vector<double> late;
        for (int i = 1; i < kSteps; ++i) {
            const double gap =
                std::chrono::duration<double, std::milli>(arrivals[i] - arrivals[i - 1]).count();
            late.push_back(gap - block.steps[i - 1].delay.get());
        }
        std::sort(late.begin(), late.end());
        state.counters["median_late_ms"] = late[late.size() / 2];
        state.counters["p99_late_ms"] = late[late.size() * 99 / 100];
        player.Quit();
        player.Wait(std::chrono::seconds(5));
    }
}
BENCHMARK(BM_LightMacroStepLateness)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
