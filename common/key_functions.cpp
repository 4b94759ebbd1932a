#include "common/key_functions.h"

#include "common/key_table.h"

namespace vyre {
namespace {

// Rows 38..52 and 63 are plain usages, named so that the function keys and
// Caps Lock show their defaults by name. Row 3 names the shortcut code; it is
// shown only for a shortcut whose text cannot be built.
// clang-format off
constexpr FunctionNameRow kFunctionNames[kFunctionNameRows] = {
    {0, u"Disabled"},  // 0
    {186, u"Macro Play/Pause"},  // 1
    {189, u"Stop Timer"},  // 2
    {184, u"Disabled"},  // 3
    {185, u"QuickLaunch"},  // 4
    {255, u"Flexlayer[+] Vyre Lumo"},  // 5
    {140, u"Flexlayer[+] all devices"},  // 6
    {178, u"Profile Cycle"},  // 7
    {176, u"Profile Up"},  // 8
    {177, u"Profile Down"},  // 9
    {179, u"Profile 1"},  // 10
    {180, u"Profile 2"},  // 11
    {181, u"Profile 3"},  // 12
    {182, u"Profile 4"},  // 13
    {183, u"Profile 5"},  // 14
    {210, u"Windows Mute"},  // 15
    {208, u"Windows Volume Up"},  // 16
    {209, u"Windows Volume Down"},  // 17
    {203, u"Open Player"},  // 18
    {206, u"Previous Track"},  // 19
    {205, u"Next Track"},  // 20
    {204, u"Play/Pause"},  // 21
    {207, u"Stop"},  // 22
    {196, u"WWW Search"},  // 23
    {197, u"WWW Home"},  // 24
    {198, u"WWW Back"},  // 25
    {199, u"WWW Forward"},  // 26
    {200, u"WWW Stop"},  // 27
    {201, u"WWW Refresh"},  // 28
    {202, u"WWW Favorites"},  // 29
    {129, u"Shut Down"},  // 30
    {130, u"Sleep"},  // 31
    {131, u"Wake"},  // 32
    {192, u"Email"},  // 33
    {193, u"Calculator"},  // 34
    {194, u"My Computer"},  // 35
    {195, u"IE Browser"},  // 36
    {221, u"Open Driver"},  // 37
    {58, u"F1"},  // 38
    {59, u"F2"},  // 39
    {60, u"F3"},  // 40
    {61, u"F4"},  // 41
    {62, u"F5"},  // 42
    {63, u"F6"},  // 43
    {64, u"F7"},  // 44
    {65, u"F8"},  // 45
    {66, u"F9"},  // 46
    {67, u"F10"},  // 47
    {68, u"F11"},  // 48
    {69, u"F12"},  // 49
    {70, u"Prtscn"},  // 50
    {71, u"ScrLk"},  // 51
    {72, u"Pause"},  // 52
    {211, u"Shift + 1"},  // 53
    {212, u"Shift + 2"},  // 54
    {213, u"Shift + 3"},  // 55
    {214, u"Shift + 4"},  // 56
    {215, u"Shift + 5"},  // 57
    {216, u"Ctrl + 1"},  // 58
    {217, u"Ctrl + 2"},  // 59
    {218, u"Ctrl + 3"},  // 60
    {219, u"Ctrl + 4"},  // 61
    {220, u"Ctrl + 5"},  // 62
    {57, u"Caps Lock"},  // 63
    {167, u"MLR"},  // 64
    {163, u"Backlight"},  // 65
};
// clang-format on

// clang-format off
constexpr MenuCommand kMenuCommands[kFixedMenuCommands] = {
    {32775, u"Assign a Shortcut", 184},
    {32776, u"Quick launch", 185},
    {32865, u"Disable", 0},
    {32849, u"Macro Play/Pause", 186},
    {32858, u"Stop Timer", 189},
    {32778, u"Flexlayer[+] Vyre Lumo", 255},
    {32803, u"Flexlayer[+] all devices", 140},
    {32787, u"Profile Cycle", 178},
    {32860, u"Profile Up", 176},
    {32789, u"Profile Down", 177},
    {32862, u"Profile 1", 179},
    {32791, u"Profile 2", 180},
    {32864, u"Profile 3", 181},
    {32793, u"Profile 4", 182},
    {32866, u"Profile 5", 183},
    {32795, u"Windows Mute", 210},
    {32868, u"Windows Volume Up", 208},
    {32797, u"Windows Volume Down", 209},
    {32870, u"Open Player", 203},
    {32799, u"Previous Track", 206},
    {32872, u"Next Track", 205},
    {32801, u"Play/Pause", 204},
    {32874, u"Stop", 207},
    {32844, u"WWW Search", 196},
    {32845, u"WWW Home", 197},
    {32851, u"WWW Back", 198},
    {32852, u"WWW Forward", 199},
    {32853, u"WWW Stop", 200},
    {32854, u"WWW Refresh", 201},
    {32855, u"WWW Favorites", 202},
    {32848, u"Shut Down", 129},
    {32847, u"Sleep", 130},
    {32846, u"Wake", 131},
    {32788, u"Email", 192},
    {32861, u"Calculator", 193},
    {32790, u"My Computer", 194},
    {32863, u"IE Browser", 195},
    {32794, u"Open Driver", 221},
};
// clang-format on

struct CommandText {
    std::uint16_t id;
    const char16_t* text;
};
constexpr CommandText kOtherCommands[] = {
    {menu_cmd::kStandard, u"Standard"},
    {menu_cmd::kCreateMacro, u"Create New Macro..."},
    {menu_cmd::kCreateLightMacro, u"Create New LED Macro..."},
    {menu_cmd::kCreateTimer, u"Create Timer"},
    {menu_cmd::kEditTimer, u"Edit/Delete Timer"},
    {menu_cmd::kSelectPlayer, u"Select Player"},
    {menu_cmd::kRemap, u"Remap"},
};

// Secondary defaults of F1..F12, in key order F1, F2, ..., F12.
constexpr std::uint8_t kFKeySecondary[12] = {
    fncode::kMute,       fncode::kVolumeDown, fncode::kVolumeUp,      fncode::kCalculator,
    fncode::kPlayPause,  fncode::kStop,       fncode::kPreviousTrack, fncode::kNextTrack,
    fncode::kMyComputer, fncode::kIeBrowser,  fncode::kBacklight,     fncode::kMlr,
};

constexpr std::uint8_t kThumbPrimary[3] = {fncode::kProfileDown, fncode::kOpenDriver,
                                           fncode::kProfileUp};
constexpr std::uint8_t kCapsLockUsage = 0x39;
constexpr std::uint8_t kThumbSecondary[3] = {kCapsLockUsage, fncode::kOpenPlayer, fncode::kEmail};

std::u16string_view NameOf(const char16_t* units, std::size_t capacity) {
    std::size_t n = 0;
    while (n < capacity && units[n] != 0) ++n;
    return {units, n};
}

}  // namespace

std::span<const FunctionNameRow, kFunctionNameRows> FunctionNameTable() {
    return std::span<const FunctionNameRow, kFunctionNameRows>(kFunctionNames);
}

std::optional<std::u16string_view> FunctionName(std::uint16_t code) {
    for (const FunctionNameRow& row : kFunctionNames) {
        if (row.code == code) return NameOf(row.name, kFunctionNameUnits);
    }
    return std::nullopt;
}

std::u16string ShortcutText(std::uint8_t modifiers, std::uint8_t usage) {
    std::u16string text;
    if (modifiers & shortcut_mod::kShift) text += u"Shift + ";
    if (modifiers & shortcut_mod::kAlt) text += u"Alt + ";
    if (modifiers & shortcut_mod::kWin) text += u"Win + ";
    if (modifiers & shortcut_mod::kCtrl) text += u"Ctrl + ";
    if (KeyIndexOfUsage(usage)) {
        text += UsageName(usage);
    } else {
        // No key: drop the last "+ " so the text does not end in a dangling plus.
        const auto plus = text.rfind(u'+');
        text.resize(plus == std::u16string::npos ? 0 : plus);
    }
    return text;
}

std::u16string ShortcutDisplayText(std::uint8_t modifiers, std::uint8_t usage) {
    std::u16string text = ShortcutText(modifiers, usage);
    if (text.empty()) text = FunctionName(fncode::kShortcut).value_or(u"");
    return text;
}

std::optional<std::uint8_t> DefaultPrimaryCode(int keyIndex) {
    // F1..F12, Prtscn, Scroll Lock, Pause default to their own usages; those
    // are listed because they are function keys, named in the function-name
    // table.
    if (IsFunctionKey(keyIndex)) return static_cast<std::uint8_t>(KeyUsage(keyIndex));
    if (const auto m = MacroKeyPosition(keyIndex))
        return static_cast<std::uint8_t>(fncode::kShift1 + *m);
    if (const auto t = ThumbKeyPosition(keyIndex)) return kThumbPrimary[*t];
    return std::nullopt;
}

std::optional<std::uint8_t> DefaultSecondaryCode(int keyIndex) {
    if (const auto f = FunctionKeyPosition(keyIndex)) {
        // Positions 0..11 are F1..F12; Prtscn, Scroll Lock and Pause do nothing
        // on the Flexlayer by default.
        return *f < 12 ? kFKeySecondary[*f] : fncode::kDisabled;
    }
    if (const auto m = MacroKeyPosition(keyIndex))
        return static_cast<std::uint8_t>(fncode::kCtrl1 + *m);
    if (const auto t = ThumbKeyPosition(keyIndex)) return kThumbSecondary[*t];
    return std::nullopt;
}

std::uint8_t StandardFunctionCode(int keyIndex, Layer layer) {
    const auto code =
        layer == Layer::Primary ? DefaultPrimaryCode(keyIndex) : DefaultSecondaryCode(keyIndex);
    return code ? *code : static_cast<std::uint8_t>(KeyUsage(keyIndex));
}

std::array<FunctionEntry, 30> DefaultFunctionKeyEntries() {
    std::array<FunctionEntry, 30> entries{};
    for (std::size_t i = 0; i < kFunctionKeyOrder.size(); ++i) {
        entries[i].code = StandardFunctionCode(kFunctionKeyOrder[i], Layer::Primary);
        entries[i + 15].code = StandardFunctionCode(kFunctionKeyOrder[i], Layer::Secondary);
    }
    return entries;
}

std::array<FunctionEntry, 6> DefaultThumbKeyEntries() {
    std::array<FunctionEntry, 6> entries{};
    for (std::size_t i = 0; i < kThumbKeys.size(); ++i) {
        entries[i].code = StandardFunctionCode(kThumbKeys[i], Layer::Primary);
        entries[i + 3].code = StandardFunctionCode(kThumbKeys[i], Layer::Secondary);
    }
    return entries;
}

std::span<const MenuCommand, kFixedMenuCommands> MenuCommandTable() {
    return std::span<const MenuCommand, kFixedMenuCommands>(kMenuCommands);
}

std::optional<std::uint8_t> MenuCommandCode(std::uint16_t id) {
    for (const MenuCommand& command : kMenuCommands) {
        if (command.id == id) return command.code;
    }
    return std::nullopt;
}

std::optional<std::uint8_t> MenuCommandCodeFor(std::uint16_t id, int keyIndex, Layer layer) {
    if (id == menu_cmd::kStandard) return StandardFunctionCode(keyIndex, layer);
    return MenuCommandCode(id);
}

std::u16string_view MenuCommandText(std::uint16_t id) {
    for (const MenuCommand& command : kMenuCommands) {
        if (command.id == id) return command.text;
    }
    for (const CommandText& command : kOtherCommands) {
        if (command.id == id) return command.text;
    }
    return {};
}

}  // namespace vyre
