#include "session/ResponseLogEdit.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

ResponseLogEdit::ResponseLogEdit(const QString& objectName, QWidget* parent)
    : QPlainTextEdit(parent) {
    setObjectName(objectName);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
}

// QPlainTextEdit::appendPlainText does not start a new block while the document is empty,
// which would swallow an empty first line; the cursor is driven by hand instead.
void ResponseLogEdit::AppendLine(std::string_view line) {
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (holdsLines_ || !document()->isEmpty()) {
        cursor.insertBlock();
    }
    cursor.insertText(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
    holdsLines_ = true;
    if (atBottom) {
        bar->setValue(bar->maximum());
    }
}

void ResponseLogEdit::ClearLog() {
    clear();
    holdsLines_ = false;
}

std::vector<std::string> ResponseLogEdit::Lines() const {
    std::vector<std::string> lines;
    if (!holdsLines_ && document()->isEmpty()) {
        return lines;
    }
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        lines.push_back(block.text().toLatin1().toStdString());
    }
    return lines;
}
