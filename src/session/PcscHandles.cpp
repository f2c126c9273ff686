#include "session/PcscHandles.h"

#include <utility>

std::uint32_t PcscHandles::NextId() {
    // 0 is never a handle; numbers still in use are skipped after a wrap.
    do {
        ++lastId_;
    } while (lastId_ == 0 || contexts_.contains(lastId_) || cards_.contains(lastId_));
    return lastId_;
}

std::uint32_t PcscHandles::AddContext(const Context& context) {
    const std::uint32_t id = NextId();
    contexts_.emplace(id, context);
    return id;
}

std::uint32_t PcscHandles::AddCard(const Card& card) {
    const std::uint32_t id = NextId();
    cards_.emplace(id, card);
    return id;
}

PcscHandles::Context* PcscHandles::FindContext(std::uint32_t id) {
    const auto it = contexts_.find(id);
    return it == contexts_.end() ? nullptr : &it->second;
}

PcscHandles::Card* PcscHandles::FindCard(std::uint32_t id) {
    const auto it = cards_.find(id);
    return it == cards_.end() ? nullptr : &it->second;
}

void PcscHandles::RemoveContext(std::uint32_t id) {
    contexts_.erase(id);
    std::erase_if(cards_, [id](const auto& entry) { return entry.second.context == id; });
}

void PcscHandles::RemoveCard(std::uint32_t id) {
    cards_.erase(id);
}

SCARDCONTEXT PcscHandles::RenewContext(std::uint32_t id, SCARDCONTEXT native) {
    Context& context = contexts_.at(id);
    for (auto it = cards_.begin(); it != cards_.end();) {
        if (it->second.context == id) {
            context.lostCards.insert(it->second.reader);
            it = cards_.erase(it);
        } else {
            ++it;
        }
    }
    return std::exchange(context.native, native);
}
