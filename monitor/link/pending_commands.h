#pragma once
// Command blocks on their way from the control window (main thread) to the
// keyboard thread: the control window adds a block and posts its address with
// message 1033; the keyboard thread takes it out again. Blocks whose message
// never arrived (the keyboard thread ended first) are freed with the list.

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace vyre {

struct CommandBlock {
    std::uint32_t dwData = 0;
    std::vector<std::uint8_t> payload;  // cbData bytes
    std::uint32_t sender = 0;           // the window that sent it (wParam of WM_COPYDATA)
};

class PendingCommands {
  public:
    // Copies a command into a new block and keeps it; returns its address.
    CommandBlock* Add(std::uint32_t dwData, std::span<const std::uint8_t> payload,
                      std::uint32_t sender = 0);
    // Removes a block that Add returned; null when it is not in the list.
    std::unique_ptr<CommandBlock> Take(const void* block);
    std::size_t size() const;

  private:
    mutable std::mutex mutex_;
    std::list<std::unique_ptr<CommandBlock>> blocks_;
};

}  // namespace vyre
