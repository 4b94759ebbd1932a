#pragma once
// Records of the talk protocol with the maker's other device programs.

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "common/fixed_text.h"

namespace vyre {

// Filled by another device program and kept by the Monitor and the Config,
// keyed by its first 32 bits (64 bytes).
struct TalkDeviceRecord {
    LeU32 key;                // 0
    FixedText16<20> name;     // 4: device name, 20 code units including the terminating zero
    LeI32 dpiLevels[5];       // 44: a value of 0 or less means no level
};

// Sent by the Monitor to its talk partner when the keyboard comes (dwData
// kDevicePresentTag) and when the Monitor leaves (kDeviceLeavingTag) (28 bytes).
struct DevicePresentRecord {
    LeU16 vendorId;           // 0
    LeU16 productId;          // 2: product id of the connected model, 0 when none
    LeU32 controlWindow;      // 4: handle of the Monitor's control window
    std::uint8_t zero[20];    // 8
};

static_assert(sizeof(TalkDeviceRecord) == 64 && alignof(TalkDeviceRecord) == 1);
static_assert(offsetof(TalkDeviceRecord, name) == 4);
static_assert(offsetof(TalkDeviceRecord, dpiLevels) == 44);

static_assert(sizeof(DevicePresentRecord) == 28 && alignof(DevicePresentRecord) == 1);
static_assert(offsetof(DevicePresentRecord, productId) == 2);
static_assert(offsetof(DevicePresentRecord, controlWindow) == 4);
static_assert(offsetof(DevicePresentRecord, zero) == 8);

}  // namespace vyre
