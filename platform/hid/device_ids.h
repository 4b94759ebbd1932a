#pragma once
// The keyboard's USB ids as configured: the defaults of common/device_ids.h,
// each overridable by the environment (VYRE_LUMO_VID, VYRE_LUMO_PID_A,
// VYRE_LUMO_PID_B; decimal or 0x-hex, 1..0xFFFF).

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/device_ids.h"

namespace vyre::hid {

KeyboardIds ConfiguredKeyboardIds();

// Parses one id value; nullopt unless it is a number in 1..0xFFFF.
std::optional<std::uint16_t> ParseUsbId(std::string_view text);

}  // namespace vyre::hid
