#pragma once
// The texts the Monitor keeps its timers, macros and light macros in, inside
// its private-profile files:
//
//   timer text        56 uppercase hex digits: seconds (32-bit little-endian)
//                     and the 24-byte name;
//   macro text        4122 uppercase hex digits: a 2060-byte macro layout and
//                     the 8-bit sum of those bytes as the last two digits;
//   light macro text  the same length: the 1998-byte light macro block and 62
//                     zero bytes, then the sum.
//
// Readers take nothing from a text that is too short, holds a character that
// is not a hex digit, or whose sum does not match.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/hidmsg.h"
#include "common/macro_image.h"

namespace vyre {

inline constexpr std::size_t kTimerTextDigits = 56;
inline constexpr std::size_t kMacroTextBytes = 2060;
inline constexpr std::size_t kMacroTextDigits = 2 * kMacroTextBytes + 2;  // 4122

// Uppercase hex pairs of the bytes ("%02X" each).
std::string HexText(std::span<const std::uint8_t> bytes);
// Decodes exactly out.size() bytes from the first 2 x out.size() digits.
bool ParseHexText(std::string_view text, std::span<std::uint8_t> out);

// 2060 bytes plus their 8-bit sum, and back (nullopt: bad text or sum).
std::string SummedText(std::span<const std::uint8_t, kMacroTextBytes> bytes);
std::optional<std::array<std::uint8_t, kMacroTextBytes>> ParseSummedText(std::string_view text);

std::string TimerText(std::int32_t seconds, const FixedText<24>& name);
bool ParseTimerText(std::string_view text, std::int32_t* seconds, FixedText<24>* name);

// Macro text of a library macro. `light`: the send-default-action flag is
// written (light macro library); key macros carry 0 there.
std::string MacroText(const HIDMSG::_SMacroDefaultData& macro, bool light);
// Fills name, loop count, flag (light only), event count and events of
// `macro` from a macro text; false (nothing changed) on a bad text.
bool ParseMacroText(std::string_view text, bool light, HIDMSG::_SMacroDefaultData* macro);

std::string LightMacroText(const LightMacroBlock& block);
bool ParseLightMacroText(std::string_view text, LightMacroBlock* block);

}  // namespace vyre
