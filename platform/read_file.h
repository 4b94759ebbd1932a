#pragma once
// Reading a whole file that comes from outside (one the user names): only a
// regular file of a bounded size is read, and nothing else is waited on.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace vyre::platform {

// Why a file was not read.
enum class FileRefusal { None, Missing, Folder, NotAFile, TooLarge, Unreadable };
// The reason in words ("it is a folder"), for a message to the user.
std::string FileRefusalText(FileRefusal refusal);

// The whole of a regular file (or a link to one) of at most `limit` bytes.
// Anything else is refused at once, without waiting on it or reading it
// without end: a folder, a device (/dev/zero), a named pipe, a socket, a file
// larger than `limit` (also one that grows past it while it is read).
// ReadWholeFile (atomic_file.h) reads the same way.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::uint64_t limit,
                                           FileRefusal* refusal = nullptr);

}  // namespace vyre::platform
