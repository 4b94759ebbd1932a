#pragma once
// The desktop's names of keys: the label the user's keyboard layout gives a
// key, as it is read on the key cap ("Z" for the Y position on a German
// layout, "Ä", "Enter", "F5"), looked up through libxkbcommon from the key's
// set-1 scan code (the evdev table of platform/hook.h) in the layout's first
// level. Empty where the layout gives the key no name.
//
// The layout: in an X11 session the one the X server uses (its rules names
// and the group active when the names are made); elsewhere, and without a
// desktop, the layout named by the XKB_DEFAULT_* environment, else "us".

#include <memory>
#include <string>

#include "common/scan_codes.h"

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace vyre::platform {

class XkbKeyNames : public KeyNameProvider {
  public:
    // A named layout ("us", "de"; variant may be empty). Null when libxkbcommon
    // cannot build it (no keyboard layout data).
    static std::unique_ptr<XkbKeyNames> ForLayout(const std::string& layout,
                                                  const std::string& variant = {});
    // The desktop's layout as described above; never null unless no layout at
    // all can be built.
    static std::unique_ptr<XkbKeyNames> ForDesktop();

    ~XkbKeyNames() override;
    XkbKeyNames(const XkbKeyNames&) = delete;
    XkbKeyNames& operator=(const XkbKeyNames&) = delete;

    std::u16string KeyNameText(std::uint32_t keyNameParam) const override;
    // The name of an evdev key code.
    std::u16string NameOfEvdev(int evdevCode) const;

  private:
    XkbKeyNames(xkb_context* context, xkb_keymap* keymap, unsigned group);
    xkb_context* context_;
    xkb_keymap* keymap_;
    unsigned group_;
};

// The process's desktop key names (made on first use).
const KeyNameProvider& DesktopKeyNames();

}  // namespace vyre::platform
