// The Config against a running Monitor and emulator: its start, the main
// dialog's traffic, profile files, and its end.

#include <gtest/gtest.h>

#include <QApplication>

#include <QTest>
#include <QThread>
#include <QTimer>
#include "tests/support/qt_app.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>

#include "common/link_codes.h"
#include "common/profile_file.h"
#include "platform/record.h"
#include "config/frame/config_app.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"

namespace vyre {
namespace {

using testing::Program;

using testing::App;

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Rig {
    explicit Rig(std::vector<std::string> simOptions = {"--model", "B"})
        : sim(folder.path(), simOptions) {
        App();
        home = std::make_unique<testing::ScopedEnv>("VYRE_LUMO_HOME", (folder / "home").string());
    }
    void StartMonitor() {
        monitor = std::make_unique<testing::Process>(
            std::vector<std::string>{Program("vyre-lumo-monitor"), "--hid", "sim:" + sim.socket(),
                                     "--home", (folder / "home").string(), "--poll-ms", "1",
                                     "--arrival-ms", "20"},
            (folder / "monitor.log").string());
        ASSERT_TRUE(testing::Eventually([&] {
            return ReadText(folder / "monitor.log").find("keyboard ready") != std::string::npos ||
                   ReadText(folder / "monitor.log").find("no keyboard") != std::string::npos;
        }));
    }
    // Runs the Config in this process; `act` runs once its dialog shows.
    int RunConfig(std::function<void(CVyreMKConfigApp&, CVyreMKConfigDlg&)> act,
                  bool* shown = nullptr) {
        CVyreMKConfigApp app;
        app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
            if (shown) *shown = true;
            QTimer::singleShot(0, [&] { act(app, dialog); });
        };
        if (!app.InitInstance()) return -1;
        return app.Run();
    }
    testing::TempDir folder;
    testing::SimProcess sim;
    std::unique_ptr<testing::ScopedEnv> home;
    std::unique_ptr<testing::Process> monitor;
};

// The action record's lines while it lives.
struct Record {
    Record() {
        platform::ActionRecord::Instance().SetSink([this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        });
    }
    ~Record() { platform::ActionRecord::Instance().SetSink(nullptr); }
    int Count(const std::string& text) {
        std::lock_guard lock(mutex);
        int n = 0;
        for (const std::string& line : lines) n += line.find(text) != std::string::npos;
        return n;
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

TEST(Config, WithoutAKeyboardItSaysSoAndEnds) {
    Rig rig({"--model", "B", "--unplugged"});
    rig.StartMonitor();
    Record record;
    bool shown = false;
    EXPECT_EQ(rig.RunConfig([](auto&, auto&) {}, &shown), 0);
    EXPECT_FALSE(shown);
    EXPECT_EQ(record.Count("message-box No keyboard: No Vyre Lumo keyboard is connected."), 1);
}

TEST(Config, AnUnpluggedKeyboardIsToldAndWhatTheKeyboardRefusedIsNamed) {
    Rig rig;
    rig.StartMonitor();
    Record record;
    rig.RunConfig([&](CVyreMKConfigApp& app, CVyreMKConfigDlg& dialog) {
        // Key assignments of profile 2 that the keyboard does not take.
        EXPECT_EQ(rig.sim.Control({"fail", "write", "on"}).exit, 0);
        app.shared().mirror->keyRemapReports[1][report::kKeyRemapUsages + 10] = 0x2C;
        dialog.Apply();
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.notWrittenTold() == 1; }, 20000));
        EXPECT_EQ(record.Count("message-box Not written: The keyboard did not take everything "
                               "that was applied: key assignments of profile 2"),
                  1);
        EXPECT_EQ(rig.sim.Control({"fail", "write", "off"}).exit, 0);
        EXPECT_EQ(rig.sim.Control({"unplug"}).exit, 0);
    });
    EXPECT_EQ(record.Count("message-box Keyboard unplugged: The keyboard was unplugged"), 1);
}

TEST(Config, OkSwitchesTheKeyboardToTheChosenProfileAndCancelDoesNot) {
    Rig rig;
    rig.StartMonitor();
    bool shown = false;
    rig.RunConfig(
        [](CVyreMKConfigApp&, CVyreMKConfigDlg& dialog) {
            EXPECT_EQ(dialog.modelFlag(), 2);
            EXPECT_TRUE(dialog.pageTabVisible(kPageIllumination));
            EXPECT_EQ(dialog.firmwareText(), "FIRMWARE 1.09");
            EXPECT_EQ(dialog.nameText(2), "Default3");
            dialog.SelectProfile(3);
            dialog.Cancel();
        },
        &shown);
    ASSERT_TRUE(shown);
    EXPECT_EQ(rig.sim.Control({"report", "5"}).out.substr(0, 8), "05 03 00");

    rig.RunConfig([](CVyreMKConfigApp&, CVyreMKConfigDlg& dialog) {
        dialog.SelectProfile(3);
        EXPECT_TRUE(dialog.slotSelected(3));
        dialog.Ok();
    });
    EXPECT_TRUE(testing::Eventually([&] {
        return rig.sim.Control({"report", "5"}).out.substr(0, 8) == "05 03 03";
    }));
}

TEST(Config, ProfileFilesDesktopMarkersAndTheMonitorGoingAway) {
    Rig rig;
    rig.StartMonitor();
    const auto file = (rig.folder / "p3.kkp").string();
    bool ended = false;
    rig.RunConfig([&](CVyreMKConfigApp& app, CVyreMKConfigDlg& dialog) {
        ProfileStore& mirror = *app.shared().mirror;
        // Saved from profile 3, loaded into profile 1.
        dialog.SelectProfile(2);
        mirror.hostRecord(2).name.set(u"Sniper");
        ASSERT_TRUE(dialog.SaveProfileTo(file));
        EXPECT_EQ(std::filesystem::file_size(file), kProfileFileSize);
        EXPECT_EQ(std::filesystem::status(file).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        dialog.SelectProfile(0);
        ASSERT_TRUE(dialog.LoadProfileFrom(file));
        EXPECT_EQ(mirror.hostRecord(0).name.str(), u"Sniper");
        EXPECT_EQ(dialog.nameText(0), "Sniper");
        // What is no profile file is refused whole: a text file, a folder.
        std::ofstream(rig.folder / "notes.kkp") << "Sniper settings\n";
        EXPECT_FALSE(dialog.LoadProfileFrom((rig.folder / "notes.kkp").string()));
        EXPECT_FALSE(dialog.LoadProfileFrom(rig.folder.path().string()));
        EXPECT_EQ(mirror.hostRecord(0).name.str(), u"Sniper");

        // Desktop markers: confirmed, let up again, refused.
        bool confirm = true;
        dialog.confirmDesktopProfile = [&](int) { return confirm; };
        dialog.ClickMarker(2);
        EXPECT_EQ(mirror.hostSettingsBlock.windowsProfile.get(), 2);
        EXPECT_TRUE(dialog.markerDown(2));
        dialog.ClickMarker(2);
        EXPECT_EQ(mirror.hostSettingsBlock.windowsProfile.get(), 5);
        EXPECT_FALSE(dialog.markerDown(2));
        dialog.ClickMarker(3);
        confirm = false;
        dialog.ClickMarker(1);
        EXPECT_EQ(mirror.hostSettingsBlock.windowsProfile.get(), 5);
        EXPECT_FALSE(dialog.markerDown(1));
        EXPECT_FALSE(dialog.markerDown(3));  // the shown state is the stored one: none
        // The Monitor goes away: the dialog closes and the Config ends.
        rig.monitor->Stop();
        ended = true;
    });
    EXPECT_TRUE(ended);  // Run returned: the Config ended after notice 37
}

TEST(Config, ResetReturnsTheKeyboardToItsDefaultsAndTheDialogWaitsForIt) {
    Rig rig;
    rig.StartMonitor();
    rig.RunConfig([&](CVyreMKConfigApp& app, CVyreMKConfigDlg& dialog) {
        CMainCtrlDlg& page = dialog.mainControlPage();
        dialog.SelectProfile(0);
        QTest::mouseClick(&page.optionBox(0), Qt::LeftButton, {}, QPoint(5, 9));  // bit 2 off
        dialog.Apply();
        ASSERT_TRUE(testing::Eventually([&] {
            return rig.sim.Control({"report", "12", "0"}).out.substr(0, 11) == "0c 06 00 3b";
        }));

        page.confirmReset = [] { return false; };
        page.Reset();
        EXPECT_EQ(app.shared().mirror->lightOptionReports[0][3], 0x3B);

        page.confirmReset = [] { return true; };
        page.Reset();
        // The dialog waits (dialog order 30, on this thread) until the
        // keyboard's report of the end lowers the busy flag, long before the
        // bound: this thread serves its messages until that wait has ended.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(25);
        while (dialog.busyWaitsEnded() == 0 && std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            win::ProcessPendingMessages();
            QThread::msleep(2);
        }
        EXPECT_EQ(dialog.busyWaitsBegun(), 1);
        EXPECT_EQ(dialog.busyWaitsEnded(), 1);
        EXPECT_EQ(app.shared().busy.load(), 0);
        EXPECT_TRUE(testing::Eventually([&] {
            return rig.sim.Control({"report", "12", "0"}).out.substr(0, 11) == "0c 06 00 3f";
        }));
        EXPECT_NE(ReadText(rig.folder / "monitor.log").find("resetting the keyboard"),
                  std::string::npos);
        dialog.Cancel();
    });
}

// ... and brings the first one's minimised window back to the front.
TEST(Config, ASecondConfigEndsWithoutAWordAndRestoresTheFirst) {
    Rig rig;
    rig.StartMonitor();
    rig.RunConfig([&](CVyreMKConfigApp&, CVyreMKConfigDlg& dialog) {
        dialog.showMinimized();
        ASSERT_TRUE(dialog.isMinimized());
        const auto second =
            testing::Run({Program("vyre-lumo-config"), "--home", (rig.folder / "home").string()});
        EXPECT_EQ(second.exit, 0);
        EXPECT_EQ(second.out, "");
        EXPECT_TRUE(testing::Eventually([&] {
            QCoreApplication::processEvents();
            return !dialog.isMinimized();
        }, std::chrono::seconds(10)));
        EXPECT_TRUE(dialog.isVisible());
        dialog.Cancel();
    });
}

}  // namespace
}  // namespace vyre

namespace vyre {
namespace {

// The byte at `index` of the emulator's report, from its hex dump.
std::string ReportByte(const testing::SimProcess& sim, const char* id, std::size_t index) {
    const std::string out = sim.Control({"report", id, "0"}).out;
    return out.size() >= index * 3 + 2 ? out.substr(index * 3, 2) : std::string();
}

TEST(Config, KeysAssignedOnTheKeyPageReachTheKeyboardWithApply) {
    Rig rig;
    rig.StartMonitor();
    rig.RunConfig([&](CVyreMKConfigApp&, CVyreMKConfigDlg& dialog) {
        dialog.SelectProfile(0);
        dialog.ShowPage(kPageKeys);
        CKeyAssignmentDlg& page = dialog.keyAssignmentPage();
        page.ShowKey(2, widgets::kKeyClickGreyed);                 // F1
        page.ChooseMenuItem(32860, Layer::Secondary);              // Profile Up
        page.ShowKey(kThumbKey3, widgets::kKeyClickGreyed);
        page.ChooseMenuItem(32848, Layer::Primary);                // Shut Down
        page.ShowKey(39, widgets::kKeyClickGreyed);                // "5"
        page.ChooseMenuItem(menu_cmd::kDisable, Layer::Primary);   // sends nothing
        page.ChooseMenuItem(32849, Layer::Secondary);              // Macro Play/Pause
        dialog.Apply();
        EXPECT_TRUE(testing::Eventually([&] {
            return ReportByte(rig.sim, "7", 3 + 15 * 3) == "b0" &&   // F1's Flexlayer
                   ReportByte(rig.sim, "9", 3 + 2 * 3) == "81" &&    // thumb key 3
                   ReportByte(rig.sim, "6", 3 + 39) == "00" &&       // "5" sends nothing
                   ReportByte(rig.sim, "11", 4 + 5 * 3) == "ba";     // "5"'s Flexlayer
        }));
        dialog.Cancel();
    });
}

TEST(Config, AnEditNotAppliedSurvivesTheDumpOfATimerDeleteAndApplyWritesIt) {
    Rig rig;
    rig.StartMonitor();
    rig.RunConfig([&](CVyreMKConfigApp& app, CVyreMKConfigDlg& dialog) {
        ProfileStore& mirror = *app.shared().mirror;
        dialog.SelectProfile(0);
        dialog.ShowPage(kPageKeys);
        CKeyAssignmentDlg& page = dialog.keyAssignmentPage();
        page.ShowKey(2, widgets::kKeyClickGreyed);     // F1
        page.ChooseMenuItem(32860, Layer::Secondary);  // Profile Up, not applied
        // An unrelated timer added and deleted: the Monitor answers with a dump.
        HIDMSG::_STimerSettingData timer{};
        std::memset(static_cast<void*>(&timer), 0, sizeof timer);
        timer.name.set("Egg");
        timer.seconds = 60;
        const win::HWND link = app.shared().linkWindow.load();
        win::SendMessage(link, link::kMsgRequest, link::link_request::kTimerAdd,
                         reinterpret_cast<win::LPARAM>(&timer));
        mirror.deviceInfoReport[2] = 0;  // the Monitor's: back with the dump
        win::SendMessage(link, link::kMsgRequest, link::link_request::kTimerDelete,
                         reinterpret_cast<win::LPARAM>(&timer));
        ASSERT_TRUE(QTest::qWaitFor([&] { return mirror.deviceInfoReport[2] != 0; }, 20000));
        EXPECT_EQ(mirror.functionKeyReports[0][3 + 15 * 3], 0xB0);
        EXPECT_TRUE(dialog.HasUnappliedEdits());
        dialog.Apply();
        EXPECT_TRUE(testing::Eventually([&] { return ReportByte(rig.sim, "7", 3 + 15 * 3) == "b0"; }));
        dialog.Cancel();
    });
}

}  // namespace
}  // namespace vyre
