#include "config/lights/macro_manager_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include <algorithm>
#include <cstring>

#include "common/link_codes.h"
#include "common/log.h"
#include "config/frame/help_ids.h"
#include "platform/hook.h"
#include "platform/key_names.h"
#include "platform/text.h"
#include "widgets/skin_art.h"

namespace vyre {
namespace {

using HIDMSG::_SKeyInfoData;
using HIDMSG::_SMacroDefaultData;
using HIDMSG::_SMacroGroupData;
using macros::Flavour;
using macros::SequenceRow;
using widgets::ControlKind;
using widgets::CSkinButton;
using widgets::CSkinCheckBox;

constexpr const char* kArea = "macros";
constexpr int kFaceKey = 3960, kFaceLight = 3961, kSecondKey = 3962, kSecondLight = 3963;
constexpr int kCreateFace = 3964, kCreateSecond = 3965, kNoteSecond = 3950;

QString Q(const std::u16string& s) {
    return QString::fromStdU16String(s);
}
std::u16string U(const QString& s) {
    return s.toStdU16String();
}

QLabel* Caption(QWidget* parent, const QRect& at, const QString& text, bool section) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(at);
    QFont f = widgets::TextFont(section ? 12 : 11, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    label->setFont(f);
    label->setStyleSheet(section ? "color: #9aa3ad; background: transparent;"
                                 : "color: #e6e9ee; background: transparent;");
    label->setWordWrap(true);
    return label;
}

// The row icons: a key going down, a key coming up, a mouse button, a delay.
QIcon RowIconOf(macros::RowIcon icon) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(widgets::colour::kAccent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (icon) {
        case macros::RowIcon::Pressed:
            p.setPen(pen);
            p.drawLine(QPointF(8, 2), QPointF(8, 12));
            p.drawPolyline(QPolygonF({QPointF(4, 8), QPointF(8, 12), QPointF(12, 8)}));
            p.drawLine(QPointF(3, 14.5), QPointF(13, 14.5));
            break;
        case macros::RowIcon::Released:
            pen.setColor(widgets::colour::kTextSecondary);
            p.setPen(pen);
            p.drawLine(QPointF(8, 14), QPointF(8, 4));
            p.drawPolyline(QPolygonF({QPointF(4, 8), QPointF(8, 4), QPointF(12, 8)}));
            p.drawLine(QPointF(3, 1.5), QPointF(13, 1.5));
            break;
        case macros::RowIcon::Mouse:
            p.setPen(pen);
            p.drawRoundedRect(QRectF(4, 1.5, 8, 13), 4, 4);
            p.drawLine(QPointF(8, 2), QPointF(8, 6));
            break;
        case macros::RowIcon::Delay:
            pen.setColor(widgets::colour::kWarning);
            p.setPen(pen);
            p.drawEllipse(QRectF(2, 2, 12, 12));
            p.drawPolyline(QPolygonF({QPointF(8, 4.5), QPointF(8, 8), QPointF(10.5, 9.5)}));
            break;
    }
    return QIcon(pixmap);
}

// The platform's key capture: while it runs every key of the desktop comes
// to the editor and to no other program.
class PlatformKeyCapture : public MacroKeyCapture {
  public:
    explicit PlatformKeyCapture(QWidget* dialog)
        : capture_(dialog, [this](const platform::HookKey& key) {
              if (sink_) sink_({key.virtualKey, key.scanCode, key.flags}, key.down, key.timeMs);
          }) {}
    bool Start(Sink sink) override {
        sink_ = std::move(sink);
        capture_.Start();
        return capture_.capturing();
    }
    void Stop() override {
        capture_.Stop();
        sink_ = nullptr;
    }
    void Inject(int evdevCode, bool down, std::uint32_t ms) { capture_.Inject(evdevCode, down, ms); }
    bool capturing() const { return capture_.capturing(); }

  private:
    platform::KeyCapture capture_;
    Sink sink_;
};

const QIcon* RowIcons() {
    static const QIcon icons[4] = {RowIconOf(macros::RowIcon::Pressed),
                                   RowIconOf(macros::RowIcon::Released),
                                   RowIconOf(macros::RowIcon::Mouse),
                                   RowIconOf(macros::RowIcon::Delay)};
    return icons;
}

}  // namespace

// ---- notes --------------------------------------------------------------------------------------

bool NoteAsks(MacroNote note) {
    return note == MacroNote::ConfirmDeleteMacro || note == MacroNote::ConfirmDeleteSet;
}

int NoteFace(MacroNote note) {
    return 3951 + static_cast<int>(note);
}

MacroPopDlg::MacroPopDlg(MacroNote note, QWidget* owner)
    : CPopupDlg(widgets::CPopupDlg::Form::Config, owner) {
    SetFaceBitmaps(NoteFace(note), kNoteSecond);
    SetTwoButtons(NoteAsks(note));
}

// ---- the set name dialog ------------------------------------------------------------------------

MacroCreateDlg::MacroCreateDlg(std::function<bool(const std::u16string&)> accept, QWidget* opener)
    : CBitmapDialog(opener), accept_(std::move(accept)), close_(this), ok_(this), cancel_(this) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    SetBitmaps(kCreateFace, kCreateSecond);
    edit_ = new widgets::CSkinEdit(this);
    edit_->setObjectName("setName");
    edit_->setGeometry(16, 110, 273, 26);
    edit_->setMaxLength(40);
    edit_->setAccessibleName("Set name");
    NameWindowButtons(close_, ok_, cancel_);
    close_.setGeometry(277, 4, 23, 21);
    close_.SetBitmaps(1005, 1004, 1006);
    ok_.setGeometry(75, 180, 52, 21);
    ok_.SetBitmaps(1011, 1010, 1012);
    cancel_.setGeometry(139, 180, 91, 21);
    cancel_.SetBitmaps(1008, 1007, 1009);
    QObject::connect(&ok_, &QAbstractButton::clicked, this, [this] { TryOk(); });
    SetEnterButton(&ok_);
    QObject::connect(&cancel_, &QAbstractButton::clicked, this, [this] { reject(); });
    QObject::connect(&close_, &QAbstractButton::clicked, this, [this] { reject(); });
    if (opener != nullptr) move(opener->mapToGlobal(QPoint(0, 0)) + QPoint(253, 103));
    edit_->setFocus();
}

std::u16string MacroCreateDlg::name() const {
    return U(edit_->text());
}

bool MacroCreateDlg::TryOk() {
    const std::u16string n = name();
    if (n.empty() || (accept_ && !accept_(n))) {
        edit_->setStyleSheet(widgets::KitStyleSheet() + "QLineEdit { border-color: #e0a422; }");
        edit_->setFocus();
        return false;
    }
    accept();
    return true;
}

// ---- the editor ---------------------------------------------------------------------------------

MacroManagerDlg::MacroManagerDlg(ConfigShared& shared, Flavour flavour, QWidget* opener)
    : MacroManagerDlg(*shared.mirror, LinkSender(shared), flavour, opener) {}

MacroLinkSender MacroManagerDlg::LinkSender(ConfigShared& shared) {
    // Each record is one synchronous request to the link window, which sends
    // it on to the Monitor before it answers.
    return [&shared](unsigned code, const void* record) {
        win::SendMessage(shared.linkWindow.load(), link::kMsgRequest, code,
                         reinterpret_cast<win::LPARAM>(record));
    };
}

MacroManagerDlg::MacroManagerDlg(ProfileStore& mirror, MacroLinkSender send, Flavour flavour,
                                 QWidget* opener)
    : CBitmapDialog(opener),
      mirror_(mirror),
      send_(std::move(send)),
      flavour_(flavour),
      opener_(opener),
      sequence_(flavour),
      recorder_(sequence_) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowTitle(flavour == Flavour::Light ? "LED MACRO MANAGER" : "MACRO MANAGER");
    setFont(widgets::TextFont(14));
    setStyleSheet(widgets::KitStyleSheet());
    SetBitmaps(flavour == Flavour::Light ? kFaceLight : kFaceKey,
               flavour == Flavour::Light ? kSecondLight : kSecondKey);
    note = [this](MacroNote n) { return MacroPopDlg(n, this).Run() == widgets::IDOK; };
    askSetName = [this]() -> std::optional<std::u16string> {
        MacroCreateDlg create([this](const std::u16string& n) { return AcceptSetName(n); }, this);
        if (create.exec() != QDialog::Accepted) return std::nullopt;
        return create.name();
    };
    BuildControls();
    capture_ = std::make_unique<PlatformKeyCapture>(this);
    SetKeyNames(&platform::DesktopKeyNames());
}

MacroManagerDlg::~MacroManagerDlg() {
    // The capture is never left behind, whatever ends the editor.
    if (recorder_.recording()) StopRecording();
    if (capturing_ && capture_) capture_->Stop();
}

std::vector<_SMacroGroupData>& MacroManagerDlg::librarySets() {
    return flavour_ == Flavour::Light ? mirror_.lightMacroSets : mirror_.macroSets;
}
std::vector<_SMacroDefaultData>& MacroManagerDlg::libraryMacros() {
    return flavour_ == Flavour::Light ? mirror_.lightMacros : mirror_.macros;
}

void MacroManagerDlg::SetKeyCapture(std::unique_ptr<MacroKeyCapture> capture) {
    if (capturing_ && capture_) capture_->Stop();
    capturing_ = false;
    capture_ = std::move(capture);
}

void MacroManagerDlg::InjectKey(int evdevCode, bool down, std::uint32_t ms) {
    if (auto* capture = dynamic_cast<PlatformKeyCapture*>(capture_.get()))
        capture->Inject(evdevCode, down, ms);
}

bool MacroManagerDlg::keysCaptured() const {
    auto* capture = dynamic_cast<const PlatformKeyCapture*>(capture_.get());
    return capture != nullptr && capture->capturing();
}

void MacroManagerDlg::SetKeyNames(const KeyNameProvider* names) {
    names_ = names;
    sequence_ = macros::MacroSequence(flavour_, names);
}

void MacroManagerDlg::BuildControls() {
    using namespace macro_ids;
    const bool light = flavour_ == Flavour::Light;
    close_ = new widgets::CPushDownBtn(this);
    close_->setGeometry(687, 6, 23, 21);
    close_->SetBitmaps(1005, 1004, 1006);
    close_->setAccessibleName("Close");
    QObject::connect(close_, &QAbstractButton::clicked, this, [this] { Cancel(); });

    Caption(this, QRect(16, 48, 220, 18), "MACRO SELECT", true);
    setBox_ = new widgets::CSkinMenuButton("", this);
    setBox_->setGeometry(16, 70, 220, 28);
    setBox_->setHelpId(help::kMacroSetBox);
    setBox_->SetLabel("Macro set");
    setBox_->onChosen = [this](int id) { ChooseSetItem(id); };

    macroList_ = new widgets::CSkinList(this);
    macroList_->setGeometry(16, 106, 220, 306);
    macroList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    macroList_->setHelpId(help::kMacroList);
    macroList_->setAccessibleName("Macros");
    QObject::connect(macroList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && !nameEditOpen()) SelectMacroRow(row);
    });
    QObject::connect(macroList_, &QListWidget::itemDoubleClicked, this,
                     [this](QListWidgetItem* item) { BeginRename(macroList_->row(item)); });

    Caption(this, QRect(252, 48, 240, 18), "MACRO EDITOR", true);
    Caption(this, QRect(252, 72, 240, 18), "KEY PRESS SEQUENCE", false);
    sequenceList_ = new widgets::CSkinList(this);
    sequenceList_->setGeometry(252, 94, 240, 318);
    sequenceList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sequenceList_->setIconSize(QSize(16, 16));
    sequenceList_->setContextMenuPolicy(Qt::CustomContextMenu);
    sequenceList_->setHelpId(help::kMacroSequence);
    sequenceList_->setAccessibleName("Key press sequence");
    QObject::connect(sequenceList_, &QWidget::customContextMenuRequested, this,
                     [this](const QPoint& at) {
                         sequenceMenu_->popup(sequenceList_->viewport()->mapToGlobal(at));
                     });
    BuildSequenceMenu();

    Caption(this, QRect(508, 48, 192, 18), "RECORD OPTIONS", true);
    record_ = new CSkinButton(ControlKind::Push, "START RECORD", this);
    record_->setGeometry(508, 72, 192, 30);
    record_->setHelpId(help::kMacroRecord);
    QObject::connect(record_, &QAbstractButton::clicked, this, [this] { RecordButton(); });
    recordDelays_ = new CSkinCheckBox("", false, this);
    recordDelays_->setGeometry(508, 112, 18, 18);
    recordDelays_->setHelpId(help::kMacroRecordDelays);
    recordDelays_->setAccessibleName("Record delays between key commands");
    QObject::connect(recordDelays_, &QAbstractButton::clicked, this,
                     [this](bool on) { RecordDelaysBox(on); });
    Caption(this, QRect(530, 110, 170, 34), "RECORD DELAYS BETWEEN KEY COMMANDS", false);

    Caption(this, QRect(508, 168, 192, 18), "MACRO OPTIONS", true);
    repeat_ = new CSkinCheckBox("REPEAT THE MACRO", false, this);
    repeat_->setGeometry(508, 192, 192, 18);
    repeat_->setHelpId(help::kMacroRepeat);
    QObject::connect(repeat_, &QAbstractButton::clicked, this, [this](bool on) { RepeatBox(on); });
    Caption(this, QRect(508, 218, 192, 18), "NUMBER OF LOOPS (1-255)", false);
    loops_ = new widgets::CSkinEdit(this);
    loops_->setGeometry(508, 240, 64, 26);
    loops_->setMaxLength(6);
    loops_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,6}"), loops_));
    loops_->setHelpId(help::kMacroLoops);
    loops_->setAccessibleName("Number of loops");
    loops_->setEnabled(false);
    QObject::connect(loops_, &QLineEdit::editingFinished, this,
                     [this] { LoopsEdited(loops_->text()); });
    sendDefault_ = new CSkinCheckBox("SEND DEFAULT ACTION", false, this);
    sendDefault_->setGeometry(508, 280, 192, 18);
    sendDefault_->setHelpId(help::kMacroSendDefault);
    sendDefault_->setVisible(light);
    QObject::connect(sendDefault_, &QAbstractButton::clicked, this,
                     [this](bool on) { SendDefaultActionBox(on); });

    status_ = new QLabel(this);
    status_->setGeometry(508, 312, 192, 60);
    status_->setWordWrap(true);
    status_->setFont(widgets::TextFont(12));
    status_->setStyleSheet("color: #22c7e0; background: transparent;");

    new_ = new CSkinButton(ControlKind::Push, "NEW", this);
    new_->setGeometry(16, 424, 104, 30);
    new_->setHelpId(help::kMacroNew);
    QObject::connect(new_, &QAbstractButton::clicked, this, [this] { NewMacro(); });
    delete_ = new CSkinButton(ControlKind::WarningPush, "DELETE", this);
    delete_->setGeometry(132, 424, 104, 30);
    delete_->setHelpId(help::kMacroDelete);
    QObject::connect(delete_, &QAbstractButton::clicked, this, [this] { DeleteMacro(); });
    ok_ = new CSkinButton(ControlKind::Push, "OK", this);
    ok_->setGeometry(508, 424, 88, 30);
    ok_->setHelpId(help::kMacroOk);
    QObject::connect(ok_, &QAbstractButton::clicked, this, [this] { Ok(); });
    SetEnterButton(ok_);
    cancel_ = new CSkinButton(ControlKind::Push, "CANCEL", this);
    cancel_->setGeometry(604, 424, 96, 30);
    cancel_->setHelpId(help::kMacroCancel);
    QObject::connect(cancel_, &QAbstractButton::clicked, this, [this] { Cancel(); });

    // The in-place edits of the two lists.
    nameEdit_ = new widgets::CSkinEdit(macroList_->viewport());
    nameEdit_->hide();
    QObject::connect(nameEdit_, &QLineEdit::returnPressed, this,
                     [this] { CommitName(U(nameEdit_->text())); });
    // A name typed and left (a click elsewhere) is committed as with Enter.
    QObject::connect(nameEdit_, &QLineEdit::editingFinished, this, [this] {
        if (nameEditOpen()) CommitName(U(nameEdit_->text()));
    });
    nameEdit_->installEventFilter(this);
    delayEdit_ = new widgets::CSkinEdit(sequenceList_->viewport());
    delayEdit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,6}"), delayEdit_));
    delayEdit_->hide();
    QObject::connect(delayEdit_, &QLineEdit::editingFinished, this, [this] {
        if (delayEdit_->isVisible()) CommitDelay(delayEdit_->text());
    });

    // Every key going down in the editor or its controls reaches its key handler.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
    installEventFilter(this);
}

void MacroManagerDlg::BuildSequenceMenu() {
    using namespace macro_ids;
    sequenceMenu_ = new QMenu("MacroMenu", this);
    sequenceMenu_->setStyleSheet(widgets::KitStyleSheet());
    sequenceMenu_->setFont(widgets::TextFont(13));
    auto add = [this](QMenu* into, int id, const char* text) {
        QAction* a = into->addAction(text);
        a->setData(id);
        QObject::connect(a, &QAction::triggered, this, [this, id] { ChooseSequenceItem(id); });
    };
    add(sequenceMenu_, kRecordBefore, "Start Record Before");
    add(sequenceMenu_, kRecordAfter, "Start Record After");
    add(sequenceMenu_, kInsertDelay, "Insert Delay");
    if (flavour_ == Flavour::Key) {
        QMenu* mouse = sequenceMenu_->addMenu("Insert Mouse Event");
        const char* buttons[3] = {"Left Button", "Right Button", "Wheel"};
        const int first[3] = {kLeftDown, kRightDown, kWheelDown};
        for (int b = 0; b < 3; ++b) {
            QMenu* sub = mouse->addMenu(buttons[b]);
            add(sub, first[b], "Down");
            add(sub, first[b] + 1, "Up");
            add(sub, first[b] + 2, "Click");
        }
    }
    add(sequenceMenu_, kEditDelay, "Edit Delay");
    add(sequenceMenu_, kDeleteRow, "Delete");
    if (flavour_ == Flavour::Light) {
        add(sequenceMenu_, kLedOn, "LED On");
        add(sequenceMenu_, kLedOff, "LED Off");
    }
}

void MacroManagerDlg::paintEvent(QPaintEvent* event) {
    CBitmapDialog::paintEvent(event);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(widgets::colour::kBorder, 1));
    p.setBrush(widgets::colour::kPanel);
    // The three group frames behind the controls.
    for (const QRectF r : {QRectF(8.5, 42.5, 236, 376), QRectF(244.5, 42.5, 256, 376),
                           QRectF(500.5, 42.5, 208, 376)})
        p.drawRoundedRect(r, 4, 4);
    p.drawLine(QPointF(508, 158.5), QPointF(700, 158.5));
}

// ---- opening and closing ------------------------------------------------------------------------

void MacroManagerDlg::Preselect(int setMenuPosition, int macroRow) {
    preselectedSet_ = setMenuPosition;
    preselectedMacro_ = macroRow;
}

void MacroManagerDlg::ResetSetMenu() {
    using namespace macro_ids;
    QMenu& menu = setBox_->menu();
    menu.clear();
    menu.addSeparator();
    setBox_->AddItem(menu, kAddSet, "[+]Add Macro Set");
    setBox_->AddItem(menu, kDeleteSet, "[X]Delete Macro Set");
    // Commands, not choices: they never carry the check mark.
    for (QAction* a : menu.actions()) a->setCheckable(false);
    setItems_.clear();
    nextSetItem_ = 1;
}

void MacroManagerDlg::AddSetMenuItem(int menuId, const QString& name) {
    QMenu& menu = setBox_->menu();
    // Just above the separator that stands before "[+]Add Macro Set".
    const QList<QAction*> actions = menu.actions();
    int separator = 0;
    for (int i = 0; i < actions.size(); ++i) {
        if (actions[i]->data().toInt() == macro_ids::kAddSet) separator = i - 1;
    }
    QAction* before = actions.value(separator, nullptr);
    QAction* above = separator > 0 ? actions[separator - 1] : nullptr;
    // The sets of the other programs stand apart from the user's own.
    if (above != nullptr && !above->isSeparator() &&
        (above->text() == "World of Warcraft" || above->text() == "Xfire")) {
        QAction* line = new QAction(&menu);
        line->setSeparator(true);
        menu.insertAction(before, line);
    }
    QAction* item = new QAction(name, &menu);
    item->setCheckable(true);
    item->setData(menuId);
    QObject::connect(item, &QAction::triggered, this, [this, menuId] {
        setBox_->SetChecked(menuId);
        ChooseSetItem(menuId);
    });
    menu.insertAction(before, item);
}

int MacroManagerDlg::SetMenuIdOf(int setKey) const {
    for (const auto& [id, key] : setItems_)
        if (key == setKey) return id;
    return -1;
}

int MacroManagerDlg::SetMenuIdNamed(const QString& name) const {
    for (QAction* a : setBox_->menu().actions()) {
        const int id = a->data().toInt();
        if (!a->isSeparator() && setItems_.count(id) != 0 && a->text() == name) return id;
    }
    return SetMenuIdAt(0);
}

int MacroManagerDlg::SetMenuIdAt(int position) const {
    int i = 0;
    for (QAction* a : setBox_->menu().actions()) {
        if (a->isSeparator()) continue;
        const int id = a->data().toInt();
        if (setItems_.count(id) == 0) continue;
        if (i++ == position) return id;
    }
    return -1;
}

void MacroManagerDlg::Prepare() {
    finished_ = false;
    copy_.Open(librarySets(), libraryMacros());
    openedSetNames_.clear();
    ResetSetMenu();
    for (const auto& [key, s] : copy_.sets()) {
        const int id = nextSetItem_++;
        setItems_[id] = key;
        openedSetNames_.push_back(macros::NameOf(s.name));
        AddSetMenuItem(id, Q(macros::NameOf(s.name)));
    }
    if (recorder_.recording()) StopRecording();
    currentSet_ = -1;
    currentMacro_ = -1;
    changed_ = false;
    renaming_ = false;
    nameEdit_->hide();
    delayEdit_->hide();
    macroList_->clear();
    sequence_.Clear();
    ShowRows();
    setBox_->ShowValue("");
    status_->clear();
    loops_->clear();
    loops_->setEnabled(false);
    repeat_->setChecked(false);
    sendDefault_->setChecked(false);
    EnableForRecording(false);
    // The opener counts the set items from 0, the menu's ids from 1. Without
    // its choice the set shown last is shown again (or the first), so that an
    // empty box never suggests that the sets are gone.
    const int id =
        preselectedSet_ >= 0 ? SetMenuIdAt(preselectedSet_) : SetMenuIdNamed(lastSetShown_);
    if (id > 0) {
        setBox_->SetChecked(id);
        ChooseSetItem(id);
    }
    if (preselectedMacro_ >= 0 && preselectedMacro_ < macroList_->count()) {
        macroList_->setCurrentRow(preselectedMacro_);
        SelectMacroRow(preselectedMacro_);
    }
    // The opener is a page inside the main dialog: its place on the screen, not in its parent.
    if (opener_ != nullptr) move(opener_->mapToGlobal(QPoint(0, 0)) + QPoint(35, -30));
}

int MacroManagerDlg::Open() {
    Prepare();
    return exec();
}

void MacroManagerDlg::Finish(int result) {
    if (recorder_.recording()) StopRecording();
    preselectedSet_ = preselectedMacro_ = -1;
    finished_ = true;
    done(result);
}

void MacroManagerDlg::Ok() {
    if (recorder_.recording()) return;  // only the record button works while recording
    // A name typed without Enter is taken; a refused one goes with its row.
    if (nameEditOpen() && !CommitName(U(nameEdit_->text()))) CancelNameEdit();
    if (delayEditOpen()) CommitDelay(delayEdit_->text());
    if (changed_) {
        SaveMacro();
        changed_ = false;
    }
    copy_.Rebuild(librarySets(), libraryMacros());
    const bool light = flavour_ == Flavour::Light;
    const unsigned setCode = light ? link::link_request::kLightMacroSet : link::link_request::kMacroSet;
    const unsigned macroCode = light ? link::link_request::kLightMacro : link::link_request::kMacro;
    if (send_) {
        for (const _SMacroGroupData& s : copy_.setQueue()) send_(setCode, &s);
        for (const _SMacroDefaultData& m : copy_.MacroCommands()) send_(macroCode, &m);
    }
    log::Info(kArea, log::Format("%s library: %zu set and %zu macro changes sent",
                                 light ? "light macro" : "macro", copy_.setQueue().size(),
                                 copy_.queuedMacros()));
    Finish(QDialog::Accepted);
    if (onAccepted) onAccepted();
}

void MacroManagerDlg::Cancel() {
    if (recorder_.recording()) return;
    Finish(QDialog::Rejected);
}

void MacroManagerDlg::reject() {
    // Escape, the window closing, the Config ending: a recording is kept.
    if (recorder_.recording()) StopRecordingAndSave();
    if (!finished_) Finish(QDialog::Rejected);
}

void MacroManagerDlg::closeEvent(QCloseEvent* event) {
    if (recorder_.recording()) StopRecordingAndSave();
    CBitmapDialog::closeEvent(event);
}

void MacroManagerDlg::StopRecordingAndSave() {
    if (!recorder_.recording()) return;
    StopRecording();
}

// ---- sets ---------------------------------------------------------------------------------------

void MacroManagerDlg::ChooseSetItem(int menuId) {
    using namespace macro_ids;
    if (menuId == kAddSet || menuId == kDeleteSet) {
        menuId == kAddSet ? AddSet() : DeleteSet();
        setBox_->SetChecked(SetMenuIdOf(currentSet_));  // the mark stays on the set shown
        return;
    }
    const auto it = setItems_.find(menuId);
    if (it == setItems_.end()) return;
    if (changed_ && current() != nullptr) {
        SaveMacro();
        changed_ = false;
    }
    if (nameEditOpen()) CancelNameEdit();
    currentSet_ = it->second;
    currentMacro_ = -1;
    ShowSetMacros();
    const _SMacroGroupData* s = copy_.set(currentSet_);
    setBox_->ShowValue(s ? Q(macros::NameOf(s->name)) : QString());
    lastSetShown_ = setBox_->text();
    setBox_->SetChecked(menuId);
}

void MacroManagerDlg::ShowSetMacros() {
    macroList_->blockSignals(true);
    macroList_->clear();
    for (int key : copy_.MacrosOfSet(currentSet_))
        macroList_->addItem(Q(macros::NameOf(copy_.macro(key)->name)));
    macroList_->blockSignals(false);
    sequence_.Clear();
    ShowRows();
    if (macroList_->count() > 0) {
        macroList_->setCurrentRow(0);
        SelectMacroRow(0);
    } else {
        currentMacro_ = -1;
        loops_->clear();
        loops_->setEnabled(false);
        repeat_->setChecked(false);
        sendDefault_->setChecked(false);
    }
}

bool MacroManagerDlg::AcceptSetName(const std::u16string& name) const {
    if (macros::SameSetName(name, u"")) return false;
    // Names compare as the library's file keeps them (macros::SameSetName).
    for (const auto& opened : openedSetNames_)
        if (macros::SameSetName(opened, name)) return false;
    if (copy_.HasSetNamed(name)) return false;
    // The name of the library file's own index section cannot name a set.
    if (macros::SameSetName(name, u"SetMacro")) return false;
    return true;
}

void MacroManagerDlg::AddSet() {
    if (!askSetName) return;
    const auto name = askSetName();
    if (!name || !AcceptSetName(*name)) return;
    const int key = nextSetItem_ - 1;
    const int id = nextSetItem_++;
    copy_.AddSet(key, *name);
    setItems_[id] = key;
    AddSetMenuItem(id, Q(macros::NameOf(copy_.set(key)->name)));
    ChooseSetItem(id);
}

void MacroManagerDlg::DeleteSet() {
    if (currentSet_ < 0) {
        Note(MacroNote::SelectToDelete);
        return;
    }
    if (!Note(MacroNote::ConfirmDeleteSet)) return;
    for (auto it = setItems_.begin(); it != setItems_.end(); ++it) {
        if (it->second != currentSet_) continue;
        for (QAction* a : setBox_->menu().actions()) {
            if (!a->isSeparator() && a->data().toInt() == it->first) {
                setBox_->menu().removeAction(a);
                delete a;
                break;
            }
        }
        setItems_.erase(it);
        break;
    }
    copy_.DeleteSet(currentSet_);
    currentSet_ = -1;
    currentMacro_ = -1;
    changed_ = false;
    macroList_->clear();
    sequence_.Clear();
    ShowRows();
    setBox_->ShowValue("");
    setBox_->SetChecked(-1);
    loops_->clear();
    loops_->setEnabled(false);
    repeat_->setChecked(false);
    sendDefault_->setChecked(false);
}

// ---- macros -------------------------------------------------------------------------------------

HIDMSG::_SMacroDefaultData* MacroManagerDlg::current() {
    return currentMacro_ < 0 ? nullptr : copy_.macro(currentMacro_);
}

QStringList MacroManagerDlg::macroNames() const {
    QStringList out;
    for (int i = 0; i < macroList_->count(); ++i) out << macroList_->item(i)->text();
    return out;
}

QStringList MacroManagerDlg::sequenceTexts() const {
    QStringList out;
    for (const SequenceRow& r : sequence_.rows()) out << Q(r.text);
    return out;
}

void MacroManagerDlg::NewMacro() {
    if (recorder_.recording()) return;
    if (currentSet_ < 0) {
        Note(MacroNote::SelectSet);
        return;
    }
    if (changed_ && current() != nullptr) {
        SaveMacro();
        changed_ = false;
    }
    currentMacro_ = -1;
    renaming_ = false;
    // The macro being named has no options yet: nothing of the previous one shows.
    loops_->clear();
    loops_->setEnabled(false);
    repeat_->setChecked(false);
    sendDefault_->setChecked(false);
    macroList_->blockSignals(true);
    macroList_->addItem("");
    nameRow_ = macroList_->count() - 1;
    macroList_->setCurrentRow(nameRow_);
    macroList_->blockSignals(false);
    macroList_->scrollToItem(macroList_->item(nameRow_));
    sequence_.Clear();
    ShowRows();
    nameEdit_->setText("");
    nameEdit_->setGeometry(macroList_->visualItemRect(macroList_->item(nameRow_)));
    nameEdit_->show();
    nameEdit_->setFocus();
}

void MacroManagerDlg::BeginRename(int row) {
    if (recorder_.recording() || row < 0 || row >= macroList_->count()) return;
    const auto keys = copy_.MacrosOfSet(currentSet_);
    if (row >= static_cast<int>(keys.size())) return;
    SelectMacroRow(row);
    renaming_ = true;
    nameRow_ = row;
    nameEdit_->setText(macroList_->item(row)->text());
    nameEdit_->setGeometry(macroList_->visualItemRect(macroList_->item(row)));
    nameEdit_->show();
    nameEdit_->selectAll();
    nameEdit_->setFocus();
}

bool MacroManagerDlg::CommitName(const std::u16string& name) {
    if (nameRow_ < 0 || currentSet_ < 0) return false;
    // The check: at most 24 characters, no other macro of the set so named.
    const int except = renaming_ ? currentMacro_ : -1;
    if (name.empty() || macros::NameLength(name) > macros::kMaxMacroNameChars ||
        copy_.SetHasMacroNamed(currentSet_, name, except)) {
        nameEdit_->setStyleSheet(widgets::KitStyleSheet() + "QLineEdit { border-color: #e0a422; }");
        return false;
    }
    nameEdit_->setStyleSheet(widgets::KitStyleSheet());
    {
        const QSignalBlocker quiet(nameEdit_);
        nameEdit_->hide();
    }
    const int row = nameRow_;
    nameRow_ = -1;
    if (renaming_) {
        renaming_ = false;
        copy_.RenameMacro(currentMacro_, name);
        macroList_->item(row)->setText(Q(macros::NameOf(copy_.macro(currentMacro_)->name)));
        return true;
    }
    const int key = copy_.AddMacro(currentSet_, name);
    macroList_->item(row)->setText(Q(macros::NameOf(copy_.macro(key)->name)));
    macroList_->blockSignals(true);
    macroList_->setCurrentRow(macroList_->count() - 1);
    macroList_->blockSignals(false);
    SelectMacroRow(macroList_->count() - 1);
    return true;
}

void MacroManagerDlg::CancelNameEdit() {
    if (!nameEditOpen()) return;
    {
        const QSignalBlocker quiet(nameEdit_);  // a cancelled name is not committed
        nameEdit_->hide();
    }
    nameEdit_->setStyleSheet(widgets::KitStyleSheet());
    if (!renaming_ && nameRow_ >= 0 && nameRow_ < macroList_->count()) {
        // The new macro was never named: its empty row goes.
        macroList_->blockSignals(true);
        delete macroList_->takeItem(nameRow_);
        macroList_->blockSignals(false);
    }
    renaming_ = false;
    nameRow_ = -1;
}

void MacroManagerDlg::SelectMacroRow(int row) {
    const auto keys = copy_.MacrosOfSet(currentSet_);
    if (row < 0 || row >= static_cast<int>(keys.size())) return;
    if (keys[row] != currentMacro_ && changed_ && current() != nullptr) {
        // Deferred changes (the light editor's) are saved before another macro shows.
        SaveMacro();
        changed_ = false;
    }
    currentMacro_ = keys[row];
    if (macroList_->currentRow() != row) {
        macroList_->blockSignals(true);
        macroList_->setCurrentRow(row);
        macroList_->blockSignals(false);
    }
    const _SMacroDefaultData* m = current();
    loops_->setText(QString::number(m->loopCount));
    loops_->setEnabled(true);
    repeat_->setChecked(true);
    sendDefault_->setChecked(m->sendDefaultAction() != 0);
    recorder_.SetInsertPosition(-1);
    ShowMacro();
}

void MacroManagerDlg::ShowMacro() {
    if (const _SMacroDefaultData* m = current()) {
        sequence_.Show(*m);
    } else {
        sequence_.Clear();
    }
    ShowRows();
}

void MacroManagerDlg::ShowRows() {
    sequenceList_->setUpdatesEnabled(false);
    sequenceList_->clear();
    const QIcon* icons = RowIcons();
    for (const SequenceRow& r : sequence_.rows())
        new QListWidgetItem(icons[static_cast<int>(r.icon)], Q(r.text), sequenceList_);
    sequenceList_->setUpdatesEnabled(true);
}

void MacroManagerDlg::SaveMacro() {
    _SMacroDefaultData* m = current();
    if (m == nullptr) return;
    sequence_.SaveTo(*m);
    copy_.QueueMacro(currentMacro_);
    changed_ = false;
}

// After a change of the rows: the macro manager saves at once, the light
// editor marks the macro and saves it later.
void MacroManagerDlg::SaveOrMark() {
    if (flavour_ == Flavour::Light) {
        MarkChanged();
    } else {
        SaveMacro();
    }
}

void MacroManagerDlg::DeleteMacro() {
    if (recorder_.recording()) return;
    if (current() == nullptr) {
        Note(MacroNote::SelectToDelete);
        return;
    }
    if (!Note(MacroNote::ConfirmDeleteMacro)) return;
    const int row = macroList_->currentRow();
    copy_.DeleteMacro(currentMacro_);
    macroList_->blockSignals(true);
    delete macroList_->takeItem(row);
    macroList_->setCurrentRow(-1);
    macroList_->blockSignals(false);
    currentMacro_ = -1;
    changed_ = false;
    sequence_.Clear();
    ShowRows();
    loops_->clear();
    loops_->setEnabled(false);
    repeat_->setChecked(false);
    sendDefault_->setChecked(false);
}

// ---- recording ----------------------------------------------------------------------------------

void MacroManagerDlg::RecordButton() {
    if (nameEditOpen()) CommitName(U(nameEdit_->text()));  // the name typed, as with Enter
    if (current() == nullptr) {
        Note(MacroNote::SelectNew);
        record_->setDown(false);
        return;
    }
    if (!recorder_.recording()) {
        StartRecording(recorder_.insertPosition());
    } else {
        StopRecording();
    }
}

void MacroManagerDlg::StartRecording(int insertPosition) {
    if (delayEditOpen()) CommitDelay(delayEdit_->text());
    recorder_.Start(insertPosition);
    if (insertPosition < 0) ShowRows();
    changed_ = true;
    EnableForRecording(true);
    status_->setText("Recording: every key goes into the macro until STOP RECORD.");
    if (capture_ && !capturing_) {
        capturing_ = capture_->Start([this](const macros::CapturedKey& key, bool down,
                                            std::uint64_t ms) { HookKey(key, down, ms); });
        if (!capturing_) log::Warning(kArea, "the key capture could not start");
    }
}

void MacroManagerDlg::StopRecording() {
    if (capturing_ && capture_) capture_->Stop();
    capturing_ = false;
    recorder_.Stop();
    SaveMacro();
    changed_ = false;
    EnableForRecording(false);
    status_->clear();
}

void MacroManagerDlg::EnableForRecording(bool recording) {
    for (QWidget* w : std::initializer_list<QWidget*>{macroList_, sequenceList_, setBox_, new_,
                                                       delete_, ok_, cancel_, close_})
        w->setEnabled(!recording);
    record_->setText(recording ? "STOP RECORD" : "START RECORD");
    record_->setChecked(false);
    record_->setDown(recording);
}

void MacroManagerDlg::HookKey(const macros::CapturedKey& key, bool down, std::uint64_t ms) {
    if (!recorder_.recording()) return;
    const int at = recorder_.insertPosition();
    const std::size_t before = sequence_.size();
    if (!recorder_.Key(key, down, ms)) {
        // Full: the recording ends with what it holds, and the user is told.
        StopRecording();
        Note(MacroNote::MacroFull);
        return;
    }
    // Only the new rows go into the list.
    const std::size_t from = at < 0 || static_cast<std::size_t>(at) > before
                                 ? before
                                 : static_cast<std::size_t>(at);
    for (std::size_t i = from; i < from + (sequence_.size() - before); ++i) {
        const SequenceRow& r = sequence_.rows()[i];
        sequenceList_->insertItem(static_cast<int>(i),
                                  new QListWidgetItem(RowIcons()[static_cast<int>(r.icon)], Q(r.text)));
    }
    sequenceList_->scrollToBottom();
}

void MacroManagerDlg::RecordDelaysBox(bool on) {
    if (current() == nullptr) {
        Note(MacroNote::SelectNew);
        recordDelays_->setChecked(false);
        return;
    }
    recordDelays_->setChecked(on);
    recorder_.SetRecordDelays(on);
}

// ---- options ------------------------------------------------------------------------------------

void MacroManagerDlg::RepeatBox(bool on) {
    _SMacroDefaultData* m = current();
    if (m == nullptr) {
        Note(MacroNote::SelectNew);
        repeat_->setChecked(false);
        return;
    }
    repeat_->setChecked(on);
    loops_->setEnabled(on);
    if (on) {
        LoopsEdited(loops_->text());
        return;
    }
    m->loopCount = 1;
    copy_.QueueMacro(currentMacro_);
}

void MacroManagerDlg::LoopsEdited(const QString& text) {
    _SMacroDefaultData* m = current();
    if (m == nullptr) return;
    bool ok = false;
    const long long typed = text.trimmed().toLongLong(&ok);
    const int loops = static_cast<int>(
        std::clamp<long long>(ok ? typed : macros::kMinLoops, macros::kMinLoops, macros::kMaxLoops));
    loops_->setText(QString::number(loops));
    const bool bounded = !ok || typed != loops;
    if (m->loopCount != loops || bounded) {
        m->loopCount = static_cast<std::uint8_t>(loops);
        copy_.QueueMacro(currentMacro_);
    }
    if (bounded) Note(MacroNote::LoopsBounded);
}

void MacroManagerDlg::SendDefaultActionBox(bool on) {
    _SMacroDefaultData* m = current();
    if (m == nullptr) {
        Note(MacroNote::SelectNew);
        sendDefault_->setChecked(false);
        return;
    }
    sendDefault_->setChecked(on);
    m->set_sendDefaultAction(on ? 1 : 0);
    copy_.QueueMacro(currentMacro_);
}

// ---- the sequence list --------------------------------------------------------------------------

int MacroManagerDlg::selectedSequenceRow() const {
    const int row = sequenceList_->currentRow();
    return row >= 0 && row < static_cast<int>(sequence_.size()) &&
                   sequenceList_->currentItem() != nullptr &&
                   sequenceList_->currentItem()->isSelected()
               ? row
               : -1;
}

void MacroManagerDlg::SelectSequenceRow(int row) {
    sequenceList_->setCurrentRow(row);
}

void MacroManagerDlg::InsertRows(int at, const std::vector<SequenceRow>& rows) {
    if (!sequence_.Insert(at, rows)) {
        Note(MacroNote::MacroFull);
        return;
    }
    ShowRows();
    SaveOrMark();
}

void MacroManagerDlg::ChooseSequenceItem(int id) {
    using namespace macro_ids;
    if (current() == nullptr || recorder_.recording()) return;
    const int row = selectedSequenceRow();
    const std::uint8_t down = _SKeyInfoData::kDown, up = _SKeyInfoData::kUp;
    switch (id) {
        case kRecordBefore:
        case kRecordAfter:
            if (row < 0) return;
            recorder_.SetInsertPosition(id == kRecordBefore ? row : row + 1);
            StartRecording(recorder_.insertPosition());
            return;
        case kInsertDelay:
            if (row < 0) return;
            InsertRows(row, {macros::DelayRow(1)});
            return;
        case kEditDelay: {
            if (row < 0 || !sequence_.rows()[row].isDelay()) return;
            recorder_.SetInsertPosition(row);
            delayRow_ = row;
            delayEdit_->setText(QString::number(sequence_.rows()[row].delay));
            delayEdit_->setGeometry(sequenceList_->visualItemRect(sequenceList_->item(row)));
            delayEdit_->show();
            delayEdit_->selectAll();
            delayEdit_->setFocus();
            return;
        }
        case kDeleteRow:
            if (row < 0) return;
            sequence_.Remove(row);
            ShowRows();
            SaveOrMark();
            return;
        case kLedOn:
        case kLedOff:
            // A delay row has no light to switch.
            if (flavour_ != Flavour::Light || row < 0 || sequence_.rows()[row].isDelay()) return;
            sequence_.SetState(row, id == kLedOn ? down : up);
            ShowRows();
            sequenceList_->setCurrentRow(row);
            MarkChanged();
            return;
        default:
            break;
    }
    if (flavour_ != Flavour::Key || id < kLeftDown || id > kWheelDown + 2) return;
    const std::uint8_t code = static_cast<std::uint8_t>(_SKeyInfoData::kMouseLeft + (id - kLeftDown) / 3);
    std::vector<SequenceRow> rows;
    switch ((id - kLeftDown) % 3) {
        case 0: rows = {macros::EventRow(code, down, flavour_, names_)}; break;
        case 1: rows = {macros::EventRow(code, up, flavour_, names_)}; break;
        default:
            rows = {macros::EventRow(code, down, flavour_, names_),
                    macros::EventRow(code, up, flavour_, names_)};
            break;
    }
    InsertRows(row, rows);
}

void MacroManagerDlg::CommitDelay(const QString& text) {
    delayEdit_->hide();
    const int row = delayRow_;
    delayRow_ = -1;
    if (row < 0 || current() == nullptr) return;
    bool ok = false;
    const long long ms = text.trimmed().toLongLong(&ok);
    if (!ok) return;  // nothing typed: the row keeps its value
    sequence_.SetDelay(row, ms);
    ShowRows();
    SaveOrMark();
}

void MacroManagerDlg::DeleteKey() {
    if (recorder_.recording() || current() == nullptr) return;
    const int row = selectedSequenceRow();
    if (row < 0) return;
    sequence_.Remove(row);
    ShowRows();
    MarkChanged();
    if (flavour_ == Flavour::Key) SaveMacro();
}

bool MacroManagerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == nameEdit_ && key->key() == Qt::Key_Escape) {
            CancelNameEdit();
            return true;
        }
        // Enter in an in-place edit ends the edit, not the editor.
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (watched == nameEdit_ && enter) {
            CommitName(U(nameEdit_->text()));
            return true;
        }
        if (watched == delayEdit_ && enter) {
            CommitDelay(delayEdit_->text());
            return true;
        }
        if (watched == delayEdit_ && key->key() == Qt::Key_Escape) {
            delayEdit_->hide();
            delayRow_ = -1;
            return true;
        }
        // Delete removes the selected step, except where it edits text.
        if (key->key() == Qt::Key_Delete && qobject_cast<QLineEdit*>(watched) == nullptr) {
            DeleteKey();
            return true;
        }
    }
    return CBitmapDialog::eventFilter(watched, event);
}

bool MacroManagerDlg::Note(MacroNote n) {
    return note ? note(n) : false;
}

void MacroManagerDlg::QuickHelp(int helpId, bool entered) {
    // The editor passes its controls' quick help on to the main dialog.
    widgets::NotifyQuickHelp(this, helpId, entered);
}

}  // namespace vyre
