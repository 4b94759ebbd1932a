#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "platform/hid/device_ids.h"
#include "platform/hid/report_descriptor.h"
#include "platform/hid/select.h"
#include "platform/runtime_folder.h"
#include "platform/hid/sim_wire.h"

namespace vyre::hid {
namespace {

// Sets an environment variable for one scope.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~EnvVar() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(HidSelect, OptionBeatsEnvironmentBeatsDefault) {
    std::string error;
    {
        EnvVar env("VYRE_LUMO_HID", nullptr);
        auto c = ChooseBackend(0, nullptr, &error);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->kind, BackendChoice::Kind::Hidapi);
    }
    EnvVar env("VYRE_LUMO_HID", "sim:/run/x.sock");
    auto c = ChooseBackend(0, nullptr, &error);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->kind, BackendChoice::Kind::Sim);
    EXPECT_EQ(c->socketPath, "/run/x.sock");

    const char* two[] = {"prog", "--hid", "hidapi"};
    c = ChooseBackend(3, two, &error);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->kind, BackendChoice::Kind::Hidapi);
    const char* joined[] = {"prog", "--other", "--hid=sim"};
    c = ChooseBackend(3, joined, &error);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->kind, BackendChoice::Kind::Sim);
    EXPECT_TRUE(c->socketPath.empty());

    const char* missing[] = {"prog", "--hid"};
    EXPECT_FALSE(ChooseBackend(2, missing, &error));
    const char* bad[] = {"prog", "--hid", "usb"};
    error.clear();
    EXPECT_FALSE(SelectBackend(3, bad, &error));
    EXPECT_NE(error.find("usb"), std::string::npos);
}

TEST(HidSelect, DefaultSocketLivesInTheRuntimeFolder) {
    EnvVar own("VYRE_LUMO_RUNTIME_DIR", nullptr);
    {
        EnvVar mine("VYRE_LUMO_RUNTIME_DIR", "/tmp/own-runtime");
        EXPECT_EQ(DefaultSimSocketPath(), "/tmp/own-runtime/vyre-lumo-sim.sock");
    }
    {
        EnvVar env("XDG_RUNTIME_DIR", "/run/user/4242");
        EXPECT_EQ(DefaultSimSocketPath(), "/run/user/4242/vyre-lumo/vyre-lumo-sim.sock");
    }
    // Without one, the programs' own fallback, which no other user can take.
    EnvVar env("XDG_RUNTIME_DIR", nullptr);
    EXPECT_EQ(DefaultSimSocketPath(), (paths::RuntimeFolder() / "vyre-lumo-sim.sock").string());
}

TEST(HidDeviceIds, DefaultsAndEnvironmentOverrides) {
    EXPECT_EQ(ParseUsbId("0x1A2b"), 0x1A2B);
    EXPECT_EQ(ParseUsbId("4660"), 4660);
    EXPECT_FALSE(ParseUsbId("0"));
    EXPECT_FALSE(ParseUsbId("0x10000"));
    EXPECT_FALSE(ParseUsbId("12ab"));
    EXPECT_FALSE(ParseUsbId("0x"));
    EXPECT_FALSE(ParseUsbId(""));
    {
        EnvVar a("VYRE_LUMO_VID", nullptr), b("VYRE_LUMO_PID_A", nullptr),
            c("VYRE_LUMO_PID_B", nullptr);
        const KeyboardIds ids = ConfiguredKeyboardIds();
        EXPECT_EQ(ids.vendorId, kDefaultVendorId);
        EXPECT_EQ(ids.productIdA, kDefaultProductIdA);
        EXPECT_EQ(ids.productIdB, kDefaultProductIdB);
    }
    EnvVar a("VYRE_LUMO_VID", "0x04d9"), b("VYRE_LUMO_PID_A", "garbage"),
        c("VYRE_LUMO_PID_B", "0x0201");
    const KeyboardIds ids = ConfiguredKeyboardIds();
    EXPECT_EQ(ids.vendorId, 0x04D9);
    EXPECT_EQ(ids.productIdA, kDefaultProductIdA);  // a bad value keeps the default
    EXPECT_EQ(ids.productIdB, 0x0201);
}

TEST(HidWire, FieldsRoundTripAndShortInputFailsEveryLaterRead) {
    wire::Writer w;
    w.U8(7);
    w.U16(0xBEEF);
    w.U32(0x01020304);
    w.U64(0x1122334455667788ull);
    DeviceInfo info{0x1209, 0x0002, 0x0B, 0, "sim:kbd:col01"};
    w.Info(info);
    const auto& bytes = w.bytes();
    EXPECT_EQ(bytes[1], 0xEF);  // little-endian
    EXPECT_EQ(bytes[2], 0xBE);
    wire::Reader r(bytes);
    std::uint8_t a;
    std::uint16_t b;
    std::uint32_t c;
    std::uint64_t d;
    DeviceInfo back;
    ASSERT_TRUE(r.U8(a) && r.U16(b) && r.U32(c) && r.U64(d) && r.Info(back));
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 0xBEEF);
    EXPECT_EQ(c, 0x01020304u);
    EXPECT_EQ(d, 0x1122334455667788ull);
    EXPECT_EQ(back, info);
    EXPECT_TRUE(r.Rest().empty());

    // A string whose length runs past the end.
    const std::vector<std::uint8_t> truncated{0x10, 0x00, 'a', 'b'};
    wire::Reader t(truncated);
    std::string s;
    EXPECT_FALSE(t.Str(s));
    EXPECT_FALSE(t.U8(a));
    EXPECT_FALSE(t.ok());
}

TEST(HidWire, NobodyListeningFailsAtOnce) {
    std::vector<std::uint8_t> reply;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wire::Connect("/nonexistent/vyre.sock"), -1);
    EXPECT_FALSE(wire::Call("/nonexistent/vyre.sock", {1}, reply, 5000));
    auto backend = MakeSimClientBackend("/nonexistent/vyre.sock");
    EXPECT_TRUE(backend->Enumerate().empty());
    EXPECT_FALSE(backend->Open("sim:kbd:col01", OpenMode::Feature));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

// The keyboard's two vendor collections, with and without a Usage before each
// Collection; a boot keyboard in front with a nested collection.
TEST(HidReportDescriptor, TopLevelCollectionsAsWindowsFindsThem) {
    using C = TopLevelCollection;
    const std::vector<std::uint8_t> withUsages = {
        0x05, 0x0B, 0x09, 0x00, 0xA1, 0x01,                    // page 0x0B, usage 0, application
        0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,  // report 4, 0..255, 8 bits
        0x95, 0x02, 0x09, 0x00, 0xB1, 0x02, 0xC0,              // 2 bytes, feature; end
        0x05, 0x0A, 0x09, 0x00, 0xA1, 0x01,                    // page 0x0A, usage 0
        0x85, 0x03, 0x95, 0x07, 0x09, 0x00, 0x81, 0x02, 0xC0};  // report 3, 7 bytes, input
    EXPECT_EQ(TopLevelCollections(withUsages), (std::vector<C>{{0x0B, 0}, {0x0A, 0}}));

    // No Usage item at all: what hidapi 0.13 lists without a usage page.
    const std::vector<std::uint8_t> bare = {
        0x05, 0x0B, 0xA1, 0x01, 0x85, 0x04, 0x75, 0x08, 0x95, 0x02, 0xB1, 0x02, 0xC0,
        0x05, 0x0A, 0xA1, 0x01, 0x85, 0x03, 0x75, 0x08, 0x95, 0x07, 0x81, 0x02, 0xC0};
    EXPECT_EQ(TopLevelCollections(bare), (std::vector<C>{{0x0B, 0}, {0x0A, 0}}));

    const std::vector<std::uint8_t> nested = {
        0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,              // generic desktop, keyboard
        0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x75, 0x01,  // modifier keys
        0x95, 0x08, 0x81, 0x02,
        0x05, 0x08, 0x09, 0x4B, 0xA1, 0x02,              // LEDs in a nested collection
        0x75, 0x01, 0x95, 0x05, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0xC0, 0xC0,
        0xA4, 0x05, 0x0B, 0xA1, 0x01, 0xC0, 0xB4,        // pushed page 0x0B, no usage
        0x0B, 0x00, 0x00, 0x0A, 0x00, 0xA1, 0x01, 0xC0,  // four-byte usage: page 0x0A
        0xA1, 0x01, 0xC0,                                // the page popped back: 0x08
        0x05, 0x0C, 0xA1};                               // cut short
    EXPECT_EQ(TopLevelCollections(nested),
              (std::vector<C>{{0x01, 0x06}, {0x0B, 0}, {0x0A, 0}, {0x08, 0}}));
}

TEST(HidHidapi, EnumeratesAndSubscribesWithoutDevicesOrUdev) {
    std::string error;
    auto backend = MakeHidapiBackend(&error);
    ASSERT_TRUE(backend) << error;
    for (const auto& info : backend->Enumerate()) EXPECT_FALSE(info.path.empty());
    struct Nothing : DeviceListener {
        void OnDeviceChange(const DeviceChange&) override {}
    } listener;
    auto subscription = backend->Subscribe(listener);
    EXPECT_TRUE(subscription);
    subscription.reset();  // returns: the monitor thread ends
    EXPECT_FALSE(backend->Open("/nonexistent/hidraw99", OpenMode::Feature));
}

}  // namespace
}  // namespace vyre::hid
