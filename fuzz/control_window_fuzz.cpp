// The Monitor's control window driven with any message, code and parameters
// as a program of the same user could send them: requests, sounds, notices,
// external control, the talk message, and copied data of any tag and size.
// It must neither crash nor keep what it hands on: every command block it
// queues for the keyboard thread is taken by this target's stand-in window.
//
// Input: records of 1 byte kind, 2 bytes length, then that many bytes.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "common/link_codes.h"
#include "fuzz/fuzz_input.h"
#include "common/profile_store.h"
#include "monitor/link/monitor_shared.h"
#include "monitor/link/pending_commands.h"
#include "monitor/shell/control_window.h"
#include "platform/record.h"

namespace {

using namespace vyre;
using fuzz::Le;

struct Rig {
  std::unique_ptr<ProfileStore> store = NewProfileStore();
  MonitorShared shared;
  PendingCommands commands;
  CMoniterCtrl control{*store, shared, commands};
  win::Window keyboard;

  Rig() {
    // Actions on the computer (starting the Config) are recorded, not taken.
    std::string error;
    platform::ActionRecord::Instance().Open("/dev/null", &error);
    if (!control.Create()) std::abort();
    if (!keyboard.Create("fuzz keyboard", "fuzz keyboard", win::HWND_MESSAGE)) std::abort();
    keyboard.Messages().On(link::kMsgCommandBlock, [this](win::WPARAM, win::LPARAM block) {
      commands.Take(reinterpret_cast<const void*>(block));
      return 0;
    });
    keyboard.Messages().OnDefault([](win::UINT, win::WPARAM, win::LPARAM) { return 0; });
    shared.keyboard = keyboard.GetSafeHwnd();
    shared.talkMessage = win::RegisterWindowMessage(link::kTalkMessageName);
  }

  void Pump() {
    win::MSG msg;
    while (win::PeekMessage(msg)) {
      if (msg.message == win::WM_QUIT) continue;
      win::DispatchMessage(msg);
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Rig rig;
  const win::HWND to = rig.control.GetSafeHwnd();
  fuzz::ForEachRecord(data, size, [&](std::uint8_t kind, std::span<const std::uint8_t> record) {
    const std::uint8_t* body = record.data();
    const std::size_t n = record.size();
    std::uint8_t words[20] = {};
    std::memcpy(words, body, std::min<std::size_t>(n, sizeof words));
    const auto code = static_cast<win::WPARAM>(Le(words, 4));
    const auto param = static_cast<win::LPARAM>(Le(words + 4, 8));
    switch (kind % 7) {
      case 0:
        win::SendMessage(to, link::kMsgRequest, code, param);
        break;
      case 1:
        win::SendMessage(to, link::kMsgPlaySound, code, param);
        break;
      case 2: {
        // Exit ends the Monitor: not what this target is about.
        if (code != link::notify::kExit) win::SendMessage(to, link::kMsgNotify, code, param);
        break;
      }
      case 3:
        if (code != link::talk::kExitMonitor) win::SendMessage(to, link::kMsgExternalControl, code, param);
        break;
      case 4:
        if (code != link::talk::kExitMonitor) win::SendMessage(to, rig.shared.talkMessage.load(), code, param);
        break;
      case 5: {
        // Copied data: dwData from the first 4 bytes, the rest as payload.
        const auto dwData = static_cast<win::ULONG_PTR>(Le(words, 4));
        const std::uint8_t* payload = n > 4 ? body + 4 : nullptr;
        win::SendCopyData(to, 0, dwData, payload, n > 4 ? n - 4 : 0);
        break;
      }
      default:
        // Any other message number (copied data only as above: in this
        // process its lParam is a pointer).
        if (static_cast<win::UINT>(code) == win::WM_COPYDATA) break;
        win::SendMessage(to, static_cast<win::UINT>(code), static_cast<win::WPARAM>(Le(words + 4, 8)),
                         static_cast<win::LPARAM>(Le(words + 12, 8)));
        break;
    }
    rig.Pump();
  });
  rig.Pump();
  // Whatever was queued for the keyboard thread was taken from the list.
  if (rig.commands.size() != 0) std::abort();
  return 0;
}
