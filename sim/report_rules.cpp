#include "sim/report_rules.h"

#include "common/checksum.h"
#include "common/flexlayer_keys.h"
#include "common/key_functions.h"
#include "common/key_table.h"

namespace vyre::sim {
namespace {

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
void PutLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

bool MacroLayout(std::uint8_t id) { return id == 0x0E || id == 0x19; }

constexpr std::size_t kMacroEventsOffset = 80;
constexpr std::size_t kMacroMaxEvents = 480;
constexpr std::size_t kMacroSummed = 2000;

}  // namespace

std::size_t FeatureLength(std::uint8_t id) {
    switch (id) {
        case 0x04: case 0x05: case 0x11: case 0x15: return 3;
        case 0x06: return 125;
        case 0x07: return 95;
        case 0x09: return 23;
        case 0x0A: return 8;
        case 0x0B: return 294;
        case 0x0C: return 6;
        case 0x0D: return 16;
        case 0x0E: case 0x19: return 2002;
        case 0x0F: case 0x13: return 8;
        case 0x14: case 0x18: return 20;
        case 0x16: return 16;
        case 0x17: return 253;
        default: return 0;
    }
}

bool CarriesChecksum(std::uint8_t id) {
    switch (id) {
        case 0x06: case 0x07: case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D:
        case 0x0E: case 0x14: case 0x17: case 0x18: case 0x19:
            return true;
        default:
            return false;
    }
}

bool IsPerProfile(std::uint8_t id) {
    switch (id) {
        case 0x06: case 0x07: case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D:
        case 0x0E: case 0x17: case 0x18: case 0x19:
            return true;
        default:
            return false;
    }
}

std::size_t ProfileOffset(std::uint8_t id) {
    return (id == 0x0B || MacroLayout(id)) ? 3 : 2;
}

int ImagesPerProfile(std::uint8_t id) {
    if (id == 0x0E) return 112;
    if (id == 0x17) return 22;
    return 1;
}

bool IlluminationRecordExists(int index) {
    if (index < 0 || index >= 22) return false;
    if (index < 11) return index == 0 || index == 9 || index == 10;
    return true;
}

bool ChecksumValid(const std::uint8_t* image, std::size_t length) {
    if (length < 3) return false;
    const std::uint8_t id = image[0];
    if (length != FeatureLength(id)) return false;
    if (!CarriesChecksum(id)) return true;
    if (MacroLayout(id)) {
        const std::size_t n = Le16(image + 78);
        if (n > kMacroMaxEvents) return false;
        const std::size_t at = kMacroEventsOffset + 4 * n;
        std::uint32_t sum = Checksum16(image, kMacroSummed);
        if (at < kMacroSummed) sum = sum - image[at] - image[at + 1];
        return static_cast<std::uint16_t>(sum & 0xFFFF) == Le16(image + at);
    }
    return Checksum16(image, length - 2) == Le16(image + length - 2);
}

bool HeaderValid(const std::uint8_t* image, std::size_t length) {
    const std::uint8_t id = image[0];
    if (length != FeatureLength(id)) return false;
    if (MacroLayout(id)) {
        const std::size_t n = Le16(image + 78);
        if (n > kMacroMaxEvents || Le16(image + 1) != 82 + 4 * n) return false;
        if (image[3] > 4) return false;
        return id != 0x0E || image[4] < 112;
    }
    if (id == 0x0B) {
        if (Le16(image + 1) != length) return false;
    } else if (image[1] != length) {
        return false;
    }
    if (IsPerProfile(id) && image[ProfileOffset(id)] > 4) return false;
    if (id == 0x17) return image[3] <= 1 && IlluminationRecordExists(image[3] * 11 + image[4]);
    return true;
}

std::optional<RequestTarget> DecodeRequest(std::uint8_t code) {
    if (code < 112) return RequestTarget{0x0E, code};
    switch (code) {
        case 0xA0: return RequestTarget{0x06, 0};
        case 0xA1: return RequestTarget{0x07, 0};
        case 0xA3: return RequestTarget{0x09, 0};
        case 0xA5: return RequestTarget{0x0B, 0};
        case 0xB0: return RequestTarget{0x0C, 0};
        case 0xB1: return RequestTarget{0x0D, 0};
        case 0xB2: return RequestTarget{0x0A, 0};
        case 0xE0: return RequestTarget{0x19, 0};
        default: break;
    }
    if (code >= 0xC0 && code <= 0xCA && IlluminationRecordExists(code - 0xC0)) {
        return RequestTarget{0x17, code - 0xC0};
    }
    if (code >= 0xD0 && code <= 0xDA) return RequestTarget{0x17, 11 + code - 0xD0};
    return std::nullopt;
}

std::vector<std::uint8_t> FactoryImage(std::uint8_t id, int profile, int index, int layoutCode) {
    const std::size_t length = FeatureLength(id);
    std::vector<std::uint8_t> img(length, 0);
    if (length == 0) return img;
    img[0] = id;
    const auto p = static_cast<std::uint8_t>(profile);
    if (MacroLayout(id)) {
        PutLe16(&img[1], 82);
        img[3] = p;
        img[4] = id == 0x0E ? static_cast<std::uint8_t>(index) : 0;
        const std::uint16_t sum = Checksum16(img.data(), kMacroSummed);
        PutLe16(&img[kMacroEventsOffset], sum);
        return img;
    }
    if (id == 0x0B) {
        PutLe16(&img[1], static_cast<std::uint16_t>(length));
    } else {
        img[1] = static_cast<std::uint8_t>(length);
    }
    if (IsPerProfile(id)) img[ProfileOffset(id)] = p;
    switch (id) {
        case 0x05: img[2] = 0; break;
        case 0x06:
            for (int key = 0; key < 120; ++key) img[3 + key] = static_cast<std::uint8_t>(KeyUsage(key));
            break;
        case 0x07: {
            const auto entries = DefaultFunctionKeyEntries();
            for (std::size_t n = 0; n < entries.size(); ++n) {
                img[3 + 3 * n] = entries[n].code;
                img[4 + 3 * n] = entries[n].data1;
                img[5 + 3 * n] = entries[n].data2;
            }
            break;
        }
        case 0x09: {
            const auto entries = DefaultThumbKeyEntries();
            for (std::size_t n = 0; n < entries.size(); ++n) {
                img[3 + 3 * n] = entries[n].code;
                img[4 + 3 * n] = entries[n].data1;
                img[5 + 3 * n] = entries[n].data2;
            }
            break;
        }
        case 0x0B: {
            const FlexlayerKeyList& keys = FlexlayerKeys(layoutCode);
            for (int n = 0; n < kFlexlayerPositions; ++n) {
                if (keys[n] != kNoKey) {
                    img[4 + 3 * n] = StandardFunctionCode(keys[n], Layer::Secondary);
                }
            }
            break;
        }
        case 0x0A: img[3] = 0xFF; img[4] = 0xF1; break;
        case 0x0C: img[3] = 0x3F; break;
        case 0x0D: img[3] = 3; img[4] = 1; img[5] = 0x0F; img[12] = 1; break;
        case 0x17:
            img[3] = static_cast<std::uint8_t>(index / 11);
            img[4] = static_cast<std::uint8_t>(index % 11);
            img[6] = 1;
            break;
        default: break;
    }
    if (CarriesChecksum(id)) PutLe16(&img[length - 2], Checksum16(img.data(), length - 2));
    return img;
}

}  // namespace vyre::sim
