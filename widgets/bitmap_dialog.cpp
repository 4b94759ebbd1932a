#include "widgets/bitmap_dialog.h"

#include <algorithm>

#include <QBitmap>
#include <QGuiApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "widgets/skin_art.h"
#include "widgets/skin_button.h"

namespace vyre::widgets {

namespace {
constexpr int kFaceMargin = 5;
}

QPoint KeepWithin(const QRect& area, QPoint topLeft, QSize size) {
    auto clamp = [](int at, int low, int length, int room) {
        const int high = low + room - length;  // below low when the window is larger
        return length <= room ? std::clamp(at, low, high) : std::clamp(at, high, low);
    };
    return {clamp(topLeft.x(), area.left(), size.width(), area.width()),
            clamp(topLeft.y(), area.top(), size.height(), area.height())};
}

namespace {

QRect AvailableArea(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect();
}

}  // namespace

void CBitmapDialog::PlaceOnScreen() {
    const QRect area = AvailableArea(*this);
    if (!area.isValid()) return;
    QPoint at = area.center() - rect().center();
    if (width() > area.width()) at.setX(area.left());
    if (height() > area.height()) at.setY(area.top());
    move(KeepWithin(area, at, frameGeometry().size()));
}

CBitmapDialog::CBitmapDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowIcon(QIcon(AppIcon(64)));
}

void CBitmapDialog::SetBitmaps(int faceId, int secondId) {
    SetFace([faceId](qreal dpr) { return SkinBitmap(faceId, dpr); });
    faceId_ = faceId;
    secondId_ = secondId;
}

void CBitmapDialog::SetFace(const std::function<QPixmap(qreal dpr)>& paint) {
    faceId_ = secondId_ = 0;
    face_ = paint(devicePixelRatioF());
    const QPixmap shape = paint(1.0);
    setFixedSize(shape.size() + QSize(kFaceMargin, kFaceMargin));
    // The window's shape is the face's.
    setMask(shape.mask());
    update();
}

void CBitmapDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, face_);
}

void CBitmapDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = !(startSystemMove && startSystemMove());
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
    QDialog::mousePressEvent(event);
}

void CBitmapDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        const QPoint wanted = event->globalPosition().toPoint() - dragOffset_;
        const QRect area = AvailableArea(*this);
        move(area.isValid() ? KeepWithin(area, wanted, frameGeometry().size()) : wanted);
    }
    QDialog::mouseMoveEvent(event);
}

void CBitmapDialog::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && enterButton_ != nullptr && (event->modifiers() & ~Qt::KeypadModifier) == 0) {
        if (enterButton_->isEnabled() && enterButton_->isVisible()) enterButton_->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CBitmapDialog::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

CPushDownBtn::CPushDownBtn(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
}

void CPushDownBtn::SetBitmaps(int normal, int pressed, int hover) {
    normal_ = normal;
    pressed_ = pressed;
    hover_ = hover;
    update();
}

QSize CPushDownBtn::sizeHint() const {
    return SkinBitmapSize(normal_);
}

void CPushDownBtn::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int id = isDown() ? pressed_ : hovering_ ? hover_ : normal_;
    if (!isEnabled()) p.setOpacity(0.4);
    p.drawPixmap(0, 0, SkinBitmap(id, devicePixelRatioF()).scaled(size() * devicePixelRatioF()));
    if (hasFocus()) PaintFocusMark(p, rect());
}

void CPushDownBtn::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CPushDownBtn::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void NameWindowButtons(CPushDownBtn& close, CPushDownBtn& ok, CPushDownBtn& cancel) {
    close.setAccessibleName("Close");
    ok.setAccessibleName("OK");
    cancel.setAccessibleName("Cancel");
}

}  // namespace vyre::widgets
