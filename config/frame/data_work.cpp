#include "config/frame/data_work.h"

#include <cstring>
#include <string>

#include "common/link_codes.h"
#include "common/log.h"
#include "common/store_blocks.h"

namespace vyre {
namespace {

constexpr const char* kArea = "link";

}  // namespace

CDataWorkWnd::CDataWorkWnd(ConfigShared& shared) : shared_(shared) {
    auto& map = Messages();
    map.OnCopyData([this](win::HWND, const win::COPYDATASTRUCT& cds) { return OnCopyData(cds); });
    map.On(link::kMsgNotify, [this](win::WPARAM code, win::LPARAM lParam) {
        OnNotice(static_cast<unsigned>(code), lParam);
        return 0;
    });
    map.On(link::kMsgRequest, [this](win::WPARAM code, win::LPARAM lParam) {
        OnLinkRequest(static_cast<unsigned>(code), lParam);
        return 0;
    });
    map.On(win::WM_TIMER, kBusyTimer, [this](win::WPARAM, win::LPARAM) {
        // The keyboard never told the end of its reset: the wait ends anyway.
        KillTimer(kBusyTimer);
        if (shared_.busy.exchange(0) != 0)
            log::Warning(kArea, "the keyboard did not report the end of its reset in time");
        return 0;
    });
}

bool CDataWorkWnd::Create() {
    SetCopyDataLimit(kNotificationLimit);
    const std::string name(link::kLinkWindowTitle);
    if (!win::Window::Create(name, name, win::HWND_DESKTOP)) return false;
    shared_.linkWindow = GetSafeHwnd();
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
            if (shared_.dialog.load() != 0) {
                DialogNotice(code, 0);
            } else {
                log::Info(kArea, "the Monitor has no keyboard: ending");
                win::PostMessage(shared_.mainWindow.load(), win::WM_QUIT, 0, 0);
            }
            return 1;
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
    std::memcpy(block.data(), payload.data(), payload.size());
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
            if (!dialogStarted_) {
                dialogStarted_ = true;
                if (shared_.startDialog) shared_.startDialog();
            } else {
                // A dialog hidden for want of a keyboard shows again with this dump.
                DialogNotice(kDialogNoticeDumpComplete, 0);
            }
            return;
        case link::notice::kGone:
            if (win::HWND dialog = shared_.dialog.load()) {
                win::PostMessage(dialog, link::kMsgRequest, link::dialog_order::kClose, 0);
            } else {
                // No dialog yet: nothing to close but the Config itself.
                win::PostMessage(shared_.mainWindow.load(), win::WM_QUIT, 0, 0);
            }
            return;
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
            shared_.mirror->hostSettingsBlock.startPage =
                static_cast<std::int32_t>(lParam & 0xFFFF);
            DialogNotice(link::dialog_notice::kTrophy, lParam);
            return;
        default:
            return;
    }
}

void CDataWorkWnd::SendCommand(std::uint16_t code, const void* data, std::size_t size) {
    const win::HWND monitor = shared_.monitor.load();
    if (monitor == 0) return;  // no Monitor known: dropped
    if (!win::SendCopyData(monitor, GetSafeHwnd(), link::MakeDwData(code, link::kTagCommand), data,
                           size)) {
        log::Warning(kArea, log::Format("the Monitor did not take command %u", code));
    }
}

void CDataWorkWnd::FullUpload() {
    for (std::uint16_t code : link::kFullUploadOrder) {
        const auto block = StoreBlock(*shared_.mirror, code);
        SendCommand(code, block.data(), block.size());
    }
}

void CDataWorkWnd::OnLinkRequest(unsigned code, win::LPARAM lParam) {
    switch (code) {
        case link::link_request::kFullUpload:
            if (lParam == 1) ++appliesToTell_;
            if (uploading_) {
                ++uploadsPending_;
                return;
            }
            uploading_ = true;
            FullUpload();
            for (; uploadsPending_ > 0; --uploadsPending_) FullUpload();
            uploading_ = false;
            if (appliesToTell_ > 0) {
                DialogNotice(kDialogNoticeUploadDone, appliesToTell_);
                appliesToTell_ = 0;
            }
            return;
        case link::link_request::kBusyWait:
            // Raised here, before the keyboard can report the end of its reset
            // (that notice comes after this request), so an early end is never missed.
            shared_.busy = static_cast<int>(lParam);
            SetTimer(kBusyTimer, kBusyBoundMs);
            if (win::HWND dialog = shared_.dialog.load()) {
                win::PostMessage(dialog, link::kMsgRequest, link::dialog_order::kBusyWait, lParam);
            }
            return;
        default: {
            const std::size_t size = link::CommandRecordSize(static_cast<std::uint16_t>(code));
            if (size != 0 && lParam != 0)
                SendCommand(static_cast<std::uint16_t>(code), reinterpret_cast<const void*>(lParam),
                            size);
            return;
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
