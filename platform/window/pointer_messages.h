#pragma once
// The messages whose wParam or lParam is a pointer into the program that
// sends them, all in one list. A pointer is meaningful only inside its own
// process: the window layer hands such a message to its window only when it
// was posted or sent from the same process, and refuses (and logs) every copy
// that arrives from another program, whatever its parameters.
//
// Besides the system's own messages, the list names the window class each
// entry applies to, because the same number and code carry a plain value on
// other windows (request 35 to the Monitor's control window carries a window
// handle, link request 35 to the Config's link window a timer record).

#include <span>
#include <string_view>

#include "platform/window.h"

namespace vyre::win {

// Matches every wParam.
inline constexpr WPARAM kAnyCode = ~WPARAM{0};

struct PointerMessage {
    std::string_view windowClass;  // empty: every window
    UINT message;
    WPARAM code;                   // the code in wParam, or kAnyCode
    std::string_view carries;      // what the pointer points at (for the log)
};

std::span<const PointerMessage> PointerMessages();

// The entry that makes this message to a window of this class a pointer
// message; nullptr when it carries no pointer.
const PointerMessage* FindPointerMessage(std::string_view windowClass, UINT message, WPARAM wParam);

}  // namespace vyre::win
