// The keyboard thread against emulated keyboards: its start, the read-back,
// hot plug, and its end; through the real hidapi backend over the stand-in of
// hidapi and libudev; and once against the emulator program.

#include "monitor/link/hid_filter_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>

#include "common/key_functions.h"
#include "common/link_codes.h"
#include "common/log.h"
#include "common/reports.h"
#include "common/store_blocks.h"
#include "platform/hid/select.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/support/config_window.h"
#include "tests/support/hid_shim.h"
#include "tests/support/programs.h"
#include "tools/link_client.h"

namespace vyre {
namespace {

using testing::Eventually;
using testing::LinkRig;
using testing::TraceOf;

sim::KeyboardConfig Config(const char* name, bool plugged = true,
                           sim::Model model = sim::Model::B) {
    sim::KeyboardConfig c;
    c.name = name;
    c.model = model;
    c.busyPolls = 0;
    c.plugged = plugged;
    return c;
}

// The keyboard thread over emulated keyboards, with settings in a fresh folder.
struct ThreadRig {
    explicit ThreadRig(std::vector<sim::KeyboardConfig> configs = {Config("kbd")}) {
        for (const auto& c : configs) {
            keyboards.push_back(std::make_shared<sim::Keyboard>(c));
            backend.Add(keyboards.back());
            keyboards.back()->SetTraceSink([this](const std::string& line) {
                std::lock_guard lock(mutex);
                trace.push_back(line);
            });
        }
    }
    ~ThreadRig() {
        thread.reset();
        for (auto& k : keyboards) k->SetTraceSink(nullptr);
    }
    // Starts the thread over the emulator backend, or over `other`.
    void Start(LinkHooks hooks = {}, hid::Backend* other = nullptr) {
        CHIDFilterThread::Options options;
        options.arrivalSettleMs = 20;
        options.pollIntervalOverrideMs = 1;
        // Every event handled is seen, so that Sync() can wait for one of its own.
        auto seen = std::move(hooks.keyboardEvent);
        hooks.keyboardEvent = [this, seen](std::uint32_t value) {
            lastEvent = value;
            if (seen) seen(value);
        };
        thread = std::make_unique<CHIDFilterThread>(other ? other : &backend, hid::ConfiguredKeyboardIds(), *store,
                                                    shared, commands, settings, *repeat, host,
                                                    std::move(hooks), options);
        ASSERT_TRUE(thread->CreateThread());
    }
    bool Ready() { return thread->flags().ready.load() == 1; }
    bool Connected() { return thread->flags().connected.load() == 1; }
    // Read-backs begin with a read of report 0x0F.
    std::size_t ReadBacks() {
        std::lock_guard lock(mutex);
        return TraceOf(trace, "GET", report::kDeviceInfo).size();
    }
    std::vector<std::string> Trace() {
        std::lock_guard lock(mutex);
        return trace;
    }
    // The feature reports written and read, in order, without their times.
    std::vector<std::string> FeatureCalls() {
        std::vector<std::string> calls;
        for (const std::string& line : Trace()) {
            const auto at = line.find(' ');
            if (line.compare(at + 1, 4, "SET ") == 0 || line.compare(at + 1, 4, "GET ") == 0)
                calls.push_back(line.substr(at + 1));
        }
        return calls;
    }
    // Waits until the keyboard thread has handled everything posted to it
    // before: posts an event of a type the keyboard does not send, and waits
    // for it to be handled.
    void Sync() {
        const std::uint32_t marker = 0x7700u | (++syncs << 16);
        ASSERT_TRUE(Eventually([&] { return shared.keyboard.load() != 0; }));
        win::PostMessage(shared.keyboard.load(), link::kMsgNotify, link::notify::kKeyboardEvent,
                         marker);
        ASSERT_TRUE(Eventually([&] { return lastEvent.load() == marker; }));
    }

    testing::TempDir folder;
    std::vector<std::shared_ptr<sim::Keyboard>> keyboards;
    sim::EmulatorBackend backend;
    std::unique_ptr<ProfileStore> store = NewProfileStore();
    MonitorShared shared;
    PendingCommands commands;
    std::unique_ptr<platform::Registry> registry = platform::Registry::InMemory();
    SettingsPersistence settings{*registry, folder / "Config"};
    std::unique_ptr<platform::KeyboardRepeatSettings> repeat = platform::MakeMemoryKeyboardRepeat();
    testing::FakeHost host;
    std::unique_ptr<CHIDFilterThread> thread;
    std::atomic<std::uint32_t> lastEvent{0};
    std::uint32_t syncs = 0;
    std::mutex mutex;
    std::vector<std::string> trace;
};

TEST(KeyboardThread, StartsReadsBackAndLeavesTheKeyboardInOrder) {
    ThreadRig rig;
    rig.store->hostSettingsBlock.statistics.lifetime[0] = 5;
    rig.Start();
    ASSERT_TRUE(Eventually([&] { return rig.Ready(); }));
    rig.Sync();  // the start has ended
    EXPECT_EQ(rig.keyboards[0]->hostPresence(), 1);
    EXPECT_EQ(rig.store->hostSettingsBlock.modelFlag, 2);
    EXPECT_EQ(rig.store->hostRecord(0).name.str(), u"Default1");
    EXPECT_EQ(rig.ReadBacks(), 1u);

    // The Config's commands reach the keyboard through the pending list.
    const std::vector<std::uint8_t> profile = {5, 3, 4};
    CommandBlock* block =
        rig.commands.Add(link::MakeDwData(link::block::kActiveProfile, link::kTagCommand), profile);
    win::PostMessage(rig.shared.keyboard.load(), link::kMsgCommandBlock, 0,
                     reinterpret_cast<win::LPARAM>(block));
    rig.Sync();
    EXPECT_EQ(rig.keyboards[0]->activeProfile(), 4);
    EXPECT_EQ(rig.commands.size(), 0u);

    // The host lets go of the keyboard when the thread ends.
    rig.keyboards[0]->SetReport(report::kActiveProfile, 0, 0, {5, 3, 1});
    win::PostMessage(rig.shared.keyboard.load(), win::WM_QUIT);
    ASSERT_TRUE(rig.thread->Wait(std::chrono::seconds(10)));
    EXPECT_EQ(rig.keyboards[0]->hostPresence(), 0);
    EXPECT_EQ(rig.keyboards[0]->activeProfile(), 4);
    EXPECT_EQ(rig.shared.keyboard.load(), 0u);
}

TEST(KeyboardThread, NoTrayToComeIsNotWaitedFor) {
    ThreadRig rig;
    rig.shared.trayExpected = false;
    rig.Start();
    ASSERT_TRUE(Eventually([&] { return rig.Ready(); }));
    rig.Sync();
    EXPECT_EQ(rig.thread->trayLooks(), 0);
    EXPECT_EQ(rig.keyboards[0]->hostPresence(), 1);
}

TEST(KeyboardThread, HotPlugConnectsOnceAndIgnoresOtherInterfaces) {
    ThreadRig rig({Config("kbd"), Config("other", false)});
    testing::ConfigWindow config;
    rig.Start();
    ASSERT_TRUE(Eventually([&] { return rig.Ready(); }));
    rig.Sync();
    EXPECT_EQ(rig.ReadBacks(), 1u);
    const std::string featurePath = rig.thread->transport()->featurePath();

    // A second keyboard arriving while one is connected changes nothing, nor does its removal.
    rig.keyboards[1]->Plug();
    rig.keyboards[1]->Unplug();
    win::PostMessage(rig.shared.keyboard.load(), win::WM_DEVICECHANGE, hid::kDbtDevNodesChanged, 0);
    rig.Sync();
    EXPECT_TRUE(rig.Connected());
    EXPECT_EQ(rig.thread->transport()->featurePath(), featurePath);
    EXPECT_EQ(rig.ReadBacks(), 1u);

    // Removal: the store is cleared but the statistics stay, and the Config is told.
    rig.store->hostSettingsBlock.statistics.lifetime[2] = 41;
    rig.keyboards[0]->Unplug();
    ASSERT_TRUE(Eventually([&] { return !rig.Connected(); }));
    rig.Sync();
    EXPECT_TRUE(rig.store->hostRecord(0).name.empty());
    EXPECT_EQ(rig.store->statistics().lifetime[2].get(), 41);
    EXPECT_TRUE(Eventually(
        [&] { return config.SawNotice(link::notice::kGone, link::notice::kKeyboardRemoved); }));

    // Arrival: every interface arrives on its own, but the keyboard is read back once.
    rig.keyboards[0]->Plug();
    ASSERT_TRUE(Eventually([&] { return rig.Ready(); }));
    rig.Sync();
    EXPECT_EQ(rig.ReadBacks(), 2u);
    EXPECT_TRUE(rig.thread->arrivalHandled());
    // The keyboard, powered anew, hears that the host is there, as at start.
    EXPECT_EQ(rig.keyboards[0]->hostPresence(), 1);
    // ... and an open Config gets everything anew.
    EXPECT_TRUE(Eventually([&] { return config.Saw(link::notice::kDumpComplete, true); }));
}

// Arrivals and removals that queued while the thread was busy are not
// replayed one by one: the keyboard is connected once, after the last.
TEST(KeyboardThread, APlugStormEndsInOneConnect) {
    ThreadRig rig;
    constexpr std::uint32_t kHold = 0x7600;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    LinkHooks hooks;
    hooks.keyboardEvent = [released](std::uint32_t value) {
        if (value == kHold) released.wait();
    };
    rig.Start(std::move(hooks));
    ASSERT_TRUE(Eventually([&] { return rig.Ready(); }));
    rig.Sync();
    win::PostMessage(rig.shared.keyboard.load(), link::kMsgNotify, link::notify::kKeyboardEvent, kHold);
    for (int cycle = 0; cycle < 50; ++cycle) {
        rig.keyboards[0]->Unplug();
        rig.keyboards[0]->Plug();
    }
    release.set_value();
    rig.Sync();
    ASSERT_TRUE(Eventually([&] { return rig.Ready(); }));
    rig.Sync();
    EXPECT_EQ(rig.ReadBacks(), 2u);
    EXPECT_EQ(rig.keyboards[0]->hostPresence(), 1);
}

TEST(KeyboardThread, AnArrivalWhoseOpenFailedHoldsOffArrivalsUntilARemoval) {
    // A keyboard whose feature interface cannot be found cannot be opened.
    auto broken = Config("kbd", false);
    broken.order = {sim::InterfaceKind::Event, sim::InterfaceKind::Other};
    ThreadRig rig({broken});
    rig.Start();
    rig.Sync();  // started: device notifications reach it
    rig.keyboards[0]->Plug();
    rig.Sync();
    EXPECT_FALSE(rig.Connected());
    EXPECT_TRUE(rig.thread->arrivalHandled());
    // The removal of the keyboard lets its next arrival try again.
    rig.keyboards[0]->Unplug();
    rig.Sync();
    EXPECT_FALSE(rig.thread->arrivalHandled());
    // A device-nodes change looks for the keyboard whatever the mark says.
    rig.keyboards[0]->Plug();
    rig.Sync();
    win::PostMessage(rig.shared.keyboard.load(), win::WM_DEVICECHANGE, hid::kDbtDevNodesChanged, 0);
    rig.Sync();
    EXPECT_FALSE(rig.Connected());
}

TEST(KeyboardThread, AKeyboardOfAnotherProductIsNeverOpened) {
    auto foreign = Config("foreign");
    foreign.productId = 0x7777;
    ThreadRig rig({foreign});
    rig.Start();
    rig.Sync();
    EXPECT_FALSE(rig.Connected());
    EXPECT_EQ(rig.keyboards[0]->counters().reads + rig.keyboards[0]->counters().writes, 0u);
}

TEST(KeyboardThread, UnplugWhileTheKeyboardHasNoAnswerYetEndsTheWait) {
    ThreadRig rig;
    rig.keyboards[0]->SetVersionZeroReads(-1);  // answers version 0 for ever
    rig.Start();
    ASSERT_TRUE(Eventually([&] { return rig.ReadBacks() >= 2; }));
    rig.keyboards[0]->Unplug();
    ASSERT_TRUE(
        Eventually([&] { return !rig.Connected() && rig.thread->flags().ready.load() == 0; }));
    rig.Sync();  // the thread is free again
    EXPECT_EQ(rig.store->hostSettingsBlock.modelFlag, 0);
}

TEST(KeyboardThread, ReadBackMarksOnlyTheSlotsThatCarryMacros) {
    LinkRig rig;
    auto flex = *rig.keyboard->Report(report::kFlexKeys, 1, 0);
    flex[report::kFlexKeyEntries + 5 * 3] = fncode::kMacro;       // slot 21 of profile 2
    flex[report::kFlexKeyEntries + 6 * 3] = fncode::kLightMacro;  // slot 22: a light macro
    flex[report::kFlexKeyEntries + 7 * 3] = 0xDE;  // light macro with default action: no mark
    report::FrameReport(report::kFlexKeys, 1, flex);
    rig.keyboard->SetReport(report::kFlexKeys, 1, 0, flex);
    LightMacroBlock block{};
    std::memset(static_cast<void*>(&block), 0, sizeof block);
    block.slot = 22;
    block.stepCount = 3;
    rig.settings.WriteLightMacroBlock(1, 22, block);
    block.slot = 23;
    rig.settings.WriteLightMacroBlock(1, 23, block);
    rig.Connect();

    std::vector<std::string> macroRequests;
    for (const auto& request : TraceOf(rig.Trace(), "SET", report::kStatus)) {
        const int code = std::stoi(request.substr(6, 2), nullptr, 16);
        if (code < 0x70) macroRequests.push_back(request);
    }
    ASSERT_EQ(macroRequests.size(), 1u);
    EXPECT_EQ(macroRequests[0], "04 01 15");
    EXPECT_EQ(rig.store->macroImage(1, 21).id, report::kMacro);
    EXPECT_EQ(rig.store->lightMacro(1, 22).stepCount.get(), 3);
    EXPECT_EQ(rig.store->lightMacro(1, 23).stepCount.get(), 0);
}

TEST(KeyboardThread, ModelAHasNoLightingToReadBack) {
    LinkRig rig([] {
        auto c = LinkRig::DefaultConfig();
        c.model = sim::Model::A;
        return c;
    }());
    rig.Connect();
    for (const auto& request : TraceOf(rig.Trace(), "SET", report::kStatus)) {
        const int code = std::stoi(request.substr(6, 2), nullptr, 16);
        EXPECT_LT(code, 0xC0) << request;
    }
    EXPECT_TRUE(rig.store->hostRecord(0).name.str() == u"Default1");
}

TEST(KeyboardThread, FirmwareChecks) {
    {
        auto newer = LinkRig::DefaultConfig();
        newer.firmware = 110;
        LinkRig rig(newer);
        int popups = 0;
        rig.hooks.newerFirmwarePopup = [&] { ++popups; };
        rig.transport.OpenKeyboard();
        rig.transport.flags().connected = 1;
        EXPECT_TRUE(rig.link->ReadBackKeyboard(true));
        EXPECT_EQ(popups, 1);
        EXPECT_EQ(rig.transport.flags().connected.load(),
                  0);  // the Config is answered "no keyboard"
    }
    {
        auto older = LinkRig::DefaultConfig();
        older.firmware2 = 140;
        LinkRig rig(older);
        int updaters = 0;
        rig.hooks.startFirmwareUpdater = [&] { return ++updaters > 0; };
        rig.transport.OpenKeyboard();
        EXPECT_FALSE(rig.link->ReadBackKeyboard(true));
        EXPECT_EQ(updaters, 1);
        EXPECT_TRUE(TraceOf(rig.Trace(), "SET").empty());  // ends before anything is written
    }
}

// The keyboard's nodes through hidapi's and libudev's stand-in, for one test.
struct Shim {
    Shim() { testing::hid_shim::Reset(); }
    ~Shim() { testing::hid_shim::Reset(); }
    std::unique_ptr<hid::Backend> Backend() {
        std::string error;
        auto backend = hid::MakeHidapiBackend(&error);
        EXPECT_TRUE(backend) << error;
        return backend;
    }
};

struct Driven {
    std::vector<std::string> featureCalls;
    std::string paths[4];  // feature and event interface, before and after the unplug
};

// Start with its read-back, a full upload (each block with one byte
// changed), an event, unplug and plug again.
Driven DriveKeyboard(ThreadRig& rig, hid::Backend* backend) {
    Driven out;
    rig.Start({}, backend);
    EXPECT_TRUE(Eventually([&] { return rig.Ready(); }));
    rig.Sync();
    for (std::uint16_t code : link::kFullUploadOrder) {
        const auto bytes = StoreBlock(*rig.store, code);
        std::vector<std::uint8_t> block(bytes.begin(), bytes.end());
        if (block.size() > 8) block[block.size() / 2] ^= 1;
        CommandBlock* command = rig.commands.Add(link::MakeDwData(code, link::kTagCommand), block);
        win::PostMessage(rig.shared.keyboard.load(), link::kMsgCommandBlock, 0,
                         reinterpret_cast<win::LPARAM>(command));
    }
    rig.Sync();
    // The reader opens on its own thread: send until one arrives.
    for (int i = 0; i < 2000 && rig.lastEvent.load() != 0x01EE7700u; ++i) {
        rig.keyboards[0]->SendEvent(0, 0x77, 0xEE, 0x01);  // a type the link ignores
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(rig.lastEvent.load(), 0x01EE7700u);
    out.paths[0] = rig.thread->transport()->featurePath();
    out.paths[1] = rig.thread->transport()->eventPath();
    rig.keyboards[0]->Unplug();
    EXPECT_TRUE(Eventually([&] { return !rig.Connected(); }));
    rig.Sync();
    rig.keyboards[0]->Plug();
    EXPECT_TRUE(Eventually([&] { return rig.Ready(); }));
    rig.Sync();
    EXPECT_TRUE(Eventually([&] { return rig.thread->transport()->readerRunning(); }));
    out.paths[2] = rig.thread->transport()->featurePath();
    out.paths[3] = rig.thread->transport()->eventPath();
    out.featureCalls = rig.FeatureCalls();
    return out;
}

class KeyboardThroughHidapi : public ::testing::TestWithParam<std::tuple<sim::Model, bool>> {};

TEST_P(KeyboardThroughHidapi, TheKeyboardSeesWhatTheEmulatorPathSends) {
    auto config = Config("kbd", true, std::get<0>(GetParam()));
    if (std::get<1>(GetParam())) {
        config.order = {sim::InterfaceKind::Event, sim::InterfaceKind::Feature, sim::InterfaceKind::Other};
    }
    ThreadRig direct({config});
    const Driven expected = DriveKeyboard(direct, nullptr);

    Shim shim;
    auto backend = shim.Backend();
    ThreadRig rig({config});
    testing::hid_shim::Attach(rig.keyboards[0]);
    const Driven seen = DriveKeyboard(rig, backend.get());
    EXPECT_GT(expected.featureCalls.size(), 200u);
    EXPECT_TRUE(seen.featureCalls == expected.featureCalls);  // no difference at all
    // Both interfaces were let go and opened again on their new nodes.
    const auto calls = testing::hid_shim::Calls();
    auto count = [&](const std::string& line) { return std::count(calls.begin(), calls.end(), line); };
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(seen.paths[i], seen.paths[i + 2]);
        EXPECT_EQ(count("open " + seen.paths[i]), 1) << seen.paths[i];
        EXPECT_EQ(count("close " + seen.paths[i]), 1) << seen.paths[i];
        EXPECT_EQ(count("open " + seen.paths[i + 2]), 1) << seen.paths[i + 2];
    }
}

INSTANTIATE_TEST_SUITE_P(ModelsAndOrders, KeyboardThroughHidapi,
                         ::testing::Combine(::testing::Values(sim::Model::A, sim::Model::B), ::testing::Bool()));

TEST(KeyboardThread, CollectionsWithoutUsagesAreFoundInTheDescriptor) {
    Shim shim;
    auto backend = shim.Backend();
    ThreadRig rig;
    testing::hid_shim::SetBareDescriptors(true);
    testing::hid_shim::Attach(rig.keyboards[0]);
    rig.Start({}, backend.get());
    ASSERT_TRUE(Eventually([&] { return rig.Ready(); }));
    EXPECT_TRUE(Eventually([&] { return rig.thread->transport()->readerRunning(); }));
}

TEST(KeyboardThread, ANodeThisUserMayNotOpenIsToldAndTakenOnceAllowed) {
    Shim shim;
    auto backend = shim.Backend();
    std::mutex mutex;
    std::vector<std::string> warnings, boxes;
    log::SetSink([&](std::string_view line) {
        std::lock_guard lock(mutex);
        if (line.find("does not open") != std::string_view::npos) warnings.emplace_back(line);
    });
    struct SinkGuard {
        ~SinkGuard() { log::SetSink(nullptr); }
    } sinkGuard;
    ThreadRig rig;
    testing::hid_shim::SetDenyOpen(true);
    testing::hid_shim::Attach(rig.keyboards[0]);
    LinkHooks hooks;
    hooks.messageBox = [&](const std::string& text, const std::string&) {
        std::lock_guard lock(mutex);
        boxes.push_back(text);
    };
    rig.Start(std::move(hooks), backend.get());
    rig.Sync();
    EXPECT_FALSE(rig.Connected());
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find("errno 13"), std::string::npos) << warnings[0];
        EXPECT_NE(warnings[0].find("Permission denied"), std::string::npos);
        EXPECT_NE(warnings[0].find("udevadm trigger --subsystem-match=hidraw"), std::string::npos);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].find("sudo udevadm control --reload"), std::string::npos);
    }
    // A Config that registers hears which node keeps it from the keyboard.
    testing::ConfigWindow config;
    win::PostMessage(rig.shared.keyboard.load(), link::kMsgRequest, link::request::kRegister, config.hwnd());
    const auto events = config.Take(1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, link::notification::kKeyboardNoAccess);
    const std::string path(events[0].data.begin(), events[0].data.end());
    EXPECT_EQ(path.rfind("/dev/hidraw", 0), 0u) << path;
    EXPECT_NE(boxes[0].find(path), std::string::npos);

    // The rule comes and udev triggers a change: the keyboard is taken, nothing more is said.
    testing::hid_shim::SetDenyOpen(false);
    testing::hid_shim::TriggerChange();
    EXPECT_TRUE(Eventually([&] { return rig.Ready(); }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(warnings.size(), 1u);
}

TEST(KeyboardThread, AgainstTheEmulatorProgram) {
    testing::TempDir folder;
    testing::SimProcess sim(folder.path(), {"--model", "B", "--busy-polls", "2", "--trace",
                                            (folder / "trace").string()});
    ASSERT_TRUE(sim.started());
    std::string error;
    auto backend = hid::MakeSimClientBackend(sim.socket());
    ASSERT_TRUE(backend);
    auto store = NewProfileStore();
    MonitorShared shared;
    PendingCommands commands;
    auto registry = platform::Registry::InMemory();
    SettingsPersistence settings(*registry, folder / "Config");
    auto repeat = platform::MakeMemoryKeyboardRepeat();
    std::atomic<std::uint32_t> event{0};
    LinkHooks hooks;
    hooks.keyboardEvent = [&](std::uint32_t value) { event = value; };
    CHIDFilterThread::Options options;
    options.arrivalSettleMs = 20;
    options.pollIntervalOverrideMs = 1;
    testing::FakeHost host;
    CHIDFilterThread thread(backend.get(), hid::ConfiguredKeyboardIds(), *store, shared, commands,
                            settings, *repeat, host, hooks, options);
    ASSERT_TRUE(thread.CreateThread());
    ASSERT_TRUE(Eventually([&] { return thread.flags().ready.load() == 1; }));

    // A write with its busy polls (the start writes report 0x15 right after the read-back).
    auto trace = [&] {
        std::ifstream in(folder / "trace");
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    EXPECT_TRUE(Eventually([&] { return trace().find("SET 15 03 01\n") != std::string::npos; }));
    EXPECT_NE(trace().find("GET 04 03"), std::string::npos);

    ASSERT_EQ(sim.Control({"event", "0", "1", "2", "0"}).exit, 0);
    EXPECT_TRUE(Eventually([&] { return event.load() == 0x00020100u; }));

    ASSERT_EQ(sim.Control({"unplug"}).exit, 0);
    EXPECT_TRUE(Eventually([&] { return thread.flags().connected.load() == 0; }));
    ASSERT_EQ(sim.Control({"plug"}).exit, 0);
    EXPECT_TRUE(Eventually([&] { return thread.flags().ready.load() == 1; }));
}

}  // namespace
}  // namespace vyre
