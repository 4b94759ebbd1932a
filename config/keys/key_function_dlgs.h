#pragma once
// The key function dialogs the key assignment page opens: the shortcut
// dialog (AssignShortcutDlg), the quick launch dialog (QuickLunchDlg), the
// media player dialog (MediaCtrlDlg) and the remap dialog (MapRenameDlg).
// Each works on the Config's copy of the current profile; a dialog that is
// cancelled or closed writes nothing. The shortcut and remap dialogs capture
// the keys pressed while they are open (platform/hook.h).

#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/key_functions.h"
#include "common/key_table.h"
#include "common/profile_store.h"
#include "common/scan_codes.h"
#include "platform/hook.h"
#include "widgets/bitmap_dialog.h"
#include "widgets/controls.h"

namespace vyre {

// Control ids of the dialogs (also their quick help lines, config/frame/help_ids.h).
namespace key_dlg {
inline constexpr int kOk = 134;
inline constexpr int kCancel = 133;
inline constexpr int kClose = 132;
// Face and second bitmaps.
inline constexpr int kShortcutFace = 3970;
inline constexpr int kQuickLaunchFace = 3972;
inline constexpr int kMediaFace = 3974;
inline constexpr int kRemapFace = 3976;
// The media player menu's command ids, in the order of the stored values 0..3.
inline constexpr std::array<int, 4> kPlayerCommands = {32840, 32841, 32842, 32843};
inline constexpr std::array<const char*, 4> kPlayerNames = {"Windows Media Player", "iTunes",
                                                            "VLC Media Player", "Winamp"};
// Layer buttons of the key assignment page.
inline constexpr int kPrimaryButton = 1017;
inline constexpr int kSecondaryButton = 1018;
}  // namespace key_dlg

// The name shown for a captured key: the desktop's name of its scan code and
// low flag bits; without one "Right Shift" for scan code 0x36, else the key
// table name of its usage. `names` may be null.
std::u16string CapturedKeyName(const platform::HookKey& key, const KeyNameProvider* names);

// The frame the four dialogs share: face, OK, CANCEL, close, placement.
class CKeyFunctionDlg : public widgets::CBitmapDialog {
  public:
    CKeyFunctionDlg(int faceId, QWidget* parent);
    // Centres the dialog on the page's screen rectangle; `below` puts it at
    // the page's lower edge instead (the shortcut dialog).
    void PlaceRelativeTo(const QRect& page, bool below = false);
    widgets::CSkinButton& okButton() { return ok_; }
    widgets::CSkinButton& cancelButton() { return cancel_; }
    widgets::CSkinButton& closeButton() { return close_; }
    virtual void Ok() = 0;
    // Cancel and close: nothing is written.
    virtual void Cancel() { done(QDialog::Rejected); }

  protected:
    void reject() override { Cancel(); }

  private:
    widgets::CSkinButton ok_, cancel_, close_;
};

// The shortcut dialog: the key pressed while it is open, with the ticked modifiers.
class AssignShortcutDlg : public CKeyFunctionDlg {
  public:
    explicit AssignShortcutDlg(const KeyNameProvider* names, QWidget* parent = nullptr);

    // Clears the last result, key and modifier ticks; call before each opening.
    void Prepare();
    void Ok() override;
    void Cancel() override;
    // A captured key (the capture's handler; tests call it too).
    void OnKey(const platform::HookKey& key);

    // After OK: the entry [184, modifier bits, usage] and the dialog's text.
    FunctionEntry entry() const { return entry_; }
    const std::u16string& text() const { return text_; }

    widgets::CSkinCheckBox& lockBox() { return lock_; }
    widgets::CSkinCheckBox& shiftBox() { return shift_; }
    widgets::CSkinCheckBox& ctrlBox() { return ctrl_; }
    widgets::CSkinCheckBox& winBox() { return win_; }
    widgets::CSkinCheckBox& altBox() { return alt_; }
    widgets::CSkinEdit& keyEdit() { return key_; }
    platform::KeyCapture& capture() { return capture_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void SetLock(bool on);

    const KeyNameProvider* names_;
    widgets::CSkinCheckBox lock_, shift_, ctrl_, win_, alt_;
    widgets::CSkinEdit key_;
    std::uint8_t usage_ = 0;
    std::uint8_t held_ = 0;  // the modifier bits of the modifier keys held now
    FunctionEntry entry_;
    std::u16string text_;
    platform::KeyCapture capture_;
};

// The quick launch dialog: the program a key starts, kept in the current
// profile's launch path of the key's function slot.
class QuickLunchDlg : public CKeyFunctionDlg {
  public:
    explicit QuickLunchDlg(ProfileStore& mirror, QWidget* parent = nullptr);

    // Sets up an opening for a key: the page's layer button (1017 primary,
    // 1018 secondary), the key's group, its position in the group list and
    // its key index. Clears the record and the edit.
    void Prepare(int layerButton, KeyGroup group, int position, int keyIndex);
    void Browse();
    void Ok() override;

    // Chooses the program file; empty when the choice is cancelled. A file
    // dialog by default.
    std::function<QString()> chooseFile;

    // The record's display name after OK (the page shows it).
    std::u16string displayName() const { return record_.displayName.str(); }
    // The function slot the record goes to; none for a key without launch data.
    std::optional<int> slot() const { return slot_; }
    widgets::CSkinEdit& pathEdit() { return path_; }

  private:
    void TakePath(const std::string& path);

    ProfileStore& mirror_;
    widgets::CSkinEdit path_;
    widgets::CSkinButton browse_;
    KeyLaunchPath record_{};
    std::optional<int> slot_;
};

// The display name of a launch path: the text after the last folder
// separator, cut to the 49 characters the record holds.
std::u16string LaunchDisplayName(std::u16string_view path);

// The media player dialog: the player the current profile's media keys drive.
class MediaCtrlDlg : public CKeyFunctionDlg {
  public:
    explicit MediaCtrlDlg(ProfileStore& mirror, QWidget* parent = nullptr);

    // Shows the current profile's player.
    void Prepare();
    // A menu choice (command id 32840..32843).
    void Choose(int commandId);
    void Ok() override;

    int chosen() const { return chosen_; }
    widgets::CSkinMenuButton& playerButton() { return player_; }

  private:
    ProfileStore& mirror_;
    widgets::CSkinMenuButton player_;
    int chosen_ = 0;
};

// The remap dialog: the target key takes the usage of the key pressed, and
// the key that sent that usage takes the target's old one, so that every
// usage stays sent by exactly one key.
class MapRenameDlg : public CKeyFunctionDlg {
  public:
    MapRenameDlg(ProfileStore& mirror, const KeyNameProvider* names, QWidget* parent = nullptr);

    // Takes the working copy of the five keys-primary records for a target key (0..119).
    void Prepare(int keyIndex);
    void OnKey(const platform::HookKey& key);
    void Ok() override;
    void Cancel() override;

    // The captured key's name (the page shows it on the primary button after OK).
    std::u16string keyName() const { return key_.text().toStdU16String(); }
    std::uint8_t capturedUsage() const { return usage_; }
    widgets::CSkinEdit& keyEdit() { return key_; }
    platform::KeyCapture& capture() { return capture_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    ProfileStore& mirror_;
    const KeyNameProvider* names_;
    widgets::CSkinEdit key_;
    std::uint8_t working_[kProfileCount][report::kKeyRemapLength] = {};
    int target_ = -1;
    std::uint8_t oldUsage_ = 0;
    std::uint8_t usage_ = 0;
    std::optional<int> producer_;  // the key that sends the captured usage now
    platform::KeyCapture capture_;
};

}  // namespace vyre
