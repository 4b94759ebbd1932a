#include "common/key_table.h"

#include <string>

#include <algorithm>

namespace vyre {
namespace {

// Row 55 is the quote key, named by its two characters; row 114's name ends in
// a blank, as the keyboard's own tables have it. The "K" names are the
// international key positions (K14 yen, K29 backslash above Enter, K42 and K45
// the extra ISO keys, K56 ro, K107 keypad comma, K131..K133 the Japanese
// conversion keys, K150 and K151 the Korean keys). 0xAA..0xAE ("M1".."M5")
// and 0xF1 ("Fn") are the keyboard's own usages for its own keys.
// clang-format off
constexpr KeyTableRow kKeyRows[kKeyTableRows] = {
    {0xAA, u"M1"},  // 0
    {0x29, u"ESC"},  // 1
    {0x3A, u"F1"},  // 2
    {0x3C, u"F3"},  // 3
    {0x3E, u"F5"},  // 4
    {0x40, u"F7"},  // 5
    {0x42, u"F9"},  // 6
    {0x43, u"F10"},  // 7
    {0x44, u"F11"},  // 8
    {0x46, u"Prtscn"},  // 9
    {0x53, u"Num"},  // 10
    {0x55, u"*(pad)"},  // 11
    {0x35, u"~"},  // 12
    {0x1E, u"1"},  // 13
    {0x3B, u"F2"},  // 14
    {0x3D, u"F4"},  // 15
    {0x3F, u"F6"},  // 16
    {0x41, u"F8"},  // 17
    {0x27, u"0"},  // 18
    {0x2E, u"="},  // 19
    {0x45, u"F12"},  // 20
    {0x47, u"Scroll Lock"},  // 21
    {0x54, u"/(pad)"},  // 22
    {0x56, u"-(pad)"},  // 23
    {0xAB, u"M2"},  // 24
    {0x1F, u"2"},  // 25
    {0x20, u"3"},  // 26
    {0x21, u"4"},  // 27
    {0x23, u"6"},  // 28
    {0x25, u"8"},  // 29
    {0x2D, u"-"},  // 30
    {0x2F, u"{ ["},  // 31
    {0x89, u"K14"},  // 32
    {0x48, u"Pause"},  // 33
    {0x5F, u"7(pad)"},  // 34
    {0x61, u"9(pad)"},  // 35
    {0x2B, u"Tab"},  // 36
    {0x14, u"Q"},  // 37
    {0x08, u"E"},  // 38
    {0x22, u"5"},  // 39
    {0x24, u"7"},  // 40
    {0x26, u"9"},  // 41
    {0x12, u"O"},  // 42
    {0x30, u"}]"},  // 43
    {0x2A, u"back space"},  // 44
    {0x49, u"Insert"},  // 45
    {0x60, u"8(pad)"},  // 46
    {0x57, u"+(pad)"},  // 47
    {0xAC, u"M3"},  // 48
    {0x1A, u"W"},  // 49
    {0x15, u"R"},  // 50
    {0x17, u"T"},  // 51
    {0x1C, u"Y"},  // 52
    {0x0C, u"I"},  // 53
    {0x13, u"P"},  // 54
    {0x34, u"\"'"},  // 55
    {0x31, u"K29"},  // 56
    {0x4A, u"Home"},  // 57
    {0x5C, u"4(pad)"},  // 58
    {0x5E, u"6(pad)"},  // 59
    {0x39, u"Caps lock"},  // 60
    {0x04, u"A"},  // 61
    {0x07, u"D"},  // 62
    {0x0A, u"G"},  // 63
    {0x18, u"U"},  // 64
    {0x0E, u"K"},  // 65
    {0x0F, u"L"},  // 66
    {0x32, u"K42"},  // 67
    {0x28, u"Enter"},  // 68
    {0x4B, u"PgUp"},  // 69
    {0x5D, u"5(pad)"},  // 70
    {0x85, u"K107"},  // 71
    {0xAD, u"M4"},  // 72
    {0x16, u"S"},  // 73
    {0x09, u"F"},  // 74
    {0x0B, u"H"},  // 75
    {0x0D, u"J"},  // 76
    {0x10, u"M"},  // 77
    {0x33, u";"},  // 78
    {0x38, u"?"},  // 79
    {0xE5, u"Shift_R"},  // 80
    {0x4C, u"Delete"},  // 81
    {0x59, u"1(pad)"},  // 82
    {0x5B, u"3(pad)"},  // 83
    {0xE1, u"Shift_L"},  // 84
    {0x64, u"K45"},  // 85
    {0x1B, u"X"},  // 86
    {0x19, u"V"},  // 87
    {0x11, u"N"},  // 88
    {0x36, u"<"},  // 89
    {0x37, u">"},  // 90
    {0x87, u"K56"},  // 91
    {0xE4, u"Ctrl_R"},  // 92
    {0x4D, u"End"},  // 93
    {0x5A, u"2(pad)"},  // 94
    {0x58, u"Enter(pad)"},  // 95
    {0xAE, u"M5"},  // 96
    {0x1D, u"Z"},  // 97
    {0x06, u"C"},  // 98
    {0x05, u"B"},  // 99
    {0x8B, u"K131"},  // 100
    {0x8A, u"K132"},  // 101
    {0x90, u"K151"},  // 102
    {0x65, u"App"},  // 103
    {0x50, u"Left"},  // 104
    {0x4E, u"PGDn"},  // 105
    {0x62, u"0(pad)"},  // 106
    {0x63, u".(pad)"},  // 107
    {0xE0, u"Ctrl_L"},  // 108
    {0xE3, u"Win_L"},  // 109
    {0xE2, u"Alt_L"},  // 110
    {0x91, u"K150"},  // 111
    {0x2C, u"Space"},  // 112
    {0x88, u"K133"},  // 113
    {0xE6, u"Alt_R "},  // 114
    {0xF1, u"Fn"},  // 115
    {0x51, u"Down"},  // 116
    {0x52, u"Up"},  // 117
    {0x4F, u"RIGHT"},  // 118
    {0xE7, u"WIN_R"},  // 119
};
// clang-format on

std::u16string_view NameOf(const char16_t* units, std::size_t capacity) {
    std::size_t n = 0;
    while (n < capacity && units[n] != 0) ++n;
    return {units, n};
}

}  // namespace

std::span<const KeyTableRow, kKeyTableRows> KeyTable() {
    return std::span<const KeyTableRow, kKeyTableRows>(kKeyRows);
}

std::uint16_t KeyUsage(int keyIndex) {
    if (keyIndex < 0 || keyIndex >= kKeyTableRows) return 0;
    return kKeyRows[keyIndex].usage;
}

std::array<std::uint8_t, kKeyTableRows> KeyTableUsages() {
    std::array<std::uint8_t, kKeyTableRows> usages{};
    for (int i = 0; i < kKeyTableRows; ++i) usages[i] = static_cast<std::uint8_t>(kKeyRows[i].usage);
    return usages;
}

std::u16string_view KeyTableName(int keyIndex) {
    if (keyIndex < 0 || keyIndex >= kKeyTableRows) return {};
    return NameOf(kKeyRows[keyIndex].name, kKeyNameUnits);
}

namespace {

// A key name as compared: lower case, without blanks and underscores.
template <class Char>
std::string FoldedKeyName(std::basic_string_view<Char> name) {
    std::string out;
    for (const Char c : name) {
        if (c == ' ' || c == '_') continue;
        if (c > 0x7F) return {};  // every key table name is ASCII
        out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    }
    return out;
}

}  // namespace

std::optional<int> KeyIndexOfName(std::string_view name) {
    const std::string wanted = FoldedKeyName(name);
    if (wanted.empty()) return std::nullopt;
    for (int i = 0; i < kKeyTableRows; ++i) {
        if (FoldedKeyName(KeyTableName(i)) == wanted) return i;
    }
    for (int t = 0; t < 3; ++t) {
        if (wanted == "thumb" + std::to_string(t + 1)) return kThumbKey1 + t;
    }
    return std::nullopt;
}

std::optional<int> KeyIndexOfUsage(std::uint16_t usage) {
    for (int i = 0; i < kKeyTableRows; ++i) {
        if (kKeyRows[i].usage == usage) return i;
    }
    return std::nullopt;
}

std::u16string_view UsageName(std::uint16_t usage) {
    const auto index = KeyIndexOfUsage(usage);
    return index ? KeyTableName(*index) : std::u16string_view{};
}

namespace {

template <std::size_t N>
std::optional<int> PositionIn(const std::array<std::uint8_t, N>& keys, int keyIndex) {
    const auto it = std::find(keys.begin(), keys.end(), keyIndex);
    if (it == keys.end()) return std::nullopt;
    return static_cast<int>(it - keys.begin());
}

}  // namespace

std::optional<int> FunctionKeyPosition(int keyIndex) {
    return PositionIn(kFunctionKeyOrder, keyIndex);
}
std::optional<int> ThumbKeyPosition(int keyIndex) {
    return PositionIn(kThumbKeys, keyIndex);
}
std::optional<int> MacroKeyPosition(int keyIndex) {
    return PositionIn(kMacroKeys, keyIndex);
}

bool IsMacroKey(int keyIndex) {
    return MacroKeyPosition(keyIndex).has_value();
}
bool IsFunctionKey(int keyIndex) {
    return FunctionKeyPosition(keyIndex).has_value();
}
bool IsThumbKey(int keyIndex) {
    return keyIndex >= kThumbKey1 && keyIndex <= kThumbKey3;
}

KeyGroup KeyGroupOf(int keyIndex) {
    if (IsFunctionKey(keyIndex)) return KeyGroup::Function;
    if (IsThumbKey(keyIndex)) return KeyGroup::Thumb;
    return KeyGroup::Normal;
}

}  // namespace vyre
