#include "config/frame/config_app.h"

#include <QApplication>
#include <QTimer>

#include <string>
#include <thread>

#include "common/link_codes.h"
#include "common/log.h"
#include "config/frame/failure_text.h"
#include "platform/process.h"
#include "platform/record.h"
#include "widgets/popup_dlg.h"
#include "widgets/qt_loop.h"

namespace vyre {
namespace {

constexpr const char* kArea = "config";
constexpr win::UINT kMsgShowDialog = win::WM_APP + 1;

}  // namespace

CVyreMKConfigApp::CVyreMKConfigApp() = default;

CVyreMKConfigApp::~CVyreMKConfigApp() {
    dialog_.reset();
    linkThread_.reset();
    if (mainWindow_.IsWindow()) mainWindow_.DestroyWindow();
}

void CVyreMKConfigApp::MessageBox(const char* text, const char* caption) {
    log::Error(kArea, std::string(caption) + ": " + text);
    widgets::ShowMessageBox(widgets::CPopupDlg::Form::Config, caption, text);
}

bool CVyreMKConfigApp::InitInstance() {
    // The Monitor, started once when it is not there, then looked for every 4 s.
    win::HWND monitor = FindMonitor();
    if (monitor == 0) {
        log::Info(kArea, "no Monitor running: starting it");
        if (!process::StartOwnProgram("Vyre Lumo Monitor.exe")) {
            MessageBox(
                "Can't not Load the Vyre Lumo Monitor Application Up! Plaese reinstall the driver.",
                "Vyre Lumo Monitor Application StartUp Error");
            return false;
        }
        // The Monitor needs time to create its window: each look comes 4 s
        // after the one before, the first 4 s after the start (24 s at most).
        for (int looks = 0; monitor == 0; ++looks) {
            if (looks >= kMonitorLooks) {
                MessageBox(
                    "Can't not set the VYRE LUMO Monitor Application Up! Plaese reinstall the "
                    "driver.",
                    "VYRE LUMO Monitor Application StartUp Error");
                return false;
            }
            waitBeforeLook(std::chrono::milliseconds(kMonitorLookMs));
            monitor = FindMonitor();
        }
    }
    shared_.monitor = monitor;
    if (win::FindWindow(nullptr, "Kalvex Vyre Lumo FW Update") != 0) {
        log::Info(kArea, "the firmware update program runs: ending");
        return false;
    }
    const std::string linkTitle(link::kLinkWindowTitle);
    if (win::FindWindow(nullptr, linkTitle.c_str()) != 0) {
        // The one that runs brings its window back where the user sees it.
        const std::string running(link::kConfigMainWindowName);
        win::PostMessage(win::FindWindow(nullptr, running.c_str()), link::kMsgRestoreDialog, 0, 0);
        log::Info(kArea, "another Config runs: it was asked to show its window; ending");
        return false;
    }
    const std::string mainName(link::kConfigMainWindowName);
    if (!mainWindow_.Create(mainName, mainName, win::HWND_MESSAGE)) return false;
    shared_.mainWindow = mainWindow_.GetSafeHwnd();
    mainWindow_.Messages().On(kMsgShowDialog, [this](win::WPARAM, win::LPARAM) {
        ShowDialog();
        return 0;
    });
    mainWindow_.Messages().On(kMsgEndWithReason, [this](win::WPARAM, win::LPARAM) {
        EndBeforeDialog();
        return 0;
    });
    // A second start of the Config: the dialog comes back from the task bar
    // and to the front (before the dialog is there, nothing is to be shown).
    mainWindow_.Messages().On(link::kMsgRestoreDialog, [this](win::WPARAM, win::LPARAM) {
        if (!dialog_) return 0;
        dialog_->setWindowState((dialog_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        dialog_->show();
        dialog_->raise();
        dialog_->activateWindow();
        log::Info(kArea, "a second start brought the dialog to the front");
        return 0;
    });
    // Notice 43: the link thread asks for the dialog on this (the GUI) thread.
    shared_.startDialog = [this] {
        win::PostMessage(mainWindow_.GetSafeHwnd(), kMsgShowDialog, 0, 0);
    };
    linkThread_ = std::make_unique<CDataWorkThread>(shared_);
    if (!linkThread_->CreateThread(kLinkThreadStack)) return false;
    return true;
}

void CVyreMKConfigApp::ShowDialog() {
    if (dialog_) return;
    dialog_ = std::make_unique<CVyreMKConfigDlg>(shared_);
    dialog_->Initialise();
    QObject::connect(dialog_.get(), &QDialog::finished, [this](int) {
        // The dialog's end ends the link thread, whose end ends the program.
        win::PostMessage(shared_.linkWindow.load(), win::WM_QUIT, 0, 0);
    });
    dialog_->show();
    log::Info(kArea, "main dialog shown");
    dialog_->TellOfDamagedSettings();
    QTimer::singleShot(0, dialog_.get(), [this] { dialog_->OfferRecovery(); });
    if (onDialogShown) onDialogShown(*dialog_);
}

void CVyreMKConfigApp::EndBeforeDialog() {
    // The Monitor ends this Config before it showed anything: the user hears why.
    const EndMessage message = EndMessageOf(shared_.endReason.load(), shared_.deniedNode, false);
    if (!message.text.empty()) MessageBox(message.text.c_str(), message.caption.c_str());
    win::PostMessage(mainWindow_.GetSafeHwnd(), win::WM_QUIT, 0, 0);
}

int CVyreMKConfigApp::Run() {
    const int code = widgets::RunQtLoopWithWindows();
    if (dialog_) dialog_->hide();
    if (linkThread_) {
        win::PostMessage(shared_.linkWindow.load(), win::WM_QUIT, 0, 0);
        linkThread_->Wait(std::chrono::seconds(5));
    }
    // The link thread's last word is a quit for this thread; taken here, it
    // cannot end a later loop of the same thread at its start.
    win::ProcessPendingMessages();
    return code;
}

}  // namespace vyre
