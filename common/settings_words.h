#pragma once
// The settings a command carries, in a player's words, for the messages that
// say what the keyboard did not take.

#include <cstdint>
#include <string>

namespace vyre {

// "key assignments of profile 2"; `profiles` holds bit p for each profile p
// the command changed (none: the settings as a whole).
std::string SettingsInWords(std::uint16_t command, unsigned profiles);

}  // namespace vyre
