#pragma once
// The profile file (".kkp"): one profile of the store, so that a user can
// keep it, pass it on and load it into any of the five profiles. The file is
// 19 slices of the profile's part of the store, each followed by one zero
// byte, 543,236 bytes in all, with no header of its own.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/profile_store.h"

namespace vyre {

inline constexpr std::size_t kProfileFileSize = 543236;

// The file's bytes for profile p of the store.
std::vector<std::uint8_t> WriteProfileFile(const ProfileStoreBlocks& store, int profile);

// Copies a file's slices over profile p of the store (and over the one
// keyboard-wide report 0x14). A file shorter than a whole profile file fills
// the slices it holds whole and leaves the rest of the store as it was, so
// that no slice is taken half. Bytes past the end of a whole file are
// ignored. Returns the number of slices taken.
int ReadProfileFile(std::span<const std::uint8_t> file, ProfileStoreBlocks& store, int profile);
inline constexpr int kProfileFileChunks = 19;

}  // namespace vyre
