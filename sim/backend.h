#pragma once
// The emulator backend of platform/hid inside this process: one or more
// emulated keyboards offered as HID interfaces, with their plug and unplug
// reaching subscribers as device notifications.

#include <memory>
#include <mutex>
#include <vector>

#include "platform/hid/hid.h"
#include "sim/keyboard.h"

namespace vyre::sim {

class EmulatorBackend : public hid::Backend {
public:
    EmulatorBackend() = default;
    explicit EmulatorBackend(std::shared_ptr<Keyboard> keyboard) { Add(std::move(keyboard)); }

    // Keyboards are listed in the order they were added. Add them before
    // subscribing.
    void Add(std::shared_ptr<Keyboard> keyboard);

    std::vector<hid::DeviceInfo> Enumerate() override;
    std::unique_ptr<hid::Device> Open(const std::string& path, hid::OpenMode mode,
                                      hid::OpenError* error = nullptr) override;
    std::unique_ptr<hid::Subscription> Subscribe(hid::DeviceListener& listener) override;

private:
    std::vector<std::shared_ptr<Keyboard>> Keyboards();
    std::mutex mutex_;
    std::vector<std::shared_ptr<Keyboard>> keyboards_;
};

}  // namespace vyre::sim
