#include "config/lights/macro_model.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/stored_name.h"
#include "platform/text.h"

namespace vyre::macros {
namespace {

using HIDMSG::_SKeyInfoData;
using HIDMSG::_SMacroDefaultData;
using HIDMSG::_SMacroGroupData;

std::u16string MouseText(std::uint8_t code, std::uint8_t state) {
    std::u16string name;
    switch (code) {
        case _SKeyInfoData::kMouseLeft: name = u"LeftButton"; break;
        case _SKeyInfoData::kMouseRight: name = u"RightButton"; break;
        default: name = u"Wheel"; break;
    }
    return name + (state == _SKeyInfoData::kDown ? u" Pressed" : u" Releaseed");
}

bool IsMouse(std::uint8_t code) {
    return code >= _SKeyInfoData::kMouseLeft && code <= _SKeyInfoData::kMouseWheel;
}

std::size_t EventRowsIn(const std::vector<SequenceRow>& rows) {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const SequenceRow& r) { return !r.isDelay(); }));
}

}  // namespace

std::u16string EventText(std::uint8_t code, std::uint8_t state, Flavour flavour,
                         const KeyNameProvider* names) {
    if (flavour == Flavour::Key && IsMouse(code)) return MouseText(code, state);
    const bool down = state == _SKeyInfoData::kDown;
    const char16_t* suffix = flavour == Flavour::Light ? (down ? u" On" : u" Off")
                                                       : (down ? u" Pressed" : u" Release");
    return LocalisedKeyName(code, names) + suffix;
}

SequenceRow EventRow(std::uint8_t code, std::uint8_t state, Flavour flavour,
                     const KeyNameProvider* names) {
    SequenceRow row;
    row.text = EventText(code, state, flavour, names);
    row.icon = flavour == Flavour::Key && IsMouse(code)  ? RowIcon::Mouse
               : state == _SKeyInfoData::kDown ? RowIcon::Pressed
                                               : RowIcon::Released;
    row.code = code;
    row.state = state;
    return row;
}

SequenceRow DelayRow(std::uint32_t ms) {
    SequenceRow row;
    row.icon = RowIcon::Delay;
    row.delay = std::clamp<std::uint32_t>(ms, 1, kMaxDelay);
    const std::string text = std::to_string(row.delay) + " ms";
    row.text.assign(text.begin(), text.end());
    return row;
}

// ---- the sequence ----------------------------------------------------------------------------

void MacroSequence::Clear() {
    rows_.clear();
    events_ = 0;
}

void MacroSequence::Show(const _SMacroDefaultData& record) {
    Clear();
    const std::size_t n = record.usedEvents();
    rows_.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const _SKeyInfoData& e = record.events[i];
        rows_.push_back(EventRow(e.code, e.state, flavour_, names_));
        if (e.delay.get() > 0) rows_.push_back(DelayRow(e.delay.get()));
    }
    events_ = n;
}

void MacroSequence::SaveTo(_SMacroDefaultData& record) const {
    std::memset(static_cast<void*>(record.events), 0, sizeof record.events);
    std::size_t n = 0;
    for (const SequenceRow& row : rows_) {
        if (!row.isDelay()) {
            if (n == kMaxEvents) break;  // never more than the record holds
            record.events[n].code = row.code;
            record.events[n].state = row.state;
            ++n;
            continue;
        }
        if (n == 0) continue;  // a delay before the first event has no event to follow
        // Several delay rows after one event add up, never past the 16-bit field.
        const std::uint32_t sum = record.events[n - 1].delay.get() + row.delay;
        record.events[n - 1].delay = static_cast<std::uint16_t>(std::min(sum, kMaxDelay));
    }
    record.eventCount = static_cast<std::uint16_t>(n);
}

bool MacroSequence::Insert(int at, const std::vector<SequenceRow>& rows) {
    const std::size_t added = EventRowsIn(rows);
    if (events_ + added > kMaxEvents) return false;
    const auto pos = at < 0 || static_cast<std::size_t>(at) > rows_.size()
                         ? rows_.end()
                         : rows_.begin() + at;
    rows_.insert(pos, rows.begin(), rows.end());
    events_ += added;
    return true;
}

void MacroSequence::Remove(int at) {
    if (at < 0 || static_cast<std::size_t>(at) >= rows_.size()) return;
    if (!rows_[at].isDelay()) --events_;
    rows_.erase(rows_.begin() + at);
}

std::uint32_t MacroSequence::SetDelay(int at, std::int64_t ms) {
    if (at < 0 || static_cast<std::size_t>(at) >= rows_.size() || !rows_[at].isDelay()) return 0;
    if (ms == 0) {
        Remove(at);
        return 0;
    }
    rows_[at] = DelayRow(static_cast<std::uint32_t>(std::clamp<std::int64_t>(ms, 1, kMaxDelay)));
    return rows_[at].delay;
}

void MacroSequence::SetState(int at, std::uint8_t state) {
    if (at < 0 || static_cast<std::size_t>(at) >= rows_.size()) return;
    SequenceRow& row = rows_[at];
    if (row.isDelay()) {
        // A delay row becomes an event of the row's code: only with room for it.
        if (events_ == kMaxEvents) return;
        ++events_;
    }
    row = EventRow(row.code, state, flavour_, names_);
}

// ---- recording -------------------------------------------------------------------------------

std::uint8_t RecordedUsage(const CapturedKey& key, bool down, Flavour flavour) {
    std::uint8_t flags = key.flags & 0x0F;
    if (flavour == Flavour::Light) {
        flags = down ? key.flags : (key.flags == 0x81 ? 1 : 0);
    }
    if (auto usage = UsageOfHookedKey(key.scanCode, flags)) return *usage;
    // Left Alt has only a row with the Alt-down flag, which the key loses
    // on its way up (and key macros mask away): without this it would be
    // recorded as the usage its virtual key happens to share.
    if (auto usage = UsageOfHookedKey(key.scanCode, (flags & 0x0F) | kScanFlagAltDown))
        return *usage;
    return static_cast<std::uint8_t>(key.virtualKey & 0xFF);
}

void MacroRecorder::Start(int insertPosition) {
    recording_ = true;
    limitReached_ = false;
    lastStep_ = 0;
    held_.clear();
    insert_ = insertPosition;
    if (insert_ < 0) sequence_.Clear();
}

void MacroRecorder::Stop() {
    recording_ = false;
    insert_ = -1;
    held_.clear();
}

void MacroRecorder::SetRecordDelays(bool on) {
    recordDelays_ = on;
    lastStep_ = 0;
}

bool MacroRecorder::Key(const CapturedKey& key, bool down, std::uint64_t nowMs) {
    if (!recording_ || key.scanCode == 0) return true;
    bool& held = held_[key.virtualKey];
    if (down) {
        if (held) return true;  // a repeat of a key held down
    }
    const std::uint8_t state = down ? _SKeyInfoData::kDown : _SKeyInfoData::kUp;
    std::vector<SequenceRow> rows;
    const std::uint64_t last = lastStep_;
    if (recordDelays_ && last != 0) {
        const std::uint64_t d = nowMs > last ? nowMs - last : 0;
        rows.push_back(DelayRow(d < 1 ? kShortestRecordedDelay
                                      : static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                            d, kMaxDelay))));
    }
    rows.push_back(EventRow(RecordedUsage(key, down, sequence_.flavour()), state,
                            sequence_.flavour(), sequence_.names()));
    if (!sequence_.Insert(insert_, rows)) {
        // The macro is full: this step and the delay before it are not kept,
        // and what was recorded stays as it is.
        limitReached_ = true;
        return false;
    }
    held = down;
    lastStep_ = nowMs;
    if (insert_ >= 0) insert_ += static_cast<int>(rows.size());
    return true;
}

// ---- names -----------------------------------------------------------------------------------

void StoreSetName(std::u16string_view name, FixedText<40>& field) {
    text::WideToMultiByteField(text::kCodePageSystem, name, field.bytes, sizeof field.bytes);
}

void StoreMacroName(std::u16string_view name, FixedText<24>& field) {
    const std::string bytes = text::WideToMultiByte(text::kCodePageSystem, name);
    // Room for 24 bytes: cut as for a 25-byte field with its terminator.
    const std::size_t keep = text::FitMultiByte(text::kCodePageSystem, bytes, sizeof field.bytes + 1);
    field.set_full(std::string_view(bytes).substr(0, keep));
}

template <std::size_t N>
std::u16string NameOf(const FixedText<N>& field) {
    return text::MultiByteToWide(text::kCodePageSystem, field.str());
}
template std::u16string NameOf(const FixedText<40>&);
template std::u16string NameOf(const FixedText<24>&);

std::size_t NameLength(std::u16string_view name) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        // A surrogate pair is one character.
        if (name[i] >= 0xD800 && name[i] < 0xDC00 && i + 1 < name.size() &&
            name[i + 1] >= 0xDC00 && name[i + 1] < 0xE000)
            ++i;
        ++n;
    }
    return n;
}

bool SameSetName(std::u16string_view a, std::u16string_view b) {
    return SameStoredName(text::Utf16ToUtf8(a), text::Utf16ToUtf8(b), kStoredSetNameBytes,
                          text::EqualNoCaseUtf8);
}

bool SameMacroName(std::u16string_view a, std::u16string_view b) {
    return SameStoredName(text::Utf16ToUtf8(a), text::Utf16ToUtf8(b), kStoredMacroNameBytes,
                          text::EqualNoCaseUtf8);
}

// ---- the working copy ------------------------------------------------------------------------

void MacroLibraryCopy::Open(const std::vector<_SMacroGroupData>& sets,
                            const std::vector<_SMacroDefaultData>& macros) {
    sets_.clear();
    macros_.clear();
    setQueue_.clear();
    macroQueue_.clear();
    for (std::size_t i = 0; i < sets.size(); ++i) sets_[static_cast<int>(i)] = sets[i];
    for (std::size_t i = 0; i < macros.size(); ++i) macros_[static_cast<int>(i)] = macros[i];
}

_SMacroGroupData* MacroLibraryCopy::set(int key) {
    const auto it = sets_.find(key);
    return it == sets_.end() ? nullptr : &it->second;
}

_SMacroDefaultData* MacroLibraryCopy::macro(int key) {
    const auto it = macros_.find(key);
    return it == macros_.end() ? nullptr : &it->second;
}

int MacroLibraryCopy::SetKeyOfNumber(std::int32_t number) const {
    if (number < 0) return -1;
    for (const auto& [key, s] : sets_) {
        if (s.setNumber.get() == number) return key;
    }
    return -1;
}

int MacroLibraryCopy::SetKeyOf(const _SMacroDefaultData& macro) const {
    return SetKeyOfNumber(macro.setNumber.get());
}

int MacroLibraryCopy::liveSets() const {
    return static_cast<int>(std::count_if(sets_.begin(), sets_.end(), [](const auto& e) {
        return e.second.setNumber.get() != -1;
    }));
}

std::vector<int> MacroLibraryCopy::MacrosOfSet(int setKey) const {
    std::vector<int> out;
    const auto it = sets_.find(setKey);
    if (it == sets_.end() || it->second.setNumber.get() == -1) return out;
    const std::int32_t number = it->second.setNumber.get();
    for (const auto& [key, m] : macros_) {
        if (m.setNumber.get() == number) out.push_back(key);
    }
    return out;
}

int MacroLibraryCopy::AddSet(int key, std::u16string_view name) {
    _SMacroGroupData s{};
    std::memset(static_cast<void*>(&s), 0, sizeof s);
    s.setNumber = liveSets();
    s.macroCount = 0;
    StoreSetName(name, s.name);
    sets_[key] = s;
    s.change = HIDMSG::kChangeAdd;
    setQueue_.push_back(s);
    return key;
}

void MacroLibraryCopy::DeleteSet(int setKey) {
    _SMacroGroupData* s = set(setKey);
    if (s == nullptr || s->setNumber.get() == -1) return;
    _SMacroGroupData queued = *s;
    queued.change = HIDMSG::kChangeDelete;
    setQueue_.push_back(queued);
    const std::int32_t number = s->setNumber.get();
    s->setNumber = -1;
    for (auto& [key, m] : macros_) {
        if (m.setNumber.get() == number) m.setNumber = -1;
    }
    for (auto& [key, other] : sets_) {
        if (other.setNumber.get() > number) other.setNumber = other.setNumber.get() - 1;
    }
    for (auto& [key, m] : macros_) {
        if (m.setNumber.get() > number) m.setNumber = m.setNumber.get() - 1;
    }
}

int MacroLibraryCopy::AddMacro(int setKey, std::u16string_view name) {
    _SMacroGroupData* s = set(setKey);
    if (s == nullptr || s->setNumber.get() == -1) return -1;
    auto m = std::make_unique<_SMacroDefaultData>();
    std::memset(static_cast<void*>(m.get()), 0, sizeof *m);
    m->setNumber = s->setNumber.get();
    m->macroNumber = s->macroCount.get();
    m->loopCount = 1;
    m->setName = s->name;
    StoreMacroName(name, m->name);
    s->macroCount = s->macroCount.get() + 1;
    const int key = macros_.empty() ? 0 : macros_.rbegin()->first + 1;
    macros_[key] = *m;
    Queue(key, HIDMSG::kChangeAdd);
    return key;
}

void MacroLibraryCopy::RenameMacro(int macroKey, std::u16string_view name) {
    _SMacroDefaultData* m = macro(macroKey);
    if (m == nullptr) return;
    StoreMacroName(name, m->name);
    Queue(macroKey, HIDMSG::kChangeModify);
}

void MacroLibraryCopy::DeleteMacro(int macroKey) {
    _SMacroDefaultData* m = macro(macroKey);
    if (m == nullptr || m->setNumber.get() == -1) return;
    Queue(macroKey, HIDMSG::kChangeDelete);
    const std::int32_t number = m->setNumber.get();
    const std::int32_t position = m->macroNumber.get();
    m->setNumber = -1;
    for (auto& [key, other] : macros_) {
        if (other.setNumber.get() == number && other.macroNumber.get() > position)
            other.macroNumber = other.macroNumber.get() - 1;
    }
    if (_SMacroGroupData* s = set(SetKeyOfNumber(number)))
        s->macroCount = std::max(s->macroCount.get() - 1, 0);
}

void MacroLibraryCopy::QueueMacro(int macroKey) {
    Queue(macroKey, HIDMSG::kChangeModify);
}

void MacroLibraryCopy::Queue(int macroKey, std::uint8_t change) {
    const _SMacroDefaultData* m = macro(macroKey);
    if (m == nullptr) return;
    QueuedMacro q{*m, SetKeyOf(*m)};
    q.record.change = change;
    macroQueue_.push_back(q);
}

bool MacroLibraryCopy::HasSetNamed(std::u16string_view name) const {
    return std::any_of(sets_.begin(), sets_.end(), [&](const auto& e) {
        return e.second.setNumber.get() != -1 && SameSetName(NameOf(e.second.name), name);
    });
}

bool MacroLibraryCopy::SetHasMacroNamed(int setKey, std::u16string_view name,
                                        int exceptMacroKey) const {
    for (int key : MacrosOfSet(setKey)) {
        if (key != exceptMacroKey && SameMacroName(NameOf(macros_.at(key).name), name)) return true;
    }
    return false;
}

void MacroLibraryCopy::Rebuild(std::vector<_SMacroGroupData>& sets,
                               std::vector<_SMacroDefaultData>& macros) const {
    sets.clear();
    macros.clear();
    for (const auto& [setKey, s] : sets_) {
        if (s.setNumber.get() == -1) continue;
        _SMacroGroupData out = s;
        out.change = HIDMSG::kChangeNone;
        out.setNumber = static_cast<std::int32_t>(sets.size());
        std::int32_t count = 0;
        for (const auto& [key, m] : macros_) {
            if (m.setNumber.get() != s.setNumber.get()) continue;
            macros.push_back(m);
            _SMacroDefaultData& kept = macros.back();
            kept.change = HIDMSG::kChangeNone;
            kept.setNumber = out.setNumber.get();
            kept.macroNumber = count++;
            kept.setName = s.name;
        }
        out.macroCount = count;
        sets.push_back(out);
    }
}

std::vector<_SMacroDefaultData> MacroLibraryCopy::MacroCommands() const {
    std::vector<_SMacroDefaultData> out;
    out.reserve(macroQueue_.size());
    for (const QueuedMacro& q : macroQueue_) {
        const auto it = sets_.find(q.setKey);
        // The set's deletion reaches the Monitor first and takes its macros along.
        if (it == sets_.end() || it->second.setNumber.get() == -1) continue;
        out.push_back(q.record);
        out.back().setNumber = it->second.setNumber.get();
    }
    return out;
}

// ---- images ----------------------------------------------------------------------------------

void LightMacroSlotFromRecord(const _SMacroDefaultData& record, int slot, LightMacroBlock& block) {
    const std::size_t n = record.usedEvents();
    block.slot = static_cast<std::uint8_t>(slot);
    block.loopCount = record.loopCount;
    block.options[0] = record.options[0];
    block.setName = record.setName;
    block.name = record.name;
    block.stepCount = static_cast<std::uint16_t>(n);
    std::memcpy(block.steps, record.events, sizeof block.steps);
}

}  // namespace vyre::macros
