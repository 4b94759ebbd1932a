// vyre-lumo-monitor: the background program that alone talks to the keyboard.

#include <QApplication>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "common/link_codes.h"
#include "common/log.h"
#include "common/version.h"
#include "monitor/shell/monitor_app.h"
#include "platform/hid/select.h"
#include "platform/log_file.h"
#include "platform/record.h"

namespace {

const char kUsage[] =
    "usage: vyre-lumo-monitor [options]\n"
    "  --hid hidapi|sim|sim:PATH  the keyboard: real devices (default) or the emulator\n"
    "                             (also VYRE_LUMO_HID)\n"
    "  --home DIR                 the data folder (also VYRE_LUMO_HOME)\n"
    "  --record FILE              write every action on the computer to FILE, one line\n"
    "                             each, instead of performing it\n"
    "  --screenshots DIR          write pictures of the tray menu and the profile notice\n"
    "                             into DIR once the keyboard was read\n"
    "  --log-level LEVEL          debug, info (default), warning, error or off\n"
    "  --poll-ms N                poll a busy keyboard every N ms instead of the usual\n"
    "                             intervals (for an emulator that is never busy)\n"
    "  --arrival-ms N             wait N ms instead of 1800 after a keyboard arrived\n"
    "  --help                     this text\n"
    "  --version                  the version\n";

bool ParseInt(const char* text, int* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 0);
    if (end == text || *end != '\0' || v < 0 || v > 60000) return false;
    *value = static_cast<int>(v);
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "vyre-lumo-monitor: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vyre;
    MonitorOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)name;
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::fputs(VersionLine("vyre-lumo-monitor").c_str(), stdout);
            return 0;
        } else if (arg == "--hid") {
            if (!value("--hid")) return Fail("--hid needs a value");
        } else if (arg.rfind("--hid=", 0) == 0) {
            // read by SelectBackend
        } else if (arg == "--home") {
            const char* dir = value("--home");
            if (!dir) return Fail("--home needs a folder");
            ::setenv("VYRE_LUMO_HOME", dir, 1);
        } else if (arg == "--record") {
            const char* file = value("--record");
            std::string error;
            if (!file) return Fail("--record needs a file");
            if (!platform::ActionRecord::Instance().Open(file, &error)) return Fail(error);
        } else if (arg == "--screenshots") {
            const char* dir = value("--screenshots");
            if (!dir) return Fail("--screenshots needs a folder");
            options.screenshots = dir;
        } else if (arg == "--log-level") {
            const char* word = value("--log-level");
            log::Level level;
            if (!word || !log::ParseLevel(word, &level)) return Fail("unknown log level");
            log::SetLevel(level);
        } else if (arg == "--poll-ms") {
            const char* n = value("--poll-ms");
            if (!n || !ParseInt(n, &options.link.pollIntervalOverrideMs))
                return Fail("--poll-ms needs a number");
        } else if (arg == "--arrival-ms") {
            const char* n = value("--arrival-ms");
            if (!n || !ParseInt(n, &options.link.arrivalSettleMs))
                return Fail("--arrival-ms needs a number");
        } else {
            return Fail("unknown option " + arg);
        }
    }

    // Log lines also go to a file, so that a bug report can carry them.
    constexpr std::size_t kLogFileBytes = 1 << 20;
    if (std::string error; !platform::StartLogFile(platform::LogFile(), kLogFileBytes, &error)) {
        log::Warning("monitor", "no log file: " + error);
    }

    // SIGINT and SIGTERM end the Monitor as the tray's Exit does; every
    // thread started from here on leaves them to the signal thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::string error;
    options.backend = hid::SelectBackend(argc, argv, &error);
    if (!options.backend) log::Error("monitor", "the HID layer could not start: " + error);

    // With a display (or a Qt platform chosen) the tray and the popup run in Qt.
    std::unique_ptr<QApplication> qt;
    if (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM")) {
        qt = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        options.gui = true;
    }
    CVyreMKMonitorApp app(std::move(options));
    if (!app.InitInstance()) return app.startFailed() ? 1 : 0;

    std::atomic<bool> done{false};
    std::thread signalThread([&] {
        const timespec tick{0, 200 * 1000 * 1000};
        while (!done.load()) {
            const int sig = sigtimedwait(&stopSignals, nullptr, &tick);
            if (sig == SIGINT || sig == SIGTERM) {
                log::Info("monitor", std::string("signal ") + strsignal(sig) + ": stopping");
                win::PostMessage(app.shared().control.load(), link::kMsgNotify, link::notify::kExit,
                                 0);
            }
        }
    });
    app.Run();
    const int code = app.ExitInstance();
    done = true;
    signalThread.join();
    return code;
}
