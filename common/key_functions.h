#pragma once
// Key functions: the three-byte function entry, the key-function codes, the
// function-name table, the shortcut text, the default functions of the keys
// and the command ids of the key assignment menus.

#include "common/key_table.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vyre {

// One key function: the key-function code and two data bytes whose meaning
// depends on the code. A code that is not a function below is a usage of the
// Keyboard/Keypad page: the key sends that usage.
struct FunctionEntry {
    std::uint8_t code = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;

    friend bool operator==(const FunctionEntry&, const FunctionEntry&) = default;
};
static_assert(sizeof(FunctionEntry) == 3);

// Key-function codes.
namespace fncode {
constexpr std::uint8_t kDisabled = 0;
constexpr std::uint8_t kShutDown = 129;
constexpr std::uint8_t kSleep = 130;
constexpr std::uint8_t kWake = 131;
constexpr std::uint8_t kFlexlayerAllDevices = 140;  // talk: Flexlayer of every device
constexpr std::uint8_t kBacklight = 163;            // carried out by the keyboard
constexpr std::uint8_t kMlr = 167;                  // carried out by the keyboard
constexpr std::uint8_t kProfileUp = 176;
constexpr std::uint8_t kProfileDown = 177;
constexpr std::uint8_t kProfileCycle = 178;
constexpr std::uint8_t kProfile1 = 179;     // .. kProfile1 + 4 for "Profile 5"
constexpr std::uint8_t kShortcut = 184;     // data: modifier bits, usage of the key
constexpr std::uint8_t kQuickLaunch = 185;  // program path kept per slot
constexpr std::uint8_t kMacroPlayPause = 186;
constexpr std::uint8_t kTimer = 188;  // timer kept in the key's timer slot
constexpr std::uint8_t kStopTimer = 189;
constexpr std::uint8_t kMacro = 190;       // macro kept in the key's macro slot
constexpr std::uint8_t kLightMacro = 191;  // light macro kept in the key's light-macro slot
constexpr std::uint8_t kEmail = 192;
constexpr std::uint8_t kCalculator = 193;
constexpr std::uint8_t kMyComputer = 194;
constexpr std::uint8_t kIeBrowser = 195;
constexpr std::uint8_t kWwwSearch = 196;
constexpr std::uint8_t kWwwHome = 197;
constexpr std::uint8_t kWwwBack = 198;
constexpr std::uint8_t kWwwForward = 199;
constexpr std::uint8_t kWwwStop = 200;
constexpr std::uint8_t kWwwRefresh = 201;
constexpr std::uint8_t kWwwFavorites = 202;
constexpr std::uint8_t kOpenPlayer = 203;
constexpr std::uint8_t kPlayPause = 204;
constexpr std::uint8_t kNextTrack = 205;
constexpr std::uint8_t kPreviousTrack = 206;
constexpr std::uint8_t kStop = 207;
constexpr std::uint8_t kVolumeUp = 208;
constexpr std::uint8_t kVolumeDown = 209;
constexpr std::uint8_t kMute = 210;
constexpr std::uint8_t kShift1 = 211;  // .. kShift1 + 4 for "Shift + 5"
constexpr std::uint8_t kCtrl1 = 216;   // .. kCtrl1 + 4 for "Ctrl + 5"
constexpr std::uint8_t kOpenDriver = 221;
// A light macro whose own flag byte is 1 (on function and macro keys the code
// is always kLightMacro).
constexpr std::uint8_t kLightMacroFlagged = 222;
// Menu item markers that never reach a function entry.
constexpr std::uint8_t kEditMacroItem = 223;
constexpr std::uint8_t kEditLightMacroItem = 239;
// Talk functions aimed at another of the maker's devices; the target device is
// kept per thumb key.
constexpr std::uint8_t kTalkFlexlayer = 245;
constexpr std::uint8_t kTalkFlexlayerLock = 246;
constexpr std::uint8_t kTalkDpiStage1 = 247;  // .. kTalkDpiStage1 + 4 for stage 5
constexpr std::uint8_t kFlexlayer = 255;      // the Flexlayer key of this keyboard
}  // namespace fncode

// Modifier bits of a shortcut entry (data byte 1).
namespace shortcut_mod {
constexpr std::uint8_t kCtrl = 0x01;
constexpr std::uint8_t kShift = 0x02;
constexpr std::uint8_t kAlt = 0x04;
constexpr std::uint8_t kWin = 0x08;
}  // namespace shortcut_mod

// One function-name table row: 62 bytes, a 16-bit code, then the name as 30
// UTF-16 code units, zero-padded.
constexpr int kFunctionNameRows = 66;
constexpr int kFunctionNameUnits = 30;
struct FunctionNameRow {
    std::uint16_t code;
    char16_t name[kFunctionNameUnits];
};
static_assert(sizeof(FunctionNameRow) == 62);
static_assert(offsetof(FunctionNameRow, name) == 2);

std::span<const FunctionNameRow, kFunctionNameRows> FunctionNameTable();

// Name of a key-function code: the name of the first row with that code, none
// when no row has it (the caller keeps the text it had). The shortcut code 184
// is named "Disabled": a shortcut is shown by its shortcut text, and that name
// is reached only when the text cannot be built.
std::optional<std::u16string_view> FunctionName(std::uint16_t code);

// Text of a shortcut entry: "Shift + ", "Alt + ", "Win + ", "Ctrl + " for the
// set modifier bits, always in this order, then the key table name of the
// usage. When the usage has no key table row the text is cut at its last plus
// sign ("Shift + Ctrl " for Shift and Ctrl without a key). Empty when nothing
// is left (no modifier and no known key).
std::u16string ShortcutText(std::uint8_t modifiers, std::uint8_t usage);
// The text shown for a shortcut entry: its shortcut text, or the name of the
// shortcut code when that text is empty.
std::u16string ShortcutDisplayText(std::uint8_t modifiers, std::uint8_t usage);

// Default functions. Keys not listed have their own usage as default on both
// layers: F1..F12, Prtscn, Scroll Lock, Pause, the macro keys and the thumb
// keys are listed. Codes only: every default has zero data bytes.
std::optional<std::uint8_t> DefaultPrimaryCode(int keyIndex);
std::optional<std::uint8_t> DefaultSecondaryCode(int keyIndex);
// The key's default on a layer: the listed default, else the key's own usage
// (0 for an index without a key).
std::uint8_t StandardFunctionCode(int keyIndex, Layer layer);

// Default contents of the function-keys record (entries 0..14 primary, 15..29
// secondary, in function-keys order) and of the thumb-keys record (entries 0..2
// primary, 3..5 secondary).
std::array<FunctionEntry, 30> DefaultFunctionKeyEntries();
std::array<FunctionEntry, 6> DefaultThumbKeyEntries();

// Command ids of the key assignment menus.
namespace menu_cmd {
constexpr std::uint16_t kStandard = 32774;  // stores the key's default for the layer
constexpr std::uint16_t kAssignShortcut = 32775;
constexpr std::uint16_t kQuickLaunch = 32776;
constexpr std::uint16_t kDisable = 32865;
// Commands that open a dialog instead of storing a code.
constexpr std::uint16_t kCreateMacro = 32850;
constexpr std::uint16_t kCreateLightMacro = 32914;
constexpr std::uint16_t kCreateTimer = 32856;
constexpr std::uint16_t kEditTimer = 32857;
constexpr std::uint16_t kSelectPlayer = 32911;
constexpr std::uint16_t kRemap = 32912;
}  // namespace menu_cmd

// A menu command with the code that choosing it stores.
struct MenuCommand {
    std::uint16_t id;
    const char16_t* text;
    std::uint8_t code;
};
// The 38 commands that store a fixed code ("Standard" is not among them: its
// code depends on the key and layer, see StandardFunctionCode).
constexpr int kFixedMenuCommands = 38;
std::span<const MenuCommand, kFixedMenuCommands> MenuCommandTable();
// The code a fixed-code command stores; none for "Standard", for the dialog
// commands and for ids that are not menu commands.
std::optional<std::uint8_t> MenuCommandCode(std::uint16_t id);
// The code a command stores for a key on a layer: "Standard" gives the key's
// default, fixed-code commands their code, anything else none.
std::optional<std::uint8_t> MenuCommandCodeFor(std::uint16_t id, int keyIndex, Layer layer);
// The menu text of a command (fixed-code, "Standard" or dialog command); empty
// for an unknown id.
std::u16string_view MenuCommandText(std::uint16_t id);

}  // namespace vyre
