#include "sim/report_rules.h"

#include "common/flexlayer_keys.h"
#include "common/key_functions.h"
#include "common/key_table.h"
#include "common/reports.h"

namespace vyre::sim {

namespace {

bool MacroLayout(std::uint8_t id) { return id == report::kMacro || id == report::kEffectSequence; }

}  // namespace

std::size_t FeatureLength(std::uint8_t id) {
    const report::ReportInfo* info = report::FindReport(id);
    return (info && id != report::kEvent) ? info->length : 0;
}

bool CarriesChecksum(std::uint8_t id) {
    const report::ReportInfo* info = report::FindReport(id);
    return info && info->checksum != report::ChecksumPlacement::kNone;
}

bool IsPerProfile(std::uint8_t id) {
    const report::ReportInfo* info = report::FindReport(id);
    return info && info->scope != report::Scope::kGlobal;
}

std::size_t ProfileOffset(std::uint8_t id) {
    const report::ReportInfo* info = report::FindReport(id);
    return (info && info->profileOffset >= 0) ? static_cast<std::size_t>(info->profileOffset) : 2;
}

int ImagesPerProfile(std::uint8_t id) {
    const report::ReportInfo* info = report::FindReport(id);
    if (!info) return 1;
    switch (info->scope) {
        case report::Scope::kProfileSlot: return report::kMacroSlotCount;
        case report::Scope::kProfileModeLayer:
            return report::kIlluminationModeCount * report::kIlluminationLayerCount;
        default: return 1;
    }
}

bool IlluminationRecordExists(int index) {
    return index >= 0 &&
           report::IlluminationLayerUsed(index / report::kIlluminationLayerCount,
                                         index % report::kIlluminationLayerCount);
}

bool ChecksumValid(const std::uint8_t* image, std::size_t length) {
    return report::VerifyReport({image, length}) != report::Verdict::kBadChecksum &&
           FeatureLength(image[0]) == length;
}

bool HeaderValid(const std::uint8_t* image, std::size_t length) {
    if (report::VerifyReport({image, length}) != report::Verdict::kOk) return false;
    // An illumination record names its mode and layer in bytes 3 and 4.
    if (image[0] == report::kIllumination) {
        return image[3] < report::kIlluminationModeCount &&
               IlluminationRecordExists(image[3] * report::kIlluminationLayerCount + image[4]);
    }
    return true;
}

std::optional<RequestTarget> DecodeRequest(std::uint8_t code) {
    const auto answer = report::AnswerToRequest(code);
    if (!answer) return std::nullopt;
    RequestTarget t;
    t.id = answer->reportId;
    if (answer->slot >= 0) t.index = answer->slot;
    if (answer->mode >= 0) t.index = answer->mode * report::kIlluminationLayerCount + answer->layer;
    return t;
}

std::vector<std::uint8_t> FactoryImage(std::uint8_t id, int profile, int index, int layoutCode) {
    const std::size_t length = FeatureLength(id);
    std::vector<std::uint8_t> img(length, 0);
    if (length == 0) return img;
    std::array<std::uint8_t, report::kRemapKeyCount> usages{};
    for (std::size_t key = 0; key < usages.size(); ++key) {
        usages[key] = static_cast<std::uint8_t>(KeyUsage(static_cast<int>(key)));
    }
    if (report::MakeDefaultReport(id, profile, img, usages)) {
        if (id == report::kFlexKeys) {
            // Every Flexlayer position of the layout starts with the key's own
            // secondary default.
            const FlexlayerKeyList& keys = FlexlayerKeys(layoutCode);
            for (int n = 0; n < kFlexlayerPositions; ++n) {
                if (keys[n] != kNoKey) {
                    img[report::kFlexKeyEntries + report::kFunctionEntrySize * n] =
                        StandardFunctionCode(keys[n], Layer::Secondary);
                }
            }
            report::FrameReport(id, profile, img);
        }
        return img;
    }
    img[0] = id;
    if (MacroLayout(id)) {
        img[3] = static_cast<std::uint8_t>(profile);
        img[4] = id == report::kMacro ? static_cast<std::uint8_t>(index) : 0;
        report::FrameMacroReport(id, std::span<std::uint8_t, report::kMacroLength>(img.data(), img.size()));
        return img;
    }
    switch (id) {
        case report::kIllumination:
            img[3] = static_cast<std::uint8_t>(index / report::kIlluminationLayerCount);
            img[4] = static_cast<std::uint8_t>(index % report::kIlluminationLayerCount);
            img[report::kIlluminationFadeDelay] = 1;
            break;
        case report::kActiveProfile:
        case report::kHostPresence:
        case report::kReset:
        case report::kLiveLight:
        case report::kFlexState:
            img[1] = static_cast<std::uint8_t>(length);
            return img;
        default:
            break;
    }
    if (!report::FrameReport(id, profile, img)) img[1] = static_cast<std::uint8_t>(length);
    return img;
}

}  // namespace vyre::sim
