#pragma once
// Wire format between the emulator backend of platform/hid and the emulator
// program. One Unix stream socket per use: a connection either enumerates,
// controls, carries one opened interface, or subscribes to notifications.
// Every message is a frame: a 32-bit little-endian payload length, then the
// payload; a request's payload starts with its op byte, a reply's with a
// status byte. Integers are little-endian.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hid/hid.h"

namespace vyre::hid::wire {

enum class Op : std::uint8_t {
    Enumerate = 1,   // -> u16 count, count x DeviceInfo
    Open = 2,        // u8 mode, str path -> status; the connection is that interface now
    SetFeature = 3,  // bytes -> status
    GetFeature = 4,  // u16 length, bytes prepared -> status, bytes answered
    Read = 5,        // u16 length, u32 timeout ms -> status (Ok, Timeout, Gone), bytes
    Subscribe = 6,   // -> status, u16 count, DeviceInfo present; then Notify frames
    Notify = 7,      // (server to client) u32 code, DeviceInfo
    Plug = 16,
    Unplug = 17,
    Fail = 18,       // u8 what (FailWhat), u8 on
    Event = 19,      // 4 bytes: index, type, data, action
    ReportGet = 20,  // u8 id, u8 profile, u16 index -> status, bytes
    ReportSet = 21,  // u8 id, u8 profile, u16 index, bytes -> status
    Counters = 22,   // -> status, u32 count, count x (str name, u64 value)
    Press = 23,      // u8 key index, u8 layer (0 normal, 1 Flexlayer) -> status
};

enum class Status : std::uint8_t {
    Ok = 0,
    Failed = 1,
    Timeout = 2,
    Gone = 3,      // the interface is no longer there
    BadRequest = 4,
};

enum class FailWhat : std::uint8_t { Write = 1, Read = 2, Busy = 3, Version = 4 };

constexpr std::size_t kMaxFrame = 1u << 20;

class Writer {
public:
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v);
    void U32(std::uint32_t v);
    void U64(std::uint64_t v);
    void Bytes(const std::uint8_t* data, std::size_t n);
    void Str(std::string_view s);  // u16 length, bytes
    void Info(const DeviceInfo& info);
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Reads fields in order; once a read runs past the end every later read
// fails too and ok() is false.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t n) : data_(data), size_(n) {}
    explicit Reader(const std::vector<std::uint8_t>& v) : Reader(v.data(), v.size()) {}
    bool U8(std::uint8_t& v);
    bool U16(std::uint16_t& v);
    bool U32(std::uint32_t& v);
    bool U64(std::uint64_t& v);
    bool Str(std::string& s);
    bool Info(DeviceInfo& info);
    // The rest of the payload.
    std::vector<std::uint8_t> Rest();
    bool ok() const { return ok_; }

private:
    bool Take(std::size_t n, const std::uint8_t*& p);
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// Frame I/O on a socket; each call gives up after timeoutMs (or at once on
// end of stream, an error or a frame above kMaxFrame).
bool WriteFrame(int fd, const std::vector<std::uint8_t>& payload, int timeoutMs);
bool ReadFrame(int fd, std::vector<std::uint8_t>& payload, int timeoutMs);

// Connects to a Unix socket; -1 when nobody listens there.
int Connect(const std::string& path);

// One request and its reply on a fresh connection.
bool Call(const std::string& socketPath, const std::vector<std::uint8_t>& request,
          std::vector<std::uint8_t>& reply, int timeoutMs);

}  // namespace vyre::hid::wire
