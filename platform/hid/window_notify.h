#pragma once
// Delivers device notifications to a window as WM_DEVICECHANGE, posted in the
// order they happen: wParam is the event code, lParam a ticket that the
// window's handler exchanges for the change (interface path and ids) with
// Take. Posting keeps the notifying thread free however long the window's
// thread is busy; the changes stay with the notifier, so none is leaked when
// a window goes away with messages still queued.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/hid/hid.h"
#include "platform/window.h"

namespace vyre::hid {

class WindowNotifier : public DeviceListener {
public:
    explicit WindowNotifier(win::HWND window) : window_(window) {}

    void OnDeviceChange(const DeviceChange& change) override;

    // The change of a WM_DEVICECHANGE this notifier posted; each once.
    std::optional<DeviceChange> Take(win::LPARAM ticket);

    // Whether a change posted after the one of `ticket` waits to be taken
    // and matches: what a busy window may skip, since a later change
    // supersedes it.
    bool LaterPending(win::LPARAM ticket, const std::function<bool(const DeviceChange&)>& matches);

private:
    win::HWND window_;
    std::mutex mutex_;
    std::map<std::int64_t, DeviceChange> pending_;
    std::int64_t next_ = 1;
};

}  // namespace vyre::hid
