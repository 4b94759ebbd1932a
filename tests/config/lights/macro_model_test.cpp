// The macro editing model: rows shown from a record and saved back,
// recording from captured keys, the library's working copy with its numbering
// and change queues, names in their fields, and the light macro slot image.

#include "config/lights/macro_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace vyre::macros {
namespace {

using HIDMSG::_SMacroDefaultData;
using HIDMSG::_SMacroGroupData;

constexpr CapturedKey kA{0x41, 0x1E, 0x00};
constexpr CapturedKey kB{0x42, 0x30, 0x00};
constexpr CapturedKey kCapsLock{0x14, 0x3A, 0x00};

std::unique_ptr<_SMacroDefaultData> NewRecord() {
    auto r = std::make_unique<_SMacroDefaultData>();
    std::memset(static_cast<void*>(r.get()), 0, sizeof *r);
    return r;
}

std::vector<std::u16string> Texts(const MacroSequence& s) {
    std::vector<std::u16string> out;
    for (const auto& r : s.rows()) out.push_back(r.text);
    return out;
}

TEST(MacroRecording, KeysWithDelaysRepeatsAndTheShortestDelay) {
    MacroSequence seq(Flavour::Key);
    MacroRecorder rec(seq);
    rec.SetRecordDelays(true);
    rec.Start(-1);
    EXPECT_TRUE(rec.Key(kA, true, 1000));
    rec.Key(kA, true, 1010);  // repeats of the held key
    rec.Key(kA, true, 1020);
    rec.Key(kA, false, 1030);
    rec.Key({0x00, 0x00, 0x00}, true, 1040);  // no scan code: not recorded
    EXPECT_EQ(Texts(seq), (std::vector<std::u16string>{u"A Pressed", u"30 ms", u"A Release"}));
    rec.Key(kB, true, 1030);  // less than a millisecond later
    EXPECT_EQ(seq.rows()[3].delay, kShortestRecordedDelay);
    rec.Stop();

    auto r = NewRecord();
    seq.SaveTo(*r);
    ASSERT_EQ(r->eventCount.get(), 3);
    const std::uint8_t* e = reinterpret_cast<const std::uint8_t*>(r->events);
    EXPECT_EQ(std::vector<std::uint8_t>(e, e + 12),
              (std::vector<std::uint8_t>{0x04, 1, 30, 0, 0x04, 2, 12, 0, 0x05, 1, 0, 0}));

    // Without the option no delay rows, and the first step never has one.
    rec.SetRecordDelays(false);
    rec.Start(-1);
    rec.Key(kA, true, 5000);
    rec.Key(kA, false, 5100);
    EXPECT_EQ(Texts(seq), (std::vector<std::u16string>{u"A Pressed", u"A Release"}));
}

TEST(MacroRecording, InsertPositionsAndLightLookup) {
    MacroSequence seq(Flavour::Key);
    MacroRecorder rec(seq);
    rec.Start(-1);
    rec.Key(kA, true, 1);
    rec.Key(kA, false, 2);
    rec.Key(kB, true, 3);
    rec.Key(kB, false, 4);
    rec.Stop();
    // "Start Record After" on row 2 (0-based 1): after it, the rest kept.
    rec.Start(2);
    rec.Key(kCapsLock, true, 10);
    rec.Key(kCapsLock, false, 11);
    rec.Stop();
    EXPECT_EQ(Texts(seq), (std::vector<std::u16string>{u"A Pressed", u"A Release",
                                                       u"Caps lock Pressed", u"Caps lock Release",
                                                       u"B Pressed", u"B Release"}));
    EXPECT_EQ(rec.insertPosition(), -1);
    // The record button starts afresh.
    rec.Start(-1);
    rec.Key(kB, true, 20);
    EXPECT_EQ(seq.size(), 1u);

    // Left Alt: its only row carries the Alt-down flag.
    const CapturedKey altDown{0xA4, 0x38, 0x20}, altUp{0xA4, 0x38, 0x80};
    EXPECT_EQ(RecordedUsage(altDown, true, Flavour::Light), 0xE2);
    EXPECT_EQ(RecordedUsage(altUp, false, Flavour::Light), 0xE2);
    EXPECT_EQ(RecordedUsage(altDown, true, Flavour::Key), 0xE2);
    // Right Alt (extended) going up as 0x81; light macros read it as 1.
    EXPECT_EQ(RecordedUsage({0xA5, 0x38, 0x81}, false, Flavour::Light), 0xE6);
    // A key without a row: the virtual key's low byte.
    EXPECT_EQ(RecordedUsage({0x1FF, 0x7F, 0x00}, true, Flavour::Key), 0xFF);

    MacroSequence light(Flavour::Light);
    MacroRecorder lrec(light);
    lrec.Start(-1);
    lrec.Key(kCapsLock, true, 1);
    lrec.Key(kCapsLock, false, 2);
    EXPECT_EQ(Texts(light), (std::vector<std::u16string>{u"Caps lock On", u"Caps lock Off"}));
    EXPECT_EQ(light.rows()[0].state, 1);
    EXPECT_EQ(light.rows()[1].state, 2);
    light.SetState(0, 2);  // "LED Off" on the first row
    EXPECT_EQ(light.rows()[0].text, u"Caps lock Off");
    EXPECT_EQ(light.rows()[0].state, 2);
}

TEST(MacroRows, ShowAndSaveSumDelaysDropATopDelayAndBoundEdits) {
    auto r = NewRecord();
    r->eventCount = 2;
    r->events[0] = {0x04, 1, 300};
    r->events[1] = {0xF2, 2, 0};
    MacroSequence seq(Flavour::Key);
    seq.Show(*r);
    EXPECT_EQ(Texts(seq),
              (std::vector<std::u16string>{u"A Pressed", u"300 ms", u"Wheel Releaseed"}));
    EXPECT_EQ(seq.rows()[2].icon, RowIcon::Mouse);
    // 300 ms + an inserted 1 ms = 301 ms.
    ASSERT_TRUE(seq.Insert(2, DelayRow(1)));
    // A delay row at the top has no event before it.
    ASSERT_TRUE(seq.Insert(0, DelayRow(50)));
    seq.SaveTo(*r);
    EXPECT_EQ(r->eventCount.get(), 2);
    const auto* e = reinterpret_cast<const std::uint8_t*>(r->events);
    EXPECT_EQ(e[2], 0x2D);
    EXPECT_EQ(e[3], 0x01);
    EXPECT_EQ(r->events[1].delay.get(), 0);

    // Delay rows after one event never overflow the 16-bit field.
    MacroSequence big(Flavour::Key);
    big.Insert(-1, EventRow(0x04, 1, Flavour::Key, nullptr));
    big.Insert(-1, DelayRow(65535));
    big.Insert(-1, DelayRow(2));
    big.SaveTo(*r);
    EXPECT_EQ(r->events[0].delay.get(), 65535);

    // An edit to 0 removes the delay row; other values stay within 1..65535.
    MacroSequence edit(Flavour::Key);
    edit.Insert(-1, {EventRow(0x04, 1, Flavour::Key, nullptr), DelayRow(10), DelayRow(20)});
    EXPECT_EQ(edit.SetDelay(1, 0), 0u);
    EXPECT_EQ(edit.size(), 2u);
    EXPECT_EQ(edit.SetDelay(1, 70000), 65535u);
    EXPECT_EQ(edit.rows()[1].text, u"65535 ms");
    EXPECT_EQ(edit.SetDelay(0, 5), 0u);  // an event row is no delay
    edit.SaveTo(*r);
    EXPECT_EQ(r->eventCount.get(), 1);
    EXPECT_EQ(r->events[0].code, 0x04);  // never an event of code 0
}

TEST(MacroRows, AMacroHoldsAtMost480Events) {
    auto r = NewRecord();
    r->eventCount = 256;
    for (int i = 0; i < 256; ++i) r->events[i] = {0x04, static_cast<std::uint8_t>(1 + i % 2), 0};
    MacroSequence seq(Flavour::Key);
    seq.Show(*r);
    EXPECT_EQ(seq.size(), 256u);

    r->eventCount = 900;  // more than the record holds
    seq.Show(*r);
    EXPECT_EQ(seq.eventRows(), 480u);
    EXPECT_FALSE(seq.Insert(0, EventRow(0xF0, 1, Flavour::Key, nullptr)));
    EXPECT_TRUE(seq.Insert(0, DelayRow(5)));  // a delay is no event
    EXPECT_EQ(seq.eventRows(), 480u);

    // Recording into a full macro refuses the step and keeps what is there.
    MacroRecorder rec(seq);
    rec.SetRecordDelays(true);
    rec.Start(3);
    const std::size_t before = seq.size();
    EXPECT_FALSE(rec.Key(kA, true, 10));
    EXPECT_TRUE(rec.limitReached());
    EXPECT_EQ(seq.size(), before);
    seq.SaveTo(*r);
    EXPECT_EQ(r->eventCount.get(), 480);
}

TEST(MacroNames, FieldsAreCutAtCharacterBoundaries) {
    FixedText<40> set{};
    StoreSetName(u"Ünïcødé-Sätz-Ünïcødé-Sätz-Ünïcødé-Sätz", set);  // 38 chars, 52 bytes
    EXPECT_LE(set.str().size(), 39u);
    const std::u16string back = NameOf(set);
    EXPECT_EQ(back, std::u16string(u"Ünïcødé-Sätz-Ünïcødé-Sätz-Ünïcødé-Sätz").substr(0, back.size()));
    EXPECT_EQ(back.find(u'\uFFFD'), std::u16string::npos);

    FixedText<24> name{};
    StoreMacroName(u"abcdefghijklmnopqrstuvwx", name);  // 24 bytes: no terminator
    EXPECT_EQ(NameOf(name), u"abcdefghijklmnopqrstuvwx");
    StoreMacroName(u"ééééééééééééé", name);  // 13 x 2 bytes: 12 kept
    EXPECT_EQ(NameOf(name), u"éééééééééééé");
    EXPECT_EQ(NameLength(u"a\U0001F600b"), 3u);
}

struct Library {
    Library() {
        for (int s = 0; s < 3; ++s) {
            _SMacroGroupData g{};
            std::memset(static_cast<void*>(&g), 0, sizeof g);
            g.setNumber = s;
            g.macroCount = 2;
            g.name.set(std::string(1, static_cast<char>('A' + s)));
            sets.push_back(g);
            for (int m = 0; m < 2; ++m) {
                auto r = NewRecord();
                r->setNumber = s;
                r->macroNumber = m;
                r->setName = g.name;
                r->name.set(std::string(1, static_cast<char>('A' + s)) + std::to_string(m));
                macros.push_back(*r);
            }
        }
        copy.Open(sets, macros);
    }
    std::vector<_SMacroGroupData> sets;
    std::vector<_SMacroDefaultData> macros;
    MacroLibraryCopy copy;
};

TEST(MacroLibrary, DeletingTheSecondOfThreeSetsRenumbersTheThird) {
    Library t;
    // A change of a macro of the third set, made before the deletion.
    const int c1 = t.copy.MacrosOfSet(2)[1];
    t.copy.QueueMacro(c1);
    t.copy.DeleteSet(1);
    EXPECT_EQ(t.copy.set(2)->setNumber.get(), 1);
    EXPECT_EQ(t.copy.macro(c1)->setNumber.get(), 1);
    EXPECT_EQ(t.copy.liveSets(), 2);
    // A macro of the deleted set changed afterwards is not sent.
    t.copy.QueueMacro(2);

    std::vector<_SMacroGroupData> sets;
    std::vector<_SMacroDefaultData> macros;
    t.copy.Rebuild(sets, macros);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1].name.str(), "C");
    EXPECT_EQ(sets[1].setNumber.get(), 1);
    EXPECT_EQ(sets[1].macroCount.get(), 2);
    ASSERT_EQ(macros.size(), 4u);
    for (const auto& m : macros) EXPECT_NE(m.setName.str(), "B");
    EXPECT_EQ(macros[3].name.str(), "C1");
    EXPECT_EQ(macros[3].setNumber.get(), 1);
    EXPECT_EQ(macros[3].macroNumber.get(), 1);  // numbered within its set

    ASSERT_EQ(t.copy.setQueue().size(), 1u);
    EXPECT_EQ(t.copy.setQueue()[0].change, HIDMSG::kChangeDelete);
    // The set changes reach the Monitor first: the macro goes with its set's new number.
    const auto sent = t.copy.MacroCommands();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].name.str(), "C1");
    EXPECT_EQ(sent[0].setNumber.get(), 1);
    EXPECT_EQ(sent[0].macroNumber.get(), 1);
}

TEST(MacroLibrary, NewSetsAndMacrosAreNumberedAndQueued) {
    Library t;
    t.copy.DeleteSet(0);
    const int key = t.copy.AddSet(3, u"New");
    EXPECT_EQ(t.copy.set(key)->setNumber.get(), 2);  // the sets not marked deleted
    EXPECT_TRUE(t.copy.HasSetNamed(u"new"));
    EXPECT_FALSE(t.copy.HasSetNamed(u"A"));
    const int m0 = t.copy.AddMacro(key, u"first");
    const int m1 = t.copy.AddMacro(key, u"second");
    EXPECT_EQ(t.copy.macro(m1)->macroNumber.get(), 1);
    EXPECT_EQ(t.copy.macro(m0)->loopCount, 1);
    EXPECT_EQ(t.copy.macro(m0)->setName.str(), "New");
    EXPECT_TRUE(t.copy.SetHasMacroNamed(key, u"first"));
    EXPECT_FALSE(t.copy.SetHasMacroNamed(key, u"first", m0));
    t.copy.DeleteMacro(m0);
    EXPECT_EQ(t.copy.macro(m1)->macroNumber.get(), 0);
    EXPECT_EQ(t.copy.set(key)->macroCount.get(), 1);
    t.copy.RenameMacro(m1, u"renamed");

    const auto& sets = t.copy.setQueue();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1].change, HIDMSG::kChangeAdd);
    EXPECT_EQ(sets[1].setNumber.get(), 2);  // A went first: B, C, then the new one
    const auto sent = t.copy.MacroCommands();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].change, HIDMSG::kChangeAdd);
    EXPECT_EQ(sent[2].change, HIDMSG::kChangeDelete);
    EXPECT_EQ(sent[2].name.str(), "first");
    EXPECT_EQ(sent[3].change, HIDMSG::kChangeModify);
    EXPECT_EQ(sent[3].name.str(), "renamed");
    for (const auto& m : sent) EXPECT_EQ(m.setNumber.get(), 2);
}

TEST(MacroImages, ALightMacroOnAKeyKeepsItsSlotBytes) {
    auto r = NewRecord();
    r->loopCount = 7;
    r->set_sendDefaultAction(1);
    r->options[3] = 0x55;  // not taken into the slot
    r->setName.set("Lights");
    r->name.set("Wave");
    r->eventCount = 2;
    r->events[0] = {0x04, 1, 100};
    r->events[1] = {0x04, 2, 0};
    auto block = std::make_unique<LightMacroBlock>();
    std::memset(static_cast<void*>(block.get()), 0xAB, sizeof *block);
    LightMacroSlotFromRecord(*r, 17, *block);
    const auto* b = reinterpret_cast<const std::uint8_t*>(block.get());
    EXPECT_EQ(b[0], 17);
    EXPECT_EQ(b[1], 7);
    EXPECT_EQ(b[2], 1);
    for (int i = 3; i <= 9; ++i) EXPECT_EQ(b[i], 0xAB) << i;
    EXPECT_EQ(b[1996], 0xAB);
    EXPECT_EQ(b[1997], 0xAB);
    EXPECT_EQ(block->name.str(), "Wave");
    EXPECT_EQ(block->setName.str(), "Lights");
    EXPECT_EQ(block->stepCount.get(), 2);
    EXPECT_EQ(b[76], 0x04);
    EXPECT_EQ(b[78], 100);
    EXPECT_EQ(b[84], 0);  // the places past the count come from the record: zero
}

}  // namespace
}  // namespace vyre::macros
