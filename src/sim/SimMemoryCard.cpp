#include "sim/SimMemoryCard.h"

#include "sim/SimCodes.h"
#include "sim/SimStorageResponder.h"

namespace {
// The simulator's own card names, F0 21 to F0 29, one per chip. No entry of the ATR list
// that pcsc-tools ships claims them, so the list names the card by its bus alone, where the
// registered contactless names 00 21 to 00 29 would name an SLE4442 an I.CODE UID.
std::uint8_t CardNameByte(SimCardKind kind) {
    switch (kind) {
        case SimCardKind::SLE4432:
            return 0x21;
        case SimCardKind::SLE4442:
            return 0x22;
        case SimCardKind::SLE4418:
            return 0x23;
        case SimCardKind::SLE4428:
            return 0x24;
        case SimCardKind::SLE4404:
            return 0x25;
        case SimCardKind::SLE4406:
            return 0x26;
        case SimCardKind::SLE4436:
            return 0x27;
        case SimCardKind::SLE5536:
            return 0x28;
        default:
            return 0x29;
    }
}
}  // namespace

// 3B 8F 80 01 | 80 4F 0C A0 00 00 03 06 SS F0 NN 00 00 00 00 | TCK
Bytes SimMemoryCard::Atr() const {
    Bytes atr = {0x3B, 0x8F, 0x80,          0x01, 0x80,
                 0x4F, 0x0C, 0xA0,          0x00, 0x00,
                 0x03, 0x06, BusStandard(), 0xF0, CardNameByte(Kind()),
                 0x00, 0x00, 0x00,          0x00};
    std::uint8_t check = 0;
    for (std::size_t i = 1; i < atr.size(); ++i) {
        check ^= atr[i];
    }
    atr.push_back(check);
    return atr;
}

Bytes SimMemoryCard::Transmit(ByteView command) {
    return AnswerStorageCommand(*this, command);
}

std::uint32_t SimMemoryCard::PresentCode(std::uint8_t, ByteView, int&) {
    return sim_codes::kUnsupportedFeature;
}
