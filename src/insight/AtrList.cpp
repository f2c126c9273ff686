#include "insight/AtrList.h"

#include <QFile>
#include <QTextStream>
#include <utility>

#include "insight/AtrDecoder.h"

namespace {

// The literal characters a pattern starts with, up to its first special character; a
// character that a quantifier follows is left out, and so is everything when the pattern
// has alternatives.
QString LiteralPrefix(const QString& pattern) {
    if (pattern.contains(QLatin1Char('|'))) {
        return {};
    }
    static const QString kSpecial = QStringLiteral(".[]()*+?{}\\^$");
    static const QString kQuantifiers = QStringLiteral("*+?{");
    qsizetype end = 0;
    while (end < pattern.size() && !kSpecial.contains(pattern[end])) {
        ++end;
    }
    if (end > 0 && end < pattern.size() && kQuantifiers.contains(pattern[end])) {
        --end;
    }
    return pattern.left(end);
}

}  // namespace

AtrList::AtrList(QString path) : path_(std::move(path)) {}

bool AtrList::Available() {
    Load();
    return available_;
}

std::optional<AtrList::Match> AtrList::Identify(const QString& atrText) {
    Load();
    std::optional<Match> found;
    for (const Entry& entry : entries_) {
        // A pattern that is no valid regular expression matches nothing.
        if (!atrText.startsWith(entry.literalPrefix, Qt::CaseInsensitive) ||
            !entry.expression.isValid() || !entry.expression.match(atrText).hasMatch()) {
            continue;
        }
        if (found) {
            ++found->matchCount;
        } else {
            found = Match{entry.pattern, entry.descriptions};
        }
    }
    return found;
}

std::optional<AtrList::Match> AtrList::Identify(const std::uint8_t* atr, std::uint32_t atrLength) {
    return Identify(QString::fromLatin1(AtrHexText(atr, atrLength)));
}

void AtrList::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return;
    }
    available_ = true;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    bool inEntry = false;  // description lines belong to the pattern above them
    QString line;
    while (in.readLineInto(&line)) {
        if (line.startsWith(QLatin1Char('\t'))) {
            if (inEntry) {
                entries_.back().descriptions.append(line.trimmed());
            }
            continue;
        }
        const QString pattern = line.trimmed();
        inEntry = false;
        if (pattern.isEmpty() || pattern.startsWith(QLatin1Char('#'))) {
            continue;
        }
        // Compiled on its first match.
        entries_.push_back({pattern,
                            LiteralPrefix(pattern),
                            QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                                               QRegularExpression::CaseInsensitiveOption),
                            {}});
        inEntry = true;
    }
}
