#include "monitor/link/settings_text.h"

#include <cstring>

#include "common/bytes.h"

namespace vyre {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::uint8_t Sum8(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    return static_cast<std::uint8_t>(sum);
}

// Offsets of the 2060-byte macro layout of the library files.
constexpr std::size_t kNameAt = 0;
constexpr std::size_t kFlagAt = 48;
constexpr std::size_t kLoopAt = 52;
constexpr std::size_t kCountAt = 56;
constexpr std::size_t kEventsAt = 60;
static_assert(kEventsAt + HIDMSG::kMaxMacroEvents * sizeof(MacroEvent) == 1980);

}  // namespace

std::string HexText(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

bool ParseHexText(std::string_view text, std::span<std::uint8_t> out) {
    if (text.size() < out.size() * 2) return false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int hi = DigitValue(text[2 * i]);
        const int lo = DigitValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return true;
}

std::string SummedText(std::span<const std::uint8_t, kMacroTextBytes> bytes) {
    std::string out = HexText(bytes);
    const std::uint8_t sum = Sum8(bytes);
    out.push_back(kDigits[sum >> 4]);
    out.push_back(kDigits[sum & 0x0F]);
    return out;
}

std::optional<std::array<std::uint8_t, kMacroTextBytes>> ParseSummedText(std::string_view text) {
    std::array<std::uint8_t, kMacroTextBytes> bytes{};
    std::uint8_t sum = 0;
    if (text.size() < kMacroTextDigits || !ParseHexText(text, bytes) ||
        !ParseHexText(text.substr(2 * kMacroTextBytes, 2), std::span<std::uint8_t>(&sum, 1)) ||
        Sum8(bytes) != sum) {
        return std::nullopt;
    }
    return bytes;
}

std::string TimerText(std::int32_t seconds, const FixedText<24>& name) {
    std::uint8_t bytes[28];
    StoreLeI32(bytes, seconds);
    std::memcpy(bytes + 4, name.bytes, 24);
    return HexText(bytes);
}

bool ParseTimerText(std::string_view text, std::int32_t* seconds, FixedText<24>* name) {
    std::uint8_t bytes[28];
    if (!ParseHexText(text, bytes)) return false;
    *seconds = LoadLeI32(bytes);
    std::memcpy(name->bytes, bytes + 4, 24);
    return true;
}

std::string MacroText(const HIDMSG::_SMacroDefaultData& macro, bool light) {
    std::array<std::uint8_t, kMacroTextBytes> bytes{};
    std::memcpy(bytes.data() + kNameAt, macro.name.bytes, 24);
    // Flag and loop count are written as signed bytes widened to 32 bits.
    const std::int32_t flag = light ? static_cast<std::int8_t>(macro.sendDefaultAction()) : 0;
    StoreLeI32(bytes.data() + kFlagAt, flag);
    StoreLeI32(bytes.data() + kLoopAt, static_cast<std::int8_t>(macro.loopCount));
    const std::size_t events = macro.usedEvents();
    StoreLe16(bytes.data() + kCountAt, static_cast<std::uint16_t>(events));
    std::memcpy(bytes.data() + kEventsAt, macro.events, events * sizeof(MacroEvent));
    return SummedText(bytes);
}

bool ParseMacroText(std::string_view text, bool light, HIDMSG::_SMacroDefaultData* macro) {
    const auto bytes = ParseSummedText(text);
    if (!bytes) return false;
    std::memcpy(macro->name.bytes, bytes->data() + kNameAt, 24);
    macro->loopCount = (*bytes)[kLoopAt];
    if (light) macro->set_sendDefaultAction((*bytes)[kFlagAt]);
    std::uint16_t count = LoadLe16(bytes->data() + kCountAt);
    if (count > HIDMSG::kMaxMacroEvents) count = HIDMSG::kMaxMacroEvents;
    macro->eventCount = count;
    std::memset(static_cast<void*>(macro->events), 0, sizeof macro->events);
    std::memcpy(static_cast<void*>(macro->events), bytes->data() + kEventsAt,
                count * sizeof(MacroEvent));
    return true;
}

std::string LightMacroText(const LightMacroBlock& block) {
    std::array<std::uint8_t, kMacroTextBytes> bytes{};
    std::memcpy(bytes.data(), &block, sizeof block);
    return SummedText(bytes);
}

bool ParseLightMacroText(std::string_view text, LightMacroBlock* block) {
    const auto bytes = ParseSummedText(text);
    if (!bytes) return false;
    std::memcpy(static_cast<void*>(block), bytes->data(), sizeof *block);
    return true;
}

}  // namespace vyre
