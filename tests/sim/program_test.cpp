// vyre-lumo-sim as a separate process: reached through the emulator backend
// of platform/hid and controlled by its own command line.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "common/device_ids.h"
#include "platform/hid/select.h"
#include "platform/hid/sim_wire.h"
#include "tests/support/programs.h"

namespace vyre {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using testing::BinFolder;

std::string SimProgram() {
    return (BinFolder() / "vyre-lumo-sim").string();
}

using Result = testing::RunResult;

// Runs the emulator program with these arguments to its end.
Result RunSim(std::vector<std::string> args) {
    args.insert(args.begin(), SimProgram());
    return testing::Run(args);
}

// One running emulator program on a private socket.
using Emulator = testing::SimProcess;

struct Collector : hid::DeviceListener {
    std::mutex m;
    std::condition_variable cv;
    std::vector<hid::DeviceChange> changes;
    void OnDeviceChange(const hid::DeviceChange& c) override {
        std::lock_guard lock(m);
        changes.push_back(c);
        cv.notify_all();
    }
    bool WaitFor(std::size_t n) {
        std::unique_lock lock(m);
        return cv.wait_for(lock, std::chrono::seconds(15), [&] { return changes.size() >= n; });
    }
    std::size_t size() {
        std::lock_guard lock(m);
        return changes.size();
    }
};

class SimProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("vyre-sim-prog-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

std::unique_ptr<hid::Device> OpenPage(hid::Backend& backend, std::uint16_t page,
                                      hid::OpenMode mode) {
    for (const auto& info : backend.Enumerate()) {
        if (info.usagePage == page) return backend.Open(info.path, mode);
    }
    return nullptr;
}

TEST_F(SimProgramTest, TheBackendTalksToTheProgramLikeToAKeyboard) {
    Emulator sim(folder_, {"--model", "B", "--busy-polls", "2", "--order", "event,other,feature",
                           "--version-zero", "2"});
    auto backend = hid::MakeSimClientBackend(sim.socket());
    const auto list = backend->Enumerate();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].usagePage, kEventUsagePage);
    EXPECT_EQ(list[2].usagePage, kFeatureUsagePage);
    EXPECT_EQ(list[2].productId, kDefaultProductIdB);

    auto feature = OpenPage(*backend, kFeatureUsagePage, hid::OpenMode::Feature);
    auto events = OpenPage(*backend, kEventUsagePage, hid::OpenMode::Read);
    ASSERT_TRUE(feature && events);
    // --version-zero 2: the first two answers carry no version yet.
    for (int expected : {0, 0, 109}) {
        Bytes info(8, 0);
        info[0] = 0x0F;
        ASSERT_EQ(feature->GetFeature(info.data(), 8), 8);
        EXPECT_EQ(info[2], expected);
    }
    const Bytes request{0x04, 0x02, 0xB0};
    ASSERT_TRUE(feature->SetFeature(request.data(), 3));
    int busy = 0;
    std::uint8_t status[3];
    do {
        status[0] = 0x04;
        ASSERT_EQ(feature->GetFeature(status, 3), 3);
    } while (status[1] == 3 && ++busy < 100);
    EXPECT_EQ(busy, 2);
    Bytes options(6, 0);
    options[0] = 0x0C;
    ASSERT_EQ(feature->GetFeature(options.data(), 6), 6);
    EXPECT_EQ(options, (Bytes{0x0C, 0x06, 0x02, 0x3F, 0x53, 0x00}));

    std::uint8_t buf[16];
    EXPECT_EQ(events->Read(buf, sizeof buf, 0), hid::kReadTimeout);
    EXPECT_EQ(sim.Control({"event", "0", "0x0B", "35", "0"}).exit, 0);
    ASSERT_EQ(events->Read(buf, sizeof buf, 10000), 8);
    EXPECT_EQ(Bytes(buf, buf + 5), (Bytes{0x03, 0x00, 0x0B, 0x23, 0x00}));

    EXPECT_EQ(sim.Control({"fail", "write", "on"}).exit, 0);
    EXPECT_FALSE(feature->SetFeature(request.data(), 3));
    EXPECT_EQ(sim.Control({"fail", "write", "off"}).exit, 0);
    EXPECT_TRUE(feature->SetFeature(request.data(), 3));
}

TEST_F(SimProgramTest, ControlCommandsShowAndReplaceImagesAndReportErrors) {
    Emulator sim(folder_, {"--version-zero", "1"});
    Result r = sim.Control({"report", "0x0c", "2"});
    EXPECT_EQ(r.exit, 0);
    EXPECT_EQ(r.out, "0c 06 02 3f 53 00\n");
    EXPECT_EQ(sim.Control({"set", "12", "2", "0c 06 02 00 14 00"}).exit, 0);
    EXPECT_EQ(sim.Control({"report", "12", "2"}).out, "0c 06 02 00 14 00\n");
    EXPECT_EQ(sim.Control({"report", "0x0e", "1", "111"}).out.substr(0, 15), "0e 52 00 01 6f ");
    EXPECT_EQ(sim.Control({"report", "0x0f"}).out, "0f 08 68 00 8d 00 00 00\n");
    // Wrong length, unknown report, bad numbers, unknown commands.
    EXPECT_EQ(sim.Control({"set", "12", "2", "0c 06 02"}).exit, 1);
    EXPECT_EQ(sim.Control({"report", "0x42"}).exit, 1);
    EXPECT_EQ(sim.Control({"report", "0x0c", "7"}).exit, 2);
    EXPECT_EQ(sim.Control({"event", "0", "1", "2"}).exit, 2);
    // Keys by index or by name.
    EXPECT_EQ(sim.Control({"press", "E"}).exit, sim.Control({"press", "38"}).exit);  // no macro there: 1
    EXPECT_NE(sim.Control({"press", "caps lock", "1"}).exit, 2);
    EXPECT_EQ(sim.Control({"press", "123"}).exit, 2);
    EXPECT_EQ(sim.Control({"press", "Hyper"}).exit, 2);
    EXPECT_EQ(sim.Control({"event", "0", "0xfb", "E", "1"}).exit, 0);
    EXPECT_EQ(sim.Control({"event", "0", "E", "1", "1"}).exit, 2);
    EXPECT_NE(RunSim({"--help"}).out.find("key's name"), std::string::npos);
    EXPECT_EQ(sim.Control({"fail", "paint", "on"}).exit, 2);
    EXPECT_EQ(sim.Control({"dance"}).exit, 2);
    EXPECT_EQ(RunSim({"--model", "C"}).exit, 2);
    EXPECT_EQ(RunSim({"--busy-polls", "many"}).exit, 2);
    // Nobody listening.
    EXPECT_EQ(RunSim({"--socket", (folder_ / "none.sock").string(), "plug"}).exit, 3);
    // A second emulator on the same socket does not start.
    EXPECT_NE(RunSim({"--socket", sim.socket()}).exit, 0);
}

TEST_F(SimProgramTest, PlugAndUnplugReachASubscriberAndSoDoesTheProgramsEnd) {
    auto sim = std::make_unique<Emulator>(folder_, std::vector<std::string>{"--unplugged"});
    auto backend = hid::MakeSimClientBackend(sim->socket());
    EXPECT_TRUE(backend->Enumerate().empty());
    Collector collector;
    auto subscription = backend->Subscribe(collector);
    EXPECT_EQ(sim->Control({"plug"}).exit, 0);
    ASSERT_TRUE(collector.WaitFor(3));
    const auto present = backend->Enumerate();
    ASSERT_EQ(present.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(collector.changes[i].code, hid::kDbtDeviceArrival);
        EXPECT_EQ(collector.changes[i].device, present[i]);
    }
    auto events = OpenPage(*backend, kEventUsagePage, hid::OpenMode::Read);
    ASSERT_TRUE(events);
    EXPECT_EQ(sim->Control({"unplug"}).exit, 0);
    ASSERT_TRUE(collector.WaitFor(6));
    EXPECT_EQ(collector.changes[3].code, hid::kDbtDeviceRemoveComplete);
    std::uint8_t buf[8];
    EXPECT_EQ(events->Read(buf, 8, 5000), hid::kReadError);

    // The program ends while plugged: its interfaces are removed; a new one
    // at the same socket arrives.
    EXPECT_EQ(sim->Control({"plug"}).exit, 0);
    ASSERT_TRUE(collector.WaitFor(9));
    EXPECT_EQ(sim->Stop(), 0);
    ASSERT_TRUE(collector.WaitFor(12));
    for (std::size_t i = 9; i < 12; ++i) {
        EXPECT_EQ(collector.changes[i].code, hid::kDbtDeviceRemoveComplete);
    }
    sim = std::make_unique<Emulator>(folder_, std::vector<std::string>{});
    ASSERT_TRUE(collector.WaitFor(15));
    EXPECT_EQ(collector.changes[12].code, hid::kDbtDeviceArrival);
    subscription.reset();
    EXPECT_EQ(collector.size(), 15u);
}

TEST_F(SimProgramTest, ASubscriberHearsOfRealArrivalsOnlyNotOfWhatWasAlreadyThere) {
    Emulator sim(folder_, {});
    auto backend = hid::MakeSimClientBackend(sim.socket());
    ASSERT_EQ(backend->Enumerate().size(), 3u);
    Collector collector;
    auto subscription = backend->Subscribe(collector);
    // The first change heard is the removal, not an arrival of what was
    // plugged before the subscription.
    EXPECT_EQ(sim.Control({"unplug"}).exit, 0);
    ASSERT_TRUE(collector.WaitFor(3));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(collector.changes[i].code, hid::kDbtDeviceRemoveComplete);
    EXPECT_EQ(sim.Control({"plug"}).exit, 0);
    ASSERT_TRUE(collector.WaitFor(6));
    for (std::size_t i = 3; i < 6; ++i) EXPECT_EQ(collector.changes[i].code, hid::kDbtDeviceArrival);
    subscription.reset();
    EXPECT_EQ(collector.size(), 6u);
}

TEST_F(SimProgramTest, StateAndTraceFilesAcrossRuns) {
    const std::string state = (folder_ / "kbd.state").string();
    const std::string trace = (folder_ / "trace.txt").string();
    {
        Emulator sim(folder_, {"--state", state, "--trace", trace});
        auto backend = hid::MakeSimClientBackend(sim.socket());
        auto feature = OpenPage(*backend, kFeatureUsagePage, hid::OpenMode::Feature);
        ASSERT_TRUE(feature);
        const Bytes active{0x05, 0x03, 0x03};
        ASSERT_TRUE(feature->SetFeature(active.data(), 3));
        EXPECT_EQ(sim.Stop(), 0);  // SIGTERM saves
    }
    std::ifstream in(trace);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line.substr(line.find(' ') + 1), "SET 05 03 03");
    ASSERT_TRUE(fs::exists(state));
    Emulator again(folder_, {"--state", state});
    EXPECT_EQ(again.Control({"report", "5"}).out, "05 03 03\n");
}

}  // namespace
}  // namespace vyre
