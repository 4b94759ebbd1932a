// vyre-lumo-monitor as its own process, against vyre-lumo-sim, driven and
// read with vyre-lumo-ctl as a script would.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "common/link_codes.h"
#include "common/profile_store.h"
#include "platform/window.h"
#include "tests/platform/temp_dir.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/monitor/shell/monitor_rig.h"
#include "tests/support/programs.h"

namespace vyre {
namespace {

using testing::Program;

TEST(MonitorProgram, AnswersTheDumpInOrderAndRunsOnlyOnce) {
    MonitorRig rig;
    auto monitor = rig.StartMonitor();
    const auto dump = rig.DumpWhenReady();
    ASSERT_EQ(dump.exit, 0) << ReadText(rig.folder / "monitor.log");
    std::ostringstream expected;
    for (std::uint16_t code : link::kRegistrationDumpOrder) {
        const std::size_t size = link::BlockSize(code);
        expected << code << " " << size << "\n";  // the lists are empty: size 0
    }
    expected << "notice 43\n";
    EXPECT_EQ(dump.out, expected.str());

    // A second Monitor ends at once and quietly.
    EXPECT_EQ(testing::Run({Program("vyre-lumo-monitor"), "--hid", "sim:" + rig.sim.socket(), "--home",
                   (rig.folder / "home").string()})
                  .exit,
              0);
    EXPECT_TRUE(monitor->Running());
    EXPECT_NE(ReadText(rig.folder / "record").find("keyboard-repeat"), std::string::npos);

    // Without a keyboard the Monitor answers 15.
    ASSERT_EQ(rig.sim.Control({"unplug"}).exit, 0);
    testing::RunResult noKeyboard;
    for (int i = 0; i < 100 && noKeyboard.out != "15\n"; ++i) {
        noKeyboard = rig.Ctl({"dump"});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(noKeyboard.out, "15\n");
    EXPECT_EQ(monitor->Stop(), 0);
}

TEST(MonitorProgram, ARestartFindsEverySettingItWasGiven) {
    MonitorRig rig;
    const auto dir = rig.folder / "dump";
    {
        auto monitor = rig.StartMonitor();
        ASSERT_EQ(rig.DumpWhenReady({"--dir", dir.string()}).exit, 0);
        auto host = ReadFile(dir / "12.bin");
        ASSERT_EQ(host.size(), sizeof(HostSettingsBlock));
        HostSettingsBlock block;
        std::memcpy(static_cast<void*>(&block), host.data(), sizeof block);
        block.profileHostRecords[3].name.set(u"Night raid");
        block.programLinks[3][0].set(u"/usr/games/raid");
        std::memcpy(host.data(), &block, sizeof block);
        std::ofstream(dir / "12.bin", std::ios::binary).write(reinterpret_cast<const char*>(host.data()),
                                                              static_cast<std::streamsize>(host.size()));
        ASSERT_EQ(rig.Ctl({"upload", dir.string()}).exit, 0);
        // A timer added through a single command.
        HIDMSG::_STimerSettingData timer;
        std::memset(static_cast<void*>(&timer), 0, sizeof timer);
        timer.name.set("Tea");
        timer.seconds = 120;
        std::ofstream(rig.folder / "timer.bin", std::ios::binary).write(reinterpret_cast<const char*>(&timer), sizeof timer);
        ASSERT_EQ(rig.Ctl({"send", "19", (rig.folder / "timer.bin").string()}).exit, 0);
        ASSERT_EQ(rig.DumpWhenReady().exit, 0);  // the commands before it have been handled
        EXPECT_EQ(monitor->Stop(), 0);
    }
    auto monitor = rig.StartMonitor();
    const auto again = rig.folder / "again";
    const auto dump = rig.DumpWhenReady({"--dir", again.string()});
    ASSERT_EQ(dump.exit, 0);
    EXPECT_NE(dump.out.find("\n21 37\n"), std::string::npos) << dump.out;
    const auto host = ReadFile(again / "12.bin");
    ASSERT_EQ(host.size(), sizeof(HostSettingsBlock));
    HostSettingsBlock block;
    std::memcpy(static_cast<void*>(&block), host.data(), sizeof block);
    EXPECT_EQ(block.profileHostRecords[3].name.str(), u"Night raid");
    EXPECT_EQ(block.programLinks[3][0].str(), u"/usr/games/raid");
}

TEST(MonitorProgram, StopTellsTheConfigAndLeavesTheKeyboard) {
    MonitorRig rig;
    auto monitor = rig.StartMonitor();
    ASSERT_EQ(rig.DumpWhenReady().exit, 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t watch = testing::Spawn({Program("vyre-lumo-ctl"), "watch", "--seconds", "10"}, fds[1]);
    ::close(fds[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the watcher's window exists
    EXPECT_EQ(monitor->Stop(), 0);
    std::string out;
    char buf[256];
    for (ssize_t n; out.find("notice 37") == std::string::npos && (n = ::read(fds[0], buf, sizeof buf)) > 0;) {
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    ::kill(watch, SIGTERM);
    testing::WaitExit(watch);
    EXPECT_NE(out.find("notice 37 0"), std::string::npos) << out;
    EXPECT_EQ(rig.sim.Control({"report", "0x15"}).out.substr(0, 8), "15 03 00");
}

TEST(MonitorProgram, KeyboardEventsActOnTheComputerAsRecorded) {
    MonitorRig rig;
    auto monitor = rig.StartMonitor();
    ASSERT_EQ(rig.DumpWhenReady().exit, 0);
    ASSERT_EQ(rig.sim.Control({"event", "0", "1", "2", "0"}).exit, 0);     // profile 3, with sound
    ASSERT_EQ(rig.sim.Control({"event", "0", "0x0b", "33", "0"}).exit, 0);  // next track
    ASSERT_EQ(rig.sim.Control({"event", "0", "0x10", "0", "0"}).exit, 0);   // open the Config
    ASSERT_EQ(rig.sim.Control({"event", "0", "0x0d", "5", "0"}).exit, 0);   // a timer key
    const auto record = rig.folder / "record";
    auto recorded = [&](const std::string& text) {
        return testing::Eventually([&] { return ReadText(record).find(text) != std::string::npos; });
    };
    EXPECT_TRUE(recorded(" sound-request 3 131328\n")) << ReadText(record);  // 0x00020100
    // Profile sounds are off after a first start; the timer sound is not switched.
    EXPECT_TRUE(recorded(" play timer_activated.wav volume 600\n"));
    EXPECT_EQ(ReadText(record).find("play profile_three"), std::string::npos);
    EXPECT_TRUE(recorded(" key next-track down\n"));
    EXPECT_TRUE(recorded(" key next-track up\n"));
    EXPECT_TRUE(recorded("vyre-lumo-config\n"));
    const auto dump = rig.Ctl({"dump", "--dir", (rig.folder / "d").string()});
    ASSERT_EQ(dump.exit, 0);
    EXPECT_EQ(ReadFile(rig.folder / "d" / "3.bin"), (std::vector<std::uint8_t>{5, 3, 2}));
}

// Another program of the same user posts every message number, and every small
// code of the numbers the Monitor handles, with random parameters to the
// control window and the keyboard window. Nothing it posts may end the Monitor
// but the two orders to exit; afterwards the Monitor still answers a dump.
TEST(MonitorProgram, NoMessageFromAnotherProgramBringsItDown) {
    MonitorRig rig;
    auto monitor = rig.StartMonitor();
    ASSERT_EQ(rig.DumpWhenReady().exit, 0);
    const std::string controlClass(link::kControlWindowClass), controlTitle(link::kControlWindowTitle);
    const std::string keyboardName(link::kKeyboardWindowName);
    const win::HWND control = win::FindWindow(controlClass.c_str(), controlTitle.c_str());
    const win::HWND keyboard = win::FindWindow(keyboardName.c_str(), nullptr);
    ASSERT_NE(control, 0u);
    ASSERT_NE(keyboard, 0u);
    const win::UINT talk = win::RegisterWindowMessage(link::kTalkMessageName);

    std::mt19937_64 random(20261209);
    auto orderedExit = [&](win::HWND target, win::UINT message, win::WPARAM code) {
        return target == control && ((message == link::kMsgNotify && code == link::notify::kExit) ||
                                     (message == link::kMsgExternalControl && code == link::talk::kExitMonitor));
    };
    std::size_t posted = 0;
    auto post = [&](win::HWND target, win::UINT message, win::WPARAM code, win::LPARAM value) {
        if (orderedExit(target, message, code)) return;
        win::PostMessage(target, message, code, value);
        // Now and then wait until the window has caught up, so that the
        // queue stays short and every message is really handled.
        if (++posted % 512 == 0) win::SendMessageTimeout(target, win::WM_NULL, 0, 0, std::chrono::seconds(10));
    };
    const win::UINT handled[] = {link::kMsgRequest,      link::kMsgNotify,     link::kMsgCommandBlock,
                                 link::kMsgPlaySound,    link::kMsgLightRequest, link::kMsgExternalControl,
                                 talk,                   win::WM_TIMER,        win::WM_DEVICECHANGE,
                                 win::WM_DESTROY,        win::WM_QUIT};
    for (const win::HWND target : {control, keyboard}) {
        for (win::UINT message = 0; message <= 0xFFFF; ++message) {
            post(target, message, random(), static_cast<win::LPARAM>(random()));
        }
        for (const win::UINT message : handled) {
            for (win::WPARAM code = 0; code < 300; ++code) {
                post(target, message, code, static_cast<win::LPARAM>(random()));
                post(target, message, code, static_cast<win::LPARAM>(random() & 0xFFFF));
            }
        }
        for (const win::UINT message : handled) {
            for (win::WPARAM code : {1030ull, 2024ull, 0xFFFFull, 0xFFFFFFFFull, ~0ull}) {
                post(target, message, code, static_cast<win::LPARAM>(random()));
            }
        }
    }
    win::SendMessageTimeout(keyboard, win::WM_NULL, 0, 0, std::chrono::seconds(20));
    ASSERT_TRUE(monitor->Running()) << ReadText(rig.folder / "monitor.log");
    const auto dump = rig.DumpWhenReady();
    EXPECT_EQ(dump.exit, 0) << ReadText(rig.folder / "monitor.log");
    EXPECT_NE(dump.out.find("notice 43"), std::string::npos) << dump.out;
    EXPECT_TRUE(monitor->Running());
    // The refusals were logged.
    EXPECT_NE(ReadText(rig.folder / "monitor.log").find("from another program refused"), std::string::npos);
}

TEST(ControlTool, ExportAndImportAProfileFile) {
    MonitorRig rig;
    auto monitor = rig.StartMonitor();
    const auto dir = rig.folder / "dump";
    ASSERT_EQ(rig.DumpWhenReady({"--dir", dir.string()}).exit, 0);
    // Profile 3 gets a name, then goes to a file, and from there into profile 1.
    auto host = ReadFile(dir / "12.bin");
    HostSettingsBlock block;
    std::memcpy(static_cast<void*>(&block), host.data(), sizeof block);
    block.profileHostRecords[2].name.set(u"Shooter");
    std::memcpy(host.data(), &block, sizeof block);
    std::ofstream(dir / "12.bin", std::ios::binary).write(reinterpret_cast<const char*>(host.data()),
                                                          static_cast<std::streamsize>(host.size()));
    ASSERT_EQ(rig.Ctl({"send", "12", (dir / "12.bin").string()}).exit, 0);
    const auto file = (rig.folder / "shooter.kkp").string();
    ASSERT_EQ(rig.Ctl({"export", "3", file}).exit, 0);
    EXPECT_EQ(std::filesystem::file_size(file), 543236u);
    ASSERT_EQ(rig.Ctl({"import", "1", file}).exit, 0);
    const auto again = rig.folder / "again";
    ASSERT_EQ(rig.Ctl({"dump", "--dir", again.string()}).exit, 0);
    host = ReadFile(again / "12.bin");
    std::memcpy(static_cast<void*>(&block), host.data(), sizeof block);
    EXPECT_EQ(block.profileHostRecords[0].name.str(), u"Shooter");
    EXPECT_EQ(rig.Ctl({"export", "9", file}).exit, 2);
}

TEST(ControlTool, ClearErrors) {
    testing::TempDir folder;
    const auto none = testing::Run({Program("vyre-lumo-ctl"), "dump"});
    EXPECT_NE(none.exit, 0);
    EXPECT_EQ(testing::Run({Program("vyre-lumo-ctl"), "frobnicate"}).exit, 2);
    EXPECT_EQ(testing::Run({Program("vyre-lumo-ctl"), "send", "abc"}).exit, 2);
}

}  // namespace
}  // namespace vyre
