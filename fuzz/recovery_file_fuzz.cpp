// Recovery files of any content: only whole entries inside the blocks the
// user edits are taken; what they hold is written back the same.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "config/frame/recovery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyre;
    static auto base = std::make_unique<ProfileStoreBlocks>();
    static auto mirror = std::make_unique<ProfileStoreBlocks>();
    static auto again = std::make_unique<ProfileStoreBlocks>();
    std::memset(static_cast<void*>(mirror.get()), 0, sizeof *mirror);
    bool damaged = false;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TakeRecoveryBytes(bytes, *mirror, &damaged);
    // The edits taken, kept again and taken back, give the same blocks.
    std::memset(static_cast<void*>(again.get()), 0, sizeof *again);
    TakeRecoveryBytes(RecoveryBytes(*mirror, *base), *again, &damaged);
    if (damaged || std::memcmp(mirror.get(), again.get(), sizeof *again) != 0) std::abort();
    return 0;
}
