#include "gui/EntryLimit.h"

#include <algorithm>

bool FitInsertion(const QString& previous, QString& input, int& cursor, qsizetype limit) {
    const qsizetype allowed = std::max(limit, previous.size());
    const qsizetype excess = input.size() - allowed;
    if (excess <= 0) {
        return true;
    }
    // The insertion ends at the cursor; what follows it is the end of the previous text,
    // and what precedes it the start the two texts share.
    const qsizetype end = std::clamp<qsizetype>(cursor, 0, input.size());
    const qsizetype tail = input.size() - end;
    if (tail > previous.size() ||
        QStringView(input).sliced(end) != QStringView(previous).sliced(previous.size() - tail)) {
        return false;
    }
    const qsizetype headRoom = std::min(end, previous.size() - tail);
    qsizetype start = 0;
    while (start < headRoom && input[start] == previous[start]) {
        ++start;
    }
    const qsizetype kept = end - start - excess;
    if (kept <= 0) {
        return false;
    }
    input.remove(start + kept, excess);
    cursor = static_cast<int>(start + kept);
    return true;
}
