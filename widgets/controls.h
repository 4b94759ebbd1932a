#pragma once
// The skinned widget kit's controls for the Config's pages: check box, radio
// button, menu button with its dark menu, label, slider, spin box, edit,
// list with in-place edit and scroll bar (the key caps are in
// widgets/keyboard_picture.h). Each draws its states
// in the one look, reports clicks and changes as Qt's own controls do, and
// tells the nearest QuickHelpReceiver above it when the pointer enters (true)
// and leaves (false) it, with its help id. A screen reader reads a control's
// quick help as its description.

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QString>

#include <functional>
#include <vector>

#include "widgets/skin_button.h"

namespace vyre::widgets {

// Adds the quick help to a Qt control.
template <typename Base>
class WithQuickHelp : public Base, public QuickHelpControl {
  public:
    using Base::Base;

  protected:
    void enterEvent(QEnterEvent* event) override {
        NotifyQuickHelp(this, helpId(), true);
        Base::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override {
        NotifyQuickHelp(this, helpId(), false);
        Base::leaveEvent(event);
    }
    void showEvent(QShowEvent* event) override {
        DescribeQuickHelp(this, helpId());
        Base::showEvent(event);
    }
};

// A 14 px box (check box) or circle (radio button), accent filled when set.
class CSkinCheckBox : public WithQuickHelp<QAbstractButton> {
  public:
    CSkinCheckBox(const QString& caption, bool radio, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    // The caption's room right of the box, and its font, made smaller where
    // the room is short.
    qreal CaptionWidth() const { return width() - 20; }
    QFont DrawnFont() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool radio_;
};

// A button that opens a dark menu of items; the assigned item carries a check mark.
class CSkinMenuButton : public CSkinButton {
  public:
    CSkinMenuButton(const QString& caption, QWidget* parent = nullptr);
    // Items: id and text; an empty text is a separator.
    void SetItems(const std::vector<std::pair<int, QString>>& items);
    // Adds one item to the menu or to one of its submenus; choosing it checks
    // it and calls onChosen.
    void AddItem(QMenu& into, int id, const QString& text);
    // Checks the item of `id` (in every submenu) and unchecks the others.
    void SetChecked(int id);
    std::function<void(int id)> onChosen;
    // A button that shows a value: `label` says what the value is, for a
    // screen reader that reads "label: value".
    void SetLabel(const QString& label) { label_ = label; }
    void ShowValue(const QString& value);
    // The menu the button opens: its own, or one its page keeps (nullptr:
    // its own again).
    void SetMenu(QMenu* menu) { shown_ = menu != nullptr ? menu : &menu_; }
    QMenu& menu() { return *shown_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QMenu menu_;
    QMenu* shown_ = &menu_;
    QString label_;
};

using CSkinLabel = WithQuickHelp<QLabel>;

// A 4 px track filled with the accent up to the handle.
class CSkinSlider : public WithQuickHelp<QSlider> {
  public:
    explicit CSkinSlider(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class CSkinSpinBox : public WithQuickHelp<QSpinBox> {
  public:
    explicit CSkinSpinBox(QWidget* parent = nullptr);
};

class CSkinEdit : public WithQuickHelp<QLineEdit> {
  public:
    explicit CSkinEdit(QWidget* parent = nullptr);
};

// A list whose items are edited in place (double-click or F2).
class CSkinList : public WithQuickHelp<QListWidget> {
  public:
    explicit CSkinList(QWidget* parent = nullptr);
    void AddItem(const QString& text, bool editable);
};

class CSkinScrollBar : public WithQuickHelp<QScrollBar> {
  public:
    explicit CSkinScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);
};

// The style sheet of the kit's Qt-drawn controls (edits, spin boxes, lists,
// scroll bars, menus).
QString KitStyleSheet();

}  // namespace vyre::widgets
