#pragma once
// CMoniterCtrl, the Monitor's control window: the one window of the Monitor
// that other programs find. It hands the Config's commands to the keyboard
// thread, relays requests, keeps the talk device records of the maker's other
// device programs, talks to one of them (the talk partner), and starts the
// Monitor's stop.

#include <span>
#include <utility>
#include <vector>

#include "common/log.h"
#include "common/profile_store.h"
#include "monitor/link/monitor_shared.h"
#include "monitor/link/pending_commands.h"
#include "platform/window.h"

namespace vyre {

class CMoniterCtrl : public win::Window {
  public:
    CMoniterCtrl(ProfileStore& store, MonitorShared& shared, PendingCommands& commands);

    // Creates the window ("VYREMKMINIMONITOR" / "Vyre Lumo Monitor
    // Application") on the calling thread and publishes its handle.
    bool Create();

    win::LRESULT WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) override;

    // The Flexlayer state and toggle requests on the report 0x16 image.
    void FlexStateRequest(win::LPARAM lParam);
    void FlexToggleRequest(win::LPARAM lParam);
    // Talk device records (copied data tagged 2025, high word = operation).
    void TalkRecords(std::uint16_t operation, std::span<const std::uint8_t> payload);
    void RemoveTalkRecord(std::uint32_t key);
    void RegisterPartner(win::HWND partner);
    // The stop: tells an open Config and the talk partner, and has every
    // thread of the Monitor (this one last) leave its message loop.
    void Exit();

  private:
    // Requests kept while the keyboard thread's window is not there yet.
    static constexpr std::size_t kEarlyRequests = 16;

    // Hands a request (1031) to the keyboard thread.
    void Relay(win::WPARAM code, win::LPARAM lParam);
    win::LRESULT OnCopyData(win::HWND from, const win::COPYDATASTRUCT& cds);
    void ExternalControl(win::WPARAM operation, win::LPARAM lParam);
    void TalkMessage(win::WPARAM operation, win::LPARAM lParam);
    void NotifyConfig(std::uint16_t code, const TalkDeviceRecord& record);
    void SendDeviceRecord(win::HWND to, std::uint32_t tag);

    ProfileStore& store_;
    MonitorShared& shared_;
    PendingCommands& commands_;
    // Resets dropped while one waits: logged once per run of them.
    log::RepeatFilter resetsDropped_{log::Level::Warning, "control"};
    std::vector<std::pair<win::WPARAM, win::LPARAM>> early_;
};

}  // namespace vyre
