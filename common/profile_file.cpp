#include "common/profile_file.h"

#include <cstring>

namespace vyre {
namespace {

struct Slice {
    std::uint8_t* data;
    std::size_t size;
};

template <typename T>
Slice Of(T& field) {
    return {reinterpret_cast<std::uint8_t*>(&field), sizeof field};
}

// The slices in file order.
std::vector<Slice> Slices(ProfileStoreBlocks& s, int p) {
    HostSettingsBlock& h = s.hostSettingsBlock;
    return {
        Of(s.keyRemapReports[p]),
        Of(s.functionKeyReports[p]),
        Of(s.thumbKeyReports[p]),
        Of(s.profileOptionReports[p]),
        Of(s.flexKeyReports[p]),
        Of(s.lightOptionReports[p]),
        Of(s.lightReports[p]),
        Of(s.globalReport14),
        Of(s.macroReports[p]),
        Of(h.profileHostRecords[p]),
        Of(h.talkCommands[p]),
        Of(h.programLinks[p]),
        Of(h.keyTimers[p]),
        Of(h.keyLaunchPaths[p]),
        Of(s.illuminationTable[p][0][0]),
        Of(s.illuminationTable[p][1][0]),
        {reinterpret_cast<std::uint8_t*>(&s.lightMacroBlocks[p][0]),
         kMacroSlotsPerProfile * sizeof(LightMacroBlock)},
        Of(h.lightGroupFlags[p][0]),
        Of(h.lightGroupFlags[p][1]),
    };
}

// The slices' sizes in file order, as Slices() gives them.
constexpr std::size_t kSliceSizes[kProfileFileChunks] = {
    125, 95, 23, 8, 294, 6, 16, 20, 224224, 116, 765, 1536, 5217, 86292, 253, 253, 223776, 99, 99};

constexpr std::size_t FileSizeOfSlices() {
    std::size_t total = 0;
    for (std::size_t size : kSliceSizes) total += size + 1;
    return total;
}
static_assert(FileSizeOfSlices() == kProfileFileSize);

}  // namespace

std::vector<std::uint8_t> WriteProfileFile(const ProfileStoreBlocks& store, int profile) {
    std::vector<std::uint8_t> out;
    if (!IsProfile(profile)) return out;
    out.reserve(kProfileFileSize);
    // The slices are only read here.
    for (const Slice& slice : Slices(const_cast<ProfileStoreBlocks&>(store), profile)) {
        out.insert(out.end(), slice.data, slice.data + slice.size);
        out.push_back(0);
    }
    return out;
}

int ReadProfileFile(std::span<const std::uint8_t> file, ProfileStoreBlocks& store, int profile) {
    if (!IsProfile(profile)) return 0;
    std::size_t at = 0;
    int taken = 0;
    for (const Slice& slice : Slices(store, profile)) {
        if (file.size() - at < slice.size) break;
        std::memcpy(slice.data, file.data() + at, slice.size);
        at += slice.size + 1;
        ++taken;
        if (at > file.size()) break;
    }
    return taken;
}

std::string ProfileFileProblem(std::span<const std::uint8_t> file) {
    if (file.size() != kProfileFileSize) {
        return "it holds " + std::to_string(file.size()) + " bytes, a profile file " +
               std::to_string(kProfileFileSize);
    }
    std::size_t at = 0;
    for (std::size_t size : kSliceSizes) {
        at += size;
        if (file[at] != 0) return "its parts are not laid out as in a profile file";
        ++at;
    }
    return {};
}

bool LoadProfileFile(std::span<const std::uint8_t> file, ProfileStoreBlocks& store, int profile,
                     std::string* why) {
    std::string problem = IsProfile(profile) ? ProfileFileProblem(file) : "there is no such profile";
    if (problem.empty()) return ReadProfileFile(file, store, profile) == kProfileFileChunks;
    if (why != nullptr) *why = std::move(problem);
    return false;
}

}  // namespace vyre
