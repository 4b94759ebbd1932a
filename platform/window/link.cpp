// Windows of other processes.
//
// Every process that has windows owns, in the user's runtime folder (mode
// 0700):
//   p-<token>.lock   held with flock for the life of the process: a lock that
//                    can be taken means its owner died, and its files go;
//   p-<token>.sock   the listening local socket that receives its messages;
//   w-<hwnd>.<token> one small entry per window: parent kind, WM_COPYDATA
//                    limit, class name and title (written to a temporary file
//                    and renamed into place, so readers never see half of it);
//   handles          the next free window handle of the session (flock).
// A receiving thread in each process reads the frames of its connections and
// queues them for the owning thread of the target window; a sender waits for
// the reply on its own connection while it keeps handling messages sent to
// its own windows. Payloads above 64 KiB travel in a sealed memfd passed with
// the frame, which the receiver maps read-only (a copy the sender can no
// longer change or shrink).

#include "platform/window/link.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <unordered_map>
#include <vector>

#include "common/log.h"
#include "platform/runtime_folder.h"
#include "platform/window/queue.h"

namespace vyre::win::detail::link {

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

namespace {

// ---------------------------------------------------------------------------
// Frames: 48 bytes, little-endian, optionally followed by an inline payload.
//   0 magic u32 | 4 kind u16 | 6 flags u16 | 8 seq u32 | 12 hwnd u32
//  16 message u32 | 20 cbData u32 | 24 wParam u64 | 32 lParam i64 | 40 dwData u64
// A reply carries the handler's result in lParam and kFlagDelivered.

constexpr std::uint32_t kMagic = 0x314C5756;  // "VWL1"
constexpr std::size_t kFrameSize = 48;
constexpr std::uint32_t kInlineLimit = 64 * 1024;
constexpr std::uint16_t kPost = 1, kSend = 2, kReply = 3;
constexpr std::uint16_t kFlagDescriptor = 1;  // payload in the passed memfd
constexpr std::uint16_t kFlagDelivered = 1;   // reply: the handler ran
constexpr auto kWriteBound = std::chrono::seconds(5);
// What one process holds for its peers at most: open connections, bytes of
// frames that are not complete yet (all connections together), descriptors
// passed ahead of a frame (a frame carries one at most).
constexpr std::size_t kMaxConnections = 256;
// A connection that has not completed a frame this long after it began one
// (or after it was accepted) is closed: a sender writes a frame at once.
constexpr auto kFrameBound = std::chrono::seconds(3);
constexpr std::size_t kMaxUnfinishedBytes = 16u << 20;
constexpr std::size_t kMaxHeldDescriptors = 1;

struct Frame {
  std::uint16_t kind = 0;
  std::uint16_t flags = 0;
  std::uint32_t seq = 0;
  std::uint32_t hwnd = 0;
  std::uint32_t message = 0;
  std::uint32_t cbData = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
  std::uint64_t dwData = 0;
};

void PutLe(std::uint8_t* p, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint64_t GetLe(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
  return v;
}

void Encode(const Frame& f, std::uint8_t* out) {
  PutLe(out + 0, kMagic, 4);
  PutLe(out + 4, f.kind, 2);
  PutLe(out + 6, f.flags, 2);
  PutLe(out + 8, f.seq, 4);
  PutLe(out + 12, f.hwnd, 4);
  PutLe(out + 16, f.message, 4);
  PutLe(out + 20, f.cbData, 4);
  PutLe(out + 24, f.wParam, 8);
  PutLe(out + 32, static_cast<std::uint64_t>(f.lParam), 8);
  PutLe(out + 40, f.dwData, 8);
}

bool Decode(const std::uint8_t* in, Frame& f) {
  if (GetLe(in, 4) != kMagic) return false;
  f.kind = static_cast<std::uint16_t>(GetLe(in + 4, 2));
  f.flags = static_cast<std::uint16_t>(GetLe(in + 6, 2));
  f.seq = static_cast<std::uint32_t>(GetLe(in + 8, 4));
  f.hwnd = static_cast<std::uint32_t>(GetLe(in + 12, 4));
  f.message = static_cast<std::uint32_t>(GetLe(in + 16, 4));
  f.cbData = static_cast<std::uint32_t>(GetLe(in + 20, 4));
  f.wParam = GetLe(in + 24, 8);
  f.lParam = static_cast<std::int64_t>(GetLe(in + 32, 8));
  f.dwData = GetLe(in + 40, 8);
  return true;
}

// ---------------------------------------------------------------------------
// Small file and socket helpers

struct Fd {
  int fd = -1;
  Fd() = default;
  explicit Fd(int f) : fd(f) {}
  Fd(Fd&& o) noexcept : fd(std::exchange(o.fd, -1)) {}
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      reset();
      fd = std::exchange(o.fd, -1);
    }
    return *this;
  }
  ~Fd() { reset(); }
  void reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  explicit operator bool() const { return fd >= 0; }
};

int MsLeft(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Writes everything to a non-blocking socket before the deadline; the first
// chunk may carry a descriptor.
bool SendAll(int fd, const void* head, std::size_t headLen, const void* body, std::size_t bodyLen, int passFd,
             std::chrono::steady_clock::time_point deadline) {
  const auto* h = static_cast<const std::uint8_t*>(head);
  const auto* b = static_cast<const std::uint8_t*>(body);
  std::size_t done = 0;
  const std::size_t total = headLen + bodyLen;
  bool fdSent = passFd < 0;
  while (done < total) {
    iovec iov[2];
    int n = 0;
    if (done < headLen) iov[n++] = {const_cast<std::uint8_t*>(h + done), headLen - done};
    std::size_t bodyDone = done > headLen ? done - headLen : 0;
    if (bodyLen > bodyDone) iov[n++] = {const_cast<std::uint8_t*>(b + bodyDone), bodyLen - bodyDone};
    msghdr mh{};
    mh.msg_iov = iov;
    mh.msg_iovlen = static_cast<std::size_t>(n);
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    if (!fdSent) {
      std::memset(control, 0, sizeof control);
      mh.msg_control = control;
      mh.msg_controllen = sizeof control;
      cmsghdr* c = CMSG_FIRSTHDR(&mh);
      c->cmsg_level = SOL_SOCKET;
      c->cmsg_type = SCM_RIGHTS;
      c->cmsg_len = CMSG_LEN(sizeof(int));
      std::memcpy(CMSG_DATA(c), &passFd, sizeof(int));
    }
    ssize_t w = ::sendmsg(fd, &mh, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
      fdSent = true;
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int left = MsLeft(deadline);
      if (left == 0) return false;
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, left);
      continue;
    }
    return false;
  }
  return true;
}

std::string Hex(std::string_view s) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  out.reserve(s.size() * 2);
  for (unsigned char c : s) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

bool Unhex(std::string_view s, std::string& out) {
  if (s.size() % 2 != 0) return false;
  out.clear();
  auto val = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < s.size(); i += 2) {
    int hi = val(s[i]), lo = val(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

bool ReadSmallFile(const std::string& path, std::string& out) {
  Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!f) return false;
  out.clear();
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(f.fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<std::size_t>(n));
    if (out.size() > (1u << 20)) return false;  // no entry is that large
  }
}

bool WriteAllFd(int fd, const void* data, std::size_t len) {
  const auto* p = static_cast<const char*>(data);
  while (len > 0) {
    ssize_t n = ::write(fd, p, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    len -= static_cast<std::size_t>(n);
  }
  return true;
}

// A parsed window entry of another process.
struct Entry {
  HWND hwnd = 0;
  std::string token;
  HWND parent = 0;
  std::size_t limit = 0;
  std::string className;
  std::string title;
};

bool ParseEntryName(const char* name, HWND* hwnd, std::string* token) {
  // w-<8 hex>.<token>
  if (std::strncmp(name, "w-", 2) != 0 || std::strlen(name) < 12 || name[10] != '.') return false;
  char* end = nullptr;
  unsigned long v = std::strtoul(name + 2, &end, 16);
  if (end != name + 10) return false;
  *hwnd = static_cast<HWND>(v);
  *token = name + 11;
  return !token->empty();
}

bool ParseEntry(const std::string& text, Entry& e) {
  std::size_t pos = 0;
  int fields = 0;
  while (pos < text.size()) {
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string_view line(text.data() + pos, nl - pos);
    pos = nl + 1;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
    std::string v(value);
    if (key == "parent") {
      e.parent = static_cast<HWND>(std::strtoul(v.c_str(), nullptr, 16));
      ++fields;
    } else if (key == "limit") {
      e.limit = static_cast<std::size_t>(std::strtoull(v.c_str(), nullptr, 10));
      ++fields;
    } else if (key == "class") {
      if (!Unhex(value, e.className)) return false;
      ++fields;
    } else if (key == "title") {
      if (!Unhex(value, e.title)) return false;
      ++fields;
    }
  }
  return fields == 4;
}

// ---------------------------------------------------------------------------
// The process's side of the link

class Runtime;

// One accepted connection: frames from one thread of another process.
struct Connection {
  Fd fd;
  std::mutex writeMu;  // replies come from the threads that ran the handlers
  // Read state, touched by the receiving thread only.
  std::uint8_t head[kFrameSize];
  std::size_t headGot = 0;
  Frame frame;
  std::vector<std::uint8_t> body;  // grows with the bytes that came
  std::size_t bodyWant = 0;
  bool inBody = false;
  std::vector<Fd> fds;
  // Whether a frame is under way (from the accept to the first frame, then
  // from a frame's first byte to its end), since when, and the last byte.
  bool framing = true;
  std::chrono::steady_clock::time_point frameStart = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastActive = frameStart;
  // Sends whose handlers have not answered yet (any thread).
  std::atomic<int> awaitingReplies{0};

  // Bytes came: a frame is under way.
  void Active() {
    lastActive = std::chrono::steady_clock::now();
    if (!framing) {
      framing = true;
      frameStart = lastActive;
    }
  }

  void Reply(std::uint32_t seq, bool delivered, LRESULT result) {
    Frame r;
    r.kind = kReply;
    r.flags = delivered ? kFlagDelivered : 0;
    r.seq = seq;
    r.lParam = result;
    std::uint8_t buf[kFrameSize];
    Encode(r, buf);
    std::lock_guard lock(writeMu);
    SendAll(fd.fd, buf, sizeof buf, nullptr, 0, -1, std::chrono::steady_clock::now() + kWriteBound);
  }
};

// A read-only mapping of a received memfd, released with the message.
struct Mapping {
  void* addr = nullptr;
  std::size_t len = 0;
  ~Mapping() {
    if (addr != nullptr) ::munmap(addr, len);
  }
};

class Runtime {
 public:
  static Runtime* Get() {
    static Runtime* runtime = [] {
      auto* r = new Runtime;  // lives to the end of the process; files go at exit
      std::string why;
      if (!r->Start(&why)) {
        delete r;
        FailureReason() = why;
        log::Error("window", why + ": other programs cannot reach this one, nor it them");
        return static_cast<Runtime*>(nullptr);
      }
      std::atexit([] { Get()->Shutdown(); });
      return r;
    }();
    return runtime;
  }

  static std::string& FailureReason() {
    static std::string reason;
    return reason;
  }

  const std::string& Dir() const { return dir_; }
  const std::string& Token() const { return token_; }
  bool Stopped() const { return stopped_.load(); }

  std::string SocketPath(const std::string& token) const { return dir_ + "/p-" + token + ".sock"; }

  HWND AllocateHandle() {
    std::lock_guard lock(handleMu_);
    if (nextHandle_ == handleEnd_ && !ReserveHandles()) return 0;
    return nextHandle_++;
  }

  void Publish(const WindowEntry& e) {
    if (Stopped()) return;
    char parent[16];
    std::snprintf(parent, sizeof parent, "%x", e.parent);
    std::string text = "parent=" + std::string(parent) + "\nlimit=" + std::to_string(e.copyDataLimit) +
                       "\nclass=" + Hex(e.className) + "\ntitle=" + Hex(e.title) + "\n";
    std::string tmp = dir_ + "/t-" + token_ + "." + std::to_string(tmpCounter_.fetch_add(1));
    Fd f(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!f) return;
    bool ok = WriteAllFd(f.fd, text.data(), text.size());
    f.reset();
    if (!ok || ::rename(tmp.c_str(), EntryPath(e.hwnd).c_str()) != 0) ::unlink(tmp.c_str());
  }

  void Unpublish(HWND hwnd) { ::unlink(EntryPath(hwnd).c_str()); }

  std::string EntryPath(HWND hwnd) const {
    char name[16];
    std::snprintf(name, sizeof name, "w-%08x.", hwnd);
    return dir_ + "/" + name + token_;
  }

  // Every window entry of the other processes.
  std::vector<Entry> OtherEntries(HWND only = 0) {
    std::vector<Entry> out;
    DIR* d = ::opendir(dir_.c_str());
    if (d == nullptr) return out;
    while (dirent* de = ::readdir(d)) {
      Entry e;
      if (!ParseEntryName(de->d_name, &e.hwnd, &e.token) || e.token == token_) continue;
      if (only != 0 && e.hwnd != only) continue;
      std::string text;
      if (!ReadSmallFile(dir_ + "/" + de->d_name, text) || !ParseEntry(text, e)) continue;
      out.push_back(std::move(e));
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.hwnd < b.hwnd; });
    return out;
  }

  // True while the process of the token runs; removes what it left when not.
  bool Alive(const std::string& token) {
    if (token == token_) return true;
    Fd lock(::open((dir_ + "/p-" + token + ".lock").c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    // Held: its owner runs (any other failure to lock is taken the same way,
    // so that nothing of a live process is ever removed).
    if (lock && ::flock(lock.fd, LOCK_SH | LOCK_NB) != 0) return true;
    // Either no lock file (its owner is gone) or a lock nobody holds.
    RemoveFilesOf(token);
    return false;
  }

 private:
  bool Start(std::string* why) {
    const std::string base = paths::RuntimeFolder().string();
    if (!paths::PrepareRuntimeFolder(base, why)) return false;
    dir_ = base;
    *why = "the runtime folder " + base + " could not be set up";

    std::random_device rd;
    char token[32];
    std::snprintf(token, sizeof token, "%x%08x", static_cast<unsigned>(::getpid()), static_cast<unsigned>(rd()));
    token_ = token;

    // Take the lock under a temporary name and rename it into place, so that
    // nobody ever sees our lock file without the lock held.
    std::string tmpLock = dir_ + "/t-" + token_ + ".lock";
    lockFd_ = Fd(::open(tmpLock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lockFd_ || ::flock(lockFd_.fd, LOCK_EX | LOCK_NB) != 0 ||
        ::rename(tmpLock.c_str(), (dir_ + "/p-" + token_ + ".lock").c_str()) != 0) {
      ::unlink(tmpLock.c_str());
      return false;
    }

    std::string sock = SocketPath(token_);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (sock.size() >= sizeof addr.sun_path) return Fail();
    std::memcpy(addr.sun_path, sock.c_str(), sock.size() + 1);
    listenFd_ = Fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listenFd_ || ::bind(listenFd_.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_.fd, 64) != 0)
      return Fail();

    stopFd_ = Fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    epollFd_ = Fd(::epoll_create1(EPOLL_CLOEXEC));
    if (!stopFd_ || !epollFd_) return Fail();
    for (int fd : {listenFd_.fd, stopFd_.fd}) {
      epoll_event ev{};
      ev.events = EPOLLIN;
      ev.data.fd = fd;
      ::epoll_ctl(epollFd_.fd, EPOLL_CTL_ADD, fd, &ev);
    }
    Sweep();
    io_ = std::thread([this] { IoLoop(); });
    return true;
  }

  bool Fail() {
    RemoveFilesOf(token_);
    return false;
  }

  // Removes what processes that died left behind.
  void Sweep() {
    std::vector<std::string> tokens;
    DIR* d = ::opendir(dir_.c_str());
    if (d == nullptr) return;
    while (dirent* de = ::readdir(d)) {
      std::string name = de->d_name;
      std::string token;
      HWND h;
      if (name.rfind("p-", 0) == 0 && name.size() > 7 && name.compare(name.size() - 5, 5, ".lock") == 0)
        token = name.substr(2, name.size() - 7);
      else if (name.rfind("p-", 0) == 0 && name.size() > 7 && name.compare(name.size() - 5, 5, ".sock") == 0)
        token = name.substr(2, name.size() - 7);
      else if (!ParseEntryName(name.c_str(), &h, &token))
        continue;
      if (token != token_) tokens.push_back(token);
    }
    ::closedir(d);
    std::sort(tokens.begin(), tokens.end());
    tokens.erase(std::unique(tokens.begin(), tokens.end()), tokens.end());
    for (const auto& t : tokens) Alive(t);
  }

  void RemoveFilesOf(const std::string& token) {
    std::vector<std::string> doomed;
    if (DIR* d = ::opendir(dir_.c_str())) {
      while (dirent* de = ::readdir(d)) {
        std::string name = de->d_name;
        HWND h;
        std::string t;
        if ((ParseEntryName(name.c_str(), &h, &t) && t == token) || name.rfind("t-" + token + ".", 0) == 0)
          doomed.push_back(dir_ + "/" + name);
      }
      ::closedir(d);
    }
    // The lock goes last: while it exists, the process's files are its own.
    doomed.push_back(dir_ + "/p-" + token + ".sock");
    doomed.push_back(dir_ + "/p-" + token + ".lock");
    for (const auto& path : doomed) ::unlink(path.c_str());
  }

  bool ReserveHandles() {
    constexpr std::uint32_t kFirst = 0x10000, kBlock = 256, kLast = 0xFFFF0000u;
    Fd f(::open((dir_ + "/handles").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!f || ::flock(f.fd, LOCK_EX) != 0) return false;
    char buf[32] = {};
    ssize_t n = ::pread(f.fd, buf, sizeof buf - 1, 0);
    std::uint32_t next = n > 0 ? static_cast<std::uint32_t>(std::strtoul(buf, nullptr, 16)) : 0;
    if (next < kFirst || next > kLast - kBlock) next = kFirst;
    char out[32];
    int len = std::snprintf(out, sizeof out, "%08x\n", next + kBlock);
    bool ok = ::pwrite(f.fd, out, static_cast<std::size_t>(len), 0) == len;
    ::flock(f.fd, LOCK_UN);
    if (!ok) return false;
    nextHandle_ = next;
    handleEnd_ = next + kBlock;
    return true;
  }

  void Shutdown() {
    if (stopped_.exchange(true)) return;
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(stopFd_.fd, &one, sizeof one);
    if (io_.joinable()) io_.join();
    connections_.clear();
    listenFd_.reset();
    RemoveFilesOf(token_);
  }

  // --- receiving thread

  void IoLoop() {
    epoll_event events[32];
    for (;;) {
      int n = ::epoll_wait(epollFd_.fd, events, 32, connections_.empty() ? -1 : 1000);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return;
      for (int i = 0; i < n; ++i) {
        int fd = events[i].data.fd;
        if (fd == stopFd_.fd) return;
        if (fd == listenFd_.fd) {
          AcceptAll();
          continue;
        }
        auto it = connections_.find(fd);
        if (it == connections_.end()) continue;
        if (!ReadFrames(it->second)) Drop(fd);
      }
      DropStalled();
    }
  }

  // Closes a connection (for good once no reply is pending on it).
  void Drop(int fd) {
    auto it = connections_.find(fd);
    if (it == connections_.end()) return;
    ::epoll_ctl(epollFd_.fd, EPOLL_CTL_DEL, fd, nullptr);
    unfinishedBytes_ -= it->second->body.size();
    connections_.erase(it);
  }

  // Connections that began a frame (or were accepted) and did not complete
  // it in time hold a place that others need.
  void DropStalled() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<int> stalled;
    for (const auto& [fd, conn] : connections_)
      if (conn->framing && now - conn->frameStart > kFrameBound) stalled.push_back(fd);
    for (int fd : stalled) {
      refused_.Write(log::Format("a connection from another program did not complete a frame within %lld s: "
                                 "it is closed",
                                 static_cast<long long>(kFrameBound.count())));
      Drop(fd);
    }
  }

  // At the limit the connection idle the longest makes room for a new one,
  // unless it waits for an answer; true when there is room.
  bool MakeRoom() {
    if (connections_.size() < kMaxConnections) return true;
    int victim = -1;
    std::chrono::steady_clock::time_point oldest = std::chrono::steady_clock::time_point::max();
    for (const auto& [fd, conn] : connections_) {
      if (conn->awaitingReplies.load() == 0 && conn->lastActive < oldest) {
        oldest = conn->lastActive;
        victim = fd;
      }
    }
    if (victim < 0) return false;
    refused_.Write(log::Format("%zu connections from other programs at once: the one idle the longest is closed",
                               kMaxConnections));
    Drop(victim);
    return true;
  }

  void AcceptAll() {
    for (;;) {
      Fd c(::accept4(listenFd_.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
      if (!c) return;
      ucred cred{};
      socklen_t len = sizeof cred;
      if (::getsockopt(c.fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::getuid())
        continue;  // another user's program: closed unheard
      if (!MakeRoom()) {
        refused_.Write(log::Format("more than %zu connections from other programs at once: a new one is refused",
                                   kMaxConnections));
        continue;
      }
      auto conn = std::make_shared<Connection>();
      conn->fd = std::move(c);
      epoll_event ev{};
      ev.events = EPOLLIN;
      ev.data.fd = conn->fd.fd;
      if (::epoll_ctl(epollFd_.fd, EPOLL_CTL_ADD, conn->fd.fd, &ev) != 0) continue;
      connections_[conn->fd.fd] = std::move(conn);
    }
  }

  // Reads what is there; false when the connection ends or broke the rules.
  bool ReadFrames(const std::shared_ptr<Connection>& conn) {
    Connection& c = *conn;
    for (;;) {
      if (!c.inBody) {
        iovec iov{c.head + c.headGot, kFrameSize - c.headGot};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 4)];
        msghdr mh{};
        mh.msg_iov = &iov;
        mh.msg_iovlen = 1;
        mh.msg_control = control;
        mh.msg_controllen = sizeof control;
        ssize_t n = ::recvmsg(c.fd.fd, &mh, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n <= 0) return false;
        c.Active();
        for (cmsghdr* cm = CMSG_FIRSTHDR(&mh); cm != nullptr; cm = CMSG_NXTHDR(&mh, cm)) {
          if (cm->cmsg_level != SOL_SOCKET || cm->cmsg_type != SCM_RIGHTS) continue;
          std::size_t count = (cm->cmsg_len - CMSG_LEN(0)) / sizeof(int);
          for (std::size_t k = 0; k < count; ++k) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(cm) + k * sizeof(int), sizeof fd);
            c.fds.emplace_back(fd);
          }
        }
        if ((mh.msg_flags & MSG_CTRUNC) != 0) return false;
        if (c.fds.size() > kMaxHeldDescriptors) {
          refused_.Write("a connection passed more descriptors than its frame carries: it is closed");
          return false;
        }
        c.headGot += static_cast<std::size_t>(n);
        if (c.headGot < kFrameSize) continue;
        if (!Decode(c.head, c.frame) || !Valid(c.frame)) return false;
        c.bodyWant = (c.frame.flags & kFlagDescriptor) != 0 ? 0 : c.frame.cbData;
        c.inBody = c.bodyWant > 0;
        if (!c.inBody && !Deliver(conn)) return false;
        continue;
      }
      // The payload is kept as it comes, so that a frame that announces more
      // than it sends holds only what it sent.
      std::uint8_t chunk[16 * 1024];
      std::size_t want = std::min(sizeof chunk, c.bodyWant - c.body.size());
      if (unfinishedBytes_ + want > kMaxUnfinishedBytes) {
        refused_.Write("the unfinished frames of other programs hold too many bytes: a connection is closed");
        return false;
      }
      ssize_t n = ::recv(c.fd.fd, chunk, want, MSG_DONTWAIT);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      if (n <= 0) return false;
      c.Active();
      c.body.insert(c.body.end(), chunk, chunk + n);
      unfinishedBytes_ += static_cast<std::size_t>(n);
      if (c.body.size() == c.bodyWant) {
        c.inBody = false;
        unfinishedBytes_ -= c.body.size();
        if (!Deliver(conn)) return false;
      }
    }
  }

  static bool Valid(const Frame& f) {
    if (f.kind != kPost && f.kind != kSend) return false;
    if ((f.flags & ~kFlagDescriptor) != 0) return false;
    if (f.message == WM_COPYDATA) {
      if (f.kind != kSend) return false;
      return (f.flags & kFlagDescriptor) != 0 || f.cbData <= kInlineLimit;
    }
    return f.cbData == 0 && f.flags == 0;
  }

  // Hands a complete frame to the target window's thread.
  bool Deliver(const std::shared_ptr<Connection>& conn) {
    Connection& c = *conn;
    const Frame f = c.frame;
    c.headGot = 0;
    c.framing = false;
    std::vector<Fd> fds = std::move(c.fds);
    c.fds.clear();
    std::vector<std::uint8_t> body = std::move(c.body);
    c.body.clear();
    const bool wantsFd = (f.flags & kFlagDescriptor) != 0;
    if (fds.size() != (wantsFd ? 1u : 0u)) {
      if (f.kind == kSend) c.Reply(f.seq, false, 0);
      return false;
    }

    std::size_t limit = 0;
    std::shared_ptr<Queue> queue = WindowQueue(f.hwnd, &limit);
    if (queue && RefusedFromOtherProcess(f.hwnd, f.message, f.wParam)) queue.reset();
    if (f.kind == kPost) {
      if (queue && !queue->Post(MSG{f.hwnd, f.message, f.wParam, f.lParam}))
        refused_.Write(log::Format("a window's queue is full: a message %#x from another program is dropped",
                                   f.message));
      return true;
    }

    auto sm = std::make_shared<SentMessage>();
    sm->msg = MSG{f.hwnd, f.message, f.wParam, f.lParam};
    if (queue && f.message == WM_COPYDATA) {
      if (f.cbData > limit) {
        queue.reset();  // larger than the window takes: refused unread
      } else if (wantsFd) {
        auto map = MapPayload(fds[0].fd, f.cbData);
        if (!map) {
          queue.reset();
        } else {
          sm->cds = COPYDATASTRUCT{f.dwData, f.cbData, map->addr};
          sm->payload = std::move(map);
        }
      } else {
        auto bytes = std::make_shared<std::vector<std::uint8_t>>(std::move(body));
        sm->cds = COPYDATASTRUCT{f.dwData, f.cbData, bytes->empty() ? nullptr : bytes->data()};
        sm->payload = std::move(bytes);
      }
      sm->msg.lParam = reinterpret_cast<LPARAM>(&sm->cds);
    }
    if (!queue) {
      c.Reply(f.seq, false, 0);
      return true;
    }
    std::weak_ptr<Connection> weak = conn;
    std::uint32_t seq = f.seq;
    c.awaitingReplies.fetch_add(1);
    sm->reply = [weak, seq](bool delivered, LRESULT result) {
      if (auto target = weak.lock()) {
        target->awaitingReplies.fetch_sub(1);
        target->Reply(seq, delivered, result);
      }
    };
    if (!queue->PushSent(sm)) {
      c.awaitingReplies.fetch_sub(1);
      refused_.Write(log::Format("a window's queue is full: a message %#x sent by another program is refused",
                                 f.message));
      c.Reply(f.seq, false, 0);
    }
    return true;
  }

  // Maps a sealed memfd of at least len bytes; null when it is not one.
  static std::shared_ptr<Mapping> MapPayload(int fd, std::uint32_t len) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < static_cast<off_t>(len)) return nullptr;
    int seals = ::fcntl(fd, F_GET_SEALS);
    // Without these seals the sender could still change the bytes, or shrink
    // the file under the mapping and crash the receiver.
    if (seals < 0 || (seals & (F_SEAL_SHRINK | F_SEAL_WRITE)) != (F_SEAL_SHRINK | F_SEAL_WRITE)) return nullptr;
    auto map = std::make_shared<Mapping>();
    if (len == 0) return map;
    void* addr = ::mmap(nullptr, len, PROT_READ, MAP_PRIVATE, fd, 0);
    if (addr == MAP_FAILED) return nullptr;
    map->addr = addr;
    map->len = len;
    return map;
  }

  std::string dir_;
  std::string token_;
  Fd lockFd_;
  Fd listenFd_;
  Fd stopFd_;
  Fd epollFd_;
  std::thread io_;
  std::atomic<bool> stopped_{false};
  std::unordered_map<int, std::shared_ptr<Connection>> connections_;  // receiving thread only
  std::size_t unfinishedBytes_ = 0;                                   // receiving thread only
  log::RepeatFilter refused_{log::Level::Warning, "window"};
  std::mutex handleMu_;
  std::uint32_t nextHandle_ = 0;
  std::uint32_t handleEnd_ = 0;
  std::atomic<std::uint64_t> tmpCounter_{0};
};

// ---------------------------------------------------------------------------
// The sending side: one connection per sending thread and peer process, so
// that replies need no routing and posts from one thread keep their order.

// A connection to one peer process. Replies are matched by sequence number:
// nested sends (a handler that sends while its thread waits for an answer on
// the same connection) get their answers in any order.
struct OutConn {
  Fd fd;
  bool broken = false;
  std::uint8_t buf[kFrameSize];
  std::size_t got = 0;
  std::unordered_map<std::uint32_t, std::pair<bool, LRESULT>> replies;
  std::unordered_map<std::uint32_t, bool> waiting;

  // Reads the replies that are there; false once the connection is unusable.
  bool Pump() {
    while (!broken) {
      ssize_t n = ::recv(fd.fd, buf + got, sizeof buf - got, MSG_DONTWAIT);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      if (n <= 0) {
        broken = true;
        break;
      }
      got += static_cast<std::size_t>(n);
      if (got < sizeof buf) continue;
      got = 0;
      Frame reply;
      if (!Decode(buf, reply) || reply.kind != kReply) {
        broken = true;
        break;
      }
      // A late answer to a send that gave up is dropped.
      if (waiting.count(reply.seq) != 0) replies[reply.seq] = {(reply.flags & kFlagDelivered) != 0, reply.lParam};
    }
    return false;
  }
};

// One set of connections per sending thread, so that posts from one thread
// keep their order and replies need no routing between threads.
struct OutConnections {
  std::unordered_map<std::string, std::shared_ptr<OutConn>> byToken;
  std::uint32_t seq = 0;
};
thread_local OutConnections t_out;

std::shared_ptr<OutConn> Connect(Runtime& rt, const std::string& token,
                                 std::chrono::steady_clock::time_point deadline) {
  auto it = t_out.byToken.find(token);
  if (it != t_out.byToken.end()) {
    if (!it->second->broken) return it->second;
    t_out.byToken.erase(it);
  }
  std::string path = rt.SocketPath(token);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return nullptr;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  Fd s(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!s) return nullptr;
  for (;;) {
    if (::connect(s.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) break;
    if (errno == EINTR) continue;
    if (errno == EAGAIN && MsLeft(deadline) > 0) {  // the listener's backlog is full
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    if (errno == ECONNREFUSED || errno == ENOENT) rt.Alive(token);  // removes a dead one's files
    return nullptr;
  }
  auto conn = std::make_shared<OutConn>();
  conn->fd = std::move(s);
  t_out.byToken.emplace(token, conn);
  return conn;
}

// Drops the connections of this thread to peers that went away: a peer that
// ends closes its side, which shows as a hang-up. Connections with a send
// waiting on them are left to that send.
void DropGonePeers() {
  if (t_out.byToken.empty()) return;
  std::vector<pollfd> polls;
  std::vector<std::string> tokens;
  for (const auto& [token, conn] : t_out.byToken) {
    polls.push_back(pollfd{conn->fd.fd, POLLRDHUP, 0});
    tokens.push_back(token);
  }
  if (::poll(polls.data(), polls.size(), 0) <= 0) return;
  for (std::size_t i = 0; i < polls.size(); ++i) {
    if ((polls[i].revents & (POLLHUP | POLLRDHUP | POLLERR | POLLNVAL)) == 0) continue;
    auto it = t_out.byToken.find(tokens[i]);
    if (it == t_out.byToken.end() || !it->second->waiting.empty()) continue;
    it->second->broken = true;
    t_out.byToken.erase(it);
  }
}

void Disconnect(const std::string& token, OutConn& conn) {
  conn.broken = true;
  auto it = t_out.byToken.find(token);
  if (it != t_out.byToken.end() && it->second.get() == &conn) t_out.byToken.erase(it);
}

// Writes one frame (and its payload) to the peer.
bool WriteFrame(int fd, Frame f, const void* data, std::chrono::steady_clock::time_point deadline) {
  std::uint8_t head[kFrameSize];
  if (f.message == WM_COPYDATA && f.cbData > kInlineLimit) {
    Fd mem(::memfd_create("vyre-copydata", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!mem || !WriteAllFd(mem.fd, data, f.cbData) ||
        ::fcntl(mem.fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0)
      return false;
    f.flags |= kFlagDescriptor;
    Encode(f, head);
    return SendAll(fd, head, sizeof head, nullptr, 0, mem.fd, deadline);
  }
  Encode(f, head);
  return SendAll(fd, head, sizeof head, data, f.message == WM_COPYDATA ? f.cbData : 0, -1, deadline);
}

bool Resolve(Runtime& rt, HWND hwnd, Entry& entry) {
  auto entries = rt.OtherEntries(hwnd);
  if (entries.empty()) return false;
  entry = std::move(entries.front());
  return true;
}

bool Deliver(HWND hwnd, const Frame& frame, const void* data, std::chrono::milliseconds timeout,
             LRESULT* result) {
  Runtime* rt = Runtime::Get();
  if (rt == nullptr || rt->Stopped()) return false;
  Entry entry;
  if (!Resolve(*rt, hwnd, entry)) return false;
  if (frame.message == WM_COPYDATA && frame.cbData > entry.limit) return false;  // it would refuse it
  const auto deadline = std::chrono::steady_clock::now() + (frame.kind == kPost ? kWriteBound : timeout);

  DropGonePeers();
  auto conn = Connect(*rt, entry.token, deadline);
  if (!conn) return false;
  if (!WriteFrame(conn->fd.fd, frame, data, deadline)) {
    // A cached connection to a peer that went away, or a write cut short:
    // the stream is unusable; try once afresh.
    Disconnect(entry.token, *conn);
    conn = Connect(*rt, entry.token, deadline);
    if (!conn) return false;
    if (!WriteFrame(conn->fd.fd, frame, data, deadline)) {
      Disconnect(entry.token, *conn);
      return false;
    }
  }
  if (frame.kind == kPost) return true;

  // Wait for the reply, handling what other threads or processes send to
  // this thread's windows meanwhile.
  Queue& me = CurrentQueue();
  conn->waiting[frame.seq] = true;
  bool ok = false;
  bool answered = false;
  for (;;) {
    me.Drain();
    conn->Pump();
    if (auto it = conn->replies.find(frame.seq); it != conn->replies.end()) {
      ok = it->second.first;
      if (result != nullptr) *result = ok ? it->second.second : 0;
      conn->replies.erase(it);
      answered = true;
      break;
    }
    if (conn->broken) break;
    if (me.HandleOneSent()) continue;
    int left = MsLeft(deadline);
    if (left == 0) break;
    me.Wait(left, conn->fd.fd);
  }
  conn->waiting.erase(frame.seq);
  if (!answered && conn->broken) Disconnect(entry.token, *conn);
  me.RewakeIfPending();
  return ok;
}

}  // namespace

HWND AllocateHandle() {
  if (Runtime* rt = Runtime::Get()) {
    if (HWND h = rt->AllocateHandle()) return h;
  }
  // No usable runtime folder: this process's windows stay its own. The pid in
  // the high bits keeps handles of such processes apart.
  static std::atomic<std::uint32_t> next{0};
  std::uint32_t n = next.fetch_add(1);
  return 0x10000u + ((static_cast<std::uint32_t>(::getpid()) & 0x3FFFu) << 16) + (n & 0xFFFFu);
}

void Publish(const WindowEntry& entry) {
  if (Runtime* rt = Runtime::Get()) rt->Publish(entry);
}

void Unpublish(HWND hwnd) {
  if (Runtime* rt = Runtime::Get()) rt->Unpublish(hwnd);
}

bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Frame f;
  f.kind = kPost;
  f.hwnd = hwnd;
  f.message = message;
  f.wParam = wParam;
  f.lParam = lParam;
  return Deliver(hwnd, f, nullptr, kWriteBound, nullptr);
}

bool Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, std::chrono::milliseconds timeout,
          LRESULT* result) {
  if (result != nullptr) *result = 0;
  Frame f;
  f.kind = kSend;
  f.seq = ++t_out.seq;
  f.hwnd = hwnd;
  f.message = message;
  f.wParam = wParam;
  const void* data = nullptr;
  if (message == WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (cds == nullptr || (cds->cbData > 0 && cds->lpData == nullptr)) return false;
    f.cbData = cds->cbData;
    f.dwData = cds->dwData;
    data = cds->lpData;
  } else {
    f.lParam = lParam;
  }
  return Deliver(hwnd, f, data, timeout, result);
}

HWND Find(const char* className, const char* title) {
  Runtime* rt = Runtime::Get();
  if (rt == nullptr) return 0;
  for (const Entry& e : rt->OtherEntries()) {
    if (e.parent != HWND_DESKTOP && e.parent != HWND_MESSAGE) continue;
    if (className != nullptr && !SameText(e.className, className)) continue;
    if (title != nullptr && !SameText(e.title, title)) continue;
    if (rt->Alive(e.token)) return e.hwnd;
  }
  return 0;
}

bool Available(std::string* why) {
  if (Runtime::Get() != nullptr) return true;
  if (why != nullptr) *why = Runtime::FailureReason();
  return false;
}

bool Exists(HWND hwnd) {
  Runtime* rt = Runtime::Get();
  Entry e;
  return rt != nullptr && Resolve(*rt, hwnd, e) && rt->Alive(e.token);
}

void Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
  Runtime* rt = Runtime::Get();
  if (rt == nullptr) return;
  std::unordered_map<std::string, bool> alive;
  for (const Entry& e : rt->OtherEntries()) {
    if (e.parent != HWND_DESKTOP) continue;
    auto it = alive.find(e.token);
    if (it == alive.end()) it = alive.emplace(e.token, rt->Alive(e.token)).first;
    if (it->second) Post(e.hwnd, message, wParam, lParam);
  }
}

}  // namespace vyre::win::detail::link
