#pragma once
// CCharacterRepeatDlg: the current profile's keyboard repeat delay and rate,
// applied to the system at once while the sliders move, kept with OK, and
// given back to the system as stored with Cancel or close.

#include "common/profile_store.h"
#include "platform/system.h"
#include "widgets/bitmap_dialog.h"
#include "widgets/controls.h"

namespace vyre {

class CCharacterRepeatDlg : public widgets::CBitmapDialog {
  public:
    CCharacterRepeatDlg(ProfileStore& mirror, platform::KeyboardRepeatSettings& repeat,
                        QWidget* parent = nullptr);

    widgets::CSkinSlider& delaySlider() { return delay_; }
    widgets::CSkinSlider& rateSlider() { return rate_; }
    void Ok();
    void Cancel();

  protected:
    void reject() override { Cancel(); }

  private:
    ProfileStore& mirror_;
    platform::KeyboardRepeatSettings& repeat_;
    widgets::CSkinSlider delay_, rate_;
    widgets::CSkinEdit test_;
    widgets::CSkinButton ok_, cancel_, close_;
};

}  // namespace vyre
