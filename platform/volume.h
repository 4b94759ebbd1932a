#pragma once
// The master volume of the computer in percent (0..100, above with
// amplification), as the volume display on the number keys shows it.
//
// Backends: the default sink of the PulseAudio server (PipeWire's pulse
// server too), followed as it changes; 0 while no server or sink can be
// read. And a value a test sets.

#include <atomic>
#include <memory>

namespace vyre::platform {

class MasterVolume {
  public:
    virtual ~MasterVolume() = default;
    virtual int Percent() = 0;
    // Changes the volume by steps of a few percent (negative: down); false
    // when it cannot be changed here.
    virtual bool Step(int steps) {
        (void)steps;
        return false;
    }
    virtual bool ToggleMute() { return false; }
};

class SettableVolume : public MasterVolume {
  public:
    int Percent() override { return percent_.load(); }
    void Set(int percent) { percent_ = percent; }

  private:
    std::atomic<int> percent_{0};
};

std::unique_ptr<MasterVolume> MakePulseVolume();

}  // namespace vyre::platform
