#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QDateTime;
class QWidget;

// Asks where a log goes, starting from `suggestedPath`; an empty answer means the user
// cancelled. Production asks with the save-file dialog.
using LogFileChooser = std::function<QString(QWidget* parent, const QString& suggestedPath)>;
LogFileChooser SaveFileDialogChooser();

// "<page>-<yyyyMMdd-HHmmss>.log" in the user's documents folder; the page caption loses its
// accelerator mark, and characters that do not belong in a file name become '-'.
QString SuggestedLogPath(const QString& pageCaption, const QDateTime& when);

// Writes the lines (UTF-8), each followed by a line break: as Latin-1 when every character
// fits, as the files have always been, else as UTF-8, so that every character the log
// shows is kept. The file is written under a temporary name and renamed into place, so a
// failed save never leaves a partial file under `path`. Answers the error box's text when
// the log could not be saved.
std::optional<std::string> SaveLogFile(const QString& path, const std::vector<std::string>& lines);
