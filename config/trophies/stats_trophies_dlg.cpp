#include "config/trophies/stats_trophies_dlg.h"

#include <QPainter>
#include <QScrollBar>

#include "common/link_codes.h"
#include "common/log.h"
#include "config/frame/help_ids.h"
#include "config/trophies/stats_model.h"
#include "config/trophies/trophy_art.h"
#include "platform/machine.h"
#include "platform/shell.h"
#include "widgets/caption_fit.h"

namespace vyre {
namespace {

using widgets::ControlKind;
using widgets::CSkinButton;
namespace colour = widgets::colour;

constexpr const char* kArea = "trophies";
constexpr int kListX = 12, kListWidth = 430;
constexpr int kRightX = 462, kRightWidth = 306;
constexpr int kPictureSize = 128;

const char* TierName(trophies::Tier tier) {
    switch (tier) {
        case trophies::Tier::Bronze:
            return "BRONZE";
        case trophies::Tier::Silver:
            return "SILVER";
        case trophies::Tier::Gold:
            return "GOLD";
        case trophies::Tier::Master:
            break;
    }
    return "MASTER";
}

QLabel* Text(QWidget* parent, const QRect& at, int size, const char* colour, bool bold = false) {
    auto* label = new widgets::CSkinLabel(parent);
    label->setGeometry(at);
    label->setFont(widgets::TextFont(size, bold));
    label->setStyleSheet(QString("color: %1; background: transparent;").arg(colour));
    return label;
}

QLabel* Caption(QWidget* parent, const QString& text, const QRect& at) {
    auto* label = new QLabel(text, parent);
    QFont f = widgets::TextFont(12, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    label->setFont(f);
    label->setStyleSheet("color: #9aa3ad; background: transparent;");
    label->setGeometry(at);
    return label;
}

// A one-line text drawn whole: its font made smaller where the label is short.
void SetFittedText(QLabel* label, QFont base, const QString& text) {
    label->setFont(widgets::FittedFont(base, text, label->contentsRect().width(), 9));
    label->setText(text);
}

CSkinButton* Button(QWidget* parent, ControlKind kind, const QString& caption, const QRect& at,
                    int helpId) {
    auto* b = new CSkinButton(kind, caption, parent);
    b->setGeometry(at);
    b->setHelpId(helpId);
    return b;
}

}  // namespace

namespace trophies {

StatisticsList::StatisticsList(QWidget* parent) : WithQuickHelp(parent) {
    setFixedHeight(kStatisticsRows * kRowHeight);
}

void StatisticsList::Show(const StatisticsRecord& record, int period) {
    for (int row = 0; row < kStatisticsRows; ++row)
        texts_[row] = QString::fromStdString(RowText(record, period, row));
    update();
}

void StatisticsList::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    const auto& rows = StatisticsRows();
    for (int row = 0; row < kStatisticsRows; ++row) {
        const QRect r(0, row * kRowHeight, width(), kRowHeight);
        // The totals stand apart from the single counters.
        const bool total = row >= kStatisticsRows - 3;
        if (total) {
            p.fillRect(r, colour::kControlPressed);
        } else if (row % 2 == 0) {
            p.fillRect(r, colour::kControl);
        }
        p.setFont(widgets::TextFont(12, total));
        p.setPen(total ? colour::kText : colour::kTextSecondary);
        p.drawText(r.adjusted(8, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, rows[row].label);
        p.setPen(total ? colour::kAccent : colour::kText);
        p.drawText(r.adjusted(8, 0, -8, 0), Qt::AlignRight | Qt::AlignVCenter, texts_[row]);
    }
}

void TrophyPictureView::SetFrame(int frame) {
    frame_ = frame;
    update();
}

void TrophyPictureView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintTrophy(p, QRectF(rect()), frame_);
}

void ProgressBar::SetPercent(int percent) {
    percent_ = std::clamp(percent, 0, 100);
    update();
}

void ProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(colour::kBorder, 1));
    p.setBrush(colour::kControl);
    p.drawRoundedRect(r, 2, 2);
    if (percent_ > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour::kAccent);
        p.drawRoundedRect(QRectF(r.left(), r.top(), r.width() * percent_ / 100.0, r.height()), 2,
                          2);
    }
}

}  // namespace trophies

TrophyResetDlg::TrophyResetDlg(QWidget* owner) : CPopupDlg(Form::Config, owner) {
    SetFaceBitmaps(trophies::kResetFace, trophies::kResetSecond);
    SetTwoButtons(true);
}

CStatsTrophiesDlg::CStatsTrophiesDlg(ProfileStore& mirror, const std::atomic<win::HWND>& monitor,
                                     QWidget* parent)
    : QWidget(parent), mirror_(mirror), monitor_(monitor), deployment_(trophies::LoadDeployment()) {
    confirmReset = [this] {
        TrophyResetDlg dialog(window());
        return dialog.Run() == widgets::IDOK;
    };
    openAddress = [](const std::string& address) { platform::ShellOpen(address); };
    machineIdentifier = [] { return platform::MachineIdentifier(); };

    // The statistics: the period with its arrows, then the list.
    auto* previousPeriod = Button(this, ControlKind::Push, QString::fromUtf8("\u25C0"),
                                  {kListX, 8, 28, 24}, help::kStatsPeriodPrevious);
    QObject::connect(previousPeriod, &QAbstractButton::clicked, this, [this] { PreviousPeriod(); });
    auto* nextPeriod = Button(this, ControlKind::Push, QString::fromUtf8("\u25B6"),
                              {kListX + kListWidth - 28, 8, 28, 24}, help::kStatsPeriodNext);
    QObject::connect(nextPeriod, &QAbstractButton::clicked, this, [this] { NextPeriod(); });
    periodTitle_ = Caption(this, "", {kListX + 32, 8, kListWidth - 64, 24});
    periodTitle_->setAlignment(Qt::AlignCenter);
    periodTitle_->setStyleSheet("color: #e6e9ee; background: transparent;");

    listArea_ = new QScrollArea(this);
    listArea_->setGeometry(kListX, 40, kListWidth, 262);
    listArea_->setFrameShape(QFrame::NoFrame);
    listArea_->setAccessibleName("Trophies");
    listArea_->setStyleSheet("QScrollArea { background: transparent; }");
    listArea_->setVerticalScrollBar(new widgets::CSkinScrollBar(Qt::Vertical));
    listArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listArea_->setWidgetResizable(true);
    list_ = new trophies::StatisticsList;
    list_->setHelpId(help::kStatisticsList);
    listArea_->setWidget(list_);
    listArea_->viewport()->setAutoFillBackground(false);
    list_->setAutoFillBackground(false);

    // The trophy: picture, name, what it asks for, the arrows with "%d/16".
    picture_ = new trophies::TrophyPictureView(this);
    picture_->setGeometry(kRightX, 8, kPictureSize, kPictureSize);
    picture_->setHelpId(help::kTrophyPicture);
    const int infoX = kRightX + kPictureSize + 14, infoWidth = kRightWidth - kPictureSize - 14;
    tier_ = Caption(this, "", {infoX, 10, infoWidth, 16});
    name_ = Text(this, {infoX, 28, infoWidth, 20}, 15, "#e6e9ee", true);
    goal_ = Text(this, {infoX, 52, infoWidth, 48}, 12, "#9aa3ad");
    goal_->setWordWrap(true);
    goal_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    progress_ = Text(this, {infoX, 102, infoWidth, 16}, 12, "#e6e9ee");
    trophyProgress_ = new trophies::ProgressBar(this);
    trophyProgress_->setGeometry(infoX, 122, infoWidth, 6);

    auto* previousTrophy = Button(this, ControlKind::Push, QString::fromUtf8("\u25C0"),
                                  {kRightX, 146, 28, 24}, help::kTrophyPrevious);
    QObject::connect(previousTrophy, &QAbstractButton::clicked, this, [this] { PreviousTrophy(); });
    trophyNumber_ = Text(this, {kRightX + 30, 146, kPictureSize - 60, 24}, 13, "#e6e9ee", true);
    trophyNumber_->setAlignment(Qt::AlignCenter);
    auto* nextTrophy = Button(this, ControlKind::Push, QString::fromUtf8("\u25B6"),
                              {kRightX + kPictureSize - 28, 146, 28, 24}, help::kTrophyNext);
    QObject::connect(nextTrophy, &QAbstractButton::clicked, this, [this] { NextTrophy(); });

    // The collection: unlocked trophies and the points.
    unlocked_ = Text(this, {infoX, 146, infoWidth, 24}, 13, "#e6e9ee");
    unlocked_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    static_cast<widgets::CSkinLabel*>(unlocked_)->setHelpId(help::kTrophiesUnlocked);
    Caption(this, "TROPHY POINTS", {kRightX, 184, 200, 16});
    points_ = Text(this, {kRightX + kRightWidth - 80, 182, 64, 20}, 15, "#22c7e0", true);
    points_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    static_cast<widgets::CSkinLabel*>(points_)->setHelpId(help::kTrophyPoints);
    auto* percent = Text(this, {kRightX + kRightWidth - 14, 182, 14, 20}, 13, "#22c7e0", true);
    percent->setText("%");
    pointsBar_ = new trophies::ProgressBar(this);
    pointsBar_->setGeometry(kRightX, 206, kRightWidth, 6);

    // Upload and reset.
    upload_ = Button(this, ControlKind::Push, "UPLOAD TROPHY", {kRightX, 226, 148, 28},
                     help::kTrophyUpload);
    upload_->setCheckable(true);
    QObject::connect(upload_, &QAbstractButton::clicked, this, [this] { Upload(); });
    reset_ = Button(this, ControlKind::WarningPush, "RESET STATISTICS",
                    {kRightX + kRightWidth - 148, 226, 148, 28}, help::kStatisticsReset);
    QObject::connect(reset_, &QAbstractButton::clicked, this, [this] { Reset(); });
    uploadStatus_ = Text(this, {kRightX, 260, kRightWidth, 40}, 12, "#9aa3ad");
    uploadStatus_->setWordWrap(true);
    uploadStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Refresh();
}

CStatsTrophiesDlg::~CStatsTrophiesDlg() {
    job_.reset();  // ends a running request before the page's parts go
}

void CStatsTrophiesDlg::SetDeployment(trophies::Deployment deployment) {
    deployment_ = std::move(deployment);
    UpdateUploadButton();
}

void CStatsTrophiesDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // A line between the statistics and the trophies.
    p.setPen(QPen(colour::kBorder, 1));
    const int x = (kListX + kListWidth + kRightX) / 2;
    p.drawLine(QPointF(x + 0.5, 8), QPointF(x + 0.5, height() - 8));
}

void CStatsTrophiesDlg::Refresh() {
    const StatisticsRecord& r = record();
    points_->setText(QString::asprintf("%d", trophies::PointsPercent(r)));
    pointsBar_->SetPercent(trophies::PointsPercent(r));
    unlocked_->setText(QString::asprintf("Unlocked:  %d/16", trophies::UnlockedCount(r)));
    ShowPeriod();
    ShowSelectedTrophy();
}

void CStatsTrophiesDlg::ShowPeriod() {
    periodTitle_->setText(trophies::PeriodTitle(period_));
    list_->Show(record(), period_);
}

void CStatsTrophiesDlg::ShowSelectedTrophy() {
    const StatisticsRecord& r = record();
    const bool unlocked = trophies::TrophyUnlocked(r, trophy_);
    const trophies::TrophyRule& rule = trophies::Trophy(trophy_);
    trophyNumber_->setText(QString::asprintf("%d/16", trophy_));
    picture_->SetFrame(unlocked ? trophy_ : 0);
    QFont captionFont = widgets::TextFont(12, true);
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    SetFittedText(tier_, captionFont,
                  QString("%1  \u00B7  %2 POINTS").arg(TierName(rule.tier)).arg(rule.points));
    SetFittedText(name_, widgets::TextFont(15, true), rule.name);
    const std::string goal = rule.tier == trophies::Tier::Master
                                 ? "Unlock all fifteen other trophies."
                                 : "Reach " + trophies::Grouped(rule.threshold) + " " + rule.unit +
                                       " since the last reset.";
    goal_->setText(QString::fromStdString(goal));
    if (unlocked) {
        progress_->setText("Unlocked");
        progress_->setStyleSheet("color: #22c7e0; background: transparent;");
        trophyProgress_->SetPercent(100);
    } else {
        const std::int64_t have = std::min(trophies::TrophyProgress(r, trophy_), rule.threshold);
        progress_->setText(QString::fromStdString(trophies::Grouped(have) + " of " +
                                                  trophies::Grouped(rule.threshold)));
        progress_->setStyleSheet("color: #e6e9ee; background: transparent;");
        trophyProgress_->SetPercent(
            static_cast<int>(have * 100 / std::max<std::int64_t>(rule.threshold, 1)));
    }
    UpdateUploadButton();
}

void CStatsTrophiesDlg::UpdateUploadButton() {
    if (job_ != nullptr) {
        upload_->setChecked(true);  // shows pressed while the request runs
        return;
    }
    upload_->setChecked(false);
    const bool unlocked = trophies::TrophyUnlocked(record(), trophy_);
    upload_->setEnabled(unlocked && !deployment_.trophyService.empty());
    if (deployment_.trophyService.empty()) {
        upload_->setToolTip("No trophy service is configured");
        uploadStatus_->setText("No trophy service is configured for this installation.");
    } else {
        upload_->setToolTip(unlocked ? "Publish this trophy on the trophy service"
                                     : "Unlock this trophy to upload it");
    }
}

void CStatsTrophiesDlg::ShowTrophy(int trophy) {
    if (trophy < 1 || trophy > trophies::kTrophyCount) return;
    if (trophy != trophy_ && job_ == nullptr)
        uploadStatus_->clear();  // the last result was another trophy's
    trophy_ = trophy;
    Refresh();
}

void CStatsTrophiesDlg::NextTrophy() {
    ShowTrophy(std::min(trophy_ + 1, trophies::kTrophyCount));
}

void CStatsTrophiesDlg::PreviousTrophy() {
    ShowTrophy(std::max(trophy_ - 1, 1));
}

void CStatsTrophiesDlg::NextPeriod() {
    if (period_ < trophies::kPeriodCount - 1) ++period_;
    ShowPeriod();
}

void CStatsTrophiesDlg::PreviousPeriod() {
    if (period_ > 0) --period_;
    ShowPeriod();
}

void CStatsTrophiesDlg::Reset() {
    if (confirmReset && confirmReset()) SendReset();
}

void CStatsTrophiesDlg::SendReset() {
    // Without the Monitor's window nothing is sent; the dialog has closed all the same.
    if (const win::HWND monitor = monitor_.load()) {
        win::PostMessage(monitor, link::kMsgRequest, link::request::kResetStatistics, 1);
    }
}

void CStatsTrophiesDlg::Upload() {
    if (job_ != nullptr) {
        upload_->setChecked(true);  // a press while busy changes nothing
        return;
    }
    if (!trophies::TrophyUnlocked(record(), trophy_)) return;
    if (deployment_.trophyService.empty()) {
        UpdateUploadButton();
        return;
    }
    auto random = trophies::RandomDraw::FromClock();
    const trophies::UploadPath path =
        trophies::BuildUploadPath(trophies::TrophyUploadId(trophy_), machineIdentifier(),
                                  trophies::LocalUtcOffsetSeconds(), random);
    const std::string url = trophies::UploadUrl(deployment_.trophyService, path.path);
    log::Info(kArea, log::Format("uploading trophy %d", trophy_));
    ShowUploadBusy();
    // The request runs on a thread of its own; its end comes back to this thread.
    job_ = std::make_unique<trophies::UploadJob>(
        url, uploadLimits, [this](trophies::UploadAnswer answer) {
            QMetaObject::invokeMethod(
                this,
                [this, answer = std::move(answer)]() mutable { UploadEnded(std::move(answer)); },
                Qt::QueuedConnection);
        });
}

void CStatsTrophiesDlg::ShowUploadBusy() {
    upload_->setText(QString::fromUtf8("UPLOADING\u2026"));
    upload_->setChecked(true);
    upload_->setCursor(Qt::BusyCursor);
    uploadStatus_->setStyleSheet("color: #9aa3ad; background: transparent;");
    uploadStatus_->setText("Sending the trophy to the trophy service\u2026");
}

void CStatsTrophiesDlg::ShowUploadResult(const trophies::UploadAnswer& answer) {
    upload_->setText("UPLOAD TROPHY");
    upload_->unsetCursor();
    using Status = trophies::UploadAnswer::Status;
    QString text;
    bool good = false;
    if (answer.status == Status::Answered) {
        if (trophies::OpenableAddress(answer.body).empty()) {
            text = "The trophy was sent, but the trophy service gave no page to open.";
        } else {
            text = "The trophy was sent; its page opens in your browser.";
            good = true;
        }
    } else if (answer.status == Status::TimedOut) {
        text = "The trophy service did not answer in time. Please try again later.";
    } else if (answer.status == Status::TooLong || answer.httpStatus != 0) {
        // Reached, but its answer (an error status, a redirect, a huge body) is no trophy page.
        text =
            "The trophy could not be sent: the trophy service answered with an error. "
            "Please try again later.";
    } else {
        text = "The trophy could not be sent: the trophy service cannot be reached.";
    }
    uploadStatus_->setStyleSheet(
        QString("color: %1; background: transparent;").arg(good ? "#22c7e0" : "#e0a422"));
    uploadStatus_->setText(text);
    UpdateUploadButton();
}

void CStatsTrophiesDlg::UploadEnded(trophies::UploadAnswer answer) {
    job_.reset();
    const std::string address = answer.status == trophies::UploadAnswer::Status::Answered
                                    ? trophies::OpenableAddress(answer.body)
                                    : std::string();
    if (answer.status != trophies::UploadAnswer::Status::Answered) {
        log::Warning(kArea, "the trophy upload failed: " + answer.error);
    } else if (address.empty()) {
        // Logged, never opened: only a plain web address goes to the browser.
        std::string shown = answer.body.substr(0, 200);
        for (char& c : shown) {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
                c = '?';
        }
        log::Warning(kArea, "the trophy service answered with no web address: \"" + shown + "\"");
    }
    ShowUploadResult(answer);
    if (!address.empty() && openAddress) openAddress(address);
    if (onUploadEnded) onUploadEnded();
}

}  // namespace vyre
