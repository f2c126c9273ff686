#pragma once

#include <cstdint>
#include <string>

#include "core/msr/MsrLibrary.h"
#include "core/session/CardLibrary.h"

// The card in the reader: the handle while connected, the protocol the connect reported
// and the protocol control record of its exchanges.
struct CardSlot {
    std::uint32_t Handle = 0;
    std::uint32_t Protocol = 0;
    ::IoRequest IoRequest{};
};

// The reader's SAM slot: the handle, the protocol flags and the control record of its
// exchanges; Connected while the handle is open, which is when the SAM page shows its
// fields for this reader.
struct SamSlot {
    std::uint32_t Handle = 0;
    std::uint32_t Protocols = 0;
    ::IoRequest IoRequest{};
    bool Connected = false;
};

// The stripe reader beside it: the handle, open while waiting for a swipe, and the last
// track record read.
struct MsrSlot {
    std::uint32_t Handle = 0;
    bool Waiting = false;
    MsrTrackRecord Tracks{};
};

// Everything the program keeps for one attached reader, found by the reader's name. When
// the reader list is read again, the record goes with its reader wherever it is listed.
struct ReaderRecord {
    explicit ReaderRecord(std::string name) : Name(std::move(name)) { State.reader = Name.c_str(); }
    ReaderRecord(const ReaderRecord&) = delete;
    ReaderRecord& operator=(const ReaderRecord&) = delete;

    const std::string Name;
    ReaderState State;  // the status query's record; its reader points at Name
    CardSlot Card;
    SamSlot Sam;
    MsrSlot Msr;
};
