#include "platform/system.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/record.h"

namespace vyre::platform {
namespace {

constexpr double kSlowestRate = 2.5;   // repeats per second at speed 0
constexpr double kFastestRate = 30.0;  // at speed 31

int ClampDelay(int d) {
    return std::clamp(d, 0, kRepeatDelayMax);
}
int ClampSpeed(int s) {
    return std::clamp(s, 0, kRepeatSpeedMax);
}

class MemoryRepeat : public KeyboardRepeatSettings {
  public:
    explicit MemoryRepeat(KeyboardRepeat start)
        : value_{ClampDelay(start.delay), ClampSpeed(start.speed)} {}
    KeyboardRepeat Get() override {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void SetDelay(int delay, bool notify) override {
        KeyboardRepeat now;
        {
            std::lock_guard lock(mutex_);
            value_.delay = ClampDelay(delay);
            now = value_;
        }
        Changed(now, notify);
    }
    void SetSpeed(int speed, bool notify) override {
        KeyboardRepeat now;
        {
            std::lock_guard lock(mutex_);
            value_.speed = ClampSpeed(speed);
            now = value_;
        }
        Changed(now, notify);
    }

  protected:
    virtual void Changed(const KeyboardRepeat&, bool) {}

  private:
    std::mutex mutex_;
    KeyboardRepeat value_;
};

class RecordingRepeat : public MemoryRepeat {
  public:
    using MemoryRepeat::MemoryRepeat;

  protected:
    void Changed(const KeyboardRepeat& now, bool notify) override {
        ActionRecord::Instance().Write("keyboard-repeat delay=" + std::to_string(now.delay) +
                                       " speed=" + std::to_string(now.speed) +
                                       " notify=" + (notify ? "1" : "0"));
    }
};

class XkbRepeat : public KeyboardRepeatSettings {
  public:
    explicit XkbRepeat(Display* display) : display_(display) {}
    ~XkbRepeat() override { XCloseDisplay(display_); }

    KeyboardRepeat Get() override {
        std::lock_guard lock(mutex_);
        unsigned delayMs = 500, intervalMs = 33;
        XkbGetAutoRepeatRate(display_, XkbUseCoreKbd, &delayMs, &intervalMs);
        return {RepeatDelayFromMs(static_cast<int>(delayMs)),
                RepeatSpeedFromIntervalMs(static_cast<int>(intervalMs))};
    }
    void SetDelay(int delay, bool) override {
        std::lock_guard lock(mutex_);
        unsigned delayMs = 500, intervalMs = 33;
        XkbGetAutoRepeatRate(display_, XkbUseCoreKbd, &delayMs, &intervalMs);
        XkbSetAutoRepeatRate(display_, XkbUseCoreKbd, static_cast<unsigned>(RepeatDelayMs(delay)),
                             intervalMs);
        XFlush(display_);
    }
    void SetSpeed(int speed, bool) override {
        std::lock_guard lock(mutex_);
        unsigned delayMs = 500, intervalMs = 33;
        XkbGetAutoRepeatRate(display_, XkbUseCoreKbd, &delayMs, &intervalMs);
        XkbSetAutoRepeatRate(display_, XkbUseCoreKbd, delayMs,
                             static_cast<unsigned>(RepeatIntervalMs(speed)));
        XFlush(display_);
    }

  private:
    std::mutex mutex_;
    Display* display_;
};

}  // namespace

int RepeatDelayMs(int delay) {
    return 250 * (ClampDelay(delay) + 1);
}

int RepeatIntervalMs(int speed) {
    const double rate =
        kSlowestRate + (kFastestRate - kSlowestRate) * ClampSpeed(speed) / kRepeatSpeedMax;
    return static_cast<int>(std::lround(1000.0 / rate));
}

int RepeatDelayFromMs(int ms) {
    return ClampDelay(static_cast<int>(std::lround(ms / 250.0)) - 1);
}

int RepeatSpeedFromIntervalMs(int ms) {
    int best = 0;
    for (int s = 1; s <= kRepeatSpeedMax; ++s) {
        if (std::abs(RepeatIntervalMs(s) - ms) < std::abs(RepeatIntervalMs(best) - ms)) best = s;
    }
    return best;
}

std::unique_ptr<KeyboardRepeatSettings> MakeXkbKeyboardRepeat() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return nullptr;
    int major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
    Display* display = XkbOpenDisplay(nullptr, nullptr, nullptr, &major, &minor, &reason);
    if (display == nullptr) return nullptr;
    return std::make_unique<XkbRepeat>(display);
}

std::unique_ptr<KeyboardRepeatSettings> MakeMemoryKeyboardRepeat(KeyboardRepeat start) {
    return std::make_unique<MemoryRepeat>(start);
}

std::unique_ptr<KeyboardRepeatSettings> MakeRecordingKeyboardRepeat(KeyboardRepeat start) {
    return std::make_unique<RecordingRepeat>(start);
}

std::unique_ptr<KeyboardRepeatSettings> MakeKeyboardRepeat() {
    if (ActionRecord::Instance().Active()) return MakeRecordingKeyboardRepeat();
    if (auto xkb = MakeXkbKeyboardRepeat()) return xkb;
    return MakeMemoryKeyboardRepeat();
}

}  // namespace vyre::platform
