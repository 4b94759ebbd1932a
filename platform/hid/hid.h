#pragma once
// HID devices: enumerate interfaces (one per top-level collection), open one
// for feature reports or for reading input reports, and follow arrival and
// removal. Backends: hidapi over hidraw with a libudev monitor (real devices),
// and the keyboard emulator, in this process or in a running vyre-lumo-sim.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vyre::hid {

// One HID interface: a top-level collection of a device.
struct DeviceInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::string path;  // interface path; what Open takes and notifications carry
    int interfaceNumber = -1;  // the USB interface; -1 when unknown

    bool operator==(const DeviceInfo&) const = default;
};

// Codes of WM_DEVICECHANGE (wParam).
constexpr std::uint32_t kDbtDevNodesChanged = 0x0007;
constexpr std::uint32_t kDbtDeviceArrival = 0x8000;
constexpr std::uint32_t kDbtDeviceQueryRemove = 0x8001;
constexpr std::uint32_t kDbtDeviceQueryRemoveFailed = 0x8002;
constexpr std::uint32_t kDbtDeviceRemoveComplete = 0x8004;
// Device type of a device-interface broadcast header.
constexpr std::uint32_t kDbtDevTypDeviceInterface = 5;

// One device notification: the code and the interface it concerns. On
// removal vendorId, productId and the usages are those last seen for the
// path (0 when the path was never seen).
struct DeviceChange {
    std::uint32_t code = 0;
    std::uint32_t deviceType = kDbtDevTypDeviceInterface;
    DeviceInfo device;
};

// Receives device notifications. Called on a thread of the backend (or, for
// the in-process emulator, on the thread that plugs or unplugs it); the
// receiver hands the change to its own thread (the window layer posts
// WM_DEVICECHANGE). A listener must not unsubscribe from inside the call.
class DeviceListener {
public:
    virtual ~DeviceListener() = default;
    virtual void OnDeviceChange(const DeviceChange& change) = 0;
};

// Ends the delivery when destroyed; no call is running or follows afterwards.
class Subscription {
public:
    virtual ~Subscription() = default;
};

enum class OpenMode {
    Feature,  // set and get feature reports
    Read,     // read input reports
};

// Result of Device::Read.
constexpr int kReadTimeout = 0;
constexpr int kReadError = -1;  // the device is gone or the read failed

// An open interface. Every call returns within a bounded time.
class Device {
public:
    virtual ~Device() = default;
    // Sends a feature report; data[0] is the report id. True when sent.
    virtual bool SetFeature(const std::uint8_t* data, std::size_t length) = 0;
    // Reads a feature report into data; data[0] holds the report id on entry
    // (and, for some reports, the bytes after it). Returns the number of
    // bytes received (including the id), or -1 on failure, leaving data as
    // it was prepared.
    virtual int GetFeature(std::uint8_t* data, std::size_t length) = 0;
    // Reads one input report (report id first). Returns its length,
    // kReadTimeout when nothing came within timeoutMs, or kReadError.
    virtual int Read(std::uint8_t* data, std::size_t length, int timeoutMs) = 0;
};

// Why an interface could not be opened.
struct OpenError {
    int code = 0;      // errno; 0 when unknown
    std::string text;  // the system's own words
};

class Backend {
public:
    virtual ~Backend() = default;
    // Present interfaces, in the order the system lists them.
    virtual std::vector<DeviceInfo> Enumerate() = 0;
    // Opens an interface; nullptr (with *error filled when given) when it
    // cannot be opened.
    virtual std::unique_ptr<Device> Open(const std::string& path, OpenMode mode,
                                         OpenError* error = nullptr) = 0;
    // The top-level collections of the interface at `path` as its report
    // descriptor declares them (see report_descriptor.h), with the ids of
    // `node`: for a system whose list shows a collection without its usage
    // page. Empty when the backend has nothing better than Enumerate.
    virtual std::vector<DeviceInfo> DescribeCollections(const DeviceInfo& node) {
        (void)node;
        return {};
    }
    // Delivers arrival (kDbtDeviceArrival) and removal (kDbtDeviceRemoveComplete)
    // of every HID interface to the listener, one notification per interface.
    // The listener must outlive the subscription.
    virtual std::unique_ptr<Subscription> Subscribe(DeviceListener& listener) = 0;
};

}  // namespace vyre::hid
