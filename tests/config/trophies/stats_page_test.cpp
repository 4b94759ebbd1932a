// The statistics and trophies page: its texts and formats, the arrows, a
// trophy unlocked while it is open, the reset, and the upload against a
// local server with the answer recorded instead of opened.

#include "config/trophies/stats_trophies_dlg.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <vector>

#include "common/link_codes.h"
#include "config/trophies/stats_model.h"
#include "tests/config/trophies/local_http_server.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using testing::App;

struct Page {
    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
    std::atomic<win::HWND> monitor{0};
    std::unique_ptr<CStatsTrophiesDlg> page;
    std::vector<std::string> opened;

    explicit Page(const std::string& service = "") {
        App();
        page = std::make_unique<CStatsTrophiesDlg>(*mirror, monitor);
        page->openAddress = [this](const std::string& a) { opened.push_back(a); };
        page->machineIdentifier = [] { return std::string("0A1B2C3D4E5F"); };
        trophies::Deployment d;
        d.trophyService = service;
        page->SetDeployment(d);
        page->resize(780, 317);
    }
    StatisticsRecord& stats() { return mirror->statistics(); }
    void Unlock(int trophy, int points) {
        stats().trophyBits = stats().trophyBits.get() | (1u << (trophy - 1));
        stats().trophyPoints = stats().trophyPoints.get() + points;
    }
    // Uploads an unlocked trophy and waits for the upload to end; false when
    // it did not end within 20 s.
    bool UploadTrophy(int trophy, int points) {
        Unlock(trophy, points);
        page->ShowTrophy(trophy);
        bool ended = false;
        page->onUploadEnded = [&] { ended = true; };
        page->Upload();
        return QTest::qWaitFor([&] { return ended; }, 20000);
    }
};

TEST(StatisticsPage, RowsOfEachPeriodInTheirFormats) {
    Page t;
    StatisticsRecord& s = t.stats();
    for (int c = 0; c < 19; ++c) {
        s.lifetime[c] = 1000 + c;
        s.hour[c] = 10 + c;
        s.day[c] = 100 + c;
    }
    s.lifetime[19] = 2026120916;  // the date code is never shown
    t.page->Refresh();
    EXPECT_EQ(t.page->periodTitle(), "SINCE THE LAST RESET");
    EXPECT_EQ(t.page->rowText(0), "1002 strokes");   // counter 2
    EXPECT_EQ(t.page->rowText(1), "1018 times");     // counter 18
    EXPECT_EQ(t.page->rowText(7), "1015 times");     // counter 15
    EXPECT_EQ(t.page->rowText(12), "1001 strokes");  // counter 1
    EXPECT_EQ(t.page->rowText(13), "3018 strokes");  // counters 5 + 6 + 7
    EXPECT_EQ(t.page->rowText(14), "4010 strokes");  // counters 1 to 4
    EXPECT_EQ(t.page->rowText(15), "1000 strokes");  // counter 0
    t.page->NextPeriod();
    EXPECT_EQ(t.page->periodTitle(), "THIS HOUR");
    EXPECT_EQ(t.page->rowText(15), "10 strokes");
    t.page->NextPeriod();
    EXPECT_EQ(t.page->periodTitle(), "TODAY");
    EXPECT_EQ(t.page->rowText(3), "108 times");  // counter 8
    t.page->NextPeriod();                        // stops at the last period
    EXPECT_EQ(t.page->period(), 2);
    t.page->PreviousPeriod();
    t.page->PreviousPeriod();
    t.page->PreviousPeriod();
    EXPECT_EQ(t.page->period(), 0);
    // Counters near the top of their range add up without wrapping.
    s.lifetime[1] = s.lifetime[2] = s.lifetime[3] = s.lifetime[4] = 2000000000;
    t.page->Refresh();
    EXPECT_EQ(t.page->rowText(14), "8000000000 strokes");
}

TEST(StatisticsPage, TrophiesPointsAndArrows) {
    Page t;
    EXPECT_EQ(t.page->trophyNumberText(), "1/16");
    EXPECT_EQ(t.page->unlockedText(), "Unlocked:  0/16");
    EXPECT_EQ(t.page->pointsText(), "0");
    EXPECT_EQ(t.page->pictureFrame(), 0);
    t.page->PreviousTrophy();
    EXPECT_EQ(t.page->selectedTrophy(), 1);
    for (int i = 0; i < 20; ++i) t.page->NextTrophy();
    EXPECT_EQ(t.page->trophyNumberText(), "16/16");

    const int points[16] = {5, 10, 50, 5, 10, 50, 5, 10, 50, 5, 10, 50, 5, 10, 50, 100};
    int sum = 0;
    for (int n = 1; n <= 16; ++n) {
        t.Unlock(n, points[n - 1]);
        sum += points[n - 1];
        EXPECT_EQ(trophies::Trophy(n).points, points[n - 1]);
    }
    EXPECT_EQ(sum, 425);
    t.page->Refresh();
    EXPECT_EQ(t.page->pointsText(), "100");
    EXPECT_EQ(t.page->unlockedText(), "Unlocked:  16/16");
    EXPECT_EQ(t.page->pictureFrame(), 16);
    t.stats().trophyPoints = 84;  // 84 x 100 / 425 = 19.76: integer division
    t.page->Refresh();
    EXPECT_EQ(t.page->pointsText(), "19");
    t.stats().trophyPoints = 9000;  // above 425 shows 100
    t.page->Refresh();
    EXPECT_EQ(t.page->pointsText(), "100");
    t.stats().trophyPoints = -5;
    t.page->Refresh();
    EXPECT_EQ(t.page->pointsText(), "0");
    EXPECT_FALSE(trophies::TrophyUnlocked(t.stats(), 0));
    EXPECT_FALSE(trophies::TrophyUnlocked(t.stats(), 17));
}

TEST(StatisticsPage, ATrophyUnlockedWhileOpenShowsAtOnce) {
    Page t("http://127.0.0.1:9");
    t.page->ShowTrophy(4);
    EXPECT_EQ(t.page->pictureFrame(), 0);
    EXPECT_FALSE(t.page->uploadButton().isEnabled());
    t.stats().lifetime[0] = 499999;
    t.page->Refresh();
    // A new record: trophy 4 is unlocked, and the page shows it.
    t.Unlock(4, 5);
    t.page->ShowTrophy(4);
    EXPECT_EQ(t.page->trophyNumberText(), "4/16");
    EXPECT_EQ(t.page->pictureFrame(), 4);
    EXPECT_TRUE(t.page->uploadButton().isEnabled());
    t.page->ShowTrophy(0);  // out of range: nothing changes
    t.page->ShowTrophy(17);
    EXPECT_EQ(t.page->selectedTrophy(), 4);
    t.page->NextTrophy();
    EXPECT_FALSE(t.page->uploadButton().isEnabled());  // trophy 5 is locked
}

TEST(StatisticsPage, ResetAsksThenSendsRequest18WithOne) {
    Page t;
    std::vector<std::pair<win::WPARAM, win::LPARAM>> got;
    win::Window monitor;
    ASSERT_TRUE(monitor.Create("test monitor", "test monitor", win::HWND_MESSAGE));
    monitor.Messages().On(link::kMsgRequest, [&](win::WPARAM w, win::LPARAM l) {
        got.emplace_back(w, l);
        return 0;
    });
    t.page->confirmReset = [] { return false; };
    t.page->Reset();
    t.page->confirmReset = [] { return true; };
    t.page->Reset();  // no Monitor known: nothing is sent, nothing breaks
    t.monitor = monitor.GetSafeHwnd();
    t.page->Reset();
    win::ProcessPendingMessages();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].first, link::request::kResetStatistics);
    EXPECT_EQ(got[0].second, 1);

    // What the Monitor then sends back: counters zero, trophies and points kept.
    t.Unlock(2, 10);
    t.Unlock(7, 5);
    t.page->Refresh();
    EXPECT_EQ(t.page->unlockedText(), "Unlocked:  2/16");
    EXPECT_EQ(t.page->pointsText(), "3");

    // The reset dialog itself: OK, Cancel and close of its form.
    TrophyResetDlg dialog;
    dialog.Prepare();
    EXPECT_TRUE(dialog.cancelButton()->isEnabled());
    QTimer::singleShot(0, [&] { dialog.cancelButton()->click(); });
    EXPECT_EQ(dialog.Run(), widgets::IDCANCEL);
}

TEST(StatisticsPage, UploadRunsOffTheWindowAndOpensOnlyAWebAddress) {
    {
        Page t;  // no service configured
        t.Unlock(16, 100);
        t.page->ShowTrophy(16);
        EXPECT_FALSE(t.page->uploadButton().isEnabled());
        EXPECT_TRUE(t.page->uploadStatus().contains("No trophy service is configured"));
        t.page->Upload();
        EXPECT_FALSE(t.page->uploading());
    }
    for (const auto& [body, opens] : std::vector<std::pair<std::string, bool>>{
             {"https://trophies.example.org/me\n", true}, {"file:///bin/sh", false}, {"", false}}) {
        testing::LocalHttpServer server(testing::LocalHttpServer::Mode::Answer, 200, body);
        Page t(server.address());
        t.Unlock(16, 100);
        t.page->ShowTrophy(16);
        bool ended = false;
        t.page->onUploadEnded = [&] { ended = true; };
        t.page->Upload();
        EXPECT_TRUE(t.page->uploading());
        EXPECT_TRUE(t.page->uploadButton().isChecked());  // shows busy while it runs
        EXPECT_TRUE(t.page->uploadButton().text().startsWith("UPLOADING"));
        t.page->uploadButton().click();  // a second press changes nothing
        EXPECT_TRUE(t.page->uploadButton().isChecked());
        EXPECT_TRUE(QTest::qWaitFor([&] { return ended; }, 20000));
        EXPECT_FALSE(t.page->uploading());
        EXPECT_TRUE(t.page->uploadButton().isEnabled());
        EXPECT_FALSE(t.page->uploadButton().isChecked());
        EXPECT_EQ(t.page->uploadButton().text(), "UPLOAD TROPHY");
        ASSERT_EQ(server.paths().size(), 1u);
        EXPECT_NE(server.paths()[0].find(",248,"), std::string::npos);
        if (opens) {
            EXPECT_EQ(t.opened, std::vector<std::string>{"https://trophies.example.org/me"});
        } else {
            EXPECT_TRUE(t.opened.empty()) << body;
            EXPECT_TRUE(t.page->uploadStatus().contains("gave no page"));
        }
    }
    {
        // A service that never answers: the page ends the wait at its bound.
        testing::LocalHttpServer server(testing::LocalHttpServer::Mode::Silent, 200, "");
        Page t(server.address());
        t.page->uploadLimits.totalMs = 600;
        EXPECT_TRUE(t.UploadTrophy(1, 5));
        EXPECT_TRUE(t.opened.empty());
        EXPECT_TRUE(t.page->uploadStatus().contains("did not answer in time"));
    }
    // A service that answers with an error, a redirect or too much is reached.
    for (const auto& [status, body] : std::vector<std::pair<int, std::string>>{
             {500, ""}, {302, ""}, {200, std::string(5000, 'x')}}) {
        testing::LocalHttpServer server(testing::LocalHttpServer::Mode::Answer, status, body);
        Page t(server.address());
        EXPECT_TRUE(t.UploadTrophy(1, 5));
        EXPECT_TRUE(t.page->uploadStatus().contains("answered with an error")) << status;
    }
    {
        // The page closed while its upload runs: nothing is left behind.
        testing::LocalHttpServer server(testing::LocalHttpServer::Mode::Silent, 200, "");
        Page t(server.address());
        t.Unlock(1, 5);
        t.page->ShowTrophy(1);
        t.page->Upload();
        t.page.reset();
    }
}

}  // namespace
}  // namespace vyre
