#include "config/frame/mirror_merge.h"

#include <cstddef>
#include <cstring>

#include "common/link_codes.h"
#include "common/store_blocks.h"

namespace vyre {
namespace {

// The function entries of a report image: [first, end) of each part, in
// steps of one entry.
std::size_t EntryUnit(std::size_t offset, std::size_t partSize, std::size_t first,
                      std::size_t count, std::size_t entrySize) {
    const std::size_t at = offset % partSize;
    if (at >= first && at < first + count * entrySize && (at - first) % entrySize == 0)
        return entrySize;
    return 1;
}

// The length of the entry that starts at `offset` of block `code`: what is
// taken whole, from one side or the other, so that no entry is made of both.
std::size_t UnitAt(std::uint16_t code, std::size_t offset) {
    switch (code) {
        case link::block::kFunctionKeys:
            return EntryUnit(offset, report::kFunctionKeysLength, report::kFunctionKeyEntries,
                             report::kFunctionKeyEntryCount, report::kFunctionEntrySize);
        case link::block::kThumbKeys:
            return EntryUnit(offset, report::kThumbKeysLength, report::kThumbKeyEntries,
                             report::kThumbKeyEntryCount, report::kFunctionEntrySize);
        case link::block::kFlexKeys:
            return EntryUnit(offset, report::kFlexKeysLength, report::kFlexKeyEntries,
                             report::kFlexKeyEntryCount, report::kFunctionEntrySize);
        case link::block::kIllumination:
            return EntryUnit(offset, report::kIlluminationLength, report::kIlluminationKeyLights,
                             report::kRemapKeyCount, 2);
        case link::block::kMacros:
        case link::block::kEffects:
            return report::kMacroLength;
        case link::block::kLightMacroBlocks:
            return sizeof(LightMacroBlock);
        case link::block::kHostSettings: {
            using H = HostSettingsBlock;
            auto in = [offset](std::size_t begin, std::size_t size) {
                return offset >= begin && offset < begin + size;
            };
            if (in(offsetof(H, profileHostRecords), sizeof(H::profileHostRecords)))
                return offset % sizeof(ProfileHostRecord) == 0 ? sizeof(ProfileHostRecord::name) : 1;
            if (in(offsetof(H, talkCommands), sizeof(H::talkCommands))) return sizeof(TalkCommandEntry);
            if (in(offsetof(H, programLinks), sizeof(H::programLinks))) return sizeof(FixedText16<256>);
            if (in(offsetof(H, keyTimers), sizeof(H::keyTimers)))
                return sizeof(HIDMSG::_STimerSettingData);
            if (in(offsetof(H, keyLaunchPaths), sizeof(H::keyLaunchPaths))) return sizeof(KeyLaunchPath);
            if (in(offsetof(H, statistics), sizeof(H::statistics))) return sizeof(StatisticsRecord);
            if (offset == offsetof(H, windowsProfile) || offset == offsetof(H, startPage)) return 4;
            return 1;
        }
        default:
            return 1;
    }
}

}  // namespace

bool MonitorOwns(std::uint16_t code, std::size_t offset) {
    if (code == link::block::kDeviceInfo || code == link::block::kStatistics) return true;
    if (code != link::block::kHostSettings) return false;
    using H = HostSettingsBlock;
    return (offset >= offsetof(H, statistics) &&
            offset < offsetof(H, statistics) + sizeof(H::statistics)) ||
           offset == offsetof(H, modelFlag) || offset == offsetof(H, layoutCode) ||
           offset == offsetof(H, modelBFlag);
}

namespace {

// Walks the entries of a block: f(offset, length).
template <typename F>
void ForEachUnit(std::uint16_t code, std::size_t size, F f) {
    for (std::size_t at = 0; at < size;) {
        std::size_t n = UnitAt(code, at);
        if (n > size - at) n = size - at;
        f(at, n);
        at += n;
    }
}

}  // namespace

void MergeReceivedBlock(std::uint16_t code, std::span<std::uint8_t> mirror,
                        std::span<std::uint8_t> monitorCopy, std::span<const std::uint8_t> received) {
    const std::size_t size = received.size();
    if (mirror.size() != size || monitorCopy.size() != size) return;
    ForEachUnit(code, size, [&](std::size_t at, std::size_t n) {
        const bool edited = !MonitorOwns(code, at) &&
                            std::memcmp(mirror.data() + at, monitorCopy.data() + at, n) != 0;
        const bool monitorChanged =
            std::memcmp(received.data() + at, monitorCopy.data() + at, n) != 0;
        if (!edited || monitorChanged) std::memcpy(mirror.data() + at, received.data() + at, n);
    });
    std::memcpy(monitorCopy.data(), received.data(), size);
}

std::vector<EditedEntry> EditedEntries(const ProfileStoreBlocks& mirror,
                                       const ProfileStoreBlocks& monitorCopy) {
    std::vector<EditedEntry> edited;
    for (std::uint16_t code : link::kFullUploadOrder) {
        const auto mine = StoreBlock(mirror, code);
        const auto theirs = StoreBlock(monitorCopy, code);
        ForEachUnit(code, mine.size(), [&](std::size_t at, std::size_t n) {
            if (!MonitorOwns(code, at) && std::memcmp(mine.data() + at, theirs.data() + at, n) != 0)
                edited.push_back({code, at, n});
        });
    }
    return edited;
}

std::vector<std::uint16_t> EditedBlocks(const ProfileStoreBlocks& mirror,
                                        const ProfileStoreBlocks& monitorCopy) {
    std::vector<std::uint16_t> codes;
    for (const EditedEntry& e : EditedEntries(mirror, monitorCopy)) {
        if (codes.empty() || codes.back() != e.code) codes.push_back(e.code);
    }
    return codes;
}

}  // namespace vyre
