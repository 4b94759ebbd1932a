// Macros and light macros on keys: what the key assignment page writes into
// a key's slot, the editors it opens, and, against a running Monitor and
// emulator, a macro on a key reaching the keyboard after APPLY and playing
// there when the key is pressed.

#include <gtest/gtest.h>

#include <QTimer>

#include <cstring>
#include <fstream>
#include <iterator>

#include "config/keys/key_entries.h"
#include "common/key_slots.h"
#include "config/frame/config_app.h"
#include "config/keys/key_assignment_dlg.h"
#include "config/lights/illumination_dlg.h"
#include "config/lights/macro_manager_dlg.h"
#include "tests/monitor/link/link_rig.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/programs.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using HIDMSG::_SMacroDefaultData;
using HIDMSG::_SMacroGroupData;
using testing::Program;

constexpr int kKeyA = 61;  // a normal key: macros go on its Flexlayer

_SMacroGroupData Set(int number, const char* name, int count) {
    _SMacroGroupData s{};
    std::memset(static_cast<void*>(&s), 0, sizeof s);
    s.setNumber = number;
    s.macroCount = count;
    s.name.set(name);
    return s;
}

std::unique_ptr<_SMacroDefaultData> Macro(int set, const char* setName, const char* name) {
    auto m = std::make_unique<_SMacroDefaultData>();
    std::memset(static_cast<void*>(m.get()), 0, sizeof *m);
    m->setNumber = set;
    m->setName.set(setName);
    m->name.set(name);
    m->loopCount = 1;
    return m;
}

// The item of a menu (and its submenus) whose command has this code and list index.
int ItemOf(CKeyAssignmentDlg& page, QMenu& menu, std::uint8_t code, std::uint32_t index) {
    for (QAction* a : menu.actions()) {
        if (QMenu* sub = a->menu()) {
            if (int id = ItemOf(page, *sub, code, index)) return id;
        } else if (!a->isSeparator()) {
            const int id = a->data().toInt();
            const auto* c = page.menuCommand(id);
            if (c != nullptr && c->code == code && c->index == index) return id;
        }
    }
    return 0;
}

bool HasItem(QMenu& menu, int id) {
    for (QAction* a : menu.actions()) {
        if (QMenu* sub = a->menu()) {
            if (HasItem(*sub, id)) return true;
        } else if (!a->isSeparator() && a->data().toInt() == id) {
            return true;
        }
    }
    return false;
}

struct Page {
    Page() {
        testing::App();
        ResetStoreToDefaults(*mirror, KeyTableUsages());
        mirror->hostSettingsBlock.modelFlag = 2;
        mirror->lightMacroSets = {Set(0, "Glow", 1)};
        auto light = Macro(0, "Glow", "Wave");
        light->loopCount = 9;
        light->set_sendDefaultAction(1);
        light->options[4] = 0x77;  // option bytes past the flag are not the slot's
        light->eventCount = 1;
        light->events[0] = {0x39, 1, 250};
        mirror->lightMacros = {*light};
        mirror->macroSets = {Set(0, "Games", 1)};
        auto macro = Macro(0, "Games", "Jump");
        macro->loopCount = 3;
        macro->eventCount = 2;
        macro->events[0] = {0x04, 1, 30};
        macro->events[1] = {0x04, 2, 0};
        mirror->macros = {*macro};
        page = std::make_unique<CKeyAssignmentDlg>(*mirror);
        page->resize(775, 312);
        page->Initialise();
        page->SetMacroLink([this](unsigned code, const void*) { sent.push_back(code); });
        page->show();
    }
    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
    std::unique_ptr<CKeyAssignmentDlg> page;
    std::vector<unsigned> sent;
};

TEST(MacrosOnKeys, ALightMacroCopiesLoopsAndFlagAndKeepsTheSlotsOwnBytes) {
    Page t;
    t.page->ShowKey(kKeyA, 255);
    const int slot = *FunctionSlot(kKeyA, Layer::Secondary, 0);
    auto* before = reinterpret_cast<std::uint8_t*>(&t.mirror->lightMacroBlocks[0][slot]);
    for (int i = 3; i <= 9; ++i) before[i] = static_cast<std::uint8_t>(0xA0 + i);
    before[1996] = 0x5A;
    before[1997] = 0xA5;
    const int id = ItemOf(*t.page, t.page->secondaryButton().menu(), fncode::kLightMacroFlagged, 0);
    ASSERT_NE(id, 0);
    t.page->ChooseMenuItem(id, Layer::Secondary);

    const auto* b = reinterpret_cast<const std::uint8_t*>(&t.mirror->lightMacroBlocks[0][slot]);
    EXPECT_EQ(b[0], slot);
    EXPECT_EQ(b[1], 9);
    EXPECT_EQ(b[2], 1);
    for (int i = 3; i <= 9; ++i) EXPECT_EQ(b[i], 0xA0 + i) << i;
    EXPECT_EQ(b[1996], 0x5A);
    EXPECT_EQ(b[1997], 0xA5);
    EXPECT_EQ(t.mirror->lightMacroBlocks[0][slot].name.str(), "Wave");
    EXPECT_EQ(t.mirror->lightMacroBlocks[0][slot].steps[0].delay.get(), 250);
    EXPECT_EQ(ReadKeyEntry(*t.mirror, 0, kKeyA, Layer::Secondary, 0)->code,
              fncode::kLightMacroFlagged);
}

TEST(MacrosOnKeys, TheEditorsOpenFromThePageOnTheChosenSet) {
    Page t;
    int lightChanges = 0;
    t.page->onLightMacrosChanged = [&] { ++lightChanges; };
    MacroManagerDlg& manager = t.page->macroManager();
    manager.note = [](MacroNote) { return true; };
    // "Edit Marco" of the set with the key's macro: the set chosen, the macro selected.
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(manager.setBoxText(), "Games");
        EXPECT_EQ(manager.macroNames(), QStringList{"Jump"});
        EXPECT_EQ(manager.macroList().currentRow(), 0);
        EXPECT_EQ(manager.sequenceTexts().size(), 3);
        manager.LoopsEdited("5");
        manager.Ok();
    });
    EXPECT_TRUE(t.page->OpenMacroManager(0, 0));
    EXPECT_EQ(t.mirror->macros[0].loopCount, 5);
    EXPECT_EQ(t.sent, std::vector<unsigned>{link::link_request::kMacro});

    // "Edit Marco" of another set: its first macro, not the row of the key's.
    t.mirror->macroSets.push_back(Set(1, "Other", 2));
    t.mirror->macros.push_back(*Macro(1, "Other", "Duck"));
    t.mirror->macros.push_back(*Macro(1, "Other", "Hide"));
    t.mirror->macros.insert(t.mirror->macros.begin() + 1, *Macro(0, "Games", "Run"));
    t.mirror->macroSets[0].macroCount = 2;
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(manager.setBoxText(), "Other");
        EXPECT_EQ(manager.macroList().currentRow(), 0);
        manager.Cancel();
    });
    EXPECT_FALSE(t.page->OpenMacroManager(1, 1));

    IllMacroManagerDlg& light = t.page->lightMacroEditor();
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(light.setBoxText(), "Glow");
        light.Cancel();
    });
    EXPECT_FALSE(t.page->OpenLightMacroEditor(0));
    EXPECT_EQ(lightChanges, 0);
    QTimer::singleShot(0, [&] { light.Ok(); });
    EXPECT_TRUE(t.page->OpenLightMacroEditor(0));
    EXPECT_EQ(lightChanges, 1);
}

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MacrosOnKeys, AMacroOnAKeyReachesTheKeyboardAndPlaysThere) {
    testing::TempDir folder;
    const auto trace = folder / "sim.trace";
    testing::SimProcess sim(folder.path(), {"--model", "B", "--trace", trace.string()});
    testing::App();
    testing::ScopedEnv home("VYRE_LUMO_HOME", (folder / "home").string());
    testing::MonitorProcess monitor(sim, folder / "home", folder / "monitor.log");
    ASSERT_TRUE(monitor.Ready());

    const int slot = *FunctionSlot(kKeyA, Layer::Secondary, 0);
    CVyreMKConfigApp app;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            dialog.SelectProfile(1);
            CKeyAssignmentDlg& page = dialog.keyAssignmentPage();
            // A macro made in the page's own manager, recorded from injected keys.
            MacroManagerDlg& manager = page.macroManager();
            manager.note = [](MacroNote) { return true; };
            manager.askSetName = [] { return std::optional<std::u16string>(u"Games"); };
            manager.SetKeyNames(nullptr);
            QTimer::singleShot(0, [&] {
                manager.AddSet();
                manager.NewMacro();
                ASSERT_TRUE(manager.CommitName(u"Jump"));
                manager.RecordDelaysBox(true);
                manager.RecordButton();
                manager.InjectKey(30, true, 1000);  // A down, 30 ms, A up
                manager.InjectKey(30, false, 1030);
                manager.RecordButton();
                manager.Ok();
            });
            ASSERT_TRUE(page.OpenMacroManager(-1, -1));
            page.RebuildSubmenu(key_page::kKindMacros);
            page.ShowKey(kKeyA, 255);
            const int id = ItemOf(page, page.secondaryButton().menu(), fncode::kMacro, 0);
            ASSERT_NE(id, 0);
            page.ChooseMenuItem(id, Layer::Secondary);
            dialog.Apply();
            // The keyboard holds the macro in that profile's slot.
            ASSERT_TRUE(testing::Eventually([&] {
                const auto out = sim.Control({"report", "0x0e", "1", std::to_string(slot)}).out;
                return out.rfind("0e 5a 00 01", 0) == 0;  // 82 + 2 x 4 bytes used, profile 1
            }));
            const auto image = sim.Control({"report", "0x0e", "1", std::to_string(slot)}).out;
            EXPECT_NE(image.find("04 01 1e 00 04 02 00 00"), std::string::npos) << image;
            // The active profile of the keyboard is the one shown after APPLY.
            ASSERT_TRUE(testing::Eventually([&] {
                return sim.Control({"report", "5"}).out.substr(0, 8) == "05 03 01";
            }));
            EXPECT_EQ(sim.Control({"press", std::to_string(kKeyA), "1"}).exit, 0);
            dialog.Cancel();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
    char played[64];
    std::snprintf(played, sizeof played, " PLAY %02x 01 04 01 1e 00 04 02 00 00", slot);
    EXPECT_NE(ReadText(trace).find(played), std::string::npos);
}

TEST(MacrosOnKeys, OkOfTheIlluminationPagesEditorRebuildsTheOtherPagesLightMacroMenus) {
    testing::TempDir folder;
    testing::SimProcess sim(folder.path(), {"--model", "B"});
    testing::App();
    testing::ScopedEnv home("VYRE_LUMO_HOME", (folder / "home").string());
    testing::MonitorProcess monitor(sim, folder / "home", folder / "monitor.log");
    ASSERT_TRUE(monitor.Ready());
    CVyreMKConfigApp app;
    app.onDialogShown = [&](CVyreMKConfigDlg& dialog) {
        QTimer::singleShot(0, [&] {
            CKeyAssignmentDlg& keys = dialog.keyAssignmentPage();
            keys.ShowKey(kKeyA, 255);
            EXPECT_EQ(ItemOf(keys, keys.secondaryButton().menu(), fncode::kLightMacro, 0), 0);
            QMenu& illumination = dialog.mainControlPage().illuminationButton().menu();
            EXPECT_FALSE(HasItem(illumination, main_ctrl::kFirstLightMacroItem));
            IllMacroManagerDlg& editor = dialog.illuminationPage().lightMacroEditor();
            editor.note = [](MacroNote) { return true; };
            editor.askSetName = [] { return std::optional<std::u16string>(u"Glow"); };
            QTimer::singleShot(0, [&] {
                editor.AddSet();
                editor.NewMacro();
                ASSERT_TRUE(editor.CommitName(u"Wave"));
                editor.Ok();
            });
            dialog.illuminationPage().OpenLightMacroManager();
            ASSERT_EQ(app.shared().mirror->lightMacros.size(), 1u);
            keys.ShowKey(kKeyA, 255);
            EXPECT_NE(ItemOf(keys, keys.secondaryButton().menu(), fncode::kLightMacro, 0), 0);
            EXPECT_TRUE(HasItem(illumination, main_ctrl::kFirstLightMacroItem));
            dialog.Cancel();
        });
    };
    ASSERT_TRUE(app.InitInstance());
    app.Run();
}

}  // namespace
}  // namespace vyre
