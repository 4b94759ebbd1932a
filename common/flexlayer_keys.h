#pragma once
// The Flexlayer key list: which key's secondary function each of the 96
// entries of the Flexlayer record holds. The list is fixed by the keyboard;
// each layout variant fills the positions of the keys it has.

#include <array>
#include <cstdint>
#include <optional>

namespace vyre {

constexpr int kFlexlayerPositions = 96;
// A position that holds no key.
constexpr std::uint8_t kNoKey = 0xFF;

// Layout codes with a list of their own; every other code uses the fourth
// variant.
constexpr int kLayoutCodeDefault = 0;
constexpr int kLayoutCode12 = 12;
constexpr int kLayoutCode13 = 13;

using FlexlayerKeyList = std::array<std::uint8_t, kFlexlayerPositions>;

// The key index at each position for a layout code (kNoKey where none).
const FlexlayerKeyList& FlexlayerKeys(int layoutCode);

// The first position of a key in the list of a layout code; none when the
// layout has no position for it. (Layout 13 lists "K151" at positions 62 and
// 64; its position is 62.)
std::optional<int> FlexlayerPosition(int keyIndex, int layoutCode);

}  // namespace vyre
