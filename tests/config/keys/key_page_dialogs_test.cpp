// The dialogs the key assignment page opens, answered as a user would: what
// they return lands in the page's records.

#include "config/keys/key_assignment_dlg.h"

#include <gtest/gtest.h>

#include <QTest>

#include "common/link_codes.h"
#include "config/keys/key_entries.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

constexpr int kF2 = 14, kKeyA = 61, kKeyB = 99;
constexpr int kEvdevA = 30, kEvdevB = 48;

struct Page {
    Page() {
        testing::App();
        ResetStoreToDefaults(*mirror, KeyTableUsages());
        mirror->hostSettingsBlock.modelFlag = 1;
        mirror->hostSettingsBlock.layoutCode = 0;
        page = std::make_unique<CKeyAssignmentDlg>(*mirror);
        page->resize(775, 312);
        page->Initialise();
        page->show();
    }
    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
    std::unique_ptr<CKeyAssignmentDlg> page;
};

TEST(KeyPageDialogs, AShortcutOnAFunctionKeysSecondaryLayerLandsAt15PlusPosition) {
    Page t;
    t.page->ShowKey(kF2, 255);
    t.page->runDialog = [](QDialog& d) {
        auto& shortcut = dynamic_cast<AssignShortcutDlg&>(d);
        shortcut.show();
        shortcut.shiftBox().setChecked(true);
        shortcut.ctrlBox().setChecked(true);
        shortcut.capture().Inject(kEvdevA, true, 0);
        shortcut.Ok();
        return shortcut.result();
    };
    t.page->ChooseMenuItem(menu_cmd::kAssignShortcut, Layer::Secondary);
    const std::uint8_t* entry = t.mirror->functionKeyReports[0] + report::kFunctionKeyEntries +
                                (15 + 1) * report::kFunctionEntrySize;
    EXPECT_EQ(entry[0], 184);
    EXPECT_EQ(entry[1], 3);
    EXPECT_EQ(entry[2], 0x04);
    EXPECT_EQ(t.page->secondaryText(), "Shift + Ctrl + A");
    // Cancelled: nothing changes.
    t.page->runDialog = [](QDialog& d) {
        dynamic_cast<AssignShortcutDlg&>(d).Cancel();
        return d.result();
    };
    t.page->ChooseMenuItem(menu_cmd::kAssignShortcut, Layer::Primary);
    const std::uint8_t* primary =
        t.mirror->functionKeyReports[0] + report::kFunctionKeyEntries + 1 * report::kFunctionEntrySize;
    EXPECT_EQ(primary[0], 0x3B);  // F2 as it was
}

TEST(KeyPageDialogs, RemapAndTimersThroughThePage) {
    Page t;
    std::vector<std::uint16_t> sent;
    t.page->SetTimerCommands(
        [&](std::uint16_t code, const HIDMSG::_STimerSettingData&) { sent.push_back(code); });
    t.page->ShowKey(kKeyA, 255);
    t.page->runDialog = [](QDialog& d) {
        auto& remap = dynamic_cast<MapRenameDlg&>(d);
        remap.show();
        remap.capture().Inject(kEvdevB, true, 0);
        remap.Ok();
        return remap.result();
    };
    t.page->ChooseMenuItem(menu_cmd::kRemap, Layer::Primary);
    EXPECT_EQ(KeyUsages(*t.mirror, 0)[kKeyA], 0x05);
    EXPECT_EQ(KeyUsages(*t.mirror, 0)[kKeyB], 0x04);
    EXPECT_EQ(t.page->primaryText(), "B");

    // Enter confirms; the new timer goes on the key it was created from.
    t.page->runDialog = [](QDialog& d) {
        auto& create = dynamic_cast<CountdownTimerDlg&>(d);
        create.show();
        create.fields().name().setText("Tea");
        QTest::keyClick(&create.fields().name(), Qt::Key_Return);
        return create.result();
    };
    t.page->ChooseMenuItem(menu_cmd::kCreateTimer, Layer::Secondary);
    ASSERT_EQ(t.mirror->timers.size(), 1u);
    EXPECT_EQ(sent, (std::vector<std::uint16_t>{link::command::kTimerAdd}));
    EXPECT_EQ(ReadKeyEntry(*t.mirror, 0, kKeyA, Layer::Secondary, 0)->code, fncode::kTimer);
    EXPECT_EQ(t.page->secondaryText(), "Tea");
}

}  // namespace
}  // namespace vyre
