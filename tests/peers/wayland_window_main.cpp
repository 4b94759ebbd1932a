// A plain window of its own program for the desktop tests: shown until the
// process is ended. Its title is the first argument.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("window"));
    window.resize(320, 200);
    window.show();
    return app.exec();
}
