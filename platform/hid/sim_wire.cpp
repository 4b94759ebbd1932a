#include "platform/hid/sim_wire.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace vyre::hid::wire {

void Writer::U16(std::uint16_t v) {
    U8(static_cast<std::uint8_t>(v & 0xFF));
    U8(static_cast<std::uint8_t>(v >> 8));
}
void Writer::U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v & 0xFFFF));
    U16(static_cast<std::uint16_t>(v >> 16));
}
void Writer::U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v & 0xFFFFFFFFu));
    U32(static_cast<std::uint32_t>(v >> 32));
}
void Writer::Bytes(const std::uint8_t* data, std::size_t n) {
    if (n) bytes_.insert(bytes_.end(), data, data + n);
}
void Writer::Str(std::string_view s) {
    const std::size_t n = s.size() > 0xFFFF ? 0xFFFF : s.size();
    U16(static_cast<std::uint16_t>(n));
    Bytes(reinterpret_cast<const std::uint8_t*>(s.data()), n);
}
void Writer::Info(const DeviceInfo& info) {
    U16(info.vendorId);
    U16(info.productId);
    U16(info.usagePage);
    U16(info.usage);
    Str(info.path);
}

bool Reader::Take(std::size_t n, const std::uint8_t*& p) {
    if (!ok_ || size_ - pos_ < n) {
        ok_ = false;
        return false;
    }
    p = data_ + pos_;
    pos_ += n;
    return true;
}
bool Reader::U8(std::uint8_t& v) {
    const std::uint8_t* p;
    if (!Take(1, p)) return false;
    v = p[0];
    return true;
}
bool Reader::U16(std::uint16_t& v) {
    const std::uint8_t* p;
    if (!Take(2, p)) return false;
    v = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    return true;
}
bool Reader::U32(std::uint32_t& v) {
    std::uint16_t lo, hi;
    if (!U16(lo) || !U16(hi)) return false;
    v = static_cast<std::uint32_t>(lo) | (static_cast<std::uint32_t>(hi) << 16);
    return true;
}
bool Reader::U64(std::uint64_t& v) {
    std::uint32_t lo, hi;
    if (!U32(lo) || !U32(hi)) return false;
    v = static_cast<std::uint64_t>(lo) | (static_cast<std::uint64_t>(hi) << 32);
    return true;
}
bool Reader::Str(std::string& s) {
    std::uint16_t n;
    const std::uint8_t* p;
    if (!U16(n) || !Take(n, p)) return false;
    s.assign(reinterpret_cast<const char*>(p), n);
    return true;
}
bool Reader::Info(DeviceInfo& info) {
    return U16(info.vendorId) && U16(info.productId) && U16(info.usagePage) && U16(info.usage) &&
           Str(info.path);
}
std::vector<std::uint8_t> Reader::Rest() {
    if (!ok_) return {};
    std::vector<std::uint8_t> rest(data_ + pos_, data_ + size_);
    pos_ = size_;
    return rest;
}

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, RemainingMs(deadline));
        if (r > 0) return true;  // readable, writable, or hung up: the next call tells
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

bool SendAll(int fd, const std::uint8_t* p, std::size_t n, Clock::time_point deadline) {
    while (n > 0) {
        if (!WaitFor(fd, POLLOUT, deadline)) return false;
        const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool RecvAll(int fd, std::uint8_t* p, std::size_t n, Clock::time_point deadline) {
    while (n > 0) {
        if (!WaitFor(fd, POLLIN, deadline)) return false;
        const ssize_t r = ::recv(fd, p, n, MSG_DONTWAIT);
        if (r == 0) return false;
        if (r < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return false;
        }
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

}  // namespace

bool WriteFrame(int fd, const std::vector<std::uint8_t>& payload, int timeoutMs) {
    if (payload.size() > kMaxFrame) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::uint32_t n = static_cast<std::uint32_t>(payload.size());
    const std::uint8_t header[4] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(n >> 16),
                                    static_cast<std::uint8_t>(n >> 24)};
    return SendAll(fd, header, 4, deadline) && SendAll(fd, payload.data(), payload.size(), deadline);
}

bool ReadFrame(int fd, std::vector<std::uint8_t>& payload, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint8_t header[4];
    if (!RecvAll(fd, header, 4, deadline)) return false;
    const std::uint32_t n = static_cast<std::uint32_t>(header[0]) | (header[1] << 8) |
                            (header[2] << 16) | (static_cast<std::uint32_t>(header[3]) << 24);
    if (n > kMaxFrame) return false;
    payload.resize(n);
    return RecvAll(fd, payload.data(), n, deadline);
}

int Connect(const std::string& path) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof(addr.sun_path)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    // Non-blocking: a Unix socket connect succeeds or fails at once, also
    // when the listener's backlog is full. Frame I/O polls with a time-out.
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Call(const std::string& socketPath, const std::vector<std::uint8_t>& request,
          std::vector<std::uint8_t>& reply, int timeoutMs) {
    const int fd = Connect(socketPath);
    if (fd < 0) return false;
    const bool ok = WriteFrame(fd, request, timeoutMs) && ReadFrame(fd, reply, timeoutMs);
    ::close(fd);
    return ok;
}

}  // namespace vyre::hid::wire
