#pragma once
// CHIDFilterThread, the keyboard thread: owns the hidden window through which
// everything of the keyboard link arrives (device notifications, keyboard
// events, the Config's commands and requests, timers), the keyboard transport
// and the keyboard link. It starts the Monitor's worker threads, opens the
// keyboard, reads it back, follows it being plugged in and out, and leaves the
// keyboard in the host's hands no more when it ends.

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

#include "common/profile_store.h"
#include "monitor/link/host_actions.h"
#include "monitor/link/keyboard_link.h"
#include "monitor/link/keyboard_transport.h"
#include "monitor/link/monitor_shared.h"
#include "monitor/link/pending_commands.h"
#include "monitor/link/settings.h"
#include "platform/hid/window_notify.h"
#include "platform/system.h"
#include "platform/window.h"

namespace vyre {

// How long the keyboard thread waits after an arrival before it opens the
// keyboard, so that every interface of it is there.
inline constexpr int kArrivalSettleMs = 1800;
// Looks for the tray window after the keyboard was opened (500 ms apart).
inline constexpr int kTrayLookMs = 500;
inline constexpr int kTrayLooks = 4;

// What the tray is told when the keyboard is taken away.
enum class TrayAction { None, Hide, Destroy };

class CHIDFilterThread : public win::Thread {
  public:
    struct Options {
        int arrivalSettleMs = kArrivalSettleMs;
        int pollIntervalOverrideMs = 0;  // 0: the intervals the link asks for
    };

    // `backend` may be null: the HID layer could not be started (the thread
    // then says so and stays idle). Everything given must outlive the thread.
    CHIDFilterThread(hid::Backend* backend, KeyboardIds ids, ProfileStore& store,
                     MonitorShared& shared, PendingCommands& commands,
                     SettingsPersistence& settings, platform::KeyboardRepeatSettings& repeat,
                     HostActions& host, LinkHooks hooks, Options options);
    ~CHIDFilterThread() override;

    bool InitInstance() override;
    int ExitInstance() override;

    // Ends every wait and busy poll of the keyboard link at once (the
    // Monitor is stopping and the thread did not end in time).
    void Abort();

    KeyboardTransport* transport() { return transport_.get(); }
    KeyboardLink* keyboardLink() { return link_.get(); }
    LinkFlags& flags();
    bool arrivalHandled() const { return arrivalHandled_.load(); }
    // Times the start looked for a tray window that was not there yet.
    int trayLooks() const { return trayLooks_.load(); }

    // Algorithm of a connect and a disconnect (run on the keyboard thread).
    void ConnectKeyboard(bool tellPartner);
    void DisconnectKeyboard(TrayAction trayAction);
    std::atomic<int> trayLooks_{0};

  private:
    void ConnectOpened(bool tellPartner);
    // The tray icon, the read-back and the settings of an opened keyboard.
    void ShowTrayAndReadBack();
    void OnDeviceChange(win::WPARAM code, win::LPARAM ticket);
    void OnDestroy();
    void OnCommandBlock(win::LPARAM block);
    void SendDeviceRecord(std::uint32_t tag);
    // After an open that found no keyboard to open: a keyboard whose node
    // would not open is logged (once per node and error) and told to the
    // user (once).
    void NoteOpenFailure();
    void MessageBox(const std::string& text, const std::string& caption);

    hid::Backend* backend_;
    KeyboardIds ids_;
    ProfileStore& store_;
    MonitorShared& shared_;
    PendingCommands& commands_;
    SettingsPersistence& settings_;
    platform::KeyboardRepeatSettings& repeat_;
    HostActions& host_;
    LinkHooks hooks_;
    Options options_;

    LinkFlags idleFlags_;  // the flags while there is no transport
    win::Window window_;
    std::unique_ptr<KeyboardTransport> transport_;
    std::unique_ptr<KeyboardLink> link_;
    std::unique_ptr<hid::WindowNotifier> notifier_;
    std::unique_ptr<hid::Subscription> subscription_;
    std::atomic<bool> arrivalHandled_{false};
    std::string failureLogged_;
    bool accessTold_ = false;
};

}  // namespace vyre
