#include "config/keys/key_entries.h"

#include <algorithm>

namespace vyre {
namespace {

std::uint8_t* EntryBytes(ProfileStore& store, int profile, int keyIndex, Layer layer,
                         int position) {
    const std::size_t n = report::kFunctionEntrySize;
    const bool secondary = layer == Layer::Secondary;
    switch (KeyGroupOf(keyIndex)) {
        case KeyGroup::Function:
            return store.functionKeyReports[profile] + report::kFunctionKeyEntries +
                   (static_cast<std::size_t>(position) + (secondary ? 15 : 0)) * n;
        case KeyGroup::Thumb:
            return store.thumbKeyReports[profile] + report::kThumbKeyEntries +
                   (static_cast<std::size_t>(position) + (secondary ? 3 : 0)) * n;
        case KeyGroup::Normal:
            if (!secondary) return nullptr;
            return store.flexKeyReports[profile] + report::kFlexKeyEntries +
                   static_cast<std::size_t>(position) * n;
    }
    return nullptr;
}

}  // namespace

std::optional<int> GroupPosition(int keyIndex, int layoutCode) {
    switch (KeyGroupOf(keyIndex)) {
        case KeyGroup::Function:
            return FunctionKeyPosition(keyIndex);
        case KeyGroup::Thumb:
            return ThumbKeyPosition(keyIndex);
        case KeyGroup::Normal:
            return FlexlayerPosition(keyIndex, layoutCode);
    }
    return std::nullopt;
}

std::optional<FunctionEntry> ReadKeyEntry(const ProfileStore& store, int profile, int keyIndex,
                                          Layer layer, int layoutCode) {
    if (!IsProfile(profile)) return std::nullopt;
    const auto position = GroupPosition(keyIndex, layoutCode);
    if (KeyGroupOf(keyIndex) == KeyGroup::Normal && layer == Layer::Primary) {
        if (keyIndex < 0 || keyIndex >= kKeyTableRows) return std::nullopt;
        return FunctionEntry{store.keyRemapReports[profile][report::kKeyRemapUsages + keyIndex],
                             0, 0};
    }
    if (!position) return std::nullopt;
    // Reading never changes the store; the helper is shared with writing.
    const std::uint8_t* bytes =
        EntryBytes(const_cast<ProfileStore&>(store), profile, keyIndex, layer, *position);
    return FunctionEntry{bytes[0], bytes[1], bytes[2]};
}

bool WriteKeyEntry(ProfileStore& store, int profile, int keyIndex, Layer layer, int layoutCode,
                   FunctionEntry entry) {
    if (!IsProfile(profile)) return false;
    const auto position = GroupPosition(keyIndex, layoutCode);
    if (!position) return false;
    auto write = [&](int at) {
        std::uint8_t* bytes = EntryBytes(store, profile, keyIndex, layer, at);
        if (bytes == nullptr) return false;
        bytes[0] = entry.code;
        bytes[1] = entry.data1;
        bytes[2] = entry.data2;
        return true;
    };
    if (!write(*position)) return false;
    // A key the keyboard lists at two Flexlayer positions (K151 on layout 13)
    // gets the entry at both.
    if (KeyGroupOf(keyIndex) == KeyGroup::Normal) {
        const FlexlayerKeyList& keys = FlexlayerKeys(layoutCode);
        for (int at = *position + 1; at < kFlexlayerPositions; ++at)
            if (keys[at] == keyIndex) write(at);
    }
    return true;
}

std::span<std::uint8_t, report::kRemapKeyCount> KeyUsages(ProfileStore& store, int profile) {
    return std::span<std::uint8_t, report::kRemapKeyCount>(
        store.keyRemapReports[profile] + report::kKeyRemapUsages, report::kRemapKeyCount);
}

std::optional<int> AssignUsage(std::span<std::uint8_t, report::kRemapKeyCount> usages,
                               int keyIndex, std::uint8_t usage) {
    if (keyIndex < 0 || keyIndex >= static_cast<int>(usages.size())) return std::nullopt;
    const std::uint8_t old = usages[static_cast<std::size_t>(keyIndex)];
    usages[static_cast<std::size_t>(keyIndex)] = usage;
    if (usage == 0 || usage == old) return std::nullopt;
    for (std::size_t k = 0; k < usages.size(); ++k) {
        if (static_cast<int>(k) != keyIndex && usages[k] == usage) {
            usages[k] = old;
            return static_cast<int>(k);
        }
    }
    return std::nullopt;
}

}  // namespace vyre
