#include "config/keys/character_repeat_dlg.h"

namespace vyre {

CCharacterRepeatDlg::CCharacterRepeatDlg(ProfileStore& mirror,
                                         platform::KeyboardRepeatSettings& repeat, QWidget* parent)
    : CBitmapDialog(parent),
      mirror_(mirror),
      repeat_(repeat),
      delay_(this),
      rate_(this),
      test_(this),
      ok_(widgets::ControlKind::Push, "OK", this),
      cancel_(widgets::ControlKind::Push, "CANCEL", this),
      close_(widgets::ControlKind::Close, "", this) {
    SetBitmaps(2383, 2384);
    const ProfileHostRecord& rec = mirror_.hostRecord(mirror_.currentProfile());
    delay_.setGeometry(16, 74, 273, 20);
    delay_.setRange(0, platform::kRepeatDelayMax);
    delay_.setValue(rec.repeatDelay.get());
    rate_.setGeometry(16, 126, 273, 20);
    rate_.setRange(0, platform::kRepeatSpeedMax);
    rate_.setValue(rec.repeatRate.get());
    test_.setGeometry(16, 166, 273, 24);
    test_.clear();
    test_.setPlaceholderText("Test here");
    ok_.setGeometry(75, 202, 52, 21);
    SetEnterButton(&ok_);
    cancel_.setGeometry(139, 202, 91, 21);
    close_.setGeometry(277, 4, 23, 21);
    // The system takes each position at once, so the test edit shows it.
    QObject::connect(&delay_, &QSlider::valueChanged, this, [this](int position) {
        repeat_.SetDelay(platform::kRepeatDelayMax - position, true);
    });
    QObject::connect(&rate_, &QSlider::valueChanged, this,
                     [this](int position) { repeat_.SetSpeed(position, true); });
    QObject::connect(&ok_, &QAbstractButton::clicked, this, [this] { Ok(); });
    QObject::connect(&cancel_, &QAbstractButton::clicked, this, [this] { Cancel(); });
    QObject::connect(&close_, &QAbstractButton::clicked, this, [this] { Cancel(); });
}

void CCharacterRepeatDlg::Ok() {
    ProfileHostRecord& rec = mirror_.hostRecord(mirror_.currentProfile());
    rec.repeatDelay = delay_.value();
    rec.repeatRate = rate_.value();
    done(QDialog::Accepted);
}

void CCharacterRepeatDlg::Cancel() {
    const ProfileHostRecord& rec = mirror_.hostRecord(mirror_.currentProfile());
    repeat_.SetDelay(platform::kRepeatDelayMax - rec.repeatDelay.get(), true);
    repeat_.SetSpeed(rec.repeatRate.get(), true);
    done(QDialog::Rejected);
}

}  // namespace vyre
