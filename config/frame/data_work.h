#pragma once
// The Config's end of the program link: CDataWorkThread owns the link window
// (CDataWorkWnd), which keeps the store mirror, takes the Monitor's
// notifications and notices, turns the pages' link requests into commands,
// and tells the main dialog what arrived.

#include <atomic>
#include <functional>
#include <memory>

#include "common/link_codes.h"
#include "common/profile_store.h"
#include "platform/window.h"

namespace vyre {

// What the Config's threads share.
struct ConfigShared {
    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
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
};

// Dialog notices of the Config's own, from the link window to the main dialog:
// a registration dump after the first has arrived; APPLY's full uploads
// (lParam of them) have been handed to the Monitor; the settings file was
// found damaged.
inline constexpr unsigned kDialogNoticeDumpComplete = 43;
inline constexpr unsigned kDialogNoticeUploadDone = 44;
inline constexpr unsigned kDialogNoticeSettingsDamaged = 47;
// The Config's own damaged file among the bits of settingsDamaged.
inline constexpr long kDamagedConfigIni = link::notice::kDamagedFileCount;

// The timer that bounds a busy wait, and its bound.
inline constexpr unsigned kBusyTimer = 999;
inline constexpr unsigned kBusyBoundMs = 30000;
// Notifications grow with the macro libraries; none comes near this.
inline constexpr std::size_t kNotificationLimit = 64u << 20;

class CDataWorkWnd : public win::Window {
  public:
    explicit CDataWorkWnd(ConfigShared& shared);
    bool Create();

    // The full upload: the sixteen commands from the mirror, in their order.
    void FullUpload();
    void SendCommand(std::uint16_t code, const void* data, std::size_t size);

  private:
    win::LRESULT OnCopyData(const win::COPYDATASTRUCT& cds);
    void OnNotice(unsigned code, win::LPARAM lParam);
    void OnLinkRequest(unsigned code, win::LPARAM lParam);
    void DialogNotice(unsigned code, win::LPARAM lParam);
    void TalkRecords(std::uint16_t code, std::span<const std::uint8_t> payload);

    ConfigShared& shared_;
    bool dialogStarted_ = false;
    // A full upload asked for while one is being sent (the thread handles
    // sent messages while it waits for the Monitor) follows it, never inside it.
    bool uploading_ = false;
    int uploadsPending_ = 0;
    // APPLY's uploads (lParam 1) whose end the main dialog waits to hear of.
    int appliesToTell_ = 0;
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
