#pragma once

#include <QString>
#include <utility>
#include <vector>

#include "report/QualificationMatrix.h"

struct QualifyPlan;
struct QualifyResult;

// What the HTML page of a qualification shows.
struct QualificationPage {
    QString program;  // "zp-readertest 4.0"
    QString reader;
    QString atr;  // hex bytes
    std::vector<std::pair<QString, QString>> settings;
    std::vector<MatrixColumn> columns;
    std::vector<TimingCurve> curves;
};

// One self-contained page, readable without scripts or other files: the settings, the reader
// and its ATR, the folded matrix in colour with each failing range's detail, and per case the
// time against length as an inline SVG plot with a polyline per protocol. Well-formed XML.
QString QualificationHtml(const QualificationPage& page);

// The page of a run: the program and its version, the reader, the plan's settings, how the
// run ended, the ATR, the matrix and the timings of the cells that ran.
QString QualifyHtmlReport(const QString& programVersion, const QString& reader,
                          const QualifyPlan& plan, const QualifyResult& result);
