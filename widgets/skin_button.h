#pragma once
// A skinned button drawn by kind (push button, tab, profile slot, desktop
// marker, close, minimise) with its caption, in each of its states; it can be
// a two-state button (checkable). It reports clicks as any button does.

#include <QAbstractButton>

#include "widgets/skin_art.h"

namespace vyre::widgets {

class CSkinButton : public QAbstractButton {
  public:
    CSkinButton(ControlKind kind, const QString& caption, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ControlKind kind_;
};

}  // namespace vyre::widgets
