#include "sim/SimIso14443Card.h"

namespace {
// TL, T0 (TA1 TB1 TC1 present, FSCI 8: frames up to 256 bytes), TA1 (106 kbit/s only),
// TB1 (FWI 7, SFGI 0), TC1 (CID supported), then the historical bytes.
constexpr std::uint8_t kAtsHeader[] = {0x78, 0x80, 0x70, 0x02};
constexpr std::uint8_t kHistoricalBytes[] = {'Z', 'P', 'S', 'I', 'M', '-', 'C', 'L'};
}  // namespace

SimIso14443Card::SimIso14443Card(Bytes uid) : uid_(std::move(uid)), apdus_(SimCardKind::CpuT1) {
    ats_.push_back(static_cast<std::uint8_t>(1 + sizeof kAtsHeader + sizeof kHistoricalBytes));
    ats_.insert(ats_.end(), std::begin(kAtsHeader), std::end(kAtsHeader));
    ats_.insert(ats_.end(), std::begin(kHistoricalBytes), std::end(kHistoricalBytes));
}

Bytes SimIso14443Card::HistoricalBytes() const {
    return Bytes(ats_.begin() + 1 + sizeof kAtsHeader, ats_.end());
}
