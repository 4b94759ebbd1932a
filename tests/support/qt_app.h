#pragma once
// The one QApplication of a test process (Qt's offscreen platform in tests).

#include <QApplication>
#include <QEnterEvent>
#include <QWidget>

namespace vyre::testing {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// The pointer entering and leaving a widget.
inline void PointerEnter(QWidget* w) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(w, &enter);
}
inline void PointerLeave(QWidget* w) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w, &leave);
}

}  // namespace vyre::testing
