#include "config/frame/recovery.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "common/link_codes.h"
#include "common/store_blocks.h"
#include "config/frame/mirror_merge.h"
#include "platform/paths.h"

namespace vyre {

std::filesystem::path RecoveryFile() {
    return paths::Resolve("./Config/Recovery.dat");
}

std::string RecoveryBytes(const ProfileStoreBlocks& mirror, const ProfileStoreBlocks& monitorCopy) {
    std::string out(kRecoveryMark, sizeof kRecoveryMark);
    for (const EditedEntry& e : EditedEntries(mirror, monitorCopy)) {
        std::uint8_t header[kRecoveryEntryHeader];
        StoreLe16(header, e.code);
        StoreLe32(header + 2, static_cast<std::uint32_t>(e.offset));
        StoreLe32(header + 6, static_cast<std::uint32_t>(e.length));
        out.append(reinterpret_cast<const char*>(header), sizeof header);
        out.append(reinterpret_cast<const char*>(StoreBlock(mirror, e.code).data() + e.offset),
                   e.length);
    }
    return out;
}

std::size_t TakeRecoveryBytes(const std::string& bytes, ProfileStoreBlocks& mirror, bool* damaged) {
    *damaged = false;
    if (bytes.size() < sizeof kRecoveryMark ||
        std::memcmp(bytes.data(), kRecoveryMark, sizeof kRecoveryMark) != 0) {
        *damaged = true;
        return 0;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t at = sizeof kRecoveryMark, taken = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kRecoveryEntryHeader) break;
        const std::uint16_t code = LoadLe16(data + at);
        const std::uint32_t offset = LoadLe32(data + at + 2);
        const std::uint32_t length = LoadLe32(data + at + 6);
        at += kRecoveryEntryHeader;
        // Only blocks the user edits, inside the block, and all there.
        const bool uploaded = std::find(std::begin(link::kFullUploadOrder),
                                        std::end(link::kFullUploadOrder),
                                        code) != std::end(link::kFullUploadOrder);
        const auto block = StoreBlock(mirror, code);
        if (!uploaded || length == 0 || offset > block.size() || length > block.size() - offset ||
            length > bytes.size() - at)
            break;
        for (std::size_t i = 0; i < length; ++i) {
            if (!MonitorOwns(code, offset + i)) block[offset + i] = data[at + i];
        }
        at += length;
        ++taken;
    }
    *damaged = at < bytes.size();
    return taken;
}

}  // namespace vyre
