#include "tools/link_client.h"

#include "common/link_codes.h"

namespace vyre {
namespace {

constexpr win::UINT_PTR kTickTimer = 1;
constexpr unsigned kTickMs = 20;
// How often a wait looks whether the Monitor it waits for still runs.
constexpr auto kMonitorLook = std::chrono::milliseconds(200);
// Notifications grow with the macro libraries; no real library comes close.
constexpr std::size_t kNotificationLimit = 64u << 20;

}  // namespace

bool EndsDump(const LinkEvent& e) {
    if (e.notice) return e.code == link::notice::kDumpComplete;
    return e.code == link::notification::kNoKeyboard || e.code == link::notification::kNotReady ||
           e.code == link::notification::kKeyboardNoAccess;
}

LinkClient::LinkClient(std::string title) : title_(std::move(title)) {
    window_.Messages().OnCopyData(
        [this](win::HWND, const win::COPYDATASTRUCT& cds) -> win::LRESULT {
            const auto dwData = static_cast<std::uint32_t>(cds.dwData);
            if (link::TagOf(dwData) != link::kTagNotification) return 1;
            LinkEvent e;
            e.code = link::CodeOf(dwData);
            const auto* bytes = static_cast<const std::uint8_t*>(cds.lpData);
            if (cds.cbData > 0) e.data.assign(bytes, bytes + cds.cbData);
            queue_.push_back(std::move(e));
            return 1;
        });
    window_.Messages().On(link::kMsgNotify, [this](win::WPARAM code, win::LPARAM lParam) {
        LinkEvent e;
        e.notice = true;
        e.code = static_cast<std::uint32_t>(code);
        e.lParam = lParam;
        queue_.push_back(std::move(e));
        return 0;
    });
    window_.Messages().On(win::WM_TIMER, [](win::WPARAM, win::LPARAM) { return 0; });
}

LinkClient::~LinkClient() {
    if (window_.IsWindow()) window_.DestroyWindow();
}

bool LinkClient::Create() {
    window_.SetCopyDataLimit(kNotificationLimit);
    if (!window_.Create(title_, title_, win::HWND_DESKTOP)) return false;
    window_.SetTimer(kTickTimer, kTickMs);
    return true;
}

win::HWND LinkClient::FindMonitor() {
    const std::string cls(link::kControlWindowClass), title(link::kControlWindowTitle);
    return win::FindWindow(cls.c_str(), title.c_str());
}

bool LinkClient::SendCommand(std::uint16_t code, std::span<const std::uint8_t> payload) {
    const win::HWND monitor = FindMonitor();
    if (monitor != 0) {
        monitor_ = monitor;
        monitorGone_ = false;
    }
    return monitor != 0 &&
           win::SendCopyData(monitor, hwnd(), link::MakeDwData(code, link::kTagCommand),
                             payload.data(), payload.size());
}

bool LinkClient::PostRequest(unsigned code, win::LPARAM lParam) {
    const win::HWND monitor = FindMonitor();
    if (monitor != 0) {
        monitor_ = monitor;
        monitorGone_ = false;
    }
    return monitor != 0 && win::PostMessage(monitor, link::kMsgRequest, code, lParam);
}

bool LinkClient::Pump(std::chrono::milliseconds timeout,
                      const std::function<void(const LinkEvent&)>& each,
                      const std::function<bool(const LinkEvent&)>& last) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    auto nextLook = std::chrono::steady_clock::now() + kMonitorLook;
    for (;;) {
        while (!queue_.empty()) {
            LinkEvent e = std::move(queue_.front());
            queue_.erase(queue_.begin());
            if (each) each(e);
            if (last && last(e)) return true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= end || monitorGone_) return false;
        if (monitor_ != 0 && now >= nextLook) {
            nextLook = now + kMonitorLook;
            if (!win::IsWindow(monitor_)) {
                // What it sent before it ended is still taken.
                monitor_ = 0;
                monitorGone_ = true;
                for (win::MSG msg; win::PeekMessage(msg);) win::DispatchMessage(msg);
                continue;
            }
        }
        win::MSG msg;
        if (!win::GetMessage(msg)) return false;  // WM_QUIT
        win::DispatchMessage(msg);
    }
}

bool LinkClient::Dump(std::vector<LinkEvent>& events, std::chrono::milliseconds timeout) {
    if (!PostRequest(link::request::kRegister, static_cast<win::LPARAM>(hwnd()))) return false;
    return Pump(
        timeout, [&](const LinkEvent& e) { events.push_back(e); }, EndsDump);
}

}  // namespace vyre
