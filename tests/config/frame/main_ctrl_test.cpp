// The main control page: what each control writes into the mirror, what the
// refresh shows again, the menus built from the mirror's lists, and Reset.

#include "config/frame/main_ctrl_dlg.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>

#include <set>

#include "common/key_table.h"
#include "common/profile_store.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using namespace main_ctrl;

struct Page {
    explicit Page(int model = 2) {
        testing::App();
        ResetStoreToDefaults(*shared.mirror, KeyTableUsages());
        shared.mirror->hostSettingsBlock.modelFlag = static_cast<std::uint8_t>(model);
        page = std::make_unique<CMainCtrlDlg>(shared);
        page->SetKeyboardRepeat(platform::MakeMemoryKeyboardRepeat({1, 31}));
        page->resize(775, 312);
        page->ApplyModel(model);
        page->show();
    }
    ProfileStore& mirror() { return *shared.mirror; }
    std::uint8_t& capsCode(int p) { return mirror().profileOptionReports[p][3]; }
    std::uint8_t& optionBits(int p) { return mirror().lightOptionReports[p][3]; }
    std::uint8_t* light(int p) { return mirror().lightReports[p]; }
    TalkCommandEntry& capsTalk(int p) { return mirror().hostSettingsBlock.talkCommands[p][8]; }
    void SelectProfile(int p) {
        mirror().setCurrentProfile(p);
        page->Refresh();
    }

    testing::TempDir home;
    testing::ScopedEnv homeEnv{"VYRE_LUMO_HOME", home.path().string()};
    ConfigShared shared;
    std::unique_ptr<CMainCtrlDlg> page;
};

// The action of a menu (searched through its submenus) by its item id.
QAction* Item(QMenu& menu, int id) {
    for (QAction* a : menu.actions()) {
        if (QMenu* sub = a->menu()) {
            if (QAction* found = Item(*sub, id)) return found;
        } else if (!a->isSeparator() && a->data().toInt() == id) {
            return a;
        }
    }
    return nullptr;
}

TEST(MainControl, CapsLockMenuStoresTheCodeAndNamesIt) {
    Page t;
    QMenu& menu = t.page->capsButton().menu();
    ASSERT_NE(Item(menu, kStandard), nullptr);
    Item(menu, kStandard)->trigger();
    EXPECT_EQ(t.capsCode(0), 57);
    EXPECT_EQ(t.page->capsText(), "Caps Lock");
    Item(menu, kDisable)->trigger();
    EXPECT_EQ(t.capsCode(0), 0);
    EXPECT_EQ(t.page->capsText(), "Disabled");
    EXPECT_TRUE(Item(menu, kDisable)->isChecked());
    EXPECT_FALSE(Item(menu, kStandard)->isChecked());

    t.page->ChooseCapsItem(kFlexlayerAllDevices);
    EXPECT_EQ(t.capsCode(0), 140);
    EXPECT_EQ(t.capsTalk(0).function, 140);
    t.page->ChooseCapsItem(kFlexlayerThisKeyboard);
    EXPECT_EQ(t.capsCode(0), 255);
    EXPECT_EQ(t.capsTalk(0).function, 255);
    EXPECT_EQ(t.page->capsText(), "Flexlayer[+] Vyre Lumo");
    EXPECT_EQ(t.capsCode(1), 255);  // the other profiles keep their default
}

TEST(MainControl, TalkDeviceItemsAreBuiltStoredAndShownAgain) {
    Page t;
    TalkDeviceRecord mouse{};
    mouse.key = 0x00070001;
    mouse.name.set(u"Mouse X");
    mouse.dpiLevels[0] = 800;
    mouse.dpiLevels[2] = 1600;  // stages 2, 4 and 5 have no level
    t.mirror().talkDevices[mouse.key.get()] = mouse;
    t.page->RebuildTalkMenu();
    t.page->RebuildTalkMenu();  // a second rebuild replaces, never adds

    QMenu& menu = t.page->capsButton().menu();
    ASSERT_EQ(menu.actions().size(), 5);  // Vyre Lumo, talk popup, separator, Standard, Disable
    QMenu* talk = menu.actions()[1]->menu();
    ASSERT_NE(talk, nullptr);
    EXPECT_EQ(talk->title(), "Kalvex Talk Function");
    ASSERT_EQ(talk->actions().size(), 3);  // all devices, separator, the mouse
    QMenu* device = talk->actions()[2]->menu();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->title(), "KALVEX Talk:Mouse X");
    std::vector<QString> texts;
    for (QAction* a : device->actions())
        if (!a->isSeparator()) texts.push_back(a->text());
    EXPECT_EQ(texts,
              (std::vector<QString>{"Flexlayer[+]:Mouse X", "Flexlayer[+]:Mouse X Lock/Unlock",
                                    "Mouse X 800 DPI", "Mouse X 1600 DPI"}));
    ASSERT_NE(Item(menu, 103), nullptr);
    EXPECT_EQ(Item(menu, 103)->text(), "Mouse X 1600 DPI");

    Item(menu, 103)->trigger();
    EXPECT_EQ(t.capsCode(0), 249);  // DPI stage 3
    EXPECT_EQ(t.capsTalk(0).deviceKey(), 0x00070001u);
    EXPECT_EQ(t.capsTalk(0).function, 249);
    EXPECT_EQ(t.capsTalk(0).name.str(), u"Mouse X 1600 DPI");

    t.SelectProfile(1);
    EXPECT_EQ(t.page->capsText(), "Flexlayer[+] Vyre Lumo");
    t.SelectProfile(0);
    EXPECT_EQ(t.page->capsText(), "Mouse X 1600 DPI");
    EXPECT_TRUE(Item(menu, 103)->isChecked());

    // The longest item text keeps all of its 40 units.
    t.page->ChooseCapsItem(101);
    EXPECT_EQ(t.capsTalk(0).name.str(), u"Flexlayer[+]:Mouse X Lock/Unlock");
}

TEST(MainControl, EachModelShowsItsOwnControls) {
    Page a(1);
    EXPECT_FALSE(a.page->repeatDelaySlider().isHidden());
    EXPECT_FALSE(a.page->repeatTest().isHidden());
    EXPECT_TRUE(a.page->lightLevelSlider().isHidden());
    EXPECT_TRUE(a.page->illuminationButton().isHidden());
    EXPECT_TRUE(a.page->openButton().isHidden());
    EXPECT_FALSE(a.page->resetButton().isHidden());

    Page b(2);
    EXPECT_TRUE(b.page->repeatDelaySlider().isHidden());
    EXPECT_TRUE(b.page->repeatRateSlider().isHidden());
    EXPECT_TRUE(b.page->repeatTest().isHidden());
    EXPECT_FALSE(b.page->lightLevelSlider().isHidden());
    EXPECT_FALSE(b.page->illuminationButton().isHidden());
    EXPECT_FALSE(b.page->openButton().isHidden());

    b.page->ApplyModel(0);  // no model yet: the layout stays
    EXPECT_FALSE(b.page->openButton().isHidden());
}

void Click(QWidget& box) {
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(5, 9));
    QCoreApplication::processEvents();
}

TEST(MainControl, OptionBoxesActOnTheBoxStateWhenPressed) {
    Page t;
    ASSERT_EQ(t.optionBits(0), 0x3F);
    widgets::CSkinCheckBox& first = t.page->optionBox(0);  // bit 2
    ASSERT_TRUE(first.isChecked());
    Click(first);
    EXPECT_EQ(t.optionBits(0), 0x3B);
    EXPECT_FALSE(first.isChecked());

    // The bit set behind the box's back: an unticked box sets it (it never clears it).
    t.optionBits(0) = 0x3F;
    Click(first);
    EXPECT_EQ(t.optionBits(0), 0x3F);
    EXPECT_TRUE(first.isChecked());

    // Pressed, then let go outside: the press acted, and the box shows what is stored.
    QTest::mousePress(&t.page->optionBox(3), Qt::LeftButton, {}, QPoint(5, 9));  // bit 0
    QTest::mouseRelease(&t.page->optionBox(3), Qt::LeftButton, {}, QPoint(-50, -50));
    QCoreApplication::processEvents();
    EXPECT_EQ(t.optionBits(0), 0x3E);
    EXPECT_FALSE(t.page->optionBox(3).isChecked());

    // The space bar is a click too.
    t.page->optionBox(4).setFocus();
    QTest::keyClick(&t.page->optionBox(4), Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_EQ(t.optionBits(0), 0x1E);
    EXPECT_FALSE(t.page->optionBox(4).isChecked());

    // Bit 1 has no box; the refresh ticks exactly the boxes whose bit is set.
    t.optionBits(0) = 0x02 | 0x20;
    t.page->Refresh();
    std::vector<bool> ticked;
    for (int i = 0; i < 5; ++i) ticked.push_back(t.page->optionBox(i).isChecked());
    EXPECT_EQ(ticked, (std::vector<bool>{false, false, false, false, true}));
}

TEST(MainControl, SlidersAndBoxesWriteTheProfileAndRepeatActsAtOnce) {
    Page t(1);
    t.SelectProfile(2);
    t.page->repeatDelaySlider().setValue(0);
    t.page->repeatRateSlider().setValue(7);
    EXPECT_EQ(t.mirror().hostRecord(2).repeatDelay.get(), 0);
    EXPECT_EQ(t.mirror().hostRecord(2).repeatRate.get(), 7);
    EXPECT_EQ(t.page->keyboardRepeat().Get().delay, 3);  // the system's delay is 3 minus it
    EXPECT_EQ(t.page->keyboardRepeat().Get().speed, 7);

    // A refresh shows the mirror without touching the system.
    t.mirror().hostRecord(2).repeatDelay = 2;
    t.page->Refresh();
    EXPECT_EQ(t.page->repeatDelaySlider().value(), 2);
    EXPECT_EQ(t.page->keyboardRepeat().Get().delay, 3);

    t.page->volumeSlider().setValue(4);
    EXPECT_EQ(t.mirror().hostRecord(2).soundSettings.volumeStep, 4);
    t.mirror().hostRecord(2).soundSettings.sounds = 0;
    t.page->Refresh();
    QTest::mouseClick(&t.page->soundBox(1), Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_EQ(t.mirror().hostRecord(2).soundSettings.sounds, SoundSettings::kProfileSound);
    QTest::mouseClick(&t.page->soundBox(1), Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_EQ(t.mirror().hostRecord(2).soundSettings.sounds, 0);

    QTest::mouseClick(&t.page->fnChoice(1), Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_EQ(t.mirror().profileOptionReports[2][4], 0xE7);
    QTest::mouseClick(&t.page->fnChoice(0), Qt::LeftButton, {}, QPoint(5, 9));
    EXPECT_EQ(t.mirror().profileOptionReports[2][4], 0xF1);
    t.mirror().profileOptionReports[2][4] = 0x00;  // anything else shows the Windows key
    t.page->Refresh();
    EXPECT_TRUE(t.page->fnChoice(1).isChecked());
}

TEST(MainControl, IlluminationLightMacrosAndDelay) {
    Page t;
    for (const char* name : {"Pulse", "Wave"}) {
        HIDMSG::_SMacroDefaultData m{};
        m.setName.set("Lights");
        m.name.set(name);
        m.loopCount = 5;
        m.eventCount = 3;
        m.events[0] = {0x04, 1, 100};
        t.mirror().lightMacros.push_back(m);
    }
    t.page->RebuildIlluminationMenu();
    QMenu& menu = t.page->illuminationButton().menu();
    ASSERT_NE(Item(menu, 351), nullptr);
    EXPECT_EQ(Item(menu, 351)->text(), "Wave");

    t.SelectProfile(1);
    Item(menu, 351)->trigger();
    const MacroReportImage& e = t.mirror().effectReports[1];
    EXPECT_EQ(e.id, 25);
    EXPECT_EQ(e.profile, 1);
    EXPECT_EQ(e.loopCount, 1);
    EXPECT_EQ(e.name.str(), "Wave");
    EXPECT_EQ(e.usedLength.get(), 3 * 4 + 82);
    EXPECT_EQ(t.light(1)[12], 2);
    EXPECT_EQ(t.page->illuminationText(), "Wave");
    t.SelectProfile(0);
    EXPECT_EQ(t.page->illuminationText(), "Illumination 20%");
    t.SelectProfile(1);
    EXPECT_EQ(t.page->illuminationText(), "Wave");

    t.page->ChooseIlluminationItem(kStarlitSky);
    EXPECT_EQ(t.light(1)[12], 1);
    EXPECT_EQ(t.page->illuminationText(), "Starlit sky");
    t.page->ChooseIlluminationItem(kFallAsleep);
    EXPECT_EQ(t.light(1)[12], 3);
    t.page->ChooseIlluminationItem(kIlluminationItems[4]);
    EXPECT_EQ(t.light(1)[4], 4);
    EXPECT_EQ(t.light(1)[12], 0);
    EXPECT_EQ(t.page->illuminationText(), "Illumination 80%");

    // A light macro item left from a longer list does nothing.
    t.mirror().lightMacros.pop_back();
    t.page->ChooseIlluminationItem(351);
    EXPECT_EQ(t.light(1)[12], 0);

    t.page->ChooseAfterItem(AfterItemId(20));
    EXPECT_EQ(t.light(1)[5], 20);
    EXPECT_EQ(t.page->afterText(), "20");
    std::set<int> ids;
    for (int n = 1; n <= kAfterMax; ++n) {
        ids.insert(AfterItemId(n));
        EXPECT_EQ(AfterNumber(AfterItemId(n)), n);
    }
    EXPECT_EQ(ids.size(), 30u);
    EXPECT_EQ(AfterItemId(14), 32823);
    EXPECT_EQ(AfterItemId(15), 32824);
    EXPECT_EQ(AfterItemId(30), 32839);
    EXPECT_EQ(AfterNumber(32840), 0);
}

TEST(MainControl, ResetAnsweredWithCancelOrOkWithoutAMonitor) {
    Page t;
    t.capsCode(3) = 0;
    t.mirror().hostRecord(3).name.set(u"Mine");
    t.mirror().statistics().lifetime[0] = 1234;
    t.page->SetKeyboardRepeat(platform::MakeMemoryKeyboardRepeat({3, 2}));
    bool redrawn = false;
    t.page->onReset = [&] { redrawn = true; };

    t.page->confirmReset = [] { return false; };
    t.page->Reset();
    EXPECT_EQ(t.capsCode(3), 0);
    EXPECT_FALSE(redrawn);

    t.page->confirmReset = [] { return true; };
    t.page->Reset();
    EXPECT_EQ(t.capsCode(3), 255);
    EXPECT_EQ(t.mirror().hostRecord(3).name.str(), u"Default4");
    EXPECT_EQ(t.mirror().statistics().lifetime[0].get(), 1234);  // kept
    EXPECT_EQ(t.page->keyboardRepeat().Get().delay, 1);
    EXPECT_EQ(t.page->keyboardRepeat().Get().speed, 31);
    EXPECT_TRUE(redrawn);
    EXPECT_EQ(t.shared.busy.load(), 0);  // no Monitor: nothing to wait for
}

}  // namespace
}  // namespace vyre

namespace vyre {
namespace {

TEST(MainControl, AnUnknownIlluminationLevelShowsNoIlluminationNeverAStaleText) {
    Page t;
    t.light(1)[4] = 3;
    t.light(1)[12] = 0;
    t.light(0)[4] = 9;  // no item of the menu
    t.light(0)[12] = 0;
    t.SelectProfile(1);
    EXPECT_EQ(t.page->illuminationText(), "Illumination 60%");
    t.SelectProfile(0);
    EXPECT_EQ(t.page->illuminationText(), "No illumination");
    t.light(0)[12] = 1;
    t.SelectProfile(0);
    EXPECT_EQ(t.page->illuminationText(), "Starlit sky");
}

}  // namespace
}  // namespace vyre
