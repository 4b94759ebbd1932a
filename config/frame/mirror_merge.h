#pragma once
// The user's unapplied edits against what the Monitor sends. The Config keeps
// beside its mirror the blocks as the Monitor holds them, as far as the Config
// knows (last received, or last uploaded): what differs between the two is
// what the user edited and has not applied yet. A block the Monitor sends is
// merged entry by entry: an entry the user edited keeps the user's bytes,
// unless the Monitor changed that same entry too, and then the Monitor's
// change wins; every other entry takes the Monitor's bytes.

#include <cstdint>
#include <span>
#include <vector>

#include "common/profile_store.h"

namespace vyre {

// Merges block `code` as received into the mirror's copy, and takes it as
// the Monitor's copy. The three spans have the block's size.
void MergeReceivedBlock(std::uint16_t code, std::span<std::uint8_t> mirror,
                        std::span<std::uint8_t> monitorCopy, std::span<const std::uint8_t> received);

// The blocks of the full upload in which the mirror holds edits the Monitor
// does not have (what the Monitor alone owns is never an edit), in upload order.
std::vector<std::uint16_t> EditedBlocks(const ProfileStoreBlocks& mirror,
                                        const ProfileStoreBlocks& monitorCopy);

// True for a byte of block `code` that only the Monitor sets (what it read
// from the keyboard, what it counts): never the user's edit.
bool MonitorOwns(std::uint16_t code, std::size_t offset);

// One entry the user edited: its block, offset and length in the block.
struct EditedEntry {
    std::uint16_t code;
    std::size_t offset, length;
};
std::vector<EditedEntry> EditedEntries(const ProfileStoreBlocks& mirror,
                                       const ProfileStoreBlocks& monitorCopy);

}  // namespace vyre
