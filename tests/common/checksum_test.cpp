#include "common/checksum.h"

#include <gtest/gtest.h>

#include <vector>

namespace vyre {
namespace {

TEST(Checksum16, SumsBytesModulo65536) {
    EXPECT_EQ(Checksum16(nullptr, 0), 0);
    const std::uint8_t small[] = {0x07, 0x20, 0x01, 0xB0};
    EXPECT_EQ(Checksum16(small, 4), 0x07 + 0x20 + 0x01 + 0xB0);
    // 300 bytes of 0xFF: 76500 wraps to 76500 - 65536.
    std::vector<std::uint8_t> big(300, 0xFF);
    EXPECT_EQ(Checksum16(big.data(), big.size()), 76500 - 65536);
}

}  // namespace
}  // namespace vyre
