#pragma once
// Crash-safe replacement of small settings files.
//
// WriteFileAtomically writes the new contents to a temporary file in the same
// folder ("<name>.tmp.<pid>.<n>"), flushes it to disk, renames it over the
// target and flushes the folder, so that after a crash at any instant the
// target holds either its old or its new contents. Temporary files left by a
// process that died are removed by the next successful write.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vyre::platform {

// Creates missing parent folders. Returns false (and sets `error` when given)
// when any step fails; the target is then unchanged.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view contents,
                         std::error_code* error = nullptr);

// What a settings file (registry, private-profile files) and a sound file can
// hold at most; a larger one is damage or mischief, never the programs' own.
inline constexpr std::uint64_t kSettingsFileLimit = 32u << 20;
inline constexpr std::uint64_t kSoundFileLimit = 16u << 20;

// The whole file, or std::nullopt when it does not exist, cannot be read or
// holds more than `limit` bytes (then *tooLarge is set, when given).
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path,
                                         std::uint64_t limit = kSettingsFileLimit,
                                         bool* tooLarge = nullptr);

// Where a damaged file is kept beside the one the programs write anew:
// "<name>.damaged-<local time>", with "-2", "-3", ... when that name is taken.
std::filesystem::path DamagedCopyName(const std::filesystem::path& file);
// Keeps a copy of `file` under DamagedCopyName; the copy's name, or
// std::nullopt when it could not be read or written.
std::optional<std::filesystem::path> KeepDamagedCopy(const std::filesystem::path& file);

// What identifies one version of a file on disk, to tell whether a cached copy
// is still current. `exists` is false for a missing file.
struct FileStamp {
    bool exists = false;
    unsigned long long device = 0, inode = 0, size = 0;
    long long mtimeSec = 0, mtimeNsec = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::filesystem::path& path);

}  // namespace vyre::platform
