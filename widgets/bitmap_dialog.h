#pragma once
// The skinned widget kit's base pieces: CBitmapDialog, a window whose face is
// a bitmap (the window takes the face's shape and is dragged by it), and
// CPushDownBtn, a push button drawn from three bitmaps (normal, pressed,
// hover) that reports clicks as any button does.

#include <QAbstractButton>
#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QWindow>

#include <functional>

namespace vyre::widgets {

// Where a window of `size` may stand in `area` when asked for `topLeft`:
// wholly inside it; a window larger than the area on a side covers that side
// whole, so that every part of it can be dragged into view.
QPoint KeepWithin(const QRect& area, QPoint topLeft, QSize size);

class CBitmapDialog : public QDialog {
  public:
    explicit CBitmapDialog(QWidget* parent = nullptr);

    // Loads the face and second bitmaps; the window takes the face's size
    // plus 5 pixels each way, and its shape.
    void SetBitmaps(int faceId, int secondId);
    // A face painted at any device pixel ratio (a face of words, say): the
    // window takes its size plus the margin, and its shape.
    void SetFace(const std::function<QPixmap(qreal dpr)>& paint);
    int faceId() const { return faceId_; }
    // Centres the window in its screen's available area; a window larger
    // than the area starts at its top left, title band and all in view.
    void PlaceOnScreen();
    int secondId() const { return secondId_; }
    // The button that Enter and Return press (the dialog's OK); null: none.
    // A dialog that captures the keys never sees them.
    void SetEnterButton(QAbstractButton* button) { enterButton_ = button; }

    // Starts the window system's own move of the window (the only one that
    // works on Wayland, where a window cannot place itself); false when the
    // platform has none, and the dialog then moves itself with the pointer.
    std::function<bool()> startSystemMove = [this] {
        return windowHandle() != nullptr && windowHandle()->startSystemMove();
    };

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QAbstractButton* enterButton_ = nullptr;
    int faceId_ = 0;
    int secondId_ = 0;
    QPixmap face_;
    bool dragging_ = false;
    QPoint dragOffset_;
};

class CPushDownBtn : public QAbstractButton {
  public:
    explicit CPushDownBtn(QWidget* parent = nullptr);
    void SetBitmaps(int normal, int pressed, int hover);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    int normal_ = 0, pressed_ = 0, hover_ = 0;
    bool hovering_ = false;
};

// Names the drawn close, OK and cancel buttons of a dialog for screen readers.
void NameWindowButtons(CPushDownBtn& close, CPushDownBtn& ok, CPushDownBtn& cancel);

}  // namespace vyre::widgets
