#include "platform/hid/report_descriptor.h"

namespace vyre::hid {

std::vector<TopLevelCollection> TopLevelCollections(std::span<const std::uint8_t> descriptor) {
    std::vector<TopLevelCollection> found;
    std::vector<std::uint16_t> pushedPages;  // Push and Pop of the global items
    std::uint16_t page = 0;
    // The first Usage since the last main item (a plain pair: GCC takes an
    // optional here for maybe-uninitialized at -O2).
    bool haveUsage = false;
    std::uint32_t usage = 0;
    int depth = 0;
    for (std::size_t at = 0; at < descriptor.size();) {
        const std::uint8_t prefix = descriptor[at];
        if (prefix == 0xFE) {  // long item: size, tag, data
            if (at + 2 >= descriptor.size()) break;
            at += 3 + descriptor[at + 1];
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (at + 1 + size > descriptor.size()) break;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{descriptor[at + 1 + i]} << (8 * i);
        at += 1 + size;
        switch (prefix & 0xFC) {
            case 0x04:  // Usage Page (global)
                page = static_cast<std::uint16_t>(value);
                break;
            case 0xA4:  // Push
                pushedPages.push_back(page);
                break;
            case 0xB4:  // Pop
                if (!pushedPages.empty()) {
                    page = pushedPages.back();
                    pushedPages.pop_back();
                }
                break;
            case 0x08:  // Usage (local)
                if (!haveUsage) usage = size == 4 ? value : (std::uint32_t{page} << 16) | value;
                haveUsage = true;
                break;
            case 0xA0:  // Collection
                if (depth++ == 0) {
                    TopLevelCollection c;
                    c.usagePage = haveUsage ? static_cast<std::uint16_t>(usage >> 16) : page;
                    c.usage = haveUsage ? static_cast<std::uint16_t>(usage & 0xFFFF) : 0;
                    found.push_back(c);
                }
                haveUsage = false;
                break;
            case 0xC0:  // End Collection
                if (depth > 0) --depth;
                haveUsage = false;
                break;
            case 0x80:  // Input, Output, Feature: main items end the local state
            case 0x90:
            case 0xB0:
                haveUsage = false;
                break;
            default:
                break;
        }
    }
    return found;
}

}  // namespace vyre::hid
