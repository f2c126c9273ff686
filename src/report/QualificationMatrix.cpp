#include "report/QualificationMatrix.h"

#include <QStringList>
#include <algorithm>
#include <set>

#include "core/common/Conversions.h"
#include "core/qualify/QualifyMatrix.h"
#include "insight/PcscCodeNames.h"
#include "insight/StatusWords.h"

namespace {

constexpr std::size_t kShownBytes = 24;  // a longer reply shows this many around the difference

QString BytesText(const std::vector<std::uint8_t>& bytes, std::int64_t difference) {
    if (bytes.size() <= kShownBytes) {
        return QString::fromStdString(
                   BytesToHexText(bytes.data(), static_cast<std::int32_t>(bytes.size())))
            .trimmed();
    }
    const std::size_t centre = difference < 0 ? 0 : static_cast<std::size_t>(difference);
    const std::size_t from = std::min(centre > 4 ? centre - 4 : 0, bytes.size() - kShownBytes);
    QString text = from == 0 ? QString() : QStringLiteral("… ");
    text += QString::fromStdString(
                BytesToHexText(bytes.data() + from, static_cast<std::int32_t>(kShownBytes)))
                .trimmed();
    if (from + kShownBytes < bytes.size()) {
        text += QStringLiteral(" …");
    }
    return text + QStringLiteral(" (bytes %1–%2 of %3)")
                      .arg(from)
                      .arg(from + kShownBytes - 1)
                      .arg(bytes.size());
}

}  // namespace

std::vector<MatrixRow> MatrixRows(const std::vector<MatrixColumn>& columns) {
    std::vector<QString> cases;
    for (const MatrixColumn& column : columns) {
        for (const MatrixRange& range : column.ranges) {
            if (std::find(cases.begin(), cases.end(), range.caseName) == cases.end()) {
                cases.push_back(range.caseName);
            }
        }
    }
    std::vector<MatrixRow> rows;
    for (const QString& caseName : cases) {
        // Every place where some column's range begins or ends splits the case's rows.
        std::set<int> bounds;
        QString lengthName;
        for (const MatrixColumn& column : columns) {
            for (const MatrixRange& range : column.ranges) {
                if (range.caseName == caseName) {
                    bounds.insert(range.first);
                    bounds.insert(range.last + 1);
                    lengthName = range.lengthName;
                }
            }
        }
        for (auto next = bounds.begin(); next != bounds.end() && std::next(next) != bounds.end();
             ++next) {
            MatrixRow row{caseName, lengthName, *next, *std::next(next) - 1, {}};
            bool any = false;
            for (const MatrixColumn& column : columns) {
                const auto holder = std::find_if(
                    column.ranges.begin(), column.ranges.end(), [&](const MatrixRange& range) {
                        return range.caseName == caseName && range.first <= row.first &&
                               row.first <= range.last;
                    });
                row.cells.push_back(holder == column.ranges.end() ? nullptr : &*holder);
                any = any || holder != column.ranges.end();
            }
            if (any) {  // a gap no column covers is no row
                rows.push_back(std::move(row));
            }
        }
    }
    return rows;
}

QString RowLengthsText(const MatrixRow& row) {
    if (row.lengthName.isEmpty()) {
        return {};
    }
    const QString lengths = row.first == row.last
                                ? QString::number(row.first)
                                : QStringLiteral("%1–%2").arg(row.first).arg(row.last);
    return row.lengthName + QLatin1Char(' ') + lengths;
}

std::vector<MatrixColumn> MatrixColumnsOf(const std::vector<QualifyCell>& cells) {
    std::vector<MatrixColumn> columns;
    for (const FoldedRow& row : FoldCells(cells)) {
        const QString protocol = QString::fromLatin1(ProtocolName(row.protocol));
        auto column = std::find_if(columns.begin(), columns.end(),
                                   [&](const MatrixColumn& c) { return c.protocol == protocol; });
        if (column == columns.end()) {
            column = columns.insert(columns.end(), MatrixColumn{protocol, {}});
        }
        for (const FoldedRange& range : row.ranges) {
            QString outcome = QString::fromLatin1(OutcomeName(range.outcome));
            if (!range.detail.empty()) {
                outcome += QStringLiteral(", ") + QString::fromStdString(range.detail);
            }
            column->ranges.push_back(
                {QString::fromLatin1(CaseName(row.kind)), QString::fromLatin1(LengthName(row.kind)),
                 static_cast<int>(range.first), static_cast<int>(range.last), range.outcome,
                 outcome,
                 range.outcome == CellOutcome::Fail ? FailedCellText(cells[range.sample])
                                                    : QString()});
        }
    }
    return columns;
}

std::vector<TimingCurve> TimingCurvesOf(const std::vector<QualifyCell>& cells) {
    std::vector<TimingCurve> curves;
    for (const TimingSeries& series : TimingCurves(cells)) {
        TimingCurve curve{QString::fromLatin1(CaseName(series.kind)),
                          QString::fromLatin1(ProtocolName(series.protocol)),
                          {}};
        for (const TimingPoint& point : series.points) {
            curve.points.emplace_back(point.length, static_cast<double>(point.micros));
        }
        curves.push_back(std::move(curve));
    }
    return curves;
}

QString FailedCellText(const QualifyCell& cell) {
    QStringList lines;
    if (!cell.expected.empty()) {
        lines.append(QStringLiteral("expected: ") + BytesText(cell.expected, cell.firstDifference));
    }
    lines.append(QStringLiteral("received: ") + BytesText(cell.received, cell.firstDifference));
    if (cell.firstDifference >= 0) {
        lines.append(QStringLiteral("first difference at byte %1").arg(cell.firstDifference));
    }
    if (cell.received.size() >= 2) {
        lines.append(
            QStringLiteral("status word: ") +
            QString::fromStdString(StatusWordText(static_cast<std::uint8_t>(cell.statusWord >> 8),
                                                  static_cast<std::uint8_t>(cell.statusWord))));
    }
    if (cell.code != 0) {
        lines.append(QString::fromStdString(PcscCodeText(cell.code)));
    }
    lines.append(QStringLiteral("time: %1 µs").arg(cell.micros));
    if (!cell.detail.empty()) {
        lines.append(QString::fromStdString(cell.detail));
    }
    return lines.join(QLatin1Char('\n'));
}
