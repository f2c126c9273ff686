#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/qualify/QualifyApplets.h"

class CardLibrary;
class ResponseLog;

// What one exchange, or a command with the GET RESPONSEs it took, delivered.
struct LinkReply {
    bool stopped = false;    // the run was stopped before the command went out
    std::uint32_t code = 0;  // the library's code of the last transmit
    // The data of every part, then the last status word; valid until the link's next
    // transmit.
    std::span<const std::uint8_t> bytes;
    bool chained = false;  // the first reply was 61 XX
    std::uint16_t firstStatus = 0;
    std::uint64_t micros = 0;
    std::uint32_t exchanges = 0;
};

// One card connection of a qualification column: every transmit timed, logged in the
// program's line formats and counted; none goes out once the run is stopped.
class QualifyLink {
  public:
    QualifyLink(CardLibrary& library, ResponseLog* log, const std::atomic<bool>& stop)
        : library_(library), log_(log), stop_(stop) {}
    ~QualifyLink();
    QualifyLink(const QualifyLink&) = delete;
    QualifyLink& operator=(const QualifyLink&) = delete;

    // Connects shared to the card in `reader` under `protocol` alone.
    std::uint32_t Connect(std::uint32_t context, const std::string& reader, std::uint32_t protocol);
    void Disconnect();
    std::uint32_t Card() const { return card_; }
    std::uint32_t Protocol() const { return protocol_; }

    // One transmit into a receive buffer of `receiveSize` bytes, with a control record of
    // `pciProtocol` (0: the connection's own).
    LinkReply Transmit(const QualifyBytes& command, std::uint32_t receiveSize,
                       std::uint32_t pciProtocol = 0);
    // The command, then GET RESPONSE while the card answers 61 XX, and the command again with
    // the Le a 6C XX names: the reply as the application sees it.
    LinkReply Fetch(const QualifyBytes& command);
    // Renews the connection with `disposition` (reset or unpower).
    std::uint32_t Reconnect(std::uint32_t disposition);

    std::uint64_t Exchanges() const { return exchanges_; }

  private:
    void Log(const QualifyBytes& command, std::uint32_t code, const std::uint8_t* reply,
             std::uint32_t length);

    CardLibrary& library_;
    ResponseLog* log_;
    const std::atomic<bool>& stop_;
    std::uint32_t card_ = 0;
    std::uint32_t protocol_ = 0;
    std::uint64_t exchanges_ = 0;
    QualifyBytes receive_;
    QualifyBytes chain_;  // the parts of a reply fetched with GET RESPONSE
};

std::uint16_t StatusWordOf(std::span<const std::uint8_t> reply);
