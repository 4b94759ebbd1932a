#include "platform/input.h"

// Qt first: the X11 headers define macros (Status, Bool) that Qt's would meet.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "common/log.h"
#include "platform/desktop.h"
#include "platform/record.h"

namespace vyre::platform {
namespace {

class RecordingInjector : public KeyInjector {
  public:
    void Press(MediaKey key) override { Write(key, "down"); }
    void Release(MediaKey key) override { Write(key, "up"); }

  private:
    static void Write(MediaKey key, const char* how) {
        ActionRecord::Instance().Write("key " + std::string(MediaKeyName(key)) + " " + how);
    }
};

class XTestInjector : public KeyInjector {
  public:
    explicit XTestInjector(Display* display) : display_(display) {}
    ~XTestInjector() override { XCloseDisplay(display_); }
    void Press(MediaKey key) override { Send(key, True); }
    void Release(MediaKey key) override { Send(key, False); }

  private:
    void Send(MediaKey key, Bool down) {
        std::lock_guard lock(mutex_);
        const KeyCode code = XKeysymToKeycode(display_, Symbol(key));
        if (code == 0) return;  // the keyboard map has no such key
        XTestFakeKeyEvent(display_, code, down, CurrentTime);
        XFlush(display_);
    }
    static KeySym Symbol(MediaKey key) {
        switch (key) {
            case MediaKey::NextTrack:
                return XF86XK_AudioNext;
            case MediaKey::PreviousTrack:
                return XF86XK_AudioPrev;
            case MediaKey::PlayPause:
                return XF86XK_AudioPlay;
            case MediaKey::Stop:
                return XF86XK_AudioStop;
            case MediaKey::Mute:
                return XF86XK_AudioMute;
            case MediaKey::VolumeDown:
                return XF86XK_AudioLowerVolume;
            case MediaKey::VolumeUp:
                return XF86XK_AudioRaiseVolume;
            case MediaKey::MediaSelect:
                return XF86XK_AudioMedia;
        }
        return NoSymbol;
    }
    std::mutex mutex_;
    Display* display_;
};

// Media keys as MPRIS calls to the player that plays (else the first one),
// volume keys as changes of the master volume.
class MprisInjector : public KeyInjector {
  public:
    explicit MprisInjector(MasterVolume& volume) : volume_(volume) {}
    void Press(MediaKey key) override {
        switch (key) {
            case MediaKey::NextTrack:
                Call("Next");
                break;
            case MediaKey::PreviousTrack:
                Call("Previous");
                break;
            case MediaKey::PlayPause:
                Call("PlayPause");
                break;
            case MediaKey::Stop:
                Call("Stop");
                break;
            case MediaKey::VolumeUp:
                volume_.Step(1);
                break;
            case MediaKey::VolumeDown:
                volume_.Step(-1);
                break;
            case MediaKey::Mute:
                volume_.ToggleMute();
                break;
            case MediaKey::MediaSelect:
                break;  // no player to open without a desktop key
        }
    }
    void Release(MediaKey) override {}

  private:
    static constexpr int kTimeoutMs = 1000;
    static constexpr const char* kPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

    static void Call(const char* method) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || bus.interface() == nullptr) return;
        const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
        if (!names.isValid()) return;
        QString chosen;
        for (const QString& name : names.value()) {
            if (!name.startsWith("org.mpris.MediaPlayer2.")) continue;
            if (chosen.isEmpty()) chosen = name;
            QDBusMessage get = QDBusMessage::createMethodCall(
                name, kPath, "org.freedesktop.DBus.Properties", "Get");
            get << QString(kPlayer) << QString("PlaybackStatus");
            const QDBusMessage status = bus.call(get, QDBus::Block, kTimeoutMs);
            if (!status.arguments().isEmpty() &&
                status.arguments().first().value<QDBusVariant>().variant().toString() ==
                    "Playing") {
                chosen = name;
                break;
            }
        }
        if (chosen.isEmpty()) return;
        bus.call(QDBusMessage::createMethodCall(chosen, kPath, kPlayer, method), QDBus::Block,
                 kTimeoutMs);
    }

    MasterVolume& volume_;
};

class NoInjector : public KeyInjector {
  public:
    void Press(MediaKey key) override { Tell(key); }
    void Release(MediaKey) override {}

  private:
    void Tell(MediaKey key) {
        std::call_once(once_, [&] {
            log::Warning("input",
                         "media keys cannot reach this desktop (no X11 display with XTest); \"" +
                             std::string(MediaKeyName(key)) + "\" and the next ones are dropped");
        });
    }
    std::once_flag once_;
};

}  // namespace

std::string_view MediaKeyName(MediaKey key) {
    switch (key) {
        case MediaKey::NextTrack:
            return "next-track";
        case MediaKey::PreviousTrack:
            return "previous-track";
        case MediaKey::PlayPause:
            return "play-pause";
        case MediaKey::Stop:
            return "stop";
        case MediaKey::Mute:
            return "mute";
        case MediaKey::VolumeDown:
            return "volume-down";
        case MediaKey::VolumeUp:
            return "volume-up";
        case MediaKey::MediaSelect:
            return "media-select";
    }
    return "?";
}

std::unique_ptr<KeyInjector> MakeRecordingKeyInjector() {
    return std::make_unique<RecordingInjector>();
}

std::unique_ptr<KeyInjector> MakeXTestKeyInjector() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::make_unique<XTestInjector>(display);
}

std::unique_ptr<KeyInjector> MakeMprisKeyInjector(MasterVolume& volume) {
    const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (bus == nullptr || *bus == '\0') return nullptr;
    return std::make_unique<MprisInjector>(volume);
}

std::vector<KeyPath> KeyPaths(bool recording, bool wayland) {
    if (recording) return {KeyPath::Record};
    // Keys injected into Xwayland reach only its X11 programs, never the
    // Wayland desktop, so a Wayland session tries MPRIS first.
    if (wayland) return {KeyPath::Mpris, KeyPath::XTest, KeyPath::Nowhere};
    return {KeyPath::XTest, KeyPath::Mpris, KeyPath::Nowhere};
}

std::unique_ptr<KeyInjector> MakeKeyInjector(MasterVolume* volume) {
    const bool wayland = WaylandSession();
    for (KeyPath path : KeyPaths(ActionRecord::Instance().Active(), wayland)) {
        switch (path) {
            case KeyPath::Record:
                return MakeRecordingKeyInjector();
            case KeyPath::XTest:
                if (auto xtest = MakeXTestKeyInjector()) {
                    if (wayland) log::Info("input", "no MPRIS: media and volume keys go to Xwayland's programs only");
                    return xtest;
                }
                break;
            case KeyPath::Mpris:
                if (volume == nullptr) break;
                if (auto mpris = MakeMprisKeyInjector(*volume)) {
                    log::Info("input", std::string(wayland ? "Wayland session" : "no X11 display") +
                                           ": media keys go to MPRIS players, volume keys to the sound server");
                    return mpris;
                }
                break;
            case KeyPath::Nowhere:
                break;
        }
    }
    return std::make_unique<NoInjector>();
}

}  // namespace vyre::platform
