#pragma once
// Where a key's two functions live in a profile of the store: the group
// list position of a key for a layout code, reading and writing its function
// entry per group and layer, and the swap rule of the keys-primary record.
//
//   normal keys:   primary = the usage in the keys-primary record (report
//                  0x06), secondary = Flexlayer record entry at the position
//   function keys: function-keys record entries position and 15 + position
//   thumb keys:    thumb-keys record entries position and 3 + position

#include <cstdint>
#include <optional>
#include <span>

#include "common/key_catalogue.h"
#include "common/profile_store.h"

namespace vyre {

// The key's position in its group list: the Flexlayer key list of the layout
// code for normal keys, the function-keys order, the thumb-keys order. None
// for a key its group list does not hold.
std::optional<int> GroupPosition(int keyIndex, int layoutCode);

// The key's function entry on a layer in profile p; none for a key without a
// position (or a profile outside 0..4). A normal key's primary entry is its
// usage with zero data bytes.
std::optional<FunctionEntry> ReadKeyEntry(const ProfileStore& store, int profile, int keyIndex,
                                          Layer layer, int layoutCode);

// Writes the entry of a function or thumb key on either layer, or of a normal
// key on the secondary layer. False, writing nothing, for a normal key's
// primary layer (see AssignUsage), a key without a position or a bad profile.
bool WriteKeyEntry(ProfileStore& store, int profile, int keyIndex, Layer layer, int layoutCode,
                   FunctionEntry entry);

// The 120 usages of the keys-primary record of profile p, by key index.
std::span<std::uint8_t, report::kRemapKeyCount> KeyUsages(ProfileStore& store, int profile);

// Gives key `keyIndex` (0..119) the usage, so that every usage stays produced
// by exactly one key: the key that produced the usage before takes the key's
// old usage. Usage 0 (the key sends nothing) swaps with no one. Returns the
// key that took the old usage, if any.
std::optional<int> AssignUsage(std::span<std::uint8_t, report::kRemapKeyCount> usages,
                               int keyIndex, std::uint8_t usage);

}  // namespace vyre
