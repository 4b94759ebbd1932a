#include "widgets/skin_button.h"

#include <QKeyEvent>
#include <QPainter>

#include "widgets/controls.h"

namespace vyre::widgets {

CSkinButton::CSkinButton(ControlKind kind, const QString& caption, QWidget* parent)
    : QAbstractButton(parent), kind_(kind) {
    setText(caption);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    // The window buttons draw no caption; a screen reader still names them.
    if (kind == ControlKind::Close) setAccessibleName("Close");
    if (kind == ControlKind::Minimise) setAccessibleName("Minimise");
}

void PaintFocusMark(QPainter& p, const QRect& rect) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour::kAccent, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(rect).adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
    p.restore();
}

void CSkinButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier &&
        isEnabled()) {
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CSkinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    ControlState state = ControlState::Normal;
    if (!isEnabled()) {
        state = ControlState::Disabled;
    } else if (isDown()) {
        state = ControlState::Pressed;
    } else if (underMouse()) {
        state = ControlState::Hover;
    }
    PaintControl(p, rect(), kind_, state, isChecked(), text(), captionRightInset_);
    if (hasFocus()) PaintFocusMark(p, rect());
}

bool CSkinButton::HasCaption() const {
    return kind_ == ControlKind::Push || kind_ == ControlKind::WarningPush ||
           kind_ == ControlKind::Tab;
}

void CSkinButton::enterEvent(QEnterEvent* event) {
    if (helpId() != 0) NotifyQuickHelp(this, helpId(), true);
    QAbstractButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
    if (helpId() != 0) NotifyQuickHelp(this, helpId(), false);
    QAbstractButton::leaveEvent(event);
}

void CSkinButton::showEvent(QShowEvent* event) {
    DescribeQuickHelp(this, helpId());
    QAbstractButton::showEvent(event);
}

}  // namespace vyre::widgets
