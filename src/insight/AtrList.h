#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

// The list of known ATRs in the format pcsc-tools ships: a line with a regular expression
// over the ATR written as upper-case hex pairs separated by blanks, then the card's
// description on lines that start with a tab; '#' starts a comment. The file is read once,
// on the first look-up; a missing or unreadable file is an empty list.
class AtrList {
  public:
    static constexpr const char* kInstalledPath = "/usr/share/pcsc/smartcard_list.txt";

    struct Match {
        QString pattern;
        QStringList descriptions;
        int matchCount = 1;  // how many patterns of the list match the ATR
    };

    explicit AtrList(QString path = QString::fromLatin1(kInstalledPath));

    // The first pattern in file order that matches the whole ATR text ("3B 95 13 ..."), with
    // how many match in all; nothing when none does or the list is unavailable.
    std::optional<Match> Identify(const QString& atrText);
    // The same for the ATR of a reader-state record: at most min(atrLength, 36) bytes are read.
    std::optional<Match> Identify(const std::uint8_t* atr, std::uint32_t atrLength);

    // Whether the file was found and read; reads it if that has not happened yet.
    bool Available();

  private:
    struct Entry {
        QString pattern;
        // The text every ATR the pattern matches starts with: only entries whose prefix fits
        // are matched, so that a look-up compiles a few of the thousands of patterns.
        QString literalPrefix;
        QRegularExpression expression;
        QStringList descriptions;
    };

    void Load();

    QString path_;
    bool loaded_ = false;
    bool available_ = false;
    std::vector<Entry> entries_;
};
