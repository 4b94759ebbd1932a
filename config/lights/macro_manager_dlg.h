#pragma once
// MacroManagerDlg, the editor of the macro library, and IllMacroManagerDlg,
// the same editor for the light macro library; MacroCreateDlg asks for the
// name of a new macro set and MacroPopDlg shows the editors' notes and
// confirmations.
//
// The editor works on a copy of the library; OK sends every change as one
// record each, in order, and makes the copy the new library; CANCEL and the
// close box throw the copy away.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/frame/data_work.h"
#include "config/lights/macro_model.h"
#include "widgets/bitmap_dialog.h"
#include "widgets/controls.h"
#include "widgets/popup_dlg.h"
#include "widgets/skin_button.h"

namespace vyre {

namespace macro_ids {
// Controls.
inline constexpr int kClose = 132;
inline constexpr int kOk = 134;
inline constexpr int kCancel = 133;
inline constexpr int kMacroList = 2310;
inline constexpr int kSequenceList = 2311;
inline constexpr int kNew = 2312;
inline constexpr int kRecord = 2313;
inline constexpr int kRecordDelays = 2314;
inline constexpr int kRepeat = 2315;
inline constexpr int kLoops = 2316;
inline constexpr int kSetBox = 2317;
inline constexpr int kSendDefaultAction = 2318;
inline constexpr int kDeleteMacro = 2319;
inline constexpr int kSetNameEdit = 2400;
// The set box's menu.
inline constexpr int kAddSet = 32909;
inline constexpr int kDeleteSet = 32910;
// The sequence list's menu.
inline constexpr int kRecordBefore = 32895;
inline constexpr int kRecordAfter = 32896;
inline constexpr int kInsertDelay = 32897;
inline constexpr int kLeftDown = 32898;   // Up 32899, Click 32900
inline constexpr int kRightDown = 32901;  // Up 32902, Click 32903
inline constexpr int kWheelDown = 32904;  // Up 32905, Click 32906
inline constexpr int kEditDelay = 32907;
inline constexpr int kDeleteRow = 32908;
inline constexpr int kLedOn = 32885;
inline constexpr int kLedOff = 32886;
}  // namespace macro_ids

// The notes and confirmations of the editors.
enum class MacroNote {
    SelectNew,           // record, record delays, repeat or flag with no macro
    SelectSet,           // "NEW" with no set
    SelectToDelete,      // "DELETE" or "[X]Delete Macro Set" with nothing chosen
    ConfirmDeleteMacro,  // asks
    ConfirmDeleteSet,    // asks
    MacroFull,           // 480 steps
    LoopsBounded,        // the loops box was out of 1..255
};
bool NoteAsks(MacroNote note);
// The face bitmap of a note.
int NoteFace(MacroNote note);

class MacroPopDlg : public widgets::CPopupDlg {
  public:
    MacroPopDlg(MacroNote note, QWidget* owner);
};

// The name of a new macro set. `accept` decides whether OK may end the dialog.
class MacroCreateDlg : public widgets::CBitmapDialog {
  public:
    MacroCreateDlg(std::function<bool(const std::u16string&)> accept, QWidget* opener);
    QLineEdit& nameEdit() { return *edit_; }
    // OK: ends the dialog when the name is accepted; false (still open) otherwise.
    bool TryOk();
    std::u16string name() const;
    widgets::CPushDownBtn& okButton() { return ok_; }

  private:
    std::function<bool(const std::u16string&)> accept_;
    QLineEdit* edit_ = nullptr;
    widgets::CPushDownBtn close_, ok_, cancel_;
};

// Where recorded keys come from while recording: the platform's key capture,
// which withholds every key from other programs until released.
class MacroKeyCapture {
  public:
    using Sink = std::function<void(const macros::CapturedKey&, bool down, std::uint64_t ms)>;
    virtual ~MacroKeyCapture() = default;
    virtual bool Start(Sink sink) = 0;
    virtual void Stop() = 0;
};

// How OK hands a record to the link: a link request code (27, 28, 31, 32) and the record.
using MacroLinkSender = std::function<void(unsigned code, const void* record)>;

class MacroManagerDlg : public widgets::CBitmapDialog, public widgets::QuickHelpReceiver {
  public:
    MacroManagerDlg(ConfigShared& shared, macros::Flavour flavour, QWidget* opener = nullptr);
    MacroManagerDlg(ProfileStore& mirror, MacroLinkSender send, macros::Flavour flavour,
                    QWidget* opener = nullptr);
    // The requests to the Config's link window.
    static MacroLinkSender LinkSender(ConfigShared& shared);
    ~MacroManagerDlg() override;

    // What the opener may preselect (both -1 after every closing).
    void Preselect(int setMenuPosition, int macroRow);
    // Runs the editor modally: QDialog::Accepted after OK.
    int Open();
    // The opening steps without running (tests, screenshots).
    void Prepare();

    // Asks a note (true for OK); a popup by default.
    std::function<bool(MacroNote)> note;
    // Asks for a new set's name; MacroCreateDlg by default.
    std::function<std::optional<std::u16string>()> askSetName;
    // After OK, for the opener to rebuild its menus.
    std::function<void()> onAccepted;
    // The platform's key capture by default.
    void SetKeyCapture(std::unique_ptr<MacroKeyCapture> capture);
    // The desktop's key names by default; null for the key table's names.
    void SetKeyNames(const KeyNameProvider* names);
    // A key as the platform's capture would take it (while recording).
    void InjectKey(int evdevCode, bool down, std::uint32_t ms);
    // True while the platform's capture holds the keys.
    bool keysCaptured() const;

    // --- what the controls do (also for tests) -------------------------------------------
    void ChooseSetItem(int menuId);
    void AddSet();
    void DeleteSet();
    void NewMacro();
    void BeginRename(int row);
    // Ends the macro list's in-place edit with a name: false when refused
    // (the edit stays open).
    bool CommitName(const std::u16string& name);
    void CancelNameEdit();
    void SelectMacroRow(int row);
    void DeleteMacro();
    void RecordButton();
    void RecordDelaysBox(bool on);
    void RepeatBox(bool on);
    void LoopsEdited(const QString& text);
    void SendDefaultActionBox(bool on);
    void SelectSequenceRow(int row);
    void ChooseSequenceItem(int id);
    // Ends the in-place edit of a delay row.
    void CommitDelay(const QString& text);
    void DeleteKey();
    // A captured key (the hook's messages 0x8016 and 0x8017).
    void HookKey(const macros::CapturedKey& key, bool down, std::uint64_t ms);
    // OK and CANCEL (the close box is CANCEL).
    void Ok();
    void Cancel();
    // Stops a recording in progress and keeps what it recorded.
    void StopRecordingAndSave();
    void QuickHelp(int helpId, bool entered) override;

    // --- what it shows ---------------------------------------------------------------------
    macros::Flavour flavour() const { return flavour_; }
    bool recording() const { return recorder_.recording(); }
    int currentSet() const { return currentSet_; }
    int currentMacroKey() const { return currentMacro_; }
    const macros::MacroLibraryCopy& copy() const { return copy_; }
    const macros::MacroSequence& sequence() const { return sequence_; }
    QStringList macroNames() const;
    QStringList sequenceTexts() const;
    QString setBoxText() const { return setBox_->text(); }
    QString loopsText() const { return loops_->text(); }
    bool repeatTicked() const { return repeat_->isChecked(); }
    bool sendDefaultTicked() const { return sendDefault_->isChecked(); }
    bool recordDelaysTicked() const { return recordDelays_->isChecked(); }
    QString recordCaption() const { return record_->text(); }
    bool changedMark() const { return changed_; }
    int insertPosition() const { return recorder_.insertPosition(); }
    QMenu& setMenu() { return setBox_->menu(); }
    QMenu& sequenceMenu() { return *sequenceMenu_; }
    QListWidget& macroList() { return *macroList_; }
    QListWidget& sequenceList() { return *sequenceList_; }
    QLineEdit& loopsBox() { return *loops_; }
    QWidget& okButton() { return *ok_; }
    QWidget& newButton() { return *new_; }
    bool nameEditOpen() const { return nameEdit_->isVisible(); }
    bool delayEditOpen() const { return delayEdit_->isVisible(); }
    QLineEdit& nameEdit() { return *nameEdit_; }
    // Set menu id of the set at a menu position (-1: none).
    int SetMenuIdAt(int position) const;
    // Set menu id of a working set (-1: none).
    int SetMenuIdOf(int setKey) const;
    // Set menu id of the set of that name, else of the first set (-1: none).
    int SetMenuIdNamed(const QString& name) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::vector<HIDMSG::_SMacroGroupData>& librarySets();
    std::vector<HIDMSG::_SMacroDefaultData>& libraryMacros();
    void BuildControls();
    void BuildSequenceMenu();
    void ResetSetMenu();
    void AddSetMenuItem(int menuId, const QString& name);
    void ShowSetMacros();
    void ShowMacro();
    void ShowRows();
    void SaveMacro();
    void SaveOrMark();
    void MarkChanged() { changed_ = true; }
    void StartRecording(int insertPosition);
    void StopRecording();
    void EnableForRecording(bool recording);
    void InsertRows(int at, const std::vector<macros::SequenceRow>& rows);
    int selectedSequenceRow() const;
    void Finish(int result);
    bool Note(MacroNote n);
    bool AcceptSetName(const std::u16string& name) const;
    HIDMSG::_SMacroDefaultData* current();

    ProfileStore& mirror_;
    MacroLinkSender send_;
    macros::Flavour flavour_;
    QWidget* opener_;
    const KeyNameProvider* names_ = nullptr;
    macros::MacroLibraryCopy copy_;
    macros::MacroSequence sequence_;
    macros::MacroRecorder recorder_;
    std::unique_ptr<MacroKeyCapture> capture_;
    bool capturing_ = false;
    // Set menu: item id -> set key; the next free id.
    std::map<int, int> setItems_;
    int nextSetItem_ = 1;
    std::vector<std::u16string> openedSetNames_;  // the library's set names at opening
    int currentSet_ = -1;    // key of the current set
    int currentMacro_ = -1;  // key of the current macro
    int preselectedSet_ = -1, preselectedMacro_ = -1;
    QString lastSetShown_;  // the name of the set shown last, shown again on the next opening
    bool changed_ = false;
    bool renaming_ = false;
    int nameRow_ = -1;
    int delayRow_ = -1;
    bool finished_ = false;

    widgets::CSkinMenuButton* setBox_ = nullptr;
    widgets::CSkinList* macroList_ = nullptr;
    widgets::CSkinList* sequenceList_ = nullptr;
    QMenu* sequenceMenu_ = nullptr;
    widgets::CSkinButton* record_ = nullptr;
    widgets::CSkinCheckBox* recordDelays_ = nullptr;
    widgets::CSkinCheckBox* repeat_ = nullptr;
    widgets::CSkinEdit* loops_ = nullptr;
    widgets::CSkinCheckBox* sendDefault_ = nullptr;
    widgets::CSkinButton* new_ = nullptr;
    widgets::CSkinButton* delete_ = nullptr;
    widgets::CSkinButton* ok_ = nullptr;
    widgets::CSkinButton* cancel_ = nullptr;
    widgets::CPushDownBtn* close_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* delayEdit_ = nullptr;
    QLabel* status_ = nullptr;
};

// The light macro editor: the macro manager on the light macro library.
class IllMacroManagerDlg : public MacroManagerDlg {
  public:
    explicit IllMacroManagerDlg(ConfigShared& shared, QWidget* opener = nullptr)
        : MacroManagerDlg(shared, macros::Flavour::Light, opener) {}
    IllMacroManagerDlg(ProfileStore& mirror, MacroLinkSender send, QWidget* opener = nullptr)
        : MacroManagerDlg(mirror, std::move(send), macros::Flavour::Light, opener) {}
};

}  // namespace vyre
