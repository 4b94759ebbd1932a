#include "platform/hid/window_notify.h"

namespace vyre::hid {

void WindowNotifier::OnDeviceChange(const DeviceChange& change) {
    std::int64_t ticket;
    {
        std::lock_guard lock(mutex_);
        ticket = next_++;
        pending_[ticket] = change;
    }
    if (!win::PostMessage(window_, win::WM_DEVICECHANGE, change.code, ticket)) {
        std::lock_guard lock(mutex_);
        pending_.erase(ticket);
    }
}

std::optional<DeviceChange> WindowNotifier::Take(win::LPARAM ticket) {
    std::lock_guard lock(mutex_);
    auto it = pending_.find(ticket);
    if (it == pending_.end()) return std::nullopt;
    DeviceChange change = std::move(it->second);
    pending_.erase(it);
    return change;
}

bool WindowNotifier::LaterPending(win::LPARAM ticket,
                                  const std::function<bool(const DeviceChange&)>& matches) {
    std::lock_guard lock(mutex_);
    for (auto it = pending_.upper_bound(ticket); it != pending_.end(); ++it) {
        if (matches(it->second)) return true;
    }
    return false;
}

}  // namespace vyre::hid
