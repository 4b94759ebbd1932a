#pragma once
// Where each link code lives in the profile store: one table shared by the
// Monitor's dump and command handling and the Config's receivers.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/profile_store.h"

namespace vyre {

// The bytes of settings block `code` inside the store (the statistics for
// code 14); an empty span when `code` is not a block.
std::span<std::uint8_t> StoreBlock(ProfileStoreBlocks& blocks, std::uint16_t code);
std::span<const std::uint8_t> StoreBlock(const ProfileStoreBlocks& blocks, std::uint16_t code);

// How change detection splits a block into parts: `count` parts of `size`
// bytes, each compared over its first `compared` bytes (macro and effect
// images 2000 of 2002, light macro blocks 1996 of 1998).
struct BlockParts {
    std::size_t size = 0;
    std::size_t count = 0;
    std::size_t compared = 0;
};
// Parts of a block code; the whole block as one part for codes not split per
// profile; count 0 for unknown codes.
BlockParts PartsOf(std::uint16_t code);

// Indices of the parts of block `code` whose compared bytes differ between
// the store's copy and `received`. Nothing when `received` is not the block's size.
std::vector<std::size_t> ChangedParts(std::uint16_t code, std::span<const std::uint8_t> stored,
                                      std::span<const std::uint8_t> received);

// The records of list `code` (21, 25, 26, 31, 32) back to back, as a list
// notification carries them. Empty for other codes.
std::span<const std::uint8_t> ListBytes(const ProfileStore& store, std::uint16_t code);

// Stores a list notification: record i replaces element i, elements past the
// received count stay. A trailing part shorter than a record is ignored.
// Returns false for codes that are not one of the five lists.
bool StoreListNotification(ProfileStore& store, std::uint16_t code,
                           std::span<const std::uint8_t> payload);

// The talk device records back to back, in key order.
std::vector<std::uint8_t> TalkRecordBytes(const ProfileStore& store);

}  // namespace vyre
