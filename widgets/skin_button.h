#pragma once
// A skinned button drawn by kind (push button, tab, profile slot, desktop
// marker, close, minimise) with its caption, in each of its states; it can be
// a two-state button (checkable). It reports clicks as any button does.

#include <QAbstractButton>

#include "widgets/quick_help.h"
#include "widgets/skin_art.h"

class QPainter;

namespace vyre::widgets {

// The mark of the control that has the keyboard focus: a 1 px accent frame
// just inside the control, drawn over its face.
void PaintFocusMark(QPainter& p, const QRect& rect);

class CSkinButton : public QAbstractButton, public QuickHelpControl {
  public:
    CSkinButton(ControlKind kind, const QString& caption, QWidget* parent = nullptr);
    // Whether the kind draws its caption (push buttons and tabs), and where.
    bool HasCaption() const;
    QRectF CaptionRect() const { return ControlCaptionRect(rect(), captionRightInset_); }

  protected:
    // Room kept free at the right of the caption (a menu button's chevron).
    void setCaptionRightInset(int pixels) { captionRightInset_ = pixels; }
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Enter presses as Space does.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    ControlKind kind_;
    int captionRightInset_ = 0;
};

}  // namespace vyre::widgets
