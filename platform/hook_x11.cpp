// Kept apart from hook.cpp: Xlib's macros (KeyPress, None, ...) clash with Qt's names.
#include <X11/Xlib.h>

namespace vyre::platform {

int DisplaySocket(_XDisplay* display) {
    return ConnectionNumber(display);
}

}  // namespace vyre::platform
