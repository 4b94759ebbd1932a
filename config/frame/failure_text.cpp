#include "config/frame/failure_text.h"

#include "common/link_codes.h"
#include "common/slots.h"
#include "config/frame/data_work.h"
#include "platform/hid/access.h"

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

std::string NotWrittenText(const std::map<std::uint16_t, unsigned>& commands) {
    std::string list;
    for (const auto& [command, profiles] : commands) {
        list += (list.empty() ? "" : "; ") + SettingsInWords(command, profiles);
    }
    return "The keyboard did not take everything that was applied: " + list +
           ".\n\nThe Config still shows these settings as you set them. Press APPLY to try again; "
           "if the keyboard still refuses them, plug it out and in again.";
}

std::string NoMonitorText() {
    return "The Vyre Lumo Monitor is not running, so nothing was applied. Your changes are still "
           "here: start the Monitor again (Vyre Lumo Monitor in the programs menu); the Config "
           "finds it by itself. Then press APPLY.";
}

EndMessage EndMessageOf(int reason, const std::string& node, bool editsKept) {
    const std::string kept =
        editsKept ? "\n\nThe changes you had not applied are kept: the Config offers them the "
                    "next time it opens."
                  : "";
    switch (reason) {
        case kEndNoKeyboard:
            return {"No keyboard",
                    "No Vyre Lumo keyboard is connected. Plug it in, then open the Config again." +
                        kept};
        case kEndNoAccess:
            return {"No access to the keyboard",
                    "A Vyre Lumo keyboard is connected, but this user may not open its device "
                    "node " + node +
                        ".\n\nInstall the rule that gives the keyboard to the user at the seat, "
                        "then plug the keyboard in again:\n\n" +
                        hid::UdevRuleCommands() + kept};
        case kEndUnplugged:
            return {"Keyboard unplugged",
                    "The keyboard was unplugged, so the Config closes. Plug it in again and open "
                    "the Config from the tray." +
                        kept};
        case kEndMonitorEnded:
            if (!editsKept) return {};
            return {"Monitor ended", "The Vyre Lumo Monitor has ended, so the Config closes." + kept};
        default:
            return {};
    }
}

}  // namespace vyre
