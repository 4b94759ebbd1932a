#pragma once
// The top-level collections of a HID report descriptor, found as Windows
// finds them: each collection at the outermost level is one interface, with
// the Usage Page in effect at its Collection item and the first Usage before
// it (0 when there is none; a four-byte Usage carries its own page).

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vyre::hid {

struct TopLevelCollection {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;

    bool operator==(const TopLevelCollection&) const = default;
};

// Reads as far as the descriptor is whole; a truncated item ends the walk.
std::vector<TopLevelCollection> TopLevelCollections(std::span<const std::uint8_t> descriptor);

}  // namespace vyre::hid
