#include "common/flexlayer_keys.h"

#include "common/key_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace vyre {
namespace {

int CountKeys(const FlexlayerKeyList& list) {
    int n = 0;
    for (std::uint8_t key : list) n += key != kNoKey;
    return n;
}

TEST(FlexlayerKeys, LayoutZeroPositions) {
    const FlexlayerKeyList& list = FlexlayerKeys(0);
    struct Row {
        int position;
        const char16_t* name;
    };
    const Row rows[] = {
        {0, u"~"},           {2, u"2"},       {5, u"5"},       {6, u"6"},
        {14, u"back space"}, {28, u"K29"},    {39, u"\"'"},    {41, u"Enter"},
        {42, u"Shift_L"},    {61, u"Space"},  {65, u"Alt_R "}, {67, u"Ctrl_R"},
        {74, u"Up"},         {77, u"RIGHT"},  {78, u"Num"},    {88, u"6(pad)"},
        {93, u"Enter(pad)"}, {95, u".(pad)"},
    };
    for (const Row& row : rows) {
        ASSERT_NE(list[row.position], kNoKey) << row.position;
        EXPECT_EQ(KeyTableName(list[row.position]), std::u16string_view(row.name)) << row.position;
    }
    for (int position : {13, 40, 43, 54, 59, 60, 62, 63, 64, 89})
        EXPECT_EQ(list[position], kNoKey) << position;
    EXPECT_EQ(CountKeys(list), 86);
}

TEST(FlexlayerKeys, OtherLayoutsDifferOnlyWhereListed) {
    const FlexlayerKeyList& base = FlexlayerKeys(0);
    struct Variant {
        int code;
        std::set<int> changed;
    };
    std::set<int> keypad;
    for (int p = 78; p <= 95; ++p) keypad.insert(p);
    auto with = [](std::set<int> a, std::initializer_list<int> b) {
        a.insert(b);
        return a;
    };
    const Variant variants[] = {
        {12, with(keypad, {13, 28, 40, 54, 59, 60, 63, 64})},
        {13, with(keypad, {40, 59, 60, 62, 64})},
        {7, with(keypad, {28, 40, 43})},
    };
    for (const Variant& v : variants) {
        const FlexlayerKeyList& list = FlexlayerKeys(v.code);
        for (int p = 0; p < kFlexlayerPositions; ++p) {
            if (!v.changed.count(p)) {
                EXPECT_EQ(list[p], base[p]) << "layout " << v.code << " position " << p;
            }
        }
        for (int p : keypad) EXPECT_EQ(list[p], kNoKey) << "layout " << v.code << " position " << p;
    }
    const FlexlayerKeyList& jp = FlexlayerKeys(12);
    EXPECT_EQ(KeyTableName(jp[13]), u"K14");
    EXPECT_EQ(jp[28], kNoKey);
    EXPECT_EQ(KeyTableName(jp[40]), u"K42");
    EXPECT_EQ(KeyTableName(jp[54]), u"K56");
    EXPECT_EQ(KeyTableName(jp[59]), u"K131");
    EXPECT_EQ(KeyTableName(jp[60]), u"K150");
    EXPECT_EQ(KeyTableName(jp[63]), u"K132");
    EXPECT_EQ(KeyTableName(jp[64]), u"K133");
    const FlexlayerKeyList& kr = FlexlayerKeys(13);
    EXPECT_EQ(KeyTableName(kr[40]), u"K42");
    EXPECT_EQ(KeyTableName(kr[59]), u"K131");
    EXPECT_EQ(KeyTableName(kr[60]), u"K150");
    EXPECT_EQ(KeyTableName(kr[62]), u"K151");
    EXPECT_EQ(KeyTableName(kr[64]), u"K151");
    EXPECT_EQ(KeyTableName(kr[28]), u"K29");
    const FlexlayerKeyList& other = FlexlayerKeys(255);
    EXPECT_EQ(other[28], kNoKey);
    EXPECT_EQ(KeyTableName(other[40]), u"K42");
    EXPECT_EQ(KeyTableName(other[43]), u"K45");
    // Unknown codes all share the fourth variant.
    EXPECT_EQ(&FlexlayerKeys(1), &FlexlayerKeys(255));
    EXPECT_EQ(&FlexlayerKeys(-3), &FlexlayerKeys(255));
}

TEST(FlexlayerKeys, ListsHoldOnlyNormalKeysOnce) {
    for (int code : {0, 12, 13, 99}) {
        std::set<int> seen;
        for (int p = 0; p < kFlexlayerPositions; ++p) {
            const int key = FlexlayerKeys(code)[p];
            if (key == kNoKey) continue;
            ASSERT_LT(key, kKeyTableRows) << "layout " << code;
            EXPECT_EQ(KeyGroupOf(key), KeyGroup::Normal) << key;
            EXPECT_FALSE(IsMacroKey(key)) << key;
            // Layout 13 lists "K151" twice; every other key stands once.
            if (!(code == 13 && key == 102)) {
                EXPECT_TRUE(seen.insert(key).second) << "layout " << code << " key " << key;
            }
        }
    }
}

TEST(FlexlayerKeys, PositionOfKey) {
    EXPECT_EQ(FlexlayerPosition(12, 0), 0);
    EXPECT_EQ(FlexlayerPosition(107, 0), 95);
    EXPECT_EQ(FlexlayerPosition(102, 13), 62);  // first of its two positions
    EXPECT_EQ(FlexlayerPosition(32, 12), 13);
    EXPECT_FALSE(FlexlayerPosition(32, 0).has_value());    // no K14 on layout 0
    EXPECT_FALSE(FlexlayerPosition(107, 12).has_value());  // no keypad
    EXPECT_FALSE(FlexlayerPosition(1, 0).has_value());     // ESC has no position
    EXPECT_FALSE(FlexlayerPosition(2, 0).has_value());     // function key
    EXPECT_FALSE(FlexlayerPosition(kNoKey, 0).has_value());
    EXPECT_FALSE(FlexlayerPosition(-1, 0).has_value());
}

}  // namespace
}  // namespace vyre
