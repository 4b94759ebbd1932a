#include "config/frame/config_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "common/link_codes.h"
#include "common/log.h"
#include "common/profile_file.h"
#include "common/store_blocks.h"
#include "config/frame/help_ids.h"
#include "config/lights/macro_manager_dlg.h"
#include "platform/atomic_file.h"
#include "platform/read_file.h"
#include "platform/key_names.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/profile_ini.h"
#include "platform/system.h"
#include "platform/text.h"
#include "widgets/file_dialog.h"
#include "widgets/popup_dlg.h"

namespace vyre {
namespace {

using widgets::ControlKind;
using widgets::CSkinButton;

constexpr const char* kArea = "dialog";
const char* kFileFilter = "Kalvex KeyBoard Profile(*.kkp)";

const char* kTabCaptions[kPageCount] = {"MAIN CONTROL", "KEY ASSIGNMENT", "ILLUMINATION",
                                        "STATS & TROPHIES", "UPDATE & SUPPORT"};
const int kTabHelp[kPageCount] = {help::kTabMainControl, help::kTabKeyAssignment,
                                  help::kTabIlluminationAndStatistics,
                                  help::kTabIlluminationAndStatistics, help::kTabSupport};
const int kSlotX[kProfileCount] = {6, 165, 322, 479, 637};
const int kMarkerX[kProfileCount] = {139, 296, 453, 611, 769};
const int kNameX[kProfileCount] = {38, 190, 345, 502, 660};
const QColor kSelectedName(254, 254, 254);
const QColor kOtherName(110, 110, 110);

template <typename L = QLabel>
L* Label(QWidget* parent, const QRect& at, int pixelSize = 12) {
    auto* label = new L(parent);
    label->setGeometry(at);
    label->setFont(widgets::TextFont(pixelSize));
    label->setStyleSheet("color: #9aa3ad; background: transparent;");
    return label;
}

void SetLabelColour(QLabel* label, const QColor& c) {
    label->setStyleSheet(QString("color: %1; background: transparent;").arg(c.name()));
}

}  // namespace

CVyreMKConfigDlg::CVyreMKConfigDlg(ConfigShared& shared, QWidget* parent)
    : CBitmapDialog(parent), shared_(shared) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QString::fromUtf8(link::kMainDialogTitle.data(), link::kMainDialogTitle.size()));
    setFont(widgets::TextFont(14));
    confirmDesktopProfile = [this](int) { return widgets::AskWithPopup(this, 958, 2380); };
}

CVyreMKConfigDlg::~CVyreMKConfigDlg() {
    shared_.dialog = 0;
    if (messages_.IsWindow()) messages_.DestroyWindow();
}

int CVyreMKConfigDlg::modelFlag() const {
    return shared_.mirror->hostSettingsBlock.modelFlag;
}

void CVyreMKConfigDlg::Initialise() {
    ProfileStore& mirror = *shared_.mirror;
    // 1. The dialog's own handle for the link window.
    const std::string title(link::kMainDialogTitle);
    messages_.Create(title, title, win::HWND_MESSAGE);
    messages_.Messages().On(link::kMsgNotify, [this](win::WPARAM code, win::LPARAM lParam) {
        OnNotice(static_cast<unsigned>(code), lParam);
        return 0;
    });
    messages_.Messages().On(link::kMsgRequest, [this](win::WPARAM code, win::LPARAM lParam) {
        OnOrder(static_cast<unsigned>(code), lParam);
        return 0;
    });
    shared_.dialog = messages_.GetSafeHwnd();

    // 2. Versions: this program's and the keyboard's firmware.
    SetBitmaps(1001, mirror.hostSettingsBlock.modelFlag == 1 ? 1000 : 954);
    // Each number says what it is the version of.
    const std::string v = VYRE_LUMO_VERSION;
    version_ = Label(this, QRect(233, 12, 96, 14), 11);
    version_->setText(QString("SOFTWARE %1.%2%3")
                          .arg(v.size() > 0 ? v[0] : '0')
                          .arg(v.size() > 2 ? v[2] : '0')
                          .arg(v.size() > 4 ? v[4] : '0'));
    firmware_ = Label(this, QRect(333, 12, 96, 14), 11);
    SetFirmwareLabel();

    // 3. Tabs and pages (each page shows its name until it is built).
    const QRect pageRect(10, 124, width() - 5 - 25, height() - 5 - 288);
    for (int i = 0; i < kPageCount; ++i) {
        tabs_[i] = new CSkinButton(ControlKind::Tab, kTabCaptions[i], this);
        tabs_[i]->setCheckable(true);
        tabs_[i]->setHelpId(kTabHelp[i]);
        QObject::connect(tabs_[i], &QAbstractButton::clicked, this, [this, i] { ShowPage(i); });
        if (i == kPageMainControl) {
            pages_[i] = mainCtrl_ = new CMainCtrlDlg(shared_, this);
            mainCtrl_->setGeometry(pageRect);
            mainCtrl_->onReset = [this] { RedrawAfterReset(); };
            mainCtrl_->hide();
            continue;
        }
        if (i == kPageKeys) {
            pages_[i] = keys_ = new CKeyAssignmentDlg(*shared_.mirror, this);
            keys_->setGeometry(pageRect);
            keys_->SetKeyNames(&platform::DesktopKeyNames());
            keys_->SetTimerCommands(LinkTimerCommands(shared_.linkWindow));
            keys_->Initialise();
            keys_->SetMacroLink(MacroManagerDlg::LinkSender(shared_));
            keys_->onLightMacrosChanged = [this] {
                if (mainCtrl_ != nullptr) mainCtrl_->RebuildIlluminationMenu();
            };
            keys_->hide();
            continue;
        }
        if (i == kPageIllumination) {
            pages_[i] = illumination_ =
                new CKeyIlluminationDlg(mirror, mirror.hostSettingsBlock.layoutCode, this);
            illumination_->setGeometry(pageRect);
            illumination_->SetMacroLink(MacroManagerDlg::LinkSender(shared_));
            // Either light macro editor's OK: both pages' light macro menus anew.
            illumination_->onLightMacrosChanged = [this] {
                if (keys_ != nullptr) keys_->RebuildSubmenu(key_page::kKindLightMacros);
                if (mainCtrl_ != nullptr) mainCtrl_->RebuildIlluminationMenu();
            };
            illumination_->hide();
            continue;
        }
        if (i == kPageStatistics || i == kPageSupport) {
            if (i == kPageStatistics) {
                pages_[i] = stats_ = new CStatsTrophiesDlg(mirror, shared_.monitor, this);
            } else {
                pages_[i] = support_ = new CUpdateSuPportDlg(mirror, this);
            }
            pages_[i]->setGeometry(pageRect);
            pages_[i]->hide();
            continue;
        }
        pages_[i] = new QWidget(this);
        pages_[i]->setGeometry(pageRect);
        QLabel* caption = Label(pages_[i], QRect(0, 0, pageRect.width(), pageRect.height()), 12);
        caption->setText(kTabCaptions[i]);
        caption->setAlignment(Qt::AlignCenter);
        caption->setStyleSheet("color: #5b636d; background: transparent;");
        pages_[i]->hide();
    }

    // 4. The profile bar and the buttons.
    for (int p = 0; p < kProfileCount; ++p) {
        slots_[p] = new CSkinButton(ControlKind::ProfileSlot, "", this);
        slots_[p]->setGeometry(kSlotX[p], 486, 157, 26);
        slots_[p]->setCheckable(true);
        slots_[p]->setHelpId(help::kProfileSlot1 + p);
        QObject::connect(slots_[p], &QAbstractButton::clicked, this,
                         [this, p] { SelectProfile(p); });
        markers_[p] = new CSkinButton(ControlKind::Marker, "", this);
        markers_[p]->setGeometry(kMarkerX[p], 514, 24, 23);
        markers_[p]->setCheckable(true);
        markers_[p]->setToolTip("Desktop profile");
        markers_[p]->setAccessibleName(QString("Profile %1 is the desktop profile").arg(p + 1));
        QObject::connect(markers_[p], &QAbstractButton::clicked, this,
                         [this, p] { MarkerClicked(p); });
        names_[p] = Label<widgets::CSkinLabel>(this, QRect(kNameX[p], 518, 90, 13), 12);
        names_[p]->setHelpId(help::ProfileNameHelp(p));
        names_[p]->setText(QString("Default%1").arg(p + 1));
        auto* number = Label(this, QRect(kSlotX[p] + 12, 486, 140, 26), 11);
        number->setText(QString("PROFILE %1").arg(p + 1));
        number->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    auto push = [this](const char* caption, const QRect& at, int helpId,
                       ControlKind kind = ControlKind::Push) {
        auto* b = new CSkinButton(kind, caption, this);
        b->setGeometry(at);
        b->setHelpId(helpId);
        return b;
    };
    QObject::connect(push("CREATE PROFILE", {295, 445, 130, 28}, help::kCreateProfile),
                     &QAbstractButton::clicked, this, [this] { CreateOrEditProfile(false); });
    QObject::connect(push("LOAD PROFILE", {435, 447, 124, 26}, help::kLoadProfile),
                     &QAbstractButton::clicked, this, [this] { LoadProfileDialog(); });
    QObject::connect(push("SAVE PROFILE", {564, 445, 124, 28}, help::kSaveProfile),
                     &QAbstractButton::clicked, this, [this] { SaveProfileDialog(); });
    QObject::connect(push("EDIT PROFILE", {694, 445, 99, 28}, help::kEditProfile),
                     &QAbstractButton::clicked, this, [this] { CreateOrEditProfile(true); });
    QObject::connect(push("OK", {585, 563, 56, 30}, help::kOk), &QAbstractButton::clicked, this,
                     [this] { Ok(); });
    QObject::connect(push("APPLY", {641, 563, 71, 30}, help::kApply), &QAbstractButton::clicked,
                     this, [this] { Apply(); });
    QObject::connect(push("CANCEL", {713, 563, 80, 30}, help::kCancel), &QAbstractButton::clicked,
                     this, [this] { Cancel(); });
    QObject::connect(push("", {770, 6, 23, 21}, help::kClose, ControlKind::Close),
                     &QAbstractButton::clicked, this, [this] { Leave(); });
    QObject::connect(push("", {750, 7, 21, 20}, help::kMinimise, ControlKind::Minimise),
                     &QAbstractButton::clicked, this, [this] { showMinimized(); });
    SelectProfile(mirror.currentProfile());
    ReloadNames();
    SetMarkers();

    // 5. The language button and the quick help line, in the language
    //    stored, else in the system's. A help file that cannot be read
    //    leaves the line blank; the initialisation goes on.
    quickHelp_ = Label(this, QRect(52, 572, 510, 15), 12);
    quickHelp_->setStyleSheet("color: #e6e9ee; background: transparent;");
    language_ = new CLanguageMenuBtn(this);
    language_->setGeometry(12, 570, 32, 15);
    language_->onChosen = [this](int index) {
        // As a posted message: the menu's click ends before the language changes.
        QMetaObject::invokeMethod(
            this, [this, index] { ApplyLanguage(index); }, Qt::QueuedConnection);
    };
    if (KeepDamagedLanguageFile()) shared_.settingsDamaged |= 1u << kDamagedConfigIni;
    ApplyLanguage(StartLanguage(platform::UserDefaultLanguageId()));

    // 6.-7. The model's layout; the first page.
    ApplyModelLayout();
    ShowPage(kPageMainControl);

    // 8. The system's keyboard repeat is the current profile's.
    const auto repeat = mainCtrl_->keyboardRepeat().Get();
    ProfileHostRecord& rec = mirror.hostRecord(mirror.currentProfile());
    rec.repeatDelay = platform::kRepeatDelayMax - repeat.delay;
    rec.repeatRate = repeat.speed;
    // The system's values, not the user's edit: nothing to ask about on the way out.
    ProfileHostRecord& monitorRec =
        shared_.monitorCopy->hostSettingsBlock.profileHostRecords[mirror.currentProfile()];
    monitorRec.repeatDelay = rec.repeatDelay.get();
    monitorRec.repeatRate = rec.repeatRate.get();
    mainCtrl_->Refresh();

    // 9. Centred on the desktop, and within its available area at any scale.
    PlaceOnScreen();
}

void CVyreMKConfigDlg::SetFirmwareLabel() {
    firmware_->setText(QString::fromStdString(
        "FIRMWARE " + trophies::FirmwareText(shared_.mirror->deviceInfoReport)));
}

void CVyreMKConfigDlg::ApplyModelLayout() {
    const int model = modelFlag();
    tabs_[0]->setGeometry(6, 79, 158, 37);
    tabs_[1]->setGeometry(164, 79, 157, 37);
    if (model == 1) {
        version_->move(204, 12);
        firmware_->move(306, 12);
        tabs_[kPageIllumination]->hide();
        tabs_[kPageIllumination]->setEnabled(false);
        tabs_[kPageStatistics]->setGeometry(321, 79, 157, 37);
        tabs_[kPageSupport]->setGeometry(478, 79, 157, 37);
    } else {
        version_->move(233, 12);
        firmware_->move(333, 12);
        tabs_[kPageIllumination]->setGeometry(322, 79, 157, 37);
        tabs_[kPageIllumination]->show();
        tabs_[kPageIllumination]->setEnabled(true);
        tabs_[kPageStatistics]->setGeometry(479, 79, 157, 37);
        tabs_[kPageSupport]->setGeometry(636, 79, 157, 37);
    }
    SetBitmaps(1001, model == 1 ? 1000 : 954);
    mainCtrl_->ApplyModel(model);
}

void CVyreMKConfigDlg::ShowPage(int page) {
    if (page < 0 || page >= kPageCount || !tabs_[page]->isEnabled()) return;
    currentPage_ = page;
    for (int i = 0; i < kPageCount; ++i) {
        pages_[i]->setVisible(i == page);
        tabs_[i]->setChecked(i == page);
    }
}

void CVyreMKConfigDlg::SelectProfile(int profile) {
    if (!IsProfile(profile)) return;
    shared_.mirror->setCurrentProfile(profile);
    if (mainCtrl_ != nullptr) mainCtrl_->Refresh();
    if (illumination_ != nullptr) illumination_->Refresh();
    if (keys_ != nullptr) keys_->Refresh();
    CloseLanguageMenu();
    for (int p = 0; p < kProfileCount; ++p) {
        slots_[p]->setChecked(p == profile);
        SetLabelColour(names_[p], p == profile ? kSelectedName : kOtherName);
    }
}

void CVyreMKConfigDlg::ReloadNames() {
    for (int p = 0; p < kProfileCount; ++p) {
        const std::u16string name = shared_.mirror->hostRecord(p).name.str();
        names_[p]->setText(QString::fromStdU16String(name));
        slots_[p]->setAccessibleName(QString("Profile %1: %2").arg(p + 1).arg(names_[p]->text()));
    }
}

void CVyreMKConfigDlg::SetMarkers() {
    const std::int32_t desktop = shared_.mirror->hostSettingsBlock.windowsProfile;
    for (int p = 0; p < kProfileCount; ++p) markers_[p]->setChecked(p == desktop);
}

void CVyreMKConfigDlg::MarkerClicked(int profile) {
    CloseLanguageMenu();
    HostSettingsBlock& host = shared_.mirror->hostSettingsBlock;
    if (!markers_[profile]->isChecked()) {  // the click let it up
        host.windowsProfile = HostSettingsBlock::kNoWindowsProfile;
        return;
    }
    if (confirmDesktopProfile && confirmDesktopProfile(profile)) {
        host.windowsProfile = profile;
    } else {
        host.windowsProfile = HostSettingsBlock::kNoWindowsProfile;
    }
    SetMarkers();  // every marker shows the stored value, a refused one included
}

void CVyreMKConfigDlg::Ok() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const win::LRESULT result = win::SendMessage(
        shared_.linkWindow.load(), link::kMsgRequest, link::link_request::kFullUpload, 0);
    QApplication::restoreOverrideCursor();
    if (result == kUploadAfterRegistration) {
        // A Monitor started anew takes the upload after its dump; the dialog
        // closes once it has.
        closeAfterUpload_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QTimer::singleShot(kBusyBoundMs, this, [this] {
            // The new Monitor never sent its dump: the dialog stays, and says so.
            if (!closeAfterUpload_) return;
            closeAfterUpload_ = false;
            QApplication::restoreOverrideCursor();
            TellNoMonitor();
        });
        return;
    }
    // Without a Monitor nothing was applied: the dialog stays with the edits
    // (the link window's notice tells the user).
    if (result == kUploadNotSent && shared_.linkWindow.load() != 0) return;
    done(widgets::IDOK);
}

void CVyreMKConfigDlg::Apply() {
    // The wait cursor shows until the link window has handed this upload to
    // the Monitor (it tells with kDialogNoticeUploadDone).
    if (appliesPending_++ == 0) QApplication::setOverrideCursor(Qt::WaitCursor);
    notWrittenSinceApply_ = false;  // what this APPLY does not write is told once more
    if (!win::PostMessage(shared_.linkWindow.load(), link::kMsgRequest,
                          link::link_request::kFullUpload, 1))
        ApplyHandedOver(1);  // no link window: nothing to wait for
    CloseLanguageMenu();
}

void CVyreMKConfigDlg::ApplyHandedOver(int count) {
    if (appliesPending_ <= 0) return;
    appliesPending_ = std::max(0, appliesPending_ - count);
    if (appliesPending_ == 0) QApplication::restoreOverrideCursor();
}

void CVyreMKConfigDlg::Cancel() {
    if (win::HWND monitor = shared_.monitor.load()) {
        win::PostMessage(monitor, link::kMsgRequest, link::request::kReapplyProfile, 0);
    }
    done(widgets::IDCANCEL);
}

void CVyreMKConfigDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    Leave();
}

void CVyreMKConfigDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) CloseLanguageMenu();
    // Only the top band drags the dialog.
    if (event->position().y() > 0 && event->position().y() < 70) {
        CBitmapDialog::mousePressEvent(event);
    } else {
        QDialog::mousePressEvent(event);
    }
}

void CVyreMKConfigDlg::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    int step = 0;
    if (ctrl && (event->key() == Qt::Key_PageDown || (event->key() == Qt::Key_Tab && !shift))) step = 1;
    if (ctrl && (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_Backtab ||
                 (event->key() == Qt::Key_Tab && shift)))
        step = -1;
    if (step == 0) {
        CBitmapDialog::keyPressEvent(event);
        return;
    }
    // The next page whose tab can be chosen, round the row of tabs.
    for (int i = 1; i < kPageCount; ++i) {
        const int page = (currentPage_ + step * i + kPageCount) % kPageCount;
        if (!tabs_[page]->isEnabled()) continue;
        ShowPage(page);
        break;
    }
}

// ---- notices and orders from the link window ------------------------------------------------

void CVyreMKConfigDlg::OnNotice(unsigned code, win::LPARAM lParam) {
    switch (code) {
        case link::block::kDeviceInfo:
            SetFirmwareLabel();
            support_->Refresh();
            illumination_->SetLayoutVariant(shared_.mirror->hostSettingsBlock.layoutCode);
            keys_->ApplyModel();
            return;
        case link::block::kStatistics:
            stats_->Refresh();
            return;
        case link::block::kActiveProfile:
            SelectProfile(shared_.mirror->currentProfile());
            return;
        case link::dialog_notice::kHostSettings:
            StartPageHandling(lParam != 0);
            return;
        case link::dialog_notice::kNoKeyboard:
            EndTelling(kEndNoKeyboard);
            return;
        case link::dialog_notice::kKeyboardNoAccess:
            EndTelling(kEndNoAccess);
            return;
        case kDialogNoticeNotWritten:
            NotWritten(static_cast<std::uint16_t>(lParam & 0xFFFF),
                       static_cast<unsigned>(lParam >> 16));
            return;
        case kDialogNoticeNoMonitor:
            TellNoMonitor();
            return;
        case link::dialog_notice::kNotReady:
            hiddenNotReady_ = true;
            hide();
            return;
        case kDialogNoticeDumpComplete:
            ShowAgain();
            return;
        case kDialogNoticeSettingsDamaged:
            TellOfDamagedSettings();
            return;
        case kDialogNoticeUploadDone:
            ApplyHandedOver(static_cast<int>(lParam));
            if (closeAfterUpload_) {
                closeAfterUpload_ = false;
                QApplication::restoreOverrideCursor();
                done(widgets::IDOK);
            }
            return;
        case link::dialog_notice::kTrophy:
            StartPageHandling(true);
            stats_->ShowTrophy(static_cast<int>(lParam >> 16));
            return;
        case link::dialog_notice::kTalkDevices:
            mainCtrl_->RebuildTalkMenu();
            keys_->RebuildSubmenu(key_page::kKindTalk);
            return;
        case link::block::kKeyRemap:
        case link::block::kFunctionKeys:
        case link::block::kThumbKeys:
        case link::block::kFlexKeys:
            keys_->Refresh();
            return;
        case link::block::kMacros:
        case link::list::kMacros:
        case link::list::kMacroSets:
            keys_->Refresh(true);
            return;
        case link::list::kTimers:
            keys_->RebuildSubmenu(key_page::kKindTimers);
            return;
        case link::list::kLightMacroSets:
        case link::list::kLightMacros:
            if (modelFlag() == 2) keys_->RebuildSubmenu(key_page::kKindLightMacros);
            return;
        default:
            return;  // the pages' notices come with the pages
    }
}

void CVyreMKConfigDlg::OnOrder(unsigned code, win::LPARAM) {
    switch (code) {
        case link::dialog_order::kClose:
            EndTelling(shared_.endReason.load());
            return;
        case link::dialog_order::kBusyWait:
            BusyWait();
            return;
        case 1035:
            ReloadNames();
            return;
        default:
            return;
    }
}

void CVyreMKConfigDlg::BusyWait() {
    ++busyWaitsBegun_;
    // The link window raised the flag before it posted this order and clears
    // it when the keyboard reports the end, or when its timer ends the wait.
    // Once the link window is gone (the Config ends) nothing would clear it,
    // so the wait ends then too, and in any case at its own bound. Meanwhile
    // the dialog paints and takes the link window's notices, but no input.
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyBoundMs + 2000);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    while (shared_.busy.load() == 1 && shared_.linkWindow.load() != 0 &&
           std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(20);
    }
    QApplication::restoreOverrideCursor();
    ++busyWaitsEnded_;
}

// The Monitor had no keyboard ready (notice 16) and has now sent a whole
// dump: the dialog shows again with it, on the page it had.
void CVyreMKConfigDlg::TellOfDamagedSettings() {
    const unsigned damaged = shared_.settingsDamaged.exchange(0);
    if (damaged == 0) return;
    std::string text;
    if ((damaged & (1u << link::notice::kDamagedRegistry)) != 0) {
        text = "The settings file could not be read whole. Every setting that could still be read is "
               "kept; the others are back to their defaults.\n\nThe damaged file is kept beside it in " +
               paths::RegistryFile().parent_path().string() + ".";
    }
    // The files of the Config folder, by what they hold.
    static constexpr std::pair<long, const char*> kFiles[] = {
        {link::notice::kDamagedTimers, "Timer.ini (the countdown timers)"},
        {link::notice::kDamagedMacros, "Preset_sequence.dat (the macros)"},
        {link::notice::kDamagedLightMacros, "Preset_sequenceIll.dat (the light macros)"},
        {link::notice::kDamagedLightBlocks, "IlluminationButtonSet.dat (the light macros of keys)"},
        {kDamagedConfigIni, "Config.ini (the quick help language)"},
    };
    std::string files;
    for (const auto& [which, name] : kFiles) {
        if ((damaged & (1u << which)) == 0) continue;
        files += std::string(files.empty() ? "" : ", ") + name;
    }
    if (!files.empty()) {
        if (!text.empty()) text += "\n\n";
        text += "The file " + files + " could not be read whole. Everything that could still be read "
                "in it is kept.\n\nThe damaged file is kept beside it in " +
                paths::Resolve("./Config").string() + ".";
    }
    log::Warning(kArea, "the user is told of damaged settings files");
    QTimer::singleShot(0, this, [this, text] {
        widgets::ShowMessageBox(widgets::CPopupDlg::Form::Config, "Settings damaged", text, this);
    });
}

void CVyreMKConfigDlg::ShowAgain() {
    if (!hiddenNotReady_) return;
    hiddenNotReady_ = false;
    const int page = currentPage_;
    SetFirmwareLabel();
    ApplyModelLayout();
    SelectProfile(shared_.mirror->currentProfile());
    StartPageHandling(false);
    ShowPage(page);
    if (currentPage_ != page) ShowPage(kPageMainControl);  // a page the keyboard lacks now
    show();
    raise();
    activateWindow();
}

void CVyreMKConfigDlg::StartPageHandling(bool flag) {
    HostSettingsBlock& host = shared_.mirror->hostSettingsBlock;
    if (flag) {
        const int page = host.startPage.get();
        ShowPage(page);
        if (page == kPageStatistics) {
            host.startPage = 0;
            // To the Monitor at once, so that both programs start on the first
            // page again: its own block, without the edits not applied yet.
            win::PostMessage(shared_.linkWindow.load(), link::kMsgRequest,
                             kLinkRequestStartPageReset, 0);
        }
    }
    SetMarkers();
    ReloadNames();
    mainCtrl_->Refresh();
    stats_->Refresh();
    support_->Refresh();
    illumination_->Refresh();
    keys_->Refresh();
}

void CVyreMKConfigDlg::RedrawAfterReset() {
    SelectProfile(shared_.mirror->currentProfile());
    SetMarkers();
    ReloadNames();
    update();
}

// ---- language and quick help ---------------------------------------------------------------

void CVyreMKConfigDlg::CloseLanguageMenu() {
    if (language_ != nullptr) language_->ShowMenu(false);
}

void CVyreMKConfigDlg::ApplyLanguage(int index) {
    language_->SetLanguage(index);
    CloseLanguageMenu();
    StoreLanguage(index);
    helpTexts_.clear();
    if (auto lines = ReadHelpTexts(index)) helpTexts_ = std::move(*lines);
    if (shownHelp_ != 0)
        quickHelp_->setText(QString::fromStdU16String(HelpText(helpTexts_, shownHelp_)));
    widgets::DescribeQuickHelpWithin(this);
}

QString CVyreMKConfigDlg::QuickHelpText(int helpId) const {
    return QString::fromStdU16String(HelpText(helpTexts_, helpId));
}

void CVyreMKConfigDlg::QuickHelp(int helpId, bool entered) {
    if (entered && (helpId == 0 || helpId == shownHelp_)) return;
    if (entered) {
        shownHelp_ = helpId;
        const QString text = QString::fromStdU16String(HelpText(helpTexts_, helpId));
        // A long line takes a smaller font (down to 9 px) to fit its 510 pixels.
        int size = 12;
        while (size > 9 &&
               QFontMetrics(widgets::TextFont(size)).horizontalAdvance(text) > quickHelp_->width())
            --size;
        quickHelp_->setFont(widgets::TextFont(size));
        quickHelp_->setText(text);
        CloseLanguageMenu();
    } else {
        shownHelp_ = 0;
        quickHelp_->clear();
    }
    quickHelp_->repaint();
}

// ---- profile files ---------------------------------------------------------------------------

bool CVyreMKConfigDlg::SaveProfileTo(const std::string& path) {
    const auto bytes = WriteProfileFile(*shared_.mirror, shared_.mirror->currentProfile());
    // The user's settings: the user's alone (0600), as the settings are.
    std::error_code error;
    if (!platform::WriteFileAtomically(
            path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &error)) {
        log::Error(kArea, "Cannot write " + path + ": " + error.message());
        widgets::ShowMessageBox(widgets::CPopupDlg::Form::Config, "Error", "Cannot write " + path, this);
        return false;
    }
    return true;
}

bool CVyreMKConfigDlg::LoadProfileFrom(const std::string& path) {
    // Checked whole before anything of it reaches the profile.
    platform::FileRefusal refusal;
    const auto file = platform::ReadRegularFile(path, kProfileFileReadLimit, &refusal);
    std::string why;
    if (!file) {
        why = "Cannot open " + path + ": " + platform::FileRefusalText(refusal) + ".";
    } else if (!LoadProfileFile(std::span(reinterpret_cast<const std::uint8_t*>(file->data()), file->size()),
                                *shared_.mirror, shared_.mirror->currentProfile(), &why)) {
        why = path + " is not a profile file: " + why + ".";
    }
    if (!why.empty()) {
        log::Error(kArea, why);
        widgets::ShowMessageBox(widgets::CPopupDlg::Form::Config, "Error", why, this);
        return false;
    }
    StartPageHandling(false);  // the page the user is on stays
    SelectProfile(shared_.mirror->currentProfile());
    return true;
}

namespace {

// LOAD and SAVE PROFILE start where the user last took a profile file from
// or put one, else in the documents folder.
constexpr const char* kProfileFolderKey = "ProfileFolder";

QString ProfileFolder() {
    return widgets::StartFolder(QString::fromStdString(
        platform::GetPrivateProfileString("Setting", kProfileFolderKey, "", kConfigIni, 4096)));
}

void RememberProfileFolder(const QString& file) {
    const std::string folder = QFileInfo(file).absolutePath().toStdString();
    if (!platform::WritePrivateProfileString("Setting", kProfileFolderKey, folder.c_str(), kConfigIni))
        log::Warning(kArea, "the profile folder could not be kept in Config.ini");
}

}  // namespace

void CVyreMKConfigDlg::SaveProfileDialog() {
    const QString proposed = ProfileFolder() + "/" + names_[shared_.mirror->currentProfile()]->text();
    QString file = widgets::ChooseFile(this, "Save Profile", proposed, kFileFilter, true);
    if (file.isEmpty()) return;
    if (!file.endsWith(".kkp", Qt::CaseInsensitive)) file += ".kkp";  // never twice
    if (SaveProfileTo(file.toStdString())) RememberProfileFolder(file);
}

void CVyreMKConfigDlg::LoadProfileDialog() {
    const QString proposed =
        ProfileFolder() + "/" + names_[shared_.mirror->currentProfile()]->text() + ".kkp";
    const QString file = widgets::ChooseFile(this, "Load Profile", proposed, kFileFilter, false);
    if (!file.isEmpty() && LoadProfileFrom(file.toStdString())) RememberProfileFolder(file);
}

void CVyreMKConfigDlg::CreateOrEditProfile(bool edit) {
    CloseLanguageMenu();
    CCreateEditGameProfileDlg dialog(*shared_.mirror, !edit, this);
    if (dialog.exec() != QDialog::Accepted) return;
    ReloadNames();
    SaveNamedProfile(dialog.name());
}

bool CVyreMKConfigDlg::SaveNamedProfile(const QString& name) {
    const std::filesystem::path file = ProfileFileOfName(name);
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    return SaveProfileTo(file.string());
}

std::filesystem::path ProfileFileOfName(const QString& name) {
    QString safe = name;
    for (QChar& c : safe) {
        if (c == u'/' || c == u'\\' || c == QChar(0)) c = u'_';
    }
    for (QChar& c : safe) {
        if (c != u'.') break;
        c = u'_';
    }
    if (safe.isEmpty()) safe = "_";
    return paths::Resolve("./Config") / (safe.toStdString() + ".kkp");
}

// ---- the profile name dialog ---------------------------------------------------------------

CCreateEditGameProfileDlg::CCreateEditGameProfileDlg(ProfileStore& mirror, bool emptyPrograms,
                                                     QWidget* parent)
    : CBitmapDialog(parent), mirror_(mirror) {
    setWindowTitle("Profile");
    SetBitmaps(2390, 2391);
    setStyleSheet(
        "QLabel { color: #9aa3ad; background: transparent; } "
        "QLineEdit { background: #232a34; color: #e6e9ee; border: 1px solid #2a313c; "
        "border-radius: 3px; padding: 2px; selection-background-color: #22c7e0; "
        "selection-color: #0b2a30; } QLineEdit:focus { border: 1px solid #22c7e0; }");
    const int p = mirror_.currentProfile();
    auto* close = new widgets::CSkinButton(widgets::ControlKind::Close, "", this);
    close->setObjectName("close");
    close->setGeometry(420 - 31, 8, 23, 21);
    QObject::connect(close, &QAbstractButton::clicked, this, [this] { reject(); });
    auto* caption = new QLabel("PROFILE NAME", this);
    caption->setFont(widgets::TextFont(11, true));
    caption->setGeometry(16, 48, 200, 16);
    name_ = new QLineEdit(this);
    name_->setGeometry(16, 66, 388, 24);
    name_->setMaxLength(24);
    caption->setBuddy(name_);  // its name for screen readers
    name_->setText(QString::fromStdU16String(mirror_.hostRecord(p).name.str()));
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString("PROGRAM %1").arg(i + 1), this);
        label->setFont(widgets::TextFont(11, true));
        label->setGeometry(16, 98 + i * 44, 200, 16);
        programs_[i] = new QLineEdit(this);
        programs_[i]->setGeometry(16, 116 + i * 44, 310, 24);
        programs_[i]->setMaxLength(255);
        label->setBuddy(programs_[i]);
        if (!emptyPrograms) {
            programs_[i]->setText(
                QString::fromStdU16String(mirror_.hostSettingsBlock.programLinks[p][i].str()));
        }
        auto* browse = new widgets::CSkinButton(widgets::ControlKind::Push, "BROWSE", this);
        browse->setGeometry(334, 116 + i * 44, 70, 24);
        QObject::connect(browse, &QAbstractButton::clicked, this, [this, i] {
            const QString file = widgets::ChooseProgram(this, programs_[i]->text());
            if (!file.isEmpty())
                SetProgram(i, QString::fromStdString(ResolveLinkedProgram(file.toStdString())));
        });
    }
    auto* ok = new widgets::CSkinButton(widgets::ControlKind::Push, "OK", this);
    ok->setGeometry(254, 240, 70, 24);
    SetEnterButton(ok);
    QObject::connect(ok, &QAbstractButton::clicked, this, [this] {
        if (TakeInput()) accept();
    });
    auto* cancel = new widgets::CSkinButton(widgets::ControlKind::Push, "CANCEL", this);
    cancel->setGeometry(334, 240, 70, 24);
    QObject::connect(cancel, &QAbstractButton::clicked, this, [this] { reject(); });
    name_->setFocus();
}

QString CCreateEditGameProfileDlg::name() const {
    return name_->text();
}

void CCreateEditGameProfileDlg::SetProgram(int i, const QString& path) {
    programs_[i]->setText(path);
}

bool CCreateEditGameProfileDlg::TakeInput() {
    if (name_->text().isEmpty()) return false;
    const int p = mirror_.currentProfile();
    mirror_.hostRecord(p).name.set(name_->text().toStdU16String());
    for (int i = 0; i < 3; ++i)
        mirror_.hostSettingsBlock.programLinks[p][i].set(programs_[i]->text().toStdU16String());
    return true;
}

}  // namespace vyre
