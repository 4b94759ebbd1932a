#pragma once
// Media and volume keys injected into the desktop's input, as if pressed on
// a multimedia keyboard: the desktop and its players act on them.
//
// Backends: XTest in an X11 session (the XF86Audio key symbols); where
// injected keys cannot reach the desktop (a Wayland session) the media
// players are driven over MPRIS (D-Bus) and the volume through the sound
// server instead; the action record (--record: "key <name> down|up"); and
// none where neither is there (says so once in the log).

#include <memory>
#include <string_view>
#include <vector>

#include "platform/volume.h"

namespace vyre::platform {

enum class MediaKey {
    NextTrack,
    PreviousTrack,
    PlayPause,
    Stop,
    Mute,
    VolumeDown,
    VolumeUp,
    MediaSelect
};

std::string_view MediaKeyName(MediaKey key);

class KeyInjector {
  public:
    virtual ~KeyInjector() = default;
    virtual void Press(MediaKey key) = 0;
    virtual void Release(MediaKey key) = 0;
};

std::unique_ptr<KeyInjector> MakeRecordingKeyInjector();
// Null when there is no X display or it has no XTest.
std::unique_ptr<KeyInjector> MakeXTestKeyInjector();
// MPRIS players on the session bus and the master volume; null without a session bus.
std::unique_ptr<KeyInjector> MakeMprisKeyInjector(MasterVolume& volume);
// The backends to try, in order: the record while it is active; in a Wayland
// session (WaylandSession(), desktop.h) MPRIS before XTest, elsewhere XTest
// before MPRIS; then none.
enum class KeyPath { Record, XTest, Mpris, Nowhere };
std::vector<KeyPath> KeyPaths(bool recording, bool wayland);
// The first backend of KeyPaths that is there (MPRIS needs `volume`).
std::unique_ptr<KeyInjector> MakeKeyInjector(MasterVolume* volume = nullptr);

}  // namespace vyre::platform
