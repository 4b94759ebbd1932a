#pragma once
// Access to the keyboard's device nodes: the udev rule that gives them to the
// user at the seat, where it is installed, and the commands that install it.

#include <string>

namespace vyre::hid {

inline constexpr const char* kUdevRuleName = "70-vyre-lumo.rules";

// The installed rule (the first of the folders udev reads that holds it);
// empty when there is none.
std::string InstalledUdevRule();

// The commands, one a line, that give this user the keyboard's nodes: the
// rule's installation when it is not installed, then its reload and a
// trigger of the hidraw nodes (which a running Monitor hears).
std::string UdevRuleCommands();

}  // namespace vyre::hid
