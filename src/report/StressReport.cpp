#include "report/StressReport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <algorithm>
#include <climits>

#include "core/stress/ScriptWorkload.h"
#include "insight/PcscCodeNames.h"
#include "insight/StatusWords.h"
#include "report/ExchangeCsvLog.h"
#include "report/ReportFile.h"

namespace {
QString HexBytes(const std::vector<std::uint8_t>& bytes) {
    QStringList parts;
    for (const std::uint8_t byte : bytes) {
        parts.append(QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper());
    }
    return parts.join(QLatin1Char(' '));
}

QString CauseKind(FailureCause::Kind kind) {
    switch (kind) {
        case FailureCause::Kind::Code:
            return QStringLiteral("code");
        case FailureCause::Kind::StatusWord:
            return QStringLiteral("status word");
        case FailureCause::Kind::NoStatusWord:
            return QStringLiteral("no status word");
        case FailureCause::Kind::DataDiffers:
        case FailureCause::Kind::StatusWordDiffers:
            return QStringLiteral("expectation");
    }
    return {};
}

// JSON numbers are doubles: counts stay exact up to 2^53.
QJsonValue Count(std::uint64_t value) {
    return static_cast<double>(value);
}
}  // namespace

QString FailureCauseText(const FailureCause& cause) {
    switch (cause.kind) {
        case FailureCause::Kind::Code:
            return QString::fromStdString(PcscCodeText(cause.value));
        case FailureCause::Kind::StatusWord:
            return QString::fromStdString(
                StatusWordText(static_cast<std::uint8_t>(cause.value >> 8),
                               static_cast<std::uint8_t>(cause.value)));
        case FailureCause::Kind::NoStatusWord:
            return QStringLiteral("reply without status word");
        case FailureCause::Kind::DataDiffers:
            return QString::fromLatin1(MismatchText(ReplyMismatch::Kind::Data));
        case FailureCause::Kind::StatusWordDiffers:
            return QString::fromLatin1(MismatchText(ReplyMismatch::Kind::StatusWord));
    }
    return {};
}

QString MismatchDetailText(const ReplyMismatch& mismatch) {
    return QStringLiteral("expected %1, received %2")
        .arg(QString::fromStdString(mismatch.expected), HexBytes(mismatch.received));
}

QString RunEndDescription(const RunEnd& end) {
    return QString::fromStdString(RunEndText(end, PcscCodeText(end.code)));
}

QString UtcTimeText(std::int64_t unixMicros) {
    return QString::fromStdString(UtcTimestamp(unixMicros));
}

QJsonObject ReaderReportJson(const ReaderSnapshot& reader) {
    const LatencyHistogram& latency = reader.stats.latency;
    QJsonArray buckets;
    for (const LatencyHistogram::Bucket& bucket : latency.NonEmptyBuckets()) {
        buckets.append(QJsonArray{Count(bucket.low), Count(bucket.high), Count(bucket.count)});
    }
    QJsonArray causes;
    for (const auto& [cause, tally] : reader.stats.causes) {
        QJsonArray first;
        for (const FailureSample& sample : tally.first) {
            first.append(QJsonObject{{QStringLiteral("index"), Count(sample.index)},
                                     {QStringLiteral("time"), UtcTimeText(sample.unixMicros)}});
        }
        QJsonObject entry{{QStringLiteral("cause"), FailureCauseText(cause)},
                          {QStringLiteral("kind"), CauseKind(cause.kind)},
                          {QStringLiteral("value"), Count(cause.value)},
                          {QStringLiteral("count"), Count(tally.count)},
                          {QStringLiteral("first"), first}};
        if (tally.firstMismatch) {
            entry[QStringLiteral("expected")] =
                QString::fromStdString(tally.firstMismatch->expected);
            entry[QStringLiteral("received")] = HexBytes(tally.firstMismatch->received);
        }
        causes.append(entry);
    }
    return QJsonObject{
        {QStringLiteral("name"), QString::fromStdString(reader.reader)},
        {QStringLiteral("atr"), HexBytes(reader.atr)},
        {QStringLiteral("end"),
         reader.end ? RunEndDescription(*reader.end) : QStringLiteral("running")},
        {QStringLiteral("start"), reader.started ? UtcTimeText(reader.startUnixMicros) : QString()},
        {QStringLiteral("done"), Count(reader.stats.done)},
        {QStringLiteral("failed"), Count(reader.stats.failed)},
        {QStringLiteral("exchanges"), Count(reader.stats.exchanges)},
        {QStringLiteral("seconds"), reader.elapsedSeconds},
        {QStringLiteral("perSecond"), reader.UnitsPerSecond()},
        {QStringLiteral("latencyMicros"),
         QJsonObject{{QStringLiteral("min"), Count(latency.Min())},
                     {QStringLiteral("mean"), latency.Mean()},
                     {QStringLiteral("median"), Count(latency.Percentile(50))},
                     {QStringLiteral("p95"), Count(latency.Percentile(95))},
                     {QStringLiteral("p99"), Count(latency.Percentile(99))},
                     {QStringLiteral("max"), Count(latency.Max())}}},
        {QStringLiteral("histogram"), buckets},
        {QStringLiteral("failures"), causes}};
}

QJsonObject StressReportJson(const QString& programVersion, const QJsonObject& settings,
                             const std::vector<ReaderSnapshot>& readers) {
    std::int64_t start = INT64_MAX;
    std::int64_t end = 0;
    QJsonArray list;
    for (const ReaderSnapshot& reader : readers) {
        if (reader.started) {
            start = std::min(start, reader.startUnixMicros);
        }
        end = std::max(end, reader.end ? reader.endUnixMicros : UnixMicrosNow());
        list.append(ReaderReportJson(reader));
    }
    return QJsonObject{
        {QStringLiteral("program"), QStringLiteral("zp-readertest")},
        {QStringLiteral("version"), programVersion},
        {QStringLiteral("start"), start == INT64_MAX ? QString() : UtcTimeText(start)},
        {QStringLiteral("end"), UtcTimeText(end)},
        {QStringLiteral("settings"), settings},
        {QStringLiteral("readers"), list}};
}

bool SaveStressReport(const QString& path, const QJsonObject& report, QString& error) {
    return SaveReportFile(path, QJsonDocument(report).toJson(QJsonDocument::Indented), error);
}

bool CanSaveReport(const QString& path, QString& error) {
    if (QFileInfo(path).isDir()) {
        error = QStringLiteral("it is a directory");
        return false;
    }
    // The same temporary file the save writes, given up again: nothing is left behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.cancelWriting();
    return true;
}

StressWorkloadFactory LoadScriptWorkload(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return {};
    }
    const QByteArray text = file.readAll();
    std::string reason;
    StressWorkloadFactory factory =
        ScriptWorkloadFromText(std::string_view(text.constData(), text.size()), reason);
    error = QString::fromStdString(reason);
    return factory;
}
