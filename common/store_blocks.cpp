#include "common/store_blocks.h"

#include <algorithm>
#include <cstring>

#include "common/link_codes.h"

namespace vyre {
namespace {

template <typename Blocks, typename Byte>
std::span<Byte> BlockOf(Blocks& b, std::uint16_t code) {
    auto bytes = [](auto& field) {
        return std::span<Byte>(reinterpret_cast<Byte*>(&field), sizeof field);
    };
    switch (code) {
        case link::block::kDeviceInfo: return bytes(b.deviceInfoReport);
        case link::block::kActiveProfile: return bytes(b.activeProfileReport);
        case link::block::kKeyRemap: return bytes(b.keyRemapReports);
        case link::block::kFunctionKeys: return bytes(b.functionKeyReports);
        case link::block::kThumbKeys: return bytes(b.thumbKeyReports);
        case link::block::kProfileOptions: return bytes(b.profileOptionReports);
        case link::block::kFlexKeys: return bytes(b.flexKeyReports);
        case link::block::kLightOptions: return bytes(b.lightOptionReports);
        case link::block::kMacros: return bytes(b.macroReports);
        case link::block::kHostSettings: return bytes(b.hostSettingsBlock);
        case link::block::kStatistics: return bytes(b.hostSettingsBlock.statistics);
        case link::block::kLightMacroBlocks: return bytes(b.lightMacroBlocks);
        case link::block::kIllumination: return bytes(b.illuminationTable);
        case link::block::kLightSettings: return bytes(b.lightReports);
        case link::block::kGlobal14: return bytes(b.globalReport14);
        case link::block::kGlobal16: return bytes(b.globalReport16);
        case link::block::kReserved: return bytes(b.reservedBlock);
        case link::block::kEffects: return bytes(b.effectReports);
        default: return {};
    }
}

template <typename T>
std::span<const std::uint8_t> VectorBytes(const std::vector<T>& v) {
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(v.data()),
                                         v.size() * sizeof(T));
}

template <typename T>
void StoreRecords(std::vector<T>& v, std::span<const std::uint8_t> payload) {
    const std::size_t n = payload.size() / sizeof(T);
    if (v.size() < n) v.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::memcpy(static_cast<void*>(&v[i]), payload.data() + i * sizeof(T), sizeof(T));
    }
}

}  // namespace

std::span<std::uint8_t> StoreBlock(ProfileStoreBlocks& blocks, std::uint16_t code) {
    return BlockOf<ProfileStoreBlocks, std::uint8_t>(blocks, code);
}

std::span<const std::uint8_t> StoreBlock(const ProfileStoreBlocks& blocks, std::uint16_t code) {
    return BlockOf<const ProfileStoreBlocks, const std::uint8_t>(blocks, code);
}

BlockParts PartsOf(std::uint16_t code) {
    auto perProfile = [](std::size_t size) { return BlockParts{size, kProfileCount, size}; };
    switch (code) {
        case link::block::kKeyRemap: return perProfile(report::kKeyRemapLength);
        case link::block::kFunctionKeys: return perProfile(report::kFunctionKeysLength);
        case link::block::kThumbKeys: return perProfile(report::kThumbKeysLength);
        case link::block::kProfileOptions: return perProfile(report::kProfileOptionsLength);
        case link::block::kFlexKeys: return perProfile(report::kFlexKeysLength);
        case link::block::kLightOptions: return perProfile(report::kOptionBitsLength);
        case link::block::kLightSettings: return perProfile(report::kLightSettingsLength);
        case link::block::kEffects: return {report::kEffectSequenceLength, kProfileCount, 2000};
        case link::block::kMacros:
            return {report::kMacroLength, std::size_t{kProfileCount} * kMacroSlotsPerProfile, 2000};
        case link::block::kLightMacroBlocks:
            return {sizeof(LightMacroBlock), std::size_t{kProfileCount} * kDataSlotsPerProfile,
                    LightMacroBlock::kUsedBytes};
        case link::block::kIllumination:
            return {report::kIlluminationLength,
                    std::size_t{kProfileCount} * kIlluminationModes * kIlluminationLayers,
                    report::kIlluminationLength};
        default: {
            const std::size_t size = link::BlockSize(code);
            if (size == 0) return {};
            return {size, 1, size};
        }
    }
}

std::vector<std::size_t> ChangedParts(std::uint16_t code, std::span<const std::uint8_t> stored,
                                      std::span<const std::uint8_t> received) {
    std::vector<std::size_t> changed;
    const BlockParts parts = PartsOf(code);
    const std::size_t total = parts.size * parts.count;
    if (parts.count == 0 || stored.size() != total || received.size() != total) return changed;
    for (std::size_t i = 0; i < parts.count; ++i) {
        const std::size_t at = i * parts.size;
        if (std::memcmp(stored.data() + at, received.data() + at, parts.compared) != 0) {
            changed.push_back(i);
        }
    }
    return changed;
}

std::span<const std::uint8_t> ListBytes(const ProfileStore& store, std::uint16_t code) {
    switch (code) {
        case link::list::kTimers: return VectorBytes(store.timers);
        case link::list::kMacros: return VectorBytes(store.macros);
        case link::list::kMacroSets: return VectorBytes(store.macroSets);
        case link::list::kLightMacroSets: return VectorBytes(store.lightMacroSets);
        case link::list::kLightMacros: return VectorBytes(store.lightMacros);
        default: return {};
    }
}

bool StoreListNotification(ProfileStore& store, std::uint16_t code,
                           std::span<const std::uint8_t> payload) {
    switch (code) {
        case link::list::kTimers: StoreRecords(store.timers, payload); return true;
        case link::list::kMacros: StoreRecords(store.macros, payload); return true;
        case link::list::kMacroSets: StoreRecords(store.macroSets, payload); return true;
        case link::list::kLightMacroSets: StoreRecords(store.lightMacroSets, payload); return true;
        case link::list::kLightMacros: StoreRecords(store.lightMacros, payload); return true;
        default: return false;
    }
}

std::vector<std::uint8_t> TalkRecordBytes(const ProfileStore& store) {
    std::vector<std::uint8_t> out;
    out.reserve(store.talkDevices.size() * sizeof(TalkDeviceRecord));
    for (const auto& [key, record] : store.talkDevices) {
        const auto bytes = BytesOf(record);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

}  // namespace vyre
