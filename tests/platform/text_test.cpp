#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "tests/platform/temp_dir.h"

namespace vyre::text {
namespace {

const std::u16string kTimerName = u"計時器一";  // Big5: AD 70 AE C9 BE B9 A4 40
const std::string kTimerBig5 = "\xAD\x70\xAE\xC9\xBE\xB9\xA4\x40";

TEST(CodePage, Big5RoundTripsChineseText) {
    EXPECT_EQ(WideToMultiByte(kCodePageBig5, kTimerName), kTimerBig5);
    EXPECT_EQ(MultiByteToWide(kCodePageBig5, kTimerBig5), kTimerName);
    std::u16string mixed = u"Tea 茶 timer 5";
    EXPECT_EQ(MultiByteToWide(kCodePageBig5, WideToMultiByte(kCodePageBig5, mixed)), mixed);
}

TEST(CodePage, UnrepresentableAndInvalidInput) {
    // ö is not in Big5: replaced, the rest kept.
    EXPECT_EQ(WideToMultiByte(kCodePageBig5, u"Gr\u00f6\u00dfe"), "Gr??e");
    // An unpaired surrogate is not a character in any page.
    EXPECT_EQ(WideToMultiByte(kCodePageBig5, std::u16string(u"a\xD800"
                                                            u"b")),
              "a?b");
    EXPECT_EQ(WideToMultiByte(kCodePageSystem, std::u16string(u"a\xDC00"
                                                              u"b")),
              "a?b");
    // A lead byte without its trail byte, and a byte that starts nothing.
    EXPECT_EQ(MultiByteToWide(kCodePageBig5, "A\xAD"), u"A\uFFFD");
    EXPECT_EQ(MultiByteToWide(kCodePageBig5,
                              "\xFF"
                              "B"),
              u"\uFFFDB");
    // Records are zero padded: conversion stops at the first zero.
    EXPECT_EQ(MultiByteToWide(kCodePageBig5, std::string("ab\0cd", 5)), u"ab");
}

TEST(CodePage, SystemPageIsUtf8AndKeepsEveryCharacter) {
    std::u16string name = u"Größe 計時器 \U0001F600";
    std::string bytes = WideToMultiByte(kCodePageSystem, name);
    EXPECT_EQ(bytes,
              "Gr\xC3\xB6\xC3\x9F"
              "e \xE8\xA8\x88\xE6\x99\x82\xE5\x99\xA8 \xF0\x9F\x98\x80");
    EXPECT_EQ(MultiByteToWide(kCodePageSystem, bytes), name);
    EXPECT_EQ(MultiByteToWide(kCodePageUtf8, bytes), name);
}

TEST(CodePage, FieldIsCutAtACharacterBoundary) {
    // 24-byte timer name field: 11 Big5 characters fit with the terminator.
    std::u16string longName;
    for (int i = 0; i < 15; ++i) longName += u"計";
    unsigned char field[24];
    std::memset(field, 0xCC, sizeof field);
    EXPECT_EQ(WideToMultiByteField(kCodePageBig5, longName, field, sizeof field), 22u);
    EXPECT_EQ(field[22], 0);
    EXPECT_EQ(field[23], 0);
    EXPECT_EQ(MultiByteToWide(kCodePageBig5, FieldText(field, sizeof field)),
              longName.substr(0, 11));

    // A trail byte that looks like ASCII ('p', '@') must not be kept alone.
    char small[4];
    EXPECT_EQ(WideToMultiByteField(kCodePageBig5, kTimerName, small, sizeof small), 2u);
    EXPECT_EQ(std::string(small, 3), std::string("\xAD\x70\0", 3));

    // UTF-8: a three-byte character that does not fit is left out entirely.
    char utf8[6];
    EXPECT_EQ(WideToMultiByteField(kCodePageSystem, u"ab計時", utf8, 5), 2u);
    EXPECT_EQ(std::string(utf8, 5), std::string("ab\0\0\0", 5));
    EXPECT_EQ(WideToMultiByteField(kCodePageSystem, u"ab計時", utf8, sizeof utf8), 5u);
    EXPECT_EQ(std::string(utf8, 6), std::string("ab\xE8\xA8\x88\0", 6));
    EXPECT_EQ(WideToMultiByteField(kCodePageSystem, u"x", utf8, 0), 0u);

    // Text that was converted already.
    EXPECT_EQ(FitMultiByte(kCodePageBig5, kTimerBig5, 4), 2u);
    EXPECT_EQ(FitMultiByte(kCodePageBig5, kTimerBig5, 9), 8u);
    EXPECT_EQ(FitMultiByte(kCodePageSystem, "ab\xE8\xA8\x88", 5), 2u);
    EXPECT_EQ(FitMultiByte(kCodePageSystem, "abc", 1), 0u);
}

TEST(CodePage, FieldTextStopsAtZeroOrFieldEnd) {
    const char full[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(FieldText(full, 4), "abcd");
    const char padded[4] = {'a', 0, 'c', 0};
    EXPECT_EQ(FieldText(padded, 4), "a");
}

TEST(Utf, InvalidUtf8BecomesReplacement) {
    EXPECT_EQ(Utf8ToUtf16("a\xC0\xAF"
                          "b"),
              u"a\uFFFD\uFFFDb");                                   // overlong '/'
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xE8\xA8"), u"\uFFFD\uFFFD");            // cut short
    EXPECT_EQ(Utf16ToUtf8(std::u16string(u"x\0y", 3)), std::string("x\0y", 3));
}

TEST(CaseFolding, ComparesLettersOfSeveralScripts) {
    EXPECT_TRUE(EqualNoCase(u"Vyre Lumo Monitor Application", u"VYRE LUMO MONITOR APPLICATION"));
    EXPECT_TRUE(EqualNoCase(u"ÄÖÜ", u"äöü"));
    EXPECT_TRUE(EqualNoCase(u"ĄŁŹ", u"ąłź"));
    EXPECT_TRUE(EqualNoCase(u"ПРОФИЛЬ Ё", u"профиль ё"));
    EXPECT_TRUE(EqualNoCase(u"ΩΜΕΓΑ", u"ωμεγα"));
    EXPECT_FALSE(EqualNoCase(u"Timer", u"Timers"));
    EXPECT_FALSE(EqualNoCase(u"×", u"÷"));
    EXPECT_EQ(FoldCaseUtf8("SetMacro ÄBC 計"), "setmacro äbc 計");
    EXPECT_TRUE(EqualNoCaseUtf8("SETMACRO", "SetMacro"));
}

TEST(TextFile, HelpFileLinesInEveryEncoding) {
    vyre::testing::TempDir dir;
    auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    };
    // UTF-16 LE with mark, CRLF line ends, an empty line and no final line end.
    std::string le = "\xFF\xFE";
    for (char16_t c : std::u16string(u"Hilfe\r\n\r\n計時器")) {
        le += static_cast<char>(c & 0xFF);
        le += static_cast<char>(c >> 8);
    }
    auto lines = ReadTextFileLines(write("le.txt", le));
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::u16string>{u"Hilfe", u"", u"計時器"}));

    std::string be = "\xFE\xFF";
    for (char16_t c : std::u16string(u"A\nB\n")) {
        be += static_cast<char>(c >> 8);
        be += static_cast<char>(c & 0xFF);
    }
    lines = ReadTextFileLines(write("be.txt", be));
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::u16string>{u"A", u"B"}));

    lines = ReadTextFileLines(write("utf8.txt", "\xEF\xBB\xBFOne\nZwei \xC3\xBC\n"));
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::u16string>{u"One", u"Zwei ü"}));

    // UTF-16 LE without a mark is still recognised.
    lines = ReadTextFileLines(write("nobom.txt", std::string("H\0i\0\n\0\xFF\0", 8)));
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (std::vector<std::u16string>{u"Hi", u"\u00FF"}));

    EXPECT_FALSE(ReadTextFileLines(dir / "missing.txt"));
    EXPECT_FALSE(ReadTextFileLines(dir.path()));
}

}  // namespace
}  // namespace vyre::text
