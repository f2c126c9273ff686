#include "report/ContactlessReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <cstdio>

#include "core/common/Conversions.h"
#include "core/contactless/KeyList.h"

using namespace Qt::StringLiterals;

namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    std::string text = BytesToHexText(bytes, static_cast<std::int32_t>(n));
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::string Hex(const Bytes& bytes) {
    return Hex(bytes.data(), bytes.size());
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Hex pairs, blanks allowed, to bytes; nothing for anything else.
std::optional<Bytes> ParseHex(const QString& text) {
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    const QByteArray latin = digits.toUpper().toLatin1();
    if (latin.size() % 2 != 0) {
        return std::nullopt;
    }
    Bytes bytes(static_cast<std::size_t>(latin.size() / 2));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!HexPairToByte(latin.constData() + 2 * i, bytes[i])) {
            return std::nullopt;
        }
    }
    return bytes;
}

std::string StatusText(std::uint16_t status) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X %02X", status >> 8, status & 0xFF);
    return text;
}

std::string KeyUsed(const KeyCandidate& candidate) {
    return std::string("key ") + (candidate.type == KeyType::A ? "A " : "B ") +
           KeyText(candidate.key);
}

// "00-03, 10" for the numbers 00, 01, 02, 03 and 10; "none" for no slot.
std::string SlotsText(const std::vector<std::uint8_t>& numbers) {
    std::string text;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1) {
            ++j;
        }
        text += (text.empty() ? "" : ", ") + HexNumberText(numbers[i], 2);
        if (j > i) {
            text += "-" + HexNumberText(numbers[j], 2);
        }
        i = j + 1;
    }
    return text.empty() ? "none" : text;
}

const char* ResultWord(FormTrial::Result result) {
    switch (result) {
        case FormTrial::Result::Works:
            return "works";
        case FormTrial::Result::Refused:
            return "refused";
        case FormTrial::Result::NotTried:
            break;
    }
    return "not tried";
}

QJsonObject TrialJson(const FormTrial& trial) {
    return QJsonObject{{u"result"_s, QLatin1String(ResultWord(trial.result))},
                       {u"status"_s, Q(trial.status != 0 ? StatusText(trial.status) : "")},
                       {u"note"_s, Q(trial.note)}};
}

QJsonArray SlotsJson(const std::vector<std::uint8_t>& numbers) {
    QJsonArray array;
    for (const std::uint8_t slot : numbers) {
        array.append(slot);
    }
    return array;
}

}  // namespace

std::string ClassicImageJson(const ClassicImage& image) {
    const ClassicLayout layout(image.type);
    QJsonArray sectors;
    for (int sector = 0; sector < static_cast<int>(image.sectors.size()); ++sector) {
        const SectorRead& read = image.sectors[sector];
        QJsonObject entry{{u"sector"_s, sector}};
        if (read.openedBy) {
            entry[u"keyType"_s] = read.openedBy->type == KeyType::A ? u"A"_s : u"B"_s;
            entry[u"key"_s] = Q(KeyText(read.openedBy->key));
        } else {
            entry[u"keyType"_s] = QJsonValue::Null;
            entry[u"key"_s] = QJsonValue::Null;
        }
        QJsonArray blocks;
        for (int i = 0; i < static_cast<int>(read.blockRead.size()); ++i) {
            const std::size_t offset = static_cast<std::size_t>(layout.FirstBlock(sector) + i) * 16;
            if (read.blockRead[i] && offset + 16 <= image.bytes.size()) {
                blocks.append(Q(Hex(image.bytes.data() + offset, 16)));
            } else {
                blocks.append(QJsonValue::Null);
            }
        }
        entry[u"blocks"_s] = blocks;
        sectors.append(entry);
    }
    const QJsonObject root{{u"type"_s, Q(std::string(layout.Name()))},
                           {u"uid"_s, Q(Hex(image.uid))},
                           {u"sectorsOpened"_s, image.OpenedCount()},
                           {u"sectors"_s, sectors}};
    return QJsonDocument(root).toJson().toStdString();
}

std::optional<ClassicImage> ClassicImageFromJson(const std::string& json, std::string& error) {
    QJsonParseError parseError{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(json), &parseError);
    if (!document.isObject()) {
        error = "Not a JSON object: " + parseError.errorString().toStdString();
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    std::optional<ClassicType> type;
    for (const ClassicType t :
         {ClassicType::Mini, ClassicType::Classic1K, ClassicType::Classic4K}) {
        if (root[u"type"_s].toString() == Q(std::string(ClassicLayout(t).Name()))) {
            type = t;
        }
    }
    if (!type) {
        error = "Unknown card type \"" + root[u"type"_s].toString().toStdString() + "\"";
        return std::nullopt;
    }
    const ClassicLayout layout(*type);
    const QJsonArray sectors = root[u"sectors"_s].toArray();
    if (sectors.size() != layout.SectorCount()) {
        error = "A " + std::string(layout.Name()) + " has " + std::to_string(layout.SectorCount()) +
                " sectors; the dump holds " + std::to_string(sectors.size()) + ".";
        return std::nullopt;
    }
    ClassicImage image;
    image.type = *type;
    image.uid = ParseHex(root[u"uid"_s].toString()).value_or(Bytes{});
    image.bytes.assign(layout.ByteSize(), 0);
    for (int sector = 0; sector < layout.SectorCount(); ++sector) {
        const QJsonObject entry = sectors[sector].toObject();
        SectorRead read;
        if (entry[u"key"_s].isString()) {
            const auto key = ParseKey(entry[u"key"_s].toString().toStdString());
            if (!key) {
                error = "Sector " + std::to_string(sector) + ": not a key";
                return std::nullopt;
            }
            read.openedBy = KeyCandidate{
                *key, entry[u"keyType"_s].toString() == u"B"_s ? KeyType::B : KeyType::A};
        }
        const QJsonArray blocks = entry[u"blocks"_s].toArray();
        if (blocks.size() != layout.BlocksInSector(sector)) {
            error = "Sector " + std::to_string(sector) + ": " +
                    std::to_string(layout.BlocksInSector(sector)) + " blocks expected";
            return std::nullopt;
        }
        read.blockRead.assign(blocks.size(), false);
        for (int i = 0; i < blocks.size(); ++i) {
            if (blocks[i].isNull()) {
                continue;
            }
            const auto bytes = ParseHex(blocks[i].toString());
            if (!bytes || bytes->size() != 16) {
                error = "Block " + std::to_string(layout.FirstBlock(sector) + i) +
                        ": not 16 bytes in hex";
                return std::nullopt;
            }
            std::copy(bytes->begin(), bytes->end(),
                      image.bytes.begin() + (layout.FirstBlock(sector) + i) * 16);
            read.blockRead[i] = true;
        }
        image.sectors.push_back(read);
    }
    return image;
}

std::string SectorGridText(const ClassicImage& image) {
    std::string text;
    char label[16];
    for (std::size_t sector = 0; sector < image.sectors.size(); ++sector) {
        const SectorRead& read = image.sectors[sector];
        std::snprintf(label, sizeof label, "Sector %2zu: ", sector);
        text += label + (read.openedBy ? KeyUsed(*read.openedBy) : std::string("no key")) + "\n";
    }
    return text;
}

std::string ProbeReportText(const ProbeReport& report) {
    std::string text =
        "UID: " + (report.uid.empty() ? std::string("not given") : Hex(report.uid)) + "\n";
    text += "GET DATA of the ATS (FF CA 01 00): " + FormResultText(report.wholeAts) +
            (report.atsReply.empty() ? "" : " [" + Hex(report.atsReply) + "]") + "\n";
    text += "LOAD KEYS volatile (P1 00): " + SlotsText(report.volatileSlots) + "\n";
    text += "LOAD KEYS non-volatile (P1 20): " + SlotsText(report.nonVolatileSlots) + "\n";
    if (report.slotRefusal != 0) {
        text += "LOAD KEYS first refusal: " + StatusText(report.slotRefusal) + "\n";
    }
    text += "GENERAL AUTHENTICATE (FF 86): " + FormResultText(report.generalAuthenticate) + "\n";
    text += "AUTHENTICATE older form (FF 88): " + FormResultText(report.legacyAuthenticate) + "\n";
    text += "Value block, common form (FF D7): " + FormResultText(report.commonValue) + "\n";
    text += "Value block, data objects (FF C2 00 03): " + FormResultText(report.valueObject) + "\n";
    return text;
}

std::string ProbeReportJson(const ProbeReport& report) {
    const QJsonObject root{
        {u"uid"_s, Q(Hex(report.uid))},
        {u"atsReply"_s, Q(Hex(report.atsReply))},
        {u"wholeAts"_s, TrialJson(report.wholeAts)},
        {u"loadKeys"_s,
         QJsonObject{{u"volatile"_s, SlotsJson(report.volatileSlots)},
                     {u"nonVolatile"_s, SlotsJson(report.nonVolatileSlots)},
                     {u"firstRefusal"_s,
                      Q(report.slotRefusal != 0 ? StatusText(report.slotRefusal) : "")}}},
        {u"generalAuthenticate"_s, TrialJson(report.generalAuthenticate)},
        {u"legacyAuthenticate"_s, TrialJson(report.legacyAuthenticate)},
        {u"commonValue"_s, TrialJson(report.commonValue)},
        {u"valueObject"_s, TrialJson(report.valueObject)},
    };
    return QJsonDocument(root).toJson().toStdString();
}
