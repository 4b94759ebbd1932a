#include "platform/profile_ini.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <map>
#include <mutex>
#include <unordered_map>

#include "common/log.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vyre::platform {

namespace fs = std::filesystem;

namespace {

// Spaces, tabs and carriage returns around names and values are not part of
// them: a carriage return at the end of a line is dropped on reading, so a
// value that kept one would lose it after the next rewrite.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos;
}

std::string UnquoteValue(std::string_view v) {
    v = Trim(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
    }
    return std::string(v);
}

// The text that reads back as `value`: a value that blanks would be trimmed
// from, or that quotes would be taken from, is written in double quotes.
std::string QuoteValue(std::string_view value) {
    const bool trimmed = Trim(value).size() != value.size();
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    if (!trimmed && !quoted) return std::string(value);
    return "\"" + std::string(value) + "\"";
}

fs::path ResolveFile(const fs::path& file) {
    if (file.is_absolute()) return file;
    return paths::Resolve(file.string());
}

}  // namespace

struct ProfileFile::Doc {
    struct Line {
        bool isKey = false;
        bool deleted = false;
        std::string key;    // as written
        std::string value;  // as written (raw, not unquoted)
        std::string raw;    // the whole line for lines that are not keys
    };
    struct Section {
        std::string name;
        bool hasHeader = true;
        bool deleted = false;
        std::vector<Line> lines;
        std::unordered_map<std::string, std::size_t> keys;  // folded key -> first line
    };
    std::vector<Section> sections;
    std::unordered_map<std::string, std::size_t> index;  // folded name -> first section

    Section* Find(std::string_view name) {
        auto it = index.find(text::FoldCaseUtf8(name));
        return it == index.end() ? nullptr : &sections[it->second];
    }
    const Section* Find(std::string_view name) const { return const_cast<Doc*>(this)->Find(name); }

    Section& AddSection(std::string_view name) {
        if (!sections.empty()) {
            Section& last = sections.back();
            bool endsBlank = !last.lines.empty() && !last.lines.back().isKey &&
                             Trim(last.lines.back().raw).empty();
            if (!last.deleted && !endsBlank && (last.hasHeader || !last.lines.empty())) {
                Line blank;
                last.lines.push_back(blank);
            }
        }
        Section s;
        s.name = std::string(name);
        index.emplace(text::FoldCaseUtf8(name), sections.size());
        sections.push_back(std::move(s));
        return sections.back();
    }
};

ProfileFile::ProfileFile() : doc_(std::make_unique<Doc>()) {}
ProfileFile::~ProfileFile() = default;
ProfileFile::ProfileFile(const ProfileFile& other) : doc_(std::make_unique<Doc>(*other.doc_)) {}
ProfileFile& ProfileFile::operator=(const ProfileFile& other) {
    if (this != &other) doc_ = std::make_unique<Doc>(*other.doc_);
    return *this;
}
ProfileFile::ProfileFile(ProfileFile&&) noexcept = default;
ProfileFile& ProfileFile::operator=(ProfileFile&&) noexcept = default;

ProfileFile ProfileFile::Parse(std::string_view bytes) {
    std::string converted;
    if (bytes.size() >= 2 &&
        (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) {
        converted = text::Utf16ToUtf8(text::DecodeTextFile(bytes));
        bytes = converted;
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }

    ProfileFile file;
    Doc& doc = *file.doc_;
    Doc::Section preamble;
    preamble.hasHeader = false;
    doc.sections.push_back(std::move(preamble));
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::string_view t = Trim(line);
        Doc::Line entry;
        if (t.size() >= 2 && t.front() == '[' && t.find(']') != t.npos) {
            std::string_view name = Trim(t.substr(1, t.rfind(']') - 1));
            Doc::Section s;
            s.name = std::string(name);
            std::string folded = text::FoldCaseUtf8(name);
            if (doc.index.find(folded) == doc.index.end())
                doc.index.emplace(std::move(folded), doc.sections.size());
            doc.sections.push_back(std::move(s));
            continue;
        }
        Doc::Section& current = doc.sections.back();
        auto eq = t.find('=');
        if (!t.empty() && t.front() != ';' && eq != t.npos && eq > 0 && current.hasHeader) {
            entry.isKey = true;
            entry.key = std::string(Trim(t.substr(0, eq)));
            entry.value = std::string(Trim(t.substr(eq + 1)));
            std::string folded = text::FoldCaseUtf8(entry.key);
            if (current.keys.find(folded) == current.keys.end())
                current.keys.emplace(std::move(folded), current.lines.size());
        } else {
            entry.raw = std::string(line);
        }
        current.lines.push_back(std::move(entry));
    }
    return file;
}

bool ProfileFileReadsWhole(const fs::path& file) {
    bool tooLarge = false;
    const auto bytes = ReadWholeFile(ResolveFile(file), kSettingsFileLimit, &tooLarge);
    if (!bytes) return !tooLarge;
    std::string_view text = *bytes;
    if (text.empty()) return true;
    if (text.size() >= 2 && (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF"))
        return true;
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    if (text.back() != '\n' || text.find('\0') != text.npos) return false;
    if (text::Utf16ToUtf8(text::Utf8ToUtf16(text)) != text) return false;
    bool inSection = false;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::string_view t = Trim(text.substr(start, end - start));
        start = end + 1;
        if (t.empty() || t.front() == ';') continue;
        if (t.front() == '[' && t.find(']') != t.npos) {
            inSection = true;
            continue;
        }
        const auto eq = t.find('=');
        if (!inSection || eq == t.npos || eq == 0) return false;
    }
    return true;
}

ProfileFile ProfileFile::Load(const fs::path& file) {
    auto bytes = ReadWholeFile(ResolveFile(file));
    return bytes ? Parse(*bytes) : ProfileFile();
}

std::string ProfileFile::Serialize() const {
    std::string out;
    for (const auto& s : doc_->sections) {
        if (s.deleted) continue;
        if (s.hasHeader) {
            out += '[';
            out += s.name;
            out += "]\n";
        }
        for (const auto& line : s.lines) {
            if (line.deleted) continue;
            if (line.isKey) {
                out += line.key;
                out += '=';
                out += line.value;
            } else {
                out += line.raw;
            }
            out += '\n';
        }
    }
    // Text that would read as a byte-order mark keeps its meaning behind a real one.
    std::string_view head(out.data(), std::min<std::size_t>(out.size(), 3));
    if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF" ||
        head == "\xEF\xBB\xBF") {
        out.insert(0, "\xEF\xBB\xBF");
    }
    return out;
}

bool ProfileFile::Save(const fs::path& file) const {
    return WriteFileAtomically(ResolveFile(file), Serialize());
}

std::optional<std::string> ProfileFile::Get(std::string_view section, std::string_view key) const {
    const Doc::Section* s = doc_->Find(Trim(section));
    if (s == nullptr) return std::nullopt;
    auto it = s->keys.find(text::FoldCaseUtf8(Trim(key)));
    if (it == s->keys.end()) return std::nullopt;
    return UnquoteValue(s->lines[it->second].value);
}

bool ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    if (key.empty() || key.find('=') != key.npos || key.front() == '[' || key.front() == ';')
        return false;
    Doc::Section* s = doc_->Find(section);
    if (s == nullptr) s = &doc_->AddSection(section);
    std::string folded = text::FoldCaseUtf8(key);
    auto it = s->keys.find(folded);
    if (it != s->keys.end()) {
        s->lines[it->second].value = QuoteValue(value);
        return true;
    }
    // A new key goes after the last key of the section, before trailing blank lines.
    std::size_t at = s->lines.size();
    while (at > 0 && !s->lines[at - 1].isKey && Trim(s->lines[at - 1].raw).empty()) --at;
    Doc::Line line;
    line.isKey = true;
    line.key = std::string(key);
    line.value = QuoteValue(value);
    if (at == s->lines.size()) {
        s->keys.emplace(std::move(folded), s->lines.size());
        s->lines.push_back(std::move(line));
    } else {
        s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        s->keys.clear();
        for (std::size_t k = 0; k < s->lines.size(); ++k) {
            if (s->lines[k].isKey && !s->lines[k].deleted)
                s->keys.emplace(text::FoldCaseUtf8(s->lines[k].key), k);
        }
    }
    return true;
}

bool ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
    Doc::Section* s = doc_->Find(Trim(section));
    if (s == nullptr) return false;
    auto it = s->keys.find(text::FoldCaseUtf8(Trim(key)));
    if (it == s->keys.end()) return false;
    std::size_t at = it->second;
    s->lines[at].deleted = true;
    s->keys.erase(it);
    // A later duplicate of the key becomes the one that is read.
    for (std::size_t k = at + 1; k < s->lines.size(); ++k) {
        const auto& line = s->lines[k];
        if (line.isKey && !line.deleted && text::EqualNoCaseUtf8(line.key, Trim(key))) {
            s->keys.emplace(text::FoldCaseUtf8(line.key), k);
            break;
        }
    }
    return true;
}

bool ProfileFile::DeleteSection(std::string_view section) {
    section = Trim(section);
    std::string folded = text::FoldCaseUtf8(section);
    auto it = doc_->index.find(folded);
    if (it == doc_->index.end()) return false;
    // Windows removes every section of that name.
    for (auto& s : doc_->sections) {
        if (s.hasHeader && !s.deleted && text::FoldCaseUtf8(s.name) == folded) s.deleted = true;
    }
    doc_->index.erase(it);
    return true;
}

bool ProfileFile::HasSection(std::string_view section) const {
    return doc_->Find(Trim(section)) != nullptr;
}

std::vector<std::string> ProfileFile::SectionNames() const {
    std::vector<std::string> names;
    for (const auto& s : doc_->sections) {
        if (s.hasHeader && !s.deleted) names.push_back(s.name);
    }
    return names;
}

std::vector<std::string> ProfileFile::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    const Doc::Section* s = doc_->Find(Trim(section));
    if (s == nullptr) return names;
    for (const auto& line : s->lines) {
        if (line.isKey && !line.deleted) names.push_back(line.key);
    }
    return names;
}

// ---- The process-wide cache behind the free functions ----

namespace {

struct CachedFile {
    ProfileFile doc;
    FileStamp stamp;
    bool loaded = false;
    bool dirty = false;
    // Too large to be a settings file: neither read nor written over, so that
    // whatever it holds stays for the user to look at.
    bool refused = false;
};

struct Cache {
    std::mutex mutex;
    std::map<std::string, CachedFile> files;
    int batchDepth = 0;

    // Caller holds mutex.
    CachedFile& Current(const fs::path& path) {
        CachedFile& f = files[path.string()];
        if (f.dirty) return f;
        FileStamp now = StampOf(path);
        if (!f.loaded || !(now == f.stamp)) {
            bool tooLarge = false;
            auto bytes = now.exists ? ReadWholeFile(path, kSettingsFileLimit, &tooLarge) : std::nullopt;
            f.doc = bytes ? ProfileFile::Parse(*bytes) : ProfileFile();
            f.stamp = now;
            f.loaded = true;
            f.refused = tooLarge;
            if (tooLarge) {
                log::Error("settings", log::Format("%s holds %llu bytes, more than the %llu a settings file can "
                                                   "hold: it is neither read nor written",
                                                   path.c_str(), now.size,
                                                   static_cast<unsigned long long>(kSettingsFileLimit)));
            }
        }
        return f;
    }

    bool Write(const fs::path& path, CachedFile& f) {
        if (f.refused || !WriteFileAtomically(path, f.doc.Serialize())) {
            // The file is unchanged; forget the change so reads agree with the disk.
            f.loaded = false;
            f.dirty = false;
            return false;
        }
        f.stamp = StampOf(path);
        f.dirty = false;
        return true;
    }

    bool Changed(const fs::path& path, CachedFile& f) {
        f.dirty = true;
        if (batchDepth > 0) return true;
        return Write(path, f);
    }

    bool FlushAll() {
        bool ok = true;
        for (auto& [name, f] : files) {
            if (f.dirty) ok = Write(fs::path(name), f) && ok;
        }
        return ok;
    }
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

std::string Truncate(std::string value, std::size_t maxChars) {
    if (maxChars == 0) return value;
    std::u16string wide = text::Utf8ToUtf16(value);
    if (wide.size() <= maxChars - 1) return value;
    wide.resize(maxChars - 1);
    return text::Utf16ToUtf8(wide);
}

std::optional<std::string> Lookup(std::string_view section, std::string_view key,
                                  const fs::path& file) {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    return cache.Current(ResolveFile(file)).doc.Get(section, key);
}

int ParseLeadingInt(std::string_view v) {
    std::size_t i = 0;
    while (i < v.size() && (v[i] == ' ' || v[i] == '\t')) ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
    std::uint32_t n = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i)
        n = n * 10 + static_cast<std::uint32_t>(v[i] - '0');
    if (negative) n = 0u - n;
    return static_cast<int>(n);
}

}  // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, const fs::path& file,
                                    std::size_t maxChars) {
    std::optional<std::string> value = Lookup(section, key, file);
    if (!value || value->empty()) return Truncate(std::string(Trim(defaultValue)), maxChars);
    return Truncate(std::move(*value), maxChars);
}

std::u16string GetPrivateProfileString(std::u16string_view section, std::u16string_view key,
                                       std::u16string_view defaultValue, const fs::path& file,
                                       std::size_t maxChars) {
    return text::Utf8ToUtf16(
        GetPrivateProfileString(text::Utf16ToUtf8(section), text::Utf16ToUtf8(key),
                                text::Utf16ToUtf8(defaultValue), file, maxChars));
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const fs::path& file) {
    std::optional<std::string> value = Lookup(section, key, file);
    if (!value || value->empty()) return defaultValue;
    return ParseLeadingInt(*value);
}

int GetPrivateProfileInt(std::u16string_view section, std::u16string_view key, int defaultValue,
                         const fs::path& file) {
    return GetPrivateProfileInt(text::Utf16ToUtf8(section), text::Utf16ToUtf8(key), defaultValue,
                                file);
}

bool WritePrivateProfileString(std::string_view section, const char* key, const char* value,
                               const fs::path& file) {
    fs::path path = ResolveFile(file);
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    CachedFile& f = cache.Current(path);
    if (key == nullptr) {
        if (!f.doc.DeleteSection(section)) return true;
    } else if (value == nullptr) {
        if (!f.doc.DeleteKey(section, key)) return true;
    } else {
        if (!f.doc.Set(section, key, value)) return false;
    }
    return cache.Changed(path, f);
}

bool WritePrivateProfileString(std::u16string_view section, const char16_t* key,
                               const char16_t* value, const fs::path& file) {
    std::string k = key != nullptr ? text::Utf16ToUtf8(key) : std::string();
    std::string v = value != nullptr ? text::Utf16ToUtf8(value) : std::string();
    return WritePrivateProfileString(text::Utf16ToUtf8(section),
                                     key != nullptr ? k.c_str() : nullptr,
                                     value != nullptr ? v.c_str() : nullptr, file);
}

std::vector<std::u16string> GetPrivateProfileSectionNames(const fs::path& file) {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    std::vector<std::u16string> out;
    for (const auto& name : cache.Current(ResolveFile(file)).doc.SectionNames())
        out.push_back(text::Utf8ToUtf16(name));
    return out;
}

std::vector<std::u16string> GetPrivateProfileKeyNames(std::u16string_view section,
                                                      const fs::path& file) {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    std::vector<std::u16string> out;
    for (const auto& name :
         cache.Current(ResolveFile(file)).doc.KeyNames(text::Utf16ToUtf8(section))) {
        out.push_back(text::Utf8ToUtf16(name));
    }
    return out;
}

ProfileWriteBatch::ProfileWriteBatch() {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    ++cache.batchDepth;
}

ProfileWriteBatch::~ProfileWriteBatch() {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    if (--cache.batchDepth == 0) cache.FlushAll();
}

bool ProfileWriteBatch::Commit() {
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    return cache.FlushAll();
}

}  // namespace vyre::platform
