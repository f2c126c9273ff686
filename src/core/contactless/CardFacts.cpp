#include "core/contactless/CardFacts.h"

namespace {

std::optional<Bytes> GetData(ContactlessChannel& channel, GetDataItem item) {
    const Exchange exchange = channel.Transmit(GetDataCommand(item));
    if (!exchange.Ok()) {
        return std::nullopt;
    }
    Bytes data = ReplyData(exchange.reply);
    return data.empty() ? std::nullopt : std::optional<Bytes>(std::move(data));
}

}  // namespace

CardFacts ReadCardFacts(ContactlessChannel& channel) {
    CardFacts facts;
    facts.atr = channel.Atr();
    facts.parsed = ParseContactlessAtr(facts.atr.data(), facts.atr.size());
    if (facts.parsed && facts.parsed->kind == ContactlessAtr::Kind::StorageCard) {
        facts.family = FamilyOfCardName(facts.parsed->cardName);
    }
    facts.uid = GetData(channel, GetDataItem::Uid);
    facts.ats = GetData(channel, GetDataItem::AtsHistorical);
    facts.sak = GetData(channel, GetDataItem::Sak);
    facts.atqa = GetData(channel, GetDataItem::Atqa);
    return facts;
}

std::optional<ClassicType> ClassicTypeOfFamily(CardFamily family) {
    switch (family) {
        case CardFamily::ClassicMini:
            return ClassicType::Mini;
        case CardFamily::Classic1K:
            return ClassicType::Classic1K;
        case CardFamily::Classic4K:
            return ClassicType::Classic4K;
        default:
            return std::nullopt;
    }
}
