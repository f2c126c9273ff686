#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/contactless/ContactlessCommands.h"

class CardLibrary;

// Receives each line of the exchange log, in the program's line formats.
using LogSink = std::function<void(std::string_view line)>;

// What one exchange answered: the library's code and, on 0, the reply with its status word.
struct Exchange {
    std::uint32_t code = 0;
    Bytes reply;
    bool Ok() const { return code == 0 && ReplyStatus(reply) == kStatusOk; }
    std::uint16_t Status() const { return code == 0 ? ReplyStatus(reply) : 0; }
};

// The card a contactless engine talks to.
class ContactlessChannel {
  public:
    virtual ~ContactlessChannel() = default;
    // Sends one command and reports it and its outcome to the log.
    virtual Exchange Transmit(const Bytes& command) = 0;
    // Selects the card again (a failed authentication halts a MIFARE Classic card): a
    // reconnect with reset. 0 or the library's code.
    virtual std::uint32_t Reselect() = 0;
    virtual Bytes Atr() const = 0;
};

// A channel over a card library with a context of its own; the card and the context are
// released on destruction. Each exchange is logged as the CPU card page logs it.
class CardLibraryChannel : public ContactlessChannel {
  public:
    CardLibraryChannel(CardLibrary& library, LogSink log);
    ~CardLibraryChannel() override;
    CardLibraryChannel(const CardLibraryChannel&) = delete;
    CardLibraryChannel& operator=(const CardLibraryChannel&) = delete;

    // Establishes the context and connects shared to the card in `reader`; 0 or the code.
    // On failure `error` holds the line that says what failed.
    std::uint32_t Open(const std::string& reader, std::string& error);

    Exchange Transmit(const Bytes& command) override;
    std::uint32_t Reselect() override;
    Bytes Atr() const override { return atr_; }

  private:
    CardLibrary& library_;
    LogSink log_;
    std::uint32_t context_ = 0;
    std::uint32_t card_ = 0;
    std::uint32_t protocol_ = 0;
    Bytes atr_;
    Bytes receive_;
};
