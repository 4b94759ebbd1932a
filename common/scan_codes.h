#pragma once
// The scan-code table: for each HID usage the make code (set-1 scan code) a
// low-level keyboard hook reports for the key, with the hook's flag byte. It
// converts usages to scan codes (to ask the operating system for a localised
// key name) and hooked keys back to usages (to capture a key in the remap,
// shortcut and macro-recording dialogs).

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vyre {

constexpr int kScanCodeRows = 122;
// Rows 0..119 are matched against a hooked key first; rows 120 and 121 (Left
// Ctrl with Alt held, Left Windows) after them, so that the Left Windows key,
// which has no other row, can be captured too.
constexpr int kHookedScanCodeRows = 120;

// Flag byte bits.
constexpr std::uint8_t kScanFlagExtended = 0x01;
constexpr std::uint8_t kScanFlagAltDown = 0x20;
constexpr std::uint8_t kScanFlagUp = 0x80;  // key released (hook events only)

struct ScanCodeRow {
    std::uint8_t usage;
    std::uint8_t scanCode;
    std::uint8_t flags;
};
static_assert(sizeof(ScanCodeRow) == 3);

struct ScanCode {
    std::uint8_t scanCode = 0;
    std::uint8_t flags = 0;

    friend bool operator==(const ScanCode&, const ScanCode&) = default;
};

std::span<const ScanCodeRow, kScanCodeRows> ScanCodeTable();

// Scan code and flag byte of the first row with that usage.
std::optional<ScanCode> ScanCodeOfUsage(std::uint16_t usage);

// Usage of a key reported by the hook: the first row whose scan code and flag
// byte (without the up bit) both match, rows 0..119 first, then 120 and 121.
// A key pressed while Alt is held carries the Alt-down bit, which only the Alt
// and Left Ctrl rows have; for any other key the row without that bit is taken,
// so Alt+A still gives A. None for a key without a row (the right Windows key
// has none).
std::optional<std::uint8_t> UsageOfHookedKey(std::uint8_t scanCode, std::uint8_t flags);

// The keyboard message parameter for a key name request:
// ((flags << 8) & 0xFFF | scan code) << 16 | 1, i.e. the scan code in bits
// 16..23, the low four flag bits in bits 24..27 (of the table's flags only the
// extended bit, bit 24, is among them), repeat count 1 in the low word.
std::uint32_t KeyNameParam(ScanCode code);

// The operating system's names of keys, filled in by the platform layer.
class KeyNameProvider {
  public:
    virtual ~KeyNameProvider() = default;
    // The localised name of the key described by a parameter from
    // KeyNameParam; empty when the system has no name for it.
    virtual std::u16string KeyNameText(std::uint32_t keyNameParam) const = 0;
};

// The name shown for the key sending a usage: the operating system's name of
// its scan code; when the system gives none, "Right Shift" for scan code 0x36,
// otherwise the key table name, and the name of code 0 ("Disabled") for a
// usage without either. A usage without a scan code is not offered to the
// system. The provider may be null (no system names).
std::u16string LocalisedKeyName(std::uint16_t usage, const KeyNameProvider* system);

}  // namespace vyre
