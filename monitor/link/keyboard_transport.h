#pragma once
// The keyboard transport: finds and opens the keyboard's feature interface,
// writes feature reports with the busy poll of report 4, and runs the event
// reader that turns input report 3 into notify messages for the keyboard
// thread's window. The keyboard thread owns one transport; the light worker
// writes through the same transport from its own thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/device_ids.h"
#include "common/log.h"
#include "monitor/link/keyboard_port.h"
#include "platform/hid/hid.h"
#include "platform/window.h"

namespace vyre {

// Longest time a busy poll goes on for a keyboard that never stops reporting
// busy; the poll then gives up and returns the busy status.
constexpr int kBusyPollLimitMs = 10000;
// Read time-out of the event reader: how soon it notices a stop request.
constexpr int kEventReadTimeoutMs = 100;
// Largest input report the event reader takes (a full-speed HID report).
constexpr std::size_t kEventReportMax = 64;

// Interface paths compare without regard to case.
bool SameDevicePath(const std::string& a, const std::string& b);

// Which model the keyboard is, as the store records it.
enum class KeyboardModel : std::uint8_t { None = 0, A = 1, B = 2 };

// A keyboard's feature interface that was found but could not be opened.
struct NodeOpenFailure {
    std::string path;
    hid::OpenError error;
};

class KeyboardTransport : public KeyboardPort, private hid::DeviceListener {
  public:
    // The backend must outlive the transport.
    KeyboardTransport(hid::Backend& backend, KeyboardIds ids);
    ~KeyboardTransport() override;
    KeyboardTransport(const KeyboardTransport&) = delete;
    KeyboardTransport& operator=(const KeyboardTransport&) = delete;

    // --- Hooks filled by the keyboard thread ------------------------------
    // Window that receives the notify message 1032/13 of each event report.
    void SetEventWindow(win::HWND window) { eventWindow_ = window; }
    // Called when the feature interface was opened, before OpenKeyboard
    // returns (the keyboard thread clears the store here).
    void SetOnFeatureOpened(std::function<void(KeyboardModel)> fn) {
        onFeatureOpened_ = std::move(fn);
    }
    // Called when the event reader could not be started.
    void SetOnReaderFailed(std::function<void()> fn) { onReaderFailed_ = std::move(fn); }
    // Diagnostics (default: standard error).
    void SetLog(std::function<void(log::Level, const std::string&)> fn) { log_ = std::move(fn); }
    // Bound of the busy poll in milliseconds of polling (default kBusyPollLimitMs).
    void SetBusyPollLimitMs(int ms) { busyPollLimitMs_ = ms; }

    // --- Enumerate and open -----------------------------------------------
    // Looks at the interfaces of the keyboard's ids in the order the backend
    // lists them (top-level usage 0 only): opens the first feature interface
    // that opens, and starts the event reader on the keyboard's event
    // interface, whichever of the two is listed first. When the list lacks
    // either, the interfaces' own report descriptors are asked. Logs what it
    // found and took. Nothing is opened while `connected` is set. True when
    // the feature interface is open afterwards.
    bool OpenKeyboard();
    // The keyboard's feature interface that the last OpenKeyboard found but
    // could not open (nullopt after an open that worked or found none).
    std::optional<NodeOpenFailure> openFailure() const;
    // Closes the feature interface (the event reader ends by itself when its
    // interface goes away, or on Stop).
    void CloseKeyboard();
    // Ends every wait and the event reader; later waits return at once.
    void Stop();

    // --- KeyboardPort -----------------------------------------------------
    bool IsOpen() const override;
    std::int8_t WriteFeatureReport(const std::uint8_t* bytes, std::size_t length,
                                   int pollMs) override;
    bool GetFeature(std::uint8_t* buffer, std::size_t length) override;
    bool SleepWhileConnected(int ms) override;
    std::unique_lock<std::recursive_mutex> HoldExchanges() override;
    std::string UnopenableNode() const override;
    // Sleeps ms; false early on Stop or on removal of the feature or event
    // interface (also while no keyboard is open).
    bool SleepUnlessRemoved(int ms);
    // Sleeps ms; false early on Stop or on the removal of any interface of a
    // keyboard (the wait after an arrival, before anything is open).
    bool SleepUnlessKeyboardRemoved(int ms);
    // Polls of report 4 are made every `ms` instead of the interval the
    // caller asks for (0 = as asked). For an emulator that is never busy.
    void SetPollIntervalOverride(int ms) { pollOverrideMs_ = ms; }
    bool stopping() const;

    // --- State ------------------------------------------------------------
    LinkFlags& flags() { return flags_; }
    std::string featurePath() const;
    std::string eventPath() const;
    bool readerRunning() const { return readerRunning_.load(); }
    bool modelASeen = false;
    bool modelBSeen = false;
    KeyboardModel model() const { return model_.load(); }
    const KeyboardIds& ids() const { return ids_; }
    // Waits (bounded) for the event reader to end; true when it has.
    bool JoinReader(std::chrono::milliseconds timeout);

  private:
    void OnDeviceChange(const hid::DeviceChange& change) override;
    bool StartReader(const std::string& path);
    void ReaderMain(std::string path);
    void Log(const std::string& text, log::Level level = log::Level::Warning);
    // Waits ms; false early on Stop, on a removal of the open interfaces (or,
    // anyKeyboard, of any keyboard interface), or (needOpen) with no keyboard open.
    bool Wait(int ms, bool needOpen, bool anyKeyboard = false);

    hid::Backend& backend_;
    KeyboardIds ids_;
    LinkFlags flags_;
    std::atomic<win::HWND> eventWindow_{0};
    std::function<void(KeyboardModel)> onFeatureOpened_;
    std::function<void()> onReaderFailed_;
    std::function<void(log::Level, const std::string&)> log_;
    int busyPollLimitMs_ = kBusyPollLimitMs;

    // One exchange with the keyboard at a time, whichever thread makes it.
    std::recursive_mutex exchange_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<hid::Device> feature_;
    std::string featurePath_;
    std::string eventPath_;
    std::optional<NodeOpenFailure> openFailure_;
    std::uint64_t removals_ = 0;          // removals of the open interfaces seen
    std::uint64_t keyboardRemovals_ = 0;  // removals of any keyboard interface seen
    std::atomic<int> pollOverrideMs_{0};
    bool stopping_ = false;
    std::atomic<KeyboardModel> model_{KeyboardModel::None};

    std::atomic<bool> readerRunning_{false};
    std::atomic<bool> readerStop_{false};
    std::thread reader_;
    std::unique_ptr<hid::Subscription> subscription_;
};

}  // namespace vyre
