#include "monitor/link/keyboard_transport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/link_codes.h"
#include "platform/hid/device_ids.h"
#include "sim/backend.h"
#include "sim/keyboard.h"

namespace vyre {
namespace {

using namespace std::chrono_literals;
using sim::InterfaceKind;

// Waits up to a generous time for a condition that another thread makes true.
template <class F>
bool Eventually(F f) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!f()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

struct Rig {
    explicit Rig(sim::KeyboardConfig config = {}) : Rig(std::vector<sim::KeyboardConfig>{config}) {}
    explicit Rig(const std::vector<sim::KeyboardConfig>& configs) {
        for (const auto& c : configs) {
            keyboards.push_back(std::make_shared<sim::Keyboard>(c));
            backend.Add(keyboards.back());
        }
        transport = std::make_unique<KeyboardTransport>(backend, hid::ConfiguredKeyboardIds());
        transport->SetLog([this](log::Level level, const std::string& line) {
            (level == log::Level::Info ? info : log).push_back(line);
        });
    }
    sim::Keyboard& kbd(std::size_t i = 0) { return *keyboards[i]; }
    std::vector<std::shared_ptr<sim::Keyboard>> keyboards;
    sim::EmulatorBackend backend;
    std::unique_ptr<KeyboardTransport> transport;
    std::vector<std::string> log;   // warnings
    std::vector<std::string> info;
};

const std::uint8_t kHostPresent[3] = {0x15, 0x03, 0x01};

TEST(KeyboardTransport, WriteWithoutKeyboardIsNotWritten) {
    Rig rig;
    EXPECT_EQ(rig.transport->WriteFeatureReport(kHostPresent, 3, 1), kReportNotWritten);
    EXPECT_EQ(rig.kbd().counters().writes, 0u);
    ASSERT_TRUE(rig.transport->OpenKeyboard());
    rig.kbd().SetFailWrites(true);
    EXPECT_EQ(rig.transport->WriteFeatureReport(kHostPresent, 3, 1), kReportNotWritten);
}

TEST(KeyboardTransport, BusyPollEndsOnFirstStatusThatIsNotBusy) {
    sim::KeyboardConfig config;
    config.busyPolls = 3;
    Rig rig(config);
    ASSERT_TRUE(rig.transport->OpenKeyboard());
    EXPECT_EQ(rig.transport->WriteFeatureReport(kHostPresent, 3, 1), sim::kStatusDone);
    EXPECT_EQ(rig.kbd().counters().busyAnswers, 3u);
    EXPECT_EQ(rig.kbd().hostPresence(), 1);

    rig.kbd().SetBusyPolls(0);
    const auto before = rig.kbd().counters().reads;
    EXPECT_EQ(rig.transport->WriteFeatureReport(kHostPresent, 3, 1), sim::kStatusDone);
    EXPECT_EQ(rig.kbd().counters().reads - before, 1u);  // one poll only
}

TEST(KeyboardTransport, BusyPollIsBoundedForAKeyboardThatStaysBusy) {
    Rig rig;
    ASSERT_TRUE(rig.transport->OpenKeyboard());
    rig.transport->SetBusyPollLimitMs(40);
    rig.kbd().SetStayBusy(true);
    EXPECT_EQ(rig.transport->WriteFeatureReport(kHostPresent, 3, 2), kStatusBusy);
    EXPECT_EQ(rig.kbd().counters().busyAnswers, 20u);  // 40 ms of 2 ms polls
    ASSERT_EQ(rig.log.size(), 1u);
    EXPECT_NE(rig.log[0].find("still busy"), std::string::npos);
}

TEST(KeyboardTransport, UnplugDuringBusyPollEndsThePoll) {
    Rig rig;
    ASSERT_TRUE(rig.transport->OpenKeyboard());
    rig.kbd().SetStayBusy(true);
    auto write = std::async(std::launch::async, [&] {
        return rig.transport->WriteFeatureReport(kHostPresent, 3, 1);
    });
    ASSERT_TRUE(Eventually([&] { return rig.kbd().counters().busyAnswers >= 2; }));
    rig.kbd().Unplug();
    ASSERT_EQ(write.wait_for(10s), std::future_status::ready);
    write.get();
    EXPECT_TRUE(rig.log.empty());  // ended by the failed read, not by the bound
}

TEST(KeyboardTransport, StopEndsPollAndSleeps) {
    Rig rig;
    ASSERT_TRUE(rig.transport->OpenKeyboard());
    rig.kbd().SetStayBusy(true);
    auto write = std::async(std::launch::async, [&] {
        return rig.transport->WriteFeatureReport(kHostPresent, 3, 5);
    });
    ASSERT_TRUE(Eventually([&] { return rig.kbd().counters().busyAnswers >= 1; }));
    rig.transport->Stop();
    ASSERT_EQ(write.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(rig.transport->SleepWhileConnected(60000));
    EXPECT_FALSE(rig.transport->SleepUnlessRemoved(60000));
}

TEST(KeyboardTransport, RemovalEndsSleeps) {
    Rig rig;
    ASSERT_TRUE(rig.transport->OpenKeyboard());
    EXPECT_TRUE(rig.transport->SleepWhileConnected(1));
    auto sleep = std::async(std::launch::async,
                            [&] { return rig.transport->SleepUnlessRemoved(60000); });
    std::this_thread::sleep_for(20ms);
    rig.kbd().Unplug();
    ASSERT_EQ(sleep.wait_for(10s), std::future_status::ready);
    EXPECT_FALSE(sleep.get());
    rig.transport->CloseKeyboard();
    EXPECT_FALSE(rig.transport->SleepWhileConnected(60000));  // nothing open
}

TEST(KeyboardTransport, OpenStartsTheEventReaderWhateverTheOrder) {
    // Event interface listed after the feature interface.
    sim::KeyboardConfig late;
    late.order = {InterfaceKind::Other, InterfaceKind::Feature, InterfaceKind::Event};
    Rig a(late);
    ASSERT_TRUE(a.transport->OpenKeyboard());
    EXPECT_EQ(a.transport->featurePath(), a.kbd().Interfaces()[1].path);
    EXPECT_EQ(a.transport->eventPath(), a.kbd().Interfaces()[2].path);
    EXPECT_TRUE(a.transport->readerRunning());
    EXPECT_EQ(a.transport->model(), KeyboardModel::A);
    EXPECT_TRUE(a.transport->modelASeen);
    EXPECT_FALSE(a.transport->modelBSeen);
    ASSERT_EQ(a.info.size(), 2u);  // every interface found, then the two taken
    EXPECT_NE(a.info[0].find("page 0x01 usage 0x06"), std::string::npos) << a.info[0];
    EXPECT_NE(a.info[1].find("(listed after it)"), std::string::npos) << a.info[1];

    // Event interface listed first.
    sim::KeyboardConfig early;
    early.model = sim::Model::B;
    early.order = {InterfaceKind::Event, InterfaceKind::Feature};
    Rig b(early);
    ASSERT_TRUE(b.transport->OpenKeyboard());
    EXPECT_EQ(b.transport->eventPath(), b.kbd().Interfaces()[0].path);
    EXPECT_EQ(b.transport->model(), KeyboardModel::B);
    EXPECT_TRUE(b.transport->modelBSeen);
    EXPECT_TRUE(b.transport->readerRunning());
    EXPECT_NE(b.info.back().find("(listed before it)"), std::string::npos);
}

TEST(KeyboardTransport, OpenSkipsForeignDevicesAndWaitsWhileConnected) {
    sim::KeyboardConfig foreignVendor;
    foreignVendor.vendorId = 0x1234;
    foreignVendor.name = "other-vendor";
    sim::KeyboardConfig foreignProduct;
    foreignProduct.productId = 0x7777;
    foreignProduct.name = "other-product";
    Rig foreign(std::vector<sim::KeyboardConfig>{foreignVendor, foreignProduct});
    EXPECT_FALSE(foreign.transport->OpenKeyboard());
    EXPECT_FALSE(foreign.transport->modelASeen);

    sim::KeyboardConfig only;
    only.order = {InterfaceKind::Other};  // usage page 1, usage 6
    Rig other(only);
    EXPECT_FALSE(other.transport->OpenKeyboard());
    EXPECT_TRUE(other.transport->modelASeen);  // seen, but nothing to open

    Rig connected;
    connected.transport->flags().connected = 1;
    EXPECT_FALSE(connected.transport->OpenKeyboard());
    EXPECT_FALSE(connected.transport->modelASeen);
}

TEST(KeyboardTransport, OpenReportsTheModelToTheHook) {
    Rig rig;
    KeyboardModel seen = KeyboardModel::None;
    rig.transport->SetOnFeatureOpened([&](KeyboardModel m) { seen = m; });
    ASSERT_TRUE(rig.transport->OpenKeyboard());
    EXPECT_EQ(seen, KeyboardModel::A);
}

TEST(KeyboardTransport, ReaderPostsEventsAndEndsOnUnplug) {
    sim::KeyboardConfig config;
    config.order = {InterfaceKind::Event, InterfaceKind::Feature};
    Rig rig(config);
    win::Window window;
    ASSERT_TRUE(window.Create("link test", "events", win::HWND_MESSAGE));
    std::vector<win::LPARAM> events;
    window.Messages().On(link::kMsgNotify, link::notify::kKeyboardEvent,
                         [&](win::WPARAM, win::LPARAM l) -> win::LRESULT {
                             events.push_back(l);
                             return 0;
                         });
    rig.transport->SetEventWindow(window.GetSafeHwnd());
    ASSERT_TRUE(rig.transport->OpenKeyboard());
    // The reader opens its interface on its own thread: send until one
    // arrives (an event sent before the open reaches nobody).
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (events.empty() && std::chrono::steady_clock::now() < end) {
        rig.kbd().SendEvent(0x11, 0x22, 0x33, 0x44);
        std::this_thread::sleep_for(5ms);
        win::MSG msg;
        while (win::PeekMessage(msg)) win::DispatchMessage(msg);
    }
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0], 0x44332211);

    rig.kbd().Unplug();
    EXPECT_TRUE(rig.transport->JoinReader(10s));
    EXPECT_FALSE(rig.transport->readerRunning());
}

}  // namespace
}  // namespace vyre
