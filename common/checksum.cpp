#include "common/checksum.h"

namespace vyre {

std::uint16_t Checksum16(const std::uint8_t* bytes, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += bytes[i];
    return static_cast<std::uint16_t>(sum & 0xFFFFu);
}

}  // namespace vyre
