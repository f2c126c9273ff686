#include "core/qualify/QualifyPlan.h"

#include <algorithm>

namespace {
constexpr std::uint32_t kExtendedMax = 65535;
// The extended lengths every run takes: around the short limits, a 4 KiB buffer, the top.
constexpr std::uint32_t kExtendedBoundaries[] = {255, 256, 257, 261, 262, 4096, kExtendedMax};
// The short lengths of a quick run: the smallest, and around the driver's packet limits
// (248, 252) and the short maximum.
constexpr std::uint32_t kQuickFirst = 247;
constexpr std::uint32_t kQuickLast = 262;

std::uint32_t MaxLength(QualifyCase kind) {
    switch (kind) {
        case QualifyCase::Case2:
            return 256;
        case QualifyCase::Case3:
        case QualifyCase::Case4:
            return 255;
        default:
            return kExtendedMax;
    }
}

void AddInRange(std::vector<std::uint32_t>& lengths, std::uint32_t length, std::uint32_t max) {
    if (length >= 1 && length <= max) {
        lengths.push_back(length);
    }
}

void AddReaderLimits(std::vector<std::uint32_t>& lengths, const QualifyPlan& plan,
                     std::uint32_t max) {
    for (const std::uint32_t limit : plan.readerLimits) {
        AddInRange(lengths, limit - 1, max);
        AddInRange(lengths, limit, max);
        if (limit < max) {
            AddInRange(lengths, limit + 1, max);
        }
    }
}

std::vector<std::uint32_t> ShortLengths(const QualifyPlan& plan, std::uint32_t max) {
    std::vector<std::uint32_t> lengths;
    if (plan.full) {
        for (std::uint32_t length = 1; length <= max; ++length) {
            lengths.push_back(length);
        }
        return lengths;
    }
    AddInRange(lengths, 1, max);
    AddInRange(lengths, 2, max);
    for (std::uint32_t length = kQuickFirst; length <= kQuickLast; ++length) {
        AddInRange(lengths, length, max);
    }
    AddReaderLimits(lengths, plan, max);
    return lengths;
}

std::vector<std::uint32_t> ExtendedLengths(const QualifyPlan& plan) {
    std::vector<std::uint32_t> lengths(std::begin(kExtendedBoundaries),
                                       std::end(kExtendedBoundaries));
    if (plan.full) {
        const std::uint32_t step = std::max<std::uint32_t>(plan.extendedStep, 1);
        for (std::uint32_t length = 1; length <= kExtendedMax; length += step) {
            lengths.push_back(length);
        }
    }
    AddReaderLimits(lengths, plan, kExtendedMax);
    return lengths;
}
}  // namespace

std::vector<std::uint32_t> CaseLengths(const QualifyPlan& plan, QualifyCase kind) {
    std::vector<std::uint32_t> lengths;
    switch (kind) {
        case QualifyCase::Case2:
        case QualifyCase::Case3:
        case QualifyCase::Case4:
            lengths = ShortLengths(plan, MaxLength(kind));
            break;
        case QualifyCase::Case2Extended:
        case QualifyCase::Case3Extended:
            lengths = ExtendedLengths(plan);
            break;
        case QualifyCase::TimeRequest:
            for (const std::uint32_t p2 : plan.waitingTimes) {
                AddInRange(lengths, p2, 0xFF);
            }
            break;
        case QualifyCase::WaitingTime:
            for (const std::uint32_t p1p2 : plan.waitingTimes) {
                AddInRange(lengths, p1p2, 0xFFFF);
            }
            break;
        default:
            break;
    }
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    return lengths;
}

std::vector<QualifyCell> PlannedCells(const QualifyPlan& plan) {
    // The order of a column: the cases by length, the waits, the PIN pad, then the cases
    // that reconnect; the card pull ends the whole battery.
    static constexpr QualifyCase kLengthCases[] = {
        QualifyCase::Case2,         QualifyCase::Case3,         QualifyCase::Case4,
        QualifyCase::Case2Extended, QualifyCase::Case3Extended, QualifyCase::TimeRequest,
        QualifyCase::WaitingTime};
    static constexpr QualifyCase kStackCases[] = {
        QualifyCase::ShortBuffer, QualifyCase::OtherProtocol, QualifyCase::ExclusiveShared,
        QualifyCase::UnpowerReset, QualifyCase::ResetReconnect};
    std::vector<QualifyCell> cells;
    const auto add = [&cells](QualifyCase kind, std::uint32_t protocol, std::uint32_t length) {
        QualifyCell cell;
        cell.kind = kind;
        cell.protocol = protocol;
        cell.length = length;
        cells.push_back(std::move(cell));
    };
    for (const std::uint32_t protocol : plan.protocols) {
        add(QualifyCase::Case1, protocol, 0);
        for (const QualifyCase kind : kLengthCases) {
            for (const std::uint32_t length : CaseLengths(plan, kind)) {
                add(kind, protocol, length);
            }
        }
        if (plan.verifyPinDirect) {
            add(QualifyCase::PinPad, protocol, 0);
        }
        for (const QualifyCase kind : kStackCases) {
            add(kind, protocol, 0);
        }
    }
    if (plan.cardPull && !plan.protocols.empty()) {
        add(QualifyCase::CardPulled, plan.protocols.back(), 0);
    }
    return cells;
}
