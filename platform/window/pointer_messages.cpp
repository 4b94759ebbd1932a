#include "platform/window/pointer_messages.h"

#include <iterator>

#include "common/link_codes.h"
#include "platform/window/link.h"

namespace vyre::win {

namespace {

namespace lc = vyre::link;

constexpr PointerMessage kList[] = {
    // Made by the window layer itself: a timer (whose lParam is a timer
    // procedure in the system this layer stands in for), the end of a window
    // and the end of a loop never come from another program.
    {"", WM_TIMER, kAnyCode, "timer procedure"},
    {"", WM_DESTROY, kAnyCode, "the window's own end"},
    {"", WM_QUIT, kAnyCode, "the thread's own end"},
    // The Monitor.
    {lc::kControlWindowClass, lc::kMsgPlaySound, 0, "sound settings of the profile store"},
    {lc::kSoundWindowName, lc::kMsgPlaySound, 0, "sound settings of the profile store"},
    {lc::kKeyboardWindowName, lc::kMsgCommandBlock, kAnyCode, "pending command block"},
    {lc::kKeyboardWindowName, lc::kMsgLightRequest, 34, "light macro step"},
    // The Config's link window: link requests that carry a record.
    {lc::kLinkWindowClass, lc::kMsgRequest, lc::link_request::kTimerAdd, "timer record"},
    {lc::kLinkWindowClass, lc::kMsgRequest, lc::link_request::kTimerDelete, "timer record"},
    {lc::kLinkWindowClass, lc::kMsgRequest, lc::link_request::kTimerEdit, "timer record"},
    {lc::kLinkWindowClass, lc::kMsgRequest, lc::link_request::kMacroSet, "macro set record"},
    {lc::kLinkWindowClass, lc::kMsgRequest, lc::link_request::kLightMacroSet, "light macro set record"},
    {lc::kLinkWindowClass, lc::kMsgRequest, lc::link_request::kMacro, "macro record"},
    {lc::kLinkWindowClass, lc::kMsgRequest, lc::link_request::kLightMacro, "light macro record"},
};

}  // namespace

std::span<const PointerMessage> PointerMessages() { return kList; }

const PointerMessage* FindPointerMessage(std::string_view windowClass, UINT message, WPARAM wParam) {
    for (const PointerMessage& m : kList) {
        if (m.message != message) continue;
        if (m.code != kAnyCode && m.code != wParam) continue;
        if (!m.windowClass.empty() && !detail::link::SameText(m.windowClass, windowClass)) continue;
        return &m;
    }
    return nullptr;
}

}  // namespace vyre::win
