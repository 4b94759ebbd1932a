#pragma once
// The countdown timer dialogs of the key assignment page: CountdownTimerDlg
// creates a timer, CountDownTimerEditDlg renames, re-times and deletes
// timers, CountDownTimerDeleteDlg confirms a deletion. Each change goes to
// the Monitor as one command with one timer record (19 created, 35 changed,
// 20 deleted); without a link window the commands are dropped and the
// Config's own timer list changes all the same.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/hidmsg.h"
#include "common/profile_store.h"
#include "config/keys/key_function_dlgs.h"
#include "platform/window.h"
#include "widgets/controls.h"

namespace vyre {

namespace timer_dlg {
inline constexpr int kCreateFace = 3978;
inline constexpr int kEditFace = 3980;
inline constexpr int kDeleteFace = 3982;
inline constexpr int kMinSeconds = 15;
inline constexpr int kMaxSeconds = 999;
inline constexpr int kInitialSeconds = 30;
// The name field: 23 bytes of multibyte text and the terminator.
inline constexpr std::size_t kNameBytes = 24;
}  // namespace timer_dlg

// Where a dialog's timer commands go.
using TimerCommandSink = std::function<void(std::uint16_t code, const HIDMSG::_STimerSettingData&)>;
// A sink that hands each command to the link window (none: dropped).
TimerCommandSink LinkTimerCommands(const std::atomic<win::HWND>& linkWindow);

// The clamp applied when the seconds field is left: 1000 and more give 999,
// 14 and less 15.
int ClampTimerSeconds(int seconds);
// A timer name cut to the record's 23 bytes of multibyte text, never inside
// a character.
std::u16string FitTimerName(std::u16string_view name);

// The name edit and the seconds edit with its up and down buttons, as both
// dialogs have them.
class CTimerFields {
  public:
    CTimerFields(QWidget* dialog, int top);
    widgets::CSkinEdit& name() { return name_; }
    widgets::CSkinEdit& seconds() { return seconds_; }
    widgets::CSkinButton& up() { return up_; }
    widgets::CSkinButton& down() { return down_; }
    // What leaving the seconds field does: the value clamped into 15..999.
    void LeaveSeconds();
    int secondsValue() const;
    void Step(int by);

  private:
    widgets::CSkinLabel nameLabel_, secondsLabel_, rangeLabel_;
    widgets::CSkinEdit name_, seconds_;
    widgets::CSkinButton up_, down_;
};

class CountdownTimerDlg : public CKeyFunctionDlg {
  public:
    CountdownTimerDlg(ProfileStore& mirror, TimerCommandSink send, QWidget* parent = nullptr);
    // Empty name, "30" seconds.
    void Prepare();
    // An empty name or fewer than 15 seconds keep the dialog open.
    void Ok() override;
    CTimerFields& fields() { return fields_; }

  private:
    ProfileStore& mirror_;
    TimerCommandSink send_;
    CTimerFields fields_;
};

class CountDownTimerDeleteDlg : public CKeyFunctionDlg {
  public:
    explicit CountDownTimerDeleteDlg(QWidget* parent = nullptr);
    void Ok() override { done(QDialog::Accepted); }
};

class CountDownTimerEditDlg : public CKeyFunctionDlg {
  public:
    CountDownTimerEditDlg(ProfileStore& mirror, TimerCommandSink send, QWidget* parent = nullptr);

    // Takes a working copy of the timer list and selects the first timer.
    void Prepare();
    // A choice of the timer menu (command id = working position + 1).
    void Select(int commandId);
    void Modify();
    void Delete();
    void Ok() override;

    // Asks before a timer is deleted (the confirmation dialog by default).
    std::function<bool()> confirmDelete;

    // The selected working position, -1 when none.
    int selected() const { return selected_; }
    const std::vector<HIDMSG::_STimerSettingData>& working() const { return working_; }
    CTimerFields& fields() { return fields_; }
    widgets::CSkinMenuButton& timerButton() { return timers_; }
    widgets::CSkinButton& modifyButton() { return modify_; }
    widgets::CSkinButton& deleteButton() { return delete_; }

  private:
    void Show(int position);
    void ShowNone();

    ProfileStore& mirror_;
    TimerCommandSink send_;
    widgets::CSkinMenuButton timers_;
    CTimerFields fields_;
    widgets::CSkinButton modify_, delete_;
    CountDownTimerDeleteDlg confirm_;
    std::vector<HIDMSG::_STimerSettingData> working_;
    std::vector<HIDMSG::_STimerSettingData> changed_, deleted_;
    int selected_ = -1;
};

}  // namespace vyre
