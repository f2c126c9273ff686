#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/session/ReaderList.h"

class CardLibrary;

// The ATR of the card in the reader, empty when there is none; 0 or the library's code.
std::uint32_t ReadCardAtr(CardLibrary& library, std::uint32_t context, const std::string& reader,
                          std::vector<std::uint8_t>& atr);

// What a transmit answered: the library's code and, on 0, the reply (data and status word).
struct CardReply {
    std::uint32_t code = 0;
    std::vector<std::uint8_t> bytes;
};

// A context of its own and one card connected through it, both released on destruction.
class CardConnection {
  public:
    explicit CardConnection(CardLibrary& library) : library_(library) {}
    ~CardConnection();
    CardConnection(const CardConnection&) = delete;
    CardConnection& operator=(const CardConnection&) = delete;

    // Establishes the context; 0 or the library's code.
    std::uint32_t Establish();
    std::uint32_t Context() const { return context_; }
    // Connects shared to the card in `reader`, offering `protocols` (T=0 1, T=1 2).
    std::uint32_t Connect(const std::string& reader, std::uint32_t protocols);
    // Disconnects with a reset of the card and connects again.
    std::uint32_t Reset();
    std::uint32_t ActiveProtocol() const { return protocol_; }
    // One transmit with the active protocol's control record, into a receive buffer that
    // holds the longest extended reply; logs nothing.
    CardReply Transmit(const std::vector<std::uint8_t>& command);

  private:
    void Disconnect(std::uint32_t disposition);

    CardLibrary& library_;
    std::uint32_t context_ = 0;
    std::uint32_t card_ = 0;
    std::uint32_t protocol_ = 0;
    std::string reader_;
    std::uint32_t protocols_ = 0;
    std::vector<std::uint8_t> receive_;  // kMaxExtendedReply bytes once the first transmit ran
};
