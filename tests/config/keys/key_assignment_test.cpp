// The key assignment page: groups and their greying, what each menu choice
// writes where, the menus of each group, layer and model with their dynamic
// submenus, and the swap rule of the keys-primary record.

#include "config/keys/key_assignment_dlg.h"

#include <gtest/gtest.h>

#include <QTest>

#include <set>

#include "config/keys/key_entries.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using namespace key_page;
using widgets::CKeyBoardBtn;

constexpr int kTilde = 12, kF1 = 2, kPause = 33, kKey5 = 39, kKeyA = 61, kKeyB = 99;
constexpr int kProfileUp = 32860;

struct Page {
    explicit Page(int model = 2, int layout = 0) {
        testing::App();
        ResetStoreToDefaults(*mirror, KeyTableUsages());
        mirror->hostSettingsBlock.modelFlag = static_cast<std::uint8_t>(model);
        mirror->hostSettingsBlock.layoutCode = static_cast<std::uint8_t>(layout);
        page = std::make_unique<CKeyAssignmentDlg>(*mirror);
        page->resize(775, 312);
        // The dialogs some items open are cancelled at once: these tests look
        // at what the page itself writes.
        page->runDialog = [](QDialog&) { return static_cast<int>(QDialog::Rejected); };
        page->Initialise();
        page->show();
    }
    FunctionEntry Entry(int key, Layer layer, int p = 0) {
        return *ReadKeyEntry(*mirror, p, key, layer, page->layoutCode());
    }
    std::uint8_t Usage(int key, int p = 0) { return KeyUsages(*mirror, p)[key]; }
    void Click(int key) { QTest::mouseClick(page->picture().key(key), Qt::LeftButton); }

    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
    std::unique_ptr<CKeyAssignmentDlg> page;
};

// Every item of a menu and its submenus: id -> action.
void Collect(QMenu& menu, std::map<int, QAction*>& items, std::vector<QString>* titles = nullptr) {
    for (QAction* a : menu.actions()) {
        if (QMenu* sub = a->menu()) {
            if (titles) titles->push_back(sub->title());
            Collect(*sub, items, titles);
        } else if (!a->isSeparator()) {
            items[a->data().toInt()] = a;
        }
    }
}

std::vector<QString> SubmenuTitles(QMenu& menu) {
    std::vector<QString> titles;
    for (QAction* a : menu.actions())
        if (a->menu()) titles.push_back(a->menu()->title());
    return titles;
}

HIDMSG::_SMacroDefaultData Macro(int set, const char* setName, const char* name,
                                 std::uint8_t flag = 0) {
    HIDMSG::_SMacroDefaultData m{};
    m.setNumber = set;
    m.setName.set(setName);
    m.name.set(name);
    m.loopCount = 1;
    m.eventCount = 1;
    m.events[0] = {0x04, 1, 10};
    m.set_sendDefaultAction(flag);
    return m;
}

HIDMSG::_SMacroGroupData Group(int set, const char* name) {
    HIDMSG::_SMacroGroupData g{};
    g.setNumber = set;
    g.name.set(name);
    return g;
}

void FillLists(ProfileStore& m) {
    HIDMSG::_STimerSettingData tea{};
    tea.index = 0;
    tea.name.set("Tea");
    tea.seconds = 180;
    m.timers = {tea, tea};
    m.timers[1].index = 1;
    m.timers[1].name.set("Eggs");
    m.macroSets = {Group(0, "Raid"), Group(1, "Xfire")};
    m.macros = {Macro(0, "Raid", "Pull"), Macro(1, "Xfire", "Chat"), Macro(0, "Raid", "Heal")};
    m.lightMacroSets = {Group(0, "Glow")};
    m.lightMacros = {Macro(0, "Glow", "Wave"), Macro(0, "Glow", "Flash", 1)};
    TalkDeviceRecord mouse{};
    mouse.key = 0x00070001;
    mouse.name.set(u"Mouse X");
    mouse.dpiLevels[0] = 800;
    m.talkDevices[mouse.key.get()] = mouse;
}

TEST(KeyAssignment, GreyedKeysSwitchGroupsAndArrowsStepThroughThem) {
    Page t;
    EXPECT_EQ(t.page->currentGroup(), KeyGroup::Normal);
    EXPECT_EQ(t.page->selectedKey(), kTilde);
    EXPECT_TRUE(t.page->picture().key(kF1)->greyed());
    EXPECT_FALSE(t.page->picture().key(kTilde)->greyed());

    t.Click(kF1);  // a greyed key
    EXPECT_EQ(t.page->currentGroup(), KeyGroup::Function);
    EXPECT_EQ(t.page->selectedKey(), kF1);
    EXPECT_EQ(t.page->picture().key(kF1)->state(), CKeyBoardBtn::kSelected);
    EXPECT_FALSE(t.page->picture().key(kF1)->greyed());
    EXPECT_TRUE(t.page->picture().key(kTilde)->greyed());
    EXPECT_NE(t.page->picture().key(kTilde)->state(), CKeyBoardBtn::kSelected);
    EXPECT_TRUE(t.page->picture().key(kThumbKey1)->greyed());
    EXPECT_EQ(&t.page->primaryButton().menu(), &t.page->menuOf(KeyGroup::Function, Layer::Primary));
    EXPECT_EQ(t.page->menuIdOf(KeyGroup::Function, Layer::Secondary), kMenuFunctionKeys);
    EXPECT_EQ(t.page->primaryText(), "F1");
    EXPECT_EQ(t.page->secondaryText(), "Windows Mute");

    // Within the group a click only moves the selection.
    t.Click(14);  // F2
    EXPECT_EQ(t.page->picture().key(kF1)->state(), CKeyBoardBtn::kNormal);
    EXPECT_EQ(t.page->secondaryText(), "Windows Volume Down");

    t.page->NextGroup();
    EXPECT_EQ(t.page->currentGroup(), KeyGroup::Thumb);
    EXPECT_EQ(t.page->selectedKey(), kThumbKey1);
    EXPECT_EQ(t.page->primaryText(), "Profile Down");
    EXPECT_EQ(t.page->secondaryText(), "Caps Lock");
    t.page->NextGroup();
    EXPECT_EQ(t.page->selectedKey(), kTilde);
    t.page->PreviousGroup();
    EXPECT_EQ(t.page->currentGroup(), KeyGroup::Thumb);
    t.page->PreviousGroup();
    EXPECT_EQ(t.page->selectedKey(), kF1);

    // Layout 0 has no Caps Lock key to pick.
    t.page->ShowKey(60, widgets::kKeyClickActive);
    EXPECT_EQ(t.page->selectedKey(), kF1);
}

TEST(KeyAssignment, ChoicesWriteTheEntryOfTheirGroupAndLayer) {
    Page t;
    const int p = 0;
    t.page->ShowKey(kF1, widgets::kKeyClickGreyed);
    t.page->ChooseMenuItem(menu_cmd::kDisable, Layer::Secondary);
    EXPECT_EQ(t.mirror->functionKeyReports[p][3 + 15 * 3], 0);
    EXPECT_EQ(t.page->secondaryText(), "Disabled");
    t.page->ChooseMenuItem(menu_cmd::kStandard, Layer::Secondary);
    EXPECT_EQ(t.mirror->functionKeyReports[p][3 + 15 * 3], 210);
    EXPECT_EQ(t.page->secondaryText(), "Windows Mute");
    t.page->ChooseMenuItem(kProfileUp, Layer::Primary);
    EXPECT_EQ(t.Entry(kF1, Layer::Primary), (FunctionEntry{176, 0, 0}));
    EXPECT_EQ(t.page->primaryText(), "Profile Up");
    EXPECT_TRUE(t.page->picture().key(kF1)->assigned());
    // F3 is third in the function-keys record.
    t.page->ShowKey(3, widgets::kKeyClickActive);
    t.page->ChooseMenuItem(32801, Layer::Secondary);  // Play/Pause
    EXPECT_EQ(t.mirror->functionKeyReports[p][3 + (15 + 2) * 3], 204);

    // Thumb key 3: primary at 2, secondary at 3 + 2.
    t.page->ShowKey(kThumbKey3, widgets::kKeyClickGreyed);
    t.page->ChooseMenuItem(32848, Layer::Primary);    // Shut Down
    t.page->ChooseMenuItem(32874, Layer::Secondary);  // Stop
    EXPECT_EQ(t.mirror->thumbKeyReports[p][3 + 2 * 3], 129);
    EXPECT_EQ(t.mirror->thumbKeyReports[p][3 + 5 * 3], 207);
    EXPECT_EQ(t.page->primaryText(), "Shut Down");

    // A normal key's secondary lives at its Flexlayer position ("5": 5).
    t.page->ShowKey(kKey5, widgets::kKeyClickGreyed);
    t.page->ChooseMenuItem(menu_cmd::kDisable, Layer::Secondary);
    EXPECT_EQ(t.mirror->flexKeyReports[p][4 + 5 * 3], 0);
    t.page->ChooseMenuItem(menu_cmd::kStandard, Layer::Secondary);
    EXPECT_EQ(t.mirror->flexKeyReports[p][4 + 5 * 3], 0x22);
    EXPECT_EQ(t.page->secondaryText(), "5");

    // The other profiles keep what they had; a profile change shows its own.
    EXPECT_EQ(t.mirror->functionKeyReports[1][3], 58);
    t.page->ShowKey(kF1, widgets::kKeyClickGreyed);
    t.mirror->setCurrentProfile(1);
    t.page->Refresh();
    EXPECT_EQ(t.page->primaryText(), "F1");
    t.mirror->setCurrentProfile(0);
    t.page->Refresh();
    EXPECT_EQ(t.page->primaryText(), "Profile Up");

    // An id of no menu writes nothing.
    t.page->ChooseMenuItem(31999, Layer::Primary);
    EXPECT_EQ(t.Entry(kF1, Layer::Primary), (FunctionEntry{176, 0, 0}));
}

TEST(KeyAssignment, StandardAndDisableOnANormalKeysPrimaryLayerKeepEveryUsageOnOneKey) {
    Page t;
    t.page->ShowKey(kKeyA, widgets::kKeyClickActive);
    t.page->ChooseMenuItem(menu_cmd::kDisable, Layer::Primary);
    EXPECT_EQ(t.Usage(kKeyA), 0);
    EXPECT_EQ(t.page->primaryText(), "Disabled");
    EXPECT_TRUE(t.page->picture().key(kKeyA)->assigned());
    t.page->ChooseMenuItem(menu_cmd::kStandard, Layer::Primary);
    EXPECT_EQ(t.Usage(kKeyA), 0x04);
    EXPECT_EQ(t.page->primaryText(), "A");
    EXPECT_FALSE(t.page->picture().key(kKeyA)->assigned());

    // A sends B and B sends A: Standard on A swaps them back.
    KeyUsages(*t.mirror, 0)[kKeyA] = 0x05;
    KeyUsages(*t.mirror, 0)[kKeyB] = 0x04;
    t.page->Refresh();
    EXPECT_EQ(t.page->primaryText(), "B");
    t.page->ChooseMenuItem(menu_cmd::kStandard, Layer::Primary);
    EXPECT_EQ(t.Usage(kKeyA), 0x04);
    EXPECT_EQ(t.Usage(kKeyB), 0x05);
    std::multiset<int> usages(KeyUsages(*t.mirror, 0).begin(), KeyUsages(*t.mirror, 0).end());
    EXPECT_EQ(usages.count(0x04), 1u);
    EXPECT_EQ(usages.count(0x05), 1u);
    // The primary menu offers nothing that would store a function code.
    t.page->ChooseMenuItem(kProfileUp, Layer::Primary);
    EXPECT_EQ(t.Usage(kKeyA), 0x04);
}

TEST(KeyAssignment, AssignUsageSwapsWithTheKeyThatSentTheUsage) {
    std::array<std::uint8_t, report::kRemapKeyCount> usages = KeyTableUsages();
    EXPECT_EQ(AssignUsage(usages, kKeyA, 0x05), kKeyB);
    EXPECT_EQ(usages[kKeyA], 0x05);
    EXPECT_EQ(usages[kKeyB], 0x04);
    EXPECT_EQ(AssignUsage(usages, kKeyA, 0x05), std::nullopt);  // already its usage
    EXPECT_EQ(AssignUsage(usages, kKeyA, 0), std::nullopt);     // nothing to swap with
    EXPECT_EQ(usages[kKeyB], 0x04);
    EXPECT_EQ(AssignUsage(usages, kKeyA, 0x05), std::nullopt);  // no key sent 0x05 any more
    EXPECT_EQ(AssignUsage(usages, 120, 0x05), std::nullopt);    // no such row
    EXPECT_EQ(AssignUsage(usages, -1, 0x05), std::nullopt);
}

TEST(KeyAssignment, EachGroupLayerAndModelHasItsMenus) {
    Page b(2);
    FillLists(*b.mirror);
    b.page->ApplyModel();
    // Model B: light macros on the normal keys' Flexlayer and the thumb keys, timers on function keys.
    const auto normal = SubmenuTitles(b.page->menuOf(KeyGroup::Normal, Layer::Secondary));
    EXPECT_EQ(normal, (std::vector<QString>{"Macro + Preset Function", "LED Macro"}));
    const auto function = SubmenuTitles(b.page->menuOf(KeyGroup::Function, Layer::Secondary));
    EXPECT_EQ(function, (std::vector<QString>{"Assing Timer", "Profile"}));
    EXPECT_EQ(SubmenuTitles(b.page->menuOf(KeyGroup::Thumb, Layer::Primary)),
              (std::vector<QString>{"Kalvex Talk Function", "Macro + Preset Function", "LED Macro",
                                    "Profile", "Mulitmedia", "Internet Explorer", "System"}));
    EXPECT_EQ(SubmenuTitles(b.page->menuOf(KeyGroup::Thumb, Layer::Secondary)),
              (std::vector<QString>{"Macro + Preset Function", "LED Macro", "Profile", "Mulitmedia",
                                    "Internet Explorer", "System"}));
    EXPECT_TRUE(SubmenuTitles(b.page->menuOf(KeyGroup::Normal, Layer::Primary)).empty());
    std::map<int, QAction*> primary;
    Collect(b.page->menuOf(KeyGroup::Normal, Layer::Primary), primary);
    EXPECT_EQ(primary.size(), 3u);
    EXPECT_TRUE(primary.count(menu_cmd::kRemap));

    // Talk items only on the thumb keys' primary layer.
    for (KeyGroup g : {KeyGroup::Normal, KeyGroup::Function, KeyGroup::Thumb}) {
        for (Layer l : {Layer::Primary, Layer::Secondary}) {
            std::map<int, QAction*> items;
            Collect(b.page->menuOf(g, l), items);
            const bool talk = items.count(kFirstTalkItem) == 1;
            EXPECT_EQ(talk, g == KeyGroup::Thumb && l == Layer::Primary);
            const bool timers = items.count(kFirstTimerItem) == 1;
            EXPECT_EQ(timers, g == KeyGroup::Function);
            const bool light = items.count(kFirstLightMacroItem) == 1;
            EXPECT_EQ(light, g != KeyGroup::Function && !(g == KeyGroup::Normal && l == Layer::Primary));
        }
    }

    // Model A: timers everywhere they stand, no light macros.
    Page a(1);
    FillLists(*a.mirror);
    a.page->ApplyModel();
    EXPECT_EQ(SubmenuTitles(a.page->menuOf(KeyGroup::Normal, Layer::Secondary)),
              (std::vector<QString>{"Macro + Preset Function", "Assing Timer"}));
    std::map<int, QAction*> thumb;
    Collect(a.page->menuOf(KeyGroup::Thumb, Layer::Secondary), thumb);
    EXPECT_TRUE(thumb.count(kFirstTimerItem));
    EXPECT_FALSE(thumb.count(kFirstLightMacroItem));
    EXPECT_FALSE(thumb.count(menu_cmd::kCreateLightMacro));
}

TEST(KeyAssignment, DynamicItemsHaveTheirIdsAndRecordsAndRebuildInPlace) {
    Page t(2);
    FillLists(*t.mirror);
    for (int round = 0; round < 2; ++round) {  // a second rebuild replaces, never adds
        for (int kind : {kKindMacros, kKindTimers, kKindTalk, kKindLightMacros})
            t.page->RebuildSubmenu(kind);
    }
    std::map<int, QAction*> items;
    std::vector<QString> titles;
    Collect(t.page->menuOf(KeyGroup::Thumb, Layer::Primary), items, &titles);
    EXPECT_EQ(titles.size(), std::set<QString>(titles.begin(), titles.end()).size() + 0u)
        << "no submenu twice";
    EXPECT_EQ(items.at(kFirstMacroGroupItem)->text(), "Edit Marco");
    EXPECT_EQ(items.at(kFirstMacroItem)->text(), "Pull");
    EXPECT_EQ(items.at(kFirstMacroItem + 1)->text(), "Heal");
    EXPECT_EQ(items.at(kFirstMacroItem + 2)->text(), "Chat");
    EXPECT_EQ(items.at(kFirstLightMacroGroupItem)->text(), "Edit LED Marco");
    EXPECT_EQ(items.at(kFirstTalkItem)->text(), "Flexlayer[+]:Mouse X");
    EXPECT_EQ(items.at(kFirstTalkItem + 2)->text(), "Mouse X 800 DPI");
    EXPECT_FALSE(items.count(kFirstTalkItem + 3));  // stages without a level stay out
    ASSERT_NE(t.page->menuCommand(kFirstMacroItem + 1), nullptr);
    EXPECT_EQ(t.page->menuCommand(kFirstMacroItem + 1)->index, 2u);  // "Heal" is list entry 2
    EXPECT_EQ(t.page->menuCommand(kFirstMacroItem + 1)->code, fncode::kMacro);
    EXPECT_EQ(t.page->menuCommand(kFirstLightMacroItem)->code, fncode::kLightMacro);
    EXPECT_EQ(t.page->menuCommand(kFirstLightMacroItem + 1)->code, fncode::kLightMacroFlagged);
    EXPECT_EQ(t.page->menuCommand(kFirstTalkItem + 2)->code, fncode::kTalkDpiStage1);
    EXPECT_EQ(t.page->menuCommand(kFirstTalkItem)->deviceKey, 0x00070001u);
    std::map<int, QAction*> function;
    Collect(t.page->menuOf(KeyGroup::Function, Layer::Primary), function);
    EXPECT_EQ(function.at(kFirstTimerItem + 1)->text(), "Eggs");
    EXPECT_EQ(t.page->menuCommand(kFirstTimerItem + 1)->code, fncode::kTimer);

    // A list that shrinks takes its items and their records with it.
    t.mirror->timers.pop_back();
    t.page->RebuildSubmenu(kKindTimers);
    EXPECT_EQ(t.page->menuCommand(kFirstTimerItem + 1), nullptr);
    function.clear();
    Collect(t.page->menuOf(KeyGroup::Function, Layer::Secondary), function);
    EXPECT_FALSE(function.count(kFirstTimerItem + 1));
}

TEST(KeyAssignment, DynamicItemsFillTheKeysSlots) {
    Page t(2);
    FillLists(*t.mirror);
    t.page->ApplyModel();
    const int p = 0;
    // A timer on F1's primary layer: slot 112.
    t.page->ShowKey(kF1, widgets::kKeyClickGreyed);
    t.page->ChooseMenuItem(kFirstTimerItem + 1, Layer::Primary);
    EXPECT_EQ(t.Entry(kF1, Layer::Primary), (FunctionEntry{188, 0, 0}));
    EXPECT_EQ(t.mirror->hostSettingsBlock.keyTimers[p][112].name.str(), "Eggs");
    EXPECT_EQ(t.page->primaryText(), "Eggs");
    // The Pause key's secondary slot holds no timer: nothing is written.
    t.page->ShowKey(kPause, widgets::kKeyClickActive);
    t.page->ChooseMenuItem(kFirstTimerItem, Layer::Secondary);
    EXPECT_EQ(t.Entry(kPause, Layer::Secondary), (FunctionEntry{0, 0, 0}));

    // A macro on "5"'s Flexlayer: slot 16 + 5, the image made for that profile and slot.
    t.page->ShowKey(kKey5, widgets::kKeyClickGreyed);
    t.page->ChooseMenuItem(kFirstMacroItem + 1, Layer::Secondary);
    EXPECT_EQ(t.Entry(kKey5, Layer::Secondary), (FunctionEntry{190, 0, 0}));
    const MacroReportImage& image = t.mirror->macroReports[p][21];
    EXPECT_EQ(image.name.str(), "Heal");
    EXPECT_EQ(image.slot, 21);
    EXPECT_EQ(image.profile, p);
    EXPECT_EQ(t.page->secondaryText(), "Heal");
    std::map<int, QAction*> items;
    Collect(t.page->secondaryButton().menu(), items);
    EXPECT_TRUE(items.at(kFirstMacroItem + 1)->isChecked());  // the assigned macro is marked
    EXPECT_FALSE(items.at(kFirstMacroItem)->isChecked());

    // Light macros: the flagged one keeps its code on a normal key, and
    // becomes 191 on a function key.
    t.page->ChooseMenuItem(kFirstLightMacroItem + 1, Layer::Secondary);
    EXPECT_EQ(t.Entry(kKey5, Layer::Secondary).code, fncode::kLightMacroFlagged);
    EXPECT_EQ(t.mirror->lightMacroBlocks[p][21].name.str(), "Flash");
    EXPECT_EQ(t.mirror->lightMacroBlocks[p][21].slot, 21);
    EXPECT_EQ(t.page->secondaryText(), "Flash");
    t.page->ShowKey(kF1, widgets::kKeyClickGreyed);
    t.page->ChooseMenuItem(kFirstLightMacroItem + 1, Layer::Secondary);
    EXPECT_EQ(t.Entry(kF1, Layer::Secondary).code, fncode::kLightMacro);
    EXPECT_EQ(t.mirror->lightMacroBlocks[p][127].name.str(), "Flash");

    // A talk item on thumb key 2's primary layer: its talk entry (5 + 1).
    t.page->ShowKey(kThumbKey2, widgets::kKeyClickGreyed);
    t.page->ChooseMenuItem(kFirstTalkItem + 1, Layer::Primary);
    const TalkCommandEntry& talk = t.mirror->hostSettingsBlock.talkCommands[p][6];
    EXPECT_EQ(talk.deviceKey(), 0x00070001u);
    EXPECT_EQ(talk.function, fncode::kTalkFlexlayerLock);
    EXPECT_EQ(talk.name.str(), u"Flexlayer[+]:Mouse X Lock/Unlock");
    EXPECT_EQ(t.Entry(kThumbKey2, Layer::Primary).code, fncode::kTalkFlexlayerLock);
    EXPECT_EQ(t.page->primaryText(), "Flexlayer[+]:Mouse X Lock/Unlock");
    // ... but never on a secondary layer.
    t.page->ChooseMenuItem(kFirstTalkItem, Layer::Secondary);
    EXPECT_EQ(t.Entry(kThumbKey2, Layer::Secondary).code, fncode::kOpenPlayer);

    // The dialog items open nothing yet and change nothing.
    t.page->ChooseMenuItem(menu_cmd::kAssignShortcut, Layer::Secondary);
    t.page->ChooseMenuItem(menu_cmd::kQuickLaunch, Layer::Secondary);
    EXPECT_EQ(t.Entry(kThumbKey2, Layer::Secondary).code, fncode::kOpenPlayer);
}

TEST(KeyAssignment, KeysWithoutAPositionOfferNothingOnThatLayer) {
    Page t(2, 12);
    EXPECT_TRUE(t.page->picture().key(60)->isVisible());  // Caps Lock on layout 12
    t.page->ShowKey(0, widgets::kKeyClickActive);        // M1: no Flexlayer position
    EXPECT_EQ(t.page->primaryText(), "M1");
    EXPECT_FALSE(t.page->secondaryButton().isEnabled());
    const auto before = std::vector<std::uint8_t>(std::begin(t.mirror->flexKeyReports[0]),
                                                  std::end(t.mirror->flexKeyReports[0]));
    t.page->ChooseMenuItem(menu_cmd::kDisable, Layer::Secondary);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), std::begin(t.mirror->flexKeyReports[0])));
    // Layout 12's yen key stands at position 13.
    t.page->ShowKey(32, widgets::kKeyClickActive);
    t.page->ChooseMenuItem(menu_cmd::kDisable, Layer::Secondary);
    EXPECT_EQ(t.mirror->flexKeyReports[0][4 + 13 * 3], 0);
}

TEST(KeyAssignment, ThumbKeysTwoAndThreeShowTheTwoStatePicture) {
    Page t(2, 0);
    t.page->ShowKey(kThumbKey2, widgets::kKeyClickActive);
    EXPECT_TRUE(t.page->thumbPicture().isVisible());
    EXPECT_TRUE(t.page->thumbPicture().lit());
    EXPECT_FALSE(t.page->enlargedKey().isVisible());
    t.page->ShowKey(kThumbKey3, widgets::kKeyClickActive);
    EXPECT_TRUE(t.page->thumbPicture().isVisible());
    EXPECT_FALSE(t.page->thumbPicture().lit());
    t.page->ShowKey(kThumbKey1, widgets::kKeyClickActive);
    EXPECT_FALSE(t.page->thumbPicture().isVisible());
    EXPECT_FALSE(t.page->enlargedKey().isVisible());
    t.page->ShowKey(12, widgets::kKeyClickActive);
    EXPECT_TRUE(t.page->enlargedKey().isVisible());
    EXPECT_FALSE(t.page->thumbPicture().isVisible());
}

TEST(KeyAssignment, AKeyAtTwoFlexlayerPositionsGetsItsEntryAtBoth) {
    auto store = NewProfileStore();
    constexpr int kK151 = 102;  // positions 62 and 64 on layout 13
    ASSERT_TRUE(WriteKeyEntry(*store, 1, kK151, Layer::Secondary, 13, {0x42, 1, 2}));
    for (int position : {62, 64}) {
        const std::uint8_t* entry =
            store->flexKeyReports[1] + report::kFlexKeyEntries + position * 3;
        EXPECT_EQ(entry[0], 0x42) << position;
        EXPECT_EQ(entry[2], 2) << position;
    }
}

}  // namespace
}  // namespace vyre
