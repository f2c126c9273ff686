#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The card types the simulated reader can hold.
enum class SimCardKind {
    CpuT0,
    CpuT1,
    SLE4432,
    SLE4442,
    SLE4418,
    SLE4428,
    SLE4404,
    SLE4406,
    SLE4436,
    SLE5536,
    I2C,
    // Contactless chips, in a contactless reader's field.
    MifareMini,
    Mifare1K,
    Mifare4K,
    Ultralight,
    Ntag213,
    Iso14443_4,
};

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// One simulated card: its answer to reset, the protocol the reader reports for it, and
// its answers to command APDUs (for memory cards, the storage-card pseudo-APDUs).
class SimCard {
  public:
    explicit SimCard(SimCardKind kind) : kind_(kind) {}
    virtual ~SimCard() = default;
    SimCard(const SimCard&) = delete;
    SimCard& operator=(const SimCard&) = delete;

    SimCardKind Kind() const { return kind_; }
    virtual Bytes Atr() const = 0;
    // 1 = T=0, 2 = T=1 (also every contactless card), 16 = memory card.
    virtual std::uint32_t Protocol() const = 0;
    // The response APDU (data and status word) to one command.
    virtual Bytes Transmit(ByteView command) = 0;
    // Power is taken away: everything the card keeps only while powered is lost
    // (presented codes, a pending T=0 response, the selected file).
    virtual void PowerDown() {}

  private:
    SimCardKind kind_;
};
