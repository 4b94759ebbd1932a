#include "monitor/shell/control_window.h"

#include <cstring>
#include <string>

#include "common/bytes.h"
#include "common/link_codes.h"
#include "common/log.h"
#include "common/talk_records.h"
#include "platform/process.h"

namespace vyre {
namespace {

constexpr const char* kArea = "control";

}  // namespace

CMoniterCtrl::CMoniterCtrl(ProfileStore& store, MonitorShared& shared, PendingCommands& commands)
    : store_(store), shared_(shared), commands_(commands) {
    auto& map = Messages();
    map.On(link::kMsgRequest, [this](win::WPARAM code, win::LPARAM lParam) {
        Relay(code, lParam);
        return 0;
    });
    map.On(link::kMsgPlaySound, [this](win::WPARAM w, win::LPARAM l) {
        if (win::HWND sound = shared_.sound.load())
            win::PostMessage(sound, link::kMsgPlaySound, w, l);
        return 0;
    });
    map.On(link::kMsgNotify, [this](win::WPARAM code, win::LPARAM) {
        if (code == link::notify::kExit) Exit();
        if (code == link::notify::kKeyboardWindowUp) {
            // What came early goes on in the order it came.
            std::vector<std::pair<win::WPARAM, win::LPARAM>> early;
            early.swap(early_);
            for (const auto& [c, l] : early) Relay(c, l);
        }
        return 0;
    });
    map.OnCopyData(
        [this](win::HWND from, const win::COPYDATASTRUCT& cds) { return OnCopyData(from, cds); });
    map.On(link::kMsgExternalControl, [this](win::WPARAM operation, win::LPARAM lParam) {
        ExternalControl(operation, lParam);
        return 0;
    });
}

void CMoniterCtrl::Relay(win::WPARAM code, win::LPARAM lParam) {
    const win::HWND keyboard = shared_.keyboard.load();
    if (keyboard == 0) {
        // The keyboard thread is still starting (or gone): a Config that found
        // this window first keeps its request, up to a few.
        if (early_.size() < kEarlyRequests) {
            early_.emplace_back(code, lParam);
        } else {
            log::Warning(kArea, log::Format("request %u before the keyboard thread is up: dropped",
                                            static_cast<unsigned>(code)));
        }
        return;
    }
    const bool reset = code == link::request::kReset;
    if (reset && shared_.resetQueued.exchange(true)) {
        resetsDropped_.Write("a keyboard reset is already waiting: another one asked for is dropped");
        return;
    }
    if (!win::PostMessage(keyboard, link::kMsgRequest, code, lParam) && reset)
        shared_.resetQueued = false;
}

bool CMoniterCtrl::Create() {
    // A command is at most the largest block; anything larger is refused by
    // the window layer and never copied.
    SetCopyDataLimit(link::kCommandPayloadMax);
    if (!win::Window::Create(link::kControlWindowClass, link::kControlWindowTitle,
                             win::HWND_DESKTOP)) {
        return false;
    }
    shared_.control = GetSafeHwnd();
    return true;
}

win::LRESULT CMoniterCtrl::WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    const win::UINT talk = shared_.talkMessage.load();
    if (talk != 0 && message == talk) {
        TalkMessage(wParam, lParam);
        return 0;
    }
    return win::Window::WindowProc(message, wParam, lParam);
}

win::LRESULT CMoniterCtrl::OnCopyData(win::HWND from, const win::COPYDATASTRUCT& cds) {
    const win::HWND keyboard = shared_.keyboard.load();
    if (keyboard == 0) return 1;  // no keyboard thread yet: dropped
    const auto dwData = static_cast<std::uint32_t>(cds.dwData);
    const std::span<const std::uint8_t> payload(static_cast<const std::uint8_t*>(cds.lpData),
                                                cds.cbData);
    switch (link::TagOf(dwData)) {
        case link::kTagCommand: {
            CommandBlock* block = commands_.Add(dwData, payload, from);
            if (!win::PostMessage(keyboard, link::kMsgCommandBlock, 0,
                                  reinterpret_cast<win::LPARAM>(block))) {
                commands_.Take(block);
            }
            return 1;
        }
        case link::kTagTalkRecords:
            TalkRecords(link::CodeOf(dwData), payload);
            return 1;
        default:
            return 1;
    }
}

// ---- talk device records -------------------------------------------------------------------

void CMoniterCtrl::NotifyConfig(std::uint16_t code, const TalkDeviceRecord& record) {
    if (win::HWND config = FindConfigLinkWindow()) {
        win::SendCopyData(config, GetSafeHwnd(), link::MakeDwData(code, link::kTagNotification),
                          &record, sizeof record);
    }
}

void CMoniterCtrl::TalkRecords(std::uint16_t operation, std::span<const std::uint8_t> payload) {
    const std::size_t count =
        payload.size() / sizeof(TalkDeviceRecord);  // a shorter rest is ignored
    for (std::size_t i = 0; i < count; ++i) {
        TalkDeviceRecord record;
        std::memcpy(static_cast<void*>(&record), payload.data() + i * sizeof record, sizeof record);
        const std::uint32_t key = record.key;
        std::uint16_t notification = 0;
        {
            std::lock_guard lock(shared_.talkDevicesLock);
            auto it = store_.talkDevices.find(key);
            switch (operation) {
                case link::talk::kRecordsAdd:
                    notification = it == store_.talkDevices.end() ? link::list::kTalkAdded
                                                                  : link::list::kTalkReplaced;
                    store_.talkDevices[key] = record;
                    break;
                case link::talk::kRecordsRemove:
                    if (it != store_.talkDevices.end()) {
                        record = it->second;
                        store_.talkDevices.erase(it);
                        notification = link::list::kTalkRemoved;
                    }
                    break;
                case link::talk::kRecordsReplace:
                    store_.talkDevices[key] = record;
                    notification = link::list::kTalkReplaced;
                    break;
                default:
                    return;
            }
        }
        if (notification != 0) NotifyConfig(notification, record);
    }
}

void CMoniterCtrl::RemoveTalkRecord(std::uint32_t key) {
    TalkDeviceRecord record;
    {
        std::lock_guard lock(shared_.talkDevicesLock);
        auto it = store_.talkDevices.find(key);
        if (it == store_.talkDevices.end()) return;
        record = it->second;
        store_.talkDevices.erase(it);
    }
    NotifyConfig(link::list::kTalkRemoved, record);
}

// ---- talk partner --------------------------------------------------------------------------

void CMoniterCtrl::SendDeviceRecord(win::HWND to, std::uint32_t tag) {
    if (to == 0) return;
    const KeyboardIds ids = shared_.keyboardIds;
    DevicePresentRecord record;
    std::memset(static_cast<void*>(&record), 0, sizeof record);
    record.vendorId = ids.vendorId;
    const std::uint8_t model = store_.hostSettingsBlock.modelFlag;
    record.productId = model == 1 ? ids.productIdA : model == 2 ? ids.productIdB : 0;
    record.controlWindow = GetSafeHwnd();
    win::SendCopyData(to, link::talk::kCopyDataWParam, tag, &record, sizeof record);
}

void CMoniterCtrl::RegisterPartner(win::HWND partner) {
    shared_.talkPartner = partner;
    SendDeviceRecord(partner, link::talk::kDevicePresentTag);
}

void CMoniterCtrl::FlexStateRequest(win::LPARAM lParam) {
    std::uint8_t* b = store_.globalReport16;
    if (lParam == 0 && b[2] == 1) return;
    b[0] = 0x16;
    b[1] = 0x10;
    if (lParam == 0) {
        b[2] = 0x01;
        b[3] = 0xFF;
    } else if (lParam == 1) {
        b[2] = 0x00;
        b[3] = 0xFF;
    }
    if (win::HWND keyboard = shared_.keyboard.load()) {
        win::PostMessage(keyboard, link::kMsgNotify, link::notify::kFlexStateWrite, 0);
    }
}

void CMoniterCtrl::FlexToggleRequest(win::LPARAM lParam) {
    std::uint8_t* b = store_.globalReport16;
    b[0] = 0x16;
    b[1] = 0x10;
    if ((lParam & 0xFF) != 1) return;
    b[2] = 0xFF;
    b[3] = (b[3] == 0xFF || b[3] == 0x00) ? 0x01 : 0x00;
    if (win::HWND keyboard = shared_.keyboard.load()) {
        win::PostMessage(keyboard, link::kMsgNotify, link::notify::kFlexToggleWrite, 0);
    }
}

void CMoniterCtrl::TalkMessage(win::WPARAM operation, win::LPARAM lParam) {
    switch (operation) {
        case link::talk::kRemoveRecord:
            RemoveTalkRecord(static_cast<std::uint32_t>(lParam));
            return;
        case link::talk::kRegisterPartner:
            RegisterPartner(static_cast<win::HWND>(lParam));
            return;
        case link::talk::kForgetPartner:
            shared_.talkPartner = 0;
            if (store_.hostSettingsBlock.modelFlag != 0) {
                if (win::HWND tray = shared_.tray.load()) {
                    win::PostMessage(tray, link::kMsgNotify, link::notify::kTrayShow, 0);
                }
            }
            return;
        case link::talk::kFlexState:
            FlexStateRequest(lParam);
            return;
        case link::talk::kFlexToggle:
            FlexToggleRequest(lParam);
            return;
        default:
            return;  // including the Monitor's own announcement (11)
    }
}

void CMoniterCtrl::ExternalControl(win::WPARAM operation, win::LPARAM lParam) {
    switch (operation) {
        // As the talk message does.
        case link::talk::kRemoveRecord:
        case link::talk::kRegisterPartner:
        case link::talk::kFlexState:
        case link::talk::kFlexToggle:
            TalkMessage(operation, lParam);
            return;
        case link::talk::kFlexStateAlt:
            FlexStateRequest(lParam);
            return;
        case link::talk::kFlexToggleAlt:
            FlexToggleRequest(lParam);
            return;
        case link::talk::kStartConfig: {
            const auto started = process::StartOwnProgram("Vyre Lumo Config.exe");
            if (!started) log::Warning(kArea, "the Config could not be started: " + started.what);
            return;
        }
        case link::talk::kExitMonitor:
            Exit();
            return;
        case link::talk::kHideTray:
            if (win::HWND tray = shared_.tray.load())
                win::PostMessage(tray, link::kMsgNotify, link::notify::kTrayHide, 0);
            return;
        default:
            return;
    }
}

// ---- stop ----------------------------------------------------------------------------------

void CMoniterCtrl::Exit() {
    log::Info(kArea, "stopping");
    if (win::HWND config = FindConfigLinkWindow())
        win::PostMessage(config, link::kMsgNotify, link::notice::kGone, 0);
    SendDeviceRecord(shared_.talkPartner.load(), link::talk::kDeviceLeavingTag);
    for (win::HWND w : {shared_.sound.load(), shared_.keyboard.load(), shared_.tray.load(),
                        shared_.lightMacro.load()}) {
        if (w != 0) win::PostMessage(w, win::WM_QUIT, 0, 0);
    }
    win::PostMessage(GetSafeHwnd(), win::WM_QUIT, 0, 0);
}

}  // namespace vyre
