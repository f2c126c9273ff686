#include "report/QualificationMatrix.h"

#include <algorithm>
#include <set>

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
