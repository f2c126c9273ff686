#pragma once

#include <winscard.h>

#include <cstdint>
#include <map>

// The 32-bit contexts and card handles handed to callers, each standing for a native
// PC/SC handle, which may be wider. Contexts and cards draw from one counter, so a number
// names at most one thing and a released number is not handed out again until the
// counter wraps. A card remembers the context it was opened under by that context's
// number, so a context's native handle can be replaced behind its number.
class PcscHandles {
  public:
    struct Context {
        SCARDCONTEXT native = 0;
    };
    struct Card {
        SCARDHANDLE native = 0;
        std::uint32_t context = 0;
        DWORD protocol = 0;  // the protocol the service negotiated
        bool storageCard = false;
    };

    std::uint32_t AddContext(const Context& context);
    std::uint32_t AddCard(const Card& card);
    // Null when the number names no open context / card.
    Context* FindContext(std::uint32_t id);
    Card* FindCard(std::uint32_t id);
    // Forgets the context and every card opened under it.
    void RemoveContext(std::uint32_t id);
    void RemoveCard(std::uint32_t id);

    const std::map<std::uint32_t, Context>& Contexts() const { return contexts_; }
    const std::map<std::uint32_t, Card>& Cards() const { return cards_; }

  private:
    std::uint32_t NextId();

    std::map<std::uint32_t, Context> contexts_;
    std::map<std::uint32_t, Card> cards_;
    std::uint32_t lastId_ = 0;
};
