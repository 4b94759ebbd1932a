#include "monitor/shell/monitor_app.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <chrono>
#include <cerrno>
#include <cstdlib>

#include "common/link_codes.h"
#include "common/log.h"
#include "platform/hid/device_ids.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/record.h"
#include "widgets/popup_dlg.h"
#include "widgets/qt_loop.h"

namespace vyre {
namespace {

constexpr const char* kArea = "monitor";
// The caption of the Monitor's message boxes that name no caption of their own.
constexpr const char* kProgramName = "Vyre Lumo Monitor";

// A message box of the Monitor (shown or recorded); one without a caption
// of its own carries the program's name.
void ShowMonitorBox(const std::string& caption, const std::string& text) {
    widgets::ShowMessageBox(widgets::CPopupDlg::Form::Monitor, caption.empty() ? kProgramName : caption,
                            text);
}

// A start that fails: logged as an error, then told in a message box.
void StartFailure(const std::string& text) {
    log::Error(kArea, std::string(kProgramName) + ": " + text);
    ShowMonitorBox(kProgramName, text);
}

}  // namespace

CVyreMKMonitorApp::CVyreMKMonitorApp(MonitorOptions options)
    : options_(std::move(options)), store_(NewProfileStore()) {}

CVyreMKMonitorApp::~CVyreMKMonitorApp() {
    keyboardThread_.reset();
    control_.reset();
}

bool CVyreMKMonitorApp::InitInstance() {
    const std::string controlClass(link::kControlWindowClass);
    const std::string controlTitle(link::kControlWindowTitle);
    if (win::FindWindow(controlClass.c_str(), controlTitle.c_str()) != 0) {
        log::Info(kArea, "another Monitor is running; ending");
        return false;
    }
    // Without the runtime folder no Config could ever reach this Monitor.
    if (std::string why; !win::CanReachOtherPrograms(&why)) {
        StartFailure("The Monitor cannot run where no program can reach it (" + why + "); ending.");
        startFailed_ = true;
        return false;
    }
    control_ = std::make_unique<CMoniterCtrl>(*store_, shared_, commands_);
    if (!control_->Create()) {
        const int code = errno;  // what the window layer's last system call left
        StartFailure("CreateWindow() error! ErrorCode=" + std::to_string(code));
        startFailed_ = true;
        return false;
    }
    shared_.talkMessage = win::RegisterWindowMessage(link::kTalkMessageName);

    repeat_ = platform::MakeKeyboardRepeat();
    settings_ = std::make_unique<SettingsPersistence>(platform::Registry::CurrentUser(),
                                                      paths::Resolve("./Config"));
    auto volume = platform::MakePulseVolume();
    auto keys = platform::MakeKeyInjector(volume.get());
    host_ = std::make_unique<SystemHostActions>(std::move(keys), std::move(volume), platform::MakeSessionDesktop());
    soundThread_ = std::make_unique<CSoundThread>(shared_, platform::MakeMci());
    lightThread_ = std::make_unique<CLEDMacroThread>(*store_, shared_);
    if (options_.gui) {
        // The tray's window lives on this (the GUI) thread.
        tray_ = std::make_unique<CTrayThread>(shared_);
        tray_->screenshotFolder = options_.screenshots;
        if (!tray_->Create()) {
            log::Warning(kArea, "the tray icon could not be created");
            shared_.trayExpected = false;
        } else if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            log::Warning(kArea, "this desktop has no system tray: the Monitor runs without its icon");
        }
    } else {
        shared_.trayExpected = false;
        log::Info(kArea, "no display: running without a tray icon");
    }
    LinkHooks hooks;
    hooks.newerFirmwarePopup = [this] {
        if (platform::ActionRecord::Instance().Active()) {
            platform::ActionRecord::Instance().Write("popup 144 140");
            return;
        }
        if (!widgets::HasDisplay()) {
            // Nobody could close it (Qt's offscreen platform, say): the
            // keyboard thread would wait for ever.
            log::Warning(kArea, "the keyboard's firmware is newer than this software knows");
            return;
        }
        // Modal on the GUI thread; the keyboard thread waits for it.
        QMetaObject::invokeMethod(
            qApp,
            [] {
                widgets::CPopupDlg popup(widgets::CPopupDlg::Form::Monitor);
                popup.SetFaceBitmaps(144, 140);
                popup.SetTwoButtons(false);
                popup.Run();
            },
            Qt::BlockingQueuedConnection);
    };
    hooks.messageBox = [](const std::string& text, const std::string& caption) {
        ShowMonitorBox(caption, text);  // the keyboard link has logged it
    };
    hooks.startWorkerThreads = [this] {
        // The sound thread, the tray thread (with the tray icon), the light macro player.
        if (!soundThread_->CreateThread()) log::Warning(kArea, "the sound thread could not be started");
        if (!lightThread_->CreateThread()) log::Warning(kArea, "the light macro thread could not be started");
    };
    hooks.startFirmwareUpdater = [this] {
        const auto started = process::StartOwnProgram("FWupdate\\Vyre Lumo FW Update.exe");
        if (!started) {
            const std::string text = "The keyboard needs a firmware update, but the firmware update "
                                     "program could not be started: " + started.what;
            log::Warning(kArea, text);
            ShowMonitorBox("Firmware update", text);
        }
        return started.started;
    };
    keyboardThread_ = std::make_unique<CHIDFilterThread>(
        options_.backend.get(), hid::ConfiguredKeyboardIds(), *store_, shared_, commands_,
        *settings_, *repeat_, *host_, std::move(hooks), options_.link);
    if (!keyboardThread_->CreateThread(kKeyboardThreadStack)) {
        log::Error(kArea, "the keyboard thread could not be started");
        startFailed_ = true;
        return false;
    }
    log::Info(kArea, "running; data folder " + paths::DataFolder().string() + ", shipped files " +
                         paths::AssetFolder().string());
    return true;
}

int CVyreMKMonitorApp::Run() {
    if (!options_.gui || qApp == nullptr) return win::RunMessageLoop();
    return widgets::RunQtLoopWithWindows();
}

int CVyreMKMonitorApp::ExitInstance() {
    if (keyboardThread_) {
        // The threads were told to quit; give them the time to leave the
        // keyboard in order, then cut their waits short.
        if (!keyboardThread_->Wait(std::chrono::milliseconds(kStopWaitMs))) {
            log::Warning(kArea, "the keyboard thread is still busy; cutting its waits short");
            keyboardThread_->Abort();
            win::PostMessage(shared_.keyboard.load(), win::WM_QUIT, 0, 0);
            if (!keyboardThread_->Wait(std::chrono::milliseconds(kStopAbortWaitMs))) {
                log::Error(kArea, "the keyboard thread does not end; leaving without it");
                std::_Exit(1);
            }
        }
    }
    // The workers were told to quit with the keyboard thread.
    if (lightThread_ && !lightThread_->Wait(std::chrono::milliseconds(kStopWaitMs))) {
        log::Warning(kArea, "the light macro thread did not end in time");
    }
    if (soundThread_ && !soundThread_->Wait(std::chrono::milliseconds(kStopWaitMs))) {
        log::Warning(kArea, "the sound thread did not end in time");
    }
    if (tray_) tray_->Destroy();
    if (control_) control_->DestroyWindow();
    shared_.control = 0;
    log::Info(kArea, "stopped");
    return 0;
}

}  // namespace vyre
