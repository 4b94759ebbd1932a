#pragma once
// The macro editing model shared by the macro manager and the light macro
// editor: the rows of the key press sequence, how a macro record is shown as
// rows and rebuilt from them, recording from captured keys, the working copy
// of a library with its change queues and numbering, and the images a macro
// becomes on a key.
//
// Key macros and light macros have the same records; they differ in the row
// texts ("Pressed" / "Release" against "On" / "Off") and in how a captured
// key is looked up.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/hidmsg.h"
#include "common/macro_image.h"
#include "common/scan_codes.h"

namespace vyre::macros {

enum class Flavour { Key, Light };

inline constexpr std::size_t kMaxEvents = HIDMSG::kMaxMacroEvents;
inline constexpr std::uint32_t kMaxDelay = 65535;
inline constexpr int kMinLoops = 1;
inline constexpr int kMaxLoops = 255;
// Macro names are limited to 24 characters; set names to their 40-byte field.
inline constexpr std::size_t kMaxMacroNameChars = 24;
// A step recorded less than a millisecond after the one before it gets this delay.
inline constexpr std::uint32_t kShortestRecordedDelay = 12;

enum class RowIcon { Pressed, Released, Mouse, Delay };

// One row of the key press sequence: an event row (code and state) or a
// delay row (its delay in milliseconds, never 0).
struct SequenceRow {
    std::u16string text;
    RowIcon icon = RowIcon::Pressed;
    std::uint8_t code = 0;
    std::uint8_t state = 0;
    std::uint32_t delay = 0;

    bool isDelay() const { return icon == RowIcon::Delay; }
    friend bool operator==(const SequenceRow&, const SequenceRow&) = default;
};

// The text of an event row: the key's name with " Pressed" / " Release"
// (light macros " On" / " Off"), or the mouse button's own text.
std::u16string EventText(std::uint8_t code, std::uint8_t state, Flavour flavour,
                         const KeyNameProvider* names);
SequenceRow EventRow(std::uint8_t code, std::uint8_t state, Flavour flavour,
                     const KeyNameProvider* names);
SequenceRow DelayRow(std::uint32_t ms);

// The rows of one macro. Inserting never takes the macro past 480 events:
// an insertion that would is refused whole and reported by its result.
class MacroSequence {
  public:
    explicit MacroSequence(Flavour flavour, const KeyNameProvider* names = nullptr)
        : flavour_(flavour), names_(names) {}

    Flavour flavour() const { return flavour_; }
    const KeyNameProvider* names() const { return names_; }
    const std::vector<SequenceRow>& rows() const { return rows_; }
    std::size_t size() const { return rows_.size(); }
    std::size_t eventRows() const { return events_; }

    void Clear();
    // Fills the rows from a record: each event, then a delay row when its
    // delay is not 0. A record claiming more than 480 events shows 480.
    void Show(const HIDMSG::_SMacroDefaultData& record);
    // Rebuilds the record's events from the rows: each event row becomes the
    // next event, each delay row adds to the delay of the event before it
    // (up to 65535), a delay row before the first event is dropped.
    void SaveTo(HIDMSG::_SMacroDefaultData& record) const;

    // Inserts rows at `at` (appended when at is past the end or negative).
    // False, and nothing inserted, when the events would pass 480.
    bool Insert(int at, const std::vector<SequenceRow>& rows);
    bool Insert(int at, const SequenceRow& row) { return Insert(at, std::vector{row}); }
    void Remove(int at);
    // A delay row's new value: 0 removes the row, anything else is bounded
    // to 1..65535. Returns the row's value after the edit (0: removed).
    std::uint32_t SetDelay(int at, std::int64_t ms);
    // Rewrites a row as an event row of its code with the given state (the
    // light editor's "LED On" / "LED Off").
    void SetState(int at, std::uint8_t state);

  private:
    Flavour flavour_;
    const KeyNameProvider* names_;
    std::vector<SequenceRow> rows_;
    std::size_t events_ = 0;
};

// A key event as the capture reports it.
struct CapturedKey {
    std::uint32_t virtualKey = 0;
    std::uint8_t scanCode = 0;
    std::uint8_t flags = 0;  // the hook's flag byte (0x01 extended, 0x20 Alt down, 0x80 up)
};

// The usage recorded for a captured key: key macros look the scan code up
// with the low four flag bits; light macros with the whole flags on a key
// going down and with 0x80 as 0, 0x81 as 1 on a key going up. Without a row
// the low byte of the virtual key stands for the usage.
std::uint8_t RecordedUsage(const CapturedKey& key, bool down, Flavour flavour);

// Recording captured keys into a sequence at an insert position.
class MacroRecorder {
  public:
    explicit MacroRecorder(MacroSequence& sequence) : sequence_(sequence) {}

    bool recording() const { return recording_; }
    // -1 records the macro afresh (the rows are cleared); otherwise rows are
    // inserted from that position on.
    void Start(int insertPosition);
    void Stop();
    int insertPosition() const { return insert_; }
    void SetInsertPosition(int at) { insert_ = at; }

    // The record-delays option; changing it forgets the last step's time.
    void SetRecordDelays(bool on);
    bool recordDelays() const { return recordDelays_; }

    // A key going down or up at `nowMs` (a steady millisecond clock). Keys
    // with scan code 0 and repeats of a held key are not recorded. Returns
    // false when the step was refused because the macro is full.
    bool Key(const CapturedKey& key, bool down, std::uint64_t nowMs);
    // True once a step was refused for the 480-event limit in this recording.
    bool limitReached() const { return limitReached_; }

  private:
    MacroSequence& sequence_;
    bool recording_ = false;
    bool recordDelays_ = false;
    bool limitReached_ = false;
    std::uint64_t lastStep_ = 0;
    int insert_ = -1;
    std::map<std::uint32_t, bool> held_;
};

// ---- names ---------------------------------------------------------------------------------

// A set name for its 40-byte field: as many whole characters as fit 39 bytes.
void StoreSetName(std::u16string_view name, FixedText<40>& field);
// A macro name for its 24-byte field: as many whole characters as fit, the
// terminator dropped when the name fills the field.
void StoreMacroName(std::u16string_view name, FixedText<24>& field);
template <std::size_t N>
std::u16string NameOf(const FixedText<N>& field);
// The number of characters of a name as the user counts them.
std::size_t NameLength(std::u16string_view name);
// Whether two set names, or two macro names, are one name once the library
// file keeps them (blanks around them dropped, cut to their field, letters
// without regard to case).
bool SameSetName(std::u16string_view a, std::u16string_view b);
bool SameMacroName(std::u16string_view a, std::u16string_view b);

// ---- the working copy of a library ---------------------------------------------------------

// A change of a macro as queued, with the set it belongs to, so that it can be
// sent with the number its set has once every set change is applied.
struct QueuedMacro {
    HIDMSG::_SMacroDefaultData record;
    int setKey;  // key of its set in the working set map; -1 when it has none
};

class MacroLibraryCopy {
  public:
    using SetMap = std::map<int, HIDMSG::_SMacroGroupData>;
    using MacroMap = std::map<int, HIDMSG::_SMacroDefaultData>;

    // Copies a library; the queues start empty.
    void Open(const std::vector<HIDMSG::_SMacroGroupData>& sets,
              const std::vector<HIDMSG::_SMacroDefaultData>& macros);

    const SetMap& sets() const { return sets_; }
    const MacroMap& macros() const { return macros_; }
    HIDMSG::_SMacroGroupData* set(int key);
    HIDMSG::_SMacroDefaultData* macro(int key);

    // Keys of a set's macros in map order.
    std::vector<int> MacrosOfSet(int setKey) const;
    // The key of the live set with that number, -1 when none.
    int SetKeyOfNumber(std::int32_t number) const;
    int liveSets() const;

    // A new set, stored under `key` (which must be free), queued as an addition.
    int AddSet(int key, std::u16string_view name);
    // Queues the deletion, marks the set -1 and its macros -1, and lowers
    // the higher sets (and their macros) by one.
    void DeleteSet(int setKey);
    // A new macro at the end of its set, loop count 1, queued as an addition.
    int AddMacro(int setKey, std::u16string_view name);
    void RenameMacro(int macroKey, std::u16string_view name);
    // Queues the deletion, marks the macro -1 and lowers the later macros of its set.
    void DeleteMacro(int macroKey);
    // Queues a copy of the macro as it stands (a change of its steps, loop count or flag).
    void QueueMacro(int macroKey);

    // A live set whose name is one with `name` once stored.
    bool HasSetNamed(std::u16string_view name) const;
    // A live macro of the set whose name is one with `name` once stored.
    bool SetHasMacroNamed(int setKey, std::u16string_view name, int exceptMacroKey = -1) const;

    // The renumbered library: live sets numbered 0, 1, ... in map order with
    // their macro counts; the macros of each set, set by set, with the set's
    // number and name and numbers 0, 1, ... within the set; deleted macros
    // and macros without a set are dropped.
    void Rebuild(std::vector<HIDMSG::_SMacroGroupData>& sets,
                 std::vector<HIDMSG::_SMacroDefaultData>& macros) const;

    // What OK sends, in order: the queued set records, then the queued macro
    // records with the numbers their sets have after the set changes; changes
    // of macros whose set was deleted are left out.
    const std::vector<HIDMSG::_SMacroGroupData>& setQueue() const { return setQueue_; }
    std::vector<HIDMSG::_SMacroDefaultData> MacroCommands() const;
    std::size_t queuedMacros() const { return macroQueue_.size(); }

  private:
    int SetKeyOf(const HIDMSG::_SMacroDefaultData& macro) const;
    void Queue(int macroKey, std::uint8_t change);

    SetMap sets_;
    MacroMap macros_;
    std::vector<HIDMSG::_SMacroGroupData> setQueue_;
    std::vector<QueuedMacro> macroQueue_;
};

// ---- images of a macro on a key ------------------------------------------------------------

// The light macro slot image of a light macro: slot number, loop count, flag,
// names, count and events from the record; slot bytes 3..9 and the last two
// are kept as they were.
void LightMacroSlotFromRecord(const HIDMSG::_SMacroDefaultData& record, int slot,
                              LightMacroBlock& block);

}  // namespace vyre::macros
