#include "config/keys/key_function_dlgs.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstring>

#include "common/key_slots.h"
#include "common/log.h"
#include "config/frame/help_ids.h"
#include "platform/shell_link.h"
#include "widgets/file_dialog.h"

namespace vyre {
namespace {

constexpr char kArea[] = "keys";
constexpr std::uint8_t kRightShiftScanCode = 0x36;

// The longest path the launch record holds with its terminator.
constexpr std::size_t kMaxLaunchPath = decltype(KeyLaunchPath::path)::kCapacity - 1;
constexpr std::size_t kMaxDisplayName = decltype(KeyLaunchPath::displayName)::kCapacity - 1;

QString Q(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::uint8_t UsageOf(const platform::HookKey& key) {
    return UsageOfHookedKey(key.scanCode, key.flags).value_or(0);
}

// The shortcut bit of a modifier key (by its virtual key), 0 for any other key.
std::uint8_t ModifierBit(const platform::HookKey& key) {
    switch (key.virtualKey) {
        case 0xA0:
        case 0xA1:
            return shortcut_mod::kShift;
        case 0xA2:
        case 0xA3:
            return shortcut_mod::kCtrl;
        case 0xA4:
        case 0xA5:
            return shortcut_mod::kAlt;
        case 0x5B:
        case 0x5C:
            return shortcut_mod::kWin;
        default:
            return 0;
    }
}

// A key the keyboard cannot send is not taken: the edit stays empty and says why.
void RefuseKey(widgets::CSkinEdit& edit) {
    edit.clear();
    edit.setPlaceholderText("The keyboard cannot send this key");
}

}  // namespace

std::u16string CapturedKeyName(const platform::HookKey& key, const KeyNameProvider* names) {
    // The scan code and the low four flag bits, as the system is asked for key names.
    const std::uint32_t param =
        ((((static_cast<std::uint32_t>(key.flags) << 8) & 0xFFFu) | key.scanCode) << 16) | 1u;
    if (names != nullptr && key.scanCode != 0) {
        std::u16string name = names->KeyNameText(param);
        if (!name.empty()) return name;
    }
    if (key.scanCode == kRightShiftScanCode) return u"Right Shift";
    return std::u16string(UsageName(UsageOf(key)));
}

// ---- the shared frame --------------------------------------------------------------

CKeyFunctionDlg::CKeyFunctionDlg(int faceId, QWidget* parent)
    : CBitmapDialog(parent),
      ok_(widgets::ControlKind::Push, "OK", this),
      cancel_(widgets::ControlKind::Push, "CANCEL", this),
      close_(widgets::ControlKind::Close, "", this) {
    SetBitmaps(faceId, faceId + 1);
    ok_.setGeometry(75, 202, 52, 21);
    cancel_.setGeometry(139, 202, 91, 21);
    close_.setGeometry(277, 4, 23, 21);
    SetEnterButton(&ok_);
    ok_.setHelpId(help::kKeyDialogOk);
    cancel_.setHelpId(help::kKeyDialogCancel);
    close_.setHelpId(help::kKeyDialogClose);
    QObject::connect(&ok_, &QAbstractButton::clicked, this, [this] { Ok(); });
    QObject::connect(&cancel_, &QAbstractButton::clicked, this, [this] { Cancel(); });
    QObject::connect(&close_, &QAbstractButton::clicked, this, [this] { Cancel(); });
}

void CKeyFunctionDlg::PlaceRelativeTo(const QRect& page, bool below) {
    const QSize size = this->size();
    QPoint at(page.center().x() - size.width() / 2, page.center().y() - size.height() / 2);
    if (below) at.setY(page.bottom() - size.height());
    if (const QScreen* screen = QGuiApplication::screenAt(page.center())) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    }
    move(at);
}

// ---- shortcut ------------------------------------------------------------------------

AssignShortcutDlg::AssignShortcutDlg(const KeyNameProvider* names, QWidget* parent)
    : CKeyFunctionDlg(key_dlg::kShortcutFace, parent),
      names_(names),
      lock_("NO MODIFIERS", false, this),
      shift_("Shift", false, this),
      ctrl_("Ctrl", false, this),
      win_("Win", false, this),
      alt_("Alt", false, this),
      key_(this),
      capture_(this, [this](const platform::HookKey& key) { OnKey(key); }) {
    key_.setGeometry(16, 92, 273, 26);
    key_.setReadOnly(true);
    key_.setFocusPolicy(Qt::NoFocus);
    key_.setAlignment(Qt::AlignCenter);
    key_.setPlaceholderText("Press a key");
    key_.setHelpId(help::kShortcutKey);
    int x = 16;
    for (auto* box : {&shift_, &ctrl_, &win_, &alt_}) {
        box->setGeometry(x, 132, 66, 18);
        x += 70;
    }
    lock_.setGeometry(16, 162, 200, 18);
    lock_.setHelpId(help::kShortcutNoModifiers);
    shift_.setHelpId(help::kShortcutShift);
    ctrl_.setHelpId(help::kShortcutCtrl);
    win_.setHelpId(help::kShortcutWin);
    alt_.setHelpId(help::kShortcutAlt);
    QObject::connect(&lock_, &QAbstractButton::toggled, this, [this](bool on) { SetLock(on); });
    // Keys go to the capture, never to the controls.
    for (QWidget* w : std::initializer_list<QWidget*>{&lock_, &shift_, &ctrl_, &win_, &alt_,
                                                      &okButton(), &cancelButton(), &closeButton()})
        w->setFocusPolicy(Qt::NoFocus);
}

void AssignShortcutDlg::Prepare() {
    // Every opening starts clear: no ticks left over from the last shortcut.
    lock_.setChecked(false);
    for (auto* box : {&shift_, &ctrl_, &win_, &alt_}) box->setChecked(false);
    held_ = 0;
    key_.clear();
    key_.setPlaceholderText("Press a key");
    usage_ = 0;
    entry_ = {};
    text_.clear();
}

void AssignShortcutDlg::showEvent(QShowEvent* event) {
    CKeyFunctionDlg::showEvent(event);
    capture_.Start();
}

void AssignShortcutDlg::SetLock(bool on) {
    for (auto* box : {&shift_, &ctrl_, &win_, &alt_}) {
        if (on) box->setChecked(false);
        box->setEnabled(!on);
    }
}

void AssignShortcutDlg::OnKey(const platform::HookKey& key) {
    const std::uint8_t bit = ModifierBit(key);
    if (!key.down) {
        held_ = static_cast<std::uint8_t>(held_ & ~bit);
        return;
    }
    held_ |= bit;
    const std::uint8_t usage = UsageOf(key);
    if (usage == 0) {
        // Stored as usage 0 the key would go dead.
        RefuseKey(key_);
        usage_ = 0;
        return;
    }
    key_.setText(Q(CapturedKeyName(key, names_)));
    usage_ = usage;
    // Modifiers held with a key (Ctrl+Shift+A) tick their boxes.
    if (bit == 0 && held_ != 0 && !lock_.isChecked()) {
        shift_.setChecked((held_ & shortcut_mod::kShift) != 0);
        ctrl_.setChecked((held_ & shortcut_mod::kCtrl) != 0);
        win_.setChecked((held_ & shortcut_mod::kWin) != 0);
        alt_.setChecked((held_ & shortcut_mod::kAlt) != 0);
    }
}

void AssignShortcutDlg::Ok() {
    std::u16string text;
    std::uint8_t bits = 0;
    const struct {
        const widgets::CSkinCheckBox& box;
        const char16_t* word;
        std::uint8_t bit;
    } modifiers[] = {{shift_, u"Shift +", shortcut_mod::kShift},
                     {ctrl_, u"Ctrl +", shortcut_mod::kCtrl},
                     {win_, u"Win +", shortcut_mod::kWin},
                     {alt_, u"Alt +", shortcut_mod::kAlt}};
    for (const auto& m : modifiers) {
        if (!m.box.isChecked()) continue;
        text += m.word;
        bits |= m.bit;
    }
    const std::u16string name = key_.text().toStdU16String();
    if (name.empty()) {
        const std::size_t plus = text.rfind(u'+');
        if (plus != std::u16string::npos) text.resize(plus);
    } else {
        text += name;
    }
    text_ = text;
    entry_ = {fncode::kShortcut, bits, usage_};
    capture_.Stop();
    done(QDialog::Accepted);
}

void AssignShortcutDlg::Cancel() {
    capture_.Stop();
    CKeyFunctionDlg::Cancel();
}

// ---- quick launch --------------------------------------------------------------------

std::u16string LaunchDisplayName(std::u16string_view path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    std::u16string name(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
    if (name.size() > kMaxDisplayName) {
        std::size_t keep = kMaxDisplayName;
        // Never half a surrogate pair.
        if (name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep;
        name.resize(keep);
    }
    return name;
}

QuickLunchDlg::QuickLunchDlg(ProfileStore& mirror, QWidget* parent)
    : CKeyFunctionDlg(key_dlg::kQuickLaunchFace, parent),
      mirror_(mirror),
      path_(this),
      browse_(widgets::ControlKind::Push, "BROWSE", this) {
    path_.setGeometry(16, 92, 200, 26);
    path_.setMaxLength(static_cast<int>(kMaxLaunchPath));
    path_.setHelpId(help::kQuickLaunchPath);
    path_.setAccessibleName("Program to launch");
    browse_.setGeometry(224, 94, 65, 22);
    browse_.setHelpId(help::kQuickLaunchBrowse);
    chooseFile = [this] { return widgets::ChooseProgram(this, path_.text()); };
    QObject::connect(&browse_, &QAbstractButton::clicked, this, [this] { Browse(); });
}

void QuickLunchDlg::Prepare(int layerButton, KeyGroup group, int position, int keyIndex) {
    std::memset(static_cast<void*>(&record_), 0, sizeof record_);
    path_.clear();
    const Layer layer =
        layerButton == key_dlg::kSecondaryButton ? Layer::Secondary : Layer::Primary;
    if (group == KeyGroup::Normal && layer == Layer::Secondary) {
        slot_ = position >= 0 ? std::optional<int>(16 + position) : std::nullopt;
    } else {
        slot_ = FindSlot(layer == Layer::Primary ? std::span<const SlotPair>(PrimarySlotTable())
                                                 : std::span<const SlotPair>(SecondarySlotTable()),
                         keyIndex);
    }
    if (slot_ && !SlotHasData(*slot_)) slot_.reset();
    path_.setFocus();
}

void QuickLunchDlg::TakePath(const std::string& chosen) {
    const std::string resolved = platform::ResolveProgramFile(chosen);
    const std::u16string path = QString::fromStdString(resolved).toStdU16String();
    if (path.size() > kMaxLaunchPath) {
        // A cut path would start another program, or none.
        log::Warning(kArea, "the program path is longer than a key can keep; not taken");
        return;
    }
    record_.path.set(path);
    record_.displayName.set(LaunchDisplayName(path));
    path_.setText(Q(path));
}

void QuickLunchDlg::Browse() {
    const QString file = chooseFile ? chooseFile() : QString();
    if (file.isEmpty()) return;
    TakePath(file.toStdString());
}

void QuickLunchDlg::Ok() {
    if (path_.text().isEmpty()) return;
    // A path typed (or changed) in the edit counts as much as a browsed one.
    if (path_.text().toStdU16String() != record_.path.str()) TakePath(path_.text().toStdString());
    if (record_.path.empty() || path_.text().toStdU16String() != record_.path.str()) return;
    if (!slot_) {
        log::Warning(kArea, "this key has no room for a program to start");
        done(QDialog::Rejected);
        return;
    }
    record_.displayName.set(LaunchDisplayName(record_.path.str()));
    mirror_.launchPath(mirror_.currentProfile(), *slot_) = record_;
    done(QDialog::Accepted);
}

// ---- media player ----------------------------------------------------------------------

MediaCtrlDlg::MediaCtrlDlg(ProfileStore& mirror, QWidget* parent)
    : CKeyFunctionDlg(key_dlg::kMediaFace, parent), mirror_(mirror), player_("", this) {
    player_.setGeometry(16, 100, 273, 26);
    player_.setHelpId(help::kMediaPlayer);
    std::vector<std::pair<int, QString>> items;
    for (std::size_t i = 0; i < key_dlg::kPlayerCommands.size(); ++i)
        items.emplace_back(key_dlg::kPlayerCommands[i], key_dlg::kPlayerNames[i]);
    player_.SetItems(items);
    player_.onChosen = [this](int id) { Choose(id); };
}

void MediaCtrlDlg::Prepare() {
    const std::int32_t stored = mirror_.hostRecord(mirror_.currentProfile()).player.get();
    // A stored value out of range shows (and keeps, unless changed) the first player.
    const int value = stored >= 0 && stored < 4 ? stored : 0;
    chosen_ = stored;
    player_.setText(key_dlg::kPlayerNames[value]);
    player_.SetChecked(key_dlg::kPlayerCommands[value]);
}

void MediaCtrlDlg::Choose(int commandId) {
    for (std::size_t i = 0; i < key_dlg::kPlayerCommands.size(); ++i) {
        if (key_dlg::kPlayerCommands[i] != commandId) continue;
        chosen_ = static_cast<int>(i);
        player_.setText(key_dlg::kPlayerNames[i]);
        player_.SetChecked(commandId);
    }
}

void MediaCtrlDlg::Ok() {
    mirror_.hostRecord(mirror_.currentProfile()).player = chosen_;
    done(QDialog::Accepted);
}

// ---- remap -----------------------------------------------------------------------------

MapRenameDlg::MapRenameDlg(ProfileStore& mirror, const KeyNameProvider* names, QWidget* parent)
    : CKeyFunctionDlg(key_dlg::kRemapFace, parent),
      mirror_(mirror),
      names_(names),
      key_(this),
      capture_(this, [this](const platform::HookKey& key) { OnKey(key); }) {
    key_.setGeometry(16, 110, 273, 26);
    key_.setReadOnly(true);
    key_.setFocusPolicy(Qt::NoFocus);
    key_.setAlignment(Qt::AlignCenter);
    key_.setPlaceholderText("Press a key");
    key_.setHelpId(help::kRemapKey);
    for (QWidget* w : std::initializer_list<QWidget*>{&okButton(), &cancelButton(), &closeButton()})
        w->setFocusPolicy(Qt::NoFocus);
}

void MapRenameDlg::Prepare(int keyIndex) {
    std::memcpy(working_, mirror_.keyRemapReports, sizeof working_);
    target_ = keyIndex >= 0 && keyIndex < kKeyTableRows ? keyIndex : -1;
    const int p = mirror_.currentProfile();
    oldUsage_ = target_ >= 0 ? working_[p][report::kKeyRemapUsages + target_] : 0;
    usage_ = 0;
    producer_.reset();
    key_.clear();
    key_.setPlaceholderText("Press a key");
}

void MapRenameDlg::showEvent(QShowEvent* event) {
    CKeyFunctionDlg::showEvent(event);
    capture_.Start();
}

void MapRenameDlg::OnKey(const platform::HookKey& key) {
    if (!key.down) return;
    const auto usage = UsageOfHookedKey(key.scanCode, key.flags);
    if (!usage || *usage == 0) {
        // A key the keyboard cannot send: taking it would disable the target.
        RefuseKey(key_);
        usage_ = 0;
        producer_.reset();
        return;
    }
    usage_ = *usage;
    producer_.reset();
    const int p = mirror_.currentProfile();
    for (int k = 0; k < kKeyTableRows; ++k) {
        if (working_[p][report::kKeyRemapUsages + k] == usage_) {
            producer_ = k;
            break;
        }
    }
    key_.setText(Q(LocalisedKeyName(usage_, names_)));
}

void MapRenameDlg::Ok() {
    if (key_.text().isEmpty() || target_ < 0) return;
    const int p = mirror_.currentProfile();
    std::uint8_t* usages = working_[p] + report::kKeyRemapUsages;
    if (producer_ && *producer_ != target_) usages[*producer_] = oldUsage_;
    usages[target_] = usage_;
    std::memcpy(mirror_.keyRemapReports, working_, sizeof working_);
    capture_.Stop();
    done(QDialog::Accepted);
}

void MapRenameDlg::Cancel() {
    capture_.Stop();
    CKeyFunctionDlg::Cancel();
}

}  // namespace vyre
