#pragma once
// The quick help of the kit's controls: a control with a help id tells the
// nearest QuickHelpReceiver above it when the pointer enters and leaves it,
// and a screen reader reads its quick help as the control's description.

#include <QString>

class QWidget;

namespace vyre::widgets {

// What the main dialog is to every control of its pages: where the quick help goes.
class QuickHelpReceiver {
  public:
    virtual ~QuickHelpReceiver() = default;
    virtual void QuickHelp(int helpId, bool entered) = 0;
    // The text of a help id in the language shown (empty: none).
    virtual QString QuickHelpText(int /*helpId*/) const { return {}; }
};

// Passes a control's enter or leave to the nearest receiver above it.
void NotifyQuickHelp(QWidget* control, int helpId, bool entered);

// A control's quick help id (0: none).
class QuickHelpControl {
  public:
    void setHelpId(int id) { helpId_ = id; }
    int helpId() const { return helpId_; }

  protected:
    ~QuickHelpControl() = default;

  private:
    int helpId_ = 0;
};

// Gives `control` its quick help, from the nearest receiver above it, as the
// description screen readers read; called as a control shows.
void DescribeQuickHelp(QWidget* control, int helpId);
// The same for every control in `root`, after the language changed.
void DescribeQuickHelpWithin(QWidget* root);

}  // namespace vyre::widgets
