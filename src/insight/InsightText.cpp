#include "insight/InsightText.h"

#include <algorithm>

#include "insight/AtrDecoder.h"
#include "insight/ContactlessNames.h"
#include "insight/PcscCodeNames.h"
#include "insight/StatusWords.h"

namespace {

QString ProtocolText(std::uint32_t protocol) {
    switch (protocol) {
        case 1:
            return QStringLiteral("T=0");
        case 2:
            return QStringLiteral("T=1");
        case 16:
            return QStringLiteral("memory card");
        default:
            return QStringLiteral("protocol %1").arg(protocol);
    }
}

QString CardName(const AtrList::Match& match) {
    QString name = match.descriptions.isEmpty() ? match.pattern : match.descriptions.first();
    if (match.matchCount > 1) {
        name += QStringLiteral(" (first of %1 matching list entries)").arg(match.matchCount);
    }
    return name;
}

}  // namespace

QString CardSummaryText(const std::uint8_t* atr, std::uint32_t atrLength, std::uint32_t protocol,
                        const std::optional<AtrList::Match>& match) {
    const std::string hex = AtrHexText(atr, atrLength);
    QString text =
        hex.empty() ? QStringLiteral("No ATR") : QStringLiteral("ATR ") + QString::fromLatin1(hex);
    text += QStringLiteral(" | ") + ProtocolText(protocol);
    if (const auto contactless = ContactlessSummary(
            atr, atr == nullptr ? 0 : std::min<std::size_t>(atrLength, kAtrRecordSize))) {
        text += QStringLiteral(" | ") + QString::fromStdString(*contactless);
    }
    if (match) {
        text += QStringLiteral(" | ") + CardName(*match);
    }
    return text;
}

QString NoCardText(const QString& readerName) {
    return readerName.isEmpty() ? QStringLiteral("No card")
                                : QStringLiteral("No card | ") + readerName;
}

QString AtrToolTipText(const std::uint8_t* atr, std::uint32_t atrLength,
                       const std::optional<AtrList::Match>& match) {
    QString text = QString::fromLatin1(DescribeAtr(DecodeAtr(atr, atrLength)));
    if (match) {
        text += QStringLiteral("\nATR list: ") + match->pattern;
        if (match->matchCount > 1) {
            text += QStringLiteral(" (first of %1 matching entries)").arg(match->matchCount);
        }
        for (const QString& description : match->descriptions) {
            text += QStringLiteral("\n  ") + description;
        }
    }
    return text;
}

QString ExchangeStatusText(std::uint32_t code, const std::uint8_t* reply,
                           std::uint32_t replyLength) {
    if (code != 0) {
        return QString::fromLatin1(PcscCodeText(code));
    }
    if (reply == nullptr || replyLength < 2) {
        return QStringLiteral("No status word in the reply");
    }
    return QString::fromLatin1(StatusWordText(reply[replyLength - 2], reply[replyLength - 1]));
}

QString MemoryResultText(std::uint32_t code) {
    if (code == 0) {
        return QString::fromLatin1(StatusWordText(0x90, 0x00));
    }
    if (code <= 0xFFFF) {
        return QString::fromLatin1(StatusWordText(code >> 8, code & 0xFF));
    }
    return QString::fromLatin1(PcscCodeText(code));
}
