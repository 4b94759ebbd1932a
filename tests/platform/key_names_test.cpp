#include "platform/key_names.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/scan_codes.h"

namespace vyre::platform {
namespace {

// The name the provider gives the key that sends a usage.
std::u16string NameOf(const KeyNameProvider& names, std::uint16_t usage) {
    const auto code = ScanCodeOfUsage(usage);
    return code ? names.KeyNameText(KeyNameParam(*code)) : std::u16string();
}

TEST(KeyNames, UsLayout) {
    const auto us = XkbKeyNames::ForLayout("us");
    ASSERT_NE(us, nullptr);
    EXPECT_EQ(NameOf(*us, 0x1C), u"Y");
    EXPECT_EQ(NameOf(*us, 0x1D), u"Z");
    EXPECT_EQ(NameOf(*us, 0x04), u"A");
    EXPECT_EQ(NameOf(*us, 0x34), u"'");
    EXPECT_EQ(NameOf(*us, 0x2F), u"[");
    EXPECT_EQ(NameOf(*us, 0x28), u"Enter");
    EXPECT_EQ(NameOf(*us, 0x3E), u"F5");
    EXPECT_EQ(NameOf(*us, 0x45), u"F12");
    EXPECT_EQ(NameOf(*us, 0x2C), u"Space");
    EXPECT_EQ(NameOf(*us, 0xE1), u"Shift");
    EXPECT_EQ(NameOf(*us, 0xE5), u"Right Shift");  // extended in the hook's table
    EXPECT_EQ(NameOf(*us, 0xE4), u"Right Ctrl");
    EXPECT_EQ(NameOf(*us, 0x52), u"Up");
    EXPECT_EQ(NameOf(*us, 0x5F), u"Num 7");
    EXPECT_EQ(NameOf(*us, 0x55), u"Num *");
    EXPECT_EQ(NameOf(*us, 0x58), u"Num Enter");
    EXPECT_EQ(NameOf(*us, 0x53), u"Num Lock");
    EXPECT_EQ(NameOf(*us, 0x48), u"Pause");
    EXPECT_EQ(NameOf(*us, 0xE3), u"Win");
    // A scan code no key has, and a key the layout leaves empty.
    EXPECT_EQ(us->KeyNameText(KeyNameParam(ScanCode{0x7F, 0})), u"");
    EXPECT_EQ(us->NameOfEvdev(0), u"");
}

TEST(KeyNames, GermanLayout) {
    const auto de = XkbKeyNames::ForLayout("de");
    ASSERT_NE(de, nullptr);
    EXPECT_EQ(NameOf(*de, 0x1C), u"Z");  // the Y position
    EXPECT_EQ(NameOf(*de, 0x1D), u"Y");
    EXPECT_EQ(NameOf(*de, 0x34), u"\u00C4");  // Ä
    EXPECT_EQ(NameOf(*de, 0x33), u"\u00D6");  // Ö
    EXPECT_EQ(NameOf(*de, 0x2F), u"\u00DC");  // Ü
    EXPECT_EQ(NameOf(*de, 0x2D), u"\u00DF");  // ß stays as it is
    EXPECT_EQ(NameOf(*de, 0x35), u"^");       // a dead key shows its accent
    EXPECT_EQ(NameOf(*de, 0x28), u"Enter");
    EXPECT_EQ(NameOf(*de, 0x3E), u"F5");
    EXPECT_EQ(NameOf(*de, 0xE6), u"AltGr");
    // The page's localised name takes the layout's name first.
    EXPECT_EQ(LocalisedKeyName(0x1C, de.get()), u"Z");
}

TEST(KeyNames, WithoutDesktopTheEnvironmentNamesTheLayout) {
    ::setenv("XKB_DEFAULT_LAYOUT", "de", 1);
    const auto fromEnv = XkbKeyNames::ForDesktop();
    ::unsetenv("XKB_DEFAULT_LAYOUT");
    ASSERT_NE(fromEnv, nullptr);
    EXPECT_EQ(NameOf(*fromEnv, 0x1C), u"Z");
    const auto plain = XkbKeyNames::ForDesktop();
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(NameOf(*plain, 0x1C), u"Y");
}

}  // namespace
}  // namespace vyre::platform
