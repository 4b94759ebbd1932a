#pragma once
// Keys of the keyboard: key indices, the key table (HID usage and display
// name of the 120 matrix keys), and the key groups the key assignment page
// sorts them into.
//
// Key indices 0..119 are the rows of the key table, in the keyboard's own key
// numbering; 120..122 are the three thumb keys, which have no row and no HID
// usage of their own.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vyre {

constexpr int kKeyTableRows = 120;
constexpr int kKeyCount = 123;  // key indices 0..122
constexpr int kThumbKey1 = 120;
constexpr int kThumbKey2 = 121;
constexpr int kThumbKey3 = 122;

// Every key function exists on two layers: the normal (primary) layer and the
// Flexlayer (secondary), active while the Flexlayer key is held.
enum class Layer : std::uint8_t { Primary = 0, Secondary = 1 };

// One key table row: 34 bytes, a 16-bit usage of the Keyboard/Keypad usage
// page (also the usage the key sends when it is not remapped), then the
// display name as 16 UTF-16 code units, zero-padded.
constexpr int kKeyNameUnits = 16;
struct KeyTableRow {
    std::uint16_t usage;
    char16_t name[kKeyNameUnits];
};
static_assert(sizeof(KeyTableRow) == 34);
static_assert(offsetof(KeyTableRow, name) == 2);

std::span<const KeyTableRow, kKeyTableRows> KeyTable();

// The usage of a key table row; 0 for the thumb keys and indices out of range.
std::uint16_t KeyUsage(int keyIndex);
// Every row's usage by key index (the key remap of a keyboard at its defaults).
std::array<std::uint8_t, kKeyTableRows> KeyTableUsages();
// The display name of a key table row; empty for the thumb keys and indices
// out of range.
std::u16string_view KeyTableName(int keyIndex);

// Key index of a key named as the key table names it (compared without
// regard to case, blanks and underscores: "e", "backspace", "ctrl l"), or
// "Thumb1".."Thumb3" for the thumb keys.
std::optional<int> KeyIndexOfName(std::string_view name);

// Name of a HID usage: the name of the first key table row with that usage,
// empty when no row has it.
std::u16string_view UsageName(std::uint16_t usage);
// Key index of the first key table row with that usage.
std::optional<int> KeyIndexOfUsage(std::uint16_t usage);

// The macro keys "M1".."M5".
inline constexpr std::array<std::uint8_t, 5> kMacroKeys = {0, 24, 48, 72, 96};
// The fifteen function keys in the order of the function-keys record: F1..F12,
// Prtscn, Scroll Lock, Pause.
inline constexpr std::array<std::uint8_t, 15> kFunctionKeyOrder = {2, 14, 3, 15, 4, 16, 5, 17,
                                                                   6, 7,  8, 20, 9, 21, 33};
// The thumb keys in the order of the thumb-keys record.
inline constexpr std::array<std::uint8_t, 3> kThumbKeys = {kThumbKey1, kThumbKey2, kThumbKey3};

// The three groups of the key assignment page. The values are the page's
// group numbers.
enum class KeyGroup : std::uint8_t { Normal = 1, Function = 2, Thumb = 3 };

// Function keys are 2..9, 14..17, 20, 21, 33; thumb keys 120..122; every
// other key (the macro keys included) is a normal key.
KeyGroup KeyGroupOf(int keyIndex);
bool IsMacroKey(int keyIndex);
bool IsFunctionKey(int keyIndex);
bool IsThumbKey(int keyIndex);

// Position of a function key within the function-keys record (0..14), of a
// thumb key within the thumb-keys record (0..2), of a macro key among
// "M1".."M5" (0..4).
std::optional<int> FunctionKeyPosition(int keyIndex);
std::optional<int> ThumbKeyPosition(int keyIndex);
std::optional<int> MacroKeyPosition(int keyIndex);

}  // namespace vyre
