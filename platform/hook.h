#pragma once
// Key capture: what a dialog uses while it records key presses (the shortcut
// and remap dialogs, the macro recorders). While a capture runs, every key
// press of the desktop goes to the capturing dialog and to no other program or
// window, Tab, Enter, Escape and the arrows included, and none of them moves
// the focus or closes the dialog.
//
// Each key arrives as a HookKey: its set-1 scan code, the flag byte (extended
// key, an Alt key held, key released), the virtual-key code, whether it went
// down or up, whether it is a system key, and its time. The evdev key codes of
// the desktop are translated through one table (EvdevKeyTable).
//
// How far "the desktop" reaches depends on the session:
// - X11: the dialog's window grabs the keyboard; while it holds the grab no
//   other client, window manager shortcuts included, receives keys.
// - Wayland and other platforms: compositors give no program the whole
//   keyboard; the dialog receives every key while it has the focus, and keys
//   the compositor keeps for itself never reach it.
//
// A capture ends on every way out of its dialog: Stop(), the dialog hidden,
// closed or destroyed, the KeyCapture destroyed (also while an exception
// unwinds the dialog's code), the application quitting, and a crash (the crash
// handler cuts the connection to the X server first, which ends the grab at
// once instead of after the crash dump is written).

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace vyre::platform {

// Hook flag byte bits (as in the scan-code table, plus the up bit).
constexpr std::uint8_t kHookExtended = 0x01;
constexpr std::uint8_t kHookAltDown = 0x20;
constexpr std::uint8_t kHookUp = 0x80;

// One captured key event.
struct HookKey {
    std::uint8_t scanCode = 0;     // set-1 make code; 0 for a key the table does not know
    std::uint8_t flags = 0;        // kHookExtended | kHookAltDown | kHookUp
    std::uint8_t virtualKey = 0;   // Windows virtual-key code; 0 when unknown
    bool down = true;              // pressed (also auto-repeat) or released
    bool system = false;           // a system key: Alt held, or F10
    std::uint32_t timeMs = 0;      // event time in milliseconds (a running clock)
    int evdevCode = 0;             // the desktop's key code

    friend bool operator==(const HookKey&, const HookKey&) = default;
};

// One row of the evdev table.
struct EvdevKey {
    std::uint16_t evdevCode;
    std::uint8_t scanCode;
    bool extended;
    std::uint8_t virtualKey;
};

// Every evdev key code the capture knows, with its set-1 make code as the
// low-level hook reports it (Right Shift and Num Lock carry the extended bit,
// Pause does not) and its virtual-key code.
std::span<const EvdevKey> EvdevKeyTable();
std::optional<EvdevKey> EvdevKeyOf(int evdevCode);
// The evdev code of a set-1 make code (the reverse of the table); none when no
// key has it.
std::optional<int> EvdevCodeOfScanCode(std::uint8_t scanCode, bool extended);

// Turns evdev key events into hook events, keeping track of the Alt keys.
class HookTranslator {
  public:
    HookKey Translate(int evdevCode, bool down, std::uint32_t timeMs);
    void Reset() { leftAlt_ = rightAlt_ = false; }

  private:
    bool leftAlt_ = false, rightAlt_ = false;
};

enum class CaptureMode {
    KeyboardGrab,  // X11: the dialog's window holds the keyboard grab
    FocusedWindow  // elsewhere: the focused dialog gets every key
};

// The capture of one dialog. Create it with the dialog, Start() it when the
// dialog opens; keys reach `onKey` on the dialog's (GUI) thread.
class KeyCapture : public QObject {
  public:
    using Handler = std::function<void(const HookKey&)>;
    KeyCapture(QWidget* dialog, Handler onKey);
    ~KeyCapture() override;
    KeyCapture(const KeyCapture&) = delete;
    KeyCapture& operator=(const KeyCapture&) = delete;

    // Starts capturing: every key event of the application is taken, and on
    // X11 the keyboard is grabbed as soon as the dialog's window is shown.
    void Start();
    // Ends the capture and releases the grab; safe to call at any time.
    void Stop();
    bool capturing() const { return capturing_; }
    CaptureMode mode() const;
    // True while the X keyboard grab is held.
    bool grabbed() const { return grabbed_; }

    // A key event as the keyboard would deliver it at `timeMs` (tests, and
    // recorders fed from elsewhere). Ignored while not capturing.
    void Inject(int evdevCode, bool down, std::uint32_t timeMs);

    // The number of captures running in the process.
    static int ActiveCount();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void TryGrab();
    void ReleaseGrab();
    void Deliver(int evdevCode, bool down, std::uint32_t timeMs);

    QPointer<QWidget> dialog_;
    Handler onKey_;
    HookTranslator translator_;
    QTimer grabRetry_;
    int grabAttempts_ = 0;
    bool capturing_ = false;
    bool grabbed_ = false;
};

// Ends a capture when it goes out of scope, whatever way the scope is left.
class KeyCaptureGuard {
  public:
    explicit KeyCaptureGuard(KeyCapture& capture) : capture_(capture) { capture_.Start(); }
    ~KeyCaptureGuard() { capture_.Stop(); }
    KeyCaptureGuard(const KeyCaptureGuard&) = delete;
    KeyCaptureGuard& operator=(const KeyCaptureGuard&) = delete;

  private:
    KeyCapture& capture_;
};

// For the crash handler: cuts the connection that holds a keyboard grab (if
// any), which makes the X server end the grab. Async-signal-safe.
void ReleaseCaptureOnCrash();

}  // namespace vyre::platform
