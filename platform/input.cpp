#include "platform/input.h"

#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "common/log.h"
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

std::unique_ptr<KeyInjector> MakeKeyInjector() {
    if (ActionRecord::Instance().Active()) return MakeRecordingKeyInjector();
    if (auto xtest = MakeXTestKeyInjector()) return xtest;
    return std::make_unique<NoInjector>();
}

}  // namespace vyre::platform
