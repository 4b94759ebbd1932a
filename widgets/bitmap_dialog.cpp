#include "widgets/bitmap_dialog.h"

#include <QBitmap>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "widgets/skin_art.h"

namespace vyre::widgets {

namespace {
constexpr int kFaceMargin = 5;
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
    if (dragging_ && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - dragOffset_);
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

}  // namespace vyre::widgets
