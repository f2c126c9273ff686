#include "BenchTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

std::string FormatNumber(double value, int decimals) {
    char digits[64];
    std::snprintf(digits, sizeof(digits), "%.*f", decimals, std::fabs(value));
    const std::string_view text(digits);
    const std::size_t integerEnd = std::min(text.find('.'), text.size());
    std::string grouped = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < integerEnd; ++i) {
        if (i > 0 && (integerEnd - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += text[i];
    }
    grouped += text.substr(integerEnd);
    return grouped;
}

void PrintRow(const TableRow& row) {
    const char* met = !row.met ? "" : (*row.met ? "yes" : "NO");
    std::printf("| %s | %s | %s %s | %s | %s |\n", row.section.c_str(), row.measurement.c_str(),
                FormatNumber(row.value, row.decimals).c_str(), row.unit.c_str(), row.target.c_str(),
                met);
    std::fflush(stdout);
}
