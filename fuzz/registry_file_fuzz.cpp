// The registry file parser on arbitrary bytes: it must not fail, and what it
// read must survive a rewrite unchanged.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vyre::platform;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    RegFileContents first = ParseRegFile(input, kVyreLumoKeyPath);
    RegFileContents second = ParseRegFile(
        FormatRegFile(kVyreLumoKeyPath, first.keyFound, first.values), kVyreLumoKeyPath);
    if (second.keyFound != first.keyFound || second.values.size() != first.values.size())
        std::abort();
    // What this program writes is never taken for damage.
    if (second.damaged) std::abort();
    for (std::size_t k = 0; k < first.values.size(); ++k) {
        if (second.values[k].type != first.values[k].type ||
            second.values[k].data != first.values[k].data) {
            std::abort();
        }
    }
    return 0;
}
