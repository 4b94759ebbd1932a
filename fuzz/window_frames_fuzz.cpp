// The window layer's frame reader with whatever a peer process may send:
// every field of the 48-byte header, inline payloads, passed descriptors
// (sealed or not, of any size), frames cut short. The receiving process must
// neither crash nor keep what a closed connection brought, and it answers
// its own messages throughout.
//
// Input: one byte of options, then the bytes written to the connection.
//   bit 0: pass a memfd with the first bytes; bit 1: seal it; bit 2: write
//   this process's window handle into every header's target field.

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/window.h"
#include "tests/support/raw_socket.h"

namespace {

using namespace vyre::win;

constexpr std::size_t kFrameSize = 48;

int OpenDescriptors() {
  int n = 0;
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (dirent* de = ::readdir(d))
      if (de->d_name[0] != '.') ++n;
    ::closedir(d);
  }
  return n;
}

struct Receiver {
  std::string socketPath;
  Window window;
  std::uint64_t sum = 0;
  int baseline = 0;

  Receiver() {
    char tmpl[] = "/tmp/vyre-fuzz-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) std::abort();
    ::setenv("VYRE_LUMO_RUNTIME_DIR", tmpl, 1);
    window.SetCopyDataLimit(1 << 20);
    window.Messages().OnCopyData([this](HWND, const COPYDATASTRUCT& cds) -> LRESULT {
      const auto* p = static_cast<const std::uint8_t*>(cds.lpData);
      for (std::size_t i = 0; i < cds.cbData; ++i) sum += p[i];  // every byte is readable
      return static_cast<LRESULT>(cds.cbData);
    });
    window.Messages().OnDefault([](UINT, WPARAM wParam, LPARAM lParam) {
      return static_cast<LRESULT>(wParam + static_cast<WPARAM>(lParam));  // wraps, as any values may come
    });
    if (!window.Create("VyreFuzzClass", "Fuzz Receiver")) std::abort();
    if (DIR* d = ::opendir(tmpl)) {
      while (dirent* de = ::readdir(d)) {
        std::string name = de->d_name;
        if (name.rfind("p-", 0) == 0 && name.size() > 5 && name.compare(name.size() - 5, 5, ".sock") == 0)
          socketPath = std::string(tmpl) + "/" + name;
      }
      ::closedir(d);
    }
    if (socketPath.empty()) std::abort();
    baseline = OpenDescriptors();
  }

  void Pump() {
    MSG msg;
    while (PeekMessage(msg)) DispatchMessage(msg);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Receiver receiver;
  static unsigned runs = 0;
  if (size == 0) return 0;
  const std::uint8_t options = data[0];
  std::vector<std::uint8_t> bytes(data + 1, data + size);
  if ((options & 4) != 0) {
    const HWND h = receiver.window.GetSafeHwnd();
    for (std::size_t at = 12; at + 4 <= bytes.size(); at += kFrameSize)
      for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(h >> (8 * i));
  }

  const int s = vyre::testing::RawConnect(receiver.socketPath);
  if (s < 0) std::abort();

  std::size_t first = std::min<std::size_t>(bytes.size(), kFrameSize);
  int mem = -1;
  if ((options & 1) != 0) {
    mem = ::memfd_create("fuzz", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    const std::size_t n = std::min<std::size_t>(bytes.size(), 4096);
    if (n > 0 && ::write(mem, bytes.data(), n) < 0) std::abort();
    if ((options & 2) != 0) ::fcntl(mem, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
  }
  const std::uint8_t none = 0;
  if (first > 0 || mem >= 0)
    vyre::testing::SendWithDescriptors(s, first > 0 ? bytes.data() : &none, first > 0 ? first : 1,
                                       mem >= 0 ? std::vector<int>{mem} : std::vector<int>{});
  if (mem >= 0) ::close(mem);
  if (bytes.size() > first) ::send(s, bytes.data() + first, bytes.size() - first, MSG_NOSIGNAL);
  ::shutdown(s, SHUT_WR);

  // Answers are read until the receiver closes its side, which it does once
  // it has read everything; meanwhile this thread handles what was sent to
  // its window.
  for (int waited = 0; waited < 5000; ++waited) {
    receiver.Pump();
    pollfd p{s, POLLIN, 0};
    if (::poll(&p, 1, 1) <= 0) continue;
    char reply[256];
    if (::recv(s, reply, sizeof reply, MSG_DONTWAIT) == 0) break;
  }
  ::close(s);
  receiver.Pump();

  // A finished connection leaves no descriptor behind, and the window still
  // answers.
  if (++runs % 64 == 0) {
    if (OpenDescriptors() > receiver.baseline + 16) std::abort();
    if (SendMessage(receiver.window.GetSafeHwnd(), WM_USER + 7, 3, 4) != 7) std::abort();
  }
  return 0;
}
