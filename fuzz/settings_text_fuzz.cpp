// The Monitor's timer, macro and light macro texts on arbitrary input: a
// text is taken or refused, never read past its end, and what is taken
// writes back to a text that reads the same.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "monitor/link/settings_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyre;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool light : {false, true}) {
        auto macro = std::make_unique<HIDMSG::_SMacroDefaultData>();
        std::memset(static_cast<void*>(macro.get()), 0, sizeof *macro);
        if (ParseMacroText(text, light, macro.get())) {
            auto again = std::make_unique<HIDMSG::_SMacroDefaultData>();
            std::memset(static_cast<void*>(again.get()), 0, sizeof *again);
            if (!ParseMacroText(MacroText(*macro, light), light, again.get())) std::abort();
            if (again->eventCount.get() != macro->eventCount.get() ||
                again->loopCount != macro->loopCount ||
                std::memcmp(again->events, macro->events, sizeof macro->events) != 0) {
                std::abort();
            }
        }
    }
    std::int32_t seconds = 0;
    FixedText<24> name{};
    if (ParseTimerText(text, &seconds, &name) &&
        TimerText(seconds, name) != TimerText(seconds, name))
        std::abort();
    LightMacroBlock block{};
    if (ParseLightMacroText(text, &block)) {
        LightMacroBlock again{};
        if (!ParseLightMacroText(LightMacroText(block), &again) ||
            std::memcmp(&again, &block, sizeof block) != 0) {
            std::abort();
        }
    }
    return 0;
}
