#pragma once
// What the Config tells the user when something did not happen, in words a
// player understands: what the keyboard did not take, why the Config ends.

#include <cstdint>
#include <map>
#include <string>

#include "common/settings_words.h"

namespace vyre {

// The message for the commands (with their profiles) the keyboard did not take.
std::string NotWrittenText(const std::map<std::uint16_t, unsigned>& commands);

// The question on a way out with edits not applied: its answers are APPLY,
// DISCARD and STAY.
inline constexpr const char* kUnappliedCaption = "Changes not applied";
inline constexpr const char* kUnappliedQuestion =
    "Some changes are not applied yet. Apply them to the keyboard before the Config closes, or "
    "discard them?";

// The message when no Monitor took an upload.
std::string NoMonitorText();

// Caption and text of the message before the Config ends for `reason`
// (EndReason); `node` is the device node this user may not open. An empty
// text for the ends that say nothing.
struct EndMessage {
    std::string caption, text;
};
EndMessage EndMessageOf(int reason, const std::string& node, bool editsKept);

}  // namespace vyre
