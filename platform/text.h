#pragma once
// Text conversions: UTF-16 (the wide text of names, paths and registry
// strings) to and from multibyte text in a code page, UTF-8 helpers, fixed
// multibyte fields and UTF-16 text files.
//
// The system's multibyte code page (kCodePageSystem, what Windows calls the
// ANSI page) is UTF-8 in both programs, whatever the locale a program runs
// with. It is fixed rather than taken from the locale so that a name the
// Config writes into a record reads back unchanged in the Monitor, even when
// the two programs are started with different environments, and so that every
// character a user can type survives. Code page 950 (Big5, through iconv's
// "CP950") is available for the places that name it.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vyre::text {

constexpr unsigned kCodePageSystem = 0;  // CP_ACP: resolved to UTF-8
constexpr unsigned kCodePageBig5 = 950;
constexpr unsigned kCodePageUtf8 = 65001;

// Multibyte text in `codePage` to UTF-16. Conversion stops at the first zero
// byte (records hold zero-terminated or zero-padded text). Byte sequences that
// are not valid in the page become U+FFFD, one per offending byte.
std::u16string MultiByteToWide(unsigned codePage, std::string_view bytes);

// UTF-16 to multibyte text in `codePage`. Characters the page cannot represent
// and unpaired surrogates become '?', as WideCharToMultiByte's default
// character does. Conversion stops at the first zero character.
std::string WideToMultiByte(unsigned codePage, std::u16string_view text);

// Converts `text` into a fixed field of `fieldSize` bytes: as many whole
// characters as fit in fieldSize - 1 bytes, then zero bytes up to the end of
// the field (the field is always terminated). Returns the number of text
// bytes written (without the terminator). A field of size 0 is left alone.
std::size_t WideToMultiByteField(unsigned codePage, std::u16string_view text, void* field,
                                 std::size_t fieldSize);

// Cuts already converted multibyte text so that it fits `fieldSize` bytes with
// its terminator, never inside a character. Returns the kept length.
std::size_t FitMultiByte(unsigned codePage, std::string_view bytes, std::size_t fieldSize);

// The text of a zero-terminated or zero-padded field of `size` bytes.
std::string FieldText(const void* field, std::size_t size);

// Lossless between valid UTF-8 and valid UTF-16; invalid input becomes U+FFFD
// (UTF-8 to UTF-16) or "\xEF\xBF\xBD" (unpaired surrogates to UTF-8).
// Unlike the code page conversions these keep zero characters.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Case folding for names compared without regard to case (profile sections
// and keys, registry value names, window titles): ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic letters fold to lower case; other characters
// are kept.
char32_t FoldCase(char32_t c);
std::u16string FoldCase(std::u16string_view text);
std::string FoldCaseUtf8(std::string_view text);
bool EqualNoCase(std::u16string_view a, std::u16string_view b);
bool EqualNoCaseUtf8(std::string_view a, std::string_view b);

// Decodes a text file's bytes: UTF-16 little or big endian when it starts with
// the matching byte-order mark, UTF-8 (byte-order mark skipped) otherwise.
// Without a mark, text that is not valid UTF-8 but has zero bytes in odd
// positions is read as UTF-16 little endian.
std::u16string DecodeTextFile(std::string_view bytes);

// Splits text into lines at "\n", "\r\n" or "\r"; line ends are not kept. A
// final line end does not start another line.
std::vector<std::u16string> SplitLines(std::u16string_view text);

// Reads a help text file (UTF-16 with byte-order mark, or UTF-8) as lines.
// std::nullopt when the file cannot be read.
std::optional<std::vector<std::u16string>> ReadTextFileLines(const std::filesystem::path& path);

}  // namespace vyre::text
