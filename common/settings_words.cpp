#include "common/settings_words.h"

#include "common/link_codes.h"
#include "common/slots.h"

namespace vyre {
namespace {

const char* WhatCommandCarries(std::uint16_t command) {
    switch (command) {
        case link::block::kActiveProfile: return "the choice of profile";
        case link::block::kKeyRemap: return "key assignments";
        case link::block::kFunctionKeys: return "function key assignments";
        case link::block::kThumbKeys: return "thumb key assignments";
        case link::block::kProfileOptions: return "profile options";
        case link::block::kFlexKeys: return "Flexlayer key assignments";
        case link::block::kLightOptions: return "key options";
        case link::block::kLightSettings: return "lighting";
        case link::block::kEffects: return "light effects";
        case link::block::kGlobal14: return "keyboard-wide settings";
        case link::block::kGlobal16: return "the Flexlayer switch";
        case link::block::kMacros: return "macros";
        case link::block::kLightMacroBlocks: return "light macros";
        case link::block::kIllumination: return "key lighting";
        case link::block::kHostSettings: return "the current profile's settings";
        case link::command::kTimerAdd:
        case link::command::kTimerDelete:
        case link::command::kTimerEdit: return "timers";
        case link::command::kMacroSet:
        case link::command::kMacro: return "the macro library";
        case link::command::kLightMacroSet:
        case link::command::kLightMacro: return "the light macro library";
        default: return "settings";
    }
}

}  // namespace

std::string SettingsInWords(std::uint16_t command, unsigned profiles) {
    std::string words = WhatCommandCarries(command);
    std::string which;
    int named = 0;
    for (int p = 0; p < kProfileCount; ++p) {
        if ((profiles & (1u << p)) == 0) continue;
        if (named++ > 0) which += ", ";
        which += std::to_string(p + 1);
    }
    if (named == 1) words += " of profile " + which;
    if (named > 1) words += " of profiles " + which;
    return words;
}

}  // namespace vyre
