#pragma once
// What the Monitor's threads share besides the profile store: the window
// handles, the talk message, the lock of the talk device records, and the
// hooks through which the keyboard link reaches the parts around it.
//
// Each handle is written by the thread that owns the window and read by the
// others without a lock; 0 means "not there", and a message to 0 goes nowhere.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "common/device_ids.h"
#include "common/slots.h"
#include "platform/window.h"

namespace vyre {

// The profiles as the tray shows them: written by the keyboard thread when
// the current profile or a name changes, read by the tray on the GUI thread.
struct ProfileMenu {
    int current = -1;  // -1 until the keyboard was read
    std::array<std::string, kProfileCount> names;  // UTF-8
};

struct MonitorShared {
    std::atomic<win::HWND> control{0};      // the control window (main thread)
    std::atomic<win::HWND> keyboard{0};     // the keyboard thread's hidden window
    std::atomic<win::HWND> sound{0};        // the sound thread's window
    std::atomic<win::HWND> tray{0};         // the tray thread's window
    // False when no tray window will come (no display, no tray host): the
    // keyboard thread does not wait for one at start.
    std::atomic<bool> trayExpected{true};
    std::atomic<win::HWND> lightMacro{0};   // the light macro thread's window
    std::atomic<win::HWND> talkPartner{0};  // the one registered window of another device program
    std::atomic<win::UINT> talkMessage{0};  // RegisterWindowMessage("WM_TALK_MSG")
    // Guards the store's talk device records: the control window changes
    // them, the keyboard thread sends them with the registration dump.
    std::mutex talkDevicesLock;
    // Guards the per-key light bitmaps, which the light macro thread clears
    // and the keyboard thread writes.
    std::mutex keyLightLock;
    // A keyboard reset handed to the keyboard thread and not yet begun. A
    // reset takes seconds (the keyboard is read back after it); one more
    // asked for meanwhile would do the same again, so it is dropped: at most
    // one reset waits while another runs.
    std::atomic<bool> resetQueued{false};
    // Guards `profiles`.
    mutable std::mutex profilesLock;
    ProfileMenu profiles;
    ProfileMenu Profiles() const {
        std::lock_guard lock(profilesLock);
        return profiles;
    }
    // The keyboard's USB ids as configured (set before the threads start).
    KeyboardIds keyboardIds;
};

// The Config's link window as it is now (looked up by its title each time).
win::HWND FindConfigLinkWindow();

// What the keyboard link asks of the parts of the Monitor around it. Each
// hook may be empty; the link then does without (and says so in the log
// where a user would miss something).
struct LinkHooks {
    // Starts the sound, tray and light macro threads, in this order (on the
    // keyboard thread, before the keyboard is opened).
    std::function<void()> startWorkerThreads;
    // Shows the one-button popup that tells of a firmware newer than this
    // program knows; returns when the user closed it.
    std::function<void()> newerFirmwarePopup;
    // Starts the firmware update program; false when it could not be started.
    std::function<bool()> startFirmwareUpdater;
    // A system message box with one OK button (set-up failures only).
    std::function<void(const std::string& text, const std::string& caption)> messageBox;
    // Sees each keyboard event (notify 1032/13) before the link handles it.
    std::function<void(std::uint32_t value)> keyboardEvent;
};

}  // namespace vyre
