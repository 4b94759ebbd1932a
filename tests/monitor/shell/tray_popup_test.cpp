// The tray icon and the on-screen popup, on Qt's offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>

#include <QTest>
#include <QTimer>
#include "tests/support/qt_app.h"

#include <filesystem>
#include <thread>

#include "common/link_codes.h"
#include "monitor/shell/tray.h"
#include "platform/atomic_file.h"
#include "platform/autostart.h"
#include "tests/platform/temp_dir.h"
#include "platform/record.h"
#include "platform/registry.h"
#include "tests/support/programs.h"
#include "widgets/popup_dlg.h"
#include "widgets/skin_art.h"

namespace vyre {
namespace {

using widgets::CPopupDlg;

using testing::App;

// Where screenshots go: beside the build's programs.
std::filesystem::path ScreenshotFolder() {
    auto folder = testing::BinFolder().parent_path() / "screenshots";
    std::filesystem::create_directories(folder);
    return folder;
}

// Runs the popup and acts on it once it is up.
int RunWith(CPopupDlg& popup, std::function<void()> act) {
    QTimer::singleShot(0, [act] { act(); });
    return popup.Run();
}

TEST(Popup, OneButtonFormOfTheMonitor) {
    App();
    CPopupDlg popup(CPopupDlg::Form::Monitor);
    popup.SetFaceBitmaps(144, 140);
    popup.Prepare();
    EXPECT_EQ(popup.size(), QSize(310, 208));  // the face plus 5 pixels each way
    EXPECT_FALSE(popup.cancelButton()->isVisible());
    EXPECT_FALSE(popup.cancelButton()->isEnabled());
    EXPECT_EQ(popup.okButton()->geometry(), QRect(126, 172, 52, 21));
    EXPECT_EQ(popup.closeButton()->geometry(), QRect(277, 5, 23, 21));
    popup.show();
    popup.grab().save(QString::fromStdString((ScreenshotFolder() / "popup_monitor.png").string()));
    popup.hide();

    EXPECT_EQ(RunWith(popup, [&] { QTest::mouseClick(popup.okButton(), Qt::LeftButton); }),
              widgets::IDOK);
    EXPECT_EQ(RunWith(popup, [&] { QTest::mouseClick(popup.closeButton(), Qt::LeftButton); }),
              widgets::IDCANCEL);
    EXPECT_EQ(RunWith(popup, [&] { QTest::keyClick(&popup, Qt::Key_Escape); }), widgets::IDCANCEL);
}

TEST(Popup, TwoButtonFormOfTheConfigCentredOnItsOwner) {
    App();
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    owner.show();
    CPopupDlg popup(CPopupDlg::Form::Config, &owner);
    popup.SetFaceBitmaps(2381, 2380);
    popup.SetTwoButtons(true);
    popup.Prepare();
    EXPECT_TRUE(popup.cancelButton()->isEnabled());
    EXPECT_EQ(popup.okButton()->geometry(), QRect(75, 202, 52, 21));
    EXPECT_EQ(popup.cancelButton()->geometry(), QRect(139, 202, 91, 21));
    EXPECT_LE(std::abs(popup.geometry().center().x() - owner.frameGeometry().center().x()), 1);
    popup.show();
    popup.grab().save(QString::fromStdString((ScreenshotFolder() / "popup_config.png").string()));
    popup.hide();
    EXPECT_EQ(RunWith(popup, [&] { QTest::mouseClick(popup.cancelButton(), Qt::LeftButton); }),
              widgets::IDCANCEL);
    EXPECT_EQ(RunWith(popup, [&] { QTest::mouseClick(popup.okButton(), Qt::LeftButton); }),
              widgets::IDOK);
    EXPECT_TRUE(widgets::HasSkinArt(1009));
    EXPECT_FALSE(widgets::HasSkinArt(99999));  // drawn as a placeholder
}

// The text form of the message boxes: the caption in capitals on a face that
// grows with the message, the OK button moved down with it, closed like the
// other forms. Without a display nothing is shown and the caller goes on;
// with the action record active the box is written there instead.
TEST(Popup, TextFormGrowsWithItsMessageAndIsRecordedWithoutADisplay) {
    App();
    const QString shortText = "Can't find Config file !";
    QString longText;
    for (int i = 0; i < 12; ++i) longText += "The settings file could not be read whole. ";
    longText += "/a/path/without/any/blank/that/is/far/wider/than/one/line/of/the/face/of/the/popup";
    for (const auto form : {CPopupDlg::Form::Monitor, CPopupDlg::Form::Config}) {
        const int faceHeight = form == CPopupDlg::Form::Monitor ? 203 : 233;
        CPopupDlg small(form), large(form);
        small.SetMessage("Error", shortText);
        small.Prepare();
        EXPECT_EQ(small.size(), QSize(310, faceHeight + 5));
        EXPECT_EQ(small.okButton()->geometry().bottom(), faceHeight - 11);
        EXPECT_EQ(small.windowTitle(), "Error");
        large.SetMessage("Settings damaged", longText);
        large.Prepare();
        const int grown = large.height() - small.height();
        EXPECT_GT(grown, 40);
        EXPECT_EQ(large.okButton()->geometry(), small.okButton()->geometry().translated(0, grown));
        EXPECT_EQ(large.closeButton()->geometry(), small.closeButton()->geometry());
        // The last line of the message ends above the button row.
        EXPECT_EQ(widgets::MessageFaceHeight(305, faceHeight, longText), large.height() - 5);
        EXPECT_GT(widgets::MessageFaceHeight(305, faceHeight, longText + "\n\nmore"),
                  large.height() - 5);
        large.show();
        const char* name = form == CPopupDlg::Form::Monitor ? "popup_text_monitor.png" : "popup_text_config.png";
        large.grab().save(QString::fromStdString((ScreenshotFolder() / name).string()));
        large.hide();
        EXPECT_EQ(RunWith(small, [&] { QTest::mouseClick(small.okButton(), Qt::LeftButton); }),
                  widgets::IDOK);
    }
    CPopupDlg face(CPopupDlg::Form::Monitor);
    face.SetMessage("hid error", "x");
    face.show();
    const QImage shot = face.grab().toImage();
    face.hide();
    EXPECT_FALSE(shot.isNull());

    // Offscreen is no display: ShowMessageBox returns at once, from any thread.
    widgets::ShowMessageBox(CPopupDlg::Form::Monitor, "HID ERROR", "shown to nobody");
    std::thread([] { widgets::ShowMessageBox(CPopupDlg::Form::Monitor, "HID ERROR", "x"); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    std::vector<std::string> record;
    platform::ActionRecord::Instance().SetSink(
        [&](const std::string& line) { record.push_back(line.substr(line.find(' ') + 1)); });
    widgets::ShowMessageBox(CPopupDlg::Form::Config, "HID ERROR", "無法開啟HID的Guid介面!");
    platform::ActionRecord::Instance().Close();
    EXPECT_EQ(record, (std::vector<std::string>{"message-box HID ERROR: 無法開啟HID的Guid介面!"}));
}

TEST(Tray, IconFollowsTheKeyboardAndItsMenuActs) {
    App();
    std::vector<std::string> record;
    platform::ActionRecord::Instance().SetSink(
        [&](const std::string& line) { record.push_back(line.substr(line.find(' ') + 1)); });
    MonitorShared shared;
    CTrayThread tray(shared);
    ASSERT_TRUE(tray.Create());
    ASSERT_NE(shared.tray.load(), 0u);
    for (unsigned code :
         {link::notify::kTrayShow, link::notify::kTrayShow, link::notify::kTrayHide}) {
        win::SendMessage(shared.tray.load(), link::kMsgNotify, code, 0);
    }
    EXPECT_EQ(record, (std::vector<std::string>{"tray show", "tray hide"}));

    // Without a Config program a double-click says so.
    tray.startConfig = [] { return false; };
    record.clear();
    tray.DoubleClicked();
    EXPECT_EQ(record, (std::vector<std::string>{"message-box Error: Can't find Config file !"}));
    platform::ActionRecord::Instance().Close();

    // Exit asks the control window to stop the Monitor.
    win::Window control;
    control.Create("control", "control", win::HWND_MESSAGE);
    shared.control = control.GetSafeHwnd();
    bool exitAsked = false;
    control.Messages().On(link::kMsgNotify, link::notify::kExit, [&](win::WPARAM, win::LPARAM) {
        exitAsked = true;
        return 0;
    });
    tray.MenuExit();
    win::MSG msg;
    while (win::PeekMessage(msg)) {
        if (msg.message == win::WM_QUIT) break;
        win::DispatchMessage(msg);
    }
    EXPECT_TRUE(exitAsked);
    win::SendMessage(shared.tray.load(), win::WM_DESTROY, 0, 0);
    tray.Destroy();
    EXPECT_EQ(shared.tray.load(), 0u);
}

// The five profiles in the menu, the current one ticked and named in the
// tooltip; a change of it is noticed unless the notice is turned off; a
// choice goes to the keyboard thread.
TEST(Tray, ProfilesAreListedChosenAndNoticed) {
    App();
    std::vector<std::string> record;
    platform::ActionRecord::Instance().SetSink(
        [&](const std::string& line) { record.push_back(line.substr(line.find(' ') + 1)); });
    auto settings = platform::Registry::InMemory();
    MonitorShared shared;
    win::Window keyboard;
    keyboard.Create("keyboard", "keyboard", win::HWND_MESSAGE);
    shared.keyboard = keyboard.GetSafeHwnd();
    std::vector<win::LPARAM> chosen;
    keyboard.Messages().On(link::kMsgNotify, link::notify::kChooseProfile, [&](win::WPARAM, win::LPARAM p) {
        chosen.push_back(p);
        return 0;
    });
    CTrayThread tray(shared, settings.get());
    ASSERT_TRUE(tray.Create());
    EXPECT_TRUE(tray.noticesTicked());  // on by default
    {
        std::lock_guard lock(shared.profilesLock);
        shared.profiles.current = 1;
        shared.profiles.names = {"Work", "Games", "", "Films", "Music"};
    }
    win::SendMessage(shared.tray.load(), link::kMsgNotify, link::notify::kTrayProfiles, 1);
    EXPECT_EQ(record, (std::vector<std::string>{"tray tip KALVEX Vyre Lumo: Games", "notice Profile 2: Games"}));
    const QList<QAction*> items = tray.menu()->actions();
    ASSERT_GE(items.size(), 5);
    EXPECT_EQ(items[2]->text(), "Profile 3");
    for (int p = 0; p < kProfileCount; ++p) EXPECT_EQ(items[p]->isChecked(), p == 1);
    EXPECT_EQ(tray.toolTip(), "KALVEX Vyre Lumo: Games");

    items[3]->trigger();
    for (win::MSG msg; win::PeekMessage(msg);) win::DispatchMessage(msg);
    EXPECT_EQ(chosen, (std::vector<win::LPARAM>{3}));
    EXPECT_TRUE(items[1]->isChecked());  // until the keyboard has switched

    tray.MenuNotices(false);
    EXPECT_EQ(settings->ReadDword("Profile Notice"), 0u);
    record.clear();
    shared.profiles.current = 3;
    win::SendMessage(shared.tray.load(), link::kMsgNotify, link::notify::kTrayProfiles, 1);
    EXPECT_EQ(record, (std::vector<std::string>{"tray tip KALVEX Vyre Lumo: Films"}));
    platform::ActionRecord::Instance().Close();
    CTrayThread again(shared, settings.get());
    ASSERT_TRUE(again.Create());
    EXPECT_FALSE(again.noticesTicked());  // kept
    again.Destroy();

    tray.menu()->popup(QPoint(0, 0));
    tray.menu()->grab().save(QString::fromStdString((ScreenshotFolder() / "tray_menu.png").string()));
    tray.menu()->hide();
    widgets::CPopupNotice notice("Profile 2", "Games");
    notice.show();
    notice.grab().save(QString::fromStdString((ScreenshotFolder() / "profile_notice.png").string()));
    EXPECT_FALSE(notice.isActiveWindow());
    notice.hide();
    tray.Destroy();
}

TEST(Tray, StartWithTheDesktopShowsAndSwitchesTheUsersEntry) {
    App();
    testing::TempDir folder;
    ::setenv("XDG_CONFIG_HOME", (folder / "home").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (folder / "xdg").c_str(), 1);
    const auto user = folder / "home" / "autostart" / platform::kAutostartEntryName;
    // The package's system entry starts the Monitor.
    ASSERT_TRUE(platform::WriteFileAtomically(folder / "xdg" / "autostart" / platform::kAutostartEntryName,
                                              "[Desktop Entry]\nExec=vyre-lumo-monitor\n"));
    MonitorShared shared;
    CTrayThread tray(shared);
    ASSERT_TRUE(tray.Create());
    EXPECT_TRUE(tray.autostartTicked());
    tray.MenuAutostart(false);
    EXPECT_FALSE(tray.autostartTicked());
    ASSERT_TRUE(platform::ReadWholeFile(user));
    EXPECT_NE(platform::ReadWholeFile(user)->find("Hidden=true"), std::string::npos);
    tray.MenuAutostart(true);
    EXPECT_TRUE(tray.autostartTicked());
    EXPECT_FALSE(std::filesystem::exists(user));
    tray.Destroy();
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_CONFIG_DIRS");
}

}  // namespace
}  // namespace vyre
