// Windows of two real processes: this test and the window_peer program.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/window.h"
#include "tests/support/raw_socket.h"

namespace vyre::win {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string PeerPath() {
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "window_peer";
  self[n] = '\0';
  std::string dir(self);
  return dir.substr(0, dir.rfind('/')) + "/window_peer";
}

// The peer program, killed when the test is done with it.
class Peer {
 public:
  Peer(const std::string& title, std::size_t limit) : title_(title) {
    std::string path = PeerPath();
    std::string limitText = std::to_string(limit);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl(path.c_str(), path.c_str(), title.c_str(), limitText.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    auto end = Clock::now() + 20s;
    while (Clock::now() < end && (hwnd_ = FindWindow("VyrePeerClass", title.c_str())) == 0)
      std::this_thread::sleep_for(5ms);
  }
  ~Peer() { Kill(); }

  HWND hwnd() const { return hwnd_; }
  pid_t pid() const { return pid_; }
  void Kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  std::string title_;
  pid_t pid_ = -1;
  HWND hwnd_ = 0;
};

std::int64_t Fnv(const void* data, std::size_t n) {
  std::uint32_t h = 2166136261u;
  const auto* p = static_cast<const std::uint8_t*>(data);
  for (std::size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
  return static_cast<std::int64_t>(h & 0x7FFFFFFF);
}

std::vector<std::uint8_t> Pattern(std::size_t n) {
  std::vector<std::uint8_t> v(n);
  std::uint32_t x = 12345;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return v;
}

// The names in the runtime folder that belong to a process.
std::vector<std::string> FilesOf(pid_t pid) {
  std::vector<std::string> out;
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "%x", static_cast<unsigned>(pid));
  const char* dir = std::getenv("VYRE_LUMO_RUNTIME_DIR");
  if (DIR* d = ::opendir(dir)) {
    while (dirent* de = ::readdir(d)) {
      std::string name = de->d_name;
      if (name.size() < 3) continue;
      auto dot = name.find('.');
      std::string token = name.rfind("w-", 0) == 0 ? name.substr(dot + 1) : name.substr(2);
      bool ours = token.rfind(prefix, 0) == 0 && token.size() == std::strlen(prefix) + 8 + (name[0] == 'p' ? 5 : 0);
      if ((name.rfind("w-", 0) == 0 || name.rfind("p-", 0) == 0) && ours) out.push_back(name);
    }
    ::closedir(d);
  }
  return out;
}

std::string SocketOf(pid_t pid) {
  for (const auto& name : FilesOf(pid))
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".sock") == 0)
      return std::string(std::getenv("VYRE_LUMO_RUNTIME_DIR")) + "/" + name;
  return {};
}

using testing::RawConnect;
using testing::SendWithDescriptors;

// A frame header as the link writes it (sequence number 1), for frames a
// well-behaved sender would never write.
std::vector<std::uint8_t> RawFrame(HWND to, std::uint16_t kind, std::uint16_t flags, std::uint32_t message,
                                   std::uint32_t cbData) {
  std::vector<std::uint8_t> f(48, 0);
  auto put = [&](std::size_t at, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put(0, 0x314C5756, 4);
  put(4, kind, 2);
  put(6, flags, 2);
  put(8, 1, 4);
  put(12, to, 4);
  put(16, message, 4);
  put(20, cbData, 4);
  return f;
}

TEST(WindowLink, PostsKeepTheirOrderAndSendsReturnTheResultBothWays) {
  Peer peer("Vyre Peer Order", kDefaultCopyDataLimit);
  ASSERT_NE(peer.hwnd(), 0u);
  EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 7, 42), 7042);
  EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 1, -5), 995);  // negative lParam crosses intact

  constexpr int kCount = 3000;
  for (int i = 0; i < kCount; ++i) ASSERT_TRUE(PostMessage(peer.hwnd(), WM_USER + 2, 0, i));
  auto end = Clock::now() + 20s;
  LRESULT count = 0;
  while (Clock::now() < end && (count = SendMessage(peer.hwnd(), WM_USER + 3)) != kCount && count >= 0)
    std::this_thread::sleep_for(5ms);
  EXPECT_EQ(count, kCount);

  // And from the peer to a window of this process.
  LPARAM expected = 0;
  bool outOfOrder = false;
  Window mine;
  mine.Messages().On(WM_USER + 2, [&](WPARAM, LPARAM l) {
    if (l == expected) ++expected;
    else outOfOrder = true;
    return 0;
  });
  ASSERT_TRUE(mine.Create("VyreTestClass", "Order Receiver"));
  EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 13, mine.GetSafeHwnd(), kCount), 1);
  end = Clock::now() + 20s;
  MSG msg;
  while (Clock::now() < end && expected < kCount && !outOfOrder) {
    if (PeekMessage(msg)) DispatchMessage(msg);
    else std::this_thread::sleep_for(1ms);
  }
  EXPECT_FALSE(outOfOrder);
  EXPECT_EQ(expected, kCount);
  mine.DestroyWindow();
}

TEST(WindowLink, TwoProcessesThatSendToEachOtherAtOnceBothFinish) {
  Peer peer("Vyre Peer Cross", kDefaultCopyDataLimit);
  ASSERT_NE(peer.hwnd(), 0u);
  Window mine;
  mine.Messages().On(WM_USER + 4, [](WPARAM target, LPARAM) {
    return SendMessage(static_cast<HWND>(target), WM_USER + 5) + 1;
  });
  mine.Messages().On(WM_USER + 5, [](WPARAM, LPARAM) -> LRESULT { return 100; });
  ASSERT_TRUE(mine.Create("VyreTestClass", "Cross Sender"));
  const HWND me = mine.GetSafeHwnd();

  for (int round = 0; round < 20; ++round) {
    // The peer starts a send to this window while this thread sends to the
    // peer; each handler sends back to the other side.
    ASSERT_TRUE(PostMessage(peer.hwnd(), WM_USER + 11, me));
    EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 4, me), 101);
    // The peer's own send may still be on its way; it is answered while this
    // thread waits in its sends or pumps.
    LRESULT own = 0;
    auto end = Clock::now() + 20s;
    MSG msg;
    while (Clock::now() < end && (own = SendMessage(peer.hwnd(), WM_USER + 12)) == 0)
      if (PeekMessage(msg)) DispatchMessage(msg);
    EXPECT_EQ(own, 101);
  }
  mine.DestroyWindow();
}

TEST(WindowLink, LargeCopiesArriveWholeWithinTheReceiversBound) {
  Peer big("Vyre Peer Big", 64u << 20);
  Peer control("Vyre Peer Control", 1408590);
  ASSERT_NE(big.hwnd(), 0u);
  ASSERT_NE(control.hwnd(), 0u);

  auto check = [](HWND to, std::size_t size, ULONG_PTR tag) {
    auto data = Pattern(size);
    LRESULT r = 0;
    bool ok = SendCopyData(to, 77, tag, data.data(), data.size(), 20s, &r);
    return ok && r == ((static_cast<LRESULT>(size) << 32) | Fnv(data.data(), data.size()));
  };
  EXPECT_TRUE(check(big.hwnd(), 1408598, (33u << 16) | 1031));
  EXPECT_TRUE(check(big.hwnd(), 20u << 20, (25u << 16) | 1032));
  EXPECT_TRUE(check(big.hwnd(), 37, (19u << 16) | 1031));
  EXPECT_TRUE(check(big.hwnd(), 0, (15u << 16) | 1032));
  EXPECT_TRUE(check(big.hwnd(), 64 * 1024, 1));      // the largest inline payload
  EXPECT_TRUE(check(big.hwnd(), 64 * 1024 + 1, 1));  // the smallest shared one

  EXPECT_TRUE(check(control.hwnd(), 1408590, (33u << 16) | 1031));
  auto tooLarge = Pattern(1408591);
  LRESULT r = 5;
  EXPECT_FALSE(SendCopyData(control.hwnd(), 77, 1, tooLarge.data(), tooLarge.size(), 5s, &r));
  EXPECT_EQ(r, 0);
  EXPECT_TRUE(check(control.hwnd(), 470879, (12u << 16) | 1031));  // still serving
}

TEST(WindowLink, MalformedAndOversizedFramesAreRefusedWithoutHarm) {
  Peer peer("Vyre Peer Rough", 1000);
  ASSERT_NE(peer.hwnd(), 0u);
  const std::string sock = SocketOf(peer.pid());
  ASSERT_FALSE(sock.empty());

  auto frame = [&](std::uint16_t kind, std::uint16_t flags, std::uint32_t message, std::uint32_t cbData) {
    return RawFrame(peer.hwnd(), kind, flags, message, cbData);
  };
  auto shoot = [&](const std::vector<std::uint8_t>& bytes, int passFd = -1) {
    int s = RawConnect(sock);
    ASSERT_GE(s, 0);
    SendWithDescriptors(s, bytes.data(), bytes.size(), passFd >= 0 ? std::vector<int>{passFd} : std::vector<int>{});
    // Whatever the peer answers, it must not be a successful delivery.
    char reply[48];
    timeval tv{2, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ssize_t n = ::recv(s, reply, sizeof reply, MSG_WAITALL);
    if (n == 48) {
      EXPECT_EQ(reply[6] & 1, 0);
    }
    ::close(s);
  };

  shoot(std::vector<std::uint8_t>(48, 0xAB));               // no frame at all
  shoot(frame(9, 0, WM_USER + 1, 0));                        // unknown kind
  shoot(frame(2, 0, WM_COPYDATA, 0xFFFFFFF0u));              // inline payload beyond any bound
  shoot(frame(2, 0, WM_USER + 1, 100));                      // bytes on a plain message
  shoot(frame(1, 0, WM_COPYDATA, 10));                       // WM_COPYDATA posted
  shoot(frame(2, 1, WM_COPYDATA, 100));                      // shared payload without descriptor
  {
    int mem = ::memfd_create("unsealed", MFD_CLOEXEC);
    std::vector<std::uint8_t> data(500, 1);
    ASSERT_EQ(::write(mem, data.data(), data.size()), 500);
    shoot(frame(2, 1, WM_COPYDATA, 500), mem);               // could still be shrunk under the reader
    ::close(mem);
  }
  {
    int mem = ::memfd_create("short", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    ASSERT_EQ(::ftruncate(mem, 10), 0);
    ::fcntl(mem, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE);
    shoot(frame(2, 1, WM_COPYDATA, 500), mem);               // shorter than it claims
    ::close(mem);
  }
  shoot(frame(2, 0, WM_COPYDATA, 0xFFFF));                   // promised bytes never come
  auto half = frame(2, 0, WM_USER + 1, 0);
  half.resize(20);
  shoot(half);                                               // cut short

  // The peer is unharmed and still refuses what exceeds its bound.
  EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 2, 3), 2003);
  auto data = Pattern(1001);
  EXPECT_FALSE(SendCopyData(peer.hwnd(), 0, 1, data.data(), data.size(), 5s));
  EXPECT_TRUE(SendCopyData(peer.hwnd(), 0, 1, data.data(), 1000, 5s));
}

TEST(WindowLink, FindWindowSeesTheOtherProgramWithoutRegardToCase) {
  Peer peer("Vyre Lumo Configuration DataWork Wnd", kDefaultCopyDataLimit);
  ASSERT_NE(peer.hwnd(), 0u);
  EXPECT_EQ(FindWindow(nullptr, "VYRE LUMO CONFIGURATION DATAWORK WND"), peer.hwnd());
  EXPECT_EQ(FindWindow("vyrepeerclass", nullptr), peer.hwnd());
  EXPECT_EQ(FindWindow("VyrePeerClass", "Another Title"), 0u);
  EXPECT_TRUE(IsWindow(peer.hwnd()));

  // Handles are unique across the two processes.
  Window mine;
  ASSERT_TRUE(mine.Create("VyreTestClass", "Mine"));
  EXPECT_NE(mine.GetSafeHwnd(), peer.hwnd());
  mine.DestroyWindow();

  // A broadcast reaches the peer's top-level window.
  const UINT talk = RegisterWindowMessage("WM_TALK_MSG");
  EXPECT_TRUE(PostMessage(HWND_BROADCAST, talk, 11, 0));
  EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 1, 1), 1001);
}

TEST(WindowLink, AKilledProgramLeavesNothingThatBlocksANewOne) {
  HWND old;
  pid_t oldPid;
  {
    Peer first("Vyre Lumo Monitor Application", kDefaultCopyDataLimit);
    ASSERT_NE(first.hwnd(), 0u);
    old = first.hwnd();
    oldPid = first.pid();
    EXPECT_FALSE(FilesOf(oldPid).empty());
    first.Kill();  // SIGKILL: no chance to clean up
  }
  // Sends to the dead program fail within their bound, and its entries go.
  auto begin = Clock::now();
  LRESULT r = 9;
  EXPECT_FALSE(SendMessageTimeout(old, WM_USER + 1, 1, 1, 3s, &r));
  EXPECT_EQ(r, 0);
  EXPECT_LT(Clock::now() - begin, 6s);
  EXPECT_FALSE(PostMessage(old, WM_USER + 1));
  EXPECT_EQ(FindWindow(nullptr, "Vyre Lumo Monitor Application"), 0u);
  EXPECT_TRUE(FilesOf(oldPid).empty());

  Peer second("Vyre Lumo Monitor Application", kDefaultCopyDataLimit);
  ASSERT_NE(second.hwnd(), 0u);
  EXPECT_NE(second.hwnd(), old);
  EXPECT_EQ(SendMessage(second.hwnd(), WM_USER + 1, 4, 4), 4004);
}

TEST(WindowLink, ASendToAHungProgramFailsWithinItsBound) {
  Peer peer("Vyre Peer Hung", kDefaultCopyDataLimit);
  ASSERT_NE(peer.hwnd(), 0u);
  ASSERT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 1, 2), 1002);
  ::kill(peer.pid(), SIGSTOP);
  auto begin = Clock::now();
  LRESULT r = 9;
  EXPECT_FALSE(SendMessageTimeout(peer.hwnd(), WM_USER + 1, 1, 2, 300ms, &r));
  EXPECT_LT(Clock::now() - begin, 5s);
  auto data = Pattern(1408590);
  begin = Clock::now();
  EXPECT_FALSE(SendCopyData(peer.hwnd(), 0, 1, data.data(), data.size(), 300ms, &r));
  EXPECT_LT(Clock::now() - begin, 5s);
  ::kill(peer.pid(), SIGCONT);
  // Once it runs again it answers new sends (late answers are not mistaken
  // for them).
  EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 3, 4), 3004);
}


// The number of open descriptors of a process.
int DescriptorsOf(pid_t pid) {
  int n = 0;
  std::string path = "/proc/" + std::to_string(pid) + "/fd";
  if (DIR* d = ::opendir(path.c_str())) {
    while (dirent* de = ::readdir(d))
      if (de->d_name[0] != '.') ++n;
    ::closedir(d);
  }
  return n;
}

// Resident memory of a process in KiB.
long ResidentKib(pid_t pid) {
  std::string path = "/proc/" + std::to_string(pid) + "/status";
  FILE* f = std::fopen(path.c_str(), "r");
  if (f == nullptr) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f) != nullptr)
    if (std::sscanf(line, "VmRSS: %ld", &kib) == 1) break;
  std::fclose(f);
  return kib;
}

// A short-lived client as another process shows itself in the runtime
// folder: its held lock, its listening socket and one top-level window entry.
// Played in this process with plain system calls, so that thousands of them
// take no more than a moment.
class FakeClient {
 public:
  FakeClient(const std::string& token, HWND hwnd) : token_(token), hwnd_(hwnd) {
    dir_ = std::getenv("VYRE_LUMO_RUNTIME_DIR");
    lock_ = ::open(Path("p-" + token + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ::flock(lock_, LOCK_EX);
    listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, Path("p-" + token + ".sock").c_str(), sizeof addr.sun_path - 1);
    ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listen_, 4);
    char name[32];
    std::snprintf(name, sizeof name, "w-%08x.", hwnd);
    entry_ = Path(name + token);
    // parent 0, the default limit, class "Fake", title "Client"
    std::string text = "parent=0\nlimit=4194304\nclass=46616b65\ntitle=436c69656e74\n";
    int f = ::open(entry_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_EQ(::write(f, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(f);
  }
  // Takes the connection the other side opened and reads one frame from it.
  bool ReceiveOne() {
    pollfd p{listen_, POLLIN, 0};
    if (accepted_ < 0) {
      if (::poll(&p, 1, 5000) != 1) return false;
      accepted_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    }
    char frame[48];
    return accepted_ >= 0 && ::recv(accepted_, frame, sizeof frame, MSG_WAITALL) == 48;
  }
  // The client ends: its sockets close, its files go, its lock is free.
  ~FakeClient() {
    if (accepted_ >= 0) ::close(accepted_);
    ::close(listen_);
    ::unlink(entry_.c_str());
    ::unlink(Path("p-" + token_ + ".sock").c_str());
    ::unlink(Path("p-" + token_ + ".lock").c_str());
    ::close(lock_);
  }

 private:
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string dir_, token_, entry_;
  HWND hwnd_;
  int lock_ = -1, listen_ = -1, accepted_ = -1;
};

TEST(WindowLink, ClientsThatComeAndGoLeaveNoDescriptorsBehind) {
  constexpr int kSessions = 2000;
  int before = 0;
  for (int i = 0; i < kSessions; ++i) {
    char token[16];
    std::snprintf(token, sizeof token, "fa%06x", i);
    FakeClient client(token, 0xFE000000u + static_cast<HWND>(i));
    ASSERT_TRUE(PostMessage(0xFE000000u + static_cast<HWND>(i), WM_USER + 1, 1, 2));
    ASSERT_TRUE(client.ReceiveOne());
    if (i == 10) before = DescriptorsOf(::getpid());
  }
  // A real one still gets its messages after all of them went.
  Peer peer("Vyre Peer After Clients", kDefaultCopyDataLimit);
  ASSERT_NE(peer.hwnd(), 0u);
  EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 2, 2), 2002);
  peer.Kill();
  EXPECT_FALSE(PostMessage(peer.hwnd(), WM_USER + 1, 1, 2));
  EXPECT_LE(DescriptorsOf(::getpid()), before + 2);
}

TEST(WindowLink, AHostileClientCannotMakeTheReceiverHoldWithoutBound) {
  Peer peer("Vyre Peer Bounds", kDefaultCopyDataLimit);
  ASSERT_NE(peer.hwnd(), 0u);
  const std::string sock = SocketOf(peer.pid());
  ASSERT_FALSE(sock.empty());
  ASSERT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 1, 1), 1001);
  const int fdsBefore = DescriptorsOf(peer.pid());
  const long rssBefore = ResidentKib(peer.pid());

  // Descriptors passed with the pieces of a header that never completes.
  {
    int s = RawConnect(sock);
    ASSERT_GE(s, 0);
    std::vector<int> mems;
    for (int i = 0; i < 4; ++i) mems.push_back(::memfd_create("held", MFD_CLOEXEC));
    const std::uint8_t byte = 0x56;
    for (int i = 0; i < 40; ++i) SendWithDescriptors(s, &byte, 1, mems);
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(DescriptorsOf(peer.pid()), fdsBefore + 8);
    for (int m : mems) ::close(m);
    ::close(s);
  }

  // Many connections that each announce the largest inline payload and send
  // almost none of it, held open.
  {
    std::vector<int> held;
    auto announce = RawFrame(peer.hwnd(), 2, 0, WM_COPYDATA, 64 * 1024);
    announce.push_back(1);
    for (int i = 0; i < 1500; ++i) {
      int s = RawConnect(sock);
      if (s < 0) break;
      held.push_back(s);
      ::send(s, announce.data(), announce.size(), MSG_NOSIGNAL);
    }
    std::this_thread::sleep_for(500ms);
    EXPECT_LE(DescriptorsOf(peer.pid()), fdsBefore + 300);
    EXPECT_LT(ResidentKib(peer.pid()) - rssBefore, 24 * 1024);
    for (int s : held) ::close(s);
  }

  // What the closed connections held is gone, and the peer serves as before.
  auto end = Clock::now() + 10s;
  while (Clock::now() < end && DescriptorsOf(peer.pid()) > fdsBefore + 2) std::this_thread::sleep_for(20ms);
  EXPECT_LE(DescriptorsOf(peer.pid()), fdsBefore + 2);
  EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 2, 3), 2003);
}

// Connections that are opened and then say nothing (more than the receiver
// keeps at once) neither keep a program that talks out nor stay for ever.
TEST(WindowLink, IdleConnectionsNeitherLockOthersOutNorStay) {
  Peer peer("Vyre Peer Idle", kDefaultCopyDataLimit);
  ASSERT_NE(peer.hwnd(), 0u);
  const std::string sock = SocketOf(peer.pid());
  ASSERT_FALSE(sock.empty());
  std::vector<int> idle;
  for (int i = 0; i < 300; ++i) {
    int s = RawConnect(sock);
    if (s >= 0) idle.push_back(s);
  }
  ASSERT_FALSE(idle.empty());
  EXPECT_EQ(SendMessage(peer.hwnd(), WM_USER + 1, 2, 3), 2003);
  pollfd p{idle.back(), POLLRDHUP, 0};
  EXPECT_EQ(::poll(&p, 1, 30000), 1);  // closed by the peer
  for (int s : idle) ::close(s);
}

}  // namespace
}  // namespace vyre::win
