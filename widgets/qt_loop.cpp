#include "widgets/qt_loop.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include "platform/window.h"

namespace vyre::widgets {

int RunQtLoopWithWindows() {
    QSocketNotifier wake(win::WakeFd(), QSocketNotifier::Read);
    int code = 0;
    bool quit = false;
    auto serve = [&] {
        if (const auto end = win::ProcessPendingMessages()) {
            code = *end;
            quit = true;
            QCoreApplication::exit(code);
        }
    };
    QObject::connect(&wake, &QSocketNotifier::activated, serve);
    serve();
    // A quit that came before the loop runs ends it at once: exit() does
    // nothing to a loop that has not started.
    if (!quit) QCoreApplication::exec();
    return code;
}

}  // namespace vyre::widgets
