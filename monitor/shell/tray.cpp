#include "monitor/shell/tray.h"

#include <QActionGroup>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <string>

#include "common/link_codes.h"
#include "common/log.h"
#include "common/profile_store.h"
#include "common/settings_words.h"
#include "platform/autostart.h"
#include "platform/process.h"
#include "platform/record.h"
#include "platform/registry.h"
#include "widgets/popup_dlg.h"
#include "widgets/controls.h"
#include "widgets/skin_art.h"

namespace vyre {
namespace {

constexpr const char* kTip = "KALVEX Vyre Lumo";
constexpr const char* kNoticeValue = "Profile Notice";

// A profile's name as the menu shows it; a profile without one is numbered.
QString MenuName(const ProfileMenu& profiles, int p) {
    const QString name = QString::fromStdString(profiles.names[p]).trimmed();
    return name.isEmpty() ? QString("Profile %1").arg(p + 1) : name;
}

}  // namespace

CTrayThread::CTrayThread(MonitorShared& shared, platform::Registry* settings)
    : shared_(shared), settings_(settings != nullptr ? *settings : platform::Registry::CurrentUser()) {
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
    window_.Messages().On(link::kMsgNotify, link::notify::kTrayProfiles, [this](win::WPARAM, win::LPARAM changed) {
        ProfilesChanged(changed != 0);
        return 0;
    });
    window_.Messages().On(link::kMsgNotify, link::notify::kTrayNotWritten,
                          [this](win::WPARAM, win::LPARAM command) {
                              NotWritten(static_cast<std::uint16_t>(command));
                              return 0;
                          });
    window_.Messages().On(win::WM_DESTROY, [this](win::WPARAM, win::LPARAM) {
        ShowIcon(false);
        shared_.tray = 0;
        return 0;
    });

    menu_ = std::make_unique<QMenu>();
    menu_->setStyleSheet(widgets::KitStyleSheet());
    // The five profiles; filled in once the keyboard was read.
    profileGroup_ = new QActionGroup(menu_.get());
    for (int p = 0; p < kProfileCount; ++p) {
        profiles_[p] = menu_->addAction(QString("Profile %1").arg(p + 1));
        profiles_[p]->setCheckable(true);
        profiles_[p]->setEnabled(false);
        profileGroup_->addAction(profiles_[p]);
        QObject::connect(profiles_[p], &QAction::triggered, [this, p] { MenuProfile(p); });
    }
    menu_->addSeparator();
    notices_ = menu_->addAction("Show profile changes");
    notices_->setCheckable(true);
    notices_->setChecked(settings_.ReadDword(kNoticeValue).value_or(1) != 0);
    QObject::connect(notices_, &QAction::triggered, [this](bool on) { MenuNotices(on); });
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

void CTrayThread::MenuProfile(int profile) {
    if (!IsProfile(profile)) return;
    // The tick follows the keyboard: it moves when the keyboard thread has
    // switched and published the profile.
    const ProfileMenu now = shared_.Profiles();
    if (IsProfile(now.current) && profiles_[now.current]) profiles_[now.current]->setChecked(true);
    if (!win::PostMessage(shared_.keyboard.load(), link::kMsgNotify, link::notify::kChooseProfile, profile))
        log::Warning("tray", "the profile could not be chosen: the keyboard thread is not there");
}

void CTrayThread::MenuNotices(bool on) {
    if (settings_.WriteDword(kNoticeValue, on ? 1 : 0) != platform::RegStatus::Ok)
        log::Warning("tray", "the profile notice's setting could not be kept");
    if (notices_) notices_->setChecked(on);
}

bool CTrayThread::noticesTicked() const {
    return notices_ != nullptr && notices_->isChecked();
}

QString CTrayThread::toolTip() const {
    return icon_ ? icon_->toolTip() : QString();
}

void CTrayThread::ProfilesChanged(bool currentChanged) {
    const ProfileMenu profiles = shared_.Profiles();
    for (int p = 0; p < kProfileCount; ++p) {
        if (!profiles_[p]) continue;
        profiles_[p]->setText(MenuName(profiles, p));
        profiles_[p]->setEnabled(true);
        profiles_[p]->setChecked(p == profiles.current);
    }
    if (!IsProfile(profiles.current)) return;
    const QString name = MenuName(profiles, profiles.current);
    const QString tip = QString("%1: %2").arg(kTip, name);
    if (icon_ && icon_->toolTip() != tip) {
        icon_->setToolTip(tip);
        if (platform::ActionRecord::Instance().Active())
            platform::ActionRecord::Instance().Write("tray tip " + tip.toStdString());
    }
    if (!screenshotFolder.empty()) {
        WriteScreenshots(screenshotFolder);
        screenshotFolder.clear();
    }
    if (currentChanged && noticesTicked()) {
        widgets::ShowNotice("Profile " + std::to_string(profiles.current + 1), name.toStdString());
    }
}

void CTrayThread::WriteScreenshots(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (menu_) {
        menu_->popup(QPoint(0, 0));
        menu_->grab().save(QString::fromStdString((folder / "monitor-tray-menu.png").string()));
        menu_->hide();
    }
    const ProfileMenu profiles = shared_.Profiles();
    const int p = IsProfile(profiles.current) ? profiles.current : 0;
    widgets::CPopupNotice notice(QString("Profile %1").arg(p + 1), MenuName(profiles, p));
    notice.show();
    notice.grab().save(QString::fromStdString((folder / "monitor-profile-notice.png").string()));
    notice.hide();
}

void CTrayThread::NotWritten(std::uint16_t command) {
    if (!notWrittenTimer_) {
        notWrittenTimer_ = std::make_unique<QTimer>();
        notWrittenTimer_->setSingleShot(true);
        QObject::connect(notWrittenTimer_.get(), &QTimer::timeout, [this] { TellNotWritten(); });
    }
    notWritten_.insert(command);
    notWrittenTimer_->start(1500);  // the rest of the burst joins it
}

void CTrayThread::TellNotWritten() {
    std::string list;
    for (std::uint16_t command : notWritten_) list += (list.empty() ? "" : "; ") + SettingsInWords(command, 0);
    notWritten_.clear();
    const std::string text = "The keyboard did not take what was last applied: " + list +
                             ".\n\nOpen the Configuration from the tray menu and press APPLY again; if "
                             "the keyboard still refuses, plug it out and in again.";
    log::Warning("tray", "told the user: " + text.substr(0, text.find('\n')));
    widgets::ShowMessageBox(widgets::CPopupDlg::Form::Monitor, "Keyboard", text);
}

bool CTrayThread::autostartTicked() const {
    return autostart_ != nullptr && autostart_->isChecked();
}

void CTrayThread::MenuExit() {
    win::PostMessage(shared_.control.load(), link::kMsgNotify, link::notify::kExit, 0);
    win::PostMessage(window_.GetSafeHwnd(), win::WM_QUIT, 0, 0);
}

}  // namespace vyre
