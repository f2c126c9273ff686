#include "gui/ResponseLogEdit.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>
#include <QScrollBar>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>

ResponseLogEdit::ResponseLogEdit(const QString& objectName, QWidget* parent)
    : ResponseLogEdit(objectName, *new ResponseLogModel, parent) {
    ownModel_.reset(model_);
}

ResponseLogEdit::ResponseLogEdit(const QString& objectName, ResponseLogModel& model,
                                 QWidget* parent)
    : QPlainTextEdit(parent), model_(&model) {
    setObjectName(objectName);
    // The program's ASCII lines in a fixed-pitch font have nothing to shape; shaping would
    // be most of the cost of laying out a line.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleStrategy(QFont::PreferNoShaping);
    setFont(font);
    // A long line wraps rather than being cut off at the edge; a log with a horizontal
    // scroll bar turns wrapping off.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setUndoRedoEnabled(false);
    model_->SetView(this);
}

ResponseLogEdit::~ResponseLogEdit() {
    if (model_ != nullptr) {
        model_->SetView(nullptr);
    }
}

void ResponseLogEdit::LineAppended(std::string_view line) {
    if (pending_.empty()) {
        const QScrollBar* bar = verticalScrollBar();
        followEnd_ = bar->value() == bar->maximum();
        QMetaObject::invokeMethod(
            this, [this] { WritePending(); }, Qt::QueuedConnection);
    }
    pending_.push_back(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
}

// QPlainTextEdit::appendPlainText does not start a new block while the document is empty,
// which would swallow an empty first line; the line breaks are written by hand instead.
// The waiting lines go in as one text, one line break before each: one edit, which the view
// follows with one layout pass.
void ResponseLogEdit::WritePending() const {
    if (pending_.empty()) {
        return;
    }
    qsizetype length = 0;
    for (const QString& line : pending_) {
        length += line.size() + 1;
    }
    QString text;
    text.reserve(length);
    for (const QString& line : pending_) {
        if (holdsLines_ || !document()->isEmpty()) {
            text += QLatin1Char('\n');
        }
        text += line;
        holdsLines_ = true;
    }
    pending_.clear();
    // In an edit block the cursor does not lay out the last line to find its place.
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    cursor.endEditBlock();
    if (followEnd_) {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->maximum());
    }
}

void ResponseLogEdit::LogCleared() {
    pending_.clear();
    clear();
    holdsLines_ = false;
}

std::vector<std::string> ResponseLogEdit::Lines() const {
    WritePending();
    std::vector<std::string> lines;
    if (!holdsLines_ && document()->isEmpty()) {
        return lines;
    }
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        lines.push_back(block.text().toStdString());
    }
    return lines;
}

void ResponseLogEdit::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    menu->setObjectName(QStringLiteral("LogMenu"));
    menu->addSeparator();
    QAction* save = menu->addAction(QStringLiteral("Save Log As\u2026"));
    save->setObjectName(QStringLiteral("SaveLogAs"));
    connect(save, &QAction::triggered, this, &ResponseLogEdit::SaveRequested);
    QAction* copy = menu->addAction(QStringLiteral("Copy All"));
    copy->setObjectName(QStringLiteral("CopyAll"));
    // The lines as Save writes them, one line break between two.
    connect(copy, &QAction::triggered, this, [this] {
        QStringList lines;
        for (const std::string& line : Lines()) {
            lines.append(QString::fromStdString(line));
        }
        QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
    });
    menu->exec(event->globalPos());
}
