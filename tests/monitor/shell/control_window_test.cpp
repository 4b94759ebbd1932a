// The control window: commands handed to the keyboard thread, talk device
// records with their notifications to the Config, the Flexlayer requests.

#include "monitor/shell/control_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

#include "common/link_codes.h"
#include "tests/support/config_window.h"
#include "tools/link_client.h"

namespace vyre {
namespace {

TalkDeviceRecord Device(std::uint32_t key, const char16_t* name) {
    TalkDeviceRecord r;
    std::memset(static_cast<void*>(&r), 0, sizeof r);
    r.key = key;
    r.name.set(name);
    r.dpiLevels[0] = 800;
    return r;
}

std::vector<std::uint8_t> Bytes(std::initializer_list<TalkDeviceRecord> records) {
    std::vector<std::uint8_t> out;
    for (const auto& r : records) out.insert(out.end(), BytesOf(r).begin(), BytesOf(r).end());
    return out;
}

struct Rig {
    std::unique_ptr<ProfileStore> store = NewProfileStore();
    MonitorShared shared;
    PendingCommands commands;
    CMoniterCtrl control{*store, shared, commands};
    Rig() { EXPECT_TRUE(control.Create()); }
};

TEST(ControlWindow, CommandsQueueForTheKeyboardThreadInOrder) {
    Rig rig;
    const std::vector<std::uint8_t> payload = {5, 3, 1};
    const auto dwData = link::MakeDwData(link::block::kActiveProfile, link::kTagCommand);
    // Without a keyboard thread commands are dropped.
    EXPECT_TRUE(
        win::SendCopyData(rig.control.GetSafeHwnd(), 0, dwData, payload.data(), payload.size()));
    EXPECT_EQ(rig.commands.size(), 0u);

    win::Window keyboard;
    ASSERT_TRUE(keyboard.Create("kb", "kb", win::HWND_MESSAGE));
    rig.shared.keyboard = keyboard.GetSafeHwnd();
    std::vector<std::uint32_t> taken;
    keyboard.Messages().On(link::kMsgCommandBlock, [&](win::WPARAM, win::LPARAM block) {
        auto command = rig.commands.Take(reinterpret_cast<const void*>(block));
        taken.push_back(command ? link::CodeOf(command->dwData) : 0);
        return 0;
    });
    const std::vector<std::uint8_t> big(link::kCommandPayloadMax, 0);
    EXPECT_TRUE(
        win::SendCopyData(rig.control.GetSafeHwnd(), 0, dwData, payload.data(), payload.size()));
    EXPECT_TRUE(win::SendCopyData(rig.control.GetSafeHwnd(), 0,
                                  link::MakeDwData(33, link::kTagCommand), big.data(), big.size()));
    // One byte more than the largest block is never taken.
    const std::vector<std::uint8_t> tooBig(link::kCommandPayloadMax + 1, 0);
    EXPECT_FALSE(win::SendCopyData(rig.control.GetSafeHwnd(), 0,
                                   link::MakeDwData(33, link::kTagCommand), tooBig.data(),
                                   tooBig.size()));
    win::MSG msg;
    while (win::PeekMessage(msg)) win::DispatchMessage(msg);
    EXPECT_EQ(taken, (std::vector<std::uint32_t>{3, 33}));
    EXPECT_EQ(rig.commands.size(), 0u);
}

// Resets asked for in a row: one waits for the keyboard thread, the others
// are dropped; once the thread has begun it, the next one waits again.
// Other requests are relayed however many there are.
TEST(ControlWindow, OneKeyboardResetWaitsAtATime) {
    Rig rig;
    win::Window keyboard;
    ASSERT_TRUE(keyboard.Create("kb", "kb", win::HWND_MESSAGE));
    rig.shared.keyboard = keyboard.GetSafeHwnd();
    int resets = 0, others = 0;
    keyboard.Messages().On(link::kMsgRequest, [&](win::WPARAM code, win::LPARAM) {
        if (code == link::request::kReset) {
            rig.shared.resetQueued = false;  // as the keyboard thread does when it begins one
            ++resets;
        } else {
            ++others;
        }
        return 0;
    });
    auto drain = [] {
        win::MSG msg;
        while (win::PeekMessage(msg)) win::DispatchMessage(msg);
    };
    auto post = [&](unsigned code, int times) {
        for (int i = 0; i < times; ++i)
            win::PostMessage(rig.control.GetSafeHwnd(), link::kMsgRequest, code, 0);
    };
    // The control window relays all 43 before the keyboard window sees one.
    post(link::request::kReset, 43);
    post(link::request::kReapplyProfile, 43);
    drain();
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(others, 43);
    post(link::request::kReset, 1);
    drain();
    EXPECT_EQ(resets, 2);
    EXPECT_FALSE(rig.shared.resetQueued.load());
}

// A Config can find the control window before the keyboard thread's window
// is up: its first requests wait for it (a few of them), in their order.
TEST(ControlWindow, RequestsBeforeTheKeyboardThreadIsUpWaitForIt) {
    Rig rig;
    auto drain = [] {
        win::MSG msg;
        while (win::PeekMessage(msg)) win::DispatchMessage(msg);
    };
    for (win::LPARAM l = 1; l <= 40; ++l)
        win::PostMessage(rig.control.GetSafeHwnd(), link::kMsgRequest, link::request::kRegister, l);
    drain();
    win::Window keyboard;
    ASSERT_TRUE(keyboard.Create("kb", "kb", win::HWND_MESSAGE));
    std::vector<win::LPARAM> taken;
    keyboard.Messages().On(link::kMsgRequest, [&](win::WPARAM, win::LPARAM l) {
        taken.push_back(l);
        return 0;
    });
    rig.shared.keyboard = keyboard.GetSafeHwnd();
    win::PostMessage(rig.control.GetSafeHwnd(), link::kMsgRequest, link::request::kRegister, 99);
    win::PostMessage(rig.control.GetSafeHwnd(), link::kMsgNotify, link::notify::kKeyboardWindowUp, 0);
    drain();
    std::vector<win::LPARAM> expected;
    for (win::LPARAM l = 1; l <= 16; ++l) expected.push_back(l);  // the first 16 were kept
    expected.insert(expected.begin(), 99);  // a request after the window came went on at once
    EXPECT_EQ(taken, expected);
    // Announced again (as anyone may), nothing is sent twice.
    win::PostMessage(rig.control.GetSafeHwnd(), link::kMsgNotify, link::notify::kKeyboardWindowUp, 0);
    drain();
    EXPECT_EQ(taken.size(), expected.size());
}

TEST(ControlWindow, TalkDeviceRecordsAreKeptAndReportedToTheConfig) {
    Rig rig;
    win::Window keyboard;  // records are taken only once the keyboard thread exists
    ASSERT_TRUE(keyboard.Create("kb", "kb", win::HWND_MESSAGE));
    rig.shared.keyboard = keyboard.GetSafeHwnd();
    testing::ConfigWindow config;
    auto send = [&](std::uint16_t operation, const std::vector<std::uint8_t>& bytes,
                    std::size_t expected) {
        win::SendCopyData(rig.control.GetSafeHwnd(), 0,
                          link::MakeDwData(operation, link::kTagTalkRecords), bytes.data(),
                          bytes.size());
        return config.Take(expected + 1);  // waits a second for anything beyond
    };
    auto codes = [](const std::vector<LinkEvent>& events) {
        std::vector<std::uint32_t> out;
        for (const auto& e : events) out.push_back(e.code);
        return out;
    };

    // A copy of 100 bytes holds one whole record; the rest is ignored.
    auto bytes = Bytes({Device(1, u"Mouse"), Device(2, u"Pad")});
    bytes.resize(100);
    EXPECT_EQ(codes(send(3, bytes, 1)), (std::vector<std::uint32_t>{103}));
    EXPECT_EQ(codes(send(3, Bytes({Device(1, u"Mouse 2"), Device(3, u"Headset")}), 2)),
              (std::vector<std::uint32_t>{105, 103}));
    EXPECT_EQ(codes(send(5, Bytes({Device(9, u"Wheel")}), 1)), (std::vector<std::uint32_t>{105}));
    EXPECT_EQ(rig.store->talkDevices.size(), 3u);

    // Removal sends the record as it was stored; a key that is not there sends nothing.
    const auto removed = send(4, Bytes({Device(1, u"ignored"), Device(42, u"nobody")}), 1);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].code, 104u);
    TalkDeviceRecord stored;
    std::memcpy(static_cast<void*>(&stored), removed[0].data.data(), sizeof stored);
    EXPECT_EQ(stored.name.str(), u"Mouse 2");

    // The talk message and the external control message remove by key too.
    const win::UINT talk = win::RegisterWindowMessage(link::kTalkMessageName);
    rig.shared.talkMessage = talk;
    rig.control.SendMessage(talk, link::talk::kRemoveRecord, 3);
    rig.control.SendMessage(link::kMsgExternalControl, link::talk::kRemoveRecord, 9);
    EXPECT_EQ(codes(config.Take(2)), (std::vector<std::uint32_t>{104, 104}));
    EXPECT_TRUE(rig.store->talkDevices.empty());
}

TEST(ControlWindow, FlexlayerStateAndToggleRequests) {
    Rig rig;
    std::uint8_t* b = rig.store->globalReport16;
    rig.control.FlexStateRequest(0);
    EXPECT_EQ(b[0], 0x16);
    EXPECT_EQ(b[2], 0x01);
    EXPECT_EQ(b[3], 0xFF);
    b[3] = 0x33;
    rig.control.FlexStateRequest(0);  // already on: nothing
    EXPECT_EQ(b[3], 0x33);
    rig.control.FlexStateRequest(1);
    EXPECT_EQ(b[2], 0x00);
    EXPECT_EQ(b[3], 0xFF);

    std::vector<std::uint8_t> seen;
    for (int i = 0; i < 3; ++i) {
        rig.control.FlexToggleRequest(1);
        seen.push_back(b[3]);
    }
    EXPECT_EQ(seen, (std::vector<std::uint8_t>{0x01, 0x00, 0x01}));
    EXPECT_EQ(b[2], 0xFF);
    rig.control.FlexToggleRequest(0x102);  // low byte not 1: only the header is set
    EXPECT_EQ(b[3], 0x01);
}

}  // namespace
}  // namespace vyre
