#pragma once
// Text fields of fixed size inside byte layouts.
//
// FixedText<N>: N bytes of multibyte text, zero padded.
// FixedText16<N>: N UTF-16 code units, each stored little-endian, zero padded.
//
// Reading stops at the first zero or at the end of the field, whichever comes
// first, so a field that is full to its last byte never reads past itself.
// Writing zero-fills the whole field; set() keeps room for a terminating zero,
// set_full() may use every unit (for the few fields that need no terminator).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vyre {

template <std::size_t N>
struct FixedText {
    static_assert(N > 0);
    char bytes[N];

    static constexpr std::size_t kCapacity = N;

    std::string str() const {
        std::size_t n = 0;
        while (n < N && bytes[n] != '\0') ++n;
        return std::string(bytes, n);
    }
    bool empty() const { return bytes[0] == '\0'; }

    // Stores at most N - 1 bytes of text, always zero-terminated.
    void set(std::string_view text) { Store(text, N - 1); }
    // Stores at most N bytes; the terminator is dropped when the text fills the field.
    void set_full(std::string_view text) { Store(text, N); }
    void clear() { std::fill(bytes, bytes + N, '\0'); }

    bool operator==(std::string_view text) const { return str() == text; }

private:
    void Store(std::string_view text, std::size_t limit) {
        clear();
        const std::size_t n = std::min(text.size(), limit);
        std::copy_n(text.data(), n, bytes);
    }
};

template <std::size_t N>
struct FixedText16 {
    static_assert(N > 0);
    std::uint8_t bytes[2 * N];

    static constexpr std::size_t kCapacity = N;  // code units

    char16_t unit(std::size_t i) const {
        return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }

    std::u16string str() const {
        std::u16string out;
        for (std::size_t i = 0; i < N; ++i) {
            const char16_t c = unit(i);
            if (c == 0) break;
            out.push_back(c);
        }
        return out;
    }
    bool empty() const { return unit(0) == 0; }

    // Stores at most N - 1 code units, always zero-terminated.
    void set(std::u16string_view text) { Store(text, N - 1); }
    // Stores at most N code units.
    void set_full(std::u16string_view text) { Store(text, N); }
    void clear() { std::fill(bytes, bytes + 2 * N, std::uint8_t{0}); }

    bool operator==(std::u16string_view text) const { return str() == text; }

private:
    void Store(std::u16string_view text, std::size_t limit) {
        clear();
        const std::size_t n = std::min(text.size(), limit);
        for (std::size_t i = 0; i < n; ++i) {
            bytes[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
            bytes[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
        }
    }
};

static_assert(sizeof(FixedText<24>) == 24 && alignof(FixedText<24>) == 1);
static_assert(sizeof(FixedText16<25>) == 50 && alignof(FixedText16<25>) == 1);

}  // namespace vyre
