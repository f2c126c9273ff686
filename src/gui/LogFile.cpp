#include "gui/LogFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

LogFileChooser SaveFileDialogChooser() {
    return [](QWidget* parent, const QString& suggestedPath) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Log As"), suggestedPath,
                                            QStringLiteral("Log files (*.log);;All files (*)"));
    };
}

QString SuggestedLogPath(const QString& pageCaption, const QDateTime& when) {
    QString page;
    const QString caption = QString(pageCaption).remove(QLatin1Char('&'));
    for (const QChar c : caption) {
        const bool keep =
            (c.isLetterOrNumber() && c.unicode() < 0x80) || QStringLiteral("()_.-").contains(c);
        page += keep ? c : QLatin1Char('-');
    }
    const QString name = page + QLatin1Char('-') +
                         when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".log");
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(name);
}

namespace {

QByteArray LogFileText(const std::vector<std::string>& lines) {
    QByteArray utf8;
    for (const std::string& line : lines) {
        utf8.append(line.data(), static_cast<qsizetype>(line.size()));
        utf8.append('\n');
    }
    const QString text = QString::fromUtf8(utf8);
    const bool latin1 =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    return latin1 ? text.toLatin1() : utf8;
}

}  // namespace

std::optional<std::string> SaveLogFile(const QString& path, const std::vector<std::string>& lines) {
    QSaveFile file(path);
    // Never fall back to writing the chosen file in place.
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray text = LogFileText(lines);
        if (file.write(text) == text.size() && file.commit()) {
            return std::nullopt;
        }
    }
    const QString reason = file.errorString();
    file.cancelWriting();
    // The boxes show 8-bit text.
    return "Cannot save the log to " + QDir::toNativeSeparators(path).toLatin1().toStdString() +
           ": " + reason.toLatin1().toStdString();
}
