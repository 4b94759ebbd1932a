#include "common/scan_codes.h"

#include "common/key_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace vyre {
namespace {

TEST(ScanCodes, TableRows) {
    ASSERT_EQ(ScanCodeTable().size(), 122u);
    struct Row {
        int row;
        std::uint8_t usage, scan, flags;
    };
    const Row rows[] = {
        {0, 0x35, 0x29, 0},      {1, 0x94, 0x76, 0},      {14, 0x89, 0x7D, 0},
        {57, 0xE5, 0x36, 1},     {59, 0xE6, 0x38, 0x21},  {61, 0xE6, 0x38, 1},
        {68, 0x52, 0x48, 1},     {89, 0x58, 0x1C, 1},     {105, 0x48, 0x45, 0},
        {110, 0x91, 0xF1, 0},    {118, 0xE2, 0x38, 0x20}, {119, 0xE2, 0x38, 0},
        {120, 0xE0, 0x1D, 0x20}, {121, 0xE3, 0x5B, 1},
    };
    for (const Row& r : rows) {
        const ScanCodeRow& row = ScanCodeTable()[r.row];
        EXPECT_EQ(row.usage, r.usage) << "row " << r.row;
        EXPECT_EQ(row.scanCode, r.scan) << "row " << r.row;
        EXPECT_EQ(row.flags, r.flags) << "row " << r.row;
    }
}

TEST(ScanCodes, UsageToScanCodeTakesFirstRow) {
    EXPECT_EQ(ScanCodeOfUsage(0xE6), (ScanCode{0x38, 0x21}));
    EXPECT_EQ(ScanCodeOfUsage(0xE2), (ScanCode{0x38, 0x20}));
    EXPECT_EQ(ScanCodeOfUsage(0xE0), (ScanCode{0x1D, 0x00}));
    EXPECT_EQ(ScanCodeOfUsage(0xE3), (ScanCode{0x5B, 0x01}));  // only in row 121
    EXPECT_EQ(ScanCodeOfUsage(0x50), (ScanCode{0x4B, 0x01}));  // Left arrow
    EXPECT_FALSE(ScanCodeOfUsage(0xE7).has_value());           // right Windows key
    EXPECT_FALSE(ScanCodeOfUsage(0x85).has_value());           // keypad comma
    EXPECT_FALSE(ScanCodeOfUsage(0).has_value());
}

TEST(ScanCodes, HookedKeyToUsage) {
    EXPECT_EQ(UsageOfHookedKey(0x38, 0x20), 0xE2);  // Left Alt while Alt is held
    EXPECT_EQ(UsageOfHookedKey(0x38, 0x00), 0xE2);
    EXPECT_EQ(UsageOfHookedKey(0x38, 0x21), 0xE6);
    EXPECT_EQ(UsageOfHookedKey(0x1E, 0x00), 0x04);
    EXPECT_EQ(UsageOfHookedKey(0x2B, 0x00), 0x31);
    EXPECT_FALSE(UsageOfHookedKey(0x5C, 0x01).has_value());  // right Windows key
    EXPECT_FALSE(UsageOfHookedKey(0x5C, 0x21).has_value());
    // Rows 120 and 121 are matched after the first 120: Left Ctrl with Alt
    // held, and Left Windows, which has no other row.
    EXPECT_EQ(UsageOfHookedKey(0x1D, 0x20), 0xE0);
    EXPECT_EQ(UsageOfHookedKey(0x5B, 0x01), 0xE3);
    // Any other key pressed while Alt is held is still itself; the up bit of a
    // released key does not matter.
    EXPECT_EQ(UsageOfHookedKey(0x1E, 0x20), 0x04);
    EXPECT_EQ(UsageOfHookedKey(0x48, 0x21), 0x52);
    EXPECT_EQ(UsageOfHookedKey(0x1E, 0x80), 0x04);
    EXPECT_EQ(UsageOfHookedKey(0x38, 0x81), 0xE6);
    // The flag byte must match too: the extended and the plain make code are
    // different keys.
    EXPECT_EQ(UsageOfHookedKey(0x1D, 0x01), 0xE4);
    EXPECT_EQ(UsageOfHookedKey(0x52, 0x00), 0x62);  // 0(pad)
    EXPECT_EQ(UsageOfHookedKey(0x52, 0x01), 0x49);  // Insert
}

TEST(ScanCodes, EveryKeyCapturedFromTheHookGivesItsOwnUsage) {
    // Each key of the key table with a hookable row comes back as itself; only
    // the ISO key left of Enter shares its scan code with the backslash key.
    for (const KeyTableRow& key : KeyTable()) {
        const auto code = ScanCodeOfUsage(key.usage);
        if (!code) continue;
        const auto usage = UsageOfHookedKey(code->scanCode, code->flags);
        ASSERT_TRUE(usage.has_value()) << std::hex << key.usage;
        if (key.usage == 0x32) {
            EXPECT_EQ(*usage, 0x31);
        } else {
            EXPECT_EQ(*usage, key.usage) << std::hex << key.usage;
        }
    }
    EXPECT_EQ(UsageOfHookedKey(0x48, 0x01), 0x52);  // Up
    EXPECT_EQ(UsageOfHookedKey(0x4B, 0x01), 0x50);  // Left
}

TEST(ScanCodes, KeyNameParamKeepsTheLowFlagBits) {
    EXPECT_EQ(KeyNameParam({0x1E, 0x00}), 0x001E0001u);
    EXPECT_EQ(KeyNameParam({0x38, 0x21}), 0x01380001u);
    EXPECT_EQ(KeyNameParam({0x38, 0x20}), 0x00380001u);
    EXPECT_EQ(KeyNameParam({0xF2, 0xFF}), 0x0FF20001u);  // bits 4..7 are dropped
}

class FakeKeyNames : public KeyNameProvider {
  public:
    std::map<std::uint32_t, std::u16string> names;
    mutable std::vector<std::uint32_t> asked;

    std::u16string KeyNameText(std::uint32_t param) const override {
        asked.push_back(param);
        const auto it = names.find(param);
        return it == names.end() ? std::u16string() : it->second;
    }
};

TEST(LocalisedKeyName, SystemNameFirst) {
    FakeKeyNames system;
    system.names[0x00100001] = u"A-localised";  // scan 0x10: the "Q" position
    EXPECT_EQ(LocalisedKeyName(0x14, &system), u"A-localised");
    ASSERT_EQ(system.asked.size(), 1u);
    EXPECT_EQ(system.asked[0], 0x00100001u);
}

TEST(LocalisedKeyName, Fallbacks) {
    FakeKeyNames system;                                         // knows no names
    EXPECT_EQ(LocalisedKeyName(0xE5, &system), u"Right Shift");  // scan 0x36
    EXPECT_EQ(LocalisedKeyName(0xE5, nullptr), u"Right Shift");
    EXPECT_EQ(LocalisedKeyName(0x14, &system), u"Q");
    EXPECT_EQ(LocalisedKeyName(0xE6, &system), u"Alt_R ");
    // No scan code: the system is not asked; the key table still names it.
    system.asked.clear();
    EXPECT_EQ(LocalisedKeyName(0xE7, &system), u"WIN_R");
    EXPECT_EQ(LocalisedKeyName(0x85, &system), u"K107");
    EXPECT_TRUE(system.asked.empty());
    // Neither a system name nor a key table row: the name of code 0.
    EXPECT_EQ(LocalisedKeyName(0x67, &system), u"Disabled");  // keypad "=": scan row, no key
    EXPECT_EQ(LocalisedKeyName(0x00, &system), u"Disabled");
    EXPECT_EQ(LocalisedKeyName(0xFF, nullptr), u"Disabled");
}

}  // namespace
}  // namespace vyre
