#include "common/key_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vyre {
namespace {

TEST(KeyTable, RowsCarryUsageAndName) {
    ASSERT_EQ(KeyTable().size(), 120u);
    struct Row {
        int index;
        std::uint16_t usage;
        const char16_t* name;
    };
    const Row rows[] = {
        {0, 0xAA, u"M1"},           {1, 0x29, u"ESC"},        {9, 0x46, u"Prtscn"},
        {21, 0x47, u"Scroll Lock"}, {24, 0xAB, u"M2"},        {31, 0x2F, u"{ ["},
        {33, 0x48, u"Pause"},       {43, 0x30, u"}]"},        {44, 0x2A, u"back space"},
        {55, 0x34, u"\"'"},         {60, 0x39, u"Caps lock"}, {71, 0x85, u"K107"},
        {95, 0x58, u"Enter(pad)"},  {96, 0xAE, u"M5"},        {105, 0x4E, u"PGDn"},
        {114, 0xE6, u"Alt_R "},     {115, 0xF1, u"Fn"},       {118, 0x4F, u"RIGHT"},
        {119, 0xE7, u"WIN_R"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(KeyUsage(row.index), row.usage) << "row " << row.index;
        EXPECT_EQ(KeyTableName(row.index), std::u16string_view(row.name)) << "row " << row.index;
    }
}

TEST(KeyTable, NamesAreZeroTerminatedAndUsagesUnique) {
    std::set<std::uint16_t> usages;
    for (const KeyTableRow& row : KeyTable()) {
        EXPECT_EQ(row.name[kKeyNameUnits - 1], u'\0');
        EXPECT_NE(row.name[0], u'\0');
        EXPECT_NE(row.usage, 0);
        usages.insert(row.usage);
    }
    // Unique usages make usage -> key index lookups unambiguous (ripple start
    // cells, light macro steps).
    EXPECT_EQ(usages.size(), 120u);
}

TEST(KeyTable, UsageNameFindsRowOrGivesEmpty) {
    EXPECT_EQ(UsageName(0x04), u"A");
    EXPECT_EQ(UsageName(0xE5), u"Shift_R");
    EXPECT_EQ(UsageName(0x00), u"");
    EXPECT_EQ(UsageName(0x68), u"");  // F13: no key on this keyboard
    EXPECT_EQ(KeyIndexOfUsage(0xAA), 0);
    EXPECT_EQ(KeyIndexOfUsage(0xE7), 119);
    EXPECT_FALSE(KeyIndexOfUsage(0x68).has_value());
}

TEST(KeyTable, KeysAreFoundByTheirNames) {
    EXPECT_EQ(KeyIndexOfName("E"), 38);
    EXPECT_EQ(KeyIndexOfName("e"), 38);
    EXPECT_EQ(KeyIndexOfName("BACKSPACE"), 44);
    EXPECT_EQ(KeyIndexOfName("shift l"), 84);
    EXPECT_EQ(KeyIndexOfName("Alt_R"), 114);  // its row ends with a blank
    EXPECT_EQ(KeyIndexOfName("1(pad)"), KeyIndexOfName("1(PAD)"));
    EXPECT_EQ(KeyIndexOfName("Thumb2"), kThumbKey2);
    EXPECT_FALSE(KeyIndexOfName("Thumb4"));
    EXPECT_FALSE(KeyIndexOfName("nokey"));
    EXPECT_FALSE(KeyIndexOfName(" _"));
    EXPECT_FALSE(KeyIndexOfName("\xc3\xa9"));
}

TEST(KeyTable, ThumbKeysAndOutOfRangeHaveNoRow) {
    for (int key : {120, 121, 122, -1, 123, 255}) {
        EXPECT_EQ(KeyUsage(key), 0) << key;
        EXPECT_TRUE(KeyTableName(key).empty()) << key;
    }
}

TEST(KeyGroups, FunctionThumbAndNormalKeys) {
    const std::set<int> functionKeys = {2, 3, 4, 5, 6, 7, 8, 9, 14, 15, 16, 17, 20, 21, 33};
    for (int key = 0; key < kKeyCount; ++key) {
        const KeyGroup expected = functionKeys.count(key) ? KeyGroup::Function
                                  : key >= 120            ? KeyGroup::Thumb
                                                          : KeyGroup::Normal;
        EXPECT_EQ(KeyGroupOf(key), expected) << key;
    }
    EXPECT_EQ(static_cast<int>(KeyGroup::Normal), 1);
    EXPECT_EQ(static_cast<int>(KeyGroup::Function), 2);
    EXPECT_EQ(static_cast<int>(KeyGroup::Thumb), 3);
    // The macro keys belong to the normal group.
    EXPECT_EQ(KeyGroupOf(48), KeyGroup::Normal);
    EXPECT_TRUE(IsMacroKey(48));
}

TEST(KeyGroups, RecordOrderOfFunctionAndThumbKeys) {
    // F1, F2, ..., F12, Prtscn, Scroll Lock, Pause by name.
    const char16_t* names[] = {u"F1",  u"F2",  u"F3",     u"F4",          u"F5",
                               u"F6",  u"F7",  u"F8",     u"F9",          u"F10",
                               u"F11", u"F12", u"Prtscn", u"Scroll Lock", u"Pause"};
    for (int position = 0; position < 15; ++position) {
        EXPECT_EQ(KeyTableName(kFunctionKeyOrder[position]), std::u16string_view(names[position]));
        EXPECT_EQ(FunctionKeyPosition(kFunctionKeyOrder[position]), position);
    }
    EXPECT_EQ(ThumbKeyPosition(122), 2);
    EXPECT_EQ(MacroKeyPosition(72), 3);
    EXPECT_EQ(KeyTableName(kMacroKeys[4]), u"M5");
    EXPECT_FALSE(FunctionKeyPosition(1).has_value());
    EXPECT_FALSE(ThumbKeyPosition(119).has_value());
    EXPECT_FALSE(MacroKeyPosition(1).has_value());
}

}  // namespace
}  // namespace vyre
