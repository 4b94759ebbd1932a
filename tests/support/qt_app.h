#pragma once
// The one QApplication of a test process (Qt's offscreen platform in tests).

#include <QApplication>

namespace vyre::testing {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace vyre::testing
