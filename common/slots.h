#pragma once
// Function slots: the per-key numbers under which data too large for a
// function entry (macros, light macros, key timers, launch paths) is kept.

#include <cstddef>

namespace vyre {

constexpr int kProfileCount = 5;

// Slots 0..141 name one key on one layer.
constexpr int kFunctionSlotCount = 142;
// Macros exist for slots 0..111 only.
constexpr int kMacroSlotsPerProfile = 112;
// Light macros, key timers and launch paths are kept per profile for slots
// 0..140. Slot 141 (the Pause key's secondary function) has no room in those
// tables, whose sizes are fixed by the keyboard link and the profile files, so
// the slot can carry a function entry but no per-slot data.
constexpr int kDataSlotsPerProfile = 141;

constexpr bool SlotHasMacro(int slot) { return slot >= 0 && slot < kMacroSlotsPerProfile; }
constexpr bool SlotHasData(int slot) { return slot >= 0 && slot < kDataSlotsPerProfile; }

}  // namespace vyre
