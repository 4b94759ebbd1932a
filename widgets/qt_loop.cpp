#include "widgets/qt_loop.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include "platform/window.h"

namespace vyre::widgets {

int RunQtLoopWithWindows() {
    QSocketNotifier wake(win::WakeFd(), QSocketNotifier::Read);
    int code = 0;
    auto serve = [&] {
        if (const auto quit = win::ProcessPendingMessages()) {
            code = *quit;
            QCoreApplication::exit(code);
        }
    };
    QObject::connect(&wake, &QSocketNotifier::activated, serve);
    serve();
    QCoreApplication::exec();
    return code;
}

}  // namespace vyre::widgets
