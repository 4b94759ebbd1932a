#include "platform/hid/device_ids.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vyre::hid {

std::optional<std::uint16_t> ParseUsbId(std::string_view text) {
    if (text.empty() || text.size() > 16) return std::nullopt;
    std::string s(text);
    int base = 10;
    std::size_t start = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        start = 2;
    }
    unsigned long value = 0;
    for (std::size_t i = start; i < s.size(); ++i) {
        const char c = s[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        if (digit >= base) return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFF) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

namespace {

void Override(const char* name, std::uint16_t& field) {
    const char* text = std::getenv(name);
    if (!text || !*text) return;
    if (auto v = ParseUsbId(text)) {
        field = *v;
    } else {
        std::fprintf(stderr, "%s=\"%s\" is not a USB id (1..0xFFFF); using 0x%04x\n", name, text,
                     field);
    }
}

}  // namespace

KeyboardIds ConfiguredKeyboardIds() {
    KeyboardIds ids;
    Override("VYRE_LUMO_VID", ids.vendorId);
    Override("VYRE_LUMO_PID_A", ids.productIdA);
    Override("VYRE_LUMO_PID_B", ids.productIdB);
    return ids;
}

}  // namespace vyre::hid
