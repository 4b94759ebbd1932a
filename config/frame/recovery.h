#pragma once
// The recovery file: the edits a Config had not applied when it had to end
// (keyboard unplugged, Monitor gone), kept in the data folder and offered at
// the next start. It holds only the edited entries, each as
//   code (u16), offset (u32), length (u32), then the entry's bytes,
// little-endian, after the 8-byte mark "VLRCOV01"; taken back, they land on
// whatever the Monitor holds by then.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/profile_store.h"

namespace vyre {

inline constexpr char kRecoveryMark[8] = {'V', 'L', 'R', 'C', 'O', 'V', '0', '1'};
inline constexpr std::size_t kRecoveryEntryHeader = 2 + 4 + 4;

// Config/Recovery.dat under the data folder.
std::filesystem::path RecoveryFile();

// The file's bytes for the mirror's edits against the Monitor's copy.
std::string RecoveryBytes(const ProfileStoreBlocks& mirror, const ProfileStoreBlocks& monitorCopy);

// Writes the edits into the mirror, as far as the bytes can be read. Returns
// the entries taken; *damaged is set when the bytes end in something that is
// not an entry (a cut or foreign file).
std::size_t TakeRecoveryBytes(const std::string& bytes, ProfileStoreBlocks& mirror, bool* damaged);

}  // namespace vyre
