#include "platform/text.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include "platform/atomic_file.h"

namespace vyre::text {

static_assert(std::endian::native == std::endian::little,
              "wide text is handed to iconv as UTF-16LE");

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsUtf8Page(unsigned codePage) {
    return codePage == kCodePageSystem || codePage == kCodePageUtf8;
}

std::string IconvName(unsigned codePage) {
    if (codePage == kCodePageBig5) return "CP950";
    return "CP" + std::to_string(codePage);
}

// One converter per thread, page and direction; iconv descriptors are not safe
// to share between threads and are expensive to open for every call.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

    // Converts as much as possible of [in, in+inLeft) into out; returns false
    // with errno set at the first failure, leaving in/inLeft at the offending
    // input.
    bool Run(const char*& in, std::size_t& inLeft, std::string& out) {
        while (inLeft > 0) {
            char buffer[1024];
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            char* src = const_cast<char*>(in);
            std::size_t r = iconv(cd_, &src, &inLeft, &dst, &dstLeft);
            int err = errno;
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            in = src;
            if (r == static_cast<std::size_t>(-1) && err != E2BIG) {
                errno = err;
                return false;
            }
        }
        return true;
    }

  private:
    iconv_t cd_;
};

Converter* GetConverter(unsigned codePage, bool toWide) {
    thread_local std::map<std::pair<unsigned, bool>, std::unique_ptr<Converter>> cache;
    auto& slot = cache[{codePage, toWide}];
    if (!slot) {
        std::string page = IconvName(codePage);
        slot = toWide ? std::make_unique<Converter>("UTF-16LE", page.c_str())
                      : std::make_unique<Converter>(page.c_str(), "UTF-16LE");
    }
    if (!slot->ok()) return nullptr;
    slot->Reset();
    return slot.get();
}

// Decodes one UTF-8 sequence at text[i]; returns false for an invalid one.
bool DecodeUtf8(std::string_view text, std::size_t& i, char32_t& cp) {
    auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    }
    std::size_t len;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        return false;
    }
    if (i + len > text.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
        auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
    return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (cp >> 10));
        out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    }
}

// Decodes the code point at text[i]; an unpaired surrogate yields `bad`.
char32_t NextUtf16(std::u16string_view text, std::size_t& i, char32_t bad) {
    char16_t u = text[i++];
    if (u >= 0xD800 && u <= 0xDBFF) {
        if (i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
            char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i]) - 0xDC00);
            ++i;
            return cp;
        }
        return bad;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) return bad;
    return u;
}

std::u16string_view UpToZero(std::u16string_view text) {
    auto z = text.find(u'\0');
    return z == std::u16string_view::npos ? text : text.substr(0, z);
}

std::string_view UpToZero(std::string_view text) {
    auto z = text.find('\0');
    return z == std::string_view::npos ? text : text.substr(0, z);
}

// One code point in the given page; '?' when it cannot be represented.
std::string EncodeOne(unsigned codePage, char32_t cp) {
    std::string out;
    if (cp == 0xFFFFFFFF) return "?";
    if (IsUtf8Page(codePage)) {
        AppendUtf8(out, cp);
        return out;
    }
    Converter* conv = GetConverter(codePage, false);
    if (conv == nullptr) return cp < 0x80 ? std::string(1, static_cast<char>(cp)) : "?";
    std::u16string unit;
    AppendUtf16(unit, cp);
    const char* in = reinterpret_cast<const char*>(unit.data());
    std::size_t left = unit.size() * 2;
    if (!conv->Run(in, left, out)) return "?";
    return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        if (DecodeUtf8(text, i, cp)) {
            AppendUtf16(out, cp);
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) AppendUtf8(out, NextUtf16(text, i, kReplacement));
    return out;
}

std::u16string MultiByteToWide(unsigned codePage, std::string_view bytes) {
    bytes = UpToZero(bytes);
    if (IsUtf8Page(codePage)) return Utf8ToUtf16(bytes);
    std::u16string result;
    Converter* conv = GetConverter(codePage, true);
    if (conv == nullptr) {
        for (char c : bytes)
            result += static_cast<unsigned char>(c) < 0x80 ? char16_t(c) : kReplacement;
        return result;
    }
    std::string wide;
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (!conv->Run(in, left, wide)) {
        // Invalid or incomplete sequence: one replacement for the offending byte.
        wide.append("\xFD\xFF", 2);
        ++in;
        --left;
        conv->Reset();
    }
    result.resize(wide.size() / 2);
    std::memcpy(result.data(), wide.data(), result.size() * 2);
    return result;
}

std::string WideToMultiByte(unsigned codePage, std::u16string_view text) {
    text = UpToZero(text);
    if (IsUtf8Page(codePage)) {
        std::string out;
        std::size_t i = 0;
        while (i < text.size()) {
            char32_t cp = NextUtf16(text, i, 0xFFFFFFFF);
            if (cp == 0xFFFFFFFF) {
                out += '?';
            } else {
                AppendUtf8(out, cp);
            }
        }
        return out;
    }
    // Replace unpaired surrogates first so that iconv only ever stops at
    // characters the page lacks.
    std::u16string clean;
    clean.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = NextUtf16(text, i, 0xFFFFFFFF);
        if (cp == 0xFFFFFFFF) {
            clean += u'?';
        } else {
            AppendUtf16(clean, cp);
        }
    }
    std::string out;
    Converter* conv = GetConverter(codePage, false);
    if (conv == nullptr) {
        for (char16_t c : clean) out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }
    const char* in = reinterpret_cast<const char*>(clean.data());
    std::size_t left = clean.size() * 2;
    while (!conv->Run(in, left, out)) {
        out += '?';
        auto unit = static_cast<char16_t>(static_cast<unsigned char>(in[0]) |
                                          (static_cast<unsigned char>(in[1]) << 8));
        std::size_t skip = (unit >= 0xD800 && unit <= 0xDBFF && left >= 4) ? 4 : 2;
        if (skip > left) skip = left;
        in += skip;
        left -= skip;
        conv->Reset();
    }
    return out;
}

std::size_t WideToMultiByteField(unsigned codePage, std::u16string_view text, void* field,
                                 std::size_t fieldSize) {
    if (fieldSize == 0) return 0;
    auto* dst = static_cast<char*>(field);
    text = UpToZero(text);
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = NextUtf16(text, i, 0xFFFFFFFF);
        std::string one = EncodeOne(codePage, cp);
        if (used + one.size() > fieldSize - 1) break;
        std::memcpy(dst + used, one.data(), one.size());
        used += one.size();
    }
    std::memset(dst + used, 0, fieldSize - used);
    return used;
}

std::size_t FitMultiByte(unsigned codePage, std::string_view bytes, std::size_t fieldSize) {
    bytes = UpToZero(bytes);
    if (fieldSize == 0) return 0;
    std::size_t limit = fieldSize - 1;
    if (bytes.size() <= limit) return bytes.size();
    std::size_t kept = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t start = i;
        if (IsUtf8Page(codePage)) {
            char32_t cp;
            if (!DecodeUtf8(bytes, i, cp)) i = start + 1;
        } else if (codePage == kCodePageBig5) {
            auto b = static_cast<unsigned char>(bytes[i]);
            i += (b >= 0x81 && b <= 0xFE && i + 1 < bytes.size()) ? 2 : 1;
        } else {
            ++i;
        }
        if (i > limit) break;
        kept = i;
    }
    return kept;
}

std::string FieldText(const void* field, std::size_t size) {
    const auto* p = static_cast<const char*>(field);
    std::size_t n = 0;
    while (n < size && p[n] != '\0') ++n;
    return std::string(p, n);
}

char32_t FoldCase(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (c == 0x178) return 0xFF;
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper) return (c % 2 == 1) ? c + 1 : c;
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c == 0x386) return 0x3AC;
    if (c >= 0x388 && c <= 0x38A) return c + 37;
    if (c == 0x38C) return 0x3CC;
    if (c == 0x38E || c == 0x38F) return c + 63;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

std::u16string FoldCase(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        // Every folded letter is in the basic plane and so are their lower cases;
        // surrogates pass through unchanged.
        out += static_cast<char16_t>(FoldCase(c));
    }
    return out;
}

std::string FoldCaseUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            out += (b >= 'A' && b <= 'Z') ? static_cast<char>(b + 32) : static_cast<char>(b);
            ++i;
            continue;
        }
        std::size_t start = i;
        char32_t cp;
        if (DecodeUtf8(text, i, cp)) {
            AppendUtf8(out, FoldCase(cp));
        } else {
            out += text[start];
            i = start + 1;
        }
    }
    return out;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

bool EqualNoCaseUtf8(std::string_view a, std::string_view b) {
    return FoldCaseUtf8(a) == FoldCaseUtf8(b);
}

std::u16string DecodeTextFile(std::string_view bytes) {
    auto u16 = [](std::string_view b, bool little) {
        std::u16string out(b.size() / 2, u'\0');
        for (std::size_t i = 0; i < out.size(); ++i) {
            auto lo = static_cast<unsigned char>(b[2 * i + (little ? 0 : 1)]);
            auto hi = static_cast<unsigned char>(b[2 * i + (little ? 1 : 0)]);
            out[i] = static_cast<char16_t>(lo | (hi << 8));
        }
        return out;
    };
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
        return u16(bytes.substr(2), true);
    if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF')
        return u16(bytes.substr(2), false);
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return Utf8ToUtf16(bytes.substr(3));
    bool validUtf8 = true;
    for (std::size_t i = 0; i < bytes.size() && validUtf8;) {
        char32_t cp;
        validUtf8 = DecodeUtf8(bytes, i, cp);
    }
    if (!validUtf8 && bytes.size() >= 2 && bytes.size() % 2 == 0) {
        std::size_t oddZeros = 0;
        for (std::size_t i = 1; i < bytes.size(); i += 2) oddZeros += bytes[i] == '\0';
        if (oddZeros * 4 >= bytes.size()) return u16(bytes, true);
    }
    return Utf8ToUtf16(bytes);
}

std::vector<std::u16string> SplitLines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' || text[i] == u'\r') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::optional<std::vector<std::u16string>> ReadTextFileLines(const std::filesystem::path& path) {
    std::optional<std::string> bytes = platform::ReadWholeFile(path);
    if (!bytes) return std::nullopt;
    return SplitLines(DecodeTextFile(*bytes));
}

}  // namespace vyre::text
