#include "common/reports.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/checksum.h"

namespace vyre::report {
namespace {

constexpr int kProfiles = 5;
constexpr std::size_t kMacroEventsOffset = 80;
constexpr std::size_t kMacroCountOffset = 78;
constexpr std::size_t kMacroMaxEvents = 480;
constexpr std::size_t kMacroChecksummedBytes = 2000;

using S = Scope;
using C = ChecksumPlacement;

constexpr ReportInfo kCatalogue[] = {
    {kEvent, kEventMinLength, 0, -1, S::kGlobal, C::kNone},
    {kStatus, kStatusLength, 0, -1, S::kGlobal, C::kNone},
    {kActiveProfile, kActiveProfileLength, 1, -1, S::kGlobal, C::kNone},
    {kKeyRemap, kKeyRemapLength, 1, 2, S::kProfile, C::kTrailing},
    {kFunctionKeys, kFunctionKeysLength, 1, 2, S::kProfile, C::kTrailing},
    {kThumbKeys, kThumbKeysLength, 1, 2, S::kProfile, C::kTrailing},
    {kProfileOptions, kProfileOptionsLength, 1, 2, S::kProfile, C::kTrailing},
    {kFlexKeys, kFlexKeysLength, 2, 3, S::kProfile, C::kTrailing},
    {kOptionBits, kOptionBitsLength, 1, 2, S::kProfile, C::kTrailing},
    {kLightSettings, kLightSettingsLength, 1, 2, S::kProfile, C::kTrailing},
    {kMacro, kMacroLength, 2, 3, S::kProfileSlot, C::kAfterLastEvent},
    {kDeviceInfo, kDeviceInfoLength, 0, -1, S::kGlobal, C::kNone},
    {kReset, kResetLength, 1, -1, S::kGlobal, C::kNone},
    {kLiveLight, kLiveLightLength, 1, -1, S::kGlobal, C::kNone},
    {kGlobal14, kGlobal14Length, 1, -1, S::kGlobal, C::kTrailing},
    {kHostPresence, kHostPresenceLength, 1, -1, S::kGlobal, C::kNone},
    {kFlexState, kFlexStateLength, 1, -1, S::kGlobal, C::kNone},
    {kIllumination, kIlluminationLength, 1, 2, S::kProfileModeLayer, C::kTrailing},
    {kKeyLightBitmap, kKeyLightBitmapLength, 1, 2, S::kProfile, C::kTrailing},
    {kEffectSequence, kEffectSequenceLength, 2, 3, S::kProfile, C::kAfterLastEvent},
};

void WriteLengthField(const ReportInfo& info, std::uint8_t* bytes, std::size_t value) {
    if (info.lengthBytes == 1) {
        bytes[1] = static_cast<std::uint8_t>(value);
    } else if (info.lengthBytes == 2) {
        StoreLe16(bytes + 1, static_cast<std::uint16_t>(value));
    }
}

std::size_t ReadLengthField(const ReportInfo& info, const std::uint8_t* bytes) {
    if (info.lengthBytes == 1) return bytes[1];
    if (info.lengthBytes == 2) return LoadLe16(bytes + 1);
    return 0;
}

std::size_t StoredEventCount(const std::uint8_t* image) {
    return LoadLe16(image + kMacroCountOffset);
}

}  // namespace

std::span<const ReportInfo> Catalogue() { return kCatalogue; }

const ReportInfo* FindReport(std::uint8_t id) {
    for (const ReportInfo& info : kCatalogue) {
        if (info.id == id) return &info;
    }
    return nullptr;
}

bool FrameReport(std::uint8_t id, int profile, std::span<std::uint8_t> image) {
    const ReportInfo* info = FindReport(id);
    if (info == nullptr || info->checksum != ChecksumPlacement::kTrailing) return false;
    if (image.size() != info->length) return false;
    const bool perProfile = info->profileOffset >= 0;
    if (perProfile && (profile < 0 || profile >= kProfiles)) return false;

    image[0] = id;
    WriteLengthField(*info, image.data(), info->length);
    if (perProfile) image[static_cast<std::size_t>(info->profileOffset)] = static_cast<std::uint8_t>(profile);
    const std::size_t n = info->length - 2;
    StoreLe16(image.data() + n, Checksum16(image.data(), n));
    return true;
}

std::size_t MacroChecksumOffset(std::span<const std::uint8_t, kMacroLength> image) {
    return kMacroEventsOffset + 4 * std::min(StoredEventCount(image.data()), kMacroMaxEvents);
}

void FrameMacroReport(std::uint8_t id, std::span<std::uint8_t, kMacroLength> image) {
    std::uint8_t* p = image.data();
    std::size_t n = StoredEventCount(p);
    if (n > kMacroMaxEvents) {
        // A count past the image's room would place the checksum outside the
        // report; keep the 480 events the image holds.
        n = kMacroMaxEvents;
        StoreLe16(p + kMacroCountOffset, static_cast<std::uint16_t>(n));
    }
    p[0] = id;
    StoreLe16(p + 1, static_cast<std::uint16_t>(82 + 4 * n));
    const std::size_t at = kMacroEventsOffset + 4 * n;
    // Whatever lies after the last event (a checksum of an earlier framing,
    // stale events) is not part of the macro: clear it so that the sum covers
    // the header and the events only.
    std::fill(p + at, p + kMacroChecksummedBytes, std::uint8_t{0});
    const std::uint16_t sum = Checksum16(p, kMacroChecksummedBytes);
    if (n < kMacroMaxEvents) {
        p[kMacroChecksummedBytes] = 0;
        p[kMacroChecksummedBytes + 1] = 0;
    }
    StoreLe16(p + at, sum);
}

void StampStoredSequenceChecksum(std::span<std::uint8_t, kEffectSequenceLength> image) {
    StoreLe16(image.data() + kMacroChecksummedBytes,
              Checksum16(image.data(), kMacroChecksummedBytes));
}

std::array<std::uint8_t, kEffectSequenceLength> SequenceReportForWrite(
    std::span<const std::uint8_t, kEffectSequenceLength> stored) {
    std::array<std::uint8_t, kEffectSequenceLength> out;
    std::copy(stored.begin(), stored.end(), out.begin());
    FrameMacroReport(kEffectSequence, out);
    return out;
}

Verdict VerifyReport(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return Verdict::kWrongSize;
    const ReportInfo* info = FindReport(bytes[0]);
    if (info == nullptr) return Verdict::kUnknownId;
    if (info->id == kEvent ? bytes.size() < info->length : bytes.size() != info->length) {
        return Verdict::kWrongSize;
    }
    const std::uint8_t* p = bytes.data();
    if (info->profileOffset >= 0 && p[info->profileOffset] >= kProfiles) return Verdict::kBadProfile;

    switch (info->checksum) {
        case ChecksumPlacement::kNone:
            if (info->lengthBytes != 0 && ReadLengthField(*info, p) != info->length) {
                return Verdict::kWrongLength;
            }
            return Verdict::kOk;
        case ChecksumPlacement::kTrailing: {
            if (ReadLengthField(*info, p) != info->length) return Verdict::kWrongLength;
            const std::size_t n = info->length - 2;
            return LoadLe16(p + n) == Checksum16(p, n) ? Verdict::kOk : Verdict::kBadChecksum;
        }
        case ChecksumPlacement::kAfterLastEvent: {
            const std::size_t n = StoredEventCount(p);
            if (n > kMacroMaxEvents) return Verdict::kBadEventCount;
            if (info->id == kMacro && p[4] >= kMacroSlotCount) return Verdict::kBadSlot;
            if (LoadLe16(p + 1) != 82 + 4 * n) return Verdict::kWrongLength;
            const std::size_t at = kMacroEventsOffset + 4 * n;
            return LoadLe16(p + at) == Checksum16(p, at) ? Verdict::kOk : Verdict::kBadChecksum;
        }
    }
    return Verdict::kOk;
}

std::array<std::uint8_t, 3> ActiveProfileReport(int profile) {
    return {kActiveProfile, 0x03, static_cast<std::uint8_t>(profile)};
}
std::array<std::uint8_t, 3> ResetReport() { return {kReset, 0x03, 0x04}; }
std::array<std::uint8_t, 3> HostPresenceReport(bool present) {
    return {kHostPresence, 0x03, static_cast<std::uint8_t>(present ? 1 : 0)};
}
std::array<std::uint8_t, 8> LiveLightReport(bool on) {
    return {kLiveLight, 0x08, static_cast<std::uint8_t>(on ? 1 : 0), 0, 0, 0, 0, 0};
}
std::array<std::uint8_t, 3> StatusPollBuffer() { return {kStatus, 0, 0}; }

std::optional<RequestAnswer> AnswerToRequest(std::uint8_t code) {
    if (code < kMacroSlotCount) return RequestAnswer{kMacro, kMacroLength, code, -1, -1};
    switch (code) {
        case kRequestKeyRemap: return RequestAnswer{kKeyRemap, kKeyRemapLength};
        case kRequestFunctionKeys: return RequestAnswer{kFunctionKeys, kFunctionKeysLength};
        case kRequestThumbKeys: return RequestAnswer{kThumbKeys, kThumbKeysLength};
        case kRequestFlexKeys: return RequestAnswer{kFlexKeys, kFlexKeysLength};
        case kRequestOptionBits: return RequestAnswer{kOptionBits, kOptionBitsLength};
        case kRequestLightSettings: return RequestAnswer{kLightSettings, kLightSettingsLength};
        case kRequestProfileOptions: return RequestAnswer{kProfileOptions, kProfileOptionsLength};
        case kRequestEffectSequence: return RequestAnswer{kEffectSequence, kEffectSequenceLength};
        default: break;
    }
    for (int mode = 0; mode < kIlluminationModeCount; ++mode) {
        const int base = mode == 0 ? kRequestIlluminationAuto : kRequestIlluminationManual;
        const int layer = code - base;
        if (layer >= 0 && layer < kIlluminationLayerCount) {
            return RequestAnswer{kIllumination, kIlluminationLength, -1, mode, layer};
        }
    }
    return std::nullopt;
}

std::optional<std::uint8_t> RequestCodeFor(std::uint8_t reportId) {
    switch (reportId) {
        case kKeyRemap: return kRequestKeyRemap;
        case kFunctionKeys: return kRequestFunctionKeys;
        case kThumbKeys: return kRequestThumbKeys;
        case kFlexKeys: return kRequestFlexKeys;
        case kOptionBits: return kRequestOptionBits;
        case kLightSettings: return kRequestLightSettings;
        case kProfileOptions: return kRequestProfileOptions;
        case kEffectSequence: return kRequestEffectSequence;
        default: return std::nullopt;
    }
}

std::optional<std::uint8_t> MacroRequest(int slot) {
    if (slot < 0 || slot >= kMacroSlotCount) return std::nullopt;
    return static_cast<std::uint8_t>(slot);
}

std::optional<std::uint8_t> IlluminationRequest(int mode, int layer) {
    if (mode < 0 || mode >= kIlluminationModeCount) return std::nullopt;
    if (layer < 0 || layer >= kIlluminationLayerCount) return std::nullopt;
    const int base = mode == 0 ? kRequestIlluminationAuto : kRequestIlluminationManual;
    return static_cast<std::uint8_t>(base + layer);
}

std::array<std::uint8_t, 3> RequestReport(int profile, std::uint8_t code) {
    return {kStatus, static_cast<std::uint8_t>(profile), code};
}

bool PrepareReadBuffer(std::uint8_t id, std::span<std::uint8_t> buffer) {
    const ReportInfo* info = FindReport(id);
    if (info == nullptr || buffer.size() < info->length) return false;
    if (id == kMacro) std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    buffer[0] = id;
    switch (id) {
        case kThumbKeys:
        case kProfileOptions:
        case kFlexKeys:
        case kOptionBits:
        case kLightSettings:
        case kIllumination:
            WriteLengthField(*info, buffer.data(), info->length);
            break;
        case kGlobal14:
            buffer[1] = kGlobal14;  // read without a request, bytes 0 and 1 set
            break;
        default:
            break;
    }
    return true;
}

std::optional<KeyboardEvent> DecodeInputReport(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kEventMinLength || bytes[0] != kEvent) return std::nullopt;
    return KeyboardEvent{bytes[1], bytes[2], bytes[3], bytes[4]};
}

// ---- defaults ---------------------------------------------------------------

void FillDefaultKeyRemap(std::span<std::uint8_t, kKeyRemapLength> image,
                         std::span<const std::uint8_t, kRemapKeyCount> keyUsages) {
    std::copy(keyUsages.begin(), keyUsages.end(), image.begin() + kKeyRemapUsages);
}

namespace {
void FillEntries(std::uint8_t* entries, const std::uint8_t* codes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        entries[3 * i] = codes[i];
        entries[3 * i + 1] = 0;
        entries[3 * i + 2] = 0;
    }
}
}  // namespace

void FillDefaultFunctionKeys(std::span<std::uint8_t, kFunctionKeysLength> image,
                             std::uint8_t pauseSecondaryCode) {
    FillEntries(image.data() + kFunctionKeyEntries, kFunctionKeyDefaultCodes, kFunctionKeyEntryCount);
    image[kFunctionKeyEntries + 3 * (kFunctionKeyEntryCount - 1)] = pauseSecondaryCode;
}

void FillDefaultThumbKeys(std::span<std::uint8_t, kThumbKeysLength> image) {
    FillEntries(image.data() + kThumbKeyEntries, kThumbKeyDefaultCodes, kThumbKeyEntryCount);
}

void FillDefaultProfileOptions(std::span<std::uint8_t, kProfileOptionsLength> image) {
    image[kProfileOptionsCode] = 0xFF;
    image[kProfileOptionsKey] = 0xF1;
}

void FillDefaultOptionBits(std::span<std::uint8_t, kOptionBitsLength> image) {
    image[kOptionBitsByte] = 0x3F;
}

void FillDefaultLightSettings(std::span<std::uint8_t, kLightSettingsLength> image) {
    image[kLightLevel] = 3;
    image[kLightEffect] = 1;
    image[kLightEffectValue] = 0x0F;
}

bool MakeDefaultReport(std::uint8_t id, int profile, std::span<std::uint8_t> out,
                       std::span<const std::uint8_t, kRemapKeyCount> keyUsages) {
    const ReportInfo* info = FindReport(id);
    if (info == nullptr || out.size() != info->length) return false;
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    switch (id) {
        case kKeyRemap: FillDefaultKeyRemap(out.first<kKeyRemapLength>(), keyUsages); break;
        case kFunctionKeys: FillDefaultFunctionKeys(out.first<kFunctionKeysLength>()); break;
        case kThumbKeys: FillDefaultThumbKeys(out.first<kThumbKeysLength>()); break;
        case kProfileOptions: FillDefaultProfileOptions(out.first<kProfileOptionsLength>()); break;
        case kFlexKeys: break;
        case kOptionBits: FillDefaultOptionBits(out.first<kOptionBitsLength>()); break;
        case kLightSettings: FillDefaultLightSettings(out.first<kLightSettingsLength>()); break;
        default: return false;
    }
    return FrameReport(id, profile, out);
}

}  // namespace vyre::report
