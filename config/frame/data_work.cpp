#include "config/frame/data_work.h"

#include <cstring>
#include <string>

#include "common/link_codes.h"
#include "common/log.h"
#include "common/store_blocks.h"
#include "config/frame/mirror_merge.h"

namespace vyre {
namespace {

constexpr const char* kArea = "link";

// The profile whose part of block `code` part `index` is (-1: not per profile).
int ProfileOfPart(std::uint16_t code, std::size_t index) {
    const BlockParts parts = PartsOf(code);
    if (parts.count < static_cast<std::size_t>(kProfileCount)) return -1;
    return static_cast<int>(index / (parts.count / kProfileCount));
}

}  // namespace

win::HWND FindMonitor() {
    const std::string cls(link::kControlWindowClass), title(link::kControlWindowTitle);
    return win::FindWindow(cls.c_str(), title.c_str());
}

CDataWorkWnd::CDataWorkWnd(ConfigShared& shared) : shared_(shared) {
    auto& map = Messages();
    map.OnCopyData([this](win::HWND, const win::COPYDATASTRUCT& cds) { return OnCopyData(cds); });
    map.On(link::kMsgNotify, [this](win::WPARAM code, win::LPARAM lParam) {
        OnNotice(static_cast<unsigned>(code), lParam);
        return 0;
    });
    map.On(link::kMsgRequest, [this](win::WPARAM code, win::LPARAM lParam) {
        return OnLinkRequest(static_cast<unsigned>(code), lParam);
    });
    map.On(win::WM_TIMER, kBusyTimer, [this](win::WPARAM, win::LPARAM) {
        // The keyboard never told the end of its reset: the wait ends anyway.
        KillTimer(kBusyTimer);
        if (shared_.busy.exchange(0) != 0)
            log::Warning(kArea, "the keyboard did not report the end of its reset in time");
        return 0;
    });
    map.On(win::WM_TIMER, kMonitorWatchTimer, [this](win::WPARAM, win::LPARAM) {
        // A Monitor that died without a word (killed, crashed) is replaced
        // by the next one started: register with it as soon as it runs.
        if (!win::IsWindow(shared_.monitor.load())) FindMonitorAgain();
        return 0;
    });
}

bool CDataWorkWnd::Create() {
    SetCopyDataLimit(kNotificationLimit);
    const std::string name(link::kLinkWindowTitle);
    if (!win::Window::Create(name, name, win::HWND_DESKTOP)) return false;
    shared_.linkWindow = GetSafeHwnd();
    SetTimer(kMonitorWatchTimer, kMonitorWatchMs);
    return true;
}

bool CDataWorkWnd::FindMonitorAgain() {
    const win::HWND found = FindMonitor();
    if (found == 0) return false;
    if (found == shared_.monitor.load()) return true;
    log::Info(kArea, "a new Monitor runs: registering with it");
    shared_.monitor = found;
    win::PostMessage(found, link::kMsgRequest, link::request::kRegister,
                     static_cast<win::LPARAM>(GetSafeHwnd()));
    return true;
}

void CDataWorkWnd::DialogNotice(unsigned code, win::LPARAM lParam) {
    if (win::HWND dialog = shared_.dialog.load())
        win::PostMessage(dialog, link::kMsgNotify, code, lParam);
}

win::LRESULT CDataWorkWnd::OnCopyData(const win::COPYDATASTRUCT& cds) {
    const auto dwData = static_cast<std::uint32_t>(cds.dwData);
    if (link::TagOf(dwData) != link::kTagNotification) return 1;
    const std::uint16_t code = link::CodeOf(dwData);
    const std::span<const std::uint8_t> payload(static_cast<const std::uint8_t*>(cds.lpData),
                                                cds.cbData);
    ProfileStore& mirror = *shared_.mirror;
    switch (code) {
        case link::notification::kNoKeyboard:
        case link::notification::kKeyboardNoAccess: {
            const bool denied = code == link::notification::kKeyboardNoAccess;
            if (denied) {
                // The node's path, as the Monitor found it: text, within bounds.
                if (payload.empty() || payload.size() > link::notification::kKeyboardNoAccessPathMax ||
                    std::memchr(payload.data(), 0, payload.size()) != nullptr) {
                    log::Warning(kArea, log::Format("notification 17 with a path of %zu bytes ignored",
                                                    payload.size()));
                    return 1;
                }
                shared_.deniedNode.assign(reinterpret_cast<const char*>(payload.data()),
                                          payload.size());
            }
            shared_.endReason = denied ? kEndNoAccess : kEndNoKeyboard;
            if (shared_.dialog.load() != 0) {
                DialogNotice(denied ? link::dialog_notice::kKeyboardNoAccess
                                    : link::dialog_notice::kNoKeyboard,
                             0);
            } else {
                log::Info(kArea, denied ? "this user may not open the keyboard: ending"
                                        : "the Monitor has no keyboard: ending");
                win::PostMessage(shared_.mainWindow.load(), kMsgEndWithReason, 0, 0);
            }
            return 1;
        }
        case link::notification::kNotReady:
            DialogNotice(code, 0);
            return 1;
        case link::list::kTalkAdded:
        case link::list::kTalkRemoved:
        case link::list::kTalkReplaced:
            TalkRecords(code, payload);
            return 1;
        default:
            break;
    }
    if (link::ListRecordSize(code) != 0) {
        StoreListNotification(mirror, code, payload);
        DialogNotice(code, 0);
        return 1;
    }
    const std::span<std::uint8_t> block = StoreBlock(mirror, code);
    if (block.empty()) return 1;  // not a code of the link
    // A block always travels whole; anything else would land at the wrong offsets.
    if (payload.size() != block.size()) {
        log::Warning(kArea, log::Format("notification %u with %zu bytes ignored: the block has %zu",
                                        code, payload.size(), block.size()));
        return 1;
    }
    // The user's edits not applied yet stay; where the Monitor changed the
    // same entry, its change wins.
    MergeReceivedBlock(code, block, StoreBlock(*shared_.monitorCopy, code), payload);
    if (code == link::block::kHostSettings) {
        DialogNotice(code, mirror.hostSettingsBlock.startPage.get() != 0 ? 1 : 0);
    } else {
        DialogNotice(code, 0);
    }
    return 1;
}

void CDataWorkWnd::TalkRecords(std::uint16_t code, std::span<const std::uint8_t> payload) {
    bool changed = false;
    ProfileStore& mirror = *shared_.mirror;
    for (std::size_t i = 0; i + sizeof(TalkDeviceRecord) <= payload.size();
         i += sizeof(TalkDeviceRecord)) {
        TalkDeviceRecord record;
        std::memcpy(static_cast<void*>(&record), payload.data() + i, sizeof record);
        const std::uint32_t key = record.key;
        TalkDeviceRecord& stored = mirror.talkDevices[key];  // a zero record when it is new
        const bool same = std::memcmp(&stored, &record, sizeof record) == 0;
        if (code == link::list::kTalkRemoved) {
            if (same) {
                mirror.talkDevices.erase(key);
                changed = true;
            }
        } else if (!same) {
            stored = record;
            changed = true;
        }
    }
    if (changed) DialogNotice(41, 0);
}

void CDataWorkWnd::OnNotice(unsigned code, win::LPARAM lParam) {
    switch (code) {
        case link::notice::kDumpComplete:
            // A Monitor started anew dumps on its own once it has its keyboard.
            if (!win::IsWindow(shared_.monitor.load())) FindMonitorAgain();
            if (uploadAfterDump_) {
                // The upload asked for before: the main dialog hears of its end
                // (an OK waits for it to close).
                uploadAfterDump_ = false;
                const int toTell = appliesToTell_;
                UploadRequested(0);
                if (toTell == 0) DialogNotice(kDialogNoticeUploadDone, 0);
            }
            if (!dialogStarted_) {
                dialogStarted_ = true;
                if (shared_.startDialog) shared_.startDialog();
            } else {
                // A dialog hidden for want of a keyboard shows again with this dump.
                DialogNotice(kDialogNoticeDumpComplete, 0);
            }
            return;
        case link::notice::kGone: {
            const int reason = lParam == link::notice::kKeyboardRemoved ? kEndUnplugged
                               : lParam == link::notice::kFirmwareUpdateStarted ? kEndSilently
                                                                                : kEndMonitorEnded;
            shared_.endReason = reason;
            if (win::HWND dialog = shared_.dialog.load()) {
                win::PostMessage(dialog, link::kMsgRequest, link::dialog_order::kClose, 0);
            } else if (reason == kEndUnplugged) {
                win::PostMessage(shared_.mainWindow.load(), kMsgEndWithReason, 0, 0);
            } else {
                // No dialog yet: nothing to close but the Config itself.
                win::PostMessage(shared_.mainWindow.load(), win::WM_QUIT, 0, 0);
            }
            return;
        }
        case link::notice::kNotWritten: {
            const auto command = static_cast<std::uint16_t>(lParam);
            const auto it = uploadedProfiles_.find(command);
            const unsigned profiles = it != uploadedProfiles_.end() ? it->second : 0;
            log::Warning(kArea, log::Format("the keyboard did not take command %u", command));
            DialogNotice(kDialogNoticeNotWritten,
                         static_cast<win::LPARAM>(command | (profiles << 16)));
            return;
        }
        case link::notice::kSettingsDamaged:
            // The dialog may still be starting: it looks at the flags when it is up.
            if (lParam < 0 || lParam >= link::notice::kDamagedFileCount) return;
            shared_.settingsDamaged |= 1u << lParam;
            DialogNotice(kDialogNoticeSettingsDamaged, 0);
            return;
        case link::notice::kResetDone:
            shared_.busy = 0;
            KillTimer(kBusyTimer);
            return;
        case link::notice::kTrophy:
            // The Monitor has set its start page: both copies say so.
            shared_.mirror->hostSettingsBlock.startPage =
                static_cast<std::int32_t>(lParam & 0xFFFF);
            shared_.monitorCopy->hostSettingsBlock.startPage =
                static_cast<std::int32_t>(lParam & 0xFFFF);
            DialogNotice(link::dialog_notice::kTrophy, lParam);
            return;
        default:
            return;
    }
}

bool CDataWorkWnd::SendCommand(std::uint16_t code, const void* data, std::size_t size) {
    const win::HWND monitor = shared_.monitor.load();
    if (monitor == 0) return false;  // no Monitor known: dropped
    if (!win::SendCopyData(monitor, GetSafeHwnd(), link::MakeDwData(code, link::kTagCommand), data,
                           size)) {
        log::Warning(kArea, log::Format("the Monitor did not take command %u", code));
        return false;
    }
    return true;
}

void CDataWorkWnd::RememberUploadedParts() {
    uploadedProfiles_.clear();
    for (std::uint16_t code : link::kFullUploadOrder) {
        unsigned profiles = 0;
        for (std::size_t part : ChangedParts(code, StoreBlock(*shared_.monitorCopy, code),
                                             StoreBlock(*shared_.mirror, code))) {
            const int p = ProfileOfPart(code, part);
            if (p >= 0) profiles |= 1u << p;
        }
        uploadedProfiles_[code] = profiles;
    }
}

bool CDataWorkWnd::FullUpload() {
    RememberUploadedParts();
    for (std::uint16_t code : link::kFullUploadOrder) {
        const auto block = StoreBlock(*shared_.mirror, code);
        if (!SendCommand(code, block.data(), block.size())) return false;
        // What the Monitor holds now, as far as this Config knows.
        const auto copy = StoreBlock(*shared_.monitorCopy, code);
        std::memcpy(copy.data(), block.data(), block.size());
    }
    return true;
}

void CDataWorkWnd::SendStartPageReset() {
    // The Monitor's own block with only the start page changed: edits not
    // applied stay the user's to apply or drop.
    shared_.mirror->hostSettingsBlock.startPage = 0;
    HostSettingsBlock& host = shared_.monitorCopy->hostSettingsBlock;
    host.startPage = 0;
    SendCommand(link::block::kHostSettings, &host, sizeof host);
}

win::LRESULT CDataWorkWnd::UploadRequested(win::LPARAM lParam) {
    if (lParam == 1) ++appliesToTell_;
    if (uploading_) {
        ++uploadsPending_;
        return kUploadHandedOver;
    }
    win::LRESULT result = kUploadHandedOver;
    uploading_ = true;
    bool sent = FullUpload();
    for (; sent && uploadsPending_ > 0; --uploadsPending_) sent = FullUpload();
    uploadsPending_ = 0;
    uploading_ = false;
    if (!sent) {
        // The Monitor known is gone. A new one gets the upload once its dump
        // has arrived; without one, nothing is pretended.
        if (shared_.monitor.load() != FindMonitor() && FindMonitorAgain()) {
            uploadAfterDump_ = true;
            return kUploadAfterRegistration;
        }
        log::Warning(kArea, "no Monitor runs: nothing was applied");
        DialogNotice(kDialogNoticeNoMonitor, 0);
        result = kUploadNotSent;
    }
    if (appliesToTell_ > 0) {
        DialogNotice(kDialogNoticeUploadDone, appliesToTell_);
        appliesToTell_ = 0;
    }
    return result;
}

win::LRESULT CDataWorkWnd::OnLinkRequest(unsigned code, win::LPARAM lParam) {
    switch (code) {
        case link::link_request::kFullUpload:
            return UploadRequested(lParam);
        case kLinkRequestStartPageReset:
            SendStartPageReset();
            return 0;
        case link::link_request::kBusyWait:
            // Raised here, before the keyboard can report the end of its reset
            // (that notice comes after this request), so an early end is never missed.
            shared_.busy = static_cast<int>(lParam);
            SetTimer(kBusyTimer, kBusyBoundMs);
            if (win::HWND dialog = shared_.dialog.load()) {
                win::PostMessage(dialog, link::kMsgRequest, link::dialog_order::kBusyWait, lParam);
            }
            return 0;
        default: {
            const std::size_t size = link::CommandRecordSize(static_cast<std::uint16_t>(code));
            if (size != 0 && lParam != 0) {
                uploadedProfiles_[static_cast<std::uint16_t>(code)] = 0;
                return SendCommand(static_cast<std::uint16_t>(code),
                                   reinterpret_cast<const void*>(lParam), size)
                           ? 1
                           : 0;
            }
            return 0;
        }
    }
}

bool CDataWorkThread::InitInstance() {
    if (!window_.Create()) {
        log::Error(kArea, "the link window could not be created; ending");
        win::PostMessage(shared_.mainWindow.load(), win::WM_QUIT, 0, 0);
        return false;
    }
    win::PostMessage(shared_.monitor.load(), link::kMsgRequest, link::request::kRegister,
                     static_cast<win::LPARAM>(window_.GetSafeHwnd()));
    return true;
}

int CDataWorkThread::ExitInstance() {
    shared_.linkWindow = 0;
    win::PostMessage(shared_.mainWindow.load(), win::WM_QUIT, 0, 0);
    return 0;
}

}  // namespace vyre
