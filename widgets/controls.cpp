#include "widgets/controls.h"

#include <QPainter>
#include <QStyleOptionSlider>

#include "widgets/caption_fit.h"

namespace vyre::widgets {

namespace {
// The receiver nearest above `control`, or none.
QuickHelpReceiver* ReceiverAbove(QWidget* control, QWidget** at = nullptr) {
    for (QWidget* w = control ? control->parentWidget() : nullptr; w != nullptr;
         w = w->parentWidget()) {
        if (auto* receiver = dynamic_cast<QuickHelpReceiver*>(w)) {
            if (at != nullptr) *at = w;
            return receiver;
        }
    }
    return nullptr;
}
}  // namespace

void NotifyQuickHelp(QWidget* control, int helpId, bool entered) {
    if (QuickHelpReceiver* receiver = ReceiverAbove(control)) receiver->QuickHelp(helpId, entered);
}

void DescribeQuickHelp(QWidget* control, int helpId) {
    if (control == nullptr || helpId == 0) return;
    // A receiver that passes the help on (a dialog of a page) knows no text:
    // the one that shows it does.
    QString text;
    for (QWidget* from = control; text.isEmpty();) {
        QuickHelpReceiver* receiver = ReceiverAbove(from, &from);
        if (receiver == nullptr) break;
        text = receiver->QuickHelpText(helpId);
    }
    if (!text.isEmpty()) control->setAccessibleDescription(text);
}

void DescribeQuickHelpWithin(QWidget* root) {
    if (root == nullptr) return;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (auto* control = dynamic_cast<QuickHelpControl*>(w)) DescribeQuickHelp(w, control->helpId());
    }
}

QString KitStyleSheet() {
    return "QLineEdit, QSpinBox { background: #232a34; color: #e6e9ee; border: 1px solid #2a313c;"
           " border-radius: 3px; padding: 2px 4px; selection-background-color: #22c7e0; "
           "selection-color: #0b2a30; }"
           "QLineEdit:hover, QSpinBox:hover { background: #2d3642; }"
           "QLineEdit:focus, QSpinBox:focus { border: 1px solid #22c7e0; }"
           "QLineEdit:disabled, QSpinBox:disabled { color: #5b636d; }"
           "QListWidget { background: #1b2028; color: #e6e9ee; border: 1px solid #2a313c; outline: "
           "0; }"
           "QListWidget:focus { border: 1px solid #22c7e0; }"
           "QListWidget::item { height: 22px; padding-left: 4px; }"
           "QListWidget::item:hover { background: #2d3642; }"
           "QListWidget::item:selected { background: #15303a; color: #e6e9ee; border-left: 2px "
           "solid #22c7e0; }"
           "QScrollBar { background: #1b2028; border: none; }"
           "QScrollBar:vertical { width: 10px; } QScrollBar:horizontal { height: 10px; }"
           "QScrollBar::handle { background: #2d3642; border-radius: 4px; min-height: 20px; "
           "min-width: 20px; }"
           "QScrollBar::handle:hover { background: #22c7e0; }"
           "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
           "QMenu { background: #000000; color: #e6e9ee; border: 1px solid #2a313c; }"
           "QMenu::item { height: 24px; padding: 0 24px 0 24px; }"
           "QMenu::item:selected { background: #15303a; border-left: 3px solid #22c7e0; }"
           "QMenu::separator { height: 1px; background: #2a313c; margin: 3px 6px; }"
           "QMenu::indicator { width: 12px; height: 12px; left: 6px; }";
}

// ---- check box and radio button ----------------------------------------------------------------

CSkinCheckBox::CSkinCheckBox(const QString& caption, bool radio, QWidget* parent)
    : WithQuickHelp(parent), radio_(radio) {
    setText(caption);
    setCheckable(true);
    setAutoExclusive(radio);
    setAttribute(Qt::WA_Hover);
    setFont(TextFont(13));
}

QFont CSkinCheckBox::DrawnFont() const {
    return FittedFont(font(), text(), CaptionWidth());
}

QSize CSkinCheckBox::sizeHint() const {
    return {22 + fontMetrics().horizontalAdvance(text()), 18};
}

void CSkinCheckBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0.5, (height() - 14) / 2.0 + 0.5, 13, 13);
    p.setPen(QPen(isChecked() ? colour::kAccent : colour::kBorder, 1));
    p.setBrush(underMouse() ? colour::kControlHover : colour::kControl);
    if (radio_) {
        p.drawEllipse(box);
        if (isChecked()) {
            p.setPen(Qt::NoPen);
            p.setBrush(colour::kAccent);
            p.drawEllipse(box.adjusted(3.5, 3.5, -3.5, -3.5));
        }
    } else {
        p.drawRoundedRect(box, 2, 2);
        if (isChecked()) {
            p.fillRect(box.adjusted(2.5, 2.5, -2.5, -2.5), colour::kAccent);
        }
    }
    p.setPen(isEnabled() ? colour::kText : colour::kTextDisabled);
    p.setFont(DrawnFont());
    p.drawText(QRectF(20, 0, CaptionWidth(), height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus()) PaintFocusMark(p, rect());
}

// ---- menu button --------------------------------------------------------------------------------

CSkinMenuButton::CSkinMenuButton(const QString& caption, QWidget* parent)
    : CSkinButton(ControlKind::Push, caption, parent) {
    setCaptionRightInset(18);  // the chevron's room
    menu_.setStyleSheet(KitStyleSheet());
    menu_.setFont(TextFont(13));
    QObject::connect(this, &QAbstractButton::clicked, this,
                     [this] { shown_->popup(mapToGlobal(QPoint(0, height()))); });
}

void CSkinMenuButton::SetItems(const std::vector<std::pair<int, QString>>& items) {
    menu_.clear();
    for (const auto& [id, text] : items) {
        if (text.isEmpty()) {
            menu_.addSeparator();
            continue;
        }
        AddItem(menu_, id, text);
    }
}

void CSkinMenuButton::AddItem(QMenu& into, int id, const QString& text) {
    QAction* action = into.addAction(text);
    action->setCheckable(true);
    action->setData(id);
    QObject::connect(action, &QAction::triggered, this, [this, id] {
        SetChecked(id);
        if (onChosen) onChosen(id);
    });
}

void CSkinMenuButton::paintEvent(QPaintEvent* event) {
    CSkinButton::paintEvent(event);
    // A chevron at the right: the button opens a menu.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(isEnabled() ? colour::kTextSecondary : colour::kTextDisabled, 1.5,
                  Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF c(width() - 12, height() / 2.0);
    p.drawPolyline(QPolygonF({c + QPointF(-4, -2), c + QPointF(0, 2), c + QPointF(4, -2)}));
}

namespace {
void CheckIn(QMenu& menu, int id) {
    for (QAction* a : menu.actions()) {
        if (QMenu* sub = a->menu()) {
            CheckIn(*sub, id);
        } else {
            a->setChecked(!a->isSeparator() && a->data().toInt() == id);
        }
    }
}
}  // namespace

void CSkinMenuButton::ShowValue(const QString& value) {
    setText(value);
    setAccessibleName(label_.isEmpty() || value.isEmpty() ? label_ + value : label_ + ": " + value);
}

void CSkinMenuButton::SetChecked(int id) {
    CheckIn(*shown_, id);
}

// ---- slider, spin box, edit, list, scroll bar
// ----------------------------------------------------

CSkinSlider::CSkinSlider(QWidget* parent) : WithQuickHelp(Qt::Horizontal, parent) {
    setAttribute(Qt::WA_Hover);
}

void CSkinSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int span = std::max(1, maximum() - minimum());
    const double at = static_cast<double>(value() - minimum()) / span;
    const double left = 7, right = width() - 7.0, y = height() / 2.0;
    const double x = left + (right - left) * at;
    p.setPen(Qt::NoPen);
    p.setBrush(colour::kControl);
    p.drawRoundedRect(QRectF(left, y - 2, right - left, 4), 2, 2);
    p.setBrush(isEnabled() ? colour::kAccent : colour::kTextDisabled);
    p.drawRoundedRect(QRectF(left, y - 2, x - left, 4), 2, 2);
    p.setBrush(underMouse() ? colour::kText : colour::kTextSecondary);
    p.drawEllipse(QPointF(x, y), 6, 6);
    if (hasFocus()) {  // the focus mark: an accent ring round the handle
        p.setPen(QPen(colour::kAccent, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(x, y), 8.5, 8.5);
    }
}

CSkinSpinBox::CSkinSpinBox(QWidget* parent) : WithQuickHelp(parent) {
    setStyleSheet(KitStyleSheet());
    setFont(TextFont(13));
}

CSkinEdit::CSkinEdit(QWidget* parent) : WithQuickHelp(parent) {
    setStyleSheet(KitStyleSheet());
    setFont(TextFont(13));
}

CSkinList::CSkinList(QWidget* parent) : WithQuickHelp(parent) {
    setStyleSheet(KitStyleSheet());
    setFont(TextFont(13));
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
}

void CSkinList::AddItem(const QString& text, bool editable) {
    auto* item = new QListWidgetItem(text, this);
    if (editable) item->setFlags(item->flags() | Qt::ItemIsEditable);
}

CSkinScrollBar::CSkinScrollBar(Qt::Orientation orientation, QWidget* parent)
    : WithQuickHelp(orientation, parent) {
    setStyleSheet(KitStyleSheet());
}

}  // namespace vyre::widgets
