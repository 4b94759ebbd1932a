#include "common/macro_image.h"

#include <cstring>

namespace vyre {

void MacroImageFromRecord(const HIDMSG::_SMacroDefaultData& record, int profile, int slot,
                          MacroReportImage& image) {
    const std::size_t n = record.usedEvents();
    image.id = 0x0E;
    image.usedLength = static_cast<std::uint16_t>(82 + 4 * n);
    image.profile = static_cast<std::uint8_t>(profile);
    image.slot = static_cast<std::uint8_t>(slot);
    image.loopCount = record.loopCount;
    std::memcpy(image.options, record.options, sizeof image.options);
    image.setName = record.setName;
    image.name = record.name;
    image.eventCount = static_cast<std::uint16_t>(n);
    std::memcpy(image.events, record.events, sizeof image.events);
}

void EffectImageFromLightMacro(const HIDMSG::_SMacroDefaultData& record, int profile,
                               MacroReportImage& image) {
    std::memset(static_cast<void*>(&image), 0, sizeof image);
    MacroImageFromRecord(record, profile, 0, image);
    image.id = 0x19;
    image.loopCount = 1;
    std::memset(image.options, 0, sizeof image.options);
}

HIDMSG::_SMacroDefaultData RecordFromMacroImage(const MacroReportImage& image,
                                                std::int32_t setNumber,
                                                std::string_view setName) {
    HIDMSG::_SMacroDefaultData record{};
    const std::size_t n = image.usedEvents();
    record.setNumber = setNumber;
    record.macroNumber = 0;
    record.change = HIDMSG::kChangeNone;
    record.loopCount = image.loopCount;
    std::memcpy(record.options, image.options, sizeof record.options);
    record.setName.set(setName);
    record.name = image.name;
    record.eventCount = static_cast<std::uint16_t>(n);
    std::memcpy(record.events, image.events, n * sizeof(MacroEvent));
    return record;
}

}  // namespace vyre
