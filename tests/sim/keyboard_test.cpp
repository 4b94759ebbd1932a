#include "sim/keyboard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <vector>

#include "common/checksum.h"
#include "common/device_ids.h"
#include "sim/backend.h"
#include "sim/report_rules.h"

namespace vyre::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Seal(Bytes& r) {
    const std::uint16_t sum = Checksum16(r.data(), r.size() - 2);
    r[r.size() - 2] = static_cast<std::uint8_t>(sum & 0xFF);
    r[r.size() - 1] = static_cast<std::uint8_t>(sum >> 8);
}

bool TailChecksumOk(const Bytes& r) {
    const std::uint16_t sum = Checksum16(r.data(), r.size() - 2);
    return r[r.size() - 2] == (sum & 0xFF) && r[r.size() - 1] == (sum >> 8);
}

// A host side as the keyboard link uses it: the feature interface, writes
// followed by a status poll, requests before reads.
struct Host {
    std::shared_ptr<Keyboard> keyboard;
    EmulatorBackend backend;
    std::unique_ptr<hid::Device> feature;

    explicit Host(KeyboardConfig config = {})
        : keyboard(std::make_shared<Keyboard>(config)), backend(keyboard) {
        OpenFeature();
    }
    void OpenFeature() {
        feature.reset();
        for (const auto& info : backend.Enumerate()) {
            if (info.usagePage == kFeatureUsagePage) {
                feature = backend.Open(info.path, hid::OpenMode::Feature);
            }
        }
    }
    // Writes and polls report 4 until not busy (at most `limit` polls).
    // Returns the last status, 2 when not written, -1 when a poll failed.
    int Write(const Bytes& r, int* polls = nullptr, int limit = 100) {
        if (!feature->SetFeature(r.data(), r.size())) return 2;
        std::uint8_t status[3];
        int n = 0;
        do {
            status[0] = 0x04;
            if (feature->GetFeature(status, 3) != 3) return -1;
            ++n;
        } while (status[1] == kStatusBusy && n < limit);
        if (polls) *polls = n;
        return status[1];
    }
    std::optional<Bytes> Read(std::uint8_t id, int profile, std::uint8_t code) {
        if (Write({0x04, static_cast<std::uint8_t>(profile), code}) != kStatusDone) return {};
        Bytes buf(FeatureLength(id), 0);
        buf[0] = id;
        if (feature->GetFeature(buf.data(), buf.size()) != static_cast<int>(buf.size())) return {};
        return buf;
    }
};

TEST(SimKeyboard, FactoryImagesCarryHeadersAndValidChecksums) {
    Host host(KeyboardConfig{.model = Model::B});
    const std::pair<std::uint8_t, std::uint8_t> requests[] = {
        {0x06, 0xA0}, {0x07, 0xA1}, {0x09, 0xA3}, {0x0B, 0xA5},
        {0x0C, 0xB0}, {0x0D, 0xB1}, {0x0A, 0xB2}, {0x17, 0xC9}, {0x17, 0xD3}};
    for (int p = 0; p < 5; ++p) {
        for (auto [id, code] : requests) {
            auto r = host.Read(id, p, code);
            ASSERT_TRUE(r) << "report " << int(id);
            EXPECT_EQ((*r)[0], id);
            EXPECT_EQ((*r)[ProfileOffset(id)], p);
            EXPECT_TRUE(TailChecksumOk(*r)) << "report " << int(id) << " profile " << p;
        }
    }
    auto flex = host.Read(0x0B, 0, 0xA5);
    EXPECT_EQ((*flex)[1], 0x26);
    EXPECT_EQ((*flex)[2], 0x01);
    auto options = host.Read(0x0C, 2, 0xB0);
    EXPECT_EQ(*options, (Bytes{0x0C, 0x06, 0x02, 0x3F, 0x53, 0x00}));
    auto thumbs = host.Read(0x09, 0, 0xA3);
    EXPECT_EQ((*thumbs)[3], 177);
    EXPECT_EQ((*thumbs)[12], 57);
    auto light = host.Read(0x0D, 0, 0xB1);
    EXPECT_EQ((*light)[3], 3);
    EXPECT_EQ((*light)[4], 1);
    EXPECT_EQ((*light)[5], 0x0F);
    // An empty macro: used length 82, checksum right after the event count.
    auto macro = host.Read(0x0E, 4, 111);
    ASSERT_TRUE(macro);
    EXPECT_EQ((*macro)[1], 82);
    EXPECT_EQ((*macro)[3], 4);
    EXPECT_EQ((*macro)[4], 111);
    EXPECT_EQ(((*macro)[80] | ((*macro)[81] << 8)), Checksum16(macro->data(), 80));
    // Report 0x14 is read without a request.
    Bytes global(20, 0);
    global[0] = 0x14;
    ASSERT_EQ(host.feature->GetFeature(global.data(), 20), 20);
    EXPECT_TRUE(TailChecksumOk(global));
}

TEST(SimKeyboard, WrittenReportsAreReadBackAndKeptPerProfileAndSlot) {
    Host host(KeyboardConfig{.model = Model::B, .busyPolls = 0});
    Bytes remap = *host.Read(0x06, 3, 0xA0);
    remap[10] = 0x2C;
    Seal(remap);
    EXPECT_EQ(host.Write(remap), kStatusDone);
    EXPECT_EQ(*host.Read(0x06, 3, 0xA0), remap);
    EXPECT_NE(*host.Read(0x06, 2, 0xA0), remap);  // other profiles unchanged

    // A macro with two events, checksum placed after the last one.
    Bytes macro(2002, 0);
    macro[0] = 0x0E;
    macro[1] = 82 + 8;
    macro[3] = 1;
    macro[4] = 17;
    macro[78] = 2;
    macro[80] = 0x04; macro[81] = 1; macro[82] = 50;
    macro[84] = 0x04; macro[85] = 2;
    const std::uint16_t sum = Checksum16(macro.data(), 2000);
    macro[88] = sum & 0xFF;
    macro[89] = sum >> 8;
    EXPECT_EQ(host.Write(macro), kStatusDone);
    EXPECT_EQ(*host.Read(0x0E, 1, 17), macro);
    EXPECT_NE(*host.Read(0x0E, 1, 16), macro);

    // An illumination record goes to the mode and layer its bytes 3 and 4 name.
    Bytes ill = *host.Read(0x17, 0, 0xD4);
    EXPECT_EQ(ill[3], 1);
    EXPECT_EQ(ill[4], 4);
    ill[5] = 2;
    Seal(ill);
    EXPECT_EQ(host.Write(ill), kStatusDone);
    EXPECT_EQ(*host.Read(0x17, 0, 0xD4), ill);
    EXPECT_NE((*host.Read(0x17, 0, 0xC0))[5], 2);

    EXPECT_EQ(host.Write({0x05, 0x03, 0x04}), kStatusDone);
    Bytes active{0x05, 0, 0};
    ASSERT_EQ(host.feature->GetFeature(active.data(), 3), 3);
    EXPECT_EQ(active, (Bytes{0x05, 0x03, 0x04}));
}

TEST(SimKeyboard, BadChecksumsAndMalformedReportsAreRefusedAndCounted) {
    Host host;
    Bytes options = *host.Read(0x0C, 0, 0xB0);
    Bytes bad = options;
    bad[3] = 0x01;  // checksum no longer matches
    EXPECT_EQ(host.Write(bad), kStatusRefused);
    EXPECT_EQ(host.keyboard->counters().refusedChecksum, 1u);
    EXPECT_EQ(*host.Read(0x0C, 0, 0xB0), options);

    Bytes macro = *host.Read(0x0E, 0, 0);
    macro[40] = 'x';  // a name byte changed, checksum kept
    EXPECT_EQ(host.Write(macro), kStatusRefused);
    EXPECT_EQ(host.keyboard->counters().refusedChecksum, 2u);

    Bytes wrongProfile = options;
    wrongProfile[2] = 5;
    Seal(wrongProfile);
    EXPECT_EQ(host.Write(wrongProfile), kStatusRefused);
    EXPECT_EQ(host.Write({0x04, 0x00, 0x99}), kStatusRefused);  // no such request
    EXPECT_EQ(host.Write({0x05, 0x03, 0x05}), kStatusRefused);  // no profile 5
    EXPECT_EQ(host.keyboard->counters().refusedMalformed, 3u);

    // Wrong length or unknown id: not taken at all.
    EXPECT_FALSE(host.feature->SetFeature(options.data(), 5));
    const std::uint8_t unknown[3] = {0x42, 0, 0};
    EXPECT_FALSE(host.feature->SetFeature(unknown, 3));
    // Model A has no illumination records or effect sequences.
    EXPECT_EQ(host.Write({0x04, 0x00, 0xE0}), kStatusRefused);
}

TEST(SimKeyboard, ReadsAnswerOnlyTheRequestedImage) {
    Host host;
    ASSERT_TRUE(host.Read(0x06, 0, 0xA0));
    Bytes other(95, 0);
    other[0] = 0x07;
    EXPECT_EQ(host.feature->GetFeature(other.data(), other.size()), -1);
    EXPECT_EQ(other[1], 0);  // left as prepared
    EXPECT_EQ(host.keyboard->counters().rejectedReads, 1u);
}

TEST(SimKeyboard, BusyForTheConfiguredPollsAfterEachWrite) {
    Host host(KeyboardConfig{.busyPolls = 4});
    int polls = 0;
    EXPECT_EQ(host.Write({0x05, 0x03, 0x01}, &polls), kStatusDone);
    EXPECT_EQ(polls, 5);
    EXPECT_EQ(host.Write({0x04, 0x01, 0xA0}, &polls), kStatusDone);
    EXPECT_EQ(polls, 5);
    host.keyboard->SetBusyPolls(0);
    EXPECT_EQ(host.Write({0x05, 0x03, 0x02}, &polls), kStatusDone);
    EXPECT_EQ(polls, 1);

    host.keyboard->SetStayBusy(true);
    EXPECT_EQ(host.Write({0x05, 0x03, 0x00}, &polls, 50), kStatusBusy);
    EXPECT_EQ(polls, 50);
    host.keyboard->SetStayBusy(false);
    EXPECT_EQ(host.Write({0x05, 0x03, 0x00}, &polls), kStatusDone);
    EXPECT_EQ(host.keyboard->counters().busyAnswers, 8u + 50u);
}

struct EventReader {
    std::unique_ptr<hid::Device> device;
    explicit EventReader(hid::Backend& backend) {
        for (const auto& info : backend.Enumerate()) {
            if (info.usagePage == kEventUsagePage) device = backend.Open(info.path, hid::OpenMode::Read);
        }
    }
    std::optional<Bytes> Next(int timeoutMs = 5000) {
        Bytes buf(64, 0);
        const int n = device->Read(buf.data(), buf.size(), timeoutMs);
        if (n <= 0) return {};
        buf.resize(n);
        return buf;
    }
};

TEST(SimKeyboard, ResetRestoresFactoryImagesAndEndsWithTheEndOfResetEvent) {
    Host host(KeyboardConfig{.busyPolls = 2});
    EventReader events(host.backend);
    ASSERT_TRUE(events.device);
    Bytes remap = *host.Read(0x06, 0, 0xA0);
    const Bytes factory = remap;
    remap[5] = 0;
    Seal(remap);
    ASSERT_EQ(host.Write(remap), kStatusDone);
    ASSERT_EQ(host.Write({0x05, 0x03, 0x03}), kStatusDone);

    ASSERT_TRUE(host.feature->SetFeature(Bytes{0x11, 0x03, 0x04}.data(), 3));
    // While the reset is busy no event has come yet.
    EXPECT_FALSE(events.Next(0));
    std::uint8_t status[3] = {0x04};
    do {
        status[0] = 0x04;
        ASSERT_EQ(host.feature->GetFeature(status, 3), 3);
    } while (status[1] == kStatusBusy);
    auto evt = events.Next();
    ASSERT_TRUE(evt);
    EXPECT_EQ(*evt, (Bytes{0x03, 0x00, 0x08, 0x01, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_FALSE(events.Next(0));  // once
    EXPECT_EQ(*host.Read(0x06, 0, 0xA0), factory);
    EXPECT_EQ(host.keyboard->activeProfile(), 0);
    EXPECT_EQ(host.keyboard->counters().resets, 1u);
    // Anything but {0x11, 0x03, 0x04} resets nothing.
    EXPECT_EQ(host.Write({0x11, 0x03, 0x05}), kStatusRefused);
    EXPECT_EQ(host.keyboard->counters().resets, 1u);
}

TEST(SimKeyboard, InformationReportAndVersionZeroForAWhile) {
    auto info = [](Host& host) {
        Bytes r(8, 0);
        r[0] = 0x0F;
        EXPECT_EQ(host.feature->GetFeature(r.data(), 8), 8);
        return r;
    };
    Host a;
    EXPECT_EQ(info(a), (Bytes{0x0F, 0x08, 104, 0, 141, 0, 0, 0}));
    Host b(KeyboardConfig{.model = Model::B, .firmware = 110, .firmware2 = 150, .layout = 12});
    EXPECT_EQ(info(b), (Bytes{0x0F, 0x08, 110, 0, 150, 0, 12, 0}));
    Host dflt(KeyboardConfig{.model = Model::B});
    EXPECT_EQ(info(dflt)[2], 109);

    a.keyboard->SetVersionZeroReads(2);
    EXPECT_EQ(info(a)[2], 0);
    EXPECT_EQ(info(a)[2], 0);
    EXPECT_EQ(info(a)[2], 104);
    a.keyboard->SetVersionZeroReads(-1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(info(a)[2], 0);
    a.keyboard->SetVersionZeroReads(0);
    EXPECT_EQ(info(a)[2], 104);
}

TEST(SimKeyboard, FailModesFailWritesAndReadsUntilCleared) {
    Host host;
    host.keyboard->SetFailWrites(true);
    EXPECT_EQ(host.Write({0x05, 0x03, 0x01}), 2);
    EXPECT_EQ(host.keyboard->activeProfile(), 0);
    host.keyboard->SetFailWrites(false);
    host.keyboard->SetFailReads(true);
    std::uint8_t status[3] = {0x04, 0, 0};
    EXPECT_EQ(host.feature->GetFeature(status, 3), -1);
    EXPECT_EQ(status[1], 0);
    host.keyboard->SetFailReads(false);
    EXPECT_EQ(host.Write({0x05, 0x03, 0x01}), kStatusDone);
    EXPECT_EQ(host.keyboard->activeProfile(), 1);
}

TEST(SimKeyboard, EventsReachEveryReaderAndTheFirmwareKeepsItsProfile) {
    Host host(KeyboardConfig{.inputReportLength = 5});
    EventReader one(host.backend), two(host.backend);
    EXPECT_TRUE(host.keyboard->SendEvent(0, 0x01, 0x03, 0x00));
    EXPECT_EQ(*one.Next(), (Bytes{0x03, 0x00, 0x01, 0x03, 0x00}));
    EXPECT_EQ(*two.Next(), (Bytes{0x03, 0x00, 0x01, 0x03, 0x00}));
    EXPECT_EQ(host.keyboard->activeProfile(), 3);
    // A light level change is kept in the active profile's light settings.
    EXPECT_TRUE(host.keyboard->SendEvent(0, 0x0C, 0x01, 0x00));
    auto light = host.Read(0x0D, 3, 0xB1);
    EXPECT_EQ((*light)[3], 1);
    EXPECT_TRUE(TailChecksumOk(*light));
    EXPECT_EQ((*one.Next())[2], 0x0C);
    EXPECT_TRUE(host.keyboard->SendEvent(7, 0xFA, 0x10, 0x00));
    EXPECT_EQ((*one.Next())[1], 7);
    // Reads of the feature interface or of a handle opened for features get nothing.
    std::uint8_t buf[8];
    EXPECT_EQ(host.feature->Read(buf, 8, 0), hid::kReadError);
}

TEST(SimKeyboard, InterfacesInTheChosenOrderAndOfTheConfiguredIds) {
    KeyboardConfig config{.model = Model::B,
                          .order = {InterfaceKind::Other, InterfaceKind::Event,
                                    InterfaceKind::Feature},
                          .name = "left"};
    Keyboard kb(config);
    const auto list = kb.Interfaces();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].usagePage, 0x01);
    EXPECT_EQ(list[0].usage, 0x06);
    EXPECT_EQ(list[1].usagePage, kEventUsagePage);
    EXPECT_EQ(list[1].usage, 0);
    EXPECT_EQ(list[2].usagePage, kFeatureUsagePage);
    for (const auto& info : list) {
        EXPECT_EQ(info.vendorId, kDefaultVendorId);
        EXPECT_EQ(info.productId, kDefaultProductIdB);
        EXPECT_NE(info.path.find("left"), std::string::npos);
    }
    EXPECT_NE(list[0].path, list[1].path);

    // A keyboard of another vendor, beside ours in one backend.
    EmulatorBackend backend(std::make_shared<Keyboard>(KeyboardConfig{}));
    backend.Add(std::make_shared<Keyboard>(
        KeyboardConfig{.vendorId = 0x046D, .productId = 0xC31C, .name = "foreign"}));
    const auto all = backend.Enumerate();
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0].productId, kDefaultProductIdA);
    EXPECT_EQ(all[3].vendorId, 0x046D);
    EXPECT_EQ(all[3].productId, 0xC31C);
    EXPECT_TRUE(backend.Open(all[3].path, hid::OpenMode::Feature));
    EXPECT_FALSE(backend.Open("sim:nobody:col01", hid::OpenMode::Feature));
}

}  // namespace
}  // namespace vyre::sim

namespace vyre::sim {
namespace {

TEST(SimKeyboard, LiveLightingHostPresenceAndSharedStateAreKept) {
    Host host(KeyboardConfig{.model = Model::B, .busyPolls = 0});
    EXPECT_FALSE(host.keyboard->liveLighting());
    EXPECT_EQ(host.Write({0x13, 0x08, 0x01, 0, 0, 0, 0, 0}), kStatusDone);
    EXPECT_TRUE(host.keyboard->liveLighting());
    Bytes bitmap(20, 0);
    bitmap[0] = 0x18;
    bitmap[1] = 0x14;
    bitmap[2] = 2;
    bitmap[3 + 13 / 8] = 1 << (13 % 8);
    Seal(bitmap);
    EXPECT_EQ(host.Write(bitmap), kStatusDone);
    EXPECT_EQ(*host.keyboard->Report(0x18, 2, 0), bitmap);
    EXPECT_NE(*host.keyboard->Report(0x18, 1, 0), bitmap);
    EXPECT_EQ(host.Write({0x15, 0x03, 0x01}), kStatusDone);
    EXPECT_EQ(host.keyboard->hostPresence(), 1);
    Bytes shared(16, 0);
    shared[0] = 0x16;
    shared[1] = 0x10;
    shared[2] = 0x01;
    shared[9] = 0x77;
    EXPECT_EQ(host.Write(shared), kStatusDone);
    EXPECT_EQ(*host.keyboard->Report(0x16, 0, 0), shared);
    // A power cycle forgets live lighting and the host's presence, not the rest.
    host.keyboard->Unplug();
    host.keyboard->Plug();
    EXPECT_FALSE(host.keyboard->liveLighting());
    EXPECT_EQ(host.keyboard->hostPresence(), 0);
    EXPECT_EQ(*host.keyboard->Report(0x18, 2, 0), bitmap);
    // Model A has no illumination records: a well-formed one is refused.
    Host a(KeyboardConfig{.model = Model::A, .busyPolls = 0});
    Bytes ill = FactoryImage(0x17, 0, 11, 0);
    EXPECT_EQ(a.Write(ill), kStatusRefused);
    EXPECT_EQ(a.keyboard->counters().refusedMalformed, 1u);
}

}  // namespace
}  // namespace vyre::sim
