#include "platform/hook.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <stdexcept>
#include <vector>

#include "common/key_table.h"
#include "common/scan_codes.h"
#include "platform/crash.h"
#include "temp_dir.h"
#include "tests/support/qt_app.h"

namespace vyre::platform {
namespace {

// Evdev codes used below.
constexpr int kEsc = 1, kTab = 15, kEnter = 28, kLeftCtrl = 29, kA = 30, kLeftAlt = 56;
constexpr int kF10 = 68, kRightAlt = 100, kUp = 103, kLeftMeta = 125, kRightMeta = 126;

TEST(EvdevTable, EveryCatalogueKeyRoundTripsThroughTheHook) {
    // Each key table usage with a scan code -> its evdev key -> the hook event
    // of pressing it -> back to the same usage through the scan-code table.
    // Known exceptions: the ISO key left of Enter is the backslash key's evdev
    // code; the macro keys, Fn, keypad comma and right Windows have no row.
    const std::set<int> noRow = {0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xF1, 0x85, 0xE7};
    std::set<int> evdevSeen;
    int roundTrips = 0;
    for (const KeyTableRow& key : KeyTable()) {
        const auto code = ScanCodeOfUsage(key.usage);
        if (!code) {
            EXPECT_TRUE(noRow.count(key.usage)) << std::hex << key.usage;
            continue;
        }
        const auto evdev = EvdevCodeOfScanCode(code->scanCode, code->flags & kHookExtended);
        ASSERT_TRUE(evdev.has_value()) << std::hex << key.usage;
        HookTranslator translator;
        const HookKey hooked = translator.Translate(*evdev, true, 0);
        EXPECT_EQ(hooked.scanCode, code->scanCode) << std::hex << key.usage;
        EXPECT_EQ(hooked.flags, code->flags) << std::hex << key.usage;
        const auto usage = UsageOfHookedKey(hooked.scanCode, hooked.flags);
        ASSERT_TRUE(usage.has_value()) << std::hex << key.usage;
        EXPECT_EQ(*usage, key.usage == 0x32 ? 0x31 : key.usage) << std::hex << key.usage;
        if (key.usage != 0x32) {
            EXPECT_TRUE(evdevSeen.insert(*evdev).second) << *evdev;
        }
        ++roundTrips;
    }
    EXPECT_EQ(roundTrips, 112);
    // The right Windows key is captured but gives no usage.
    HookTranslator translator;
    const HookKey rwin = translator.Translate(kRightMeta, true, 0);
    EXPECT_EQ(rwin.scanCode, 0x5C);
    EXPECT_FALSE(UsageOfHookedKey(rwin.scanCode, rwin.flags).has_value());
}

TEST(EvdevTable, TableIsConsistent) {
    std::set<int> evdev;
    std::set<std::pair<int, bool>> scan;
    for (const EvdevKey& key : EvdevKeyTable()) {
        EXPECT_TRUE(evdev.insert(key.evdevCode).second) << key.evdevCode;
        EXPECT_TRUE(scan.insert({key.scanCode, key.extended}).second) << key.evdevCode;
        EXPECT_NE(key.scanCode, 0);
    }
    EXPECT_FALSE(EvdevKeyOf(0).has_value());
    EXPECT_FALSE(EvdevKeyOf(113).has_value());  // mute: no set-1 key of the hook
}

TEST(HookTranslator, FlagsVirtualKeysAndSystemKeys) {
    HookTranslator t;
    HookKey k = t.Translate(kA, true, 5);
    EXPECT_EQ(k, (HookKey{0x1E, 0x00, 'A', true, false, 5, kA}));
    k = t.Translate(kA, false, 9);
    EXPECT_EQ(k.flags, kHookUp);
    EXPECT_FALSE(k.down);
    // Left Alt's own press carries the Alt bit, and so does every key while it is held.
    k = t.Translate(kLeftAlt, true, 10);
    EXPECT_EQ(k.flags, kHookAltDown);
    EXPECT_TRUE(k.system);
    EXPECT_EQ(k.virtualKey, 0xA4);
    k = t.Translate(kUp, true, 11);
    EXPECT_EQ(k.flags, kHookExtended | kHookAltDown);
    EXPECT_EQ(k.virtualKey, 0x26);
    EXPECT_TRUE(k.system);
    k = t.Translate(kLeftCtrl, true, 12);
    EXPECT_EQ(UsageOfHookedKey(k.scanCode, k.flags), 0xE0);
    // Its release no longer has it.
    k = t.Translate(kLeftAlt, false, 13);
    EXPECT_EQ(k.flags, kHookUp);
    EXPECT_FALSE(k.system);
    // Right Alt: extended and Alt, the first Right Alt row.
    k = t.Translate(kRightAlt, true, 14);
    EXPECT_EQ(k.flags, kHookExtended | kHookAltDown);
    EXPECT_EQ(UsageOfHookedKey(k.scanCode, k.flags), 0xE6);
    t.Translate(kRightAlt, false, 15);
    // F10 is a system key of its own; Left Windows is captured as itself.
    EXPECT_TRUE(t.Translate(kF10, true, 16).system);
    k = t.Translate(kLeftMeta, true, 17);
    EXPECT_EQ(UsageOfHookedKey(k.scanCode, k.flags), 0xE3);
    // A key the table does not know comes with scan code 0.
    k = t.Translate(113, true, 18);
    EXPECT_EQ(k.scanCode, 0);
    EXPECT_FALSE(UsageOfHookedKey(k.scanCode, k.flags).has_value());
}

// A dialog with two buttons, Enter on the default one closing it.
struct TestDialog {
    QApplication& app = testing::App();
    QDialog dialog;
    QPushButton* first = new QPushButton("first", &dialog);
    QPushButton* second = new QPushButton("second", &dialog);
    std::vector<HookKey> keys;
    KeyCapture capture{&dialog, [this](const HookKey& k) { keys.push_back(k); }};

    TestDialog() {
        second->move(0, 40);
        first->setDefault(true);
        QObject::connect(first, &QPushButton::clicked, &dialog, &QDialog::accept);
        dialog.show();
        first->setFocus();
    }
    // A key as the desktop delivers it: the evdev code plus 8 as native code.
    bool Press(int evdev, Qt::Key qtKey, QObject* to = nullptr) {
        QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, evdev + 8, 0, 0);
        QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, evdev + 8, 0, 0);
        QObject* target = to != nullptr ? to : dialog.focusWidget();
        if (target == nullptr) target = &dialog;
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
        return press.isAccepted();
    }
};

TEST(KeyCapture, TakesEveryKeyAndKeepsTheDialogAsItIs) {
    TestDialog t;
    EXPECT_EQ(t.capture.mode(), CaptureMode::FocusedWindow);  // offscreen
    t.capture.Start();
    EXPECT_TRUE(t.capture.capturing());
    EXPECT_EQ(KeyCapture::ActiveCount(), 1);
    t.Press(kEnter, Qt::Key_Return);
    t.Press(kEsc, Qt::Key_Escape);
    t.Press(kTab, Qt::Key_Tab);
    t.Press(kUp, Qt::Key_Up);
    // Neither closed nor moved on.
    EXPECT_TRUE(t.dialog.isVisible());
    EXPECT_EQ(t.dialog.result(), 0);
    EXPECT_EQ(t.dialog.focusWidget(), t.first);
    ASSERT_EQ(t.keys.size(), 8u);
    EXPECT_EQ(t.keys[0].scanCode, 0x1C);
    EXPECT_TRUE(t.keys[0].down);
    EXPECT_FALSE(t.keys[1].down);
    EXPECT_EQ(t.keys[2].virtualKey, 0x1B);
    EXPECT_EQ(t.keys[4].virtualKey, 0x09);
    EXPECT_EQ(t.keys[6].flags, kHookExtended);
    // Keys sent to another window of the program are taken as well.
    QWidget other;
    other.show();
    t.Press(kA, Qt::Key_A, &other);
    EXPECT_EQ(t.keys.size(), 10u);
    // Auto-repeat: presses count, the releases in between do not.
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, kA + 8, 0, 0, "", true);
    QApplication::sendEvent(t.first, &repeatUp);
    EXPECT_EQ(t.keys.size(), 10u);

    t.capture.Stop();
    EXPECT_EQ(KeyCapture::ActiveCount(), 0);
    // Released: Enter reaches the dialog and closes it.
    t.Press(kEnter, Qt::Key_Return);
    EXPECT_EQ(t.keys.size(), 10u);
    EXPECT_EQ(t.dialog.result(), QDialog::Accepted);
}

TEST(KeyCapture, EndsOnEveryWayOut) {
    {
        TestDialog t;
        t.capture.Start();
        t.dialog.hide();  // closed by its own code
        EXPECT_FALSE(t.capture.capturing());
    }
    {
        TestDialog t;
        t.capture.Start();
        t.dialog.reject();
        EXPECT_FALSE(t.capture.capturing());
        EXPECT_EQ(KeyCapture::ActiveCount(), 0);
    }
    {
        // An exception out of the dialog's code unwinds through the guard.
        TestDialog t;
        try {
            KeyCaptureGuard guard(t.capture);
            EXPECT_TRUE(t.capture.capturing());
            throw std::runtime_error("dialog code failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_FALSE(t.capture.capturing());
        EXPECT_TRUE(t.Press(kEnter, Qt::Key_Return));
        EXPECT_TRUE(t.keys.empty());
    }
    {
        // The capture destroyed with a dialog that stays.
        testing::App();
        QDialog dialog;
        dialog.show();
        auto capture = std::make_unique<KeyCapture>(&dialog, [](const HookKey&) {});
        capture->Start();
        EXPECT_EQ(KeyCapture::ActiveCount(), 1);
        capture.reset();
        EXPECT_EQ(KeyCapture::ActiveCount(), 0);
    }
    {
        // The dialog destroyed under a running capture.
        testing::App();
        auto dialog = std::make_unique<QDialog>();
        dialog->show();
        KeyCapture capture(dialog.get(), [](const HookKey&) {});
        capture.Start();
        dialog.reset();
        EXPECT_FALSE(capture.capturing());
        EXPECT_EQ(KeyCapture::ActiveCount(), 0);
    }
}

TEST(KeyCapture, InjectedKeysCarryTheirTimes) {
    TestDialog t;
    t.capture.Inject(kA, true, 100);  // not capturing yet: ignored
    EXPECT_TRUE(t.keys.empty());
    t.capture.Start();
    t.capture.Inject(kLeftCtrl, true, 1000);
    t.capture.Inject(kA, true, 1040);
    t.capture.Inject(kA, false, 1100);
    t.capture.Inject(kLeftCtrl, false, 1250);
    ASSERT_EQ(t.keys.size(), 4u);
    const std::uint32_t times[] = {1000, 1040, 1100, 1250};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(t.keys[i].timeMs, times[i]);
    EXPECT_EQ(t.keys[1].scanCode, 0x1E);
    EXPECT_EQ(t.keys[3].flags, kHookUp);
    t.capture.Stop();
}

// The crash handler runs the actions added to it before it writes the dump.
int g_crashPipe = -1;
void CrashAction() {
    const char byte = 'x';
    const ssize_t ignored = ::write(g_crashPipe, &byte, 1);
    (void)ignored;
}

TEST(KeyCapture, CrashHandlerRunsItsReleaseActions) {
    testing::TempDir dir;
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string dump = (dir / "CrashInfo.dmp").string();
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(fds[0]);
        g_crashPipe = fds[1];
        InstallCrashHandler(dump);
        AddCrashAction(&CrashAction);
        AddCrashAction(&CrashAction);  // once only
        AddCrashAction(&ReleaseCaptureOnCrash);
        ::raise(SIGSEGV);
        ::_exit(0);
    }
    ::close(fds[1]);
    char buffer[4];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(n, 1);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(std::filesystem::exists(dump));
}

}  // namespace
}  // namespace vyre::platform
