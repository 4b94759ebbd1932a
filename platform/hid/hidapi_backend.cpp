// Real devices: hidapi over hidraw lists one entry per top-level collection
// (with its usage page and usage); a libudev monitor on the hidraw subsystem
// reports nodes that come and go. The interface path is the hidraw node, so
// collections of one USB interface share it.

#include <fcntl.h>
#include <hidapi.h>
#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/hid/report_descriptor.h"
#include "platform/hid/select.h"

namespace vyre::hid {
namespace {

// hidapi's init and enumeration are not safe to run on several threads at
// once; every enumeration of this process takes this lock.
std::mutex& HidapiLock() {
    static std::mutex m;
    return m;
}

std::vector<DeviceInfo> EnumerateLocked() {
    std::vector<DeviceInfo> list;
    hid_device_info* all = hid_enumerate(0, 0);
    for (hid_device_info* d = all; d; d = d->next) {
        DeviceInfo info;
        info.vendorId = d->vendor_id;
        info.productId = d->product_id;
        info.usagePage = d->usage_page;
        info.usage = d->usage;
        info.path = d->path ? d->path : "";
        info.interfaceNumber = d->interface_number;
        list.push_back(std::move(info));
    }
    hid_free_enumeration(all);
    return list;
}

// hidapi's words (wide characters) as UTF-8.
std::string Utf8(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) {
        const auto c = static_cast<std::uint32_t>(*text);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

class HidapiDevice : public Device {
public:
    explicit HidapiDevice(hid_device* dev) : dev_(dev) {}
    ~HidapiDevice() override { hid_close(dev_); }

    bool SetFeature(const std::uint8_t* data, std::size_t length) override {
        std::lock_guard lock(mutex_);
        return hid_send_feature_report(dev_, data, length) >= 0;
    }

    int GetFeature(std::uint8_t* data, std::size_t length) override {
        if (length == 0) return -1;
        std::vector<std::uint8_t> buffer(data, data + length);
        std::lock_guard lock(mutex_);
        const int n = hid_get_feature_report(dev_, buffer.data(), length);
        if (n < 0) return -1;
        std::memcpy(data, buffer.data(), static_cast<std::size_t>(n) < length ? n : length);
        return n;
    }

    int Read(std::uint8_t* data, std::size_t length, int timeoutMs) override {
        std::lock_guard lock(mutex_);
        const int n = hid_read_timeout(dev_, data, length, timeoutMs < 0 ? 0 : timeoutMs);
        if (n < 0) return kReadError;
        return n;
    }

private:
    std::mutex mutex_;
    hid_device* dev_;
};

class UdevSubscription : public Subscription {
public:
    UdevSubscription(DeviceListener& listener, std::vector<DeviceInfo> present)
        : listener_(listener) {
        for (auto& info : present) seen_[info.path].push_back(std::move(info));
        if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
        udev_ = udev_new();
        if (udev_) monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
        if (monitor_ &&
            (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
             udev_monitor_enable_receiving(monitor_) < 0)) {
            udev_monitor_unref(monitor_);
            monitor_ = nullptr;
        }
        if (monitor_) thread_ = std::thread([this] { Run(); });
    }

    ~UdevSubscription() override {
        stop_ = true;
        if (wake_[1] >= 0) {
            const char c = 1;
            [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
        }
        if (thread_.joinable()) thread_.join();
        if (monitor_) udev_monitor_unref(monitor_);
        if (udev_) udev_unref(udev_);
        if (wake_[0] >= 0) ::close(wake_[0]);
        if (wake_[1] >= 0) ::close(wake_[1]);
    }

    bool running() const { return monitor_ != nullptr; }

private:
    void Run() {
        const int fd = udev_monitor_get_fd(monitor_);
        while (!stop_) {
            pollfd p[2] = {{wake_[0], POLLIN, 0}, {fd, POLLIN, 0}};
            if (::poll(p, 2, 1000) <= 0 || !(p[1].revents & POLLIN)) continue;
            udev_device* dev = udev_monitor_receive_device(monitor_);
            if (!dev) continue;
            const char* action = udev_device_get_action(dev);
            const char* node = udev_device_get_devnode(dev);
            if (action && node) Handle(action, node);
            udev_device_unref(dev);
        }
    }

    void Handle(const std::string& action, const std::string& node) {
        // A change (udevadm trigger after a new rule, say) may have made the
        // node openable: it arrives anew.
        if (action == "add" || action == "change") {
            std::vector<DeviceInfo> collections;
            {
                std::lock_guard lock(HidapiLock());
                for (auto& info : EnumerateLocked()) {
                    if (info.path == node) collections.push_back(std::move(info));
                }
            }
            if (collections.empty()) {
                DeviceInfo bare;
                bare.path = node;
                collections.push_back(bare);
            }
            seen_[node] = collections;
            for (const auto& info : collections) Deliver(kDbtDeviceArrival, info);
        } else if (action == "remove") {
            auto it = seen_.find(node);
            std::vector<DeviceInfo> collections;
            if (it != seen_.end()) {
                collections = std::move(it->second);
                seen_.erase(it);
            } else {
                DeviceInfo bare;
                bare.path = node;
                collections.push_back(bare);
            }
            for (const auto& info : collections) Deliver(kDbtDeviceRemoveComplete, info);
        }
    }

    void Deliver(std::uint32_t code, const DeviceInfo& info) {
        DeviceChange change;
        change.code = code;
        change.device = info;
        listener_.OnDeviceChange(change);
    }

    DeviceListener& listener_;
    std::map<std::string, std::vector<DeviceInfo>> seen_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    std::atomic<bool> stop_{false};
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

class HidapiBackend : public Backend {
public:
    std::vector<DeviceInfo> Enumerate() override {
        std::lock_guard lock(HidapiLock());
        return EnumerateLocked();
    }

    std::unique_ptr<Device> Open(const std::string& path, OpenMode, OpenError* error) override {
        errno = 0;
        hid_device* dev = hid_open_path(path.c_str());
        if (!dev) {
            if (error) {
                error->code = errno;
                std::lock_guard lock(HidapiLock());  // the error text is process-wide
                error->text = Utf8(hid_error(nullptr));
            }
            return nullptr;
        }
        return std::make_unique<HidapiDevice>(dev);
    }

    // The node's report descriptor, from the hidraw device's folder in sysfs
    // (which needs no permission on the node).
    std::vector<DeviceInfo> DescribeCollections(const DeviceInfo& node) override {
        const std::string name = node.path.substr(node.path.rfind('/') + 1);
        std::string folder;
        if (udev* u = udev_new()) {
            if (udev_device* dev = udev_device_new_from_subsystem_sysname(u, "hidraw", name.c_str())) {
                if (const char* syspath = udev_device_get_syspath(dev)) folder = syspath;
                udev_device_unref(dev);
            }
            udev_unref(u);
        }
        std::vector<DeviceInfo> list;
        if (folder.empty()) return list;
        const auto bytes = platform::ReadWholeFile(folder + "/device/report_descriptor", 1 << 16);
        if (!bytes) return list;
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes->data());
        for (const TopLevelCollection& c : TopLevelCollections({data, bytes->size()})) {
            DeviceInfo info = node;
            info.usagePage = c.usagePage;
            info.usage = c.usage;
            list.push_back(std::move(info));
        }
        return list;
    }

    std::unique_ptr<Subscription> Subscribe(DeviceListener& listener) override {
        // Without a udev monitor (no netlink in a container, say) the
        // subscription delivers nothing; enumeration still works.
        return std::make_unique<UdevSubscription>(listener, Enumerate());
    }
};

}  // namespace

std::unique_ptr<Backend> MakeHidapiBackend(std::string* error) {
    std::lock_guard lock(HidapiLock());
    if (hid_init() != 0) {
        if (error) *error = "hidapi could not start";
        return nullptr;
    }
    return std::make_unique<HidapiBackend>();
}

}  // namespace vyre::hid
