// The capturing dialog of the X11 key capture test: opens a dialog on the X
// display of its environment, captures, prints "grabbed", then one line per
// key ("key EVDEV SCAN FLAGS DOWN"), and after Escape is released closes the
// dialog, prints "released <grab held>" and ends.

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <cstdio>

#include "platform/hook.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.resize(200, 100);
    vyre::platform::KeyCapture* capture = nullptr;
    vyre::platform::KeyCapture keys(&dialog, [&](const vyre::platform::HookKey& k) {
        std::printf("key %d %02x %02x %d\n", k.evdevCode, k.scanCode, k.flags, k.down ? 1 : 0);
        std::fflush(stdout);
        if (k.evdevCode == 1 && !k.down) {
            dialog.hide();
            std::printf("released %d\n", capture->grabbed() ? 1 : 0);
            std::fflush(stdout);
            QTimer::singleShot(300, &app, &QApplication::quit);
        }
    });
    capture = &keys;
    dialog.show();
    keys.Start();
    QTimer poll;
    int tries = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (keys.grabbed() || ++tries > 100) {
            poll.stop();
            std::printf("grabbed %d\n", keys.grabbed() ? 1 : 0);
            std::fflush(stdout);
        }
    });
    poll.start(20);
    QTimer::singleShot(20000, &app, &QApplication::quit);  // never waits without end
    return app.exec();
}
