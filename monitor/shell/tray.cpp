#include "monitor/shell/tray.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

#include <string>

#include "common/link_codes.h"
#include "common/log.h"
#include "platform/autostart.h"
#include "platform/process.h"
#include "platform/record.h"
#include "widgets/popup_dlg.h"
#include "widgets/skin_art.h"

namespace vyre {
namespace {

constexpr const char* kTip = "KALVEX Vyre Lumo";

}  // namespace

CTrayThread::CTrayThread(MonitorShared& shared) : shared_(shared) {
    startConfig = [] {
        const auto started = process::StartOwnProgram("Vyre Lumo Config.exe");
        if (!started) log::Warning("tray", "the Config could not be started: " + started.what);
        return started.started;
    };
}

CTrayThread::~CTrayThread() {
    Destroy();
}

bool CTrayThread::Create() {
    const std::string name(link::kTrayWindowName);
    if (!window_.Create(name, name, win::HWND_MESSAGE)) return false;
    window_.Messages().On(link::kMsgNotify, [this](win::WPARAM code, win::LPARAM) {
        if (code == link::notify::kTrayShow) ShowIcon(true);
        if (code == link::notify::kTrayHide) ShowIcon(false);
        return 0;
    });
    window_.Messages().On(win::WM_DESTROY, [this](win::WPARAM, win::LPARAM) {
        ShowIcon(false);
        shared_.tray = 0;
        return 0;
    });

    menu_ = std::make_unique<QMenu>();
    QObject::connect(menu_->addAction("Configuration"), &QAction::triggered,
                     [this] { MenuConfiguration(); });
    // The user's choice whether the desktop session starts the Monitor; the
    // tick is read again each time the menu opens, since the entry is a file
    // the user may change.
    autostart_ = menu_->addAction("Start with the desktop");
    autostart_->setCheckable(true);
    autostart_->setChecked(platform::AutostartEnabled());
    QObject::connect(menu_.get(), &QMenu::aboutToShow,
                     [this] { autostart_->setChecked(platform::AutostartEnabled()); });
    QObject::connect(autostart_, &QAction::triggered, [this](bool on) { MenuAutostart(on); });
    menu_->addSeparator();
    QObject::connect(menu_->addAction("Exit"), &QAction::triggered, [this] { MenuExit(); });
    icon_ = std::make_unique<QSystemTrayIcon>(QIcon(widgets::AppIcon(64)));
    icon_->setToolTip(kTip);
    icon_->setContextMenu(menu_.get());
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::DoubleClick) DoubleClicked();
                     });
    shared_.tray = window_.GetSafeHwnd();
    return true;
}

void CTrayThread::Destroy() {
    if (window_.IsWindow()) window_.DestroyWindow();
    icon_.reset();
    menu_.reset();
}

void CTrayThread::ShowIcon(bool show) {
    if (show == shown_) return;
    shown_ = show;
    if (platform::ActionRecord::Instance().Active()) {
        platform::ActionRecord::Instance().Write(show ? "tray show" : "tray hide");
        return;
    }
    if (icon_) icon_->setVisible(show);
}

bool CTrayThread::StartConfig() {
    return startConfig && startConfig();
}

void CTrayThread::DoubleClicked() {
    if (StartConfig()) return;
    log::Error("tray", "Error: Can't find Config file !");
    widgets::ShowMessageBox(widgets::CPopupDlg::Form::Monitor, "Error", "Can't find Config file !");
}

void CTrayThread::MenuConfiguration() {
    StartConfig();
}

void CTrayThread::MenuAutostart(bool on) {
    std::string error;
    if (platform::SetAutostart(on, process::OwnExecutable(), &error)) {
        log::Info("tray", on ? "the Monitor starts with the desktop" : "the Monitor no longer starts with the desktop");
    } else {
        log::Warning("tray", "the autostart entry could not be changed: " + error);
    }
    if (autostart_) autostart_->setChecked(platform::AutostartEnabled());
}

bool CTrayThread::autostartTicked() const {
    return autostart_ != nullptr && autostart_->isChecked();
}

void CTrayThread::MenuExit() {
    win::PostMessage(shared_.control.load(), link::kMsgNotify, link::notify::kExit, 0);
    win::PostMessage(window_.GetSafeHwnd(), win::WM_QUIT, 0, 0);
}

}  // namespace vyre
