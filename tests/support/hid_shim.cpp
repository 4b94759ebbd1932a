#include "tests/support/hid_shim.h"

#include <fcntl.h>
#include <hidapi.h>
#include <libudev.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

namespace fs = std::filesystem;
using vyre::hid::DeviceInfo;

namespace {

struct Node {
    std::shared_ptr<vyre::sim::Keyboard> keyboard;
    DeviceInfo info;  // as the keyboard lists it
    std::string simPath;
};

struct Event {
    std::string action;
    std::string node;
};

struct Shim {
    std::mutex mutex;
    std::vector<std::pair<std::shared_ptr<vyre::sim::Keyboard>, int>> keyboards;
    std::map<int, Node> nodes;  // by hidraw number
    int nextNode = 0;
    bool deny = false;
    bool bare = false;
    std::vector<std::string> calls;
    std::set<udev_monitor*> monitors;
    std::wstring globalError = L"Success";
    fs::path sysfs;
};

Shim& S() {
    static Shim shim;
    return shim;
}

std::string NodePath(int n) { return "/dev/hidraw" + std::to_string(n); }

void WriteDescriptor(Shim& s, int n, std::uint16_t page) {
    std::vector<std::uint8_t> d;
    if (page == 0x01) {
        d = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x75, 0x08, 0x95, 0x08, 0x81, 0x00, 0xC0};
    } else {
        d = {0x05, static_cast<std::uint8_t>(page), 0x09, 0x00, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x07,
             0x09, 0x00, 0xB1, 0x02, 0xC0};
        if (s.bare) {  // no Usage items
            d.erase(d.begin() + 10, d.begin() + 12);
            d.erase(d.begin() + 2, d.begin() + 4);
        }
    }
    const fs::path folder = s.sysfs / ("hidraw" + std::to_string(n)) / "device";
    fs::create_directories(folder);
    std::ofstream(folder / "report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

}  // namespace

// The opaque types of libudev, as this stand-in keeps them.
struct udev {
    int refs = 1;
};
struct udev_monitor {
    int pipe[2] = {-1, -1};
    std::deque<Event> queue;  // guarded by the shim's mutex
};
struct udev_device {
    std::string action, devnode, syspath;
};
struct hid_device_ {
    std::string path, simPath;
    std::shared_ptr<vyre::sim::Keyboard> keyboard;
    std::unique_ptr<vyre::hid::Device> feature, reader;
    std::wstring error = L"Success";
};

namespace {

void Post(Shim& s, const std::string& action, int n) {
    for (udev_monitor* m : s.monitors) {
        m->queue.push_back({action, NodePath(n)});
        const char c = 1;
        [[maybe_unused]] ssize_t w = ::write(m->pipe[1], &c, 1);
    }
}

void AddNode(Shim& s, const std::shared_ptr<vyre::sim::Keyboard>& k, const DeviceInfo& info, bool announce) {
    const int n = s.nextNode++;
    s.nodes[n] = Node{k, info, info.path};
    WriteDescriptor(s, n, info.usagePage);
    if (announce) Post(s, "add", n);
}

std::string Hex(const unsigned char* data, int n) {
    return vyre::sim::HexBytes(data, n < 0 ? 0 : static_cast<std::size_t>(n));
}

}  // namespace

namespace vyre::testing::hid_shim {

void Attach(std::shared_ptr<sim::Keyboard> keyboard) {
    Shim& s = S();
    std::weak_ptr<sim::Keyboard> weak = keyboard;
    const int id = keyboard->AddListener([weak](const hid::DeviceChange& change) {
        Shim& s = S();
        std::lock_guard lock(s.mutex);
        if (change.code == hid::kDbtDeviceArrival) {
            if (auto k = weak.lock()) AddNode(s, k, change.device, true);
            return;
        }
        for (auto it = s.nodes.begin(); it != s.nodes.end(); ++it) {
            if (it->second.simPath == change.device.path) {
                Post(s, "remove", it->first);
                s.nodes.erase(it);
                return;
            }
        }
    });
    std::lock_guard lock(s.mutex);
    if (s.sysfs.empty()) {
        s.sysfs = fs::temp_directory_path() / ("vyre-hid-shim-" + std::to_string(::getpid()));
    }
    s.keyboards.emplace_back(keyboard, id);
    for (const auto& info : keyboard->Interfaces()) AddNode(s, keyboard, info, false);
}

void Reset() {
    Shim& s = S();
    std::vector<std::pair<std::shared_ptr<sim::Keyboard>, int>> keyboards;
    {
        std::lock_guard lock(s.mutex);
        keyboards.swap(s.keyboards);
    }
    for (auto& [k, id] : keyboards) k->RemoveListener(id);
    std::lock_guard lock(s.mutex);
    s.nodes.clear();
    s.calls.clear();
    s.deny = s.bare = false;
    std::error_code ec;
    if (!s.sysfs.empty()) fs::remove_all(s.sysfs, ec);
}

void SetDenyOpen(bool on) {
    std::lock_guard lock(S().mutex);
    S().deny = on;
}

void SetBareDescriptors(bool on) {
    Shim& s = S();
    std::lock_guard lock(s.mutex);
    s.bare = on;
    for (const auto& [n, node] : s.nodes) WriteDescriptor(s, n, node.info.usagePage);
}

void TriggerChange() {
    Shim& s = S();
    std::lock_guard lock(s.mutex);
    for (const auto& [n, node] : s.nodes) Post(s, "change", n);
}

std::vector<std::string> Calls() {
    std::lock_guard lock(S().mutex);
    return S().calls;
}

}  // namespace vyre::testing::hid_shim

// ---- hidapi -------------------------------------------------------------------------------

extern "C" {

int hid_init(void) { return 0; }
int hid_exit(void) { return 0; }

hid_device_info* hid_enumerate(unsigned short, unsigned short) {
    Shim& s = S();
    std::lock_guard lock(s.mutex);
    hid_device_info* first = nullptr;
    hid_device_info** tail = &first;
    for (const auto& [n, node] : s.nodes) {
        auto* d = new hid_device_info{};
        d->path = ::strdup(NodePath(n).c_str());
        d->vendor_id = node.info.vendorId;
        d->product_id = node.info.productId;
        const bool own = node.info.usagePage != 0x01;
        d->usage_page = s.bare && own ? 0 : node.info.usagePage;
        d->usage = s.bare && own ? 0 : node.info.usage;
        d->interface_number = n % 3;
        *tail = d;
        tail = &d->next;
    }
    return first;
}

void hid_free_enumeration(hid_device_info* devs) {
    while (devs) {
        hid_device_info* next = devs->next;
        std::free(devs->path);
        delete devs;
        devs = next;
    }
}

hid_device* hid_open_path(const char* path) {
    Shim& s = S();
    std::lock_guard lock(s.mutex);
    for (const auto& [n, node] : s.nodes) {
        if (NodePath(n) != path) continue;
        if (s.deny) {
            s.calls.push_back("open " + NodePath(n) + " denied");
            const std::string node = NodePath(n);
            s.globalError = L"Failed to open a device with path '" + std::wstring(node.begin(), node.end()) +
                            L"': Permission denied";
            errno = EACCES;
            return nullptr;
        }
        auto feature = node.keyboard->Open(node.simPath, vyre::hid::OpenMode::Feature);
        if (!feature) break;
        s.calls.push_back("open " + NodePath(n));
        auto* dev = new hid_device_{NodePath(n), node.simPath, node.keyboard, std::move(feature), nullptr};
        return dev;
    }
    s.globalError = L"No such device";
    errno = ENOENT;
    return nullptr;
}

void hid_close(hid_device* dev) {
    if (!dev) return;
    {
        std::lock_guard lock(S().mutex);
        S().calls.push_back("close " + dev->path);
    }
    delete dev;
}

int hid_send_feature_report(hid_device* dev, const unsigned char* data, size_t length) {
    const bool ok = dev->feature->SetFeature(data, length);
    std::lock_guard lock(S().mutex);
    S().calls.push_back("set " + Hex(data, static_cast<int>(length)));
    return ok ? static_cast<int>(length) : -1;
}

int hid_get_feature_report(hid_device* dev, unsigned char* data, size_t length) {
    const int n = dev->feature->GetFeature(data, length);
    std::lock_guard lock(S().mutex);
    S().calls.push_back("get " + Hex(data, n));
    return n;
}

int hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds) {
    // hidapi reads the node it opened; the emulator hands input reports to
    // readers it knows of.
    if (!dev->reader) dev->reader = dev->keyboard->Open(dev->simPath, vyre::hid::OpenMode::Read);
    if (!dev->reader) return -1;
    const int n = dev->reader->Read(data, length, milliseconds);
    if (n > 0) {
        std::lock_guard lock(S().mutex);
        S().calls.push_back("read " + Hex(data, n));
    }
    return n < 0 ? -1 : n;
}

const wchar_t* hid_error(hid_device* dev) {
    return dev ? dev->error.c_str() : S().globalError.c_str();
}

// ---- libudev ------------------------------------------------------------------------------

udev* udev_new(void) { return new udev; }
udev* udev_unref(udev* u) {
    delete u;
    return nullptr;
}

udev_monitor* udev_monitor_new_from_netlink(udev*, const char*) {
    auto* m = new udev_monitor;
    if (::pipe2(m->pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        delete m;
        return nullptr;
    }
    std::lock_guard lock(S().mutex);
    S().monitors.insert(m);
    return m;
}

int udev_monitor_filter_add_match_subsystem_devtype(udev_monitor*, const char*, const char*) { return 0; }
int udev_monitor_enable_receiving(udev_monitor*) { return 0; }
int udev_monitor_get_fd(udev_monitor* m) { return m->pipe[0]; }

udev_monitor* udev_monitor_unref(udev_monitor* m) {
    {
        std::lock_guard lock(S().mutex);
        S().monitors.erase(m);
    }
    ::close(m->pipe[0]);
    ::close(m->pipe[1]);
    delete m;
    return nullptr;
}

udev_device* udev_monitor_receive_device(udev_monitor* m) {
    char c;
    [[maybe_unused]] ssize_t r = ::read(m->pipe[0], &c, 1);
    std::lock_guard lock(S().mutex);
    if (m->queue.empty()) return nullptr;
    Event e = m->queue.front();
    m->queue.pop_front();
    return new udev_device{e.action, e.node, ""};
}

udev_device* udev_device_new_from_subsystem_sysname(udev*, const char* subsystem, const char* sysname) {
    Shim& s = S();
    std::lock_guard lock(s.mutex);
    if (std::strcmp(subsystem, "hidraw") != 0 || s.sysfs.empty()) return nullptr;
    const fs::path folder = s.sysfs / sysname;
    if (!fs::exists(folder)) return nullptr;
    return new udev_device{"", "", folder.string()};
}

const char* udev_device_get_action(udev_device* d) { return d->action.empty() ? nullptr : d->action.c_str(); }
const char* udev_device_get_devnode(udev_device* d) { return d->devnode.empty() ? nullptr : d->devnode.c_str(); }
const char* udev_device_get_syspath(udev_device* d) { return d->syspath.c_str(); }
udev_device* udev_device_unref(udev_device* d) {
    delete d;
    return nullptr;
}

}  // extern "C"
