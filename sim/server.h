#pragma once
// Offers an emulated keyboard to other processes on a Unix socket, in the
// wire format of platform/hid/sim_wire.h: the emulator backend of
// platform/hid ("sim:PATH") and the control commands of vyre-lumo-sim.
// Connections from another user are refused.

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim/keyboard.h"

namespace vyre::sim {

class Server {
public:
    explicit Server(Keyboard& keyboard);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Listens on path. Fails when another emulator already listens there; a
    // socket left by one that died is replaced.
    bool Start(const std::string& path, std::string* error);
    // Closes every connection and removes the socket.
    void Stop();
    const std::string& path() const { return path_; }

private:
    struct Connection;
    void AcceptLoop();
    void Serve(Connection& c);
    void Reap(bool all);

    Keyboard& keyboard_;
    std::string path_;
    int listenFd_ = -1;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::thread acceptThread_;
    std::mutex connectionsMutex_;
    std::list<std::unique_ptr<Connection>> connections_;
};

}  // namespace vyre::sim
