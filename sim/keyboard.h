#pragma once
// The keyboard emulator: plays a Vyre Lumo keyboard and its firmware for the
// host software. It offers the keyboard's HID interfaces, keeps every feature
// report per profile (and per macro slot, illumination mode and layer),
// answers the requests and status polls of report 4, checks checksums,
// carries out the keyboard's commands, sends event reports, can be plugged,
// unplugged and made to fail, keeps its memory in a state file and writes a
// trace of everything the host did.
//
// Trace lines: "<ms since start> SET <hex>" (a feature report written),
// "<ms> GET <hex>" (a feature report as answered), "<ms> EVT <hex>" (an input
// report sent), "<ms> PLUG", "<ms> UNPLUG"; hex bytes as lowercase pairs
// separated by single spaces.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/hid/hid.h"

namespace vyre::sim {

enum class Model { A, B };

// The keyboard's interfaces (HID top-level collections).
enum class InterfaceKind {
    Feature,  // usage page 0x0B, usage 0: every setting, as feature reports
    Event,    // usage page 0x0A, usage 0: input report 3
    Other,    // usage page 0x01, usage 6: the keys themselves
};

// Status values of report 4 answered after a write.
constexpr std::uint8_t kStatusDone = 1;
constexpr std::uint8_t kStatusRefused = 2;  // bad checksum, bad header, unknown request
constexpr std::uint8_t kStatusBusy = 3;

struct KeyboardConfig {
    Model model = Model::A;
    int firmware = -1;   // report 0x0F byte 2; -1: the version the host expects (104 A, 109 B)
    int firmware2 = -1;  // report 0x0F byte 4; -1: 141
    int layout = 0;      // report 0x0F byte 6
    int busyPolls = 1;   // status polls answered busy after each write
    std::uint16_t vendorId = 0;   // 0: the configured keyboard vendor id
    std::uint16_t productId = 0;  // 0: the configured product id of the model
    // Enumeration order of the interfaces; each kind at most once.
    std::vector<InterfaceKind> order = {InterfaceKind::Feature, InterfaceKind::Event,
                                        InterfaceKind::Other};
    std::string name = "kbd";  // part of every interface path
    std::size_t inputReportLength = 8;
    bool plugged = true;  // plugged in from the start
};

struct Counters {
    std::uint64_t writes = 0;             // feature reports taken (accepted or refused)
    std::uint64_t refusedChecksum = 0;    // refused: wrong checksum
    std::uint64_t refusedMalformed = 0;   // refused: bad header, value or request
    std::uint64_t rejectedWrites = 0;     // not taken: unknown id, wrong length, write failure
    std::uint64_t reads = 0;              // feature reports answered
    std::uint64_t rejectedReads = 0;      // not answered (unknown, unrequested, read failure)
    std::uint64_t busyAnswers = 0;        // status polls answered busy
    std::uint64_t events = 0;             // input reports sent
    std::uint64_t resets = 0;             // factory resets carried out
};

class Keyboard {
public:
    explicit Keyboard(KeyboardConfig config = {});
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    const KeyboardConfig& config() const;
    std::uint16_t vendorId() const;
    std::uint16_t productId() const;

    // --- What the host sees --------------------------------------------------
    // The interfaces in enumeration order; none while unplugged.
    std::vector<hid::DeviceInfo> Interfaces() const;
    // Opens an interface by path; null when unplugged or unknown. A handle
    // stays dead once the keyboard was unplugged, as with a real device.
    std::unique_ptr<hid::Device> Open(const std::string& path, hid::OpenMode mode);

    // --- Control -------------------------------------------------------------
    void Plug();
    void Unplug();
    bool plugged() const;
    void SetFailWrites(bool on);
    void SetFailReads(bool on);
    void SetStayBusy(bool on);
    void SetBusyPolls(int polls);
    // The next `reads` reads of report 0x0F answer version 0; -1 = until
    // cleared with 0.
    void SetVersionZeroReads(int reads);
    // Sends input report 3 {3, index, type, data, action, 0...} to every open
    // reader of the event interface. False while unplugged.
    bool SendEvent(std::uint8_t index, std::uint8_t type, std::uint8_t data, std::uint8_t action);
    // A key pressed on the keyboard on a layer (0 normal, 1 Flexlayer). A key
    // whose function on that layer is a macro plays the macro of its slot in
    // the active profile, which the trace shows as one line
    // "PLAY <slot> <loop count> <events>" (4 bytes per event). False when
    // unplugged or when the key holds no macro there.
    bool PressKey(int keyIndex, int layer);
    // The stored image of a report (index: macro slot for 0x0E, mode * 11 +
    // layer for 0x17). For 0x05 the active profile report, for 0x0F the
    // information the keyboard answers. Nullopt for what is not kept.
    std::optional<std::vector<std::uint8_t>> Report(std::uint8_t id, int profile, int index) const;
    // Replaces a stored image as given (no checks beyond its place and
    // length). False when there is no such image or the length differs.
    bool SetReport(std::uint8_t id, int profile, int index, const std::vector<std::uint8_t>& image);
    // Back to the factory images.
    void ResetToFactory();
    std::uint8_t activeProfile() const;
    std::uint8_t hostPresence() const;   // report 0x15 byte 2 as last written
    bool liveLighting() const;           // report 0x13 byte 2 as last written
    Counters counters() const;
    // Counts every change of the stored memory; a saver compares it.
    std::uint64_t changeCount() const;

    // --- Memory across runs --------------------------------------------------
    // Saves the memory atomically (temporary file, then rename).
    bool SaveState(const std::string& path, std::string* error) const;
    // Loads a saved memory; false (memory unchanged) when the file is
    // missing, damaged or of another size.
    bool LoadState(const std::string& path, std::string* error);

    // --- Trace ---------------------------------------------------------------
    // Each trace line (without newline) goes to the sink; null = none.
    void SetTraceSink(std::function<void(const std::string&)> sink);
    // Writes the trace to a file (truncated first), one flushed line each.
    bool OpenTraceFile(const std::string& path, std::string* error);

    // --- Notifications -------------------------------------------------------
    // Called on the thread that plugs or unplugs, once per interface.
    // RemoveListener returns when no call of that listener is running.
    int AddListener(std::function<void(const hid::DeviceChange&)> listener);
    void RemoveListener(int id);

    struct State;

private:
    std::shared_ptr<State> state_;
};

// Lowercase hex pairs separated by single spaces.
std::string HexBytes(const std::uint8_t* data, std::size_t n);
// Parses hex pairs; spaces between pairs are optional. Nullopt on bad input.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text);

}  // namespace vyre::sim
