#include "sim/backend.h"

namespace vyre::sim {
namespace {

class KeyboardSubscription : public hid::Subscription {
public:
    KeyboardSubscription(std::vector<std::shared_ptr<Keyboard>> keyboards,
                         hid::DeviceListener& listener)
        : keyboards_(std::move(keyboards)) {
        for (auto& k : keyboards_) {
            ids_.push_back(k->AddListener(
                [&listener](const hid::DeviceChange& change) { listener.OnDeviceChange(change); }));
        }
    }
    ~KeyboardSubscription() override {
        for (std::size_t i = 0; i < keyboards_.size(); ++i) keyboards_[i]->RemoveListener(ids_[i]);
    }

private:
    std::vector<std::shared_ptr<Keyboard>> keyboards_;
    std::vector<int> ids_;
};

}  // namespace

void EmulatorBackend::Add(std::shared_ptr<Keyboard> keyboard) {
    std::lock_guard lock(mutex_);
    keyboards_.push_back(std::move(keyboard));
}

std::vector<std::shared_ptr<Keyboard>> EmulatorBackend::Keyboards() {
    std::lock_guard lock(mutex_);
    return keyboards_;
}

std::vector<hid::DeviceInfo> EmulatorBackend::Enumerate() {
    std::vector<hid::DeviceInfo> all;
    for (auto& k : Keyboards()) {
        auto list = k->Interfaces();
        all.insert(all.end(), list.begin(), list.end());
    }
    return all;
}

std::unique_ptr<hid::Device> EmulatorBackend::Open(const std::string& path, hid::OpenMode mode,
                                                   hid::OpenError*) {
    for (auto& k : Keyboards()) {
        if (auto device = k->Open(path, mode)) return device;
    }
    return nullptr;
}

std::unique_ptr<hid::Subscription> EmulatorBackend::Subscribe(hid::DeviceListener& listener) {
    return std::make_unique<KeyboardSubscription>(Keyboards(), listener);
}

}  // namespace vyre::sim
