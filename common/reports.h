#pragma once
// The keyboard's HID reports: ids and lengths, the catalogue of how each
// report is framed (length field, profile byte, checksum), framing a store
// image into the bytes that are written and checking a received report, the
// read requests of report 0x04, the event report 0x03, and the factory
// default bodies.
//
// Framing of the long reports: byte 0 is the id, then the total length (one
// byte, or two little-endian bytes for 0x0B, 0x0E and 0x19), then the profile
// for per-profile reports (byte 3 after a two-byte length, else byte 2), and
// last a Checksum16 of everything before it, low byte first. The macro layout
// (0x0E, 0x19) instead carries its used length and puts the checksum right
// after the last event.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vyre::report {

// ---- ids ------------------------------------------------------------------
inline constexpr std::uint8_t kEvent = 0x03;          // input report of the event interface
inline constexpr std::uint8_t kStatus = 0x04;         // request (write) / status (read)
inline constexpr std::uint8_t kActiveProfile = 0x05;
inline constexpr std::uint8_t kKeyRemap = 0x06;
inline constexpr std::uint8_t kFunctionKeys = 0x07;
inline constexpr std::uint8_t kThumbKeys = 0x09;
inline constexpr std::uint8_t kProfileOptions = 0x0A;
inline constexpr std::uint8_t kFlexKeys = 0x0B;
inline constexpr std::uint8_t kOptionBits = 0x0C;
inline constexpr std::uint8_t kLightSettings = 0x0D;
inline constexpr std::uint8_t kMacro = 0x0E;
inline constexpr std::uint8_t kDeviceInfo = 0x0F;
inline constexpr std::uint8_t kReset = 0x11;
inline constexpr std::uint8_t kLiveLight = 0x13;
inline constexpr std::uint8_t kGlobal14 = 0x14;
inline constexpr std::uint8_t kHostPresence = 0x15;
inline constexpr std::uint8_t kFlexState = 0x16;
inline constexpr std::uint8_t kIllumination = 0x17;
inline constexpr std::uint8_t kKeyLightBitmap = 0x18;
inline constexpr std::uint8_t kEffectSequence = 0x19;

// ---- lengths (bytes, whole report) -----------------------------------------
inline constexpr std::size_t kEventMinLength = 5;
inline constexpr std::size_t kStatusLength = 3;
inline constexpr std::size_t kActiveProfileLength = 3;
inline constexpr std::size_t kKeyRemapLength = 125;
inline constexpr std::size_t kFunctionKeysLength = 95;
inline constexpr std::size_t kThumbKeysLength = 23;
inline constexpr std::size_t kProfileOptionsLength = 8;
inline constexpr std::size_t kFlexKeysLength = 294;
inline constexpr std::size_t kOptionBitsLength = 6;
inline constexpr std::size_t kLightSettingsLength = 16;
inline constexpr std::size_t kMacroLength = 2002;
inline constexpr std::size_t kDeviceInfoLength = 8;
inline constexpr std::size_t kResetLength = 3;
inline constexpr std::size_t kLiveLightLength = 8;
inline constexpr std::size_t kGlobal14Length = 20;
inline constexpr std::size_t kHostPresenceLength = 3;
inline constexpr std::size_t kFlexStateLength = 16;
inline constexpr std::size_t kIlluminationLength = 253;
inline constexpr std::size_t kKeyLightBitmapLength = 20;
inline constexpr std::size_t kEffectSequenceLength = 2002;

// ---- body offsets used by several parts -------------------------------------
inline constexpr std::size_t kKeyRemapUsages = 3;         // 120 usages by key index
inline constexpr std::size_t kFunctionKeyEntries = 3;     // 15 primary then 15 secondary entries
inline constexpr std::size_t kThumbKeyEntries = 3;        // 3 primary then 3 secondary entries
inline constexpr std::size_t kFlexKeyEntries = 4;         // 96 entries by Flexlayer position
inline constexpr std::size_t kFunctionEntrySize = 3;      // {code, data 1, data 2}
inline constexpr std::size_t kFunctionKeyEntryCount = 30;
inline constexpr std::size_t kThumbKeyEntryCount = 6;
inline constexpr std::size_t kFlexKeyEntryCount = 96;
inline constexpr std::size_t kRemapKeyCount = 120;
inline constexpr std::size_t kProfileOptionsCode = 3;     // report 0x0A: a key-function code
inline constexpr std::size_t kProfileOptionsKey = 4;      // report 0x0A: 0xF1 (Fn) or 0xE7 (right Windows)
inline constexpr std::size_t kOptionBitsByte = 3;         // report 0x0C
inline constexpr std::size_t kLightLevel = 3;             // report 0x0D
inline constexpr std::size_t kLightEffect = 4;
inline constexpr std::size_t kLightEffectValue = 5;
inline constexpr std::size_t kIlluminationModeByte = 10;
inline constexpr std::size_t kMacroLightFeedback = 11;
inline constexpr std::size_t kEffectSource = 12;
inline constexpr std::size_t kFirmwareVersion = 2;        // report 0x0F
inline constexpr std::size_t kFirmwareVersion2 = 4;
inline constexpr std::size_t kLayoutCode = 6;
inline constexpr std::size_t kIlluminationEffect = 5;     // report 0x17
inline constexpr std::size_t kIlluminationFadeDelay = 6;
inline constexpr std::size_t kIlluminationFadeValue = 7;
inline constexpr std::size_t kIlluminationKeyLights = 8;  // 120 entries of 2 bytes
inline constexpr std::size_t kIlluminationThumbLights = 248;
inline constexpr std::size_t kKeyLightBits = 3;           // report 0x18: 120 bits

inline constexpr std::uint8_t kStatusBusy = 3;

// ---- catalogue ---------------------------------------------------------------
enum class Scope : std::uint8_t {
    kGlobal,
    kProfile,           // one image per profile
    kProfileSlot,       // one image per profile and macro slot (0x0E)
    kProfileModeLayer,  // one image per profile, illumination mode and layer (0x17)
};

enum class ChecksumPlacement : std::uint8_t {
    kNone,
    kTrailing,        // last two bytes, over all bytes before them
    kAfterLastEvent,  // macro layout: right after the last event
};

struct ReportInfo {
    std::uint8_t id;
    std::uint16_t length;      // bytes written or read
    std::uint8_t lengthBytes;  // 0 = no length field, 1 = byte 1, 2 = bytes 1..2 little-endian
    std::int8_t profileOffset; // byte that holds the profile index; -1 = global report
    Scope scope;
    ChecksumPlacement checksum;
};

// Every feature report and the input report 3, by ascending id.
std::span<const ReportInfo> Catalogue();
// nullptr for an id the keyboard does not know.
const ReportInfo* FindReport(std::uint8_t id);

// ---- framing -------------------------------------------------------------
// Frames a report with a trailing checksum (0x06, 0x07, 0x09, 0x0A, 0x0B,
// 0x0C, 0x0D, 0x17, 0x18 and 0x14) in place: id, length, profile (per-profile
// reports; `profile` is ignored for global ones), checksum. Returns false,
// leaving `image` unchanged, when the id is not such a report, the size is not
// its length, or a per-profile report gets a profile outside 0..4.
bool FrameReport(std::uint8_t id, int profile, std::span<std::uint8_t> image);

// Prepares a macro-layout image (0x0E or 0x19) for writing, in place: sets the
// id, keeps profile, slot, options, names and events as built, sets the used
// length from the event count, zeroes the bytes between the last event and
// offset 2000, stores the Checksum16 of bytes 0..1999 right after the last
// event, and zeroes bytes 2000..2001 unless the checksum lies there (480
// events). An event count above 480 is taken as 480.
void FrameMacroReport(std::uint8_t id, std::span<std::uint8_t, kMacroLength> image);

// The stored effect sequence image keeps the Checksum16 of its bytes 0..1999
// at 2000..2001; the report written is a copy framed as above.
void StampStoredSequenceChecksum(std::span<std::uint8_t, kEffectSequenceLength> image);
std::array<std::uint8_t, kEffectSequenceLength> SequenceReportForWrite(
    std::span<const std::uint8_t, kEffectSequenceLength> stored);

enum class Verdict : std::uint8_t {
    kOk,
    kUnknownId,
    kWrongSize,      // the buffer is not the report's length
    kWrongLength,    // the length field disagrees
    kBadProfile,     // profile byte outside 0..4
    kBadSlot,        // macro slot outside 0..111
    kBadEventCount,  // more than 480 events
    kBadChecksum,
};
// Checks a whole report as written or read: id, size, length field, profile,
// and the checksum where the report has one.
Verdict VerifyReport(std::span<const std::uint8_t> bytes);

// Offset of the checksum of a macro-layout image (80 + 4 x events, events
// taken as at most 480).
std::size_t MacroChecksumOffset(std::span<const std::uint8_t, kMacroLength> image);

// ---- the short reports ---------------------------------------------------------
std::array<std::uint8_t, 3> ActiveProfileReport(int profile);  // {0x05, 0x03, profile}
std::array<std::uint8_t, 3> ResetReport();                     // {0x11, 0x03, 0x04}
std::array<std::uint8_t, 3> HostPresenceReport(bool present);  // {0x15, 0x03, 1 / 0}
std::array<std::uint8_t, 8> LiveLightReport(bool on);          // {0x13, 0x08, on, 0 ...}
std::array<std::uint8_t, 3> StatusPollBuffer();                // {0x04, 0, 0}

// ---- read requests (report 0x04 {0x04, profile, code}) ---------------------------
inline constexpr std::uint8_t kRequestKeyRemap = 0xA0;
inline constexpr std::uint8_t kRequestFunctionKeys = 0xA1;
inline constexpr std::uint8_t kRequestThumbKeys = 0xA3;
inline constexpr std::uint8_t kRequestFlexKeys = 0xA5;
inline constexpr std::uint8_t kRequestOptionBits = 0xB0;
inline constexpr std::uint8_t kRequestLightSettings = 0xB1;
inline constexpr std::uint8_t kRequestProfileOptions = 0xB2;
inline constexpr std::uint8_t kRequestIlluminationAuto = 0xC0;    // + layer, mode 0
inline constexpr std::uint8_t kRequestIlluminationManual = 0xD0;  // + layer, mode 1
inline constexpr std::uint8_t kRequestEffectSequence = 0xE0;

inline constexpr int kMacroSlotCount = 112;
inline constexpr int kIlluminationModeCount = 2;
inline constexpr int kIlluminationLayerCount = 11;

struct RequestAnswer {
    std::uint8_t reportId;
    std::uint16_t length;
    int slot = -1;   // 0x0E: the macro slot
    int mode = -1;   // 0x17: illumination mode
    int layer = -1;  // 0x17: layer
};
// The report that answers a request code; nullopt for codes the keyboard does not know.
std::optional<RequestAnswer> AnswerToRequest(std::uint8_t code);

// The request code that reads a report: per-profile reports 0x06..0x0D and
// 0x19; nullopt for others (use MacroRequest / IlluminationRequest).
std::optional<std::uint8_t> RequestCodeFor(std::uint8_t reportId);
std::optional<std::uint8_t> MacroRequest(int slot);                  // slot 0..111
std::optional<std::uint8_t> IlluminationRequest(int mode, int layer);  // mode 0..1, layer 0..10
std::array<std::uint8_t, 3> RequestReport(int profile, std::uint8_t code);

// Prepares a receive buffer before a read: zeroes it for 0x0E, sets byte 0 to
// the id and, for 0x09, 0x0A, 0x0B, 0x0C, 0x0D and 0x17, the length field.
// Returns false for an unknown id or a buffer shorter than the report.
bool PrepareReadBuffer(std::uint8_t id, std::span<std::uint8_t> buffer);

// Illumination mode 0 keeps only layers 0, 9 and 10; mode 1 all eleven.
constexpr bool IlluminationLayerUsed(int mode, int layer) {
    if (layer < 0 || layer >= kIlluminationLayerCount) return false;
    if (mode == 1) return true;
    return mode == 0 && (layer == 0 || layer == 9 || layer == 10);
}

// ---- keyboard events (input report 0x03) -------------------------------------
struct KeyboardEvent {
    std::uint8_t index = 0;   // byte 1
    std::uint8_t type = 0;    // byte 2
    std::uint8_t data = 0;    // byte 3
    std::uint8_t action = 0;  // byte 4

    // The 32-bit value posted to the keyboard thread: byte 1 lowest.
    constexpr std::uint32_t value() const {
        return static_cast<std::uint32_t>(index) | (static_cast<std::uint32_t>(type) << 8) |
               (static_cast<std::uint32_t>(data) << 16) | (static_cast<std::uint32_t>(action) << 24);
    }
    // Index in the low byte, type in the high byte (0x0100, 0xFA01, ...).
    constexpr std::uint16_t typeWord() const {
        return static_cast<std::uint16_t>(index | (type << 8));
    }
    // Data in the low byte, action in the high byte.
    constexpr std::uint16_t count() const {
        return static_cast<std::uint16_t>(data | (action << 8));
    }
    static constexpr KeyboardEvent FromValue(std::uint32_t v) {
        return KeyboardEvent{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                             static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    }
};
// Decodes an input report: nullopt when it is shorter than 5 bytes or not report 3.
std::optional<KeyboardEvent> DecodeInputReport(std::span<const std::uint8_t> bytes);

// ---- factory defaults ------------------------------------------------------------
// Function entry codes of the default function keys: F1..F12, Print Screen,
// Scroll Lock, Pause on the primary layer, then the secondary layer. The last
// (Pause secondary) is 0 after a profile reset; a timer deletion restores
// kPauseSecondaryAfterTimerDeletion instead.
inline constexpr std::uint8_t kFunctionKeyDefaultCodes[kFunctionKeyEntryCount] = {
    58,  59,  60,  61,  62,  63,  64,  65,  66,  67,  68,  69,  70,  71,  72,
    210, 209, 208, 193, 204, 207, 206, 205, 194, 195, 163, 167, 0,   0,   0};
inline constexpr std::uint8_t kPauseSecondaryAfterTimerDeletion = 130;
// Thumb keys 1, 2, 3 primary, then secondary.
inline constexpr std::uint8_t kThumbKeyDefaultCodes[kThumbKeyEntryCount] = {177, 221, 176,
                                                                            57,  203, 192};

// Default bodies (bytes after the header; header and checksum untouched).
void FillDefaultKeyRemap(std::span<std::uint8_t, kKeyRemapLength> image,
                         std::span<const std::uint8_t, kRemapKeyCount> keyUsages);
void FillDefaultFunctionKeys(std::span<std::uint8_t, kFunctionKeysLength> image,
                             std::uint8_t pauseSecondaryCode = 0);
void FillDefaultThumbKeys(std::span<std::uint8_t, kThumbKeysLength> image);
void FillDefaultProfileOptions(std::span<std::uint8_t, kProfileOptionsLength> image);
void FillDefaultOptionBits(std::span<std::uint8_t, kOptionBitsLength> image);
void FillDefaultLightSettings(std::span<std::uint8_t, kLightSettingsLength> image);

// A whole default report as the keyboard holds it after a factory reset,
// framed for `profile`: 0x06, 0x07, 0x09, 0x0A, 0x0B (all entries 0), 0x0C,
// 0x0D. Returns false for other ids or a wrong size.
bool MakeDefaultReport(std::uint8_t id, int profile, std::span<std::uint8_t> out,
                       std::span<const std::uint8_t, kRemapKeyCount> keyUsages);

}  // namespace vyre::report
