#include "platform/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "common/log.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vyre::platform {

const char* const kVyreLumoKeyPath = "HKEY_CURRENT_USER\\Software\\Kalvex\\Vyre Lumo";

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
// regedit folds a hex list after the comma that brings the line to this many
// characters or more.
constexpr std::size_t kFoldColumn = 77;

// Windows-1252 characters 0x80..0x9F (0 = unassigned, read as the C1 control).
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        if (c >= 0x80) {
            if (c >= 0xC2 && c < 0xE0) n = 1;
            else if (c >= 0xE0 && c < 0xF0) n = 2;
            else if (c >= 0xF0 && c < 0xF5) n = 3;
            else return false;
        }
        if (i + n >= s.size() && n > 0) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n + 1;
    }
    return true;
}

// Bytes of an ANSI file as UTF-16 (zero bytes kept).
std::u16string FromWindows1252(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        const char16_t high = c >= 0x80 && c < 0xA0 ? kWindows1252High[c - 0x80] : 0;
        out += high != 0 ? high : static_cast<char16_t>(c);
    }
    return out;
}

// Text bytes without a byte-order mark: UTF-8 when they are, else ANSI.
std::u16string FromUnmarkedText(std::string_view s) {
    return IsUtf8(s) ? text::Utf8ToUtf16(s) : FromWindows1252(s);
}

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view wide) {
    std::vector<std::uint8_t> out(wide.size() * 2);
    for (std::size_t k = 0; k < wide.size(); ++k) {
        out[2 * k] = static_cast<std::uint8_t>(wide[k] & 0xFF);
        out[2 * k + 1] = static_cast<std::uint8_t>(wide[k] >> 8);
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::string Escape(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// Reads a quoted, escaped text starting at s[i] == '"'; i ends after the
// closing quote. False when there is none.
bool ReadQuoted(std::string_view s, std::size_t& i, std::string& out) {
    if (i >= s.size() || s[i] != '"') return false;
    ++i;
    while (i < s.size()) {
        char c = s[i++];
        if (c == '"') return true;
        if (c == '\\') {
            if (i >= s.size()) return false;
            c = s[i++];
        }
        out += c;
    }
    return false;
}

bool ParseHexList(std::string_view s, std::vector<std::uint8_t>& out) {
    s = Trim(s);
    if (s.empty()) return true;
    std::size_t i = 0;
    for (;;) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i + 2 > s.size()) return false;
        int hi = HexDigit(s[i]);
        int lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        i += 2;
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        if (i == s.size()) return true;
        if (s[i] != ',') return false;
        ++i;
        // regedit leaves a trailing comma before a fold; tolerate it at the end.
        std::size_t j = i;
        while (j < s.size() && (s[j] == ' ' || s[j] == '\t')) ++j;
        if (j == s.size()) return true;
    }
}

// One "name"=data line; false when it cannot be read.
bool ParseValueLine(std::string_view line, RegValue& value, bool& deletion) {
    std::size_t i = 0;
    std::string name;
    if (line[0] == '@') {
        i = 1;
    } else if (!ReadQuoted(line, i, name)) {
        return false;
    }
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] != '=') return false;
    std::string_view data = Trim(line.substr(i + 1));
    value = RegValue{};
    value.name = std::move(name);
    deletion = false;
    if (data == "-") {
        deletion = true;
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        std::size_t j = 0;
        std::string textValue;
        if (!ReadQuoted(data, j, textValue) || j != data.size()) return false;
        std::u16string wide = text::Utf8ToUtf16(textValue);
        wide += u'\0';
        value.type = RegType::Sz;
        value.data.resize(wide.size() * 2);
        for (std::size_t k = 0; k < wide.size(); ++k) {
            value.data[2 * k] = static_cast<std::uint8_t>(wide[k] & 0xFF);
            value.data[2 * k + 1] = static_cast<std::uint8_t>(wide[k] >> 8);
        }
        return true;
    }
    auto lower = text::FoldCaseUtf8(data.substr(0, std::min<std::size_t>(data.size(), 8)));
    if (lower.rfind("dword:", 0) == 0) {
        std::string_view digits = Trim(data.substr(6));
        if (digits.empty() || digits.size() > 8) return false;
        std::uint32_t v = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        value.type = RegType::Dword;
        value.data = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                      static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        return true;
    }
    if (lower.rfind("hex:", 0) == 0) {
        value.type = RegType::Binary;
        return ParseHexList(data.substr(4), value.data);
    }
    if (lower.rfind("hex(", 0) == 0) {
        auto close = data.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) return false;
        std::uint32_t type = 0;
        for (char c : data.substr(4, close - 4)) {
            int d = HexDigit(c);
            if (d < 0) return false;
            type = type * 16 + static_cast<std::uint32_t>(d);
        }
        value.type = static_cast<RegType>(type);
        return ParseHexList(data.substr(close + 2), value.data);
    }
    return false;
}

// A REG_SZ that can be written as "text": one terminated string of printable
// characters that survives UTF-8 unchanged.
bool AsPlainString(const RegValue& v, std::string& out) {
    if (v.type != RegType::Sz || v.data.size() < 2 || v.data.size() % 2 != 0) return false;
    std::u16string wide(v.data.size() / 2, u'\0');
    for (std::size_t k = 0; k < wide.size(); ++k) {
        wide[k] = static_cast<char16_t>(v.data[2 * k] | (v.data[2 * k + 1] << 8));
    }
    if (wide.back() != u'\0') return false;
    wide.pop_back();
    for (char16_t c : wide) {
        if (c < 0x20 || c == 0x7F) return false;
    }
    out = text::Utf16ToUtf8(wide);
    return text::Utf8ToUtf16(out) == wide;
}

// `column`: the characters of the line so far ("name"=hex...:).
void AppendHex(std::string& out, std::size_t column, const std::vector<std::uint8_t>& data) {
    static const char* digits = "0123456789abcdef";
    for (std::size_t k = 0; k < data.size(); ++k) {
        out += digits[data[k] >> 4];
        out += digits[data[k] & 15];
        if (k + 1 == data.size()) break;
        out += ',';
        column += 3;
        if (column >= kFoldColumn) {
            out += "\\\n  ";
            column = 2;
        }
    }
}

// UTF-8 text with "\n" line ends as the bytes of a regedit file: UTF-16 LE
// with a byte-order mark, CRLF.
std::string ToRegeditBytes(std::string_view utf8) {
    std::u16string wide = u"\uFEFF";
    for (char16_t c : text::Utf8ToUtf16(utf8)) {
        if (c == u'\n') wide += u'\r';
        wide += c;
    }
    const auto bytes = Utf16Bytes(wide);
    return std::string(bytes.begin(), bytes.end());
}

// Characters of UTF-8 text as regedit counts them (UTF-16 units).
std::size_t Utf16Length(std::string_view s) { return text::Utf8ToUtf16(s).size(); }

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            std::string_view line = text.substr(start, i - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (i < text.size() || !line.empty()) lines.emplace_back(line);
            start = i + 1;
        }
    }
    return lines;
}

// A key line that one damaged byte or two made into another name: within two
// edits of the key's path, or without its closing bracket.
bool NearlyTheKey(std::string_view header, std::string_view keyPath) {
    if (header.empty() || header[0] != '[') return false;
    std::string_view name = header.substr(1);
    if (!name.empty() && name.back() == ']') name.remove_suffix(1);
    std::string a = text::FoldCaseUtf8(name), b = text::FoldCaseUtf8(keyPath);
    if (a.size() + 2 < b.size() || b.size() + 2 < a.size()) return false;
    std::vector<std::size_t> row(b.size() + 1), next(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        next[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j)
            next[j] = std::min({row[j] + 1, next[j - 1] + 1, row[j - 1] + (a[i - 1] != b[j - 1])});
        row.swap(next);
    }
    return row[b.size()] <= 2;
}

// Adds a value line's value to `values` (a later line of the same name
// replaces it, a deletion line removes it).
void AddValue(std::vector<RegValue>& values, std::unordered_map<std::string, std::size_t>& index,
              RegValue value, bool deletion) {
    std::string folded = text::FoldCaseUtf8(value.name);
    auto it = index.find(folded);
    if (deletion) {
        if (it != index.end()) {
            values.erase(values.begin() + static_cast<std::ptrdiff_t>(it->second));
            index.clear();
            for (std::size_t k = 0; k < values.size(); ++k)
                index[text::FoldCaseUtf8(values[k].name)] = k;
        }
        return;
    }
    if (it != index.end()) {
        values[it->second] = std::move(value);
    } else {
        index.emplace(std::move(folded), values.size());
        values.push_back(std::move(value));
    }
}

}  // namespace

RegFileContents ParseRegFile(std::string_view raw, std::string_view keyPath) {
    std::string utf8;
    if (raw.size() >= 2 && (raw.substr(0, 2) == "\xFF\xFE" || raw.substr(0, 2) == "\xFE\xFF")) {
        utf8 = text::Utf16ToUtf8(text::DecodeTextFile(raw));
    } else if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF") {
        utf8 = std::string(raw.substr(3));
    } else {
        utf8 = text::Utf16ToUtf8(FromUnmarkedText(raw));
    }
    // The older format holds the text of hex(2) and hex(7) in the ANSI page.
    const bool regedit4 = Trim(utf8.substr(0, utf8.find_first_of("\r\n"))) == kHeader4;

    RegFileContents result;
    // Values of a damaged key line (or of none) are kept aside: they are the
    // key's when the file has no intact key line.
    RegFileContents loose;
    std::unordered_map<std::string, std::size_t> index, looseIndex;
    // Where the lines belong: the key, a damaged key line, or another key.
    enum class Place { Key, Loose, Other } place = Place::Loose;
    bool headerSeen = false;
    // A file cut short ends inside a line.
    if (utf8.empty() || utf8.back() != '\n') result.damaged = true;
    std::vector<std::string> lines = SplitLines(utf8);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string line(Trim(lines[n]));
        // Folded hex lists continue on the next lines.
        while (!line.empty() && line.back() == '\\' && n + 1 < lines.size() &&
               line.find("=hex") != std::string::npos) {
            line.pop_back();
            line += Trim(lines[++n]);
        }
        if (line.empty() || line[0] == ';') continue;
        if (!headerSeen) {
            headerSeen = true;
            if (line == kHeader || line == kHeader4) continue;
            result.damaged = true;
        }
        if (line[0] == '[') {
            if (line.back() == ']' && text::EqualNoCaseUtf8(line.substr(1, line.size() - 2), keyPath)) {
                place = Place::Key;
                result.keyFound = true;
            } else if (NearlyTheKey(line, keyPath)) {
                place = Place::Loose;
                result.damaged = true;
            } else {
                place = line.back() == ']' ? Place::Other : Place::Loose;
                if (place == Place::Loose) result.damaged = true;
            }
            continue;
        }
        if (place == Place::Other) continue;
        RegValue value;
        bool deletion = false;
        if (line.find('\0') != std::string::npos || !ParseValueLine(line, value, deletion)) {
            result.damaged = true;
            continue;
        }
        if (regedit4 && !deletion && (value.type == RegType::ExpandSz || value.type == RegType::MultiSz)) {
            value.data = Utf16Bytes(FromUnmarkedText(
                std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size())));
        }
        const bool inKey = place == Place::Key;
        AddValue(inKey ? result.values : loose.values, inKey ? index : looseIndex, std::move(value),
                 deletion);
    }
    if (!result.keyFound && !loose.values.empty()) {
        result.keyFound = true;
        result.values = std::move(loose.values);
    }
    return result;
}

std::string FormatRegFile(std::string_view keyPath, bool keyExists,
                          const std::vector<RegValue>& values) {
    std::string out(kHeader);
    out += "\n\n";
    if (!keyExists) return ToRegeditBytes(out);
    out += '[';
    out += keyPath;
    out += "]\n";
    for (const RegValue& v : values) {
        const std::size_t lineStart = out.size();
        if (v.name.empty()) {
            out += '@';
        } else {
            out += '"';
            out += Escape(v.name);
            out += '"';
        }
        out += '=';
        std::string plain;
        if (v.type == RegType::Dword && v.data.size() == 4) {
            char buf[16];
            std::uint32_t d =
                v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (std::uint32_t(v.data[3]) << 24);
            std::snprintf(buf, sizeof buf, "dword:%08x", d);
            out += buf;
        } else if (AsPlainString(v, plain)) {
            out += '"';
            out += Escape(plain);
            out += '"';
        } else {
            if (v.type == RegType::Binary) {
                out += "hex:";
            } else {
                char buf[24];
                std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
                out += buf;
            }
            AppendHex(out, Utf16Length(std::string_view(out).substr(lineStart)), v.data);
        }
        out += '\n';
    }
    out += '\n';
    return ToRegeditBytes(out);
}

struct Registry::State {
    bool loaded = false;
    bool keyExists = false;
    std::vector<RegValue> values;
    std::unordered_map<std::string, std::size_t> index;  // folded name -> position
    FileStamp stamp;
    bool dirty = false;  // changes not yet on disk
    int batchDepth = 0;
    std::optional<std::filesystem::path> damagedCopy;  // since a damaged file was read

    void Reindex() {
        index.clear();
        for (std::size_t k = 0; k < values.size(); ++k)
            index[text::FoldCaseUtf8(values[k].name)] = k;
    }
    RegValue* Find(std::string_view name) {
        auto it = index.find(text::FoldCaseUtf8(name));
        return it == index.end() ? nullptr : &values[it->second];
    }
};

Registry::Registry(std::filesystem::path file)
    : Registry(std::optional<std::filesystem::path>(std::move(file))) {}

Registry::Registry(std::optional<std::filesystem::path> file)
    : file_(std::move(file)), state_(std::make_unique<State>()) {
    if (!file_) state_->loaded = true;
}

Registry::~Registry() {
    std::lock_guard lock(mutex_);
    if (state_->dirty) Flush();
}

std::unique_ptr<Registry> Registry::InMemory() {
    return std::unique_ptr<Registry>(new Registry(std::optional<std::filesystem::path>()));
}

Registry& Registry::CurrentUser() {
    static Registry registry(paths::RegistryFile());
    return registry;
}

void Registry::Refresh() {
    State& s = *state_;
    if (!file_ || s.dirty) return;
    FileStamp now = StampOf(*file_);
    if (s.loaded && now == s.stamp) return;
    s.loaded = true;
    s.stamp = now;
    s.values.clear();
    s.keyExists = false;
    if (now.exists) {
        bool tooLarge = false;
        if (auto raw = ReadWholeFile(*file_, kSettingsFileLimit, &tooLarge)) {
            RegFileContents contents = ParseRegFile(*raw, kVyreLumoKeyPath);
            s.keyExists = contents.keyFound;
            s.values = std::move(contents.values);
            if (contents.damaged) KeepDamaged(&*raw);
        } else if (tooLarge) {
            KeepDamaged(nullptr);
        }
    }
    s.Reindex();
}

// Keeps a damaged file beside the one the next write makes, so that nothing
// of the user's is lost unseen: a copy of the bytes read, or (for a file too
// large to read) the file itself moved aside.
void Registry::KeepDamaged(const std::string* raw) {
    State& s = *state_;
    const std::filesystem::path kept = DamagedCopyName(*file_);
    std::error_code ec;
    bool ok;
    if (raw != nullptr) {
        ok = WriteFileAtomically(kept, *raw);
    } else {
        std::filesystem::rename(*file_, kept, ec);
        ok = !ec;
        s.stamp = StampOf(*file_);
    }
    const std::string name = file_->string();
    if (raw == nullptr) {
        log::Error("registry", log::Format("the settings file %s holds more than %llu bytes: it is not read",
                                           name.c_str(), static_cast<unsigned long long>(kSettingsFileLimit)));
    }
    if (ok) {
        log::Warning("registry", "the settings file " + name +
                                     " is damaged: the values that could be read are kept, the others "
                                     "take their defaults; the damaged file is kept as " + kept.string());
        s.damagedCopy = kept;
    } else {
        log::Warning("registry", "the settings file " + name +
                                     " is damaged: the values that could be read are kept, the others "
                                     "take their defaults (no copy could be kept beside it)");
        s.damagedCopy = *file_;
    }
}

std::optional<std::filesystem::path> Registry::DamagedFile() {
    std::lock_guard lock(mutex_);
    Refresh();
    return state_->damagedCopy;
}

bool Registry::Flush() {
    State& s = *state_;
    if (!file_) {
        s.dirty = false;
        return true;
    }
    std::string text = FormatRegFile(kVyreLumoKeyPath, s.keyExists, s.values);
    if (!WriteFileAtomically(*file_, text)) {
        // The file is unchanged; drop the changes so that reads agree with it.
        s.dirty = false;
        s.loaded = false;
        return false;
    }
    s.stamp = StampOf(*file_);
    s.dirty = false;
    return true;
}

RegStatus Registry::Changed() {
    State& s = *state_;
    s.dirty = true;
    if (s.batchDepth > 0) return RegStatus::Ok;
    return Flush() ? RegStatus::Ok : RegStatus::Failed;
}

bool Registry::KeyExists() {
    std::lock_guard lock(mutex_);
    Refresh();
    return state_->keyExists;
}

bool Registry::CreateKey() {
    std::lock_guard lock(mutex_);
    Refresh();
    if (state_->keyExists) return true;
    state_->keyExists = true;
    return Changed() == RegStatus::Ok;
}

bool Registry::DeleteKey() {
    std::lock_guard lock(mutex_);
    Refresh();
    if (!state_->keyExists) return true;
    state_->keyExists = false;
    state_->values.clear();
    state_->Reindex();
    return Changed() == RegStatus::Ok;
}

RegStatus Registry::QueryValue(std::string_view name, RegType* type, void* data,
                               std::uint32_t* size) {
    std::lock_guard lock(mutex_);
    Refresh();
    State& s = *state_;
    if (!s.keyExists) return RegStatus::NotFound;
    const RegValue* v = s.Find(name);
    if (v == nullptr) return RegStatus::NotFound;
    if (type != nullptr) *type = v->type;
    auto needed = static_cast<std::uint32_t>(v->data.size());
    if (size == nullptr) return data == nullptr ? RegStatus::Ok : RegStatus::MoreData;
    if (data == nullptr) {
        *size = needed;
        return RegStatus::Ok;
    }
    if (*size < needed) {
        *size = needed;
        return RegStatus::MoreData;
    }
    if (needed > 0) std::memcpy(data, v->data.data(), needed);
    *size = needed;
    return RegStatus::Ok;
}

RegStatus Registry::SetValue(std::string_view name, RegType type, const void* data,
                             std::uint32_t size) {
    if (name.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos)
        return RegStatus::Failed;
    if (size > 0 && data == nullptr) return RegStatus::Failed;
    std::lock_guard lock(mutex_);
    Refresh();
    State& s = *state_;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::vector<std::uint8_t> copy(bytes, bytes + size);
    s.keyExists = true;
    if (RegValue* v = s.Find(name)) {
        v->type = type;
        v->data = std::move(copy);
    } else {
        s.index.emplace(text::FoldCaseUtf8(name), s.values.size());
        s.values.push_back(RegValue{std::string(name), type, std::move(copy)});
    }
    return Changed();
}

RegStatus Registry::DeleteValue(std::string_view name) {
    std::lock_guard lock(mutex_);
    Refresh();
    State& s = *state_;
    if (!s.keyExists) return RegStatus::NotFound;
    auto it = s.index.find(text::FoldCaseUtf8(name));
    if (it == s.index.end()) return RegStatus::NotFound;
    s.values.erase(s.values.begin() + static_cast<std::ptrdiff_t>(it->second));
    s.Reindex();
    return Changed();
}

std::optional<RegValue> Registry::GetValue(std::string_view name) {
    std::lock_guard lock(mutex_);
    Refresh();
    if (!state_->keyExists) return std::nullopt;
    const RegValue* v = state_->Find(name);
    if (v == nullptr) return std::nullopt;
    return *v;
}

std::vector<RegValue> Registry::Values() {
    std::lock_guard lock(mutex_);
    Refresh();
    if (!state_->keyExists) return {};
    return state_->values;
}

std::optional<std::uint32_t> Registry::ReadDword(std::string_view name) {
    RegType type = RegType::None;
    std::uint8_t b[4];
    std::uint32_t size = sizeof b;
    if (QueryValue(name, &type, b, &size) != RegStatus::Ok || type != RegType::Dword || size != 4) {
        return std::nullopt;
    }
    return b[0] | (b[1] << 8) | (b[2] << 16) | (std::uint32_t(b[3]) << 24);
}

RegStatus Registry::WriteDword(std::string_view name, std::uint32_t value) {
    std::uint8_t b[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                         static_cast<std::uint8_t>(value >> 16),
                         static_cast<std::uint8_t>(value >> 24)};
    return SetValue(name, RegType::Dword, b, sizeof b);
}

std::optional<std::u16string> Registry::ReadString(std::string_view name, std::uint32_t maxBytes) {
    RegType type = RegType::None;
    std::vector<std::uint8_t> buffer(maxBytes);
    std::uint32_t size = maxBytes;
    if (QueryValue(name, &type, buffer.data(), &size) != RegStatus::Ok) return std::nullopt;
    if (type != RegType::Sz && type != RegType::ExpandSz && type != RegType::MultiSz)
        return std::nullopt;
    std::u16string out;
    for (std::uint32_t k = 0; k + 1 < size; k += 2) {
        auto c = static_cast<char16_t>(buffer[k] | (buffer[k + 1] << 8));
        if (c == u'\0') break;
        out += c;
    }
    return out;
}

RegStatus Registry::WriteString(std::string_view name, RegType type, std::u16string_view value) {
    std::vector<std::uint8_t> bytes((value.size() + 1) * 2, 0);
    for (std::size_t k = 0; k < value.size(); ++k) {
        bytes[2 * k] = static_cast<std::uint8_t>(value[k] & 0xFF);
        bytes[2 * k + 1] = static_cast<std::uint8_t>(value[k] >> 8);
    }
    return SetValue(name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

std::string Registry::Serialize() {
    std::lock_guard lock(mutex_);
    Refresh();
    return FormatRegFile(kVyreLumoKeyPath, state_->keyExists, state_->values);
}

Registry::Batch::Batch(Registry& registry) : registry_(&registry) {
    std::lock_guard lock(registry_->mutex_);
    registry_->Refresh();
    ++registry_->state_->batchDepth;
}

Registry::Batch::~Batch() {
    std::lock_guard lock(registry_->mutex_);
    if (--registry_->state_->batchDepth == 0 && registry_->state_->dirty) registry_->Flush();
}

bool Registry::Batch::Commit() {
    std::lock_guard lock(registry_->mutex_);
    return !registry_->state_->dirty || registry_->Flush();
}

}  // namespace vyre::platform
