// Device notifications from the emulator reach a window as WM_DEVICECHANGE.

#include "platform/hid/window_notify.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "sim/backend.h"

namespace vyre {
namespace {

using namespace std::chrono_literals;

class KeyboardWindowThread : public win::Thread {
public:
    ~KeyboardWindowThread() override { Stop(); }
    bool InitInstance() override {
        window.Messages().On(win::WM_DEVICECHANGE, [this](win::WPARAM code, win::LPARAM l) {
            auto change = notifier.load()->Take(l);
            std::lock_guard lock(mutex);
            seen.emplace_back(static_cast<std::uint32_t>(code), change ? change->device.path : "?");
            // A ticket is taken once.
            if (change && notifier.load()->Take(l)) seen.emplace_back(0, "twice");
            return 0;
        });
        if (!window.Create("VyreTestHIDFilter", "Test HIDFilter", win::HWND_MESSAGE)) return false;
        hwnd = window.GetSafeHwnd();
        return true;
    }
    win::Window window;
    std::atomic<win::HWND> hwnd{0};
    std::atomic<hid::WindowNotifier*> notifier{nullptr};
    std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::string>> seen;
};

bool WaitFor(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(HidWindowNotify, PlugAndUnplugArriveAsDeviceChangeMessagesInOrder) {
    KeyboardWindowThread thread;
    ASSERT_TRUE(thread.CreateThread());
    ASSERT_TRUE(WaitFor([&] { return thread.hwnd != 0; }));
    hid::WindowNotifier notifier(thread.hwnd);
    thread.notifier = &notifier;

    auto kb = std::make_shared<sim::Keyboard>(sim::KeyboardConfig{.plugged = false});
    sim::EmulatorBackend backend(kb);
    auto subscription = backend.Subscribe(notifier);
    kb->Plug();
    const auto paths = kb->Interfaces();
    kb->Unplug();
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard lock(thread.mutex);
        return thread.seen.size() >= 6;
    }));
    subscription.reset();
    thread.Stop();
    ASSERT_EQ(thread.seen.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(thread.seen[i].first,
                  i < 3 ? hid::kDbtDeviceArrival : hid::kDbtDeviceRemoveComplete);
        EXPECT_EQ(thread.seen[i].second, paths[i % 3].path);
    }
    EXPECT_FALSE(notifier.Take(12345));
}

TEST(HidWindowNotify, NoWindowKeepsNothing) {
    hid::WindowNotifier notifier(0);
    hid::DeviceChange change;
    change.code = hid::kDbtDeviceArrival;
    notifier.OnDeviceChange(change);
    EXPECT_FALSE(notifier.Take(1));
}

}  // namespace
}  // namespace vyre
