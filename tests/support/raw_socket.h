#pragma once
// A program that writes raw bytes to a window's socket, as a broken or
// hostile peer would: for the window layer's tests and its fuzz target.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace vyre::testing {

// A connection to the socket at `path`; -1 when nobody listens there.
inline int RawConnect(const std::string& path) {
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

// One sendmsg of `size` bytes with up to four descriptors passed along.
inline ssize_t SendWithDescriptors(int s, const void* data, std::size_t size, const std::vector<int>& fds) {
    constexpr std::size_t kMostFds = 4;
    iovec iov{const_cast<void*>(data), size};
    msghdr mh{};
    mh.msg_iov = &iov;
    mh.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMostFds)] = {};
    const std::size_t n = fds.size() < kMostFds ? fds.size() : kMostFds;
    if (n > 0) {
        mh.msg_control = control;
        mh.msg_controllen = CMSG_SPACE(sizeof(int) * n);
        cmsghdr* c = CMSG_FIRSTHDR(&mh);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int) * n);
        std::memcpy(CMSG_DATA(c), fds.data(), sizeof(int) * n);
    }
    return ::sendmsg(s, &mh, MSG_NOSIGNAL);
}

}  // namespace vyre::testing
