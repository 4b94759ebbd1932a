#pragma once
// The Config's end of the program link: CDataWorkThread owns the link window
// (CDataWorkWnd), which keeps the store mirror, takes the Monitor's
// notifications and notices, turns the pages' link requests into commands,
// and tells the main dialog what arrived.

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "common/link_codes.h"
#include "common/profile_store.h"
#include "platform/window.h"

namespace vyre {

// What the Config's threads share.
struct ConfigShared {
    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
    // The blocks as the Monitor holds them, as far as the Config knows (last
    // received or uploaded): where the mirror differs, the user has edits not
    // applied yet. Written by the link thread only.
    std::unique_ptr<ProfileStoreBlocks> monitorCopy = std::make_unique<ProfileStoreBlocks>();
    std::atomic<win::HWND> monitor{0};     // the Monitor's control window, found at start
    std::atomic<win::HWND> linkWindow{0};  // set by the link thread
    std::atomic<win::HWND> dialog{0};      // set by the main dialog
    std::atomic<win::HWND> mainWindow{0};  // the hidden main window
    std::atomic<int> busy{0};              // 1 while the main dialog waits for the keyboard
    // The files the Monitor found damaged (bit n: link::notice::kDamaged...
    // n); the main dialog tells the user once it is up, and clears them.
    std::atomic<unsigned> settingsDamaged{0};
    // Starts the main dialog (on notice 43; once).
    std::function<void()> startDialog;
    // Why the Config ends, when the Monitor ends it (EndReason), and for
    // kNoAccess the device node this user may not open. Written by the link
    // thread before it asks the dialog or the program to end.
    std::atomic<int> endReason{0};
    std::string deniedNode;
};

// Why the Monitor ends a Config (told to the user before it ends).
enum EndReason : int {
    kEndSilently = 0,       // a second Config, the firmware updater
    kEndNoKeyboard = 1,     // no keyboard connected
    kEndNoAccess = 2,       // a keyboard whose device node this user may not open
    kEndUnplugged = 3,      // the keyboard was unplugged
    kEndMonitorEnded = 4,   // the Monitor ended
};
// The hidden main window's message: end the Config, telling shared.endReason.
inline constexpr win::UINT kMsgEndWithReason = win::WM_APP + 2;

// Dialog notices of the Config's own, from the link window to the main dialog:
// a registration dump after the first has arrived; APPLY's full uploads
// (lParam of them) have been handed to the Monitor; the settings file was
// found damaged.
inline constexpr unsigned kDialogNoticeDumpComplete = 43;
inline constexpr unsigned kDialogNoticeUploadDone = 44;
inline constexpr unsigned kDialogNoticeSettingsDamaged = 47;
// The keyboard did not take what a command carried: lParam = the command code
// in the low 16 bits, the profiles it named as bits 16..20 (none: not per profile).
inline constexpr unsigned kDialogNoticeNotWritten = 46;
// No Monitor could be found for an upload: nothing was sent (lParam 0).
inline constexpr unsigned kDialogNoticeNoMonitor = 48;

// Link requests of the Config's own, from the main dialog to the link window:
// the start page back to the first page in both programs, sent with the
// Monitor's own copy of block 12 (lParam 0).
inline constexpr unsigned kLinkRequestStartPageReset = 45;
// The answers to a full upload sent (link request 44): handed over; none
// (no Monitor); after the registration with a Monitor found anew.
inline constexpr win::LRESULT kUploadNotSent = 0;
inline constexpr win::LRESULT kUploadHandedOver = 1;
inline constexpr win::LRESULT kUploadAfterRegistration = 2;
// How often the link window checks that its Monitor is still there.
inline constexpr unsigned kMonitorWatchTimer = 998;
inline constexpr unsigned kMonitorWatchMs = 2000;
// The Config's own damaged file among the bits of settingsDamaged.
inline constexpr long kDamagedConfigIni = link::notice::kDamagedFileCount;

// The timer that bounds a busy wait, and its bound.
inline constexpr unsigned kBusyTimer = 999;
inline constexpr unsigned kBusyBoundMs = 30000;
// Notifications grow with the macro libraries; none comes near this.
inline constexpr std::size_t kNotificationLimit = 64u << 20;

// The Monitor's control window, or 0 when no Monitor runs.
win::HWND FindMonitor();

class CDataWorkWnd : public win::Window {
  public:
    explicit CDataWorkWnd(ConfigShared& shared);
    bool Create();

    // The full upload: the sixteen commands from the mirror, in their order.
    // False when the Monitor did not take them.
    bool FullUpload();
    bool SendCommand(std::uint16_t code, const void* data, std::size_t size);

  private:
    win::LRESULT OnCopyData(const win::COPYDATASTRUCT& cds);
    void OnNotice(unsigned code, win::LPARAM lParam);
    win::LRESULT OnLinkRequest(unsigned code, win::LPARAM lParam);
    void DialogNotice(unsigned code, win::LPARAM lParam);
    void TalkRecords(std::uint16_t code, std::span<const std::uint8_t> payload);
    win::LRESULT UploadRequested(win::LPARAM lParam);
    // A Monitor other than the one known (it was restarted): registers with
    // it. False when none runs.
    bool FindMonitorAgain();
    void SendStartPageReset();
    void RememberUploadedParts();

    ConfigShared& shared_;
    bool dialogStarted_ = false;
    // A full upload asked for while one is being sent (the thread handles
    // sent messages while it waits for the Monitor) follows it, never inside it.
    bool uploading_ = false;
    int uploadsPending_ = 0;
    // APPLY's uploads (lParam 1) whose end the main dialog waits to hear of.
    int appliesToTell_ = 0;
    // Uploads asked for while re-registering with a new Monitor: sent once
    // its dump (and so every change it holds) has arrived.
    bool uploadAfterDump_ = false;
    // The profiles each block of the last upload changed (bit p), for telling
    // what the keyboard did not take.
    std::map<std::uint16_t, unsigned> uploadedProfiles_;
};

class CDataWorkThread : public win::Thread {
  public:
    explicit CDataWorkThread(ConfigShared& shared) : shared_(shared), window_(shared) {}
    ~CDataWorkThread() override { Stop(); }
    bool InitInstance() override;
    int ExitInstance() override;

  private:
    ConfigShared& shared_;
    CDataWorkWnd window_;
};

}  // namespace vyre
