#include "report/QualifyReport.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QXmlStreamWriter>
#include <algorithm>
#include <cstdio>

#include "core/common/Conversions.h"
#include "core/qualify/QualifyMatrix.h"
#include "core/session/CardLibrary.h"
#include "insight/PcscCodeNames.h"
#include "report/ReaderPropertiesReport.h"

using namespace Qt::StringLiterals;

namespace {
// A failing cell's bytes are written from a little before the first difference, so that a
// run whose every 64 KiB reply failed still gives a report of a reasonable size.
constexpr std::size_t kWindowBefore = 16;
constexpr std::size_t kWindowBytes = 64;

QString Text(const char* text) {
    return QString::fromUtf8(text);
}

QString Hex(const std::vector<std::uint8_t>& bytes, std::size_t from = 0,
            std::size_t count = std::string::npos) {
    if (from >= bytes.size()) {
        return {};
    }
    count = std::min(count, bytes.size() - from);
    std::string text = BytesToHexText(bytes.data() + from, static_cast<std::int32_t>(count));
    if (!text.empty()) {
        text.pop_back();
    }
    return QString::fromStdString(text);
}

QString StatusWordText(std::uint16_t sw) {
    return QString::asprintf("%02X %02X", sw >> 8, sw & 0xFF);
}

std::size_t WindowStart(const QualifyCell& cell) {
    const auto difference =
        static_cast<std::size_t>(std::max<std::int64_t>(cell.firstDifference, 0));
    return difference > kWindowBefore ? difference - kWindowBefore : 0;
}

QJsonObject CellJson(const QualifyCell& cell) {
    QJsonObject object{{u"case"_s, Text(CaseName(cell.kind))},
                       {u"protocol"_s, Text(ProtocolName(cell.protocol))},
                       {u"length"_s, static_cast<qint64>(cell.length)},
                       {u"outcome"_s, Text(OutcomeName(cell.outcome))},
                       {u"micros"_s, static_cast<qint64>(cell.micros)},
                       {u"exchanges"_s, static_cast<qint64>(cell.exchanges)}};
    if (cell.statusWord != 0) {
        object.insert(u"statusWord"_s, StatusWordText(cell.statusWord));
    }
    if (!cell.detail.empty()) {
        object.insert(u"detail"_s, QString::fromStdString(cell.detail));
    }
    if (cell.outcome != CellOutcome::Fail) {
        return object;
    }
    if (cell.code != 0) {
        object.insert(u"code"_s, QString::fromStdString(PcscCodeText(cell.code)));
    }
    const std::size_t from = WindowStart(cell);
    object.insert(u"firstDifference"_s, static_cast<qint64>(cell.firstDifference));
    object.insert(u"expectedLength"_s, static_cast<qint64>(cell.expected.size()));
    object.insert(u"receivedLength"_s, static_cast<qint64>(cell.received.size()));
    object.insert(u"bytesFrom"_s, static_cast<qint64>(from));
    object.insert(u"expected"_s, Hex(cell.expected, from, kWindowBytes));
    object.insert(u"received"_s, Hex(cell.received, from, kWindowBytes));
    return object;
}

QJsonArray MatrixJson(const std::vector<FoldedRow>& rows) {
    QJsonArray matrix;
    for (const FoldedRow& row : rows) {
        QJsonArray ranges;
        for (const FoldedRange& range : row.ranges) {
            QJsonObject object{{u"first"_s, static_cast<qint64>(range.first)},
                               {u"last"_s, static_cast<qint64>(range.last)},
                               {u"cells"_s, static_cast<qint64>(range.count)},
                               {u"outcome"_s, Text(OutcomeName(range.outcome))}};
            if (!range.detail.empty()) {
                object.insert(u"detail"_s, QString::fromStdString(range.detail));
            }
            ranges.append(object);
        }
        matrix.append(QJsonObject{{u"case"_s, Text(CaseName(row.kind))},
                                  {u"protocol"_s, Text(ProtocolName(row.protocol))},
                                  {u"text"_s, QString::fromStdString(RowText(row))},
                                  {u"ranges"_s, ranges}});
    }
    return matrix;
}

QJsonArray TimingsJson(const std::vector<QualifyCell>& cells) {
    QJsonArray timings;
    for (const TimingSeries& series : TimingCurves(cells)) {
        QJsonArray points;
        for (const TimingPoint& point : series.points) {
            points.append(
                QJsonArray{static_cast<qint64>(point.length), static_cast<qint64>(point.micros)});
        }
        timings.append(QJsonObject{{u"case"_s, Text(CaseName(series.kind))},
                                   {u"protocol"_s, Text(ProtocolName(series.protocol))},
                                   {u"bytesPerSecond"_s, series.bytesPerSecond},
                                   {u"lengthMicros"_s, points}});
    }
    return timings;
}

QJsonArray Numbers(const std::vector<std::uint32_t>& values) {
    QJsonArray array;
    for (const std::uint32_t value : values) {
        array.append(static_cast<qint64>(value));
    }
    return array;
}

QJsonArray ProtocolNames(const std::vector<std::uint32_t>& protocols) {
    QJsonArray array;
    for (const std::uint32_t protocol : protocols) {
        array.append(Text(ProtocolName(protocol)));
    }
    return array;
}

QString Seconds(std::uint64_t micros) {
    return QString::asprintf("%.6f", static_cast<double>(micros) / 1e6);
}

struct RangeCounts {
    int tests = 0;
    int failures = 0;
    int skipped = 0;
    std::uint64_t micros = 0;
};

std::uint64_t RangeMicros(const std::vector<QualifyCell>& cells, const FoldedRow& row,
                          const FoldedRange& range) {
    std::uint64_t micros = 0;
    for (const QualifyCell& cell : cells) {
        if (cell.kind == row.kind && cell.protocol == row.protocol && cell.length >= range.first &&
            cell.length <= range.last) {
            micros += cell.micros;
        }
    }
    return micros;
}
}  // namespace

QString QualifyEndText(const QualifyResult& result) {
    switch (result.end) {
        case QualifyEnd::Completed:
            return u"completed"_s;
        case QualifyEnd::Stopped:
            return u"stopped"_s;
        case QualifyEnd::NoContext:
            return u"no context: "_s + QString::fromStdString(PcscCodeText(result.code));
        case QualifyEnd::NoCard:
            return result.code == 0
                       ? u"no card"_s
                       : u"no card: "_s + QString::fromStdString(PcscCodeText(result.code));
        case QualifyEnd::NoTestApplet:
            return u"neither test applet on the card"_s;
    }
    return {};
}

QJsonObject QualifySettingsJson(const QualifyPlan& plan) {
    QJsonObject settings{{u"protocols"_s, ProtocolNames(plan.protocols)},
                         {u"run"_s, plan.full ? u"full"_s : u"quick"_s},
                         {u"extendedStep"_s, static_cast<qint64>(plan.extendedStep)},
                         {u"waitingTimes"_s, Numbers(plan.waitingTimes)},
                         {u"readerLimits"_s, Numbers(plan.readerLimits)},
                         {u"pinPad"_s, plan.verifyPinDirect.has_value()},
                         {u"cardPull"_s, plan.cardPull}};
    return settings;
}

QJsonObject QualifyReportJson(const QString& programVersion, const QString& reader,
                              const ReaderReport* properties, const QualifyPlan& plan,
                              const QualifyResult& result) {
    QJsonObject report{{u"program"_s, u"zp-readertest"_s},
                       {u"version"_s, programVersion},
                       {u"reader"_s, reader},
                       {u"settings"_s, QualifySettingsJson(plan)},
                       {u"atr"_s, Hex(result.atr)},
                       {u"end"_s, QualifyEndText(result)},
                       {u"passed"_s, result.AllPassed()},
                       {u"protocols"_s, ProtocolNames(result.protocols)},
                       {u"readerTestApplet"_s, result.readerTestApplet},
                       {u"extendedApplet"_s, result.extendedApplet},
                       {u"exchanges"_s, static_cast<qint64>(result.exchanges)},
                       {u"micros"_s, static_cast<qint64>(result.micros)}};
    if (properties != nullptr) {
        const std::string json = ReaderReportJson(*properties);
        report.insert(u"properties"_s,
                      QJsonDocument::fromJson(QByteArray::fromStdString(json)).object());
    }
    QJsonArray cells;
    for (const QualifyCell& cell : result.cells) {
        cells.append(CellJson(cell));
    }
    report.insert(u"cells"_s, cells);
    report.insert(u"matrix"_s, MatrixJson(FoldCells(result.cells)));
    report.insert(u"timings"_s, TimingsJson(result.cells));
    return report;
}

std::string QualifyJunitReport(std::string_view suiteName, const QualifyResult& result) {
    const std::vector<FoldedRow> rows = FoldCells(result.cells);
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(2);
    writer.writeStartDocument();
    writer.writeStartElement(u"testsuites"_s);
    for (const std::uint32_t protocol : {kProtocolT0, kProtocolT1}) {
        RangeCounts counts;
        for (const FoldedRow& row : rows) {
            if (row.protocol != protocol) {
                continue;
            }
            for (const FoldedRange& range : row.ranges) {
                ++counts.tests;
                counts.failures += range.outcome == CellOutcome::Fail ? 1 : 0;
                counts.skipped += range.outcome == CellOutcome::Skipped ? 1 : 0;
                counts.micros += RangeMicros(result.cells, row, range);
            }
        }
        if (counts.tests == 0) {
            continue;
        }
        const QString suite =
            QString::fromUtf8(suiteName.data(), static_cast<qsizetype>(suiteName.size())) + u" "_s +
            Text(ProtocolName(protocol));
        writer.writeStartElement(u"testsuite"_s);
        writer.writeAttribute(u"name"_s, suite);
        writer.writeAttribute(u"tests"_s, QString::number(counts.tests));
        writer.writeAttribute(u"failures"_s, QString::number(counts.failures));
        writer.writeAttribute(u"errors"_s, u"0"_s);
        writer.writeAttribute(u"skipped"_s, QString::number(counts.skipped));
        writer.writeAttribute(u"time"_s, Seconds(counts.micros));
        for (const FoldedRow& row : rows) {
            if (row.protocol != protocol) {
                continue;
            }
            for (const FoldedRange& range : row.ranges) {
                const bool child = range.outcome != CellOutcome::Pass;
                if (child) {
                    writer.writeStartElement(u"testcase"_s);
                } else {
                    writer.writeEmptyElement(u"testcase"_s);
                }
                writer.writeAttribute(u"classname"_s, suite + u"."_s + Text(CaseName(row.kind)));
                writer.writeAttribute(u"name"_s, QString::fromStdString(RangeName(row, range)));
                writer.writeAttribute(u"time"_s, Seconds(RangeMicros(result.cells, row, range)));
                if (range.outcome == CellOutcome::Skipped) {
                    writer.writeEmptyElement(u"skipped"_s);
                    if (!range.detail.empty()) {
                        writer.writeAttribute(u"message"_s, QString::fromStdString(range.detail));
                    }
                } else if (range.outcome == CellOutcome::Fail) {
                    const QualifyCell& cell = result.cells[range.sample];
                    const std::size_t from = WindowStart(cell);
                    writer.writeStartElement(u"failure"_s);
                    writer.writeAttribute(u"message"_s, QString::fromStdString(range.detail));
                    writer.writeCharacters(
                        u"first cell %1: expected %2, received %3 (from byte %4), first difference at %5"_s
                            .arg(QString::number(cell.length),
                                 Hex(cell.expected, from, kWindowBytes),
                                 Hex(cell.received, from, kWindowBytes), QString::number(from),
                                 QString::number(cell.firstDifference)));
                    writer.writeEndElement();
                }
                if (child) {
                    writer.writeEndElement();
                }
            }
        }
        writer.writeEndElement();
    }
    writer.writeEndDocument();
    return xml.toStdString();
}
