#include "report/QualificationHtmlReport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>
#include <algorithm>
#include <cmath>

#include "core/common/Conversions.h"
#include "core/qualify/QualifyRunner.h"
#include "report/QualifyReport.h"

namespace {

constexpr int kPlotWidth = 640;
constexpr int kPlotHeight = 300;
constexpr int kLeft = 70;
constexpr int kRight = 20;
constexpr int kTop = 20;
constexpr int kBottom = 45;
constexpr int kTickCount = 5;
const char* const kProtocolColours[] = {"#1f5fbf", "#d2691e", "#2e8b57", "#8b008b"};

QString Escaped(const QString& text) {
    return text.toHtmlEscaped();
}

// A step of 1, 2 or 5 times a power of ten that cuts 0..top into about kTickCount parts.
double TickStep(double top) {
    const double rough = top / kTickCount;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough) {
            return factor * power;
        }
    }
    return 10 * power;
}

// A setting's JSON value as one line of text: lists joined with commas.
QString SettingText(const QJsonValue& value) {
    if (value.isArray()) {
        QStringList items;
        for (const QJsonValue& item : value.toArray()) {
            items.append(SettingText(item));
        }
        return items.join(QStringLiteral(", "));
    }
    if (value.isBool()) {
        return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    }
    return value.isDouble() ? QString::number(value.toDouble()) : value.toString();
}

// "extendedStep" as "extended step".
QString SettingName(const QString& key) {
    QString name;
    for (const QChar c : key) {
        if (c.isUpper()) {
            name += QLatin1Char(' ');
        }
        name += c.toLower();
    }
    return name;
}

QString Number(double value) {
    return QString::number(value, 'g', 6);
}

void WriteMatrix(QTextStream& out, const QualificationPage& page) {
    out << "<table class=\"matrix\"><thead><tr><th>Case</th><th>Lengths</th>";
    for (const MatrixColumn& column : page.columns) {
        out << "<th>" << Escaped(column.protocol) << "</th>";
    }
    out << "</tr></thead><tbody>\n";
    for (const MatrixRow& row : MatrixRows(page.columns)) {
        out << "<tr><td>" << Escaped(row.caseName) << "</td><td>" << Escaped(RowLengthsText(row))
            << "</td>";
        for (const MatrixRange* cell : row.cells) {
            if (cell == nullptr) {
                out << "<td class=\"none\">–</td>";
            } else if (cell->result != CellOutcome::Fail) {
                out << "<td class=\"" << OutcomeName(cell->result) << "\">"
                    << Escaped(cell->outcome) << "</td>";
            } else {
                out << "<td class=\"fail\" title=\"" << Escaped(cell->detail) << "\">"
                    << Escaped(cell->outcome) << "<pre>" << Escaped(cell->detail) << "</pre></td>";
            }
        }
        out << "</tr>\n";
    }
    out << "</tbody></table>\n";
}

// One case's plot: lengths along, milliseconds up, a polyline and a legend entry per protocol.
void WritePlot(QTextStream& out, const QString& caseName, const std::vector<TimingCurve>& curves,
               const std::vector<MatrixColumn>& columns) {
    double maxLength = 1;
    double maxMs = 0.001;
    for (const TimingCurve& curve : curves) {
        if (curve.caseName == caseName) {
            for (const auto& [length, micros] : curve.points) {
                maxLength = std::max(maxLength, length);
                maxMs = std::max(maxMs, micros / 1000.0);
            }
        }
    }
    const double xStep = TickStep(maxLength);
    const double yStep = TickStep(maxMs);
    const double xTop = std::ceil(maxLength / xStep) * xStep;
    const double yTop = std::ceil(maxMs / yStep) * yStep;
    const double width = kPlotWidth - kLeft - kRight;
    const double height = kPlotHeight - kTop - kBottom;
    const auto x = [&](double length) { return kLeft + length / xTop * width; };
    const auto y = [&](double ms) { return kTop + height - ms / yTop * height; };

    out << "<figure><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kPlotWidth
        << "\" height=\"" << kPlotHeight << "\" viewBox=\"0 0 " << kPlotWidth << ' ' << kPlotHeight
        << "\">\n";
    out << "<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << width << "\" height=\""
        << height << "\" fill=\"none\" stroke=\"#888\"/>\n";
    for (double tick = 0; tick <= xTop + xStep / 2; tick += xStep) {
        out << "<line x1=\"" << x(tick) << "\" y1=\"" << kTop + height << "\" x2=\"" << x(tick)
            << "\" y2=\"" << kTop + height + 5 << "\" stroke=\"#444\"/><text x=\"" << x(tick)
            << "\" y=\"" << kTop + height + 18 << "\" text-anchor=\"middle\">" << Number(tick)
            << "</text>\n";
    }
    for (double tick = 0; tick <= yTop + yStep / 2; tick += yStep) {
        out << "<line x1=\"" << kLeft - 5 << "\" y1=\"" << y(tick) << "\" x2=\"" << kLeft
            << "\" y2=\"" << y(tick) << "\" stroke=\"#444\"/><text x=\"" << kLeft - 8 << "\" y=\""
            << y(tick) + 4 << "\" text-anchor=\"end\">" << Number(tick) << "</text>\n";
    }
    out << "<text x=\"" << kLeft + width / 2 << "\" y=\"" << kPlotHeight - 5
        << "\" text-anchor=\"middle\">length (bytes)</text>\n";
    out << "<text x=\"15\" y=\"" << kTop + height / 2 << "\" text-anchor=\"middle\" transform=\""
        << "rotate(-90 15 " << kTop + height / 2 << ")\">time (ms)</text>\n";
    int legendRow = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const QString colour =
            QString::fromLatin1(kProtocolColours[c % std::size(kProtocolColours)]);
        for (const TimingCurve& curve : curves) {
            if (curve.caseName != caseName || curve.protocol != columns[c].protocol) {
                continue;
            }
            out << "<polyline fill=\"none\" stroke=\"" << colour << "\" points=\"";
            for (const auto& [length, micros] : curve.points) {
                out << Number(x(length)) << ',' << Number(y(micros / 1000.0)) << ' ';
            }
            out << "\"/>\n<text x=\"" << kLeft + 10 << "\" y=\"" << kTop + 16 + 16 * legendRow++
                << "\" fill=\"" << colour << "\">" << Escaped(curve.protocol) << "</text>\n";
        }
    }
    out << "</svg><figcaption>" << Escaped(caseName) << "</figcaption></figure>\n";
}

}  // namespace

QString QualificationHtml(const QualificationPage& page) {
    QString html;
    QTextStream out(&html);
    out << "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\"><head>"
           "<meta charset=\"utf-8\"/><title>Reader qualification: "
        << Escaped(page.reader)
        << "</title>\n<style>"
           "body{font-family:sans-serif;margin:2em}"
           "table{border-collapse:collapse;margin-bottom:1.5em}"
           "th,td{border:1px solid #999;padding:3px 8px;text-align:left;vertical-align:top}"
           "td.pass{background:#c8efc8}td.fail{background:#f6c1c1}td.none{color:#888}td.skipped{"
           "background:#eee}"
           "pre{margin:2px 0 0;font-size:85%;white-space:pre-wrap}"
           "figure{display:inline-block;margin:0 1em 1em 0}svg text{font-size:11px}"
           "</style></head><body>\n<h1>Reader qualification</h1>\n<table class=\"facts\">";
    const auto fact = [&out](const QString& name, const QString& value) {
        out << "<tr><th>" << Escaped(name) << "</th><td>" << Escaped(value) << "</td></tr>";
    };
    fact(QStringLiteral("Reader"), page.reader);
    fact(QStringLiteral("ATR"), page.atr);
    fact(QStringLiteral("Program"), page.program);
    for (const auto& [name, value] : page.settings) {
        fact(name, value);
    }
    out << "</table>\n<h2>Matrix</h2>\n";
    WriteMatrix(out, page);
    out << "<h2>Time against length</h2>\n";
    std::vector<QString> cases;
    for (const TimingCurve& curve : page.curves) {
        if (!curve.points.empty() &&
            std::find(cases.begin(), cases.end(), curve.caseName) == cases.end()) {
            cases.push_back(curve.caseName);
        }
    }
    for (const QString& caseName : cases) {
        WritePlot(out, caseName, page.curves, page.columns);
    }
    out << "</body></html>\n";
    out.flush();
    return html;
}

QString QualifyHtmlReport(const QString& programVersion, const QString& reader,
                          const QualifyPlan& plan, const QualifyResult& result) {
    QualificationPage page;
    page.program = (QStringLiteral("zp-readertest ") + programVersion).trimmed();
    page.reader = reader;
    page.atr = QString::fromStdString(
                   BytesToHexText(result.atr.data(), static_cast<std::int32_t>(result.atr.size())))
                   .trimmed();
    const QJsonObject settings = QualifySettingsJson(plan);
    for (auto setting = settings.begin(); setting != settings.end(); ++setting) {
        page.settings.emplace_back(SettingName(setting.key()), SettingText(setting.value()));
    }
    page.settings.emplace_back(QStringLiteral("end"), QualifyEndText(result));
    page.settings.emplace_back(QStringLiteral("exchanges"), QString::number(result.exchanges));
    page.settings.emplace_back(QStringLiteral("time (s)"),
                               QString::number(static_cast<double>(result.micros) / 1e6, 'f', 3));
    page.columns = MatrixColumnsOf(result.cells);
    page.curves = TimingCurvesOf(result.cells);
    return QualificationHtml(page);
}
