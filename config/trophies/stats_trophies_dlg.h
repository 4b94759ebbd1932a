#pragma once
// CStatsTrophiesDlg, the statistics and trophies page: the sixteen counts of
// the chosen period (since the last reset, this hour, today), the sixteen
// trophies one by one with their state and what they ask for, the trophy
// points as a percentage, the upload of an unlocked trophy and the reset of
// the statistics (TrophyResetDlg). It only shows the record the Monitor
// sends; the reset is the Monitor's.

#include <QLabel>
#include <QScrollArea>
#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "common/profile_store.h"
#include "config/trophies/deployment.h"
#include "config/trophies/trophy_upload.h"
#include "platform/window.h"
#include "widgets/controls.h"
#include "widgets/popup_dlg.h"

namespace vyre {

namespace trophies {
// The reset dialog's face.
inline constexpr int kResetFace = 3109;
inline constexpr int kResetSecond = 2380;

// The statistics list: label and value of the sixteen rows of one period.
class StatisticsList : public widgets::WithQuickHelp<QWidget> {
  public:
    explicit StatisticsList(QWidget* parent = nullptr);
    void Show(const StatisticsRecord& record, int period);
    QString rowText(int row) const { return texts_[row]; }
    static constexpr int kRowHeight = 16;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::array<QString, 16> texts_;
};

// The trophy picture: frame n of the set when trophy n is unlocked, frame 0 otherwise.
class TrophyPictureView : public widgets::WithQuickHelp<QWidget> {
  public:
    explicit TrophyPictureView(QWidget* parent = nullptr) : WithQuickHelp(parent) {}
    void SetFrame(int frame);
    int frame() const { return frame_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int frame_ = 0;
};

// A thin bar filled with the accent up to `percent`.
class ProgressBar : public QWidget {
  public:
    explicit ProgressBar(QWidget* parent = nullptr) : QWidget(parent) {}
    void SetPercent(int percent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int percent_ = 0;
};
}  // namespace trophies

// The question before the statistics are reset: OK 134, Cancel 133, close 132.
class TrophyResetDlg : public widgets::CPopupDlg {
  public:
    explicit TrophyResetDlg(QWidget* owner = nullptr);
};

class CStatsTrophiesDlg : public QWidget {
  public:
    // `monitor` is the Monitor's control window (0 while unknown).
    CStatsTrophiesDlg(ProfileStore& mirror, const std::atomic<win::HWND>& monitor,
                      QWidget* parent = nullptr);
    ~CStatsTrophiesDlg() override;

    // Shows the record of the mirror (on opening and for every new record).
    void Refresh();
    // Selects trophy n (1..16) and shows it (a trophy just unlocked).
    void ShowTrophy(int trophy);

    // --- what the controls do (also for tests) ----------------------------------------
    void NextTrophy();
    void PreviousTrophy();
    void NextPeriod();
    void PreviousPeriod();
    void Reset();   // opens the reset dialog
    void Upload();  // the selected trophy, when it is unlocked and a service is set
    // The reset dialog's OK: request 18 with 1 to the Monitor (when it is known).
    void SendReset();

    // Asks whether to reset (the reset dialog by default).
    std::function<bool()> confirmReset;
    // Opens an address the service answered with (the shell by default).
    std::function<void(const std::string&)> openAddress;
    // The machine identifier (the platform's by default).
    std::function<std::string()> machineIdentifier;
    // The deployment's services (read once at construction by default).
    void SetDeployment(trophies::Deployment deployment);
    trophies::UploadLimits uploadLimits;
    // Called on the user interface thread when an upload ended (tests).
    std::function<void()> onUploadEnded;

    // The upload's look while it runs and once it ended (screenshots).
    void ShowUploadBusy();
    void ShowUploadResult(const trophies::UploadAnswer& answer);

    // --- what it shows --------------------------------------------------------------------
    int selectedTrophy() const { return trophy_; }
    int period() const { return period_; }
    bool uploading() const { return job_ != nullptr; }
    QString trophyNumberText() const { return trophyNumber_->text(); }
    QString pointsText() const { return points_->text(); }
    QString unlockedText() const { return unlocked_->text(); }
    QString periodTitle() const { return periodTitle_->text(); }
    QString rowText(int row) const { return list_->rowText(row); }
    QString uploadStatus() const { return uploadStatus_->text(); }
    QString trophyName() const { return name_->text(); }
    int pictureFrame() const { return picture_->frame(); }
    widgets::CSkinButton& uploadButton() { return *upload_; }
    widgets::CSkinButton& resetButton() { return *reset_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const StatisticsRecord& record() const { return mirror_.statistics(); }
    void ShowSelectedTrophy();
    void ShowPeriod();
    void UpdateUploadButton();
    void UploadEnded(trophies::UploadAnswer answer);

    ProfileStore& mirror_;
    const std::atomic<win::HWND>& monitor_;
    trophies::Deployment deployment_;
    int trophy_ = 1;
    int period_ = 0;
    std::unique_ptr<trophies::UploadJob> job_;

    trophies::StatisticsList* list_ = nullptr;
    QScrollArea* listArea_ = nullptr;
    trophies::TrophyPictureView* picture_ = nullptr;
    trophies::ProgressBar* trophyProgress_ = nullptr;
    trophies::ProgressBar* pointsBar_ = nullptr;
    QLabel* periodTitle_ = nullptr;
    QLabel* trophyNumber_ = nullptr;  // 155
    QLabel* points_ = nullptr;        // 168
    QLabel* unlocked_ = nullptr;      // 169
    QLabel* name_ = nullptr;
    QLabel* tier_ = nullptr;
    QLabel* goal_ = nullptr;
    QLabel* progress_ = nullptr;
    QLabel* uploadStatus_ = nullptr;
    widgets::CSkinButton* upload_ = nullptr;  // 146
    widgets::CSkinButton* reset_ = nullptr;   // 1007
};

}  // namespace vyre
