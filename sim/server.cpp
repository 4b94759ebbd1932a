#include "sim/server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/hid/sim_wire.h"

namespace vyre::sim {

namespace {

using hid::wire::Op;
using hid::wire::Reader;
using hid::wire::Status;
using hid::wire::Writer;

constexpr int kIoTimeoutMs = 5000;
constexpr int kNotifyTimeoutMs = 1000;
constexpr std::uint32_t kMaxReadWaitMs = 60000;

}  // namespace

struct Server::Connection {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
    std::unique_ptr<hid::Device> device;
    int listenerId = 0;
    // Guards writes of notifications and the subscription hand-over.
    std::mutex notifyMutex;
    bool subscribed = false;
};

Server::Server(Keyboard& keyboard) : keyboard_(keyboard) {}
Server::~Server() { Stop(); }

bool Server::Start(const std::string& path, std::string* error) {
    sockaddr_un addr{};
    if (path.empty() || path.size() >= sizeof(addr.sun_path)) {
        if (error) *error = "socket path is empty or too long: " + path;
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            if (error) *error = path + " exists and is not a socket";
            return false;
        }
        const int probe = hid::wire::Connect(path);
        if (probe >= 0) {
            ::close(probe);
            if (error) *error = "an emulator is already running on " + path;
            return false;
        }
        ::unlink(path.c_str());  // left behind by an emulator that died
    }
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error) *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const mode_t old = ::umask(0177);
    const bool bound =
        listenFd_ >= 0 && ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::umask(old);
    if (!bound || ::listen(listenFd_, 16) != 0) {
        if (error) *error = "cannot listen on " + path + ": " + std::strerror(errno);
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    path_ = path;
    stop_ = false;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void Server::Stop() {
    if (listenFd_ < 0) return;
    stop_ = true;
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &c, 1);
    acceptThread_.join();
    Reap(true);
    ::close(listenFd_);
    listenFd_ = -1;
    ::unlink(path_.c_str());
    ::close(wake_[0]);
    ::close(wake_[1]);
    wake_[0] = wake_[1] = -1;
}

void Server::Reap(bool all) {
    std::list<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard lock(connectionsMutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (all || (*it)->done) {
                if (all) ::shutdown((*it)->fd, SHUT_RDWR);
                finished.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : finished) {
        c->thread.join();
        ::close(c->fd);
    }
}

void Server::AcceptLoop() {
    while (!stop_) {
        pollfd p[2] = {{wake_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
        const int r = ::poll(p, 2, 1000);
        Reap(false);
        if (stop_ || r <= 0 || !(p[1].revents & POLLIN)) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        ucred cred{};
        socklen_t len = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != ::getuid()) {
            ::close(fd);
            continue;
        }
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        Connection* raw = c.get();
        std::lock_guard lock(connectionsMutex_);
        connections_.push_back(std::move(c));
        raw->thread = std::thread([this, raw] {
            Serve(*raw);
            raw->done = true;
        });
    }
}

void Server::Serve(Connection& c) {
    while (!stop_) {
        pollfd p[2] = {{wake_[0], POLLIN, 0}, {c.fd, POLLIN, 0}};
        if (::poll(p, 2, 1000) <= 0) continue;
        if (stop_) break;
        if (!(p[1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        std::vector<std::uint8_t> request;
        if (!hid::wire::ReadFrame(c.fd, request, kIoTimeoutMs)) break;
        Reader r(request);
        std::uint8_t opByte = 0;
        r.U8(opByte);
        Writer reply;
        auto status = [&reply](Status s) { reply.U8(static_cast<std::uint8_t>(s)); };
        switch (static_cast<Op>(opByte)) {
            case Op::Enumerate: {
                const auto list = keyboard_.Interfaces();
                status(Status::Ok);
                reply.U16(static_cast<std::uint16_t>(list.size()));
                for (const auto& info : list) reply.Info(info);
                break;
            }
            case Op::Open: {
                std::uint8_t mode = 0;
                std::string path;
                if (c.device || !r.U8(mode) || !r.Str(path)) {
                    status(Status::BadRequest);
                    break;
                }
                c.device = keyboard_.Open(path, mode ? hid::OpenMode::Read : hid::OpenMode::Feature);
                status(c.device ? Status::Ok : Status::Gone);
                break;
            }
            case Op::SetFeature: {
                const auto bytes = r.Rest();
                if (!c.device) {
                    status(Status::BadRequest);
                    break;
                }
                status(c.device->SetFeature(bytes.data(), bytes.size()) ? Status::Ok
                                                                         : Status::Failed);
                break;
            }
            case Op::GetFeature: {
                std::uint16_t length = 0;
                if (!c.device || !r.U16(length) || length == 0) {
                    status(Status::BadRequest);
                    break;
                }
                auto buffer = r.Rest();
                buffer.resize(length, 0);
                const int n = c.device->GetFeature(buffer.data(), buffer.size());
                if (n < 0) {
                    status(Status::Failed);
                } else {
                    status(Status::Ok);
                    reply.Bytes(buffer.data(), static_cast<std::size_t>(n));
                }
                break;
            }
            case Op::Read: {
                std::uint16_t length = 0;
                std::uint32_t timeout = 0;
                if (!c.device || !r.U16(length) || !r.U32(timeout) || length == 0) {
                    status(Status::BadRequest);
                    break;
                }
                if (timeout > kMaxReadWaitMs) timeout = kMaxReadWaitMs;
                std::vector<std::uint8_t> buffer(length, 0);
                int n = hid::kReadTimeout;
                // Wait in slices so that a stopping server does not wait out a
                // long read.
                for (std::uint32_t waited = 0; !stop_;) {
                    const std::uint32_t slice = std::min<std::uint32_t>(250, timeout - waited);
                    n = c.device->Read(buffer.data(), buffer.size(), static_cast<int>(slice));
                    waited += slice;
                    if (n != hid::kReadTimeout || waited >= timeout) break;
                }
                if (n > 0) {
                    status(Status::Ok);
                    reply.Bytes(buffer.data(), static_cast<std::size_t>(n));
                } else {
                    status(n == hid::kReadTimeout ? Status::Timeout : Status::Gone);
                }
                break;
            }
            case Op::Subscribe: {
                if (c.listenerId) {
                    status(Status::BadRequest);
                    break;
                }
                Connection* conn = &c;
                c.listenerId = keyboard_.AddListener([conn](const hid::DeviceChange& change) {
                    std::lock_guard lock(conn->notifyMutex);
                    if (!conn->subscribed) return;  // the list sent with the reply covers it
                    Writer n;
                    n.U8(static_cast<std::uint8_t>(Op::Notify));
                    n.U32(change.code);
                    n.Info(change.device);
                    hid::wire::WriteFrame(conn->fd, n.bytes(), kNotifyTimeoutMs);
                });
                std::lock_guard lock(c.notifyMutex);
                const auto list = keyboard_.Interfaces();
                status(Status::Ok);
                reply.U16(static_cast<std::uint16_t>(list.size()));
                for (const auto& info : list) reply.Info(info);
                c.subscribed = hid::wire::WriteFrame(c.fd, reply.bytes(), kIoTimeoutMs);
                if (!c.subscribed) goto end;
                continue;
            }
            case Op::Plug:
                keyboard_.Plug();
                status(Status::Ok);
                break;
            case Op::Unplug:
                keyboard_.Unplug();
                status(Status::Ok);
                break;
            case Op::Fail: {
                std::uint8_t what = 0, on = 0;
                if (!r.U8(what) || !r.U8(on)) {
                    status(Status::BadRequest);
                    break;
                }
                switch (static_cast<hid::wire::FailWhat>(what)) {
                    case hid::wire::FailWhat::Write: keyboard_.SetFailWrites(on); break;
                    case hid::wire::FailWhat::Read: keyboard_.SetFailReads(on); break;
                    case hid::wire::FailWhat::Busy: keyboard_.SetStayBusy(on); break;
                    case hid::wire::FailWhat::Version:
                        keyboard_.SetVersionZeroReads(on ? -1 : 0);
                        break;
                    default: status(Status::BadRequest); goto send;
                }
                status(Status::Ok);
                break;
            }
            case Op::Event: {
                std::uint8_t b[4];
                if (!r.U8(b[0]) || !r.U8(b[1]) || !r.U8(b[2]) || !r.U8(b[3])) {
                    status(Status::BadRequest);
                    break;
                }
                status(keyboard_.SendEvent(b[0], b[1], b[2], b[3]) ? Status::Ok : Status::Gone);
                break;
            }
            case Op::Press: {
                std::uint8_t key = 0, layer = 0;
                if (!r.U8(key) || !r.U8(layer)) {
                    status(Status::BadRequest);
                    break;
                }
                status(keyboard_.PressKey(key, layer) ? Status::Ok : Status::Failed);
                break;
            }
            case Op::ReportGet: {
                std::uint8_t id = 0, profile = 0;
                std::uint16_t index = 0;
                if (!r.U8(id) || !r.U8(profile) || !r.U16(index)) {
                    status(Status::BadRequest);
                    break;
                }
                const auto image = keyboard_.Report(id, profile, index);
                if (!image) {
                    status(Status::BadRequest);
                    break;
                }
                status(Status::Ok);
                reply.Bytes(image->data(), image->size());
                break;
            }
            case Op::ReportSet: {
                std::uint8_t id = 0, profile = 0;
                std::uint16_t index = 0;
                if (!r.U8(id) || !r.U8(profile) || !r.U16(index)) {
                    status(Status::BadRequest);
                    break;
                }
                status(keyboard_.SetReport(id, profile, index, r.Rest()) ? Status::Ok
                                                                         : Status::BadRequest);
                break;
            }
            case Op::Counters: {
                const Counters k = keyboard_.counters();
                const std::pair<const char*, std::uint64_t> rows[] = {
                    {"writes", k.writes},
                    {"refused-checksum", k.refusedChecksum},
                    {"refused-malformed", k.refusedMalformed},
                    {"rejected-writes", k.rejectedWrites},
                    {"reads", k.reads},
                    {"rejected-reads", k.rejectedReads},
                    {"busy-answers", k.busyAnswers},
                    {"events", k.events},
                    {"resets", k.resets},
                };
                status(Status::Ok);
                reply.U32(static_cast<std::uint32_t>(std::size(rows)));
                for (const auto& [name, value] : rows) {
                    reply.Str(name);
                    reply.U64(value);
                }
                break;
            }
            default:
                status(Status::BadRequest);
                break;
        }
    send:
        if (!hid::wire::WriteFrame(c.fd, reply.bytes(), kIoTimeoutMs)) break;
    }
end:
    if (c.listenerId) keyboard_.RemoveListener(c.listenerId);
    c.device.reset();
}

}  // namespace vyre::sim
