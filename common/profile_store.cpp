#include "common/profile_store.h"

#include <cstring>
#include <string>

namespace vyre {
namespace {

template <typename T>
void Zero(T& field) {
    std::memset(static_cast<void*>(&field), 0, sizeof field);
}

// The device images that a keyboard open or removal starts from scratch.
void ClearDeviceImages(ProfileStoreBlocks& b) {
    Zero(b.activeProfileReport);
    Zero(b.keyRemapReports);
    Zero(b.functionKeyReports);
    Zero(b.thumbKeyReports);
    Zero(b.profileOptionReports);
    Zero(b.flexKeyReports);
    Zero(b.lightOptionReports);
    Zero(b.lightReports);
    Zero(b.liveLightReport);
    Zero(b.globalReport14);
    Zero(b.globalReport16);
    Zero(b.macroReports);
    Zero(b.lightMacroBlocks);
}

}  // namespace

std::unique_ptr<ProfileStore> NewProfileStore() {
    auto store = std::make_unique<ProfileStore>();
    // make_unique value-initialises, which zeroes the blocks already; say so
    // explicitly since every reader relies on a zero start.
    std::memset(static_cast<void*>(&store->blocks()), 0, sizeof(ProfileStoreBlocks));
    return store;
}

void ClearStore(ProfileStore& store) {
    ProfileStoreBlocks& b = store.blocks();
    ClearDeviceImages(b);
    HostSettingsBlock& host = b.hostSettingsBlock;
    const std::size_t statsAt = offsetof(HostSettingsBlock, statistics);
    const std::size_t statsEnd = statsAt + sizeof(StatisticsRecord);
    auto* bytes = reinterpret_cast<std::uint8_t*>(&host);
    std::memset(bytes, 0, statsAt);
    std::memset(bytes + statsEnd, 0, sizeof(HostSettingsBlock) - statsEnd);
}

void DefaultLightGroupFlags(int layer, std::uint8_t (&flags)[kLightGroupFlagCount]) {
    std::memset(flags, 0, sizeof flags);
    if (layer >= 0 && layer <= 8) {
        for (int i : {2, 3, 4, 7, 8}) flags[i] = 1;
    } else if (layer == 9) {
        flags[2] = 1;
        flags[7] = 1;
    } else if (layer == 10) {
        flags[4] = 1;
    }
}

void ResetStoreToDefaults(ProfileStore& store,
                          std::span<const std::uint8_t, report::kRemapKeyCount> keyUsages) {
    ProfileStoreBlocks& b = store.blocks();
    ClearDeviceImages(b);

    HostSettingsBlock& host = b.hostSettingsBlock;
    Zero(host.programLinks);
    Zero(host.keyLaunchPaths);
    Zero(host.keyTimers);
    host.windowsProfile = HostSettingsBlock::kNoWindowsProfile;
    host.startPage = 0;

    for (int p = 0; p < kProfileCount; ++p) {
        ProfileHostRecord& rec = host.profileHostRecords[p];
        const std::string name = "Default" + std::to_string(p + 1);
        rec.name.set(std::u16string(name.begin(), name.end()));
        rec.repeatDelay = 2;
        rec.repeatRate = 31;
        rec.soundSettings.volumeDisplay = 0;
        rec.soundSettings.sounds = 0;
        rec.soundSettings.volumeStep = 2;
        rec.player = 0;

        report::FillDefaultKeyRemap(b.keyRemapReports[p], keyUsages);
        report::FillDefaultLightSettings(b.lightReports[p]);
        report::FillDefaultOptionBits(b.lightOptionReports[p]);
        report::FillDefaultProfileOptions(b.profileOptionReports[p]);
        report::FillDefaultThumbKeys(b.thumbKeyReports[p]);
        report::FillDefaultFunctionKeys(b.functionKeyReports[p]);

        for (int mode = 0; mode < kIlluminationModes; ++mode) {
            for (int layer = 0; layer < kIlluminationLayers; ++layer) {
                DefaultLightGroupFlags(layer, host.lightGroupFlags[p][mode][layer]);
            }
        }
    }
}

}  // namespace vyre
