#pragma once
// A stand-in for the Config's link window on a thread of its own, which
// collects what the Monitor sends it.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/link_codes.h"
#include "tools/link_client.h"

namespace vyre::testing {

class ConfigWindow {
  public:
    ConfigWindow() {
        std::promise<void> created;
        thread_ = std::thread([&] {
            LinkClient client{std::string(link::kLinkWindowTitle)};
            client.Create();
            hwnd_ = client.hwnd();
            created.set_value();
            while (!stop_.load()) {
                client.Pump(
                    std::chrono::milliseconds(20),
                    [&](const LinkEvent& e) {
                        std::lock_guard lock(mutex_);
                        events_.push_back(e);
                    },
                    nullptr);
            }
        });
        created.get_future().wait();
    }
    ~ConfigWindow() {
        stop_ = true;
        thread_.join();
    }
    ConfigWindow(const ConfigWindow&) = delete;
    ConfigWindow& operator=(const ConfigWindow&) = delete;

    win::HWND hwnd() const { return hwnd_; }

    bool Saw(std::uint32_t code, bool notice) {
        std::lock_guard lock(mutex_);
        return std::any_of(events_.begin(), events_.end(), [&](const LinkEvent& e) {
            return e.code == code && e.notice == notice;
        });
    }
    bool SawNotice(std::uint32_t code, win::LPARAM lParam) {
        std::lock_guard lock(mutex_);
        return std::any_of(events_.begin(), events_.end(), [&](const LinkEvent& e) {
            return e.notice && e.code == code && e.lParam == lParam;
        });
    }
    // The events that arrived, once `count` have (or a second has passed).
    std::vector<LinkEvent> Take(std::size_t count) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (events_.size() >= count || std::chrono::steady_clock::now() > end) {
                    return std::exchange(events_, {});
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

  private:
    std::atomic<bool> stop_{false};
    win::HWND hwnd_ = 0;
    std::mutex mutex_;
    std::vector<LinkEvent> events_;
    std::thread thread_;
};

}  // namespace vyre::testing
