#include "monitor/link/hid_filter_thread.h"

#include <cstring>
#include <string>

#include "common/link_codes.h"
#include "common/log.h"
#include "common/reports.h"
#include "common/talk_records.h"
#include "platform/hid/access.h"

namespace vyre {
namespace {

constexpr const char* kArea = "keyboard";
const std::string kWindowName(link::kKeyboardWindowName);

}  // namespace

CHIDFilterThread::CHIDFilterThread(hid::Backend* backend, KeyboardIds ids, ProfileStore& store,
                                   MonitorShared& shared, PendingCommands& commands,
                                   SettingsPersistence& settings,
                                   platform::KeyboardRepeatSettings& repeat, HostActions& host,
                                   LinkHooks hooks, Options options)
    : backend_(backend),
      ids_(ids),
      store_(store),
      shared_(shared),
      commands_(commands),
      settings_(settings),
      repeat_(repeat),
      host_(host),
      hooks_(std::move(hooks)),
      options_(options) {
    shared_.keyboardIds = ids_;
    if (backend_ != nullptr) {
        transport_ = std::make_unique<KeyboardTransport>(*backend_, ids_);
        transport_->SetLog([](log::Level level, const std::string& line) { log::Write(level, kArea, line); });
        transport_->SetPollIntervalOverride(options_.pollIntervalOverrideMs);
        transport_->SetOnFeatureOpened([this](KeyboardModel model) {
            // A keyboard starts from a clear store.
            ClearStore(store_);
            store_.hostSettingsBlock.modelFlag = model == KeyboardModel::A ? 1 : 2;
            store_.hostSettingsBlock.modelBFlag = model == KeyboardModel::B ? 1 : 0;
        });
        transport_->SetOnReaderFailed([this] { MessageBox("資料接收端工作執行緒建立失敗!!", ""); });
        link_ = std::make_unique<KeyboardLink>(store_, *transport_, transport_->flags(), shared_,
                                               settings_, repeat_, host_, hooks_, window_);
    }
}

CHIDFilterThread::~CHIDFilterThread() {
    Abort();
    Stop();
    subscription_.reset();
}

LinkFlags& CHIDFilterThread::flags() {
    return transport_ ? transport_->flags() : idleFlags_;
}

void CHIDFilterThread::Abort() {
    if (transport_) transport_->Stop();
}

void CHIDFilterThread::MessageBox(const std::string& text, const std::string& caption) {
    log::Error(kArea, caption.empty() ? text : caption + ": " + text);
    if (hooks_.messageBox) hooks_.messageBox(text, caption);
}

bool CHIDFilterThread::InitInstance() {
    // 1. The hidden window, known process-wide.
    if (!window_.Create(kWindowName, kWindowName, win::HWND_MESSAGE)) {
        log::Error(kArea, "the keyboard thread's window could not be created");
        return false;
    }
    shared_.keyboard = window_.GetSafeHwnd();
    // Requests that came before this window was there go on now.
    win::PostMessage(shared_.control.load(), link::kMsgNotify, link::notify::kKeyboardWindowUp, 0);
    auto& map = window_.Messages();
    map.On(win::WM_DESTROY, [this](win::WPARAM, win::LPARAM) {
        OnDestroy();
        return 0;
    });
    map.On(win::WM_TIMER, [this](win::WPARAM id, win::LPARAM) {
        if (link_ && id >= kFirstLinkTimer && id <= kLastLinkTimer)
            link_->OnTimer(static_cast<unsigned>(id));
        return 0;
    });
    map.On(win::WM_DEVICECHANGE, [this](win::WPARAM code, win::LPARAM ticket) {
        OnDeviceChange(code, ticket);
        return 0;
    });
    map.On(link::kMsgRequest, [this](win::WPARAM code, win::LPARAM lParam) {
        if (link_) {
            link_->HandleRequest(static_cast<unsigned>(code), lParam);
        } else if (code == link::request::kRegister && lParam != 0) {
            // Without a HID layer there is never a keyboard: a Config is told
            // so rather than left waiting for a dump.
            win::SendCopyData(static_cast<win::HWND>(lParam), window_.GetSafeHwnd(),
                              link::MakeDwData(link::notification::kNoKeyboard, link::kTagNotification),
                              nullptr, 0);
        }
        return 0;
    });
    map.On(link::kMsgNotify, link::notify::kKeyboardEvent, [this](win::WPARAM, win::LPARAM value) {
        if (hooks_.keyboardEvent) hooks_.keyboardEvent(static_cast<std::uint32_t>(value));
        if (link_) link_->HandleEvent(static_cast<std::uint32_t>(value));
        return 0;
    });
    map.On(link::kMsgNotify, link::notify::kChooseProfile, [this](win::WPARAM, win::LPARAM profile) {
        if (link_ && flags().ready) link_->ChooseProfile(static_cast<int>(profile));
        return 0;
    });
    for (unsigned code : {link::notify::kFlexStateWrite, link::notify::kFlexToggleWrite}) {
        map.On(link::kMsgNotify, code, [this](win::WPARAM, win::LPARAM) {
            if (link_) link_->WriteFlexState();
            return 0;
        });
    }
    map.On(link::kMsgLightRequest, [this](win::WPARAM request, win::LPARAM data) {
        if (link_) link_->LightRequest(static_cast<unsigned>(request), data);
        return 0;
    });
    map.On(link::kMsgCommandBlock, [this](win::WPARAM, win::LPARAM block) {
        OnCommandBlock(block);
        return 0;
    });

    // 2.-4. The HID layer and its device notifications.
    if (!transport_) {
        MessageBox("無法開啟HID的Guid介面!", "HID ERROR");
        return true;  // the loop runs; the keyboard link stays idle
    }
    transport_->CloseKeyboard();
    transport_->SetEventWindow(window_.GetSafeHwnd());
    notifier_ = std::make_unique<hid::WindowNotifier>(window_.GetSafeHwnd());
    subscription_ = backend_->Subscribe(*notifier_);

    // 6. The worker threads: sound, tray, light macro player.
    if (hooks_.startWorkerThreads) hooks_.startWorkerThreads();

    // 7.
    if (!transport_->OpenKeyboard()) {
        if (transport_->openFailure()) {
            NoteOpenFailure();
        } else {
            log::Info(kArea, "no keyboard attached; waiting for one");
        }
        return true;
    }
    log::Info(kArea, "keyboard opened at " + transport_->featurePath());
    // 8. The tray shows its icon once it is there.
    for (int look = 0; shared_.trayExpected.load() && shared_.tray.load() == 0 && look < kTrayLooks; ++look) {
        ++trayLooks_;
        if (!transport_->SleepUnlessRemoved(kTrayLookMs)) break;
    }
    ShowTrayAndReadBack();
    // 11.
    if (win::UINT talk = shared_.talkMessage.load()) {
        win::PostMessage(win::HWND_BROADCAST, talk, link::talk::kAnnounce, shared_.control.load());
    }
    log::Info(kArea, "keyboard ready");
    return true;
}

int CHIDFilterThread::ExitInstance() {
    // The window is let go without its WM_DESTROY handling.
    window_.Messages().Remove(win::WM_DESTROY);
    if (link_) link_->StopRipples();
    if (transport_) {
        const auto absent = report::HostPresenceReport(false);
        transport_->WriteFeatureReport(absent.data(), absent.size(), kDefaultPollMs);
        if (transport_->IsOpen()) link_->ApplyProfile(store_.currentProfile(), true);
        subscription_.reset();
        transport_->CloseKeyboard();
        transport_->Stop();
        if (!transport_->JoinReader(std::chrono::seconds(2))) {
            log::Warning(kArea, "the event reader did not end in time");
        }
    }
    shared_.keyboard = 0;
    return 0;
}

void CHIDFilterThread::OnDestroy() {
    if (transport_ && transport_->IsOpen()) {
        std::uint8_t active[report::kActiveProfileLength] = {report::kActiveProfile, 0, 0};
        if (transport_->GetFeature(active, sizeof active) && active[2] != store_.currentProfile()) {
            link_->ApplyProfile(store_.currentProfile(), true);
        }
    }
    win::PostQuitMessage(0);
}

void CHIDFilterThread::OnCommandBlock(win::LPARAM block) {
    std::unique_ptr<CommandBlock> command = commands_.Take(reinterpret_cast<const void*>(block));
    if (!command) {
        log::Warning(kArea, "a command block that is not pending was ignored");
        return;
    }
    if (link_) link_->HandleCommand(command->dwData, command->payload, command->sender);
}

void CHIDFilterThread::SendDeviceRecord(std::uint32_t tag) {
    const win::HWND partner = shared_.talkPartner.load();
    if (partner == 0) return;
    DevicePresentRecord record{};
    std::memset(static_cast<void*>(&record), 0, sizeof record);
    record.vendorId = ids_.vendorId;
    const std::uint8_t model = store_.hostSettingsBlock.modelFlag;
    record.productId = model == 1 ? ids_.productIdA : model == 2 ? ids_.productIdB : 0;
    record.controlWindow = shared_.control.load();
    win::SendCopyData(partner, link::talk::kCopyDataWParam, tag, &record, sizeof record);
}

void CHIDFilterThread::ConnectKeyboard(bool tellPartner) {
    if (!transport_) return;
    if (!transport_->OpenKeyboard()) {
        NoteOpenFailure();
        return;
    }
    ConnectOpened(tellPartner);
}

void CHIDFilterThread::NoteOpenFailure() {
    const std::optional<NodeOpenFailure> failure = transport_->openFailure();
    if (!failure) return;
    const int code = failure->error.code;
    const std::string why = code != 0 ? std::strerror(code) : "the system gives no reason";
    const std::string commands = hid::UdevRuleCommands();
    const std::string key = failure->path + " " + std::to_string(code);
    if (key != failureLogged_) {
        failureLogged_ = key;
        std::string oneLine = commands;
        for (char& c : oneLine) c = c == '\n' ? ';' : c;
        log::Warning(kArea, log::Format("the keyboard's node %s does not open: %s (errno %d%s%s); "
                                        "give it to this user with the udev rule: %s",
                                        failure->path.c_str(), why.c_str(), code,
                                        failure->error.text.empty() ? "" : "; ",
                                        failure->error.text.c_str(), oneLine.c_str()));
    }
    if (accessTold_) return;
    accessTold_ = true;
    if (hooks_.messageBox) {
        hooks_.messageBox("The keyboard is attached, but this user may not use it (" + failure->path +
                              ": " + why + "). Give it to the user at this seat with these commands; "
                              "the Monitor then takes the keyboard at once:\n\n" + commands,
                          "Keyboard access");
    }
}

void CHIDFilterThread::ShowTrayAndReadBack() {
    if (win::HWND tray = shared_.tray.load())
        win::SendMessage(tray, link::kMsgNotify, link::notify::kTrayShow, 0);
    flags().connected = 1;
    link_->ReadBackKeyboard(true);
    flags().ready = 1;
    link_->LoadSettings();
    // The host is in charge of the keyboard now; a keyboard plugged in again
    // has forgotten it, so this follows every connect.
    const auto present = report::HostPresenceReport(true);
    transport_->WriteFeatureReport(present.data(), present.size(), kDefaultPollMs);
}

void CHIDFilterThread::ConnectOpened(bool tellPartner) {
    log::Info(kArea, "keyboard connected at " + transport_->featurePath());
    failureLogged_.clear();
    accessTold_ = false;
    ShowTrayAndReadBack();
    if (!tellPartner) return;
    if (shared_.talkPartner.load() != 0) {
        SendDeviceRecord(link::talk::kDevicePresentTag);
    } else if (win::UINT talk = shared_.talkMessage.load()) {
        win::PostMessage(win::HWND_BROADCAST, talk, link::talk::kAnnounce, shared_.control.load());
    }
}

void CHIDFilterThread::DisconnectKeyboard(TrayAction trayAction) {
    log::Info(kArea, "keyboard disconnected");
    arrivalHandled_ = false;
    transport_->CloseKeyboard();
    switch (trayAction) {
        case TrayAction::None:
            break;
        case TrayAction::Hide:
            if (win::HWND tray = shared_.tray.load()) {
                win::SendMessage(tray, link::kMsgNotify, link::notify::kTrayHide, 0);
            }
            break;
        case TrayAction::Destroy:
            if (win::HWND tray = shared_.tray.load()) win::SendMessage(tray, win::WM_DESTROY, 0, 0);
            if (win::HWND sound = shared_.sound.load())
                win::SendMessage(sound, win::WM_DESTROY, 0, 0);
            break;
    }
    link_->PostNoticeToConfig(link::notice::kGone, link::notice::kKeyboardRemoved);
    flags().ready = 0;
    flags().connected = 0;
    SendDeviceRecord(link::talk::kDeviceLeavingTag);
    ClearStore(store_);
}

void CHIDFilterThread::OnDeviceChange(win::WPARAM code, win::LPARAM ticket) {
    if (!transport_) return;
    std::optional<hid::DeviceChange> change = notifier_ ? notifier_->Take(ticket) : std::nullopt;
    if (code != hid::kDbtDevNodesChanged) {
        // Only device-interface notifications carry a path.
        if (!change || change->deviceType != hid::kDbtDevTypDeviceInterface) return;
    }
    auto isKeyboard = [&](const hid::DeviceInfo& d) {
        return d.vendorId == ids_.vendorId &&
               (d.productId == ids_.productIdA || d.productId == ids_.productIdB);
    };
    auto isOpenFeature = [&] {
        return transport_->IsOpen() &&
               SameDevicePath(change->device.path, transport_->featurePath());
    };
    switch (code) {
        case hid::kDbtDevNodesChanged: {
            const bool wasConnected = flags().connected.load() != 0;
            if (transport_->OpenKeyboard()) {
                if (!wasConnected) ConnectOpened(true);
            } else if (transport_->IsOpen()) {
                DisconnectKeyboard(TrayAction::None);
            } else {
                NoteOpenFailure();
            }
            return;
        }
        case hid::kDbtDeviceArrival: {
            hid::DeviceInfo device = change->device;
            if (device.vendorId == 0) {
                for (const auto& info : backend_->Enumerate()) {
                    if (SameDevicePath(info.path, device.path)) device = info;
                }
            }
            if (!isKeyboard(device) || flags().connected.load() != 0) return;
            // Behind a plug storm only the last state counts: an arrival
            // with a later change of a keyboard queued behind it is left to
            // that change (the last arrival connects once, after the wait).
            if (notifier_->LaterPending(ticket, [&](const hid::DeviceChange& later) {
                    return isKeyboard(later.device);
                })) {
                log::Debug(kArea, "an arrival that a later change supersedes is skipped");
                return;
            }
            const bool isA = device.productId == ids_.productIdA;
            if ((isA && !transport_->modelASeen) || (!isA && !transport_->modelBSeen)) {
                transport_->modelASeen = isA;
                transport_->modelBSeen = !isA;
            }
            // Every interface of the keyboard arrives on its own; let them all come.
            if (!transport_->SleepUnlessKeyboardRemoved(options_.arrivalSettleMs)) {
                log::Info(kArea, "the arriving keyboard went away again");
                return;
            }
            if (!arrivalHandled_.exchange(true)) {
                ConnectKeyboard(true);
                // An open the system refused is tried again when the node
                // changes (a udev rule that came since, say).
                if (!transport_->IsOpen() && transport_->openFailure()) arrivalHandled_ = false;
            }
            return;
        }
        case hid::kDbtDeviceQueryRemove:
            if (isOpenFeature()) DisconnectKeyboard(TrayAction::Destroy);
            return;
        case hid::kDbtDeviceQueryRemoveFailed:
            ConnectKeyboard(false);
            return;
        case hid::kDbtDeviceRemoveComplete:
            if (isOpenFeature()) {
                DisconnectKeyboard(TrayAction::Hide);
            } else if (!transport_->IsOpen() && isKeyboard(change->device)) {
                // An arrival whose open failed would otherwise keep every
                // later arrival of the keyboard from connecting.
                arrivalHandled_ = false;
            }
            return;
        default:
            return;
    }
}

}  // namespace vyre
