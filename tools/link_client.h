#pragma once
// A client of the program link that stands where the Config's link window
// stands: it sends commands and requests to the Monitor's control window and
// collects the notifications and notices the Monitor sends back. Used by
// vyre-lumo-ctl and by tests.

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/window.h"

namespace vyre {

struct LinkEvent {
    bool notice = false;             // a posted notice (1032) rather than copied data
    std::uint32_t code = 0;          // notification code or notice code
    win::LPARAM lParam = 0;          // notices
    std::vector<std::uint8_t> data;  // notifications
};

class LinkClient {
  public:
    // The window's class and title: the Config's link window title for a
    // client that wants what the Monitor sends to a running Config.
    explicit LinkClient(std::string title);
    ~LinkClient();

    bool Create();
    win::HWND hwnd() const { return window_.GetSafeHwnd(); }

    // The Monitor's control window, 0 when no Monitor runs.
    static win::HWND FindMonitor();

    // A command (copied data tagged 1031) to the control window.
    bool SendCommand(std::uint16_t code, std::span<const std::uint8_t> payload);
    // A request (1031) to the control window.
    bool PostRequest(unsigned code, win::LPARAM lParam);

    // Handles messages until `last` returns true for an event (true), or the
    // time is up (false). Events go to `each` as they arrive. Once a command
    // or request went to a Monitor, its end ends the wait too (false, and
    // monitorGone() says so): nothing it owed will come.
    bool Pump(std::chrono::milliseconds timeout, const std::function<void(const LinkEvent&)>& each,
              const std::function<bool(const LinkEvent&)>& last);

    // The whole registration dump: request 1 with this window, collected up
    // to notice 43 (or answer 15, 16 or 17). False on time-out.
    bool Dump(std::vector<LinkEvent>& events, std::chrono::milliseconds timeout);

    // The Monitor this client talked to has ended.
    bool monitorGone() const { return monitorGone_; }

  private:
    std::string title_;
    win::Window window_;
    std::vector<LinkEvent> queue_;
    win::HWND monitor_ = 0;  // the control window last talked to
    bool monitorGone_ = false;
};

// Ends a dump: notice 43, or the answers 15, 16 and 17 that end it early.
bool EndsDump(const LinkEvent& e);

}  // namespace vyre
