#include "config/trophies/trophy_screenshots.h"

#include <cstdio>
#include <string>

#include "config/trophies/stats_model.h"
#include "config/trophies/trophy_art.h"

namespace vyre::trophies {
namespace {

void Save(QWidget& widget, const std::filesystem::path& file) {
    widget.grab().save(QString::fromStdString(file.string()));
    std::printf("wrote %s\n", file.c_str());
}

void ExampleStatistics(StatisticsRecord& s) {
    const int lifetime[19] = {612480, 21850, 18340, 15920, 20210, 3120, 2240, 1580, 840, 410,
                              0,      0,     0,     0,     0,     96,   530,  210,  64};
    for (int c = 0; c < 19; ++c) {
        s.lifetime[c] = lifetime[c];
        s.day[c] = lifetime[c] / 40;
        s.hour[c] = lifetime[c] / 400;
    }
    // Trophies 1, 4, 7, 13 and 14 (bits 0, 3, 6, 12, 13).
    s.trophyBits = (1u << 0) | (1u << 3) | (1u << 6) | (1u << 12) | (1u << 13);
    s.trophyPoints = 5 + 5 + 5 + 5 + 10;
}

}  // namespace

void WriteScreenshots(QWidget& dialog, ProfileStore& mirror, CStatsTrophiesDlg& stats,
                      CUpdateSuPportDlg& support, const std::function<void(bool)>& showPage,
                      const std::filesystem::path& folder, char model) {
    const std::string m = std::string("-model-") + model + ".png";
    const StatisticsRecord saved = mirror.statistics();
    ExampleStatistics(mirror.statistics());
    showPage(true);
    stats.ShowTrophy(13);
    Save(dialog, folder / ("config-stats-unlocked" + m));
    stats.ShowTrophy(5);
    Save(dialog, folder / ("config-stats-locked" + m));
    stats.NextPeriod();
    Save(dialog, folder / ("config-stats-hour" + m));
    stats.NextPeriod();
    Save(dialog, folder / ("config-stats-today" + m));
    stats.PreviousPeriod();
    stats.PreviousPeriod();

    if (model == 'B') {
        TrophyResetDlg reset(&dialog);
        reset.Prepare();
        reset.show();
        Save(reset, folder / "config-stats-reset.png");
        reset.hide();

        // An upload as it runs and as it ends, against an example service.
        Deployment example;
        example.trophyService = "https://trophies.example.org";
        stats.SetDeployment(example);
        stats.ShowTrophy(13);
        stats.ShowUploadBusy();
        Save(dialog, folder / "config-stats-uploading.png");
        UploadAnswer answer;
        answer.status = UploadAnswer::Status::Answered;
        answer.body = "https://trophies.example.org/trophy/13";
        stats.ShowUploadResult(answer);
        Save(dialog, folder / "config-stats-uploaded.png");
        answer.status = UploadAnswer::Status::TimedOut;
        stats.ShowUploadResult(answer);
        Save(dialog, folder / "config-stats-upload-timeout.png");
        stats.SetDeployment(LoadDeployment());

        // The sixteen pictures and the locked frame side by side.
        QPixmap sheet(17 * 84 + 4, 88);
        sheet.fill(QColor(0x10, 0x12, 0x16));
        QPainter p(&sheet);
        for (int frame = 0; frame <= 16; ++frame)
            PaintTrophy(p, QRectF(4 + frame * 84, 4, 80, 80), frame);
        p.end();
        sheet.save(QString::fromStdString((folder / "config-trophy-pictures.png").string()));
        std::printf("wrote %s\n", (folder / "config-trophy-pictures.png").c_str());
    }
    mirror.statistics() = saved;
    stats.ShowTrophy(1);

    showPage(false);
    support.Refresh();
    Save(dialog, folder / ("config-support" + m));
    if (model == 'B') {
        Deployment example;
        example.productSupportPage = "https://www.example.org/vyre-lumo/";
        example.supportSite = "https://www.example.org";
        example.supportMail = "support@example.org";
        support.SetDeployment(example);
        Save(dialog, folder / "config-support-configured.png");
        support.SetDeployment(LoadDeployment());
    }
}

}  // namespace vyre::trophies
