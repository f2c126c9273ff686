#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/contactless/ClassicCard.h"
#include "core/contactless/ContactlessChannel.h"

// How the reader speaks the contactless commands, found out by trying them on the card.

// One form tried: whether it works, the status word it met, and a note.
struct FormTrial {
    enum class Result { Works, Refused, NotTried };
    Result result = Result::NotTried;
    std::uint16_t status = 0;
    std::string note;
};

struct ProbeReport {
    std::vector<std::uint8_t> volatileSlots;     // LOAD KEYS accepted with P1 00
    std::vector<std::uint8_t> nonVolatileSlots;  // LOAD KEYS accepted with P1 20
    std::uint16_t slotRefusal = 0;               // the status word of the first refused slot
    FormTrial generalAuthenticate, legacyAuthenticate;
    FormTrial commonValue, valueObject;
    FormTrial wholeAts;  // Works: GET DATA of the ATS gave the whole ATS
    Bytes uid, atsReply;
    // The dialect the probe found, for the operations that follow.
    ReaderDialect dialect;
};

struct ProbeOptions {
    int lastSlot = 0x3F;      // the key numbers tried, 00 to lastSlot
    bool nonVolatile = true;  // also write the transport key FF..FF into the non-volatile slots
};

ProbeReport ProbeReader(ContactlessChannel& channel, const ProbeOptions& options = {});

std::string FormResultText(const FormTrial& trial);  // "works", "refused (6A 81)", ...
