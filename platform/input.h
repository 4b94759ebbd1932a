#pragma once
// Media and volume keys injected into the desktop's input, as if pressed on
// a multimedia keyboard: the desktop and its players act on them.
//
// Backends: XTest in an X11 session (the XF86Audio key symbols), the action
// record (--record: "key <name> down|up"), and none where keys cannot reach
// the desktop (says so once in the log).

#include <memory>
#include <string_view>

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
// The recording backend while the action record is active, else XTest, else none.
std::unique_ptr<KeyInjector> MakeKeyInjector();

}  // namespace vyre::platform
