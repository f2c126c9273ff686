#include <QCommandLineParser>
#include <QFile>
#include <QTextStream>

#include "cli/CliCommands.h"
#include "cli/ReaderChoice.h"
#include "cli/ReaderCommandPlatform.h"
#include "core/common/Conversions.h"
#include "core/contactless/ClassicCard.h"
#include "core/contactless/ContactlessAtr.h"
#include "core/contactless/MfdDump.h"
#include "core/contactless/Ndef.h"
#include "core/contactless/ReaderProbe.h"
#include "core/contactless/Type2Tag.h"
#include "insight/ContactlessNames.h"
#include "report/ContactlessReport.h"
#include "report/ReportFile.h"
#include "sim/SimCardFactory.h"
#include "sim/SimCardLibrary.h"
#include "sim/SimContactlessReader.h"
#include "sim/SimMifareClassic.h"
#include "sim/SimSectorKey.h"

namespace {

const QString kWord = QStringLiteral("contactless");

// The simulated reader's card: a MIFARE Classic 1K whose sector 5 opens only with key A
// 11 22 33 44 55 66, which the default keys do not hold, and whose block 4 is a value block
// holding 100.
void InsertSimulatedCard(CardLibrary& library) {
    auto& sim = dynamic_cast<SimCardLibrary&>(library);
    auto card = MakeSimCardFromOption("mifare-1k");
    ApplySimSectorKey(*card, *ParseSimSectorKey("5:A:112233445566"));
    dynamic_cast<SimContactlessReader&>(*card).Classic()->SetRawBlock(
        4, SimMifareClassic::ValueBlock(100, 4));
    sim.InsertCard(0, std::move(card));
}

QString Hex(const Bytes& bytes) {
    std::string text = BytesToHexText(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    if (!text.empty()) {
        text.pop_back();
    }
    return QString::fromStdString(text);
}

bool WriteFile(const QString& path, const QByteArray& bytes, QTextStream& err) {
    if (QString error; !SaveReportFile(path, bytes, error)) {
        err << "Cannot write " << path << '\n';
        return false;
    }
    return true;
}

std::optional<KeyFile> ReadKeys(const QString& path, QTextStream& err) {
    KeyFile keys;
    if (path.isEmpty()) {
        return keys;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CommandUsageError(err, kWord, QStringLiteral("cannot read the key file ") + path);
        return std::nullopt;
    }
    keys = ParseKeyFile(file.readAll().toStdString());
    for (const KeyFileError& error : keys.errors) {
        err << path << ':' << error.line << ": " << QString::fromStdString(error.message) << '\n';
    }
    if (!keys.errors.empty()) {
        CommandUsageError(err, kWord, QStringLiteral("the key file has errors"));
        return std::nullopt;
    }
    return keys;
}

int ReadClassic(ContactlessChannel& channel, ClassicType type, const KeyFile& keys,
                const QCommandLineParser& parser, QTextStream& out, QTextStream& err) {
    ClassicCard card(channel, ReaderDialect{});
    const ClassicImage image = card.ReadCard(ClassicLayout(type), keys);
    if (image.failureCode != 0) {
        err << "The card stopped answering: return code=0x"
            << QString::fromStdString(HexNumberText(image.failureCode, 16)) << '\n';
        return kExitUsage;
    }
    out << QString::fromStdString(SectorGridText(image));
    out << image.OpenedCount() << " of " << image.sectors.size() << " sectors opened\n";
    const QString dump = parser.value(QStringLiteral("dump"));
    std::string error;
    if (!dump.isEmpty() && !SaveMfd(dump.toStdString(), image, error)) {
        err << QString::fromStdString(error) << '\n';
        return kExitUsage;
    }
    const QString json = parser.value(QStringLiteral("json"));
    if (!json.isEmpty() &&
        !WriteFile(json, QByteArray::fromStdString(ClassicImageJson(image)), err)) {
        return kExitUsage;
    }
    return image.AllOpened() ? kExitSuccess : kExitCheckFailed;
}

int ReadType2(ContactlessChannel& channel, std::uint16_t cardName, const QCommandLineParser& parser,
              QTextStream& out, QTextStream& err) {
    const TagImage tag = ReadTag(channel, cardName);
    out << "Tag: " << QString::fromLatin1(TagTypeName(tag.layout.type).data()) << ", "
        << tag.pagesRead << " pages read\n";
    std::string error;
    const auto tlv = FindNdefTlv(tag.UserMemory(), error);
    if (!error.empty()) {
        out << "NDEF: " << QString::fromStdString(error) << '\n';
    } else if (!tlv) {
        out << "NDEF: no message\n";
    } else {
        const NdefMessage message = DecodeNdefMessage(*tlv);
        out << "NDEF message: " << message.records.size() << " records\n";
        for (const NdefRecord& record : message.records) {
            out << "  " << QString::fromStdString(RecordText(record)) << '\n';
        }
        if (message.error) {
            out << "  " << QString::fromStdString(*message.error) << '\n';
        }
    }
    const QString dump = parser.value(QStringLiteral("dump"));
    const QByteArray bytes(reinterpret_cast<const char*>(tag.bytes.data()),
                           static_cast<qsizetype>(tag.bytes.size()));
    if (!dump.isEmpty() && !WriteFile(dump, bytes, err)) {
        return kExitUsage;
    }
    return tag.pagesRead == tag.layout.pages ? kExitSuccess : kExitCheckFailed;
}

int RunProbe(ContactlessChannel& channel, const QString& json, QTextStream& out, QTextStream& err) {
    const ProbeReport report = ProbeReader(channel);
    out << QString::fromStdString(ProbeReportText(report));
    if (!json.isEmpty() &&
        !WriteFile(json, QByteArray::fromStdString(ProbeReportJson(report)), err)) {
        return kExitUsage;
    }
    return kExitSuccess;
}

}  // namespace

int RunContactlessCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    const QCommandLineOption reader(QStringLiteral("reader"),
                                    QStringLiteral("The reader, by name or index."),
                                    QStringLiteral("NAME|INDEX"));
    const QCommandLineOption simulated(
        QStringLiteral("simulated"),
        QStringLiteral("The built-in simulated contactless reader with a MIFARE Classic 1K "
                       "whose sector 5 opens only with key A 11 22 33 44 55 66 and whose "
                       "block 4 is a value block."));
    const QCommandLineOption keys(QStringLiteral("keys"),
                                  QStringLiteral("More keys: one a line, or sector:A|B:key."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption dump(QStringLiteral("dump"),
                                  QStringLiteral("Write the card's memory as a .mfd dump."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("Write the blocks and the keys that opened them as JSON."),
        QStringLiteral("FILE"));
    const QCommandLineOption probe(
        QStringLiteral("probe"),
        QStringLiteral("Find out how the reader speaks the contactless commands instead (this "
                       "loads the transport key FF..FF into every key slot it accepts, "
                       "non-volatile ones included); --json writes the report as JSON."));
    parser.addOptions({reader, simulated, keys, dump, json, probe});
    const auto usage = [&err](const QString& why) {
        err << "usage: contactless [--simulated] [--reader NAME|INDEX] [--keys FILE] "
               "[--dump FILE] [--json FILE] [--probe]\n";
        if (!why.isEmpty()) {
            err << why << '\n';
        }
        return kExitUsage;
    };
    if (const auto status = ParseCommandArguments(parser, kWord, args, out, usage)) {
        return *status;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usage(QString());
    }
    const auto keyFile = ReadKeys(parser.value(keys), err);
    if (!keyFile) {
        return kExitUsage;
    }
    const auto platform = MakeReaderCommandPlatform(parser.isSet(simulated));
    if (parser.isSet(simulated)) {
        InsertSimulatedCard(platform->Cards());
    }
    QString error;
    const auto name = ChooseAttachedReader(platform->Cards(), parser.value(reader), error);
    if (!name) {
        return CommandUsageError(err, kWord, error);
    }
    CardLibraryChannel channel(platform->Cards(), {});
    std::string openError;
    if (channel.Open(*name, openError) != 0) {
        return CommandUsageError(err, kWord, QString::fromStdString(openError));
    }
    const Bytes atr = channel.Atr();
    out << "Reader: " << QString::fromStdString(*name) << '\n';
    out << "ATR: " << Hex(atr) << '\n';
    const auto summary = ContactlessSummary(atr.data(), atr.size());
    out << "Card: "
        << (summary ? QString::fromStdString(*summary) : QStringLiteral("not a contactless card"))
        << '\n';
    if (parser.isSet(probe)) {
        return RunProbe(channel, parser.value(json), out, err);
    }
    const Exchange uid = channel.Transmit(GetDataCommand(GetDataItem::Uid));
    if (uid.Ok()) {
        out << "UID: " << Hex(ReplyData(uid.reply)) << '\n';
    }
    const auto parsed = ParseContactlessAtr(atr.data(), atr.size());
    const bool storage = parsed && parsed->kind == ContactlessAtr::Kind::StorageCard;
    switch (storage ? FamilyOfCardName(parsed->cardName) : CardFamily::Other) {
        case CardFamily::ClassicMini:
            return ReadClassic(channel, ClassicType::Mini, *keyFile, parser, out, err);
        case CardFamily::Classic1K:
            return ReadClassic(channel, ClassicType::Classic1K, *keyFile, parser, out, err);
        case CardFamily::Classic4K:
            return ReadClassic(channel, ClassicType::Classic4K, *keyFile, parser, out, err);
        case CardFamily::Ultralight:
            return ReadType2(channel, parsed->cardName, parser, out, err);
        case CardFamily::Other:
            break;
    }
    out << "No MIFARE Classic sectors or Type 2 tag pages to read on this card.\n";
    return kExitSuccess;
}
