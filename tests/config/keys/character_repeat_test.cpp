// The character repeat dialog: live on the system, kept with OK, given back with Cancel.

#include "config/keys/character_repeat_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <filesystem>

#include "tests/support/programs.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using testing::App;

TEST(CharacterRepeat, SlidersActAtOnceOkKeepsCancelRestores) {
    App();
    auto mirror = NewProfileStore();
    mirror->setCurrentProfile(1);
    mirror->hostRecord(1).repeatDelay = 2;
    mirror->hostRecord(1).repeatRate = 31;
    auto repeat = platform::MakeMemoryKeyboardRepeat({1, 31});
    {
        CCharacterRepeatDlg dialog(*mirror, *repeat);
        EXPECT_EQ(dialog.delaySlider().value(), 2);
        dialog.show();
        const auto folder = testing::BinFolder().parent_path() / "screenshots";
        std::filesystem::create_directories(folder);
        dialog.grab().save(
            QString::fromStdString((folder / "config-character-repeat.png").string()));
        dialog.delaySlider().setValue(0);
        dialog.rateSlider().setValue(10);
        EXPECT_EQ(repeat->Get().delay, 3);  // the system's delay is 3 minus the position
        EXPECT_EQ(repeat->Get().speed, 10);
        dialog.Cancel();
        EXPECT_EQ(repeat->Get().delay, 1);
        EXPECT_EQ(repeat->Get().speed, 31);
        EXPECT_EQ(mirror->hostRecord(1).repeatRate.get(), 31);
    }
    {
        CCharacterRepeatDlg dialog(*mirror, *repeat);
        dialog.rateSlider().setValue(12);
        QTest::keyClick(&dialog, Qt::Key_Escape);  // as Cancel
        EXPECT_EQ(repeat->Get().speed, 31);
    }
    CCharacterRepeatDlg dialog(*mirror, *repeat);
    dialog.delaySlider().setValue(3);
    dialog.rateSlider().setValue(20);
    dialog.Ok();
    EXPECT_EQ(mirror->hostRecord(1).repeatDelay.get(), 3);
    EXPECT_EQ(mirror->hostRecord(1).repeatRate.get(), 20);
    EXPECT_EQ(repeat->Get().delay, 0);
}

}  // namespace
}  // namespace vyre
