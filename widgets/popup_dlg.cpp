#include "widgets/popup_dlg.h"

#include <algorithm>

#include <QApplication>
#include <QGuiApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include "platform/record.h"
#include "widgets/skin_art.h"

namespace vyre::widgets {
namespace {

struct Placement {
    int templateId;
    int faceWidth, faceHeight;  // the face the buttons are placed on
    int closeId, okId, cancelId;  // control ids
    QRect close, okOne, okTwo, cancel;
    int closeBitmaps[3], okBitmaps[3], cancelBitmaps[3];
};

// Positions and bitmaps of the two forms.
const Placement& PlacementOf(CPopupDlg::Form form) {
    static const Placement monitor{146,
                                   305,
                                   203,
                                   1000,
                                   1001,
                                   1002,
                                   {277, 5, 23, 21},
                                   {126, 172, 52, 21},
                                   {75, 172, 52, 21},
                                   {139, 172, 91, 21},
                                   {133, 132, 134},
                                   {138, 137, 139},
                                   {130, 129, 131}};
    static const Placement config{2382,
                                  305,
                                  233,
                                  132,
                                  134,
                                  133,
                                  {277, 4, 23, 21},
                                  {75, 202, 52, 21},
                                  {75, 202, 52, 21},
                                  {139, 202, 91, 21},
                                  {1005, 1004, 1006},
                                  {1011, 1010, 1012},
                                  {1008, 1007, 1009}};
    return form == CPopupDlg::Form::Monitor ? monitor : config;
}

}  // namespace

CPopupDlg::CPopupDlg(Form form, QWidget* owner)
    : CBitmapDialog(owner), form_(form), close_(this), ok_(this), cancel_(this) {
    QObject::connect(&ok_, &QAbstractButton::clicked, this, [this] { done(IDOK); });
    QObject::connect(&cancel_, &QAbstractButton::clicked, this, [this] { done(IDCANCEL); });
    QObject::connect(&close_, &QAbstractButton::clicked, this, [this] { done(IDCANCEL); });
    NameWindowButtons(close_, ok_, cancel_);
}

void CPopupDlg::SetMessage(const QString& caption, const QString& message, bool warning) {
    textForm_ = true;
    caption_ = caption;
    message_ = message;
    warning_ = warning;
}

void CPopupDlg::Prepare() {
    const Placement& at = PlacementOf(form_);
    int grown = 0;  // how much taller than the form's own face a text face is
    if (textForm_) {
        const int height = MessageFaceHeight(at.faceWidth, at.faceHeight, message_);
        grown = height - at.faceHeight;
        const QString title = caption_.toUpper();
        SetFace([this, &at, height, title](qreal dpr) {
            return MessageFace(QSize(at.faceWidth, height), title, message_, warning_, dpr);
        });
        setWindowTitle(caption_);
    } else {
        SetBitmaps(faceId_, secondId_);
    }
    const QPoint down(0, grown);
    close_.setGeometry(at.close);
    close_.SetBitmaps(at.closeBitmaps[0], at.closeBitmaps[1], at.closeBitmaps[2]);
    ok_.setGeometry((twoButtons_ ? at.okTwo : at.okOne).translated(down));
    ok_.SetBitmaps(at.okBitmaps[0], at.okBitmaps[1], at.okBitmaps[2]);
    cancel_.setGeometry(at.cancel.translated(down));
    cancel_.SetBitmaps(at.cancelBitmaps[0], at.cancelBitmaps[1], at.cancelBitmaps[2]);
    cancel_.setVisible(twoButtons_);
    cancel_.setEnabled(twoButtons_);
    ok_.show();
    SetEnterButton(&ok_);
    // Centred on the desktop (the Monitor's) or on the owner (the Config's).
    const QWidget* owner = parentWidget();
    QRect around;
    if (form_ == Form::Config && owner != nullptr) {
        around = owner->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        around = screen->availableGeometry();
    }
    if (around.isValid()) move(around.center() - rect().center());
}

int CPopupDlg::Run() {
    Prepare();
    raise();
    activateWindow();
    const int result = exec();
    return result == IDOK ? IDOK : IDCANCEL;
}

namespace {
constexpr int kNoticeWidth = 305;
constexpr int kNoticeHeight = 80;
constexpr int kNoticeBottomGap = 96;  // above the screen's lower edge
}  // namespace

CPopupNotice::CPopupNotice(const QString& caption, const QString& message) {
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(caption);
    // The face of the message boxes, the message on one line in large type.
    const QString title = caption.toUpper();
    SetFace([title, message](qreal dpr) {
        QPixmap face = MessageFace(QSize(kNoticeWidth, kNoticeHeight), title, QString(), false, dpr);
        QPainter p(&face);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QFont font = TextFont(18, true);
        p.setFont(font);
        p.setPen(colour::kText);
        const QRectF line(16, 44, kNoticeWidth - 32, 26);
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetrics(font).elidedText(message, Qt::ElideRight, static_cast<int>(line.width())));
        return face;
    });
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center().x() - width() / 2,
             std::max(area.top(), area.bottom() - kNoticeBottomGap - this->height()));
    }
}

void CPopupNotice::ShowFor(int ms) {
    show();
    QTimer::singleShot(ms, this, [this] { close(); });
}

void CPopupNotice::mousePressEvent(QMouseEvent*) {
    close();
}

CPopupNotice* ShowNotice(const std::string& caption, const std::string& text, int ms) {
    platform::ActionRecord& record = platform::ActionRecord::Instance();
    if (record.Active()) {
        record.Write("notice " + caption + ": " + text);
        return nullptr;
    }
    if (!HasDisplay()) return nullptr;
    static QPointer<CPopupNotice> shown;
    if (shown) shown->close();
    auto* notice = new CPopupNotice(QString::fromStdString(caption), QString::fromStdString(text));
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->ShowFor(ms);
    shown = notice;
    return notice;
}

bool AskWithPopup(QWidget* owner, int faceId, int secondId) {
    CPopupDlg popup(CPopupDlg::Form::Config, owner);
    popup.SetFaceBitmaps(faceId, secondId);
    popup.SetTwoButtons(true);
    return popup.Run() == IDOK;
}

bool HasDisplay() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return false;
    const QString platform = QGuiApplication::platformName();
    return platform != "offscreen" && platform != "minimal";
}

namespace {

// The text form run modally with one OK button.
void RunMessageBox(CPopupDlg::Form form, const QString& caption, const QString& text, QWidget* owner) {
    CPopupDlg popup(form, owner);
    popup.SetMessage(caption, text);
    popup.Run();
}

}  // namespace

void ShowMessageBox(CPopupDlg::Form form, const std::string& caption, const std::string& text,
                    QWidget* owner) {
    platform::ActionRecord& record = platform::ActionRecord::Instance();
    if (record.Active()) {
        record.Write("message-box " + caption + ": " + text);
        return;
    }
    if (!HasDisplay()) return;
    const QString c = QString::fromStdString(caption), t = QString::fromStdString(text);
    QCoreApplication* app = QCoreApplication::instance();
    if (QThread::currentThread() == app->thread()) {
        RunMessageBox(form, c, t, owner);
        return;
    }
    // The owner may be gone by the time the GUI thread gets to it.
    QPointer<QWidget> guarded(owner);
    QMetaObject::invokeMethod(
        app, [form, c, t, guarded] { RunMessageBox(form, c, t, guarded.data()); },
        Qt::QueuedConnection);
}

}  // namespace vyre::widgets
