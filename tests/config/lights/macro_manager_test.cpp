// The macro manager and the light macro editor on Qt's offscreen platform:
// notes, sets and names, recording with injected keys, the sequence list's
// menu, the loops box, and what OK sends, in order, to the link window.

#include "config/lights/macro_manager_dlg.h"

#include <gtest/gtest.h>

#include <QTest>

#include <cstring>
#include <memory>

#include "common/link_codes.h"
#include "config/frame/help_ids.h"
#include "platform/hook.h"
#include "config/keys/key_dialog_screenshots.h"
#include "config/lights/macro_screenshots.h"
#include "tests/support/accessibility.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using namespace macro_ids;
using HIDMSG::_SMacroDefaultData;
using HIDMSG::_SMacroGroupData;

constexpr macros::CapturedKey kA{0x41, 0x1E, 0x00};
constexpr macros::CapturedKey kCaps{0x14, 0x3A, 0x00};

// A capture that only says whether it holds the keys.
struct FakeCapture : MacroKeyCapture {
    explicit FakeCapture(int* held) : held_(held) {}
    bool Start(Sink) override {
        ++*held_;
        return true;
    }
    void Stop() override { --*held_; }
    int* held_;
};

// The link window: keeps each request's code and record.
struct LinkStandIn {
    LinkStandIn() {
        window.Create("link", "link", win::HWND_MESSAGE);
        window.Messages().On(link::kMsgRequest, [this](win::WPARAM code, win::LPARAM l) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(l);
            const std::size_t n = link::CommandRecordSize(static_cast<std::uint16_t>(code));
            sent.emplace_back(static_cast<unsigned>(code), std::vector<std::uint8_t>(p, p + n));
            return 0;
        });
    }
    std::uint8_t change(std::size_t i) const { return sent[i].second[8]; }
    std::string macroName(std::size_t i) const {
        return std::string(reinterpret_cast<const char*>(sent[i].second.data() + 58)).substr(0, 24);
    }
    win::Window window;
    std::vector<std::pair<unsigned, std::vector<std::uint8_t>>> sent;
};

struct Editor {
    explicit Editor(macros::Flavour flavour = macros::Flavour::Key) {
        testing::App();
        shared.linkWindow = link.window.GetSafeHwnd();
        dlg = std::make_unique<MacroManagerDlg>(shared, flavour);
        dlg->note = [this](MacroNote n) {
            notes.push_back(n);
            return answer;
        };
        dlg->askSetName = [this]() { return std::optional<std::u16string>(nextSetName); };
        dlg->SetKeyNames(nullptr);
        dlg->SetKeyCapture(std::make_unique<FakeCapture>(&held));
        dlg->Prepare();
        dlg->show();
    }
    void AddSet(const std::u16string& name) {
        nextSetName = name;
        dlg->ChooseSetItem(kAddSet);
    }
    bool NewMacro(const std::u16string& name) {
        dlg->NewMacro();
        return dlg->CommitName(name);
    }
    void Record(std::initializer_list<std::pair<bool, std::uint64_t>> steps,
                macros::CapturedKey key = kA) {
        dlg->RecordButton();
        for (auto [down, ms] : steps) dlg->HookKey(key, down, ms);
        dlg->RecordButton();
    }
    void Pump() {
        win::MSG msg;
        while (win::PeekMessage(msg)) win::DispatchMessage(msg);
    }
    ConfigShared shared;
    LinkStandIn link;
    std::unique_ptr<MacroManagerDlg> dlg;
    std::vector<MacroNote> notes;
    bool answer = true;
    std::u16string nextSetName;
    int held = 0;
};

TEST(MacroManager, NotesWithoutASetOrMacro) {
    Editor t;
    t.dlg->RecordButton();
    t.dlg->RepeatBox(true);
    t.dlg->NewMacro();
    t.dlg->DeleteMacro();
    t.dlg->ChooseSetItem(kDeleteSet);
    EXPECT_EQ(t.notes, (std::vector<MacroNote>{MacroNote::SelectNew, MacroNote::SelectNew,
                                               MacroNote::SelectSet, MacroNote::SelectToDelete,
                                               MacroNote::SelectToDelete}));
    EXPECT_FALSE(t.dlg->recording());
    EXPECT_FALSE(t.dlg->repeatTicked());
    EXPECT_EQ(t.held, 0);
}

TEST(MacroManager, SetsAndMacroNames) {
    Editor t;
    t.AddSet(u"World of Warcraft");
    t.AddSet(u"Mine");
    EXPECT_EQ(t.dlg->setBoxText(), "Mine");
    // The user's sets stand apart from that one: a second separator.
    QStringList items;
    for (QAction* a : t.dlg->setMenu().actions()) items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items, (QStringList{"World of Warcraft", "-", "Mine", "-", "[+]Add Macro Set",
                                  "[X]Delete Macro Set"}));
    // Names already in use (any case) and the index section's name are refused.
    t.AddSet(u"mine");
    t.AddSet(u"SETMACRO");
    EXPECT_EQ(t.dlg->copy().liveSets(), 2);

    EXPECT_FALSE(t.NewMacro(u"abcdefghijklmnopqrstuvwxy"));  // 25 characters
    EXPECT_TRUE(t.dlg->nameEditOpen());
    EXPECT_TRUE(t.dlg->CommitName(u"abcdefghijklmnopqrstuvwx"));
    EXPECT_FALSE(t.NewMacro(u"abcdefghijklmnopqrstuvwx"));  // the set has it
    t.dlg->CancelNameEdit();
    EXPECT_EQ(t.dlg->macroNames(), QStringList{"abcdefghijklmnopqrstuvwx"});
    EXPECT_TRUE(t.NewMacro(u"Two"));
    t.dlg->BeginRename(0);
    EXPECT_TRUE(t.dlg->CommitName(u"One"));
    EXPECT_EQ(t.dlg->macroNames(), (QStringList{"One", "Two"}));

    // Deleting asks; CANCEL keeps the macro.
    t.answer = false;
    t.dlg->SelectMacroRow(1);
    t.dlg->DeleteMacro();
    EXPECT_EQ(t.dlg->macroNames().size(), 2);
    t.answer = true;
    t.dlg->DeleteMacro();
    EXPECT_EQ(t.dlg->macroNames(), QStringList{"One"});
    EXPECT_EQ(t.notes.back(), MacroNote::ConfirmDeleteMacro);
}

TEST(MacroManager, ANameTypedWithoutEnterIsTakenByStartRecordAndOk) {
    Editor t;
    t.AddSet(u"Games");
    t.dlg->NewMacro();
    t.dlg->nameEdit().setText("Jump");
    t.Record({{true, 100}, {false, 130}});
    EXPECT_EQ(t.dlg->macroNames(), QStringList{"Jump"});
    EXPECT_EQ(t.dlg->sequenceTexts().size(), 2);
    t.dlg->NewMacro();
    t.dlg->nameEdit().setText("Duck");
    t.dlg->Ok();
    EXPECT_FALSE(t.dlg->isVisible());
    ASSERT_FALSE(t.link.sent.empty());
    EXPECT_EQ(t.link.macroName(t.link.sent.size() - 1), "Duck");
}

// Names are compared as the library file keeps them: blanks around them
// dropped, cut to their field, without regard to case.
TEST(MacroManager, NamesThatAreOneOnceStoredAreRefused) {
    Editor t;
    t.AddSet(u"dup");
    t.AddSet(u"dup ");
    t.AddSet(u"  ");
    EXPECT_EQ(t.dlg->copy().liveSets(), 1);
    EXPECT_TRUE(t.NewMacro(u"ééééééééééééa"));
    // The same 24 bytes: the twelfth character fills the field.
    EXPECT_FALSE(t.NewMacro(u"ééééééééééééb"));
    t.dlg->CancelNameEdit();
    EXPECT_FALSE(t.NewMacro(u"Éééééééééééé"));
}

TEST(MacroManager, RecordingHoldsTheKeysAndOkSendsEveryChangeInOrder) {
    Editor t;
    t.AddSet(u"Games");
    ASSERT_TRUE(t.NewMacro(u"Jump"));
    t.dlg->RecordDelaysBox(true);
    t.dlg->RecordButton();
    EXPECT_TRUE(t.dlg->recording());
    EXPECT_EQ(t.held, 1);
    EXPECT_EQ(t.dlg->recordCaption(), "STOP RECORD");
    EXPECT_FALSE(t.dlg->okButton().isEnabled());
    EXPECT_FALSE(t.dlg->newButton().isEnabled());
    t.dlg->Ok();  // only the record button works while recording
    EXPECT_TRUE(t.dlg->isVisible());
    t.dlg->HookKey(kA, true, 100);
    t.dlg->HookKey(kA, false, 130);
    t.dlg->RecordButton();
    EXPECT_EQ(t.held, 0);
    EXPECT_EQ(t.dlg->sequenceTexts(), (QStringList{"A Pressed", "30 ms", "A Release"}));
    EXPECT_TRUE(t.dlg->okButton().isEnabled());
    // An edit of the steps: the wheel's click at row 3 (a change code 2 copy).
    t.dlg->SelectSequenceRow(2);
    t.dlg->ChooseSequenceItem(kWheelDown + 2);
    EXPECT_EQ(t.dlg->sequenceTexts(), (QStringList{"A Pressed", "30 ms", "Wheel Pressed",
                                                   "Wheel Releaseed", "A Release"}));
    t.dlg->Ok();
    EXPECT_FALSE(t.dlg->isVisible());

    ASSERT_EQ(t.link.sent.size(), 4u);
    EXPECT_EQ(t.link.sent[0].first, link::link_request::kMacroSet);
    EXPECT_EQ(t.link.change(0), HIDMSG::kChangeAdd);
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(t.link.sent[i].first, link::link_request::kMacro);
    EXPECT_EQ(t.link.change(1), HIDMSG::kChangeAdd);
    EXPECT_EQ(t.link.change(2), HIDMSG::kChangeModify);  // the recording
    EXPECT_EQ(t.link.change(3), HIDMSG::kChangeModify);  // the click
    EXPECT_EQ(t.link.macroName(3), "Jump");
    EXPECT_EQ(t.link.sent[3].second[82], 4);  // four events
    EXPECT_EQ(t.link.sent[3].second[86], 30);  // A's delay

    // The library is the renumbered copy now.
    ASSERT_EQ(t.shared.mirror->macros.size(), 1u);
    EXPECT_EQ(t.shared.mirror->macroSets[0].macroCount.get(), 1);
    EXPECT_EQ(t.shared.mirror->macros[0].eventCount.get(), 4);
}

TEST(MacroManager, CancelAndClosingKeepWhatTheyMust) {
    Editor t;
    t.AddSet(u"Games");
    ASSERT_TRUE(t.NewMacro(u"Jump"));
    t.Record({{true, 1}, {false, 2}});
    t.dlg->Cancel();
    EXPECT_TRUE(t.shared.mirror->macroSets.empty());
    EXPECT_TRUE(t.link.sent.empty());

    // A recording in progress when the editor closes otherwise is kept and the keys let go.
    t.dlg->Prepare();
    t.dlg->show();
    t.AddSet(u"Games");
    ASSERT_TRUE(t.NewMacro(u"Jump"));
    t.dlg->RecordButton();
    t.dlg->HookKey(kA, true, 1);
    EXPECT_EQ(t.held, 1);
    t.dlg->close();
    EXPECT_EQ(t.held, 0);
    EXPECT_FALSE(t.dlg->recording());
    const int key = t.dlg->currentMacroKey();
    EXPECT_EQ(t.dlg->copy().macros().at(key).eventCount.get(), 1);
}

TEST(MacroManager, LoopsDelaysAndTheDeleteKey) {
    Editor t;
    t.AddSet(u"Games");
    ASSERT_TRUE(t.NewMacro(u"Jump"));
    t.Record({{true, 1}, {false, 2}});
    EXPECT_EQ(t.dlg->loopsText(), "1");
    EXPECT_TRUE(t.dlg->repeatTicked());
    t.dlg->LoopsEdited("300");
    EXPECT_EQ(t.dlg->loopsText(), "255");
    EXPECT_EQ(t.notes.back(), MacroNote::LoopsBounded);
    const int key = t.dlg->currentMacroKey();
    EXPECT_EQ(t.dlg->copy().macros().at(key).loopCount, 255);
    t.dlg->LoopsEdited("0");
    EXPECT_EQ(t.dlg->copy().macros().at(key).loopCount, 1);
    t.dlg->RepeatBox(false);
    EXPECT_FALSE(t.dlg->loopsBox().isEnabled());

    // Delay rows: inserted above the selection, edited, edited to 0.
    t.dlg->SelectSequenceRow(1);
    t.dlg->ChooseSequenceItem(kInsertDelay);
    EXPECT_EQ(t.dlg->sequenceTexts(), (QStringList{"A Pressed", "1 ms", "A Release"}));
    t.dlg->SelectSequenceRow(1);
    t.dlg->ChooseSequenceItem(kEditDelay);
    EXPECT_TRUE(t.dlg->delayEditOpen());
    t.dlg->CommitDelay("99999");
    EXPECT_EQ(t.dlg->sequenceTexts()[1], "65535 ms");
    t.dlg->SelectSequenceRow(1);
    t.dlg->ChooseSequenceItem(kEditDelay);
    t.dlg->CommitDelay("0");
    EXPECT_EQ(t.dlg->sequenceTexts(), (QStringList{"A Pressed", "A Release"}));
    EXPECT_EQ(t.dlg->copy().macros().at(key).eventCount.get(), 2);

    // Delete while typing in the loops box edits the box, not the steps.
    t.dlg->RepeatBox(true);
    t.dlg->SelectSequenceRow(0);
    t.dlg->loopsBox().setFocus();
    QTest::keyClick(&t.dlg->loopsBox(), Qt::Key_Delete);
    EXPECT_EQ(t.dlg->sequenceTexts().size(), 2);
    QTest::keyClick(&t.dlg->sequenceList(), Qt::Key_Delete);
    EXPECT_EQ(t.dlg->sequenceTexts(), QStringList{"A Release"});
    EXPECT_EQ(t.dlg->copy().macros().at(key).eventCount.get(), 1);
}

TEST(MacroManager, ARecordingThatFillsTheMacroStopsAndTells) {
    Editor t;
    t.AddSet(u"Games");
    ASSERT_TRUE(t.NewMacro(u"Long"));
    t.dlg->RecordButton();
    for (int i = 0; i < 300; ++i) {
        t.dlg->HookKey(kA, true, 10 + 2 * i);
        t.dlg->HookKey(kA, false, 11 + 2 * i);
    }
    EXPECT_FALSE(t.dlg->recording());
    EXPECT_EQ(t.held, 0);
    EXPECT_EQ(t.notes, std::vector<MacroNote>{MacroNote::MacroFull});
    EXPECT_EQ(t.dlg->copy().macros().at(t.dlg->currentMacroKey()).eventCount.get(), 480);
}

TEST(MacroManager, NewEditDelayTheSetMenuAndReopening) {
    Editor t;
    t.AddSet(u"Games");
    t.AddSet(u"Races");
    ASSERT_TRUE(t.NewMacro(u"Lap"));
    t.Record({{true, 1}, {false, 2}});
    t.dlg->LoopsEdited("7");
    // NEW shows nothing of the macro before.
    t.dlg->NewMacro();
    EXPECT_FALSE(t.dlg->repeatTicked());
    EXPECT_EQ(t.dlg->loopsText(), "");
    t.dlg->CancelNameEdit();
    // Edit Delay: recording goes in at that row.
    t.dlg->SelectMacroRow(0);
    t.dlg->SelectSequenceRow(1);
    t.dlg->ChooseSequenceItem(kInsertDelay);
    t.dlg->SelectSequenceRow(1);
    t.dlg->ChooseSequenceItem(kEditDelay);
    EXPECT_EQ(t.dlg->insertPosition(), 1);
    t.dlg->CommitDelay("5");
    // "[X]Delete Macro Set", refused: no check mark on the command, the set keeps its.
    t.answer = false;
    for (QAction* a : t.dlg->setMenu().actions())
        if (a->data().toInt() == kDeleteSet) a->trigger();
    for (QAction* a : t.dlg->setMenu().actions()) {
        if (a->data().toInt() == kDeleteSet || a->text() == "Races") {
            EXPECT_EQ(a->isChecked(), a->text() == "Races") << a->text().toStdString();
        }
    }
    // Opened again: the set shown last, not an empty box.
    t.dlg->Ok();
    t.dlg->Prepare();
    EXPECT_EQ(t.dlg->setBoxText(), "Races");
    EXPECT_EQ(t.dlg->macroNames(), QStringList{"Lap"});
}

TEST(LightMacroEditor, OnOffRowsAndDeferredSaving) {
    Editor t(macros::Flavour::Light);
    t.AddSet(u"Glow");
    ASSERT_TRUE(t.NewMacro(u"First"));
    t.Record({{true, 1}, {false, 2}}, kCaps);
    EXPECT_EQ(t.dlg->sequenceTexts(), (QStringList{"Caps lock On", "Caps lock Off"}));
    ASSERT_TRUE(t.NewMacro(u"Second"));
    t.dlg->SelectMacroRow(0);
    const std::size_t queued = t.dlg->copy().queuedMacros();
    // "LED Off" on the first row, then another change through the menu: marked, not saved.
    t.dlg->SelectSequenceRow(0);
    t.dlg->ChooseSequenceItem(kLedOff);
    EXPECT_EQ(t.dlg->sequenceTexts(), (QStringList{"Caps lock Off", "Caps lock Off"}));
    t.dlg->SelectSequenceRow(1);
    t.dlg->ChooseSequenceItem(kInsertDelay);
    EXPECT_TRUE(t.dlg->changedMark());
    EXPECT_EQ(t.dlg->copy().queuedMacros(), queued);
    // Another light macro: exactly one change code 2 copy of the first.
    t.dlg->SelectMacroRow(1);
    EXPECT_EQ(t.dlg->copy().queuedMacros(), queued + 1);
    t.dlg->SelectMacroRow(0);
    EXPECT_EQ(t.dlg->copy().queuedMacros(), queued + 1);
    EXPECT_EQ(t.dlg->sequenceTexts(), (QStringList{"Caps lock Off", "1 ms", "Caps lock Off"}));
    // "LED On" on a delay row leaves it a delay.
    t.dlg->SelectSequenceRow(1);
    t.dlg->ChooseSequenceItem(kLedOn);
    EXPECT_EQ(t.dlg->sequenceTexts()[1], "1 ms");

    t.dlg->SendDefaultActionBox(true);
    EXPECT_TRUE(t.dlg->sendDefaultTicked());
    t.dlg->Ok();
    ASSERT_FALSE(t.link.sent.empty());
    EXPECT_EQ(t.link.sent.front().first, link::link_request::kLightMacroSet);
    EXPECT_EQ(t.link.sent.back().first, link::link_request::kLightMacro);
    EXPECT_EQ(t.link.sent.back().second[10], 1);  // the flag
    ASSERT_EQ(t.shared.mirror->lightMacros.size(), 2u);
    EXPECT_TRUE(t.shared.mirror->macros.empty());
    EXPECT_EQ(t.shared.mirror->lightMacros[0].events[0].state, 2);
}

TEST(MacroManager, RecordsFromThePlatformsCaptureAndReleasesItOnEveryWayOut) {
    testing::App();
    ConfigShared shared;
    for (int way = 0; way < 3; ++way) {
        auto dlg = std::make_unique<MacroManagerDlg>(shared, macros::Flavour::Key);
        dlg->SetKeyNames(nullptr);
        dlg->note = [](MacroNote) { return true; };
        dlg->askSetName = [] { return std::optional<std::u16string>(u"Set"); };
        dlg->Prepare();
        dlg->show();
        dlg->AddSet();
        dlg->NewMacro();
        ASSERT_TRUE(dlg->CommitName(u"Keys"));
        dlg->RecordDelaysBox(true);
        dlg->RecordButton();
        ASSERT_TRUE(dlg->keysCaptured());
        dlg->InjectKey(30, true, 5000);  // evdev 30: A
        dlg->InjectKey(30, true, 5020);  // its repeat
        dlg->InjectKey(30, false, 5030);
        EXPECT_EQ(dlg->sequenceTexts(), (QStringList{"A Pressed", "30 ms", "A Release"}));
        EXPECT_EQ(platform::KeyCapture::ActiveCount(), 1);
        if (way == 0) dlg->RecordButton();
        if (way == 1) dlg->close();
        if (way == 2) dlg.reset();  // the Config ending
        EXPECT_EQ(platform::KeyCapture::ActiveCount(), 0) << way;
        if (dlg) {
            EXPECT_FALSE(dlg->keysCaptured());
            EXPECT_EQ(dlg->copy().macros().at(dlg->currentMacroKey()).eventCount.get(), 2);
        }
    }
}

TEST(MacroManager, ItsControlsTellTheOpenersQuickHelpLine) {
    testing::App();
    struct Opener : QWidget, widgets::QuickHelpReceiver {
        void QuickHelp(int id, bool entered) override { seen.emplace_back(id, entered); }
        std::vector<std::pair<int, bool>> seen;
    } opener;
    ConfigShared shared;
    MacroManagerDlg dlg(shared, macros::Flavour::Key, &opener);
    dlg.Prepare();
    testing::PointerEnter(&dlg.okButton());
    testing::PointerLeave(&dlg.okButton());
    EXPECT_EQ(opener.seen, (std::vector<std::pair<int, bool>>{{help::kMacroOk, true},
                                                               {help::kMacroOk, false}}));
}

TEST(MacroManager, OpensBesideTheOpenersPlaceOnTheScreen) {
    testing::App();
    QWidget main;
    main.setGeometry(237, 147, 800, 600);
    QWidget page(&main);
    page.setGeometry(10, 124, 775, 312);
    main.show();
    ConfigShared shared;
    MacroManagerDlg dlg(shared, macros::Flavour::Light, &page);
    dlg.Prepare();
    EXPECT_EQ(dlg.pos(), page.mapToGlobal(QPoint(0, 0)) + QPoint(35, -30));
}

TEST(MacroCreate, EmptyAndTakenNamesKeepTheDialogOpen) {
    testing::App();
    MacroCreateDlg create([](const std::u16string& n) { return n != u"Taken"; }, nullptr);
    create.show();
    EXPECT_FALSE(create.TryOk());
    create.nameEdit().setText("Taken");
    EXPECT_FALSE(create.TryOk());
    EXPECT_TRUE(create.isVisible());
    create.nameEdit().setText("Fresh");
    EXPECT_TRUE(create.TryOk());
    EXPECT_EQ(create.result(), QDialog::Accepted);
    EXPECT_EQ(create.name(), u"Fresh");
}

}  // namespace
}  // namespace vyre

namespace vyre {
namespace {

// Every control of the Config's dialogs (key functions, timers, macro
// managers, set names, notes) has a name a screen reader reads.
TEST(ConfigDialogs, EveryControlHasANameForScreenReaders) {
    testing::App();
    QWidget owner;
    owner.resize(800, 600);
    owner.show();
    int dialogs = 0;
    auto walk = [&](QWidget& dialog, const std::string& name) {
        ++dialogs;
        EXPECT_EQ(testing::UnnamedControls(dialog), std::vector<std::string>{}) << name;
    };
    WriteKeyDialogScreenshots(&owner, walk);
    WriteMacroScreenshots(&owner, walk);
    EXPECT_GT(dialogs, 10);
}

}  // namespace
}  // namespace vyre
