#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <condition_variable>
#include <thread>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "common/checksum.h"
#include "common/device_ids.h"
#include "sim/backend.h"
#include "sim/keyboard.h"

namespace vyre::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Collects device notifications; waits with a generous bound.
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
        return cv.wait_for(lock, std::chrono::seconds(10), [&] { return changes.size() >= n; });
    }
};

// "<ms> SET|GET|EVT <hex pairs>" or "<ms> PLUG|UNPLUG".
bool WellFormed(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
    if (i == 0 || i >= line.size() || line[i] != ' ') return false;
    const std::string rest = line.substr(i + 1);
    if (rest == "PLUG" || rest == "UNPLUG") return true;
    if (rest.size() < 6 || (rest.substr(0, 4) != "SET " && rest.substr(0, 4) != "GET " &&
                            rest.substr(0, 4) != "EVT ")) {
        return false;
    }
    const std::string hex = rest.substr(4);
    if ((hex.size() + 1) % 3 != 0) return false;
    for (std::size_t k = 0; k < hex.size(); ++k) {
        const char c = hex[k];
        if (k % 3 == 2 ? c != ' ' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

std::filesystem::path TempPath(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("vyre-sim-test-" + std::to_string(::getpid()) + "-" + name);
}

TEST(SimPlug, UnplugAndPlugReachSubscribersOncePerInterfaceAndKillOldHandles) {
    auto kb = std::make_shared<Keyboard>(KeyboardConfig{.plugged = false});
    EmulatorBackend backend(kb);
    EXPECT_TRUE(backend.Enumerate().empty());
    Collector collector;
    auto subscription = backend.Subscribe(collector);
    kb->Plug();
    ASSERT_TRUE(collector.WaitFor(3));
    const auto present = backend.Enumerate();
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(collector.changes[i].code, hid::kDbtDeviceArrival);
        EXPECT_EQ(collector.changes[i].deviceType, hid::kDbtDevTypDeviceInterface);
        EXPECT_EQ(collector.changes[i].device, present[i]);
    }
    auto feature = backend.Open(present[0].path, hid::OpenMode::Feature);
    auto events = backend.Open(present[1].path, hid::OpenMode::Read);
    ASSERT_TRUE(feature && events);
    kb->Plug();  // already in: nothing
    kb->Unplug();
    ASSERT_TRUE(collector.WaitFor(6));
    EXPECT_EQ(collector.changes.size(), 6u);
    for (std::size_t i = 3; i < 6; ++i) {
        EXPECT_EQ(collector.changes[i].code, hid::kDbtDeviceRemoveComplete);
        EXPECT_EQ(collector.changes[i].device, present[i - 3]);
    }
    std::uint8_t buf[8] = {0x05};
    EXPECT_EQ(feature->GetFeature(buf, 3), -1);
    EXPECT_EQ(events->Read(buf, 8, 1000), hid::kReadError);
    EXPECT_FALSE(kb->SendEvent(0, 1, 0, 0));
    EXPECT_FALSE(backend.Open(present[0].path, hid::OpenMode::Feature));
    kb->Plug();
    // The handle from before the unplug stays dead, a new one works.
    EXPECT_FALSE(feature->SetFeature(Bytes{0x05, 0x03, 0x01}.data(), 3));
    auto again = backend.Open(present[0].path, hid::OpenMode::Feature);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->SetFeature(Bytes{0x05, 0x03, 0x01}.data(), 3));
    subscription.reset();
    kb->Unplug();
    EXPECT_EQ(collector.changes.size(), 9u);  // nothing after the subscription ended
}

TEST(SimPlug, AReaderWaitingWhenTheKeyboardIsUnpluggedGetsAnError) {
    auto kb = std::make_shared<Keyboard>();
    EmulatorBackend backend(kb);
    auto events = backend.Open(backend.Enumerate()[1].path, hid::OpenMode::Read);
    int result = 1;
    std::thread reader([&] {
        std::uint8_t buf[8];
        result = events->Read(buf, 8, 30000);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kb->Unplug();
    reader.join();
    EXPECT_EQ(result, hid::kReadError);
}

TEST(SimTrace, OneLinePerOperationInTheTraceFormat) {
    const auto path = TempPath("trace.txt");
    {
        Keyboard kb(KeyboardConfig{.busyPolls = 1});
        std::string error;
        ASSERT_TRUE(kb.OpenTraceFile(path.string(), &error)) << error;
        auto feature = kb.Open(kb.Interfaces()[0].path, hid::OpenMode::Feature);
        const Bytes write{0x05, 0x03, 0x02};
        ASSERT_TRUE(feature->SetFeature(write.data(), 3));
        std::uint8_t status[3] = {0x04, 0, 0};
        feature->GetFeature(status, 3);
        feature->GetFeature(status, 3);
        kb.SendEvent(0, 0x0B, 0x23, 0x00);
        kb.Unplug();
        kb.Plug();
    }
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::filesystem::remove(path);
    ASSERT_EQ(lines.size(), 6u);
    for (const auto& line : lines) EXPECT_TRUE(WellFormed(line)) << line;
    auto body = [&](std::size_t i) { return lines[i].substr(lines[i].find(' ') + 1); };
    EXPECT_EQ(body(0), "SET 05 03 02");
    EXPECT_EQ(body(1), "GET 04 03 05");  // busy, as answered
    EXPECT_EQ(body(2), "GET 04 01 05");
    EXPECT_EQ(body(3), "EVT 03 00 0b 23 00 00 00 00");
    EXPECT_EQ(body(4), "UNPLUG");
    EXPECT_EQ(body(5), "PLUG");
    // Times never go backwards.
    long last = -1;
    for (const auto& line : lines) {
        const long ms = std::stol(line);
        EXPECT_GE(ms, last);
        last = ms;
    }
}

TEST(SimState, MemorySurvivesASaveAndLoadAndDamagedFilesAreRefused) {
    const auto path = TempPath("state.bin");
    Bytes remap;
    {
        Keyboard kb(KeyboardConfig{.model = Model::B});
        remap = *kb.Report(0x06, 2, 0);
        remap[20] = 0x04;
        const std::uint16_t sum = Checksum16(remap.data(), 123);
        remap[123] = sum & 0xFF;
        remap[124] = sum >> 8;
        ASSERT_TRUE(kb.SetReport(0x06, 2, 0, remap));
        Bytes ill = *kb.Report(0x17, 4, 21);
        ill[7] = 9;
        ASSERT_TRUE(kb.SetReport(0x17, 4, 21, ill));
        auto feature = kb.Open(kb.Interfaces()[0].path, hid::OpenMode::Feature);
        ASSERT_TRUE(feature->SetFeature(Bytes{0x05, 0x03, 0x04}.data(), 3));
        std::string error;
        ASSERT_TRUE(kb.SaveState(path.string(), &error)) << error;
    }
    {
        Keyboard kb(KeyboardConfig{.model = Model::B});
        std::string error;
        ASSERT_TRUE(kb.LoadState(path.string(), &error)) << error;
        EXPECT_EQ(*kb.Report(0x06, 2, 0), remap);
        EXPECT_EQ((*kb.Report(0x17, 4, 21))[7], 9);
        EXPECT_EQ(kb.activeProfile(), 4);
    }
    // No temporary file is left beside it.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(path.parent_path())) {
        if (e.path().filename().string().starts_with(path.filename().string())) ++files;
    }
    EXPECT_EQ(files, 1);
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(1000);
        f.put('\x5a');
    }
    Keyboard kb;
    std::string error;
    EXPECT_FALSE(kb.LoadState(path.string(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(kb.activeProfile(), 0);
    std::filesystem::resize_file(path, 100);
    EXPECT_FALSE(kb.LoadState(path.string(), &error));
    std::filesystem::remove(path);
    EXPECT_FALSE(kb.LoadState(path.string(), &error));
}

TEST(SimHex, FormatsAndParsesByteLists) {
    const Bytes b{0x00, 0x0f, 0xa0, 0xff};
    EXPECT_EQ(HexBytes(b.data(), b.size()), "00 0f a0 ff");
    EXPECT_EQ(ParseHexBytes("00 0F a0ff"), b);
    EXPECT_FALSE(ParseHexBytes("0 0f"));
    EXPECT_FALSE(ParseHexBytes("0g"));
    EXPECT_FALSE(ParseHexBytes("abc"));
}

}  // namespace
}  // namespace vyre::sim
