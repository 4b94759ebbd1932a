// The timer dialogs against a running Monitor and emulator: the timers they
// make reach the Monitor and survive its restart.

#include <gtest/gtest.h>

#include <QTimer>

#include <cstring>
#include <fstream>
#include <iterator>

#include "config/frame/config_app.h"
#include "config/keys/timer_dlgs.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using testing::Program;

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(TimerLink, TimersMadeInTheDialogsSurviveTheMonitorsRestart) {
    testing::TempDir folder;
    testing::SimProcess sim(folder.path(), {"--model", "A"});
    testing::App();
    testing::ScopedEnv home("VYRE_LUMO_HOME", (folder / "home").string());
    std::unique_ptr<testing::MonitorProcess> monitor;
    auto startMonitor = [&] {
        std::filesystem::remove(folder / "monitor.log");
        monitor = std::make_unique<testing::MonitorProcess>(sim, folder / "home", folder / "monitor.log");
        return monitor->Ready();
    };
    ASSERT_TRUE(startMonitor());
    {
        CVyreMKConfigApp app;
        app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
            QTimer::singleShot(0, [&] {
                ProfileStore& mirror = *app.shared().mirror;
                CountdownTimerDlg create(mirror, LinkTimerCommands(app.shared().linkWindow),
                                         &dialog);
                for (const auto& [name, seconds] :
                     {std::pair{"Pizza", "600"}, std::pair{"Respawn", "45"},
                      std::pair{"Buff", "120"}}) {
                    create.Prepare();
                    create.fields().name().setText(name);
                    create.fields().seconds().setText(seconds);
                    create.Ok();
                }
                CountDownTimerEditDlg edit(mirror, LinkTimerCommands(app.shared().linkWindow),
                                           &dialog);
                edit.confirmDelete = [] { return true; };
                edit.Prepare();
                edit.Select(2);
                edit.Delete();
                edit.Select(3);
                edit.fields().seconds().setText("90");
                edit.Modify();
                edit.Ok();
                dialog.Cancel();
            });
        };
        ASSERT_TRUE(app.InitInstance());
        app.Run();
    }
    monitor->Stop();
    ASSERT_TRUE(startMonitor());
    const auto dir = folder / "dump";
    std::filesystem::create_directories(dir);
    ASSERT_EQ(testing::Run({Program("vyre-lumo-ctl"), "dump", "--dir", dir.string()}).exit, 0);
    const std::string bytes = ReadText(dir / "21.bin");
    ASSERT_EQ(bytes.size(), 2 * sizeof(HIDMSG::_STimerSettingData));
    HIDMSG::_STimerSettingData timers[2];
    std::memcpy(static_cast<void*>(timers), bytes.data(), bytes.size());
    EXPECT_EQ(timers[0].index.get(), 0);
    EXPECT_EQ(timers[0].name.str(), "Pizza");
    EXPECT_EQ(timers[0].seconds.get(), 600);
    EXPECT_EQ(timers[1].index.get(), 1);
    EXPECT_EQ(timers[1].name.str(), "Buff");
    EXPECT_EQ(timers[1].seconds.get(), 90);
    EXPECT_TRUE(std::filesystem::exists(folder / "home" / "Config" / "Timer.ini"));
}

}  // namespace
}  // namespace vyre
