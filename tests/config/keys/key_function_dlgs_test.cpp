// The shortcut, quick launch, media player and remap dialogs.

#include "config/keys/key_function_dlgs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include <filesystem>
#include <fstream>

#include "config/frame/help_ids.h"
#include "platform/key_names.h"
#include "platform/text.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using testing::App;

// Evdev codes.
constexpr int kA = 30, kB = 48, kEnter = 28, kTab = 15, kEsc = 1, kRightShift = 54;
constexpr int kRightMeta = 126;

// A key pressed and released on the desktop, delivered to the focused widget
// (or the dialog) as the platform delivers it.
void Press(QWidget& dialog, int evdev, Qt::Key key) {
    QWidget* target = dialog.focusWidget() != nullptr ? dialog.focusWidget() : &dialog;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, evdev + 8, 0, 0);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, evdev + 8, 0, 0);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

const KeyNameProvider& Us() {
    static const auto us = platform::XkbKeyNames::ForLayout("us");
    return *us;
}

TEST(ShortcutDialog, ShiftCtrlAGivesItsTextAndEntry) {
    App();
    AssignShortcutDlg dialog(&Us());
    dialog.Prepare();
    dialog.show();
    EXPECT_TRUE(dialog.capture().capturing());
    dialog.shiftBox().setChecked(true);
    dialog.ctrlBox().setChecked(true);
    Press(dialog, kA, Qt::Key_A);
    EXPECT_EQ(dialog.keyEdit().text(), "A");
    dialog.Ok();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.capture().capturing());
    EXPECT_EQ(dialog.text(), u"Shift +Ctrl +A");
    EXPECT_EQ(dialog.entry(), (FunctionEntry{184, 3, 0x04}));
    // The page shows the same entry in its own format.
    EXPECT_EQ(ShortcutText(dialog.entry().data1, dialog.entry().data2), u"Shift + Ctrl + A");
}

TEST(ShortcutDialog, EnterTabAndEscapeAreCapturedNotActedOn) {
    App();
    AssignShortcutDlg dialog(&Us());
    dialog.Prepare();
    dialog.show();
    Press(dialog, kEsc, Qt::Key_Escape);
    Press(dialog, kTab, Qt::Key_Tab);
    Press(dialog, kEnter, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(dialog.keyEdit().text(), "Enter");
    dialog.altBox().setChecked(true);
    dialog.Ok();
    EXPECT_EQ(dialog.text(), u"Alt +Enter");
    EXPECT_EQ(dialog.entry(), (FunctionEntry{184, 4, 0x28}));
    // Closed: keys reach the desktop again.
    Press(dialog, kA, Qt::Key_A);
    EXPECT_EQ(dialog.keyEdit().text(), "Enter");
}

TEST(ShortcutDialog, ModifierLockNamesAndCancel) {
    App();
    AssignShortcutDlg dialog(nullptr);  // no desktop names
    dialog.Prepare();
    dialog.show();
    dialog.winBox().setChecked(true);
    dialog.lockBox().setChecked(true);
    for (auto* box : {&dialog.shiftBox(), &dialog.ctrlBox(), &dialog.winBox(), &dialog.altBox()}) {
        EXPECT_FALSE(box->isChecked());
        EXPECT_FALSE(box->isEnabled());
    }
    dialog.lockBox().setChecked(false);
    EXPECT_TRUE(dialog.altBox().isEnabled());
    // Right Shift: the fallback name; other keys: the key table's.
    dialog.capture().Inject(kRightShift, true, 0);
    EXPECT_EQ(dialog.keyEdit().text(), "Right Shift");
    dialog.capture().Inject(kA, true, 10);
    EXPECT_EQ(dialog.keyEdit().text(), "A");
    dialog.capture().Inject(kB, false, 20);  // releases change nothing
    EXPECT_EQ(dialog.keyEdit().text(), "A");
    dialog.Cancel();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.capture().capturing());
    EXPECT_EQ(dialog.entry(), FunctionEntry{});
    EXPECT_TRUE(dialog.text().empty());

    // Modifiers without a key: cut at the last plus sign.
    dialog.Prepare();
    dialog.show();
    dialog.shiftBox().setChecked(true);
    dialog.ctrlBox().setChecked(true);
    dialog.Ok();
    EXPECT_EQ(dialog.text(), u"Shift +Ctrl ");
    EXPECT_EQ(dialog.entry(), (FunctionEntry{184, 3, 0}));
}

TEST(ShortcutDialog, StartsClearRefusesDeadKeysAndTicksHeldModifiers) {
    App();
    constexpr int kLeftCtrl = 29, kLeftShift = 42;
    AssignShortcutDlg dialog(&Us());
    dialog.Prepare();
    dialog.show();
    dialog.shiftBox().setChecked(true);
    dialog.Cancel();
    dialog.Prepare();
    dialog.show();
    EXPECT_FALSE(dialog.shiftBox().isChecked());
    // Right Win has no usage: refused, with a word why, and OK stores no dead key.
    dialog.capture().Inject(kRightMeta, true, 0);
    EXPECT_TRUE(dialog.keyEdit().text().isEmpty());
    EXPECT_EQ(dialog.keyEdit().placeholderText(), "The keyboard cannot send this key");
    dialog.capture().Inject(kRightMeta, false, 5);
    // Ctrl+Shift+A ticks both boxes.
    dialog.capture().Inject(kLeftCtrl, true, 10);
    dialog.capture().Inject(kLeftShift, true, 20);
    dialog.capture().Inject(kA, true, 30);
    dialog.Ok();
    EXPECT_EQ(dialog.text(), u"Shift +Ctrl +A");
    EXPECT_EQ(dialog.entry(), (FunctionEntry{184, 3, 0x04}));
}

class QuickLaunch : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        mirror->setCurrentProfile(2);
    }
    std::filesystem::path File(const std::string& name, const std::string& text = "") {
        const auto path = dir / name;
        std::ofstream(path) << text;
        return path;
    }
    QApplication& app = App();
    testing::TempDir dir;
    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
    QuickLunchDlg dialog{*mirror};
};

TEST_F(QuickLaunch, BrowsedLinkOnAFunctionKeysSecondaryLayer) {
    const auto program = File("game-binary");
    const auto link = dir / "Game";
    std::filesystem::create_symlink(program, link);
    dialog.chooseFile = [&] { return QString::fromStdString(link.string()); };
    dialog.Prepare(key_dlg::kSecondaryButton, KeyGroup::Function, 1, 14);  // F2
    EXPECT_EQ(dialog.slot(), 128);
    dialog.Browse();
    EXPECT_EQ(dialog.pathEdit().text().toStdString(), program.string());
    dialog.Ok();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const KeyLaunchPath& stored = mirror->launchPath(2, 128);
    EXPECT_EQ(QString::fromStdU16String(stored.path.str()).toStdString(), program.string());
    EXPECT_EQ(stored.displayName.str(), u"game-binary");
    EXPECT_EQ(dialog.displayName(), u"game-binary");
    EXPECT_TRUE(mirror->launchPath(0, 128).path.empty());
}

TEST_F(QuickLaunch, DesktopEntriesTypedPathsAndLongNames) {
    const auto entry = File("editor.desktop", "[Desktop Entry]\nExec=/usr/bin/gedit %U\n");
    dialog.chooseFile = [&] { return QString::fromStdString(entry.string()); };
    dialog.Prepare(key_dlg::kSecondaryButton, KeyGroup::Normal, 5, 39);
    EXPECT_EQ(dialog.slot(), 21);
    dialog.Browse();
    dialog.Ok();
    EXPECT_EQ(mirror->launchPath(2, 21).path.str(), u"/usr/bin/gedit");
    EXPECT_EQ(mirror->launchPath(2, 21).displayName.str(), u"gedit");

    // A path typed without browsing is the one stored.
    dialog.Prepare(key_dlg::kPrimaryButton, KeyGroup::Thumb, 0, 120);
    EXPECT_EQ(dialog.slot(), 10);
    const std::string longName(60, 'x');
    dialog.pathEdit().setText(QString::fromStdString("/opt/" + longName));
    dialog.Ok();
    const KeyLaunchPath& stored = mirror->launchPath(2, 10);
    EXPECT_EQ(stored.path.str().size(), 65u);
    EXPECT_EQ(stored.displayName.str(), std::u16string(49, u'x'));
    EXPECT_EQ(LaunchDisplayName(u"C:\\Games\\run.exe"), u"run.exe");
}

TEST_F(QuickLaunch, CancelEmptyBrokenAndSlotlessWriteNothing) {
    const KeyLaunchPath empty{};
    auto unchanged = [&] {
        return std::memcmp(&mirror->hostSettingsBlock.keyLaunchPaths, &empty, sizeof empty) == 0 &&
               mirror->launchPath(2, 112).path.empty() && mirror->launchPath(2, 127).path.empty();
    };
    dialog.chooseFile = [&] { return QString::fromStdString(File("tool").string()); };
    dialog.Prepare(key_dlg::kPrimaryButton, KeyGroup::Function, 0, 2);
    dialog.Browse();
    dialog.Cancel();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(unchanged());
    // An empty edit: OK does nothing.
    dialog.Prepare(key_dlg::kPrimaryButton, KeyGroup::Function, 0, 2);
    dialog.setResult(0);
    dialog.Ok();
    EXPECT_EQ(dialog.result(), 0);
    // A link that cannot be read gives an empty path.
    std::filesystem::create_symlink(dir / "missing", dir / "broken");
    dialog.chooseFile = [&] { return QString::fromStdString((dir / "broken").string()); };
    dialog.Browse();
    EXPECT_TRUE(dialog.pathEdit().text().isEmpty());
    // A cancelled file dialog changes nothing.
    dialog.pathEdit().setText("/bin/true");
    dialog.chooseFile = [] { return QString(); };
    dialog.Browse();
    EXPECT_EQ(dialog.pathEdit().text(), "/bin/true");
    // The Pause key's secondary slot holds no launch data.
    dialog.Prepare(key_dlg::kSecondaryButton, KeyGroup::Function, 14, 33);
    EXPECT_FALSE(dialog.slot().has_value());
    dialog.pathEdit().setText("/bin/true");
    dialog.Ok();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(unchanged());
}

TEST(MediaPlayer, ShowsChoosesAndKeepsOnCancel) {
    App();
    auto mirror = NewProfileStore();
    mirror->setCurrentProfile(3);
    mirror->hostRecord(3).player = 1;
    MediaCtrlDlg dialog(*mirror);
    dialog.Prepare();
    EXPECT_EQ(dialog.playerButton().text(), "iTunes");
    dialog.playerButton().menu().actions().at(3)->trigger();  // Winamp
    EXPECT_EQ(dialog.playerButton().text(), "Winamp");
    dialog.Cancel();
    EXPECT_EQ(mirror->hostRecord(3).player.get(), 1);
    dialog.Prepare();
    EXPECT_EQ(dialog.playerButton().text(), "iTunes");
    dialog.Choose(32842);
    dialog.Ok();
    EXPECT_EQ(mirror->hostRecord(3).player.get(), 2);
    EXPECT_EQ(mirror->hostRecord(0).player.get(), 0);
    // A value out of range shows the first player and stays unless changed.
    mirror->hostRecord(3).player = 7;
    dialog.Prepare();
    EXPECT_EQ(dialog.playerButton().text(), "Windows Media Player");
    dialog.Ok();
    EXPECT_EQ(mirror->hostRecord(3).player.get(), 7);
}

class Remap : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        for (int p = 0; p < kProfileCount; ++p) {
            for (int k = 0; k < kKeyTableRows; ++k) Usage(p, k) = static_cast<std::uint8_t>(KeyUsage(k));
        }
        mirror->setCurrentProfile(1);
    }
    std::uint8_t& Usage(int p, int key) {
        return mirror->keyRemapReports[p][report::kKeyRemapUsages + key];
    }
    QApplication& app = App();
    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
    MapRenameDlg dialog{*mirror, &Us()};
};

TEST_F(Remap, SwapsTheTwoUsages) {
    dialog.Prepare(61);  // "A"
    dialog.show();
    Press(dialog, kB, Qt::Key_B);
    EXPECT_EQ(dialog.keyName(), u"B");
    dialog.Ok();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.capture().capturing());
    EXPECT_EQ(Usage(1, 61), 0x05);
    EXPECT_EQ(Usage(1, 99), 0x04);  // the key that sent B now sends A
    EXPECT_EQ(Usage(0, 61), 0x04);
    // Every usage is still sent by exactly one key.
    std::multiset<int> usages;
    for (int k = 0; k < kKeyTableRows; ++k) usages.insert(Usage(1, k));
    for (int k = 0; k < kKeyTableRows; ++k) EXPECT_EQ(usages.count(KeyUsage(k)), 1u) << k;
}

TEST_F(Remap, CancelUnknownKeysAndUsagesNoKeySends) {
    const auto before = std::vector<std::uint8_t>(&mirror->keyRemapReports[0][0],
                                                  &mirror->keyRemapReports[0][0] + 625);
    auto same = [&] {
        return std::memcmp(before.data(), mirror->keyRemapReports, before.size()) == 0;
    };
    dialog.Prepare(61);
    dialog.show();
    Press(dialog, kB, Qt::Key_B);
    dialog.Cancel();
    EXPECT_TRUE(same());
    EXPECT_FALSE(dialog.capture().capturing());
    // A key the keyboard cannot send is not taken: OK does nothing.
    dialog.Prepare(61);
    dialog.show();
    dialog.setResult(0);
    dialog.capture().Inject(kRightMeta, true, 0);
    EXPECT_TRUE(dialog.keyName().empty());
    dialog.Ok();
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_TRUE(same());
    dialog.Cancel();
    // A usage no key sends now: only the target changes.
    Usage(1, 99) = 0x00;  // "B" disabled
    dialog.Prepare(61);
    dialog.show();
    dialog.capture().Inject(kB, true, 0);
    dialog.Ok();
    EXPECT_EQ(Usage(1, 61), 0x05);
    EXPECT_EQ(Usage(1, 99), 0x00);
}

TEST(KeyDialogHelp, EveryLanguageExplainsEveryControl) {
    int files = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(VYRE_LUMO_SOURCE_ASSETS) / "Help")) {
        const auto lines = text::ReadTextFileLines(entry.path());
        ASSERT_TRUE(lines.has_value()) << entry.path();
        for (int id = help::kShortcutKey; id <= help::kKeyDialogClose; ++id) {
            ASSERT_GE(lines->size(), static_cast<std::size_t>(id));
            EXPECT_FALSE((*lines)[id - 1].empty()) << entry.path() << " id " << id;
        }
        EXPECT_TRUE((*lines)[help::kKeyDialogClose].empty()) << entry.path();  // 99 is free
        ++files;
    }
    EXPECT_EQ(files, 17);
}

}  // namespace
}  // namespace vyre
