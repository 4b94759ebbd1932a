// The program in front on desktops that tell it over D-Bus: KDE Plasma (a
// KWin script the Monitor loads through KWin's scripting interface) and GNOME
// (the Vyre Lumo GNOME Shell extension). Both call the Monitor's method
//
//   service com.kalvex.VyreLumo.Monitor, object /Foreground,
//   com.kalvex.VyreLumo.Foreground.Activated(s pid, s appId)
//
// with the active window's process id in decimal ("0" or "": no window) and
// its app id or window class.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QEventLoop>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "common/log.h"
#include "platform/desktop.h"

namespace vyre::platform {
namespace {

constexpr int kCallWaitMs = 3000;
constexpr const char* kArea = "desktop";
constexpr const char* kKWinScriptName = "vyre-lumo-foreground";

// What the desktop last reported; shared between the bus thread and the
// callers of Foreground().
struct Reported {
    std::mutex mutex;
    bool any = false;
    std::uint64_t window = 0;  // a new number for every activation
    long pid = 0;
    std::string appId;
    ForegroundProgram known;  // the program of `window`, once read
};

class ForegroundObject : public QDBusVirtualObject {
  public:
    explicit ForegroundObject(Reported& reported) : reported_(reported) {}
    QString introspect(const QString&) const override {
        return QString("<interface name=\"%1\"><method name=\"Activated\">"
                       "<arg name=\"pid\" type=\"s\" direction=\"in\"/>"
                       "<arg name=\"appId\" type=\"s\" direction=\"in\"/></method></interface>")
            .arg(kForegroundInterface);
    }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage) return false;
        if (message.member() != QLatin1String("Activated") ||
            (!message.interface().isEmpty() && message.interface() != QLatin1String(kForegroundInterface))) {
            return false;
        }
        const QList<QVariant> args = message.arguments();
        bool ok = args.size() == 2 && args[0].metaType().id() == QMetaType::QString &&
                  args[1].metaType().id() == QMetaType::QString;
        long pid = 0;
        if (ok && !args[0].toString().isEmpty()) {
            const qlonglong value = args[0].toString().toLongLong(&ok);
            ok = ok && value >= 0 && value <= 0x3FFFFFFF;
            pid = static_cast<long>(value);
        }
        const std::string appId = args.size() == 2 ? args[1].toString().left(255).toStdString() : "";
        if (!ok) {
            connection.send(message.createErrorReply(QDBusError::InvalidArgs, "Activated takes (s pid, s appId)"));
            return true;
        }
        {
            std::lock_guard lock(reported_.mutex);
            reported_.any = true;
            ++reported_.window;
            reported_.pid = pid;
            reported_.appId = appId;
        }
        connection.send(message.createReply());
        return true;
    }

  private:
    Reported& reported_;
};

QDBusMessage Call(QDBusConnection& bus, const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QList<QVariant>& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(service, path, interface, method);
    m.setArguments(args);
    return bus.call(m, QDBus::Block, kCallWaitMs);
}

enum class Kind { KWin, Gnome };

class DBusDesktop : public Desktop {
  public:
    DBusDesktop(Kind kind, std::string kwinScript) : kind_(kind), kwinScript_(std::move(kwinScript)) {
        thread_ = QThread::create([this] { Run(); });
        thread_->start();
        // The service is offered (or refused) before the first look; the bus's
        // own calls end within their timeout.
        std::unique_lock lock(startMutex_);
        started_.wait_for(lock, std::chrono::seconds(30), [this] { return startDone_; });
    }
    ~DBusDesktop() override {
        thread_->quit();
        // Each call on the bus has its bound; a thread that still does not end is left to the exit.
        if (thread_->wait(kCallWaitMs * 3)) delete thread_;
    }

    std::string Advice() override {
        std::lock_guard lock(reported_.mutex);
        return advice_;
    }

    std::optional<ForegroundProgram> Foreground() override {
        if (!serving_) return std::nullopt;
        std::lock_guard lock(reported_.mutex);
        ForegroundProgram fg;
        if (!reported_.any) return fg;  // nothing told yet: nothing this round
        fg.window = reported_.window;
        if (reported_.pid == 0) {
            fg.desktop = true;
            return fg;
        }
        if (reported_.known.window != fg.window) {
            reported_.known = ProgramOfProcess(fg.window, reported_.pid);
        }
        return reported_.known;
    }

  private:
    void Run() {
        // The session bus of the environment as it is now (the bus library keeps the first it saw).
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        QDBusConnection bus = address && *address
                                  ? QDBusConnection::connectToBus(QString::fromLocal8Bit(address), "vyre-lumo-desktop")
                                  : QDBusConnection::connectToBus(QDBusConnection::SessionBus, "vyre-lumo-desktop");
        ForegroundObject object(reported_);
        bool ok = bus.isConnected() && bus.registerVirtualObject(kForegroundPath, &object) &&
                  bus.registerService(kForegroundService);
        if (!ok) log::Warning(kArea, "the session bus refuses the Monitor's foreground service: profiles do not follow programs");
        serving_ = ok;
        {
            std::lock_guard lock(startMutex_);
            startDone_ = true;
        }
        started_.notify_all();
        if (ok && kind_ == Kind::KWin) ok = LoadKWinScript(bus);
        if (ok && kind_ == Kind::Gnome) CheckGnomeExtension(bus);
        if (ok) {
            QEventLoop loop;
            loop.exec();
        }
        if (ok && kind_ == Kind::KWin) {
            Call(bus, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript", {QString(kKWinScriptName)});
        }
        bus.unregisterService(kForegroundService);
        bus.unregisterObject(kForegroundPath);
        QDBusConnection::disconnectFromBus("vyre-lumo-desktop");
    }

    bool LoadKWinScript(QDBusConnection& bus) {
        const QString name(kKWinScriptName);
        // A script left by an earlier Monitor would report twice.
        Call(bus, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript", {name});
        const QDBusMessage loaded = Call(bus, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "loadScript",
                                         {QString::fromStdString(kwinScript_), name});
        const int id = loaded.type() == QDBusMessage::ReplyMessage && loaded.arguments().size() == 1
                           ? loaded.arguments()[0].toInt()
                           : -1;
        if (id < 0) {
            log::Warning(kArea, "KWin did not load the Monitor's script (" + kwinScript_ + ": " +
                                    loaded.errorMessage().toStdString() + "): profiles do not follow programs");
            serving_ = false;
            return false;
        }
        // Plasma 6 names the script under /Scripting, Plasma 5 at the root.
        for (const QString& path : {QString("/Scripting/Script%1").arg(id), QString("/%1").arg(id)}) {
            if (Call(bus, "org.kde.KWin", path, "org.kde.kwin.Script", "run").type() == QDBusMessage::ReplyMessage)
                return true;
        }
        log::Warning(kArea, "KWin loaded but did not run the Monitor's script: profiles do not follow programs");
        serving_ = false;
        return false;
    }

    void CheckGnomeExtension(QDBusConnection& bus) {
        const QDBusMessage info = Call(bus, "org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                                       "GetExtensionInfo", {QString(kGnomeExtension)});
        QVariantMap map;
        if (info.type() == QDBusMessage::ReplyMessage && info.arguments().size() == 1)
            map = qdbus_cast<QVariantMap>(info.arguments()[0]);
        if (map.value("state").toDouble() == 1.0) return;  // enabled
        std::lock_guard lock(reported_.mutex);
        advice_ = map.isEmpty() ? kGnomeExtensionMissing : kGnomeExtensionOff;
        log::Warning(kArea, advice_);
    }

    Kind kind_;
    std::string kwinScript_;
    std::string advice_;  // under reported_.mutex
    QThread* thread_ = nullptr;
    Reported reported_;
    std::atomic<bool> serving_{false};
    std::mutex startMutex_;
    std::condition_variable started_;
    bool startDone_ = false;
};

// A desktop's own report first; until it has reported (its script or
// extension not running), X11 for the Xwayland windows.
class WithX11 : public Desktop {
  public:
    WithX11(std::unique_ptr<Desktop> own, std::unique_ptr<Desktop> x11) : own_(std::move(own)), x11_(std::move(x11)) {}
    std::optional<ForegroundProgram> Foreground() override {
        auto fg = own_->Foreground();
        if (fg && (fg->window != 0 || fg->desktop)) return fg;
        if (x11_) {
            if (auto x = x11_->Foreground()) return x;
        }
        return fg;
    }
    std::string Advice() override { return own_->Advice(); }

  private:
    std::unique_ptr<Desktop> own_, x11_;
};

bool CurrentDesktopIs(const char* name) {
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    if (desktops == nullptr) return false;
    const std::string list = std::string(":") + desktops + ":";
    return list.find(std::string(":") + name + ":") != std::string::npos;
}

}  // namespace

std::unique_ptr<Desktop> MakeKWinDesktop(const std::string& script) {
    if (QCoreApplication::instance() == nullptr) return nullptr;
    return std::make_unique<DBusDesktop>(Kind::KWin, script);
}

std::unique_ptr<Desktop> MakeGnomeDesktop() {
    if (QCoreApplication::instance() == nullptr) return nullptr;
    return std::make_unique<DBusDesktop>(Kind::Gnome, std::string());
}

std::unique_ptr<Desktop> MakeDBusDesktop(const std::string& kwinScript) {
    std::unique_ptr<Desktop> own;
    if (CurrentDesktopIs("KDE")) own = MakeKWinDesktop(kwinScript);
    else if (CurrentDesktopIs("GNOME")) own = MakeGnomeDesktop();
    if (!own) return nullptr;
    return std::make_unique<WithX11>(std::move(own), MakeX11Desktop());
}

}  // namespace vyre::platform
