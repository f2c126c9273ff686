#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// Synchronous memory cards through the storage-card commands that a PC/SC reader carries
// out itself: Read Binary (FF B0) and Update Binary (FF D6), addressed by a 16-bit byte
// address in P1 (high byte) and P2 (low byte), and Verify (FF 20 00 P2), P2 naming the code
// presented: 00 on cards with one code (the SLE4442 or SLE4428 PSC, the SLE4436/5536
// transport code); the SLE4404's user and memory codes have their own references.

// Bytes one short command carries in either direction (Le or Lc of one byte).
inline constexpr std::uint32_t kStorageChunk = 255;
// Addresses P1/P2 can reach.
inline constexpr std::uint32_t kStorageAddressLimit = 0x10000;

// True when the historical bytes of the answer to reset carry the registered application
// provider identifier A0 00 00 03 06, with which a reader announces a storage card.
bool IsStorageCardAtr(std::span<const std::uint8_t> atr);

std::vector<std::uint8_t> ReadBinaryCommand(std::uint16_t address, std::uint8_t count);
std::vector<std::uint8_t> UpdateBinaryCommand(std::uint16_t address,
                                              std::span<const std::uint8_t> data);
std::vector<std::uint8_t> VerifyCommand(std::span<const std::uint8_t> code,
                                        std::uint8_t reference = 0x00);

// 0 for the status word 90 00, any other status word as its 16-bit value (6982 becomes
// 0x00006982), and a communication error when the answer holds no status word or 00 00.
std::uint32_t StatusWordCode(std::span<const std::uint8_t> response);

// Reads, writes and code checks of any length, split into the short commands above.
class PcscStorageCard {
  public:
    // Sends one command and fills `response` with the card's answer, status word last.
    // Answers a PC/SC code, 0 when the exchange itself succeeded.
    using Exchange = std::function<std::uint32_t(std::span<const std::uint8_t> command,
                                                 std::vector<std::uint8_t>& response)>;

    explicit PcscStorageCard(Exchange exchange) : exchange_(std::move(exchange)) {}

    // *length: the count requested on the way in, the count delivered on the way out
    // (never more). A read that runs past the end of the card's memory delivers the bytes
    // up to the end and succeeds: the card answers them with 62 82 (end reached before Le
    // bytes) or with a short 90 00, and the read stops there; when the end falls between two
    // commands, the card refuses the next one's address (6B 00) and the read stops there too.
    std::uint32_t Read(std::uint32_t address, std::uint8_t* buffer, std::uint32_t* length);
    // A write that runs past the end of the card's memory is refused (6B 00) and writes
    // nothing.
    std::uint32_t Write(std::uint32_t address, const std::uint8_t* data, std::uint32_t length);
    std::uint32_t Verify(std::span<const std::uint8_t> code, std::uint8_t reference = 0x00);

    // The same inside an area of `size` bytes that starts at card byte `start`, addressed
    // from the area's first byte. A read that runs past the area's end delivers the bytes up
    // to it; a write that would, or an address outside the area, is refused and sends nothing.
    std::uint32_t ReadArea(std::uint32_t start, std::uint32_t size, std::uint32_t address,
                           std::uint8_t* buffer, std::uint32_t* length);
    std::uint32_t WriteArea(std::uint32_t start, std::uint32_t size, std::uint32_t address,
                            const std::uint8_t* data, std::uint32_t length);

  private:
    std::uint32_t Send(std::span<const std::uint8_t> command);

    Exchange exchange_;
    std::vector<std::uint8_t> response_;
};
