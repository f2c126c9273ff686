#include "core/contactless/ReaderProbe.h"

#include <algorithm>
#include <cstdio>

#include "core/contactless/ContactlessAtr.h"

namespace {
constexpr MifareKey kTransportKey = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// The answers of a reader that does not know the instruction or the class.
bool UnknownInstruction(std::uint16_t status) {
    return status == 0x6D00 || status == 0x6E00 || status == 0x6A81 || status == 0x6800;
}

std::optional<ClassicLayout> LayoutOfAtr(const Bytes& atr) {
    const auto parsed = ParseContactlessAtr(atr.data(), atr.size());
    if (!parsed || parsed->kind != ContactlessAtr::Kind::StorageCard) {
        return std::nullopt;
    }
    switch (FamilyOfCardName(parsed->cardName)) {
        case CardFamily::ClassicMini:
            return ClassicLayout(ClassicType::Mini);
        case CardFamily::Classic1K:
            return ClassicLayout(ClassicType::Classic1K);
        case CardFamily::Classic4K:
            return ClassicLayout(ClassicType::Classic4K);
        default:
            return std::nullopt;
    }
}

FormTrial Trial(const CardStep& step) {
    FormTrial trial;
    trial.result = step.Ok() ? FormTrial::Result::Works : FormTrial::Result::Refused;
    trial.status = step.status;
    return trial;
}

FormTrial NotTried(std::string note) {
    FormTrial trial;
    trial.note = std::move(note);
    return trial;
}

void ProbeSlots(ContactlessChannel& channel, const ProbeOptions& options, ProbeReport& report) {
    for (const KeyStore store : {KeyStore::Volatile, KeyStore::NonVolatile}) {
        if (store == KeyStore::NonVolatile && !options.nonVolatile) {
            continue;
        }
        auto& accepted =
            store == KeyStore::Volatile ? report.volatileSlots : report.nonVolatileSlots;
        for (int slot = 0; slot <= options.lastSlot; ++slot) {
            const Exchange exchange = channel.Transmit(
                LoadKeysCommand(store, static_cast<std::uint8_t>(slot), kTransportKey));
            if (exchange.Ok()) {
                accepted.push_back(static_cast<std::uint8_t>(slot));
            } else if (report.slotRefusal == 0) {
                report.slotRefusal = exchange.Status();
            }
        }
    }
}

void ProbeAts(ContactlessChannel& channel, ProbeReport& report) {
    const Exchange exchange = channel.Transmit(GetDataCommand(GetDataItem::AtsHistorical));
    const Bytes atr = channel.Atr();
    const auto parsed = ParseContactlessAtr(atr.data(), atr.size());
    const bool hasAts = parsed && parsed->kind == ContactlessAtr::Kind::Iso14443_4;
    if (!hasAts || !exchange.Ok()) {
        report.wholeAts = NotTried(hasAts ? "GET DATA of the ATS refused"
                                          : "the card has no ATS (no ISO 14443-4 card)");
        report.wholeAts.status = exchange.Status();
        return;
    }
    report.atsReply = ReplyData(exchange.reply);
    const Bytes& reply = report.atsReply;
    const Bytes& historical = parsed->historical;
    // An ATS starts with its length byte TL, which counts itself.
    const bool whole = !reply.empty() && reply[0] == reply.size() &&
                       reply.size() > historical.size() &&
                       std::equal(historical.rbegin(), historical.rend(), reply.rbegin());
    report.wholeAts.result = whole ? FormTrial::Result::Works : FormTrial::Result::Refused;
    report.wholeAts.status = kStatusOk;
    report.wholeAts.note = whole                 ? "the whole ATS"
                           : reply == historical ? "the historical bytes only"
                                                 : "neither the ATS nor its historical bytes";
}

// Finds a key that opens sector 0 in `form`; the card is awake again after each refusal.
std::optional<KeyCandidate> OpenSectorZero(ContactlessChannel& channel, ReaderDialect dialect,
                                           CardStep& last) {
    ClassicCard card(channel, dialect);
    for (const MifareKey& key : DefaultKeys()) {
        for (const KeyType type : {KeyType::A, KeyType::B}) {
            last = card.Authenticate(0, {key, type});
            if (last.Ok()) {
                return KeyCandidate{key, type};
            }
            if (last.code != 0) {
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

// A value block in a sector that `key` opens: its block number.
std::optional<int> FindValueBlock(ClassicCard& card, const ClassicLayout& layout,
                                  const KeyCandidate& key) {
    for (int sector = 0; sector < layout.SectorCount(); ++sector) {
        for (int block = layout.FirstBlock(sector); block < layout.TrailerBlock(sector); ++block) {
            BlockBytes bytes{};
            const CardStep step = card.ReadBlock(block, key, bytes);
            if (step.code != 0) {
                return std::nullopt;
            }
            if (!ClassicLayout::IsManufacturerBlock(block) && step.Ok() &&
                DecodeValueBlock(bytes.data())) {
                return block;
            }
            if (!step.Ok()) {
                break;  // the key does not open this sector
            }
        }
    }
    return std::nullopt;
}

void ProbeValueForms(ContactlessChannel& channel, const ClassicLayout& layout,
                     const KeyCandidate& key, ProbeReport& report) {
    ReaderDialect dialect = report.dialect;
    ClassicCard finder(channel, dialect);
    const auto block = FindValueBlock(finder, layout, key);
    if (!block) {
        report.commonValue = NotTried("no value block under a default key to try it on");
        report.valueObject = report.commonValue;
        return;
    }
    // Increments by 0: the value stays as it is.
    for (const ValueForm form : {ValueForm::Common, ValueForm::DataObject}) {
        dialect.value = form;
        ClassicCard card(channel, dialect);
        FormTrial trial = Trial(card.ChangeValue(layout, *block, key, ValueOp::Increment, 0));
        trial.note = "increment by 0 of block " + std::to_string(*block);
        if (trial.result == FormTrial::Result::Refused && !UnknownInstruction(trial.status)) {
            trial.note += "; the reader knows the command";
        }
        (form == ValueForm::Common ? report.commonValue : report.valueObject) = trial;
    }
    if (report.commonValue.result != FormTrial::Result::Works &&
        report.valueObject.result == FormTrial::Result::Works) {
        report.dialect.value = ValueForm::DataObject;
    }
}
}  // namespace

ProbeReport ProbeReader(ContactlessChannel& channel, const ProbeOptions& options) {
    ProbeReport report;
    const Exchange uid = channel.Transmit(GetDataCommand(GetDataItem::Uid));
    if (uid.Ok()) {
        report.uid = ReplyData(uid.reply);
    }
    ProbeAts(channel, report);
    ProbeSlots(channel, options, report);

    const auto layout = LayoutOfAtr(channel.Atr());
    if (!layout) {
        report.generalAuthenticate = NotTried("the card is no MIFARE Classic card");
        report.legacyAuthenticate = report.commonValue = report.valueObject =
            report.generalAuthenticate;
        return report;
    }
    if (report.volatileSlots.empty() && report.nonVolatileSlots.empty()) {
        report.generalAuthenticate = NotTried("LOAD KEYS accepted no key slot");
        report.legacyAuthenticate = report.commonValue = report.valueObject =
            report.generalAuthenticate;
        return report;
    }
    report.dialect.store =
        report.volatileSlots.empty() ? KeyStore::NonVolatile : KeyStore::Volatile;
    report.dialect.slot = report.volatileSlots.empty() ? report.nonVolatileSlots.front()
                                                       : report.volatileSlots.front();
    std::optional<KeyCandidate> opened;
    for (const AuthForm form : {AuthForm::General, AuthForm::Legacy}) {
        ReaderDialect dialect = report.dialect;
        dialect.auth = form;
        CardStep last;
        const auto key = OpenSectorZero(channel, dialect, last);
        FormTrial trial = Trial(last);
        if (!key) {
            trial.note = "no default key opened sector 0";
        }
        (form == AuthForm::General ? report.generalAuthenticate : report.legacyAuthenticate) =
            trial;
        if (key && !opened) {
            opened = key;
            report.dialect.auth = form;
        }
    }
    if (!opened) {
        report.commonValue = NotTried("no authentication worked");
        report.valueObject = report.commonValue;
        return report;
    }
    ProbeValueForms(channel, *layout, *opened, report);
    return report;
}

std::string FormResultText(const FormTrial& trial) {
    std::string text;
    char status[16];
    std::snprintf(status, sizeof status, "%02X %02X", trial.status >> 8, trial.status & 0xFF);
    switch (trial.result) {
        case FormTrial::Result::Works:
            text = "works";
            break;
        case FormTrial::Result::Refused:
            text = trial.status != 0 ? std::string("refused (") + status + ")" : "refused";
            break;
        case FormTrial::Result::NotTried:
            // A status word means the command went out, but its answer could not tell.
            text = trial.status != 0 ? std::string("not decided (") + status + ")" : "not tried";
            break;
    }
    return trial.note.empty() ? text : text + ": " + trial.note;
}
