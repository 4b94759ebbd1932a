#pragma once
// Private-profile ("INI") files with the semantics of GetPrivateProfileString,
// GetPrivateProfileInt and WritePrivateProfileString:
//   - section and key names compare without regard to case; the first of
//     duplicate sections or keys is the one read and changed;
//   - a missing key (or a key with an empty value) reads as the default;
//   - surrounding blanks, and quotes that enclose a whole value, are dropped
//     when reading;
//   - a new key goes to the end of its section, a new section to the end of
//     the file; lines that are not keys (comments, blank lines) are kept;
//   - writing a null value deletes the key, a null key deletes the section;
//   - folders and the file are created on the first write.
// Files are written as UTF-8 ("key=value" lines); UTF-16 files with a
// byte-order mark are read too (and written back as UTF-8). Every write
// replaces the file atomically (atomic_file.h).
//
// The free functions keep each file parsed in memory between calls (checked
// against the file's identity and time on every call, so changes by other
// processes are seen), so reading thousands of keys costs one parse. Inside a
// ProfileWriteBatch the writes to all files are collected and each changed
// file is rewritten once when the batch ends. The free functions are safe to
// call from several threads at once.
//
// Relative file names are resolved with paths::Resolve ("./Config/Timer.ini").

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vyre::platform {

// One private-profile file held in memory. Names and values are UTF-8.
class ProfileFile {
  public:
    ProfileFile();
    ~ProfileFile();
    ProfileFile(const ProfileFile&);
    ProfileFile& operator=(const ProfileFile&);
    ProfileFile(ProfileFile&&) noexcept;
    ProfileFile& operator=(ProfileFile&&) noexcept;

    // Parses file contents; never fails (lines it cannot read are kept as they are).
    static ProfileFile Parse(std::string_view bytes);
    // Reads a file; a missing or unreadable file gives an empty document.
    static ProfileFile Load(const std::filesystem::path& file);
    std::string Serialize() const;
    bool Save(const std::filesystem::path& file) const;

    // The value as GetPrivateProfileString reads it; std::nullopt when the key
    // is missing.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // False (nothing changed) when a name or the value cannot be stored: a line
    // break in any of them, '=' in a key, ']' can be stored in a section name.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    bool DeleteKey(std::string_view section, std::string_view key);  // true when it existed
    bool DeleteSection(std::string_view section);                    // true when it existed
    bool HasSection(std::string_view section) const;
    std::vector<std::string> SectionNames() const;
    std::vector<std::string> KeyNames(std::string_view section) const;

  private:
    struct Doc;
    std::unique_ptr<Doc> doc_;
};

// GetPrivateProfileString: at most maxChars - 1 characters when maxChars is
// given (the size of the caller's buffer with its terminator; 0 = no limit).
std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue,
                                       const std::filesystem::path& file, std::size_t maxChars = 0);
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file, std::size_t maxChars = 0);

// GetPrivateProfileInt: the decimal number at the start of the value
// (optional sign); 0 when the value has no digits; the default when the key is
// missing or empty.
int GetPrivateProfileInt(std::u16string_view section, std::u16string_view key, int defaultValue,
                         const std::filesystem::path& file);
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::filesystem::path& file);

// WritePrivateProfileString: key == nullptr deletes the section, value ==
// nullptr deletes the key. Returns false when the file could not be written
// (the file is then unchanged) or the names cannot be stored.
bool WritePrivateProfileString(std::u16string_view section, const char16_t* key,
                               const char16_t* value, const std::filesystem::path& file);
bool WritePrivateProfileString(std::string_view section, const char* key, const char* value,
                               const std::filesystem::path& file);

std::vector<std::u16string> GetPrivateProfileSectionNames(const std::filesystem::path& file);
std::vector<std::u16string> GetPrivateProfileKeyNames(std::u16string_view section,
                                                      const std::filesystem::path& file);

// Whether a file reads whole as the programs write it: UTF-8 text without
// zero bytes, every line a section, a key in a section, a comment or blank,
// and a line break at its end (a file cut short has none). A missing or empty
// file reads whole; so does a UTF-16 file, whose lines are all there is to check.
bool ProfileFileReadsWhole(const std::filesystem::path& file);

// Collects the free functions' writes until the outermost batch ends, then
// rewrites every changed file once. Reads inside the batch see the writes.
class ProfileWriteBatch {
  public:
    ProfileWriteBatch();
    ~ProfileWriteBatch();
    ProfileWriteBatch(const ProfileWriteBatch&) = delete;
    ProfileWriteBatch& operator=(const ProfileWriteBatch&) = delete;
    // Writes what is pending now; false when a file could not be written (its
    // pending changes are dropped).
    bool Commit();
};

}  // namespace vyre::platform
