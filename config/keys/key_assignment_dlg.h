#pragma once
// CKeyAssignmentDlg, the key assignment page: the keyboard picture of the
// keyboard's layout, the three key groups (normal, function and thumb keys)
// with the inactive ones greyed, the two arrows that step through the groups,
// and the primary and secondary function buttons, each with the dark menu of
// the current group and layer. A menu choice writes the selected key's
// function entry (and its per-slot data) into the current profile of the
// store mirror; the main dialog's OK or APPLY sends it.

#include <QLabel>
#include <QMenu>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "common/key_catalogue.h"
#include "common/profile_store.h"
#include "config/keys/key_function_dlgs.h"
#include "config/keys/timer_dlgs.h"
#include "widgets/controls.h"
#include "widgets/keyboard_picture.h"

namespace vyre {

namespace key_page {
// The five context menus.
inline constexpr int kMenuNormalPrimary = 2409;
inline constexpr int kMenuNormalSecondary = 2202;
inline constexpr int kMenuFunctionKeys = 2201;
inline constexpr int kMenuThumbPrimary = 2199;
inline constexpr int kMenuThumbSecondary = 2415;
// Kinds of dynamic submenus.
inline constexpr int kKindMacros = 0x2E00;
inline constexpr int kKindTimers = 0x2F00;
inline constexpr int kKindTalk = 0x2900;
inline constexpr int kKindLightMacros = 0x1F00;
// First command id of each kind of dynamic item.
inline constexpr int kFirstTimerItem = 60;
inline constexpr int kFirstMacroGroupItem = 250;
inline constexpr int kFirstMacroItem = 350;
inline constexpr int kFirstTalkItem = 1500;
inline constexpr int kFirstLightMacroGroupItem = 3000;
inline constexpr int kFirstLightMacroItem = 3100;
// Controls.
inline constexpr int kPrimaryButton = 1017;
inline constexpr int kSecondaryButton = 1018;
inline constexpr int kPreviousGroupArrow = 152;
inline constexpr int kNextGroupArrow = 153;
inline constexpr int kMacroButton = 1014;
// The talk entries of thumb keys 1..3 in a profile's talk commands.
inline constexpr int kThumbTalkEntry = 5;
}  // namespace key_page

// What one dynamic menu item stands for.
struct _SMenuCommand {
    std::uint32_t index = 0;  // of the timer, macro (group), light macro (group) or talk device
    std::uint8_t code = 0;    // the key-function code of the item
    std::uint32_t deviceKey = 0;  // talk items: the device's record key
    std::u16string text;          // talk items: the item's text
};

class MacroManagerDlg;
class IllMacroManagerDlg;
using MacroLinkSender = std::function<void(unsigned code, const void* record)>;

class CKeyAssignmentDlg : public QWidget {
  public:
    CKeyAssignmentDlg(ProfileStore& mirror, QWidget* parent = nullptr);
    ~CKeyAssignmentDlg() override;

    // Builds the page for the mirror's model flag and layout code: key
    // positions, menus and their dynamic submenus; group 1 with "~" selected.
    void Initialise();
    // The model flag or layout code changed: place the keys and build the menus again.
    void ApplyModel();

    // Shows a key (message 1025: mode 255 from an active key, 240 from a
    // greyed one; 0 after a profile change or new data).
    void ShowKey(int keyIndex, int mode);
    // Shows the selected key's functions of the current profile again; with
    // `rebuildMacros` the macro submenus are built again first.
    void Refresh(bool rebuildMacros = false);
    // Builds the dynamic submenus of a kind again (key_page::kKind...).
    void RebuildSubmenu(int kind);

    void SwitchGroup(KeyGroup group);
    void NextGroup();
    void PreviousGroup();

    // A menu command chosen on the primary or the secondary button.
    void ChooseMenuItem(int id, Layer layer);

    // The item handlers that open a dialog. Each returns whether the dialog
    // ended with OK; until their dialogs exist they log and open nothing.
    // The shortcut dialog fills `entry` (code 184, modifiers, usage) on OK.
    bool OpenShortcutDialog(int keyIndex, Layer layer, FunctionEntry& entry);
    // The quick launch dialog stores the program for the key's slot on OK.
    bool OpenQuickLaunchDialog(int keyIndex, Layer layer);
    void OpenMediaPlayerDialog();
    // The remap dialog writes the keys-primary record on OK.
    bool OpenRemapDialog(int keyIndex);
    bool OpenCreateTimerDialog();
    bool OpenEditTimerDialog();
    // The macro manager, on a macro group (-1: none) with a macro
    // preselected (-1: none).
    bool OpenMacroManager(int group, int macro);
    // The light macro editor on a light macro group (-1: none).
    bool OpenLightMacroEditor(int group);
    // How the macro editors' OK sends its records to the Monitor.
    void SetMacroLink(MacroLinkSender send);
    // After OK of the light macro editor, for the other pages' light macro menus.
    std::function<void()> onLightMacrosChanged;
    // The page's macro manager and light macro editor (made on first use).
    MacroManagerDlg& macroManager();
    IllMacroManagerDlg& lightMacroEditor();

    // --- what it shows (also for tests) -----------------------------------------------
    KeyGroup currentGroup() const { return group_; }
    int selectedKey() const { return selectedKey_; }
    int layoutCode() const { return layoutCode_; }
    int modelFlag() const { return model_; }
    QString primaryText() const { return primary_->text(); }
    QString secondaryText() const { return secondary_->text(); }
    widgets::CSkinMenuButton& primaryButton() { return *primary_; }
    widgets::CSkinMenuButton& secondaryButton() { return *secondary_; }
    // The menu of a group and layer, and its resource id.
    QMenu& menuOf(KeyGroup group, Layer layer);
    int menuIdOf(KeyGroup group, Layer layer) const;
    widgets::CKeyboardPicture& picture() { return *picture_; }
    // The picture of the selected key, and the two-state picture of a thumb key.
    widgets::CKeyBoardBtn& enlargedKey() { return *enlarged_; }
    widgets::CKeyBoardBtn& thumbPicture() { return *thumbPicture_; }
    // The record of a dynamic item; nullptr for other ids.
    const _SMenuCommand* menuCommand(int id) const;
    // The text shown for an entry of a key on a layer of the current profile.
    QString FunctionText(int keyIndex, Layer layer, FunctionEntry entry) const;

    // Where the timer dialogs send their commands (none: nowhere).
    void SetTimerCommands(TimerCommandSink send) { timerCommands_ = std::move(send); }
    // Runs a dialog the page opens and returns its result: modal by default;
    // tests answer the dialogs themselves.
    std::function<int(QDialog&)> runDialog;

    // The operating system's key names (none: the key table's names).
    void SetKeyNames(const KeyNameProvider* names) { keyNames_ = names; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct MenuSet {
        QMenu* menu = nullptr;
        int resourceId = 0;
        Layer layer = Layer::Primary;
        std::map<int, QMenu*> dynamic;  // kind -> the submenu standing for it
    };

    int profile() const;
    MenuSet& SetOf(KeyGroup group, Layer layer);
    void BuildMenus();
    void BuildMenu(MenuSet& set);
    QAction* AddItem(QMenu& into, int id, const QString& text, Layer layer);
    QMenu* AddPlaceholder(MenuSet& set, int kind, const QString& title);
    QMenu* BuildSubmenu(int kind, Layer layer, QWidget* parent);
    void ForgetItems(int kind);
    void ShowFunctions();
    void CheckAssignedItems(Layer layer, FunctionEntry entry);
    void MarkAssignedKeys();
    void WriteEntry(Layer layer, FunctionEntry entry);
    std::optional<int> SlotOf(int keyIndex, Layer layer) const;
    void ChooseDynamicItem(const _SMenuCommand& item, Layer layer);
    void LogNoDialogYet(const char* what) const;
    int RunDialog(CKeyFunctionDlg& dialog, bool below);
    void SendTimerCommand(std::uint16_t code, const HIDMSG::_STimerSettingData& record);

    ProfileStore& mirror_;
    const KeyNameProvider* keyNames_ = nullptr;
    int model_ = 0;
    int layoutCode_ = 0;
    KeyGroup group_ = KeyGroup::Normal;
    int selectedKey_ = 12;  // "~"
    widgets::CKeyboardPicture* picture_ = nullptr;
    widgets::CSkinMenuButton* primary_ = nullptr;
    widgets::CSkinMenuButton* secondary_ = nullptr;
    widgets::CSkinButton* previous_ = nullptr;
    widgets::CSkinButton* next_ = nullptr;
    widgets::CSkinButton* macro_ = nullptr;
    QLabel* groupCaption_ = nullptr;
    widgets::CKeyBoardBtn* enlarged_ = nullptr;  // the selected key, drawn large
    widgets::CKeyBoardBtn* thumbPicture_ = nullptr;  // thumb keys 2 (on) and 3 (off)
    std::array<MenuSet, 6> menus_{};  // by (group - 1) * 2 + layer
    std::map<int, _SMenuCommand> menuCommands_;
    TimerCommandSink timerCommands_;
    // The dialogs, made on first use and kept.
    std::unique_ptr<AssignShortcutDlg> shortcut_;
    std::unique_ptr<QuickLunchDlg> quickLaunch_;
    std::unique_ptr<MediaCtrlDlg> media_;
    std::unique_ptr<MapRenameDlg> remap_;
    std::unique_ptr<CountdownTimerDlg> createTimer_;
    std::unique_ptr<CountDownTimerEditDlg> editTimer_;
    MacroLinkSender macroLink_;
    std::unique_ptr<MacroManagerDlg> macroManager_;
    std::unique_ptr<IllMacroManagerDlg> lightEditor_;
};

}  // namespace vyre
