#include "config/keys/timer_dlgs.h"

#include <QEvent>
#include <QRegularExpressionValidator>

#include <algorithm>

#include "common/link_codes.h"
#include "config/frame/help_ids.h"
#include "platform/text.h"

namespace vyre {
namespace {

// Calls `onLeave` when the watched edit loses the focus.
class FocusOutFilter : public QObject {
  public:
    FocusOutFilter(QObject* parent, std::function<void()> onLeave)
        : QObject(parent), onLeave_(std::move(onLeave)) {}

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusOut) onLeave_();
        return false;
    }

  private:
    std::function<void()> onLeave_;
};

QString Q(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

HIDMSG::_STimerSettingData MakeRecord(std::int32_t index, std::u16string_view name,
                                      std::int32_t seconds) {
    HIDMSG::_STimerSettingData record{};
    record.index = index;
    text::WideToMultiByteField(text::kCodePageSystem, name, record.name.bytes,
                               sizeof record.name.bytes);
    record.seconds = seconds;
    return record;
}

std::u16string NameOf(const HIDMSG::_STimerSettingData& record) {
    return text::MultiByteToWide(text::kCodePageSystem, record.name.str());
}

}  // namespace

TimerCommandSink LinkTimerCommands(const std::atomic<win::HWND>& linkWindow) {
    return [&linkWindow](std::uint16_t code, const HIDMSG::_STimerSettingData& record) {
        const win::HWND link = linkWindow.load();
        if (link == 0) return;
        // Sent, not posted: the record lives until the link window has taken it.
        win::SendMessage(link, link::kMsgRequest, code, reinterpret_cast<win::LPARAM>(&record));
    };
}

int ClampTimerSeconds(int seconds) {
    if (seconds >= timer_dlg::kMaxSeconds + 1) return timer_dlg::kMaxSeconds;
    if (seconds <= timer_dlg::kMinSeconds - 1) return timer_dlg::kMinSeconds;
    return seconds;
}

std::u16string FitTimerName(std::u16string_view name) {
    const std::string bytes = text::WideToMultiByte(text::kCodePageSystem, name);
    if (bytes.size() < timer_dlg::kNameBytes) return std::u16string(name);
    const std::size_t keep =
        text::FitMultiByte(text::kCodePageSystem, bytes, timer_dlg::kNameBytes);
    return text::MultiByteToWide(text::kCodePageSystem, std::string_view(bytes).substr(0, keep));
}

// ---- the fields ----------------------------------------------------------------------

CTimerFields::CTimerFields(QWidget* dialog, int top)
    : nameLabel_("Name", dialog),
      secondsLabel_("Seconds", dialog),
      rangeLabel_("15 - 999", dialog),
      name_(dialog),
      seconds_(dialog),
      up_(widgets::ControlKind::Push, QString::fromUtf8("\u25B4"), dialog),
      down_(widgets::ControlKind::Push, QString::fromUtf8("\u25BE"), dialog) {
    for (auto* label : {&nameLabel_, &secondsLabel_, &rangeLabel_}) {
        label->setFont(widgets::TextFont(13));
        label->setStyleSheet("color: #9aa3ad;");
    }
    nameLabel_.setGeometry(16, top, 90, 24);
    secondsLabel_.setGeometry(16, top + 34, 110, 24);
    rangeLabel_.setGeometry(222, top + 34, 67, 24);
    name_.setGeometry(130, top, 159, 24);
    name_.setHelpId(help::kTimerName);
    nameLabel_.setBuddy(&name_);  // their names for screen readers
    secondsLabel_.setBuddy(&seconds_);
    seconds_.setGeometry(130, top + 34, 60, 24);
    seconds_.setMaxLength(4);
    seconds_.setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,4}"), &seconds_));
    seconds_.setHelpId(help::kTimerSeconds);
    up_.setGeometry(192, top + 34, 20, 12);
    down_.setGeometry(192, top + 46, 20, 12);
    up_.setHelpId(help::kTimerSeconds);
    down_.setHelpId(help::kTimerSeconds);
    // The name never runs past the record's field.
    QObject::connect(&name_, &QLineEdit::textChanged, &name_, [this](const QString& text) {
        const std::u16string fitted = FitTimerName(text.toStdU16String());
        if (fitted.size() == static_cast<std::size_t>(text.size())) return;
        const int cursor = std::min(name_.cursorPosition(), static_cast<int>(fitted.size()));
        name_.setText(Q(fitted));
        name_.setCursorPosition(cursor);
    });
    seconds_.installEventFilter(new FocusOutFilter(&seconds_, [this] { LeaveSeconds(); }));
    QObject::connect(&up_, &QAbstractButton::clicked, &seconds_, [this] { Step(1); });
    QObject::connect(&down_, &QAbstractButton::clicked, &seconds_, [this] { Step(-1); });
}

int CTimerFields::secondsValue() const {
    return seconds_.text().toInt();
}

void CTimerFields::LeaveSeconds() {
    if (seconds_.text().isEmpty()) return;
    const int value = secondsValue();
    const int clamped = ClampTimerSeconds(value);
    if (clamped != value) seconds_.setText(QString::number(clamped));
}

void CTimerFields::Step(int by) {
    const int value = seconds_.text().isEmpty() ? timer_dlg::kMinSeconds : secondsValue() + by;
    seconds_.setText(QString::number(std::clamp(value, timer_dlg::kMinSeconds,
                                                timer_dlg::kMaxSeconds)));
}

// ---- create ----------------------------------------------------------------------------

CountdownTimerDlg::CountdownTimerDlg(ProfileStore& mirror, TimerCommandSink send, QWidget* parent)
    : CKeyFunctionDlg(timer_dlg::kCreateFace, parent),
      mirror_(mirror),
      send_(std::move(send)),
      fields_(this, 92) {}

void CountdownTimerDlg::Prepare() {
    fields_.name().clear();
    fields_.seconds().setText(QString::number(timer_dlg::kInitialSeconds));
    fields_.name().setFocus();
}

void CountdownTimerDlg::Ok() {
    fields_.LeaveSeconds();  // OK takes the focus from the field first
    const std::u16string name = fields_.name().text().toStdU16String();
    const int seconds = fields_.secondsValue();
    if (name.empty() || seconds < timer_dlg::kMinSeconds) return;
    const auto record =
        MakeRecord(static_cast<std::int32_t>(mirror_.timers.size()), name, seconds);
    mirror_.timers.push_back(record);
    if (send_) send_(link::command::kTimerAdd, record);
    done(QDialog::Accepted);
}

// ---- delete confirmation -----------------------------------------------------------------

CountDownTimerDeleteDlg::CountDownTimerDeleteDlg(QWidget* parent)
    : CKeyFunctionDlg(timer_dlg::kDeleteFace, parent) {}

// ---- edit and delete -----------------------------------------------------------------------

CountDownTimerEditDlg::CountDownTimerEditDlg(ProfileStore& mirror, TimerCommandSink send,
                                             QWidget* parent)
    : CKeyFunctionDlg(timer_dlg::kEditFace, parent),
      mirror_(mirror),
      send_(std::move(send)),
      timers_("", this),
      fields_(this, 92),
      modify_(widgets::ControlKind::Push, "MODIFY", this),
      delete_(widgets::ControlKind::WarningPush, "DELETE", this),
      confirm_(this) {
    timers_.setGeometry(16, 52, 273, 26);
    timers_.setHelpId(help::kTimerMenu);
    timers_.menu().setObjectName("TimerMenu");
    timers_.onChosen = [this](int id) { Select(id); };
    modify_.setGeometry(16, 164, 130, 22);
    modify_.setHelpId(help::kTimerModify);
    delete_.setGeometry(159, 164, 130, 22);
    delete_.setHelpId(help::kTimerDelete);
    QObject::connect(&modify_, &QAbstractButton::clicked, this, [this] { Modify(); });
    QObject::connect(&delete_, &QAbstractButton::clicked, this, [this] { Delete(); });
    confirmDelete = [this] {
        confirm_.move(pos() + QPoint((width() - confirm_.width()) / 2, 0));
        return confirm_.exec() == QDialog::Accepted;
    };
}

void CountDownTimerEditDlg::Prepare() {
    working_ = mirror_.timers;
    changed_.clear();
    deleted_.clear();
    std::vector<std::pair<int, QString>> items;
    for (std::size_t i = 0; i < working_.size(); ++i)
        items.emplace_back(static_cast<int>(i) + 1, Q(NameOf(working_[i])));
    timers_.SetItems(items);
    if (working_.empty()) {
        ShowNone();
    } else {
        Select(1);
    }
}

void CountDownTimerEditDlg::Show(int position) {
    selected_ = position;
    const auto& record = working_[static_cast<std::size_t>(position)];
    timers_.setText(Q(NameOf(record)));
    timers_.SetChecked(position + 1);
    fields_.name().setText(Q(NameOf(record)));
    fields_.seconds().setText(QString::number(record.seconds.get()));
}

void CountDownTimerEditDlg::ShowNone() {
    selected_ = -1;
    timers_.setText("");
    fields_.name().clear();
    fields_.seconds().setText(QString::number(timer_dlg::kMinSeconds));
}

void CountDownTimerEditDlg::Select(int commandId) {
    const int position = commandId - 1;
    if (position < 0 || position >= static_cast<int>(working_.size())) return;
    if (working_[static_cast<std::size_t>(position)].seconds == HIDMSG::_STimerSettingData::kDeletedSeconds)
        return;
    Show(position);
}

void CountDownTimerEditDlg::Modify() {
    fields_.LeaveSeconds();
    const std::u16string name = fields_.name().text().toStdU16String();
    const int seconds = fields_.secondsValue();
    if (selected_ < 0 || name.empty() || seconds < timer_dlg::kMinSeconds) return;
    auto& record = working_[static_cast<std::size_t>(selected_)];
    const auto updated = MakeRecord(record.index, name, seconds);
    std::copy(std::begin(updated.name.bytes), std::end(updated.name.bytes), record.name.bytes);
    record.seconds = seconds;
    for (QAction* action : timers_.menu().actions()) {
        if (action->data().toInt() == selected_ + 1) action->setText(Q(NameOf(record)));
    }
    timers_.setText(Q(NameOf(record)));
    // The changes go out before the deletions of the same OK, so they name
    // the timer by its place in the list as it was when the dialog opened.
    auto copy = record;
    copy.index = selected_;
    changed_.push_back(copy);
}

void CountDownTimerEditDlg::Delete() {
    if (selected_ < 0) return;
    if (confirmDelete && !confirmDelete()) return;
    auto& record = working_[static_cast<std::size_t>(selected_)];
    deleted_.push_back(record);  // as it was: its index then and its duration
    const std::int32_t index = record.index;
    record.seconds = HIDMSG::_STimerSettingData::kDeletedSeconds;
    for (auto& other : working_) {
        if (other.index > index) other.index = other.index - 1;
    }
    for (QAction* action : timers_.menu().actions()) {
        if (action->data().toInt() == selected_ + 1) {
            timers_.menu().removeAction(action);
            delete action;
            break;
        }
    }
    const auto remaining = timers_.menu().actions();
    if (remaining.isEmpty()) {
        ShowNone();
    } else {
        Show(remaining.front()->data().toInt() - 1);
    }
}

void CountDownTimerEditDlg::Ok() {
    std::vector<HIDMSG::_STimerSettingData> timers;
    for (const auto& record : working_) {
        if (record.seconds == HIDMSG::_STimerSettingData::kDeletedSeconds) continue;
        timers.push_back(record);
        timers.back().index = static_cast<std::int32_t>(timers.size() - 1);
    }
    mirror_.timers = std::move(timers);
    if (send_) {
        for (const auto& record : changed_) send_(link::command::kTimerEdit, record);
        for (const auto& record : deleted_) send_(link::command::kTimerDelete, record);
    }
    changed_.clear();
    deleted_.clear();
    done(QDialog::Accepted);
}

}  // namespace vyre
