#pragma once
// What a screen reader finds in a window: the controls a user reaches with
// Tab that have no name to read.

#include <QAccessible>
#include <QWidget>

#include <string>
#include <typeinfo>
#include <vector>

namespace vyre::testing {

// Each unnamed control of `root` shown now: its class and place in `root`.
inline std::vector<std::string> UnnamedControls(QWidget& root) {
    std::vector<std::string> unnamed;
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(&root);
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(&root) || !(w->focusPolicy() & Qt::TabFocus) || w == &root) continue;
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(w);
        if (control != nullptr && !control->text(QAccessible::Name).trimmed().isEmpty()) continue;
        const QPoint at = w->mapTo(&root, QPoint());
        unnamed.push_back(std::string(typeid(*w).name()) + " at " + std::to_string(at.x()) + "," +
                          std::to_string(at.y()));
    }
    return unnamed;
}

}  // namespace vyre::testing
