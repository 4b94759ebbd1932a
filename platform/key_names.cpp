#include "platform/key_names.h"

#include <QGuiApplication>

#include "platform/hook.h"

// Xlib after every Qt header: its macros (KeyPress, None, ...) clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace vyre::platform {
namespace {

// X11 and Wayland key codes are the evdev codes plus 8.
constexpr int kXkbKeycodeOffset = 8;

struct SymName {
    xkb_keysym_t sym;
    const char* name;
};
// Keys whose key cap carries a word rather than a character.
constexpr SymName kSymNames[] = {
    {XKB_KEY_Return, "Enter"},          {XKB_KEY_BackSpace, "Backspace"},
    {XKB_KEY_Tab, "Tab"},               {XKB_KEY_ISO_Left_Tab, "Tab"},
    {XKB_KEY_Escape, "Esc"},            {XKB_KEY_space, "Space"},
    {XKB_KEY_Shift_L, "Shift"},         {XKB_KEY_Shift_R, "Right Shift"},
    {XKB_KEY_Control_L, "Ctrl"},        {XKB_KEY_Control_R, "Right Ctrl"},
    {XKB_KEY_Alt_L, "Alt"},             {XKB_KEY_Alt_R, "Right Alt"},
    {XKB_KEY_Meta_L, "Alt"},            {XKB_KEY_ISO_Level3_Shift, "AltGr"},
    {XKB_KEY_Super_L, "Win"},           {XKB_KEY_Super_R, "Right Win"},
    {XKB_KEY_Menu, "Menu"},             {XKB_KEY_Caps_Lock, "Caps Lock"},
    {XKB_KEY_Num_Lock, "Num Lock"},     {XKB_KEY_Scroll_Lock, "Scroll Lock"},
    {XKB_KEY_Print, "Print Screen"},    {XKB_KEY_Pause, "Pause"},
    {XKB_KEY_Insert, "Insert"},         {XKB_KEY_Delete, "Delete"},
    {XKB_KEY_Home, "Home"},             {XKB_KEY_End, "End"},
    {XKB_KEY_Prior, "Page Up"},         {XKB_KEY_Next, "Page Down"},
    {XKB_KEY_Up, "Up"},                 {XKB_KEY_Down, "Down"},
    {XKB_KEY_Left, "Left"},             {XKB_KEY_Right, "Right"},
    {XKB_KEY_KP_Enter, "Num Enter"},    {XKB_KEY_Muhenkan, "Muhenkan"},
    {XKB_KEY_Henkan_Mode, "Henkan"},    {XKB_KEY_Hiragana_Katakana, "Katakana/Hiragana"},
    {XKB_KEY_Zenkaku_Hankaku, "Zenkaku/Hankaku"}, {XKB_KEY_Hiragana, "Hiragana"},
    {XKB_KEY_Katakana, "Katakana"},     {XKB_KEY_Hangul, "Hangul"},
    {XKB_KEY_Hangul_Hanja, "Hanja"},
};

// Dead keys show the accent they put on the next letter.
struct DeadName {
    xkb_keysym_t sym;
    char16_t accent;
};
constexpr DeadName kDeadNames[] = {
    {XKB_KEY_dead_grave, u'`'},      {XKB_KEY_dead_acute, u'\u00B4'},
    {XKB_KEY_dead_circumflex, u'^'}, {XKB_KEY_dead_tilde, u'~'},
    {XKB_KEY_dead_diaeresis, u'\u00A8'}, {XKB_KEY_dead_abovering, u'\u00B0'},
    {XKB_KEY_dead_cedilla, u'\u00B8'}, {XKB_KEY_dead_caron, u'\u02C7'},
    {XKB_KEY_dead_macron, u'\u00AF'}, {XKB_KEY_dead_breve, u'\u02D8'},
    {XKB_KEY_dead_abovedot, u'\u02D9'}, {XKB_KEY_dead_doubleacute, u'\u02DD'},
    {XKB_KEY_dead_ogonek, u'\u02DB'},
};

bool IsKeypad(xkb_keysym_t sym) {
    return sym >= XKB_KEY_KP_Space && sym <= XKB_KEY_KP_Equal;
}

std::u16string Ascii(const char* text) {
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string Utf32ToUtf16(char32_t c) {
    std::u16string out;
    if (c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(c));
    }
    return out;
}

// The printable character of a keysym, upper case as on the key cap; 0 when none.
char32_t CapCharacter(xkb_keysym_t sym) {
    // Some letters have no capital keysym (ß): they stay as they are.
    char32_t c = xkb_keysym_to_utf32(xkb_keysym_to_upper(sym));
    if (c == 0) c = xkb_keysym_to_utf32(sym);
    if (c <= 0x20 || (c >= 0x7F && c < 0xA0)) return 0;
    return c;
}

xkb_keysym_t SymAt(xkb_keymap* keymap, xkb_keycode_t keycode, unsigned group, unsigned level) {
    const xkb_keysym_t* syms = nullptr;
    const int n = xkb_keymap_key_get_syms_by_level(keymap, keycode, group, level, &syms);
    return n >= 1 ? syms[0] : XKB_KEY_NoSymbol;
}

struct RulesNames {
    std::string rules, model, layout, variant, options;
    unsigned group = 0;
};

// The X server's keyboard description: the _XKB_RULES_NAMES property of the
// root window and the active group. None without an X server.
std::optional<RulesNames> X11RulesNames() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return std::nullopt;
    std::optional<RulesNames> names;
    const Atom atom = XInternAtom(display, "_XKB_RULES_NAMES", True);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (atom != None &&
        XGetWindowProperty(display, DefaultRootWindow(display), atom, 0, 1024, False, XA_STRING,
                           &type, &format, &count, &after, &data) == Success &&
        data != nullptr && type == XA_STRING && format == 8) {
        // Five zero-separated strings: rules, model, layout, variant, options.
        std::vector<std::string> parts(1);
        for (unsigned long i = 0; i < count; ++i) {
            if (data[i] == 0) {
                parts.emplace_back();
            } else {
                parts.back().push_back(static_cast<char>(data[i]));
            }
        }
        parts.resize(5);
        names = RulesNames{parts[0], parts[1], parts[2], parts[3], parts[4]};
        XkbStateRec state{};
        if (XkbGetState(display, XkbUseCoreKbd, &state) == Success) names->group = state.group;
    }
    if (data != nullptr) XFree(data);
    XCloseDisplay(display);
    return names;
}

const char* OrNull(const std::string& s) {
    return s.empty() ? nullptr : s.c_str();
}

}  // namespace

XkbKeyNames::XkbKeyNames(xkb_context* context, xkb_keymap* keymap, unsigned group)
    : context_(context), keymap_(keymap), group_(group) {}

XkbKeyNames::~XkbKeyNames() {
    xkb_keymap_unref(keymap_);
    xkb_context_unref(context_);
}

std::unique_ptr<XkbKeyNames> XkbKeyNames::ForLayout(const std::string& layout,
                                                    const std::string& variant) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (context == nullptr) return nullptr;
    xkb_rule_names names{};
    names.layout = OrNull(layout);
    names.variant = OrNull(variant);
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        xkb_context_unref(context);
        return nullptr;
    }
    return std::unique_ptr<XkbKeyNames>(new XkbKeyNames(context, keymap, 0));
}

std::unique_ptr<XkbKeyNames> XkbKeyNames::ForDesktop() {
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (const auto x11 = X11RulesNames()) {
            if (xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)) {
                const xkb_rule_names names{OrNull(x11->rules), OrNull(x11->model),
                                           OrNull(x11->layout), OrNull(x11->variant),
                                           OrNull(x11->options)};
                if (xkb_keymap* keymap =
                        xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS)) {
                    return std::unique_ptr<XkbKeyNames>(
                        new XkbKeyNames(context, keymap, x11->group));
                }
                xkb_context_unref(context);
            }
        }
    }
    // The XKB_DEFAULT_* environment, else libxkbcommon's defaults ("us").
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (context == nullptr) return nullptr;
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, nullptr, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr) {
        xkb_context_unref(context);
        return ForLayout("us");
    }
    return std::unique_ptr<XkbKeyNames>(new XkbKeyNames(context, keymap, 0));
}

std::u16string XkbKeyNames::KeyNameText(std::uint32_t keyNameParam) const {
    const auto scanCode = static_cast<std::uint8_t>(keyNameParam >> 16);
    const bool extended = ((keyNameParam >> 24) & 1u) != 0;
    const auto evdev = EvdevCodeOfScanCode(scanCode, extended);
    return evdev ? NameOfEvdev(*evdev) : std::u16string();
}

std::u16string XkbKeyNames::NameOfEvdev(int evdevCode) const {
    const auto keycode = static_cast<xkb_keycode_t>(evdevCode + kXkbKeycodeOffset);
    const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(keymap_, keycode);
    if (layouts == 0) return {};
    const unsigned group = group_ < layouts ? group_ : 0;
    const xkb_keysym_t sym = SymAt(keymap_, keycode, group, 0);
    if (sym == XKB_KEY_NoSymbol) return {};
    if (IsKeypad(sym) && sym != XKB_KEY_KP_Enter) {
        // The keypad's cap shows its digit or sign (the level with Num Lock on).
        char32_t c = CapCharacter(sym);
        if (c == 0) c = CapCharacter(SymAt(keymap_, keycode, group, 1));
        return c == 0 ? std::u16string() : u"Num " + Utf32ToUtf16(c);
    }
    for (const SymName& n : kSymNames) {
        if (n.sym == sym) return Ascii(n.name);
    }
    if (sym >= XKB_KEY_F1 && sym <= XKB_KEY_F35) {
        char name[8];
        std::snprintf(name, sizeof name, "F%u", static_cast<unsigned>(sym - XKB_KEY_F1 + 1));
        return Ascii(name);
    }
    for (const DeadName& d : kDeadNames) {
        if (d.sym == sym) return std::u16string(1, d.accent);
    }
    const char32_t c = CapCharacter(sym);
    return c == 0 ? std::u16string() : Utf32ToUtf16(c);
}

const KeyNameProvider& DesktopKeyNames() {
    // A provider without names when no layout at all can be built.
    class NoNames : public KeyNameProvider {
      public:
        std::u16string KeyNameText(std::uint32_t) const override { return {}; }
    };
    static const std::unique_ptr<KeyNameProvider> names = []() -> std::unique_ptr<KeyNameProvider> {
        if (auto xkb = XkbKeyNames::ForDesktop()) return xkb;
        return std::make_unique<NoNames>();
    }();
    return *names;
}

}  // namespace vyre::platform
