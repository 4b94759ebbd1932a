#include "platform/hid/access.h"

#include <unistd.h>

namespace vyre::hid {

std::string InstalledUdevRule() {
    for (const char* folder : {"/etc/udev/rules.d/", "/run/udev/rules.d/", "/usr/lib/udev/rules.d/",
                               "/lib/udev/rules.d/"}) {
        const std::string path = std::string(folder) + kUdevRuleName;
        if (::access(path.c_str(), R_OK) == 0) return path;
    }
    return {};
}

std::string UdevRuleCommands() {
    std::string commands;
    if (InstalledUdevRule().empty()) {
        commands = std::string("sudo install -m 0644 packaging/") + kUdevRuleName + " /etc/udev/rules.d/\n";
    }
    return commands + "sudo udevadm control --reload\nsudo udevadm trigger --subsystem-match=hidraw";
}

}  // namespace vyre::hid
