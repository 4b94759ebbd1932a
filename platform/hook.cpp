#include "platform/hook.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <sys/socket.h>

#include <atomic>
#include <set>

#include "common/log.h"
#include "platform/crash.h"

namespace vyre::platform {

// The socket of an X display connection (hook_x11.cpp; Xlib's names clash with Qt's).
int DisplaySocket(_XDisplay* display);

namespace {

constexpr char kArea[] = "capture";

// Virtual-key codes used below.
constexpr std::uint8_t kVkF10 = 0x79;

// evdev code, set-1 make code, extended, virtual-key code. The codes 1..88 of
// evdev are the set-1 make codes themselves.
// clang-format off
constexpr EvdevKey kEvdevKeys[] = {
    {1, 0x01, false, 0x1B},    // Esc
    {2, 0x02, false, 0x31},  {3, 0x03, false, 0x32},  {4, 0x04, false, 0x33},  {5, 0x05, false, 0x34},
    {6, 0x06, false, 0x35},  {7, 0x07, false, 0x36},  {8, 0x08, false, 0x37},  {9, 0x09, false, 0x38},
    {10, 0x0A, false, 0x39}, {11, 0x0B, false, 0x30},
    {12, 0x0C, false, 0xBD},   // minus
    {13, 0x0D, false, 0xBB},   // equal
    {14, 0x0E, false, 0x08},   // Backspace
    {15, 0x0F, false, 0x09},   // Tab
    {16, 0x10, false, 'Q'}, {17, 0x11, false, 'W'}, {18, 0x12, false, 'E'}, {19, 0x13, false, 'R'},
    {20, 0x14, false, 'T'}, {21, 0x15, false, 'Y'}, {22, 0x16, false, 'U'}, {23, 0x17, false, 'I'},
    {24, 0x18, false, 'O'}, {25, 0x19, false, 'P'},
    {26, 0x1A, false, 0xDB},   // left brace
    {27, 0x1B, false, 0xDD},   // right brace
    {28, 0x1C, false, 0x0D},   // Enter
    {29, 0x1D, false, 0xA2},   // Left Ctrl
    {30, 0x1E, false, 'A'}, {31, 0x1F, false, 'S'}, {32, 0x20, false, 'D'}, {33, 0x21, false, 'F'},
    {34, 0x22, false, 'G'}, {35, 0x23, false, 'H'}, {36, 0x24, false, 'J'}, {37, 0x25, false, 'K'},
    {38, 0x26, false, 'L'},
    {39, 0x27, false, 0xBA},   // semicolon
    {40, 0x28, false, 0xDE},   // apostrophe
    {41, 0x29, false, 0xC0},   // grave
    {42, 0x2A, false, 0xA0},   // Left Shift
    {43, 0x2B, false, 0xDC},   // backslash (also the ISO key left of Enter)
    {44, 0x2C, false, 'Z'}, {45, 0x2D, false, 'X'}, {46, 0x2E, false, 'C'}, {47, 0x2F, false, 'V'},
    {48, 0x30, false, 'B'}, {49, 0x31, false, 'N'}, {50, 0x32, false, 'M'},
    {51, 0x33, false, 0xBC},   // comma
    {52, 0x34, false, 0xBE},   // dot
    {53, 0x35, false, 0xBF},   // slash
    {54, 0x36, true, 0xA1},    // Right Shift: the hook reports it extended
    {55, 0x37, false, 0x6A},   // keypad *
    {56, 0x38, false, 0xA4},   // Left Alt
    {57, 0x39, false, 0x20},   // Space
    {58, 0x3A, false, 0x14},   // Caps Lock
    {59, 0x3B, false, 0x70}, {60, 0x3C, false, 0x71}, {61, 0x3D, false, 0x72}, {62, 0x3E, false, 0x73},
    {63, 0x3F, false, 0x74}, {64, 0x40, false, 0x75}, {65, 0x41, false, 0x76}, {66, 0x42, false, 0x77},
    {67, 0x43, false, 0x78}, {68, 0x44, false, 0x79},  // F1..F10
    {69, 0x45, true, 0x90},    // Num Lock: the hook reports it extended
    {70, 0x46, false, 0x91},   // Scroll Lock
    {71, 0x47, false, 0x67}, {72, 0x48, false, 0x68}, {73, 0x49, false, 0x69},  // keypad 7 8 9
    {74, 0x4A, false, 0x6D},   // keypad -
    {75, 0x4B, false, 0x64}, {76, 0x4C, false, 0x65}, {77, 0x4D, false, 0x66},  // keypad 4 5 6
    {78, 0x4E, false, 0x6B},   // keypad +
    {79, 0x4F, false, 0x61}, {80, 0x50, false, 0x62}, {81, 0x51, false, 0x63},  // keypad 1 2 3
    {82, 0x52, false, 0x60},   // keypad 0
    {83, 0x53, false, 0x6E},   // keypad .
    {85, 0x76, false, 0xF3},   // Zenkaku/Hankaku
    {86, 0x56, false, 0xE2},   // the extra ISO key (K45)
    {87, 0x57, false, 0x7A}, {88, 0x58, false, 0x7B},  // F11, F12
    {89, 0x73, false, 0xC1},   // Ro (K56)
    {90, 0x78, false, 0xF1},   // Katakana
    {91, 0x77, false, 0xF2},   // Hiragana
    {92, 0x79, false, 0x1C},   // Henkan (K132)
    {93, 0x70, false, 0x15},   // Katakana/Hiragana (K133)
    {94, 0x7B, false, 0x1D},   // Muhenkan (K131)
    {96, 0x1C, true, 0x0D},    // keypad Enter
    {97, 0x1D, true, 0xA3},    // Right Ctrl
    {98, 0x35, true, 0x6F},    // keypad /
    {99, 0x37, true, 0x2C},    // Print Screen
    {100, 0x38, true, 0xA5},   // Right Alt
    {102, 0x47, true, 0x24},   // Home
    {103, 0x48, true, 0x26},   // Up
    {104, 0x49, true, 0x21},   // Page Up
    {105, 0x4B, true, 0x25},   // Left
    {106, 0x4D, true, 0x27},   // Right
    {107, 0x4F, true, 0x23},   // End
    {108, 0x50, true, 0x28},   // Down
    {109, 0x51, true, 0x22},   // Page Down
    {110, 0x52, true, 0x2D},   // Insert
    {111, 0x53, true, 0x2E},   // Delete
    {117, 0x59, false, 0x92},  // keypad =
    {119, 0x45, false, 0x13},  // Pause: the same make code as Num Lock, not extended
    {122, 0xF2, false, 0x15},  // Hangul (K151)
    {123, 0xF1, false, 0x19},  // Hanja (K150)
    {124, 0x7D, false, 0xDC},  // Yen (K14)
    {125, 0x5B, true, 0x5B},   // Left Windows
    {126, 0x5C, true, 0x5C},   // Right Windows
    {127, 0x5D, true, 0x5D},   // Menu (App)
    {183, 0x5D, false, 0x7C}, {184, 0x5E, false, 0x7D}, {185, 0x5F, false, 0x7E},  // F13..F15
};
// clang-format on

constexpr int kLeftAlt = 56;
constexpr int kRightAlt = 100;

// The X connection's socket while a keyboard grab is held, for the crash handler.
std::atomic<int> g_grabSocket{-1};

// The running captures (GUI thread only).
std::set<KeyCapture*>& Running() {
    static std::set<KeyCapture*> running;
    return running;
}

bool OnX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

int X11Socket() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    _XDisplay* display = x11 != nullptr ? x11->display() : nullptr;
    return display != nullptr ? DisplaySocket(display) : -1;
}

// The grab can fail while the window is not mapped yet or another client (a
// closing menu) still holds one: tried again every 50 ms for at most 2 s.
constexpr int kGrabRetryMs = 50;
constexpr int kGrabAttempts = 40;

}  // namespace

std::span<const EvdevKey> EvdevKeyTable() {
    return kEvdevKeys;
}

std::optional<EvdevKey> EvdevKeyOf(int evdevCode) {
    for (const EvdevKey& key : kEvdevKeys) {
        if (key.evdevCode == evdevCode) return key;
    }
    return std::nullopt;
}

std::optional<int> EvdevCodeOfScanCode(std::uint8_t scanCode, bool extended) {
    for (const EvdevKey& key : kEvdevKeys) {
        if (key.scanCode == scanCode && key.extended == extended) return key.evdevCode;
    }
    return std::nullopt;
}

HookKey HookTranslator::Translate(int evdevCode, bool down, std::uint32_t timeMs) {
    // An Alt key's own press already carries the Alt-down bit, its release not.
    if (evdevCode == kLeftAlt) leftAlt_ = down;
    if (evdevCode == kRightAlt) rightAlt_ = down;
    HookKey key;
    key.evdevCode = evdevCode;
    key.down = down;
    key.timeMs = timeMs;
    if (const auto row = EvdevKeyOf(evdevCode)) {
        key.scanCode = row->scanCode;
        key.virtualKey = row->virtualKey;
        if (row->extended) key.flags |= kHookExtended;
    }
    const bool alt = leftAlt_ || rightAlt_;
    if (alt) key.flags |= kHookAltDown;
    if (!down) key.flags |= kHookUp;
    key.system = alt || key.virtualKey == kVkF10;
    return key;
}

KeyCapture::KeyCapture(QWidget* dialog, Handler onKey)
    : dialog_(dialog), onKey_(std::move(onKey)) {
    grabRetry_.setInterval(kGrabRetryMs);
    QObject::connect(&grabRetry_, &QTimer::timeout, this, [this] { TryGrab(); });
    if (QCoreApplication* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, this, [this] { Stop(); });
    if (dialog_) {
        QObject::connect(dialog_, &QObject::destroyed, this, [this] { Stop(); });
    }
}

KeyCapture::~KeyCapture() {
    Stop();
}

CaptureMode KeyCapture::mode() const {
    return OnX11() ? CaptureMode::KeyboardGrab : CaptureMode::FocusedWindow;
}

int KeyCapture::ActiveCount() {
    return static_cast<int>(Running().size());
}

void KeyCapture::Start() {
    if (capturing_ || QCoreApplication::instance() == nullptr) return;
    static const bool crashActionAdded = [] {
        AddCrashAction(&ReleaseCaptureOnCrash);
        return true;
    }();
    (void)crashActionAdded;
    capturing_ = true;
    translator_.Reset();
    Running().insert(this);
    QCoreApplication::instance()->installEventFilter(this);
    grabAttempts_ = 0;
    if (mode() == CaptureMode::KeyboardGrab) TryGrab();
}

void KeyCapture::Stop() {
    if (!capturing_) return;
    capturing_ = false;
    grabRetry_.stop();
    ReleaseGrab();
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
    Running().erase(this);
}

void KeyCapture::TryGrab() {
    if (!capturing_ || grabbed_ || !dialog_) {
        grabRetry_.stop();
        return;
    }
    QWindow* window = dialog_->windowHandle();
    if (window != nullptr && dialog_->isVisible() && window->setKeyboardGrabEnabled(true)) {
        grabbed_ = true;
        g_grabSocket = X11Socket();
        grabRetry_.stop();
        return;
    }
    if (++grabAttempts_ >= kGrabAttempts) {
        grabRetry_.stop();
        log::Warning(kArea, "the keyboard could not be grabbed; keys reach the dialog while it "
                            "has the focus");
        return;
    }
    if (!grabRetry_.isActive()) grabRetry_.start();
}

void KeyCapture::ReleaseGrab() {
    if (!grabbed_) return;
    grabbed_ = false;
    g_grabSocket = -1;
    if (dialog_ && dialog_->windowHandle() != nullptr)
        dialog_->windowHandle()->setKeyboardGrabEnabled(false);
}

void KeyCapture::Inject(int evdevCode, bool down, std::uint32_t timeMs) {
    if (capturing_) Deliver(evdevCode, down, timeMs);
}

void KeyCapture::Deliver(int evdevCode, bool down, std::uint32_t timeMs) {
    const HookKey key = translator_.Translate(evdevCode, down, timeMs);
    if (onKey_) onKey_(key);
}

bool KeyCapture::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            auto* key = static_cast<QKeyEvent*>(event);
            event->accept();
            const bool down = event->type() == QEvent::KeyPress;
            // Repeats come as presses, as the keyboard sends them; the
            // releases between them are not real.
            if (!down && key->isAutoRepeat()) return true;
            // X11 and Wayland key codes are the evdev codes plus 8; a key
            // without one (made up by a program) is taken but not reported.
            const int code = static_cast<int>(key->nativeScanCode()) - 8;
            if (code > 0) Deliver(code, down, static_cast<std::uint32_t>(key->timestamp()));
            return true;
        }
        case QEvent::ShortcutOverride:
            // Taken here so that no shortcut, accelerator or default button acts.
            event->accept();
            return true;
        case QEvent::Hide:
            if (watched == dialog_.data()) Stop();
            return false;
        case QEvent::Show:
        case QEvent::Expose:
            if (grabbed_ || mode() != CaptureMode::KeyboardGrab) return false;
            if (watched == dialog_.data() || (dialog_ && watched == dialog_->windowHandle()))
                QTimer::singleShot(0, this, [this] { TryGrab(); });
            return false;
        default:
            return false;
    }
}

void ReleaseCaptureOnCrash() {
    const int socket = g_grabSocket.load();
    if (socket >= 0) ::shutdown(socket, SHUT_RDWR);
}

}  // namespace vyre::platform
