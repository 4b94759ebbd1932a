#include "platform/window/link.h"

#include <unistd.h>

#include <atomic>

namespace vyre::win::detail::link {

HWND AllocateHandle() {
  // Process-local handles: pid in the high bits keeps them apart across
  // processes; 0x10000 and above stays clear of HWND_BROADCAST.
  static std::atomic<std::uint32_t> next{0};
  std::uint32_t n = next.fetch_add(1);
  return 0x10000u + ((static_cast<std::uint32_t>(::getpid()) & 0x3FFFu) << 16) + (n & 0xFFFFu);
}

void Publish(const WindowEntry&) {}
void Unpublish(HWND) {}
bool Post(HWND, UINT, WPARAM, LPARAM) { return false; }
bool Send(HWND, UINT, WPARAM, LPARAM, std::chrono::milliseconds, LRESULT* result) {
  if (result != nullptr) *result = 0;
  return false;
}
HWND Find(const char*, const char*) { return 0; }
bool Exists(HWND) { return false; }
void Broadcast(UINT, WPARAM, LPARAM) {}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace vyre::win::detail::link
