#pragma once

#include <winscard.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// The 32-bit contexts and card handles handed to callers, each standing for a native
// PC/SC handle, which may be wider. Contexts and cards draw from one counter, so a number
// names at most one thing and a released number is not handed out again until the
// counter wraps. A card remembers the context it was opened under by that context's
// number, so a context's native handle can be replaced behind its number.
class PcscHandles {
  public:
    struct Context {
        SCARDCONTEXT native = 0;
        DWORD scope = SCARD_SCOPE_USER;
        // Readers in which a card of this context was lost with a native context that the
        // service no longer knows; each loss is still to be reported by a state query.
        std::set<std::string, std::less<>> lostCards{};
        // The reader list as last seen through the reader-change notification, and the
        // count of changes seen, for a service that keeps no such count itself.
        std::vector<std::string> readerList{};
        std::uint32_t readerEvents = 0;
    };
    struct Card {
        SCARDHANDLE native = 0;
        std::uint32_t context = 0;
        DWORD protocol = 0;  // the protocol the service negotiated
        bool storageCard = false;
        std::string reader{};  // the reader the card was connected in
    };

    std::uint32_t AddContext(const Context& context);
    std::uint32_t AddCard(const Card& card);
    // Null when the number names no open context / card.
    Context* FindContext(std::uint32_t id);
    Card* FindCard(std::uint32_t id);
    // Forgets the context and every card opened under it.
    void RemoveContext(std::uint32_t id);
    void RemoveCard(std::uint32_t id);
    // Puts a new native handle behind an open context's number and answers the old one.
    // The cards opened under the old handle are forgotten, their readers noted as lost.
    SCARDCONTEXT RenewContext(std::uint32_t id, SCARDCONTEXT native);

    const std::map<std::uint32_t, Context>& Contexts() const { return contexts_; }
    const std::map<std::uint32_t, Card>& Cards() const { return cards_; }

  private:
    std::uint32_t NextId();

    std::map<std::uint32_t, Context> contexts_;
    std::map<std::uint32_t, Card> cards_;
    std::uint32_t lastId_ = 0;
};
