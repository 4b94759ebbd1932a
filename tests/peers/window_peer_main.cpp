// A second program for the window tests: one top-level window that answers
// the messages the tests send it from another process.
//   window_peer <title> <copy data limit>

#include <sys/prctl.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/window.h"

using namespace vyre::win;

namespace {

std::int64_t Fnv(const void* data, std::size_t n) {
  std::uint32_t h = 2166136261u;
  const auto* p = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return static_cast<std::int64_t>(h & 0x7FFFFFFF);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive the test

  Window w;
  w.SetCopyDataLimit(std::strtoull(argv[2], nullptr, 10));
  LPARAM expected = 0;
  bool outOfOrder = false;
  LRESULT ownSend = 0;
  auto& m = w.Messages();
  m.On(WM_USER + 1, [](WPARAM wp, LPARAM lp) { return static_cast<LRESULT>(wp) * 1000 + lp; });
  m.On(WM_USER + 2, [&](WPARAM, LPARAM lp) {
    if (lp == expected) ++expected;
    else outOfOrder = true;
    return 0;
  });
  m.On(WM_USER + 3, [&](WPARAM, LPARAM) { return outOfOrder ? -1 : expected; });
  // Sends to the given window while the sender waits for this very handler.
  m.On(WM_USER + 4, [](WPARAM target, LPARAM) {
    return SendMessage(static_cast<HWND>(target), WM_USER + 5) + 1;
  });
  m.On(WM_USER + 5, [](WPARAM, LPARAM) -> LRESULT { return 100; });
  m.On(WM_USER + 9, [](WPARAM, LPARAM) {
    PostQuitMessage(0);
    return 0;
  });
  // Starts a send of its own to the given window, whose thread is about to
  // send to this one.
  m.On(WM_USER + 11, [&](WPARAM target, LPARAM) {
    ownSend = SendMessage(static_cast<HWND>(target), WM_USER + 4, w.GetSafeHwnd());
    return 0;
  });
  m.On(WM_USER + 12, [&](WPARAM, LPARAM) { return std::exchange(ownSend, 0); });
  // Posts to the given window the order check of posts in the other direction.
  m.On(WM_USER + 13, [](WPARAM target, LPARAM count) {
    for (LPARAM i = 0; i < count; ++i) PostMessage(static_cast<HWND>(target), WM_USER + 2, 0, i);
    return 1;
  });
  m.OnCopyData([](HWND, const COPYDATASTRUCT& cds) -> LRESULT {
    return (static_cast<LRESULT>(cds.cbData) << 32) | Fnv(cds.lpData, cds.cbData);
  });
  m.On(WM_TIMER, 1, [](WPARAM, LPARAM) {
    PostQuitMessage(3);  // a forgotten peer ends by itself
    return 0;
  });
  if (!w.Create("VyrePeerClass", argv[1])) return 1;
  w.SetTimer(1, 120000);
  return RunMessageLoop();
}
