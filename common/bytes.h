#pragma once
// Little-endian access to fixed byte layouts.
//
// Every record that reaches the keyboard or the other program is a fixed
// sequence of bytes. Multi-byte values in those records are little-endian and
// often unaligned, so they are never read through a typed pointer: either with
// the Load/Store functions below, or through the LeU16 / LeI32 / LeU32 field
// types, which hold the bytes themselves and convert on access. The field
// types have alignment 1 and no padding, so structs built from them and from
// byte arrays have exactly the layout their members spell out.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace vyre {

constexpr std::uint16_t LoadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::uint32_t LoadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::int32_t LoadLeI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(LoadLe32(p));
}

constexpr void StoreLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

constexpr void StoreLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

constexpr void StoreLeI32(std::uint8_t* p, std::int32_t v) {
    StoreLe32(p, static_cast<std::uint32_t>(v));
}

// A little-endian integer field of N bytes inside a byte layout.
// Reads and writes convert; copying copies the bytes.
template <typename T>
struct LeField {
    static_assert(std::is_integral_v<T> && (sizeof(T) == 2 || sizeof(T) == 4));
    std::uint8_t bytes[sizeof(T)];

    LeField() = default;
    constexpr LeField(T v) : bytes{} { set(v); }  // NOLINT: implicit by design

    constexpr T get() const {
        if constexpr (sizeof(T) == 2) {
            return static_cast<T>(LoadLe16(bytes));
        } else {
            return static_cast<T>(LoadLe32(bytes));
        }
    }
    constexpr void set(T v) {
        if constexpr (sizeof(T) == 2) {
            StoreLe16(bytes, static_cast<std::uint16_t>(v));
        } else {
            StoreLe32(bytes, static_cast<std::uint32_t>(v));
        }
    }
    constexpr operator T() const { return get(); }  // NOLINT: implicit by design
    constexpr LeField& operator=(T v) {
        set(v);
        return *this;
    }
};

using LeU16 = LeField<std::uint16_t>;
using LeI16 = LeField<std::int16_t>;
using LeU32 = LeField<std::uint32_t>;
using LeI32 = LeField<std::int32_t>;

static_assert(sizeof(LeU16) == 2 && alignof(LeU16) == 1);
static_assert(sizeof(LeI32) == 4 && alignof(LeI32) == 1);
static_assert(std::is_trivially_copyable_v<LeI32> && std::is_standard_layout_v<LeI32>);

// The bytes of a fixed-layout record (any trivially copyable object).
template <typename T>
std::span<std::uint8_t, sizeof(T)> BytesOf(T& record) {
    static_assert(std::is_trivially_copyable_v<T>);
    return std::span<std::uint8_t, sizeof(T)>(reinterpret_cast<std::uint8_t*>(&record), sizeof(T));
}

template <typename T>
std::span<const std::uint8_t, sizeof(T)> BytesOf(const T& record) {
    static_assert(std::is_trivially_copyable_v<T>);
    return std::span<const std::uint8_t, sizeof(T)>(reinterpret_cast<const std::uint8_t*>(&record),
                                                    sizeof(T));
}

// Builds a record from exactly sizeof(T) bytes.
template <typename T>
T RecordFromBytes(std::span<const std::uint8_t, sizeof(T)> bytes) {
    static_assert(std::is_trivially_copyable_v<T>);
    T record;
    std::memcpy(&record, bytes.data(), sizeof(T));
    return record;
}

}  // namespace vyre
