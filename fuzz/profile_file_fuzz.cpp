// Profile files of any content: read into a profile, never past the file or
// the store; a profile written and read back is the same.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "common/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyre;
    static auto store = NewProfileStore();
    static auto copy = NewProfileStore();
    const int profile = size > 0 ? data[0] % kProfileCount : 0;
    ReadProfileFile(std::span<const std::uint8_t>(data, size), *store, profile);
    const auto written = WriteProfileFile(*store, profile);
    if (written.size() != kProfileFileSize) std::abort();
    if (ReadProfileFile(written, *copy, profile) != kProfileFileChunks) std::abort();
    if (WriteProfileFile(*copy, profile) != written) std::abort();
    return 0;
}
