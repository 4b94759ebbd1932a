// The Monitor's side of the KDE Plasma and GNOME foreground contract, against
// stand-ins of KWin and GNOME Shell on a private session bus.

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <future>

#include "platform/desktop.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tests/support/qt_app.h"

namespace vyre::platform {
namespace {

namespace fs = std::filesystem;

// Runs the test's event loop (where the stand-ins answer) until `done`, at most 10 s.
template <class Done>
bool SpinUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// KWin's scripting interface and GNOME Shell's extension list as the
// Monitor uses them; a script that runs, and the extension, report the
// window in front as they would.
class StandIn : public QDBusVirtualObject {
  public:
    std::vector<std::string> calls;
    QVariantMap extensionInfo;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        calls.push_back((m.path() + " " + m.member()).toStdString());
        for (const QVariant& a : m.arguments()) calls.back() += " " + a.toString().toStdString();
        if (m.member() == "loadScript") return bus.send(m.createReply(QVariant(7)));
        if (m.member() == "GetExtensionInfo") return bus.send(m.createReply(QVariant(extensionInfo)));
        bus.send(m.createReply());
        if (m.member() == "run") Report(std::to_string(::getpid()), "standin");
        return true;
    }
    void Report(const std::string& pid, const std::string& appId) {
        QDBusMessage m = QDBusMessage::createMethodCall(kForegroundService, kForegroundPath, kForegroundInterface,
                                                        "Activated");
        m.setArguments({QString::fromStdString(pid), QString::fromStdString(appId)});
        QDBusConnection("stand-in").send(m);
    }
};

struct PrivateBus {
    testing::TempDir folder;
    std::unique_ptr<testing::Process> daemon;
    std::unique_ptr<testing::ScopedEnv> env;
    StandIn standIn;

    PrivateBus(const char* service, const char* path) {
        testing::ScopedEnv offscreen("QT_QPA_PLATFORM", "offscreen");
        testing::App();
        const std::string address = "unix:path=" + (folder / "bus").string();
        daemon = std::make_unique<testing::Process>(
            std::vector<std::string>{"/usr/bin/dbus-daemon", "--session", "--nofork", "--address=" + address});
        for (int i = 0; i < 200 && !fs::exists(folder / "bus"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        env = std::make_unique<testing::ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", address);
        QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), "stand-in");
        bus.registerVirtualObject(path, &standIn, QDBusConnection::SubPath);
        bus.registerService(service);
    }
    ~PrivateBus() { QDBusConnection::disconnectFromBus("stand-in"); }
    // Ends a desktop while the stand-ins go on answering it.
    void End(std::unique_ptr<Desktop> desktop) {
        auto ended = std::async(std::launch::async, [&] { desktop.reset(); });
        SpinUntil([&] { return ended.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    }
};

bool InFront(Desktop& d, const std::string& path) {
    return SpinUntil([&] {
        const auto fg = d.Foreground();
        return fg && fg->path == path;
    });
}

bool DesktopInFront(Desktop& d) {
    return SpinUntil([&] {
        const auto fg = d.Foreground();
        return fg && fg->desktop;
    });
}

TEST(DBusDesktop, KWinLoadsTheScriptWhoseReportsTellTheProgramInFront) {
    PrivateBus bus("org.kde.KWin", "/Scripting");
    auto desktop = MakeKWinDesktop("/usr/share/vyre-lumo/kwin/vyre-lumo-foreground.js");
    ASSERT_TRUE(desktop);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    ASSERT_TRUE(InFront(*desktop, self));
    EXPECT_FALSE(desktop->Foreground()->desktop);

    bus.standIn.Report("0", "");  // no window active: the desktop
    EXPECT_TRUE(DesktopInFront(*desktop));
    bus.standIn.Report("12x", "bad");  // refused: nothing changes
    bus.standIn.Report(std::to_string(::getpid()), "standin");
    ASSERT_TRUE(InFront(*desktop, self));

    bus.End(std::move(desktop));
    const std::vector<std::string> expected = {
        "/Scripting unloadScript vyre-lumo-foreground",
        "/Scripting loadScript /usr/share/vyre-lumo/kwin/vyre-lumo-foreground.js vyre-lumo-foreground",
        "/Scripting/Script7 run", "/Scripting unloadScript vyre-lumo-foreground"};
    EXPECT_EQ(bus.standIn.calls, expected);
}

TEST(DBusDesktop, GnomeAdvisesTheMissingExtensionAndTakesItsReports) {
    PrivateBus bus("org.gnome.Shell", "/org/gnome/Shell");
    auto desktop = MakeGnomeDesktop();
    ASSERT_TRUE(desktop);
    ASSERT_TRUE(SpinUntil([&] { return !desktop->Advice().empty(); }));
    EXPECT_NE(desktop->Advice().find("gnome-extensions enable vyre-lumo@kalvex.com"), std::string::npos);
    EXPECT_EQ(bus.standIn.calls, std::vector<std::string>{"/org/gnome/Shell GetExtensionInfo vyre-lumo@kalvex.com"});

    bus.standIn.Report(std::to_string(::getpid()), "org.example.Game");
    EXPECT_TRUE(InFront(*desktop, fs::read_symlink("/proc/self/exe").string()));
    bus.End(std::move(desktop));

    // An enabled extension needs no advice.
    bus.standIn.extensionInfo = {{"state", 1.0}};
    desktop = MakeGnomeDesktop();
    bus.standIn.Report("0", "");
    EXPECT_TRUE(DesktopInFront(*desktop));
    EXPECT_EQ(desktop->Advice(), "");
    bus.End(std::move(desktop));
}

}  // namespace
}  // namespace vyre::platform
