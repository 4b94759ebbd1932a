#pragma once
// The keyboard link over an emulated keyboard in this process: a store, a
// transport, settings in an in-memory registry and a fresh folder, and a
// KeyboardLink whose window lives on the test's thread.

#include <chrono>
#include <functional>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/link_codes.h"
#include "common/profile_store.h"
#include "monitor/link/keyboard_link.h"
#include "monitor/link/keyboard_transport.h"
#include "monitor/link/monitor_shared.h"
#include "monitor/link/settings.h"
#include "platform/hid/device_ids.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"
#include "sim/backend.h"
#include "sim/keyboard.h"
#include "tests/platform/temp_dir.h"

namespace vyre::testing {

// Waits up to a generous time for a condition another thread makes true.
template <class F>
bool Eventually(F f, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!f()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The emulator's trace lines of one kind ("SET", "GET"), as hex, whose
// report id is `id` (-1: any).
inline std::vector<std::string> TraceOf(const std::vector<std::string>& trace, const std::string& kind,
                                        int id = -1) {
    std::vector<std::string> out;
    for (const std::string& line : trace) {
        const auto at = line.find(' ');
        if (at == std::string::npos || line.compare(at + 1, kind.size(), kind) != 0) continue;
        const std::string hex = line.substr(at + 2 + kind.size());
        if (id >= 0 && std::stoi(hex.substr(0, 2), nullptr, 16) != id) continue;
        out.push_back(hex);
    }
    return out;
}

// The computer as the keyboard link sees it: every action kept as a line.
class FakeHost : public HostActions {
public:
    void PressKey(platform::MediaKey key, int holdMs = 0) override {
        Add("key " + std::string(platform::MediaKeyName(key)) + (holdMs ? " held " + std::to_string(holdMs) : ""));
    }
    void OpenMediaPlayer(int player) override { Add("player " + std::to_string(player)); }
    void StartConfig() override { Add("config"); }
    void Launch(std::u16string_view path) override { Add("launch " + text::Utf16ToUtf8(path)); }
    int VolumePercent() override { return volume.load(); }
    std::optional<platform::ForegroundProgram> Foreground() override { return desktop.Foreground(); }
    platform::SettableDesktop desktop;

    std::vector<std::string> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(actions_, {});
    }
    std::atomic<int> volume{0};

private:
    void Add(std::string line) {
        std::lock_guard lock(mutex_);
        actions_.push_back(std::move(line));
    }
    std::mutex mutex_;
    std::vector<std::string> actions_;
};

struct LinkRig {
    // registryFile: the registry is kept in folder/registry.reg, as the
    // Monitor keeps it (else in memory).
    explicit LinkRig(sim::KeyboardConfig config = DefaultConfig(), bool registryFile = false)
        : keyboard(std::make_shared<sim::Keyboard>(config)),
          backend(keyboard),
          transport(backend, hid::ConfiguredKeyboardIds()),
          store(NewProfileStore()),
          registry(registryFile ? std::make_unique<platform::Registry>(folder / "registry.reg")
                                : platform::Registry::InMemory()),
          settings(*registry, folder / "Config"),
          repeat(platform::MakeMemoryKeyboardRepeat({1, 20})) {
        keyboard->SetTraceSink([this](const std::string& line) {
            std::lock_guard lock(traceMutex);
            trace.push_back(line);
        });
        transport.SetPollIntervalOverride(1);
        transport.SetOnFeatureOpened([this](KeyboardModel model) {
            ClearStore(*store);
            store->hostSettingsBlock.modelFlag = model == KeyboardModel::A ? 1 : 2;
            store->hostSettingsBlock.modelBFlag = model == KeyboardModel::B ? 1 : 0;
        });
        window.Create("link rig", "link rig", win::HWND_MESSAGE);
        shared.keyboard = window.GetSafeHwnd();
        window.Messages().On(win::WM_TIMER, [this](win::WPARAM id, win::LPARAM) {
            link->OnTimer(static_cast<unsigned>(id));
            return 0;
        });
        window.Messages().On(link::kMsgLightRequest, [this](win::WPARAM request, win::LPARAM data) {
            link->LightRequest(static_cast<unsigned>(request), data);
            return 0;
        });
        window.Messages().On(link::kMsgRequest, [](win::WPARAM, win::LPARAM) { return 0; });
        link = std::make_unique<KeyboardLink>(*store, transport, transport.flags(), shared, settings, *repeat,
                                              host, hooks, window);
    }
    ~LinkRig() { keyboard->SetTraceSink(nullptr); }

    static sim::KeyboardConfig DefaultConfig() {
        sim::KeyboardConfig c;
        c.model = sim::Model::B;
        c.busyPolls = 0;
        return c;
    }

    // Opens the keyboard and reads it back as a connect does.
    void Connect() {
        transport.OpenKeyboard();
        transport.flags().connected = 1;
        link->ReadBackKeyboard(true);
        transport.flags().ready = 1;
        link->LoadSettings();
    }

    // Handles the messages of this thread's windows for a while.
    static void PumpFor(std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            win::MSG msg;
            while (win::PeekMessage(msg)) win::DispatchMessage(msg);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::vector<std::string> Trace() {
        std::lock_guard lock(traceMutex);
        return trace;
    }
    void ClearTrace() {
        std::lock_guard lock(traceMutex);
        trace.clear();
    }

    TempDir folder;
    std::shared_ptr<sim::Keyboard> keyboard;
    sim::EmulatorBackend backend;
    KeyboardTransport transport;
    std::unique_ptr<ProfileStore> store;
    MonitorShared shared;
    std::unique_ptr<platform::Registry> registry;
    SettingsPersistence settings;
    std::unique_ptr<platform::KeyboardRepeatSettings> repeat;
    FakeHost host;
    LinkHooks hooks;
    win::Window window;
    std::unique_ptr<KeyboardLink> link;
    std::mutex traceMutex;
    std::vector<std::string> trace;
};

}  // namespace vyre::testing
