#include "monitor/link/keyboard_transport.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "common/bytes.h"
#include "common/link_codes.h"

namespace vyre {

bool SameDevicePath(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

namespace {

constexpr std::uint8_t kStatusReport = 0x04;

}  // namespace

KeyboardTransport::KeyboardTransport(hid::Backend& backend, KeyboardIds ids)
    : backend_(backend), ids_(ids) {
    subscription_ = backend_.Subscribe(*this);
}

KeyboardTransport::~KeyboardTransport() {
    Stop();
    subscription_.reset();
    if (reader_.joinable()) reader_.join();
}

void KeyboardTransport::Log(const std::string& text) {
    if (log_) {
        log_(text);
    } else {
        std::fprintf(stderr, "keyboard link: %s\n", text.c_str());
    }
}

bool KeyboardTransport::OpenKeyboard() {
    for (const hid::DeviceInfo& info : backend_.Enumerate()) {
        if (info.vendorId != ids_.vendorId) continue;
        const bool isA = info.productId == ids_.productIdA;
        const bool isB = info.productId == ids_.productIdB;
        if (!isA && !isB) continue;
        if (flags_.connected.load() != 0) continue;
        if (isA) modelASeen = true;
        if (isB) modelBSeen = true;
        if (info.usage != 0) continue;
        if (info.usagePage == kFeatureUsagePage) {
            std::shared_ptr<hid::Device> device = backend_.Open(info.path, hid::OpenMode::Feature);
            if (!device) continue;  // not openable: look further
            const KeyboardModel model = isA ? KeyboardModel::A : KeyboardModel::B;
            {
                std::lock_guard lock(mutex_);
                feature_ = std::move(device);
                featurePath_ = info.path;
            }
            model_ = model;
            if (onFeatureOpened_) onFeatureOpened_(model);
            return true;
        }
        if (info.usagePage == kEventUsagePage) {
            if (!StartReader(info.path)) {
                Log("the event reader could not be started");
                if (onReaderFailed_) onReaderFailed_();
            }
        }
    }
    return IsOpen();
}

void KeyboardTransport::CloseKeyboard() {
    std::lock_guard lock(mutex_);
    feature_.reset();
    ++removals_;
    wake_.notify_all();
}

void KeyboardTransport::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    readerStop_ = true;
}

bool KeyboardTransport::IsOpen() const {
    std::lock_guard lock(mutex_);
    return feature_ != nullptr;
}

std::string KeyboardTransport::featurePath() const {
    std::lock_guard lock(mutex_);
    return featurePath_;
}

std::string KeyboardTransport::eventPath() const {
    std::lock_guard lock(mutex_);
    return eventPath_;
}

std::unique_lock<std::recursive_mutex> KeyboardTransport::HoldExchanges() {
    return std::unique_lock<std::recursive_mutex>(exchange_);
}

std::int8_t KeyboardTransport::WriteFeatureReport(const std::uint8_t* bytes, std::size_t length,
                                                  int pollMs) {
    const auto exchange = HoldExchanges();
    std::shared_ptr<hid::Device> device;
    {
        std::lock_guard lock(mutex_);
        device = feature_;
    }
    if (!device || !device->SetFeature(bytes, length)) return kReportNotWritten;

    // Poll report 4 until the keyboard is no longer busy. A failed read ends
    // the poll (the keyboard went away), and so does the bound, so that a
    // keyboard stuck in busy cannot hold the thread for ever.
    const int interval = std::max(pollOverrideMs_.load() > 0 ? pollOverrideMs_.load() : pollMs, 1);
    const int maxPolls = std::max(1, busyPollLimitMs_ / interval);
    std::uint8_t status[3] = {kStatusReport, 0, 0};
    for (int polls = 0;;) {
        if (!Wait(interval, false)) break;  // stopping: no further poll
        status[0] = kStatusReport;
        if (device->GetFeature(status, sizeof status) < 0) break;
        if (status[1] != kStatusBusy) break;
        if (++polls >= maxPolls) {
            char text[128];
            std::snprintf(text, sizeof text,
                          "report 0x%02x: keyboard still busy after %d polls of %d ms; giving up",
                          bytes[0], polls, interval);
            Log(text);
            break;
        }
    }
    return static_cast<std::int8_t>(status[1]);
}

bool KeyboardTransport::GetFeature(std::uint8_t* buffer, std::size_t length) {
    const auto exchange = HoldExchanges();
    std::shared_ptr<hid::Device> device;
    {
        std::lock_guard lock(mutex_);
        device = feature_;
    }
    return device && device->GetFeature(buffer, length) >= 0;
}

bool KeyboardTransport::Wait(int ms, bool needOpen, bool anyKeyboard) {
    std::unique_lock lock(mutex_);
    const std::uint64_t removals = removals_;
    const std::uint64_t keyboardRemovals = keyboardRemovals_;
    auto ended = [&] {
        return stopping_ || removals_ != removals || (needOpen && feature_ == nullptr) ||
               (anyKeyboard && keyboardRemovals_ != keyboardRemovals);
    };
    if (ended()) return false;
    return !wake_.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)), ended);
}

bool KeyboardTransport::SleepWhileConnected(int ms) {
    return Wait(ms, true);
}

bool KeyboardTransport::SleepUnlessRemoved(int ms) {
    return Wait(ms, false);
}

bool KeyboardTransport::SleepUnlessKeyboardRemoved(int ms) {
    return Wait(ms, false, true);
}

bool KeyboardTransport::stopping() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

void KeyboardTransport::OnDeviceChange(const hid::DeviceChange& change) {
    if (change.code != hid::kDbtDeviceRemoveComplete && change.code != hid::kDbtDeviceQueryRemove)
        return;
    std::lock_guard lock(mutex_);
    const hid::DeviceInfo& d = change.device;
    if (d.vendorId == ids_.vendorId &&
        (d.productId == ids_.productIdA || d.productId == ids_.productIdB)) {
        ++keyboardRemovals_;
        wake_.notify_all();
    }
    if ((!featurePath_.empty() && SameDevicePath(change.device.path, featurePath_)) ||
        (!eventPath_.empty() && SameDevicePath(change.device.path, eventPath_))) {
        ++removals_;
        wake_.notify_all();
    }
}

bool KeyboardTransport::StartReader(const std::string& path) {
    if (readerRunning_.load()) return true;  // the running reader keeps reading
    if (reader_.joinable()) reader_.join();  // a reader that has ended
    {
        std::lock_guard lock(mutex_);
        eventPath_ = path;
    }
    readerStop_ = false;
    readerRunning_ = true;
    try {
        reader_ = std::thread(&KeyboardTransport::ReaderMain, this, path);
    } catch (const std::system_error&) {
        readerRunning_ = false;
        return false;
    }
    return true;
}

void KeyboardTransport::ReaderMain(std::string path) {
    std::unique_ptr<hid::Device> device = backend_.Open(path, hid::OpenMode::Read);
    std::uint8_t buffer[kEventReportMax];
    while (device && !readerStop_.load()) {
        const int n = device->Read(buffer, sizeof buffer, kEventReadTimeoutMs);
        if (n == hid::kReadError) break;        // the interface is gone
        if (n < 5 || buffer[0] != 3) continue;  // time-out, short or other reports
        const win::HWND window = eventWindow_.load();
        if (window != 0) {
            win::PostMessage(window, link::kMsgNotify, link::notify::kKeyboardEvent,
                             static_cast<win::LPARAM>(LoadLe32(buffer + 1)));
        }
    }
    device.reset();
    {
        std::lock_guard lock(mutex_);
        readerRunning_ = false;
    }
    wake_.notify_all();
}

bool KeyboardTransport::JoinReader(std::chrono::milliseconds timeout) {
    {
        std::unique_lock lock(mutex_);
        if (!wake_.wait_for(lock, timeout, [&] { return !readerRunning_.load(); })) return false;
    }
    if (reader_.joinable()) reader_.join();
    return true;
}

}  // namespace vyre
