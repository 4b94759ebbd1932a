#pragma once
// The profile file (".kkp"): one profile of the store, so that a user can
// keep it, pass it on and load it into any of the five profiles. The file is
// 19 slices of the profile's part of the store, each followed by one zero
// byte, 543,236 bytes in all, with no header of its own.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
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

// What a reader of a profile file takes at most: a larger file is none.
inline constexpr std::size_t kProfileFileReadLimit = kProfileFileSize + 4096;

// Empty when `file` has a profile file's form: its size and the zero byte
// after each slice (the format has no header or checksum of its own);
// otherwise why it is not a profile file, in words for the user.
std::string ProfileFileProblem(std::span<const std::uint8_t> file);

// Takes a file over profile p of the store only when it has a profile file's
// form; otherwise leaves the store as it was, says why in *why and returns
// false. What both the Config and the command-line client load with.
bool LoadProfileFile(std::span<const std::uint8_t> file, ProfileStoreBlocks& store, int profile,
                     std::string* why);

}  // namespace vyre
