#pragma once
// Function slots of keys: which slot (0..141, see common/slots.h) holds the
// per-slot data of a key on a layer.
//
//   0..4      "M1".."M5", primary          5..9      "M1".."M5", secondary
//   10..12    thumb keys 1..3, primary     13..15    thumb keys 1..3, secondary
//   16..111   normal keys, secondary: 16 + the key's Flexlayer key list position
//   112..126  function keys, primary, in function-keys order
//   127..141  function keys, secondary, in the same order
//
// Normal keys have no slot on the primary layer (their primary function is a
// plain usage). ESC, Caps Lock, Fn and the right Windows key stand at no
// Flexlayer position and have no slot at all.

#include "common/key_table.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace vyre {

struct SlotPair {
    std::uint8_t keyIndex;
    std::uint8_t slot;
};
static_assert(sizeof(SlotPair) == 2);

constexpr int kPrimarySlotPairs = 23;
constexpr int kSecondarySlotPairs = 120;

// The primary layer of the macro, thumb and function keys.
std::span<const SlotPair, kPrimarySlotPairs> PrimarySlotTable();
// The secondary layer of every key that has a secondary slot on some layout:
// macro keys, thumb keys, the normal keys at 16 + their list position on any
// layout variant, function keys. "K151" stands at two positions (62 and 64)
// and has two pairs; "K107" (keypad comma) holds position 89, the keypad
// position between "6(pad)" and "1(pad)" that no shipped layout fills.
std::span<const SlotPair, kSecondarySlotPairs> SecondarySlotTable();

// The slot of the first pair for the key; none when the key has no pair.
std::optional<int> FindSlot(std::span<const SlotPair> table, int keyIndex);

// The function slot of a key on a layer for a layout code: the primary slot
// table for the primary layer of macro, thumb and function keys; 16 + the
// Flexlayer key list position for the secondary layer of a normal key; the
// secondary slot table for the secondary layer of the others. None when the
// key has no slot there. The Pause key's secondary slot is 141, which carries a
// function entry but no per-slot data (SlotHasData(141) is false).
std::optional<int> FunctionSlot(int keyIndex, Layer layer, int layoutCode);

}  // namespace vyre
