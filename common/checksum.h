#pragma once
// The 16-bit additive checksum that closes the keyboard's longer reports.

#include <cstddef>
#include <cstdint>

namespace vyre {

// Sum, modulo 65536, of the unsigned values of bytes[0 .. n-1].
// Callers pass n = report length - 2 and store the result little-endian in the
// last two bytes of the report.
std::uint16_t Checksum16(const std::uint8_t* bytes, std::size_t n);

}  // namespace vyre
