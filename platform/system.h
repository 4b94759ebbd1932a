#pragma once
// The system's keyboard repeat settings, in the units the system has always
// used: delay 0..3 (250, 500, 750, 1000 ms before the first repeat) and speed
// 0..31 (about 2.5 to 30 repeats per second).
//
// Backends: XKB auto-repeat of the X display (a desktop session), a value
// kept in memory (no display), and the action record (--record): the change
// is written as a line and kept in memory, the desktop is left alone.

#include <memory>

namespace vyre::platform {

struct KeyboardRepeat {
    int delay = 1;   // 0..3
    int speed = 31;  // 0..31
};

inline constexpr int kRepeatDelayMax = 3;
inline constexpr int kRepeatSpeedMax = 31;

// Conversions between the system's units and XKB's milliseconds.
int RepeatDelayMs(int delay);           // 0..3 -> 250..1000
int RepeatIntervalMs(int speed);        // 0..31 -> 400..33 ms between repeats
int RepeatDelayFromMs(int ms);          // nearest delay step
int RepeatSpeedFromIntervalMs(int ms);  // nearest speed step

class KeyboardRepeatSettings {
  public:
    virtual ~KeyboardRepeatSettings() = default;
    virtual KeyboardRepeat Get() = 0;
    // `notify` tells other programs of the change (SPIF_SENDCHANGE); values
    // outside their range are clamped.
    virtual void SetDelay(int delay, bool notify) = 0;
    virtual void SetSpeed(int speed, bool notify) = 0;
};

// XKB on the display of $DISPLAY; null when there is no display.
std::unique_ptr<KeyboardRepeatSettings> MakeXkbKeyboardRepeat();
// Kept in memory only.
std::unique_ptr<KeyboardRepeatSettings> MakeMemoryKeyboardRepeat(KeyboardRepeat start = {});
// Written to the action record, kept in memory.
std::unique_ptr<KeyboardRepeatSettings> MakeRecordingKeyboardRepeat(KeyboardRepeat start = {});
// The recording backend while the action record is active, else XKB when a
// display can be opened, else memory.
std::unique_ptr<KeyboardRepeatSettings> MakeKeyboardRepeat();

}  // namespace vyre::platform
