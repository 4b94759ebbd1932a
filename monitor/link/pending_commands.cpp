#include "monitor/link/pending_commands.h"

namespace vyre {

CommandBlock* PendingCommands::Add(std::uint32_t dwData, std::span<const std::uint8_t> payload,
                                   std::uint32_t sender) {
    auto block = std::make_unique<CommandBlock>();
    block->dwData = dwData;
    block->sender = sender;
    block->payload.assign(payload.begin(), payload.end());
    CommandBlock* address = block.get();
    std::lock_guard lock(mutex_);
    blocks_.push_back(std::move(block));
    return address;
}

std::unique_ptr<CommandBlock> PendingCommands::Take(const void* block) {
    std::lock_guard lock(mutex_);
    for (auto it = blocks_.begin(); it != blocks_.end(); ++it) {
        if (it->get() == block) {
            std::unique_ptr<CommandBlock> taken = std::move(*it);
            blocks_.erase(it);
            return taken;
        }
    }
    return nullptr;
}

std::size_t PendingCommands::size() const {
    std::lock_guard lock(mutex_);
    return blocks_.size();
}

}  // namespace vyre
