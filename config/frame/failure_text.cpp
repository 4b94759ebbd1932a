#include "config/frame/failure_text.h"

#include "config/frame/data_work.h"
#include "platform/hid/access.h"

namespace vyre {
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
