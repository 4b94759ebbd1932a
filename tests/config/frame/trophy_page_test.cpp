// A trophy reached while the Config runs, end to end: the emulator counts,
// the Monitor awards the trophy, and the Config opens the statistics page
// on it; the page's reset then clears the counts and keeps the trophy.

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <fstream>
#include <iterator>

#include "config/frame/config_app.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

TEST(ConfigTrophies, AReachedTrophyOpensItsPageAndTheResetKeepsIt) {
    testing::TempDir folder;
    testing::SimProcess sim(folder.path(), {"--model", "B"});
    testing::App();
    testing::ScopedEnv home("VYRE_LUMO_HOME", (folder / "home").string());
    testing::MonitorProcess monitor(sim, folder / "home", folder / "monitor.log");
    ASSERT_TRUE(monitor.Ready());
    bool acted = false;
    CVyreMKConfigApp app;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            acted = true;
            CStatsTrophiesDlg& page = dialog.statisticsPage();
            EXPECT_EQ(dialog.currentPage(), kPageMainControl);
            // 1,000 uses counted by event 15 (counter 16): the first trophy of its group, 10.
            EXPECT_EQ(sim.Control({"event", "15", "0xFA", "0xE8", "0x03"}).exit, 0);
            EXPECT_TRUE(
                QTest::qWaitFor([&] { return dialog.currentPage() == kPageStatistics; }, 15000));
            EXPECT_EQ(page.selectedTrophy(), 10);
            EXPECT_EQ(page.pictureFrame(), 10);
            EXPECT_EQ(page.unlockedText(), "Unlocked:  1/16");
            EXPECT_EQ(page.rowText(4), "1000 times");  // the row of counter 16
            EXPECT_EQ(app.shared().mirror->hostSettingsBlock.startPage.get(), 0);

            page.confirmReset = [] { return true; };
            page.Reset();
            EXPECT_TRUE(QTest::qWaitFor([&] { return page.rowText(4) == "0 times"; }, 15000));
            EXPECT_EQ(page.unlockedText(), "Unlocked:  1/16");
            EXPECT_EQ(page.pointsText(), "1");  // 5 points of 425
            dialog.Cancel();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
    EXPECT_TRUE(acted);
}

}  // namespace
}  // namespace vyre
