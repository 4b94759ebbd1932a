#pragma once
// The current user's settings key "Software\Kalvex\Vyre Lumo\": typed values
// kept as bytes, as the Windows registry keeps them.
//
// On disk the key is one text file in the format of a Windows registry export:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Kalvex\Vyre Lumo]
//   "Start Page"=dword:00000000
//   "PF1 Timer Name1"="Tea"
//   "PF1 NAME"=hex(7):44,00,65,00,...
//   "Statistic DB"=hex:00,01,02,...,<backslash>
//     0a,0b,...
//
// The file is written as regedit exports one: UTF-16 LE with a byte-order
// mark and CRLF line ends. REG_DWORD values of four bytes are written as
// dword:, REG_SZ values that are one well-formed terminated string as "text"
// (backslash and quote escaped), REG_BINARY as hex:, everything else as
// hex(<type>): with the exact bytes (hex(2) and hex(7) hold the UTF-16 text
// with its terminators, hex(b) a qword), so that every value reads back with
// its type and size, here and in regedit. Long hex lists are folded as regedit
// folds them: after the comma that reaches column 77, a backslash, and the
// next line indented by two spaces.
//
// Read are UTF-16 files (with a byte-order mark), UTF-8 files (with or without
// one; what earlier versions wrote) and ANSI files (Windows-1252, when the
// bytes are not UTF-8); in a "REGEDIT4" file hex(2) and hex(7) hold ANSI text,
// which is read as UTF-16.
//
// The file is read once and kept in memory; every change rewrites it
// atomically (see atomic_file.h). A change made to the file by another process
// is picked up by the next call. A damaged file is read as far as it parses:
// lines that cannot be read are skipped and their values are missing.
//
// When the file cannot be written the change is dropped (the key reads as the
// file holds it) and the operation reports Failed.
//
// All operations are safe to call from several threads at once.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

namespace vyre::platform {

enum class RegType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    MultiSz = 7,
    Qword = 11,
};

// The results of RegQueryValueEx and friends that the system distinguishes.
enum class RegStatus {
    Ok,        // ERROR_SUCCESS
    NotFound,  // ERROR_FILE_NOT_FOUND: no key or no such value
    MoreData,  // ERROR_MORE_DATA: the buffer is too small; the size says how much is needed
    Failed,    // the change could not be stored
};

struct RegValue {
    std::string name;  // UTF-8, compared without regard to case
    RegType type = RegType::None;
    std::vector<std::uint8_t> data;
};

class Registry {
  public:
    // The key kept in `file` (created on the first write).
    explicit Registry(std::filesystem::path file);
    // A key that lives in memory only (for tests); starts without the key.
    static std::unique_ptr<Registry> InMemory();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // The process-wide key, kept in paths::RegistryFile().
    static Registry& CurrentUser();

    bool KeyExists();
    // Creates the key when it is missing (RegCreateKeyEx); true when it exists afterwards.
    bool CreateKey();
    // Deletes the key with all its values.
    bool DeleteKey();

    // RegQueryValueEx: on entry *size is the buffer's size in bytes. When `data`
    // is null the needed size is stored and Ok returned. When the buffer is too
    // small the needed size is stored and MoreData returned (the buffer is not
    // touched). Otherwise the value is copied, *size set to its size and Ok
    // returned. `type` may be null.
    RegStatus QueryValue(std::string_view name, RegType* type, void* data, std::uint32_t* size);

    // RegSetValueEx; creates the key when it is missing.
    RegStatus SetValue(std::string_view name, RegType type, const void* data, std::uint32_t size);
    // RegDeleteValue.
    RegStatus DeleteValue(std::string_view name);

    std::optional<RegValue> GetValue(std::string_view name);
    // Every value of the key in the order they were first written.
    std::vector<RegValue> Values();

    // Typed helpers. ReadDword fails unless the value is REG_DWORD of 4 bytes.
    // ReadString reads REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ with a buffer of
    // `maxBytes` bytes (RegQueryValueEx rules: too long a value fails) and
    // returns its text up to the first terminator.
    std::optional<std::uint32_t> ReadDword(std::string_view name);
    RegStatus WriteDword(std::string_view name, std::uint32_t value);
    std::optional<std::u16string> ReadString(std::string_view name, std::uint32_t maxBytes);
    // Writes the text with one terminating zero character (size = length x 2 + 2).
    RegStatus WriteString(std::string_view name, RegType type, std::u16string_view text);

    // While a Batch is alive changes are kept in memory; the file is rewritten
    // once when the last Batch ends (or by Commit). Use it to save many values.
    class Batch {
      public:
        explicit Batch(Registry& registry);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
        // Writes what is pending now; true when nothing is left unwritten.
        bool Commit();

      private:
        Registry* registry_;
    };

    // The text the file would hold now (for tests and diagnostics).
    std::string Serialize();

    // Once a damaged file was read: where it was kept (registry.reg.damaged-<time>
    // beside it), so that the user can be told. Empty while every read was whole.
    std::optional<std::filesystem::path> DamagedFile();

  private:
    struct State;
    Registry(std::optional<std::filesystem::path> file);
    void Refresh();       // reloads the file when it changed on disk; caller holds mutex_
    RegStatus Changed();  // writes or defers after a change; caller holds mutex_
    bool Flush();
    void KeepDamaged(const std::string* raw);  // caller holds mutex_

    std::optional<std::filesystem::path> file_;
    std::mutex mutex_;
    std::unique_ptr<State> state_;
};

// Parsing and writing of the export format, shared with the fuzz target.
struct RegFileContents {
    bool keyFound = false;
    std::vector<RegValue> values;
    // Something in the file is not what a whole file holds: a line that does
    // not parse, a damaged header or key line, an end cut short. What could
    // be read is in `values` (under a damaged key line too, when the file has
    // no intact one).
    bool damaged = false;
};
// `bytes` is the file in any of the encodings above.
RegFileContents ParseRegFile(std::string_view bytes, std::string_view keyPath);
// The file's bytes (UTF-16 LE with its byte-order mark).
std::string FormatRegFile(std::string_view keyPath, bool keyExists,
                          const std::vector<RegValue>& values);

// "HKEY_CURRENT_USER\Software\Kalvex\Vyre Lumo"
extern const char* const kVyreLumoKeyPath;

}  // namespace vyre::platform
