#pragma once

#include <chrono>
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
    // The reader test card, offering T=0, T=1 or both in its answer to reset.
    TestT0,
    TestT1,
    TestBoth
};

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// One command as the reader carries it to the card and back: the reply, how long the card
// works before answering (the reader waits it out), and the PC/SC code of a reader that fails
// the exchange itself (0: the reply arrives).
struct SimExchange {
    Bytes reply;
    std::chrono::microseconds work{0};
    std::uint32_t readerCode = 0;
};

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
    // 1 = T=0, 2 = T=1, 16 = memory card: the protocol the card speaks now.
    virtual std::uint32_t Protocol() const = 0;
    // The protocols its answer to reset offers (a mask of the values above).
    virtual std::uint32_t Protocols() const { return Protocol(); }
    // The reader chose one of Protocols() after power-up.
    virtual void SelectProtocol(std::uint32_t) {}
    // The response APDU (data and status word) to one command.
    virtual Bytes Transmit(ByteView command) = 0;
    // The whole exchange of one command; most cards answer at once with Transmit's reply.
    virtual SimExchange Exchange(ByteView command) { return {Transmit(command)}; }
    // Power is taken away: everything the card keeps only while powered is lost
    // (presented codes, a pending T=0 response, the selected file).
    virtual void PowerDown() {}

  private:
    SimCardKind kind_;
};
