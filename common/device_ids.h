#pragma once
// USB ids of the keyboard. The values are placeholders from the pid.codes test
// range until the keyboard has ids of its own; the platform layer lets the
// environment override them (VYRE_LUMO_VID, VYRE_LUMO_PID_A, VYRE_LUMO_PID_B).
// packaging/70-vyre-lumo.rules carries the same defaults.

#include <cstdint>

namespace vyre {

constexpr std::uint16_t kDefaultVendorId = 0x1209;
constexpr std::uint16_t kDefaultProductIdA = 0x0001;  // model A
constexpr std::uint16_t kDefaultProductIdB = 0x0002;  // model B, per-key lighting

// Top-level usage pages of the keyboard's two interfaces the software uses.
constexpr std::uint16_t kFeatureUsagePage = 0x0B;  // settings, as feature reports
constexpr std::uint16_t kEventUsagePage = 0x0A;    // input report 3, keyboard events

struct KeyboardIds {
    std::uint16_t vendorId = kDefaultVendorId;
    std::uint16_t productIdA = kDefaultProductIdA;
    std::uint16_t productIdB = kDefaultProductIdB;
};

}  // namespace vyre
