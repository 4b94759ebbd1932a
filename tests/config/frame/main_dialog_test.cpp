// The main dialog on its own: its ways out, the profile files named after a
// profile, the profile dialog's skin, the version labels, dragging, and the
// busy wait once the link window is gone.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/key_table.h"
#include "common/link_codes.h"
#include "config/frame/config_dlg.h"
#include "config/frame/recovery.h"
#include "platform/record.h"
#include "platform/paths.h"
#include "tests/platform/temp_dir.h"
#include "tests/support/accessibility.h"
#include "tests/support/programs.h"
#include "tests/support/qt_app.h"
#include "widgets/caption_fit.h"
#include "widgets/controls.h"
#include "widgets/keyboard_picture.h"
#include "widgets/skin_button.h"
#include "widgets/popup_dlg.h"
#include "widgets/skin_art.h"

namespace vyre {
namespace {

// A stand-in for the Monitor's control window on the test's own thread: it
// counts the requests to apply the current profile again.
struct Monitor {
    Monitor() {
        window.Messages().On(link::kMsgRequest, link::request::kReapplyProfile,
                             [this](win::WPARAM, win::LPARAM) {
                                 ++reapplied;
                                 return 0;
                             });
        window.Create("monitor stand-in", "monitor stand-in", win::HWND_MESSAGE);
    }
    ~Monitor() { window.DestroyWindow(); }
    win::Window window;
    int reapplied = 0;
};

struct Dialog {
    explicit Dialog(int model = 2, int layout = 0) {
        testing::App();
        ResetStoreToDefaults(*shared.mirror, KeyTableUsages());
        shared.mirror->hostSettingsBlock.modelFlag = static_cast<std::uint8_t>(model);
        shared.mirror->hostSettingsBlock.layoutCode = static_cast<std::uint8_t>(layout);
        shared.mirror->deviceInfoReport[2] = 109;
        // As the Monitor sent it: nothing edited yet.
        std::memcpy(static_cast<void*>(shared.monitorCopy.get()), &shared.mirror->blocks(),
                    sizeof(ProfileStoreBlocks));
        shared.monitor = monitor.window.GetSafeHwnd();
        dialog = std::make_unique<CVyreMKConfigDlg>(shared);
        dialog->Initialise();
        dialog->show();
    }
    // The posted messages of this thread, handled.
    void Serve() {
        QCoreApplication::processEvents();
        win::ProcessPendingMessages();
    }

    testing::TempDir home;
    testing::ScopedEnv homeEnv{"VYRE_LUMO_HOME", home.path().string()};
    testing::ScopedEnv lcAll{"LC_ALL", "en_US.UTF-8"};
    Monitor monitor;
    ConfigShared shared;
    std::unique_ptr<CVyreMKConfigDlg> dialog;
};

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

TEST(MainDialog, EveryWayOutButOkAsksTheMonitorToApplyTheProfileAgain) {
    // Escape, the window manager's close, CANCEL and the close box: each
    // drops the edits and has the Monitor undo the live repeat preview.
    const std::vector<std::pair<const char*, std::function<void(CVyreMKConfigDlg&)>>> ways = {
        {"Escape", [](CVyreMKConfigDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close", [](CVyreMKConfigDlg& d) { d.close(); }},
        {"reject", [](CVyreMKConfigDlg& d) { d.reject(); }},
        {"CANCEL", [](CVyreMKConfigDlg& d) { d.Cancel(); }},
    };
    for (const auto& [name, way] : ways) {
        Dialog t;
        way(*t.dialog);
        t.Serve();
        EXPECT_EQ(t.monitor.reapplied, 1) << name;
        EXPECT_EQ(t.dialog->result(), widgets::IDCANCEL) << name;
        EXPECT_FALSE(t.dialog->isVisible()) << name;
    }
}

TEST(MainDialog, AWayOutWithEditsNotAppliedAsksApplyDiscardOrStay) {
    using U = CVyreMKConfigDlg::Unapplied;
    for (const U answer : {U::Stay, U::Discard, U::Apply}) {
        Dialog t;
        int asked = 0;
        t.dialog->askUnapplied = [&] {
            ++asked;
            return answer;
        };
        t.dialog->reject();  // no edit: no question
        t.Serve();
        EXPECT_EQ(asked, 0);
        t.dialog->show();
        t.shared.mirror->hostRecord(2).name.set(u"Edited");
        QTest::keyClick(t.dialog.get(), Qt::Key_Escape);
        t.Serve();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(t.dialog->isVisible(), answer == U::Stay);
        EXPECT_EQ(t.monitor.reapplied, answer == U::Discard ? 2 : 1);
    }
}

TEST(MainDialog, AConfigThatMustEndKeepsItsEditsAndOffersThemAtTheNextStart) {
    std::vector<std::string> record;
    platform::ActionRecord::Instance().SetSink([&](const std::string& line) { record.push_back(line); });
    Dialog t;
    t.shared.mirror->hostRecord(2).name.set(u"Edited");
    t.shared.mirror->keyRemapReports[4][30] = 0x2C;
    t.dialog->EndTelling(kEndUnplugged);
    ASSERT_EQ(record.size(), 1u);
    EXPECT_NE(record[0].find("message-box Keyboard unplugged: The keyboard was unplugged"),
              std::string::npos);
    EXPECT_NE(record[0].find("changes you had not applied are kept"), std::string::npos);
    ASSERT_TRUE(std::filesystem::exists(RecoveryFile()));

    // The next start: the Monitor's store, then the kept edits on it.
    auto next = std::make_unique<CVyreMKConfigDlg>(t.shared);
    std::memcpy(static_cast<void*>(&t.shared.mirror->blocks()), t.shared.monitorCopy.get(),
                sizeof(ProfileStoreBlocks));
    next->Initialise();
    next->askRecovery = [] { return true; };
    next->OfferRecovery();
    EXPECT_EQ(t.shared.mirror->hostRecord(2).name.str(), u"Edited");
    EXPECT_EQ(t.shared.mirror->keyRemapReports[4][30], 0x2C);
    EXPECT_EQ(next->nameText(2), "Edited");
    EXPECT_FALSE(std::filesystem::exists(RecoveryFile()));

    // A file cut short gives back what it still holds, and is kept aside.
    t.shared.mirror->hostRecord(2).name.set(u"Again");
    const std::string bytes = RecoveryBytes(*t.shared.mirror, *t.shared.monitorCopy);
    {
        std::ofstream cut(RecoveryFile(), std::ios::binary);
        cut << bytes << "\x04";
    }
    t.shared.mirror->hostRecord(2).name.set(u"Other");
    next->OfferRecovery();
    EXPECT_EQ(t.shared.mirror->hostRecord(2).name.str(), u"Again");
    EXPECT_NE(record.back().find("message-box Changes damaged: "), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(RecoveryFile()));
    int aside = 0;
    for (const auto& e : std::filesystem::directory_iterator(RecoveryFile().parent_path()))
        aside += e.path().filename().string().starts_with("Recovery.dat.damaged-");
    EXPECT_EQ(aside, 1);
    platform::ActionRecord::Instance().SetSink(nullptr);
}

TEST(MainDialog, WhatTheKeyboardDidNotTakeIsToldOncePerApplyInTheUsersWords) {
    std::vector<std::string> record;
    platform::ActionRecord::Instance().SetSink([&](const std::string& line) { record.push_back(line); });
    Dialog t;
    auto notWritten = [&](std::uint16_t code, unsigned profiles) {
        win::PostMessage(t.shared.dialog.load(), link::kMsgNotify, kDialogNoticeNotWritten,
                         static_cast<win::LPARAM>(code | (profiles << 16)));
    };
    notWritten(link::block::kKeyRemap, 0b10);
    notWritten(link::block::kLightSettings, 0b101);
    t.Serve();
    EXPECT_TRUE(QTest::qWaitFor([&] { return t.dialog->notWrittenTold() == 1; }, 5000));
    ASSERT_EQ(record.size(), 1u);
    EXPECT_NE(record[0].find("message-box Not written: The keyboard did not take everything that "
                             "was applied: key assignments of profile 2; lighting of profiles 1, 3."),
              std::string::npos)
        << record[0];
    notWritten(link::block::kIllumination, 1);  // the same APPLY: told already
    t.Serve();
    QTest::qWait(2000);
    EXPECT_EQ(t.dialog->notWrittenTold(), 1);
    t.dialog->Apply();
    notWritten(link::block::kIllumination, 1);
    t.Serve();
    EXPECT_TRUE(QTest::qWaitFor([&] { return t.dialog->notWrittenTold() == 2; }, 5000));
    EXPECT_NE(record.back().find("key lighting of profile 1."), std::string::npos);
    platform::ActionRecord::Instance().SetSink(nullptr);
}

TEST(MainDialog, AProfileNameNeverLeavesTheConfigFolder) {
    Dialog t;
    const std::filesystem::path config = paths::Resolve("./Config");
    EXPECT_EQ(ProfileFileOfName("Sniper"), config / "Sniper.kkp");
    EXPECT_EQ(ProfileFileOfName("a/b"), config / "a_b.kkp");
    EXPECT_EQ(ProfileFileOfName("../x"), config / "___x.kkp");
    EXPECT_EQ(ProfileFileOfName("..\\..\\y"), config / "___.._y.kkp");
    EXPECT_EQ(ProfileFileOfName(".hidden"), config / "_hidden.kkp");
    EXPECT_EQ(ProfileFileOfName("v1.2 final."), config / "v1.2 final..kkp");
    const QString japanese = QString::fromUtf8("狙撃 プロファイル");
    EXPECT_EQ(ProfileFileOfName(japanese), config / (japanese.toStdString() + ".kkp"));

    // Written where the name says, and nothing outside the folder.
    ASSERT_TRUE(t.dialog->SaveNamedProfile("../x"));
    EXPECT_TRUE(std::filesystem::exists(config / "___x.kkp"));
    EXPECT_FALSE(std::filesystem::exists(t.home / "x.kkp"));
    ASSERT_TRUE(t.dialog->SaveNamedProfile("a/b"));
    EXPECT_TRUE(std::filesystem::exists(config / "a_b.kkp"));
    ASSERT_TRUE(t.dialog->SaveNamedProfile(japanese));
    EXPECT_TRUE(std::filesystem::exists(config / (japanese.toStdString() + ".kkp")));
}

TEST(MainDialog, LoadingAProfileFileKeepsThePageTheUserIsOn) {
    Dialog t;
    ASSERT_TRUE(t.dialog->SaveNamedProfile("Kept"));
    t.dialog->ShowPage(kPageIllumination);
    ASSERT_TRUE(t.dialog->LoadProfileFrom((paths::Resolve("./Config") / "Kept.kkp").string()));
    EXPECT_EQ(t.dialog->currentPage(), kPageIllumination);
}

// Pages change with the keyboard alone; Tab moves the focus, which is
// marked, and Enter presses the focused control.
TEST(MainDialog, PagesAndControlsAreReachedByKeysAlone) {
    Dialog t;
    CVyreMKConfigDlg& d = *t.dialog;
    QTest::keyClick(&d, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(d.currentPage(), kPageKeys);
    QTest::keyClick(&d, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(d.currentPage(), kPageIllumination);
    QTest::keyClick(&d, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(d.currentPage(), kPageKeys);
    QTest::keyClick(&d, Qt::Key_PageUp, Qt::ControlModifier);
    QTest::keyClick(&d, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(d.currentPage(), kPageSupport);  // round the row of tabs

    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    QTest::keyClick(&d, Qt::Key_Tab);
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    EXPECT_TRUE(d.isAncestorOf(focused));
    auto* button = dynamic_cast<widgets::CSkinButton*>(focused);
    for (int tabs = 0; button == nullptr && tabs < 40; ++tabs) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        button = dynamic_cast<widgets::CSkinButton*>(QApplication::focusWidget());
    }
    ASSERT_NE(button, nullptr);
    const QImage marked = button->grab().toImage();
    button->clearFocus();
    EXPECT_NE(button->grab().toImage(), marked);  // the mark goes with the focus
    button->setFocus();
    int clicks = 0;
    QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
    const bool enabled = button->isEnabled();
    QTest::keyClick(button, Qt::Key_Return);
    QTest::qWait(200);
    EXPECT_EQ(clicks, enabled ? 1 : 0);
    const auto shots = testing::BinFolder().parent_path() / "screenshots";
    std::filesystem::create_directories(shots);
    d.grab().save(QString::fromStdString((shots / "config-focus-mark.png").string()));
}

// The key page by keys alone: Tab reaches the picture at the selected key,
// the arrows move over the caps, Enter selects one, and the function menu
// opens and chooses with the keyboard.
TEST(MainDialog, TheKeyPageIsUsedByKeysAlone) {
    Dialog t;
    CVyreMKConfigDlg& d = *t.dialog;
    d.ShowPage(kPageKeys);
    CKeyAssignmentDlg& page = d.keyAssignmentPage();
    d.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    auto tabTo = [&](auto found) {
        for (int tabs = 0; tabs < 80 && !found(QApplication::focusWidget()); ++tabs)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &d, Qt::Key_Tab);
        return found(QApplication::focusWidget());
    };
    auto* cap = [&]() -> widgets::CKeyBoardBtn* {
        tabTo([](QWidget* w) { return dynamic_cast<widgets::CKeyBoardBtn*>(w) != nullptr; });
        return dynamic_cast<widgets::CKeyBoardBtn*>(QApplication::focusWidget());
    }();
    ASSERT_NE(cap, nullptr);
    EXPECT_EQ(cap->keyIndex(), page.selectedKey());  // one stop for the whole picture
    const QImage unmarked = [&] {
        cap->clearFocus();
        return cap->grab().toImage();
    }();
    cap->setFocus();
    EXPECT_NE(cap->grab().toImage(), unmarked);  // the focus mark

    QTest::keyClick(cap, Qt::Key_Right);
    auto* right = dynamic_cast<widgets::CKeyBoardBtn*>(QApplication::focusWidget());
    ASSERT_NE(right, nullptr);
    EXPECT_GT(right->x(), cap->x());
    EXPECT_EQ(right->y(), cap->y());  // the same row
    QTest::keyClick(right, Qt::Key_Down);
    auto* below = dynamic_cast<widgets::CKeyBoardBtn*>(QApplication::focusWidget());
    ASSERT_NE(below, nullptr);
    EXPECT_GT(below->y(), right->y());
    EXPECT_LT(std::abs(below->x() - right->x()), right->width());
    QTest::keyClick(below, Qt::Key_Return);
    EXPECT_EQ(page.selectedKey(), below->keyIndex());

    widgets::CSkinMenuButton& menu = page.primaryButton();
    ASSERT_TRUE(tabTo([&](QWidget* w) { return w == &menu; }));
    const QString before = menu.text();
    QTest::keyClick(&menu, Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.menu().isVisible(); }, 2000));
    QTest::keyClick(&menu.menu(), Qt::Key_Up);  // the last item: Disable
    QTest::keyClick(&menu.menu(), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !menu.menu().isVisible(); }, 2000));
    EXPECT_NE(menu.text(), before);
}

TEST(MainDialog, TheProfileDialogIsSkinnedAndItsCloseBoxCancels) {
    Dialog t;
    ProfileStore& mirror = *t.shared.mirror;
    mirror.hostRecord(mirror.currentProfile()).name.set(u"Before");
    CCreateEditGameProfileDlg profile(mirror, false, t.dialog.get());
    auto* skinned = dynamic_cast<widgets::CBitmapDialog*>(&profile);
    ASSERT_NE(skinned, nullptr);
    EXPECT_TRUE(widgets::HasSkinArt(skinned->faceId()));
    EXPECT_TRUE(widgets::HasSkinArt(skinned->secondId()));
    EXPECT_TRUE(profile.windowFlags() & Qt::FramelessWindowHint);
    profile.show();
    auto* close = profile.findChild<QAbstractButton*>("close");
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(close->isVisible());
    EXPECT_GT(close->x(), profile.width() / 2);  // at the top right
    EXPECT_LT(close->y(), 36);
    auto* name = profile.findChild<QLineEdit*>();
    ASSERT_NE(name, nullptr);
    name->setText("After");
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_EQ(profile.result(), QDialog::Rejected);
    EXPECT_FALSE(profile.isVisible());
    EXPECT_EQ(mirror.hostRecord(mirror.currentProfile()).name.str(), u"Before");
}

// Every caption of every page, for every key and trophy shown, is drawn
// whole at scale 1 and 2; the pictures of each page at both scales are
// written for a look.
TEST(MainDialog, EveryCaptionOfEveryPageFitsAtScaleOneAndTwo) {
    const auto folder = testing::BinFolder().parent_path() / "screenshots" / "pages";
    std::filesystem::create_directories(folder);
    for (const auto& [model, layout] :
         std::vector<std::pair<int, int>>{{2, 0}, {2, 12}, {2, 13}, {2, 7}, {1, 0}}) {
        Dialog t(model, layout);
        auto expectWhole = [&](const std::string& where) {
            EXPECT_EQ(widgets::CutCaptions(*t.dialog).join("; ").toStdString(), "")
                << "model " << model << " layout " << layout << ", " << where;
        };
        for (int page = 0; page < kPageCount; ++page) {
            if (!t.dialog->pageTabVisible(page)) continue;
            t.dialog->ShowPage(page);
            expectWhole("page " + std::to_string(page));
            for (qreal scale : {1.0, 2.0}) {
                QPixmap shot(t.dialog->size() * scale);
                shot.setDevicePixelRatio(scale);
                t.dialog->render(&shot);
                const auto name = "model" + std::to_string(model) + "-layout" +
                                  std::to_string(layout) + "-page" + std::to_string(page) +
                                  "-scale" + std::to_string(int(scale)) + ".png";
                EXPECT_TRUE(shot.save(QString::fromStdString((folder / name).string())));
            }
        }
        if (layout != 0) continue;  // the layouts differ in their caps only
        t.dialog->ShowPage(kPageKeys);
        for (int key = 0; key < kKeyCount; ++key) {
            t.dialog->keyAssignmentPage().ShowKey(key, widgets::kKeyClickActive);
            expectWhole("key " + std::to_string(key));
        }
        t.dialog->ShowPage(kPageStatistics);
        for (int trophy = 1; trophy <= 16; ++trophy) {
            t.dialog->statisticsPage().ShowTrophy(trophy);
            expectWhole("trophy " + std::to_string(trophy));
        }
    }
}

// Every control a user can reach on every page has a name a screen reader
// reads, and its quick help as its description, in the language shown.
TEST(MainDialog, EveryControlOfEveryPageHasANameAndItsQuickHelpForScreenReaders) {
    for (int model : {2, 1}) {
        Dialog t(model);
        t.dialog->ApplyLanguage(6);  // Japanese
        int described = 0;
        for (int page = 0; page < kPageCount; ++page) {
            if (!t.dialog->pageTabVisible(page)) continue;
            t.dialog->ShowPage(page);
            EXPECT_EQ(testing::UnnamedControls(*t.dialog), std::vector<std::string>{})
                << "model " << model << " page " << page;
            for (auto* w : t.dialog->findChildren<QWidget*>()) {
                auto* control = dynamic_cast<widgets::QuickHelpControl*>(w);
                if (control == nullptr || control->helpId() == 0 || !w->isVisibleTo(t.dialog.get()))
                    continue;
                EXPECT_EQ(w->accessibleDescription(), t.dialog->QuickHelpText(control->helpId()));
                described += !w->accessibleDescription().isEmpty();
            }
        }
        EXPECT_GT(described, 40);
    }
    Dialog t;
    t.dialog->languageButton().ShowMenu(true);
    EXPECT_EQ(testing::UnnamedControls(*t.dialog), std::vector<std::string>{});
    CCreateEditGameProfileDlg profile(*t.shared.mirror, false, t.dialog.get());
    profile.show();
    EXPECT_EQ(testing::UnnamedControls(profile), std::vector<std::string>{});
}

TEST(MainDialog, TheVersionLabelsSayWhatTheyAreTheVersionsOf) {
    Dialog t;
    EXPECT_EQ(t.dialog->versionText(), "SOFTWARE 1.00");
    EXPECT_EQ(t.dialog->firmwareText(), "FIRMWARE 1.09");
}

TEST(MainDialog, TheTopBandDragsWithTheWindowSystemsOwnMove) {
    Dialog t;
    int systemMoves = 0;
    bool systemMoveWorks = true;
    t.dialog->startSystemMove = [&] {
        ++systemMoves;
        return systemMoveWorks;
    };
    const QPoint before = t.dialog->pos();
    SendMouse(t.dialog.get(), QEvent::MouseButtonPress, {400, 30}, Qt::LeftButton);
    SendMouse(t.dialog.get(), QEvent::MouseMove, {450, 60}, Qt::LeftButton);
    SendMouse(t.dialog.get(), QEvent::MouseButtonRelease, {450, 60}, Qt::NoButton);
    EXPECT_EQ(systemMoves, 1);
    EXPECT_EQ(t.dialog->pos(), before);  // the window system moves it, not the dialog

    // Below the band nothing drags.
    SendMouse(t.dialog.get(), QEvent::MouseButtonPress, {400, 300}, Qt::LeftButton);
    SendMouse(t.dialog.get(), QEvent::MouseButtonRelease, {400, 300}, Qt::NoButton);
    EXPECT_EQ(systemMoves, 1);

    // Without a move of the window system the dialog follows the pointer
    // itself, within the screen (which the test screen's width just holds).
    systemMoveWorks = false;
    SendMouse(t.dialog.get(), QEvent::MouseButtonPress, {400, 30}, Qt::LeftButton);
    SendMouse(t.dialog.get(), QEvent::MouseMove, {397, 60}, Qt::LeftButton);
    SendMouse(t.dialog.get(), QEvent::MouseButtonRelease, {397, 60}, Qt::NoButton);
    EXPECT_EQ(systemMoves, 2);
    EXPECT_EQ(t.dialog->pos(), before + QPoint(-3, 30));
    SendMouse(t.dialog.get(), QEvent::MouseButtonPress, {400, 30}, Qt::LeftButton);
    SendMouse(t.dialog.get(), QEvent::MouseMove, {900, 30}, Qt::LeftButton);
    SendMouse(t.dialog.get(), QEvent::MouseButtonRelease, {900, 30}, Qt::NoButton);
    const QRect area = t.dialog->screen()->availableGeometry();
    EXPECT_LE(t.dialog->pos().x(), area.left());  // its close box stays reachable
}

TEST(MainDialog, ABusyWaitEndsWhenTheLinkWindowIsGone) {
    // The Config ends while the keyboard resets: the link window, which would
    // lower the flag, is gone, and the dialog's wait must not go on for ever.
    Dialog t;
    t.shared.linkWindow = 0;
    t.shared.busy = 1;
    std::atomic<bool> done{false}, rescued{false};
    std::thread watchdog([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done) {
            rescued = true;
            t.shared.busy = 0;
        }
    });
    win::PostMessage(t.shared.dialog.load(), link::kMsgRequest, link::dialog_order::kBusyWait, 1);
    t.Serve();
    done = true;
    watchdog.join();
    EXPECT_FALSE(rescued);
    EXPECT_EQ(t.dialog->busyWaitsBegun(), 1);
    EXPECT_EQ(t.dialog->busyWaitsEnded(), 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace vyre
