#pragma once

#include <QJsonObject>
#include <QString>
#include <vector>

#include "core/stress/StressStats.h"
#include "core/stress/StressWorkload.h"

// The words and the JSON report of a stress run, shared by the window and the command line.

// "SCARD_F_COMM_ERROR", "6A 82 File or application not found" or "reply without status word".
QString FailureCauseText(const FailureCause& cause);
// "expected 6A 82, received 90 00"
QString MismatchDetailText(const ReplyMismatch& mismatch);
// "completed", "card removed (SCARD_W_REMOVED_CARD)", ...
QString RunEndDescription(const RunEnd& end);
// "2026-12-08T17:26:30.123456Z"
QString UtcTimeText(std::int64_t unixMicros);

// One reader: name, ATR, how its run ended, counts, rate, latency figures, the non-empty
// histogram buckets and the failures by cause with their first occurrences (for an unmet
// expectation, also the bytes expected and received the first time).
QJsonObject ReaderReportJson(const ReaderSnapshot& reader);

// The whole run: the program and its version, the settings as given, start and end times
// and every reader.
QJsonObject StressReportJson(const QString& programVersion, const QJsonObject& settings,
                             const std::vector<ReaderSnapshot>& readers);

// Writes the report atomically (a failed save leaves no partial file); false with the reason.
bool SaveStressReport(const QString& path, const QJsonObject& report, QString& error);
// Whether a report can be saved at `path`, checked before a run and writing nothing; false
// with the reason.
bool CanSaveReport(const QString& path, QString& error);

// The workload of the script file at `path`; an empty factory and the reason (the file
// cannot be read, or the parser's error with its line and column) otherwise.
StressWorkloadFactory LoadScriptWorkload(const QString& path, QString& error);
