#include "common/key_functions.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vyre {
namespace {

TEST(FunctionNames, TableRows) {
    ASSERT_EQ(FunctionNameTable().size(), 66u);
    struct Row {
        int row;
        std::uint16_t code;
        const char16_t* name;
    };
    const Row rows[] = {
        {0, 0, u"Disabled"},
        {3, 184, u"Disabled"},
        {5, 255, u"Flexlayer[+] Vyre Lumo"},
        {6, 140, u"Flexlayer[+] all devices"},
        {17, 209, u"Windows Volume Down"},
        {37, 221, u"Open Driver"},
        {38, 58, u"F1"},
        {51, 71, u"ScrLk"},
        {53, 211, u"Shift + 1"},
        {62, 220, u"Ctrl + 5"},
        {63, 57, u"Caps Lock"},
        {65, 163, u"Backlight"},
    };
    for (const Row& r : rows) {
        const FunctionNameRow& row = FunctionNameTable()[r.row];
        EXPECT_EQ(row.code, r.code) << "row " << r.row;
        EXPECT_EQ(std::u16string_view(row.name), std::u16string_view(r.name)) << "row " << r.row;
        EXPECT_EQ(row.name[kFunctionNameUnits - 1], u'\0');
    }
}

TEST(FunctionNames, LookupTakesFirstRowAndMissesUnlistedCodes) {
    EXPECT_EQ(FunctionName(176), u"Profile Up");
    EXPECT_EQ(FunctionName(fncode::kMlr), u"MLR");
    EXPECT_EQ(FunctionName(fncode::kShortcut), u"Disabled");
    // Codes whose text comes from the item that chose them, and plain usages
    // other than the function keys and Caps Lock, have no row.
    for (std::uint16_t code : {188, 190, 191, 222, 245, 246, 251, 0x04, 0x29, 300}) {
        EXPECT_FALSE(FunctionName(code).has_value()) << code;
    }
    // Every code has one row; the two "Disabled" rows have different codes.
    std::set<std::uint16_t> codes;
    for (const FunctionNameRow& row : FunctionNameTable()) codes.insert(row.code);
    EXPECT_EQ(codes.size(), 66u);
}

TEST(ShortcutText, ModifierWordsInFixedOrderThenKeyName) {
    EXPECT_EQ(ShortcutText(0x0F, 0x04), u"Shift + Alt + Win + Ctrl + A");
    EXPECT_EQ(ShortcutText(shortcut_mod::kCtrl | shortcut_mod::kShift, 0x3A), u"Shift + Ctrl + F1");
    EXPECT_EQ(ShortcutText(shortcut_mod::kWin, 0x57), u"Win + +(pad)");
    EXPECT_EQ(ShortcutText(0, 0x2C), u"Space");
    // Bits above the four modifiers are ignored.
    EXPECT_EQ(ShortcutText(0xF4, 0x1D), u"Alt + Z");
}

TEST(ShortcutText, WithoutKeyIsCutAtLastPlus) {
    EXPECT_EQ(ShortcutText(shortcut_mod::kShift | shortcut_mod::kCtrl, 0), u"Shift + Ctrl ");
    EXPECT_EQ(ShortcutText(shortcut_mod::kAlt, 0x68), u"Alt ");
    EXPECT_EQ(ShortcutText(0x0F, 0), u"Shift + Alt + Win + Ctrl ");
    // Nothing to show: the entry is named by its code.
    EXPECT_EQ(ShortcutText(0, 0), u"");
    EXPECT_EQ(ShortcutDisplayText(0, 0), u"Disabled");
    EXPECT_EQ(ShortcutDisplayText(shortcut_mod::kCtrl, 0x04), u"Ctrl + A");
}

TEST(DefaultFunctions, FunctionKeys) {
    // Key index, default primary, default secondary.
    const int rows[][3] = {
        {2, 58, 210},  {14, 59, 209}, {3, 60, 208},  {15, 61, 193}, {4, 62, 204},
        {16, 63, 207}, {5, 64, 206},  {17, 65, 205}, {6, 66, 194},  {7, 67, 195},
        {8, 68, 163},  {20, 69, 167}, {9, 70, 0},    {21, 71, 0},   {33, 72, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DefaultPrimaryCode(row[0]), row[1]) << "key " << row[0];
        EXPECT_EQ(DefaultSecondaryCode(row[0]), row[2]) << "key " << row[0];
    }
    const auto entries = DefaultFunctionKeyEntries();
    EXPECT_EQ(entries[0], (FunctionEntry{58, 0, 0}));    // F1
    EXPECT_EQ(entries[1], (FunctionEntry{59, 0, 0}));    // F2
    EXPECT_EQ(entries[14], (FunctionEntry{72, 0, 0}));   // Pause
    EXPECT_EQ(entries[15], (FunctionEntry{210, 0, 0}));  // F1 secondary
    EXPECT_EQ(entries[25], (FunctionEntry{163, 0, 0}));  // F11 secondary
    EXPECT_EQ(entries[26], (FunctionEntry{167, 0, 0}));  // F12 secondary
    EXPECT_EQ(entries[29], (FunctionEntry{0, 0, 0}));    // Pause secondary
}

TEST(DefaultFunctions, MacroAndThumbKeys) {
    const int macroKeys[] = {0, 24, 48, 72, 96};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(DefaultPrimaryCode(macroKeys[i]), 211 + i);
        EXPECT_EQ(DefaultSecondaryCode(macroKeys[i]), 216 + i);
        EXPECT_EQ(FunctionName(*DefaultPrimaryCode(macroKeys[i])).value_or(u"").substr(0, 8),
                  u"Shift + ");
    }
    EXPECT_EQ(StandardFunctionCode(120, Layer::Primary), 177);
    EXPECT_EQ(StandardFunctionCode(120, Layer::Secondary), 57);
    EXPECT_EQ(StandardFunctionCode(121, Layer::Primary), 221);
    EXPECT_EQ(StandardFunctionCode(121, Layer::Secondary), 203);
    EXPECT_EQ(StandardFunctionCode(122, Layer::Primary), 176);
    EXPECT_EQ(StandardFunctionCode(122, Layer::Secondary), 192);
    const auto entries = DefaultThumbKeyEntries();
    const std::uint8_t codes[] = {177, 221, 176, 57, 203, 192};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(entries[i], (FunctionEntry{codes[i], 0, 0})) << i;
}

TEST(DefaultFunctions, OtherKeysDefaultToTheirOwnUsage) {
    int listed = 0;
    for (int key = 0; key < kKeyCount; ++key) {
        if (DefaultPrimaryCode(key)) ++listed;
        EXPECT_EQ(DefaultPrimaryCode(key).has_value(), DefaultSecondaryCode(key).has_value())
            << key;
    }
    EXPECT_EQ(listed, 15 + 5 + 3);
    EXPECT_EQ(StandardFunctionCode(12, Layer::Primary), 0x35);  // "~"
    EXPECT_EQ(StandardFunctionCode(12, Layer::Secondary), 0x35);
    EXPECT_EQ(StandardFunctionCode(115, Layer::Secondary), 0xF1);  // "Fn"
    EXPECT_FALSE(DefaultPrimaryCode(60).has_value());              // Caps lock
    EXPECT_EQ(StandardFunctionCode(200, Layer::Primary), 0);
}

TEST(MenuCommands, FixedCodes) {
    ASSERT_EQ(MenuCommandTable().size(), 38u);
    struct Row {
        std::uint16_t id;
        const char16_t* text;
        std::uint8_t code;
    };
    const Row rows[] = {
        {32775, u"Assign a Shortcut", 184},
        {32776, u"Quick launch", 185},
        {32865, u"Disable", 0},
        {32778, u"Flexlayer[+] Vyre Lumo", 255},
        {32803, u"Flexlayer[+] all devices", 140},
        {32866, u"Profile 5", 183},
        {32870, u"Open Player", 203},
        {32872, u"Next Track", 205},
        {32874, u"Stop", 207},
        {32846, u"Wake", 131},
        {32794, u"Open Driver", 221},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(MenuCommandCode(row.id), row.code) << row.id;
        EXPECT_EQ(MenuCommandText(row.id), std::u16string_view(row.text)) << row.id;
    }
    std::set<std::uint16_t> ids;
    for (const MenuCommand& command : MenuCommandTable()) {
        ids.insert(command.id);
        // The menu text of a command that stores a named function is the name
        // of its code ("Disable", "Assign a Shortcut" and "Quick launch" aside).
        const bool ownText = command.code == 0 || command.code == 184 || command.code == 185;
        if (!ownText) {
            EXPECT_EQ(FunctionName(command.code), std::u16string_view(command.text)) << command.id;
        }
    }
    EXPECT_EQ(ids.size(), 38u);
}

TEST(MenuCommands, StandardDialogAndUnknownCommands) {
    EXPECT_FALSE(MenuCommandCode(menu_cmd::kStandard).has_value());
    EXPECT_EQ(MenuCommandText(menu_cmd::kStandard), u"Standard");
    EXPECT_EQ(MenuCommandCodeFor(menu_cmd::kStandard, 2, Layer::Secondary), 210);
    EXPECT_EQ(MenuCommandCodeFor(menu_cmd::kStandard, 37, Layer::Secondary), 0x14);  // "Q"
    EXPECT_EQ(MenuCommandCodeFor(32860, 37, Layer::Secondary), 176);
    for (std::uint16_t id : {32850, 32914, 32856, 32857, 32911, 32912}) {
        EXPECT_FALSE(MenuCommandCode(id).has_value()) << id;
        EXPECT_FALSE(MenuCommandText(id).empty()) << id;
    }
    EXPECT_EQ(MenuCommandText(32850), u"Create New Macro...");
    EXPECT_EQ(MenuCommandText(32912), u"Remap");
    EXPECT_FALSE(MenuCommandCodeFor(12345, 2, Layer::Primary).has_value());
    EXPECT_TRUE(MenuCommandText(12345).empty());
}

}  // namespace
}  // namespace vyre
