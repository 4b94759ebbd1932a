#pragma once
// The macro report image (reports 0x0E and 0x19, 2002 bytes) and the light
// macro block (1998 bytes: the same layout without the first four bytes), and
// the conversions between them and the macro record of the libraries.

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "common/fixed_text.h"
#include "common/hidmsg.h"

namespace vyre {

// Report 0x0E (one macro per profile and macro slot) and report 0x19 (one
// effect sequence per profile) share this layout.
struct MacroReportImage {
    std::uint8_t id;            // 0: 0x0E or 0x19
    LeU16 usedLength;           // 1: 82 + 4 x eventCount
    std::uint8_t profile;       // 3
    std::uint8_t slot;          // 4: macro slot 0..111
    std::uint8_t loopCount;     // 5
    std::uint8_t options[8];    // 6: option bytes copied from the macro record
    FixedText<40> setName;      // 14
    FixedText<24> name;         // 54
    LeU16 eventCount;           // 78: 0..480
    MacroEvent events[HIDMSG::kMaxMacroEvents];  // 80: the checksum follows the last event
    std::uint8_t tail[2];       // 2000: zero as written, unless the image holds 480 events

    // The event count, never more than the events the image has room for.
    std::size_t usedEvents() const {
        return eventCount.get() < HIDMSG::kMaxMacroEvents ? eventCount.get()
                                                          : HIDMSG::kMaxMacroEvents;
    }
};

// The light macro of one profile and function slot.
struct LightMacroBlock {
    std::uint8_t slot;          // 0: function slot
    std::uint8_t loopCount;     // 1
    std::uint8_t options[8];    // 2: options[0] = send-default-action flag
    FixedText<40> setName;      // 10
    FixedText<24> name;         // 50
    LeU16 stepCount;            // 74
    MacroEvent steps[HIDMSG::kMaxMacroEvents];  // 76: {usage or 0, state, duration}
    std::uint8_t unused[2];     // 1996

    // Bytes the light macro player and change detection look at.
    static constexpr std::size_t kUsedBytes = 1996;

    std::uint8_t sendDefaultAction() const { return options[0]; }
    std::size_t usedSteps() const {
        return stepCount.get() < HIDMSG::kMaxMacroEvents ? stepCount.get()
                                                         : HIDMSG::kMaxMacroEvents;
    }
};

static_assert(sizeof(MacroReportImage) == 2002 && alignof(MacroReportImage) == 1);
static_assert(offsetof(MacroReportImage, usedLength) == 1);
static_assert(offsetof(MacroReportImage, profile) == 3);
static_assert(offsetof(MacroReportImage, slot) == 4);
static_assert(offsetof(MacroReportImage, loopCount) == 5);
static_assert(offsetof(MacroReportImage, options) == 6);
static_assert(offsetof(MacroReportImage, setName) == 14);
static_assert(offsetof(MacroReportImage, name) == 54);
static_assert(offsetof(MacroReportImage, eventCount) == 78);
static_assert(offsetof(MacroReportImage, events) == 80);
static_assert(offsetof(MacroReportImage, tail) == 2000);

static_assert(sizeof(LightMacroBlock) == 1998 && alignof(LightMacroBlock) == 1);
static_assert(offsetof(LightMacroBlock, loopCount) == 1);
static_assert(offsetof(LightMacroBlock, options) == 2);
static_assert(offsetof(LightMacroBlock, setName) == 10);
static_assert(offsetof(LightMacroBlock, name) == 50);
static_assert(offsetof(LightMacroBlock, stepCount) == 74);
static_assert(offsetof(LightMacroBlock, steps) == 76);
static_assert(offsetof(LightMacroBlock, unused) == 1996);
// A light macro block is a macro image without its id, length and profile.
static_assert(offsetof(MacroReportImage, slot) + offsetof(LightMacroBlock, steps) ==
              offsetof(MacroReportImage, events));

// Builds the key macro image of a macro record for a key: id 0x0E, used
// length, profile, slot, loop count, options, names, count and all 480 event
// places from the record. Bytes 2000..2001 are left as they are in `image`.
void MacroImageFromRecord(const HIDMSG::_SMacroDefaultData& record, int profile, int slot,
                          MacroReportImage& image);

// Builds a profile's effect sequence image (report 0x19) from a light macro
// record: the whole image zeroed, id 0x19, used length, profile, slot 0, loop
// count 1, the set and macro names, the count and every event place. A count
// past the room of the image is cut to it.
void EffectImageFromLightMacro(const HIDMSG::_SMacroDefaultData& record, int profile,
                               MacroReportImage& image);

// Builds a macro record from a macro image: loop count, options, macro name,
// count and events from the image; set number and set name as given; macro
// number and change code zero. Events past the count are zero in the record.
HIDMSG::_SMacroDefaultData RecordFromMacroImage(const MacroReportImage& image,
                                                std::int32_t setNumber,
                                                std::string_view setName);

}  // namespace vyre
