#pragma once
// Reading the fuzzer's bytes: little-endian numbers, and records of one byte
// kind, two bytes length and that many bytes.

#include <cstddef>
#include <cstdint>
#include <span>

namespace vyre::fuzz {

inline std::uint64_t Le(const std::uint8_t* p, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return v;
}

// Calls each(kind, body) for every record; a last record cut short gets what is left.
template <class F>
void ForEachRecord(const std::uint8_t* data, std::size_t size, F each) {
  std::size_t pos = 0;
  while (pos + 3 <= size) {
    const std::uint8_t kind = data[pos];
    std::size_t n = static_cast<std::size_t>(Le(data + pos + 1, 2));
    pos += 3;
    if (n > size - pos) n = size - pos;
    each(kind, std::span<const std::uint8_t>(data + pos, n));
    pos += n;
  }
}

}  // namespace vyre::fuzz
