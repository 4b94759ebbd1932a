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

void KeyboardTransport::Log(const std::string& text, log::Level level) {
    if (log_) {
        log_(level, text);
    } else {
        std::fprintf(stderr, "keyboard link: %s\n", text.c_str());
    }
}

namespace {

bool IsUsage0(const hid::DeviceInfo& d, std::uint16_t page) {
    return d.usagePage == page && d.usage == 0;
}

std::string Describe(const std::vector<hid::DeviceInfo>& list) {
    std::string text;
    for (const auto& d : list) {
        text += log::Format("%spage 0x%02x usage 0x%02x interface %d %s", text.empty() ? "" : "; ",
                            d.usagePage, d.usage, d.interfaceNumber, d.path.c_str());
    }
    return text;
}

}  // namespace

bool KeyboardTransport::OpenKeyboard() {
    std::vector<hid::DeviceInfo> found;
    for (hid::DeviceInfo& info : backend_.Enumerate()) {
        if (info.vendorId != ids_.vendorId) continue;
        const bool isA = info.productId == ids_.productIdA;
        const bool isB = info.productId == ids_.productIdB;
        if (!isA && !isB) continue;
        if (flags_.connected.load() != 0) continue;
        if (isA) modelASeen = true;
        if (isB) modelBSeen = true;
        found.push_back(std::move(info));
    }
    auto has = [&](std::uint16_t page) {
        return std::any_of(found.begin(), found.end(),
                           [&](const hid::DeviceInfo& d) { return IsUsage0(d, page); });
    };
    if (!found.empty() && (!has(kFeatureUsagePage) || !has(kEventUsagePage))) {
        // A descriptor without a Usage before a collection leaves some lists
        // without its usage page: read each node's descriptor instead.
        std::vector<hid::DeviceInfo> described;
        for (std::size_t i = 0; i < found.size(); ++i) {
            bool first = true;
            for (std::size_t j = 0; j < i; ++j) first = first && found[j].path != found[i].path;
            if (!first) continue;
            std::vector<hid::DeviceInfo> own = backend_.DescribeCollections(found[i]);
            if (own.empty()) {
                for (const auto& d : found)
                    if (d.path == found[i].path) own.push_back(d);
            }
            described.insert(described.end(), own.begin(), own.end());
        }
        found = std::move(described);
    }
    {
        std::lock_guard lock(mutex_);
        openFailure_.reset();
    }
    if (found.empty()) return IsOpen();
    Log("keyboard interfaces: " + Describe(found), log::Level::Info);

    for (std::size_t f = 0; f < found.size(); ++f) {
        const hid::DeviceInfo& feature = found[f];
        if (!IsUsage0(feature, kFeatureUsagePage)) continue;
        hid::OpenError error;
        std::shared_ptr<hid::Device> device = backend_.Open(feature.path, hid::OpenMode::Feature, &error);
        if (!device) {  // not openable: look further
            std::lock_guard lock(mutex_);
            if (!openFailure_) openFailure_ = NodeOpenFailure{feature.path, error};
            continue;
        }
        const KeyboardModel model = feature.productId == ids_.productIdA ? KeyboardModel::A : KeyboardModel::B;
        {
            std::lock_guard lock(mutex_);
            feature_ = std::move(device);
            featurePath_ = feature.path;
            openFailure_.reset();
        }
        model_ = model;
        if (onFeatureOpened_) onFeatureOpened_(model);
        // The event interface of the same keyboard, listed before or after.
        const auto event = std::find_if(found.begin(), found.end(), [&](const hid::DeviceInfo& d) {
            return IsUsage0(d, kEventUsagePage) && d.productId == feature.productId;
        });
        if (event == found.end()) {
            Log("took the feature interface " + feature.path + "; the keyboard lists no event interface: "
                "its events are not heard", log::Level::Warning);
            return true;
        }
        Log("took the feature interface " + feature.path + " and the event interface " + event->path +
                (event - found.begin() < static_cast<std::ptrdiff_t>(f) ? " (listed before it)"
                                                                        : " (listed after it)"),
            log::Level::Info);
        if (!StartReader(event->path)) {
            Log("the event reader could not be started");
            if (onReaderFailed_) onReaderFailed_();
        }
        return true;
    }
    if (!has(kFeatureUsagePage)) Log("the keyboard lists no feature interface", log::Level::Warning);
    return IsOpen();
}

std::optional<NodeOpenFailure> KeyboardTransport::openFailure() const {
    std::lock_guard lock(mutex_);
    return openFailure_;
}

std::string KeyboardTransport::UnopenableNode() const {
    std::lock_guard lock(mutex_);
    return openFailure_ ? openFailure_->path : std::string();
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
