#pragma once
// CVyreMKConfigDlg, the Config's main dialog: five page tabs, the profile bar
// (five profile slots with their names and desktop profile markers), the
// profile file buttons, the quick help line, and OK, APPLY, CANCEL, close and
// minimise. Pages edit the store mirror; OK and APPLY send it all.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "config/frame/data_work.h"
#include "config/frame/language.h"
#include "config/frame/main_ctrl_dlg.h"
#include "config/trophies/stats_trophies_dlg.h"
#include "config/trophies/update_support_dlg.h"
#include "platform/shell_link.h"
#include "config/lights/illumination_dlg.h"
#include "config/keys/key_assignment_dlg.h"
#include "platform/window.h"
#include "widgets/bitmap_dialog.h"
#include "widgets/controls.h"
#include "widgets/skin_button.h"

namespace vyre {

inline constexpr int kPageCount = 5;
enum Page { kPageMainControl = 0, kPageKeys, kPageIllumination, kPageStatistics, kPageSupport };

class CVyreMKConfigDlg : public widgets::CBitmapDialog, public widgets::QuickHelpReceiver {
  public:
    explicit CVyreMKConfigDlg(ConfigShared& shared, QWidget* parent = nullptr);
    ~CVyreMKConfigDlg() override;
    // Tells the user, once, that the Monitor found the settings file damaged
    // (when it did); the popup comes after what the dialog is doing now.
    void TellOfDamagedSettings();

    // The initialisation: labels, pages, profile bar, model layout, centring.
    void Initialise();

    // --- what the controls do (also for tests) --------------------------------
    void SelectProfile(int profile);
    void MarkerClicked(int profile);
    // A click on a desktop profile marker (the button toggles, then acts).
    void ClickMarker(int profile) { markers_[profile]->click(); }
    void ShowPage(int page);
    void Ok();
    void Apply();
    void Cancel();
    bool SaveProfileTo(const std::string& path);  // the current profile
    // Create and Edit Profile's file: the current profile, named after `name`.
    bool SaveNamedProfile(const QString& name);
    bool LoadProfileFrom(const std::string& path);
    void StartPageHandling(bool flag);
    // The quick help language (message 1039): button, stored choice, help texts.
    void ApplyLanguage(int index);
    // The quick help of a control the pointer entered (true) or left (message 1028).
    void QuickHelp(int helpId, bool entered) override;
    QString QuickHelpText(int helpId) const override;

    // Asks whether profile n becomes the desktop profile (a popup by default).
    std::function<bool(int)> confirmDesktopProfile;

    int currentPage() const { return currentPage_; }
    int modelFlag() const;
    bool pageTabVisible(int page) const { return tabs_[page]->isVisible(); }
    QString versionText() const { return version_->text(); }
    QString firmwareText() const { return firmware_->text(); }
    // Busy waits (dialog order 30) begun and ended.
    int busyWaitsBegun() const { return busyWaitsBegun_; }
    int busyWaitsEnded() const { return busyWaitsEnded_; }
    // APPLY's full uploads not yet handed over (the wait cursor shows meanwhile).
    int appliesPending() const { return appliesPending_; }
    QString nameText(int p) const { return names_[p]->text(); }
    bool markerDown(int p) const { return markers_[p]->isChecked(); }
    bool slotSelected(int p) const { return slots_[p]->isChecked(); }
    QString quickHelpText() const { return quickHelp_->text(); }
    int shownHelpId() const { return shownHelp_; }
    std::size_t helpLineCount() const { return helpTexts_.size(); }
    CLanguageMenuBtn& languageButton() { return *language_; }
    CMainCtrlDlg& mainControlPage() { return *mainCtrl_; }
    CStatsTrophiesDlg& statisticsPage() { return *stats_; }
    CUpdateSuPportDlg& supportPage() { return *support_; }
    CKeyIlluminationDlg& illuminationPage() { return *illumination_; }
    CKeyAssignmentDlg& keyAssignmentPage() { return *keys_; }

    // --- the user's work and the failures told (config_dlg_ends.cpp) ----------
    // Settings edited here that the Monitor does not have yet.
    bool HasUnappliedEdits() const;
    // A way out other than OK and CANCEL (Escape, the close box, the window
    // manager's close): with edits not applied, asks first.
    void Leave();
    enum class Unapplied { Apply, Discard, Stay };
    // The question of Leave (the kit's popup by default).
    std::function<Unapplied()> askUnapplied;
    // The Config must end for `reason` (EndReason): unapplied edits are kept
    // for the next start, the user is told why, the dialog ends.
    void EndTelling(int reason);
    // Settings the keyboard did not take, told once per APPLY (notice 46).
    void NotWritten(std::uint16_t command, unsigned profiles);
    int notWrittenTold() const { return notWrittenTold_; }
    // Edits kept by a Config that had to end are offered back (at the start).
    void OfferRecovery();
    // The question of OfferRecovery: true takes them back (a popup by default).
    std::function<bool()> askRecovery;

    // Escape and the window manager's close: Leave.
    void reject() override { Leave(); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // Ctrl+Tab and Ctrl+PageDown show the next page, Ctrl+Shift+Tab and
    // Ctrl+PageUp the one before.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void OnNotice(unsigned code, win::LPARAM lParam);
    void OnOrder(unsigned code, win::LPARAM lParam);
    void ReloadNames();
    void SetMarkers();
    void ApplyModelLayout();
    void CreateOrEditProfile(bool edit);
    void SaveProfileDialog();
    void LoadProfileDialog();
    void SetFirmwareLabel();
    void CloseLanguageMenu();
    void RedrawAfterReset();
    void BusyWait();
    void ShowAgain();
    void ApplyHandedOver(int count);
    void TellNotWritten();
    void TellNoMonitor();
    bool KeepForRecovery();

    ConfigShared& shared_;
    win::Window messages_;  // the dialog's handle for the link window's notices and orders
    std::array<widgets::CSkinButton*, kPageCount> tabs_{};
    std::array<QWidget*, kPageCount> pages_{};
    std::array<widgets::CSkinButton*, kProfileCount> slots_{};
    std::array<widgets::CSkinButton*, kProfileCount> markers_{};
    std::array<widgets::CSkinLabel*, kProfileCount> names_{};
    QLabel* version_ = nullptr;
    QLabel* firmware_ = nullptr;
    QLabel* quickHelp_ = nullptr;
    CLanguageMenuBtn* language_ = nullptr;
    CMainCtrlDlg* mainCtrl_ = nullptr;
    CStatsTrophiesDlg* stats_ = nullptr;
    CUpdateSuPportDlg* support_ = nullptr;
    CKeyIlluminationDlg* illumination_ = nullptr;
    CKeyAssignmentDlg* keys_ = nullptr;
    std::vector<std::u16string> helpTexts_;  // line k shows for help id k + 1
    int shownHelp_ = 0;
    int currentPage_ = kPageMainControl;
    bool hiddenNotReady_ = false;  // hidden by dialog notice 16 until the next dump
    int busyWaitsBegun_ = 0;
    int busyWaitsEnded_ = 0;
    int appliesPending_ = 0;
    bool closeAfterUpload_ = false;  // OK waits for an upload to a Monitor found anew
    std::map<std::uint16_t, unsigned> notWritten_;  // since the last APPLY, not yet told
    bool notWrittenSinceApply_ = false;
    int notWrittenTold_ = 0;
    QTimer* notWrittenTimer_ = nullptr;
};

// The profile name and program links of the current profile (template 108),
// a skinned dialog with its close box.
class CCreateEditGameProfileDlg : public widgets::CBitmapDialog {
  public:
    CCreateEditGameProfileDlg(ProfileStore& mirror, bool emptyPrograms, QWidget* parent = nullptr);
    // OK: an empty name keeps the dialog open; otherwise the name and the
    // three programs go into the mirror's current profile.
    bool TakeInput();
    QString name() const;
    void SetProgram(int i, const QString& path);

  private:
    ProfileStore& mirror_;
    QLineEdit* name_ = nullptr;
    std::array<QLineEdit*, 3> programs_{};
};

// The profile file of a profile name, always inside the Config folder: path
// separators and leading dots become '_' (no name climbs out of the folder or
// hides its file); every other character stays, so names in any language keep
// their text.
std::filesystem::path ProfileFileOfName(const QString& name);

using platform::ResolveLinkedProgram;
using platform::ResolveProgramFile;

}  // namespace vyre
