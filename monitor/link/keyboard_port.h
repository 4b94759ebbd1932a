#pragma once
// The seam between the keyboard transport and the parts of the keyboard link
// that read and write the keyboard (read-back, command dispatcher, events,
// timers, light requests). The transport's keyboard thread implements it; tests
// implement it over the emulator.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace vyre {

// Result of WriteFeatureReport when the report could not be written.
constexpr std::int8_t kReportNotWritten = 2;
// Status byte of report 4 while the keyboard is busy.
constexpr std::uint8_t kStatusBusy = 3;

// Poll intervals of the busy poll, in milliseconds.
constexpr int kCommandPollMs = 150;  // writes made for a command of the Config
constexpr int kDefaultPollMs = 14;   // every other write

class KeyboardPort {
public:
    virtual ~KeyboardPort() = default;

    // True while the feature interface is open.
    virtual bool IsOpen() const = 0;

    // Writes a feature report (bytes[0] is its id) and polls report 4 every
    // pollMs until the keyboard is no longer busy. Returns kReportNotWritten
    // when nothing was written, otherwise the last status byte.
    virtual std::int8_t WriteFeatureReport(const std::uint8_t* bytes, std::size_t length,
                                           int pollMs) = 0;

    // Reads feature report buffer[0] into buffer (length bytes). False when
    // the keyboard is not open or the read failed.
    virtual bool GetFeature(std::uint8_t* buffer, std::size_t length) = 0;

    // Sleeps ms on the calling thread. Returns false early when the keyboard
    // went away or the Monitor is stopping, so that no wait outlives them.
    virtual bool SleepWhileConnected(int ms) = 0;

    // Keeps every other thread's exchange with the keyboard out until the
    // lock is released: for a caller whose exchanges belong together (a read
    // request and the read of its answer). Each single write with its busy
    // poll, and each read, holds it by itself.
    virtual std::unique_lock<std::recursive_mutex> HoldExchanges() = 0;

    // The keyboard's device node that was found but could not be opened
    // (this user may not, say); empty when there is none.
    virtual std::string UnopenableNode() const { return {}; }
};

// Flags of the keyboard link that other parts read (see the transport).
struct LinkFlags {
    std::atomic<int> connected{0};  // a keyboard is open (set when its read-back begins)
    std::atomic<int> ready{0};      // the read-back has finished
};

}  // namespace vyre
