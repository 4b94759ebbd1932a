#pragma once
// The ripple: rings of key light spreading from a pressed key over the layout
// grid, one ring every 50 ms, each written as a per-key light bitmap (report
// 0x18). Every ripple runs on a worker thread of its own; a new ripple stops
// the running one first.
//
// The workers write the keyboard from their own threads. Their writes never
// interleave with the keyboard thread's inside one exchange (a write and its
// busy poll, a request and its answer): every exchange holds the keyboard
// port's exchange lock (KeyboardPort::WriteFeatureReport and GetFeature take
// it; callers of several reports in a row hold it across them).

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "common/profile_store.h"
#include "monitor/link/keyboard_port.h"

namespace vyre {

inline constexpr int kRippleRingMs = 50;
inline constexpr int kRippleMaxRadius = 22;  // rings 1..21
inline constexpr int kRippleStopWaitMs = 100;

class RippleControl {
  public:
    // lightMacroPlays tells whether a light macro plays (called from the
    // workers): the last ripple to end then leaves live lighting on.
    RippleControl(ProfileStore& store, KeyboardPort& port, std::function<bool()> lightMacroPlays = {});
    ~RippleControl();  // stops every ripple and waits for its end
    RippleControl(const RippleControl&) = delete;
    RippleControl& operator=(const RippleControl&) = delete;

    // Starts a ripple from the key with this usage (stopping a running one
    // first). A usage that is not in the layout grid starts none.
    void Start(std::uint8_t usage);
    void RequestStop();
    // Stops every ripple and waits for the workers (each ends within a ring).
    void StopAll();
    int running() const;
    // Ripples started so far (for tests).
    int started() const { return started_.load(); }

  private:
    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void Run(int column, int row, Worker* self);
    bool StopRequested();
    void JoinFinished(bool all);

    ProfileStore& store_;
    KeyboardPort& port_;
    std::function<bool()> lightMacroPlays_;
    mutable std::mutex rippleLock_;  // the stop request
    bool stop_ = false;
    mutable std::mutex countLock_;  // the running workers, live lighting
    int running_ = 0;
    bool switchedLightOn_ = false;
    std::mutex workersLock_;  // the worker threads (never held with the two above)
    std::list<std::unique_ptr<Worker>> workers_;
    std::atomic<int> started_{0};
};

}  // namespace vyre
