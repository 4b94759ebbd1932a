#pragma once
// Records exchanged between the two programs and kept in the profile store's
// lists: timers, macro sets, macros, and the 4-byte macro event / light step.
//
// Each record is its own wire form: packed, alignment 1, multi-byte fields
// little-endian (LeI32, LeU16). A list travels as its records back to back,
// so a std::vector of these records is already the payload of a list
// notification. Use BytesOf(record) / RecordFromBytes<T>(bytes) from
// common/bytes.h to move between records and bytes.

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/bytes.h"
#include "common/fixed_text.h"

namespace vyre::HIDMSG {

// Change codes carried by byte 8 of set and macro records sent as commands.
enum ChangeCode : std::uint8_t {
    kChangeNone = 0,
    kChangeAdd = 1,
    kChangeModify = 2,
    kChangeDelete = 3,
};

// A countdown timer (37 bytes). In the timer list bytes 32..36 are zero. In a
// key's own copy (the store's keyTimers) byte 32 is the running flag and
// bytes 33..36 the remaining seconds of the countdown.
struct _STimerSettingData {
    LeI32 index;          // 0: position in the timer list, 0-based
    FixedText<24> name;   // 4: multibyte text, zero-terminated (at most 23 bytes)
    LeI32 seconds;        // 28: duration, 15..999; 9999 marks a deleted record while editing
    std::uint8_t tail[5]; // 32: zero in the list; running flag and remaining seconds in a key copy

    static constexpr std::int32_t kDeletedSeconds = 9999;

    bool running() const { return tail[0] != 0; }
    void set_running(bool on) { tail[0] = on ? 1 : 0; }
    std::int32_t remaining() const { return LoadLeI32(tail + 1); }
    void set_remaining(std::int32_t s) { StoreLeI32(tail + 1, s); }
};

// A macro set (49 bytes).
struct _SMacroGroupData {
    LeI32 setNumber;       // 0: -1 marks a set deleted in an editor's working copy
    LeI32 macroCount;      // 4: number of macros in the set
    std::uint8_t change;   // 8: ChangeCode, meaningful in commands only
    FixedText<40> name;    // 9: set name, multibyte, zero-terminated
};

// One macro event or light macro step (4 bytes).
struct _SKeyInfoData {
    std::uint8_t code;   // keyboard usage, 0xF0..0xF2 mouse buttons; for light steps a key usage or 0
    std::uint8_t state;  // 1 pressed / on, 2 released / off
    LeU16 delay;         // delay after the step (duration of a light step) in ms

    static constexpr std::uint8_t kDown = 1;
    static constexpr std::uint8_t kUp = 2;
    static constexpr std::uint8_t kMouseLeft = 0xF0;
    static constexpr std::uint8_t kMouseRight = 0xF1;
    static constexpr std::uint8_t kMouseWheel = 0xF2;
};

constexpr std::size_t kMaxMacroEvents = 480;

// A macro of the macro library or the light macro library (2004 bytes).
struct _SMacroDefaultData {
    LeI32 setNumber;          // 0: set the macro belongs to; -1 = deleted in a working copy
    LeI32 macroNumber;        // 4
    std::uint8_t change;      // 8: ChangeCode
    std::uint8_t loopCount;   // 9: 1..255
    std::uint8_t options[8];  // 10: options[0] = send-default-action flag of light macros;
                              //     options[1..7] carried unchanged
    FixedText<40> setName;    // 18
    FixedText<24> name;       // 58: zero-terminated when shorter than 24 bytes
    LeU16 eventCount;         // 82
    _SKeyInfoData events[kMaxMacroEvents];  // 84: events past the count are zero

    std::uint8_t sendDefaultAction() const { return options[0]; }
    void set_sendDefaultAction(std::uint8_t v) { options[0] = v; }
    // The event count, never more than the events the record has room for.
    std::size_t usedEvents() const {
        return eventCount.get() < kMaxMacroEvents ? eventCount.get() : kMaxMacroEvents;
    }
};

static_assert(sizeof(_STimerSettingData) == 37 && alignof(_STimerSettingData) == 1);
static_assert(offsetof(_STimerSettingData, name) == 4);
static_assert(offsetof(_STimerSettingData, seconds) == 28);
static_assert(offsetof(_STimerSettingData, tail) == 32);

static_assert(sizeof(_SMacroGroupData) == 49 && alignof(_SMacroGroupData) == 1);
static_assert(offsetof(_SMacroGroupData, macroCount) == 4);
static_assert(offsetof(_SMacroGroupData, change) == 8);
static_assert(offsetof(_SMacroGroupData, name) == 9);

static_assert(sizeof(_SKeyInfoData) == 4 && alignof(_SKeyInfoData) == 1);
static_assert(offsetof(_SKeyInfoData, state) == 1);
static_assert(offsetof(_SKeyInfoData, delay) == 2);

static_assert(sizeof(_SMacroDefaultData) == 2004 && alignof(_SMacroDefaultData) == 1);
static_assert(offsetof(_SMacroDefaultData, macroNumber) == 4);
static_assert(offsetof(_SMacroDefaultData, change) == 8);
static_assert(offsetof(_SMacroDefaultData, loopCount) == 9);
static_assert(offsetof(_SMacroDefaultData, options) == 10);
static_assert(offsetof(_SMacroDefaultData, setName) == 18);
static_assert(offsetof(_SMacroDefaultData, name) == 58);
static_assert(offsetof(_SMacroDefaultData, eventCount) == 82);
static_assert(offsetof(_SMacroDefaultData, events) == 84);

}  // namespace vyre::HIDMSG

namespace vyre {
// The macro event and the light macro step share one layout.
using MacroEvent = HIDMSG::_SKeyInfoData;
}  // namespace vyre
