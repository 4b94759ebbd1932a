#include "widgets/popup_dlg.h"

#include <QGuiApplication>
#include <QScreen>

namespace vyre::widgets {
namespace {

struct Placement {
    int templateId;
    int closeId, okId, cancelId;  // control ids
    QRect close, okOne, okTwo, cancel;
    int closeBitmaps[3], okBitmaps[3], cancelBitmaps[3];
};

// Positions and bitmaps of the two forms.
const Placement& PlacementOf(CPopupDlg::Form form) {
    static const Placement monitor{146,
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
}

void CPopupDlg::Prepare() {
    const Placement& at = PlacementOf(form_);
    SetBitmaps(faceId_, secondId_);
    close_.setGeometry(at.close);
    close_.SetBitmaps(at.closeBitmaps[0], at.closeBitmaps[1], at.closeBitmaps[2]);
    ok_.setGeometry(twoButtons_ ? at.okTwo : at.okOne);
    ok_.SetBitmaps(at.okBitmaps[0], at.okBitmaps[1], at.okBitmaps[2]);
    cancel_.setGeometry(at.cancel);
    cancel_.SetBitmaps(at.cancelBitmaps[0], at.cancelBitmaps[1], at.cancelBitmaps[2]);
    cancel_.setVisible(twoButtons_);
    cancel_.setEnabled(twoButtons_);
    ok_.show();
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

bool AskWithPopup(QWidget* owner, int faceId, int secondId) {
    CPopupDlg popup(CPopupDlg::Form::Config, owner);
    popup.SetFaceBitmaps(faceId, secondId);
    popup.SetTwoButtons(true);
    return popup.Run() == IDOK;
}

}  // namespace vyre::widgets
