#pragma once
// A one-connection-at-a-time HTTP server on 127.0.0.1 (a free port) that the
// test starts itself: it records each request's path and answers with a given
// status and body, or never answers at all. Nothing leaves the machine.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vyre::testing {

class LocalHttpServer {
  public:
    enum class Mode { Answer, Silent };

    LocalHttpServer(Mode mode, int status, std::string body)
        : mode_(mode), status_(status), body_(std::move(body)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 4);
        socklen_t n = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LocalHttpServer() {
        stop_ = true;
        thread_.join();
        ::close(listen_);
    }

    std::string address() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::vector<std::string> paths() const {
        std::lock_guard lock(mutex_);
        return paths_;
    }

  private:
    bool WaitReadable(int fd) {
        pollfd p{fd, POLLIN, 0};
        while (!stop_) {
            if (::poll(&p, 1, 50) > 0) return true;
        }
        return false;
    }

    void Serve() {
        while (WaitReadable(listen_)) {
            const int c = ::accept(listen_, nullptr, nullptr);
            if (c < 0) continue;
            std::string request;
            char buf[4096];
            while (request.find("\r\n\r\n") == std::string::npos && WaitReadable(c)) {
                const ssize_t got = ::read(c, buf, sizeof buf);
                if (got <= 0) break;
                request.append(buf, static_cast<std::size_t>(got));
            }
            const std::size_t start = request.find(' ') + 1;
            const std::size_t end = request.find(' ', start);
            if (start != 0 && end != std::string::npos) {
                std::lock_guard lock(mutex_);
                paths_.push_back(request.substr(start, end - start));
            }
            if (mode_ == Mode::Silent) {
                // Holds the connection open without a word until the client gives up.
                while (WaitReadable(c) && ::read(c, buf, sizeof buf) > 0) {
                }
            } else {
                const std::string reply = "HTTP/1.1 " + std::to_string(status_) +
                                          " X\r\nContent-Length: " + std::to_string(body_.size()) +
                                          "\r\nConnection: close\r\n\r\n" + body_;
                (void)!::write(c, reply.data(), reply.size());
            }
            ::close(c);
        }
    }

    Mode mode_;
    int status_;
    std::string body_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> paths_;
    std::thread thread_;
};

}  // namespace vyre::testing
