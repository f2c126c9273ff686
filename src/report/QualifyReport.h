#pragma once

#include <QJsonObject>
#include <QString>
#include <string>
#include <string_view>

#include "core/qualify/QualifyPlan.h"
#include "core/qualify/QualifyRunner.h"

struct ReaderReport;

// The reports of a qualification run, shared by the window and the command line.

// "completed", "stopped", "no card", "neither test applet on the card", ...
QString QualifyEndText(const QualifyResult& result);

// The plan as given: protocols, quick or full, extended step, waiting times, reader limits,
// PIN pad and card pull.
QJsonObject QualifySettingsJson(const QualifyPlan& plan);

// The whole run: the program and its version, the reader and its properties (when read),
// the settings, the ATR, how the run ended, every cell, the folded matrix and the timings
// (time against length and throughput per case and protocol).
QJsonObject QualifyReportJson(const QString& programVersion, const QString& reader,
                              const ReaderReport* properties, const QualifyPlan& plan,
                              const QualifyResult& result);

// JUnit XML: one test suite per protocol, one test case per case and length range; a
// failing range carries its detail and its first cell's expected and received bytes, a
// skipped one is skipped.
std::string QualifyJunitReport(std::string_view suiteName, const QualifyResult& result);
