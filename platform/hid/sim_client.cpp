// The emulator backend for a keyboard emulator running in another process:
// every operation is a request on the emulator program's Unix socket.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/hid/select.h"
#include "platform/hid/sim_wire.h"

namespace vyre::hid {
namespace {

// Bound of one request that the emulator answers at once.
constexpr int kCallTimeoutMs = 5000;

class SimDevice : public Device {
public:
    explicit SimDevice(int fd) : fd_(fd) {}
    ~SimDevice() override { ::close(fd_); }

    bool SetFeature(const std::uint8_t* data, std::size_t length) override {
        wire::Writer w;
        w.U8(static_cast<std::uint8_t>(wire::Op::SetFeature));
        w.Bytes(data, length);
        std::vector<std::uint8_t> reply;
        return Exchange(w.bytes(), reply, kCallTimeoutMs) && !reply.empty() &&
               reply[0] == static_cast<std::uint8_t>(wire::Status::Ok);
    }

    int GetFeature(std::uint8_t* data, std::size_t length) override {
        if (length == 0 || length > 0xFFFF) return -1;
        wire::Writer w;
        w.U8(static_cast<std::uint8_t>(wire::Op::GetFeature));
        w.U16(static_cast<std::uint16_t>(length));
        w.Bytes(data, length);
        std::vector<std::uint8_t> reply;
        if (!Exchange(w.bytes(), reply, kCallTimeoutMs) || reply.empty() ||
            reply[0] != static_cast<std::uint8_t>(wire::Status::Ok)) {
            return -1;
        }
        const std::size_t n = std::min(length, reply.size() - 1);
        std::memcpy(data, reply.data() + 1, n);
        return static_cast<int>(n);
    }

    int Read(std::uint8_t* data, std::size_t length, int timeoutMs) override {
        if (length == 0 || length > 0xFFFF) return kReadError;
        if (timeoutMs < 0) timeoutMs = 0;
        wire::Writer w;
        w.U8(static_cast<std::uint8_t>(wire::Op::Read));
        w.U16(static_cast<std::uint16_t>(length));
        w.U32(static_cast<std::uint32_t>(timeoutMs));
        std::vector<std::uint8_t> reply;
        if (!Exchange(w.bytes(), reply, timeoutMs + kCallTimeoutMs) || reply.empty()) {
            return kReadError;
        }
        if (reply[0] == static_cast<std::uint8_t>(wire::Status::Timeout)) return kReadTimeout;
        if (reply[0] != static_cast<std::uint8_t>(wire::Status::Ok) || reply.size() < 2) {
            return kReadError;
        }
        const std::size_t n = std::min(length, reply.size() - 1);
        std::memcpy(data, reply.data() + 1, n);
        return static_cast<int>(n);
    }

private:
    bool Exchange(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply,
                  int timeoutMs) {
        std::lock_guard lock(mutex_);
        if (broken_) return false;
        if (!wire::WriteFrame(fd_, request, kCallTimeoutMs) ||
            !wire::ReadFrame(fd_, reply, timeoutMs)) {
            // A reply that comes late would answer the next request: the
            // connection is of no further use.
            broken_ = true;
            return false;
        }
        return true;
    }

    std::mutex mutex_;
    int fd_;
    bool broken_ = false;
};

// Follows the emulator's notifications. When the emulator program ends, its
// interfaces are reported removed; when one starts again (at the same
// socket), its interfaces are reported arrived. What is plugged when the
// subscription starts is not reported, as a device monitor reports changes
// only: the constructor returns once the emulator's list is known (or none
// answered at once), so every later change is reported.
class SimSubscription : public Subscription {
public:
    SimSubscription(std::string path, DeviceListener& listener)
        : path_(std::move(path)), listener_(listener) {
        if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
        thread_ = std::thread([this] { Run(); });
        std::unique_lock lock(startMutex_);
        startCv_.wait_for(lock, std::chrono::milliseconds(kCallTimeoutMs), [this] { return started_; });
    }
    ~SimSubscription() override {
        stop_ = true;
        if (wake_[1] >= 0) {
            const char c = 1;
            [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
        }
        thread_.join();
        if (wake_[0] >= 0) ::close(wake_[0]);
        if (wake_[1] >= 0) ::close(wake_[1]);
    }

private:
    // Waits until fd (or -1) is readable, the stop is asked, or timeoutMs.
    // True when fd is readable.
    bool Wait(int fd, int timeoutMs) {
        pollfd p[2] = {{wake_[0], POLLIN, 0}, {fd, POLLIN, 0}};
        const int r = ::poll(p, fd >= 0 ? 2 : 1, timeoutMs);
        return r > 0 && fd >= 0 && (p[1].revents & (POLLIN | POLLHUP | POLLERR));
    }

    void Deliver(std::uint32_t code, const DeviceInfo& info) {
        DeviceChange change;
        change.code = code;
        change.device = info;
        listener_.OnDeviceChange(change);
    }

    void LoseAll() {
        for (const auto& info : known_) Deliver(kDbtDeviceRemoveComplete, info);
        known_.clear();
    }

    void Started() {
        std::lock_guard lock(startMutex_);
        started_ = true;
        startCv_.notify_all();
    }

    void Run() {
        while (!stop_) {
            const int fd = wire::Connect(path_);
            if (fd < 0) {
                firstList_ = false;  // an emulator that starts later arrives
                Started();
                Wait(-1, 500);
                continue;
            }
            Follow(fd);
            ::close(fd);
            if (!stop_) LoseAll();
        }
    }

    void Follow(int fd) {
        wire::Writer w;
        w.U8(static_cast<std::uint8_t>(wire::Op::Subscribe));
        std::vector<std::uint8_t> reply;
        if (!wire::WriteFrame(fd, w.bytes(), kCallTimeoutMs) ||
            !wire::ReadFrame(fd, reply, kCallTimeoutMs)) {
            firstList_ = false;
            Started();
            Wait(-1, 500);
            return;
        }
        wire::Reader r(reply);
        std::uint8_t status = 0;
        std::uint16_t count = 0;
        std::vector<DeviceInfo> present;
        const bool baseline = std::exchange(firstList_, false);
        Started();
        if (!r.U8(status) || status != 0 || !r.U16(count)) return;
        for (std::uint16_t i = 0; i < count; ++i) {
            DeviceInfo info;
            if (!r.Info(info)) return;
            present.push_back(info);
        }
        // Plugged before the subscription: known, but no arrival. Otherwise
        // reconcile with what was known before a reconnect.
        if (baseline) known_ = present;
        for (auto it = known_.begin(); it != known_.end();) {
            if (std::find(present.begin(), present.end(), *it) == present.end()) {
                Deliver(kDbtDeviceRemoveComplete, *it);
                it = known_.erase(it);
            } else {
                ++it;
            }
        }
        for (const auto& info : present) {
            if (std::find(known_.begin(), known_.end(), info) == known_.end()) {
                known_.push_back(info);
                Deliver(kDbtDeviceArrival, info);
            }
        }
        while (!stop_) {
            if (!Wait(fd, 1000)) continue;
            std::vector<std::uint8_t> frame;
            if (!wire::ReadFrame(fd, frame, kCallTimeoutMs)) return;
            wire::Reader n(frame);
            std::uint8_t op = 0;
            std::uint32_t code = 0;
            DeviceInfo info;
            if (!n.U8(op) || op != static_cast<std::uint8_t>(wire::Op::Notify) || !n.U32(code) ||
                !n.Info(info)) {
                return;
            }
            // A change that raced with the subscription may repeat what the
            // list of present interfaces already said: deliver each once.
            const bool isKnown = std::find(known_.begin(), known_.end(), info) != known_.end();
            if (code == kDbtDeviceArrival) {
                if (isKnown) continue;
                known_.push_back(info);
            } else if (code == kDbtDeviceRemoveComplete) {
                if (!isKnown) continue;
                known_.erase(std::remove(known_.begin(), known_.end(), info), known_.end());
            }
            Deliver(code, info);
        }
    }

    std::string path_;
    DeviceListener& listener_;
    std::vector<DeviceInfo> known_;
    bool firstList_ = true;  // the list the first connection gets
    std::mutex startMutex_;
    std::condition_variable startCv_;
    bool started_ = false;
    std::atomic<bool> stop_{false};
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

class SimClientBackend : public Backend {
public:
    explicit SimClientBackend(std::string path) : path_(std::move(path)) {}

    std::vector<DeviceInfo> Enumerate() override {
        wire::Writer w;
        w.U8(static_cast<std::uint8_t>(wire::Op::Enumerate));
        std::vector<std::uint8_t> reply;
        std::vector<DeviceInfo> list;
        if (!wire::Call(path_, w.bytes(), reply, kCallTimeoutMs)) return list;
        wire::Reader r(reply);
        std::uint8_t status = 0;
        std::uint16_t count = 0;
        if (!r.U8(status) || status != 0 || !r.U16(count)) return list;
        for (std::uint16_t i = 0; i < count; ++i) {
            DeviceInfo info;
            if (!r.Info(info)) return {};
            list.push_back(std::move(info));
        }
        return list;
    }

    std::unique_ptr<Device> Open(const std::string& path, OpenMode mode,
                                 OpenError* = nullptr) override {
        const int fd = wire::Connect(path_);
        if (fd < 0) return nullptr;
        wire::Writer w;
        w.U8(static_cast<std::uint8_t>(wire::Op::Open));
        w.U8(mode == OpenMode::Read ? 1 : 0);
        w.Str(path);
        std::vector<std::uint8_t> reply;
        if (!wire::WriteFrame(fd, w.bytes(), kCallTimeoutMs) ||
            !wire::ReadFrame(fd, reply, kCallTimeoutMs) || reply.empty() ||
            reply[0] != static_cast<std::uint8_t>(wire::Status::Ok)) {
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<SimDevice>(fd);
    }

    std::unique_ptr<Subscription> Subscribe(DeviceListener& listener) override {
        return std::make_unique<SimSubscription>(path_, listener);
    }

private:
    std::string path_;
};

}  // namespace

std::unique_ptr<Backend> MakeSimClientBackend(std::string socketPath) {
    if (socketPath.empty()) socketPath = DefaultSimSocketPath();
    return std::make_unique<SimClientBackend>(std::move(socketPath));
}

}  // namespace vyre::hid
