#include "gui/reply/HexView.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

#include "core/common/Conversions.h"

namespace {

constexpr std::size_t kRowBytes = 16;
constexpr int kOffsetWidth = 6;  // "0010  "

QTextCharFormat MarkFormat(const QColor& colour) {
    QTextCharFormat format;
    format.setBackground(colour);
    return format;
}

}  // namespace

HexView::HexView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // As wide as a row: the offset, sixteen bytes and a blank either side; rows do not wrap,
    // so more width would stay empty.
    const int row = kOffsetWidth + static_cast<int>(kRowBytes) * 3 + 1;
    setFixedWidth(fontMetrics().horizontalAdvance(QString(row, QLatin1Char('0'))) +
                  2 * frameWidth() + static_cast<int>(document()->documentMargin() * 2) +
                  verticalScrollBar()->sizeHint().width());
}

void HexView::SetBytes(const std::vector<std::uint8_t>& bytes) {
    size_ = bytes.size();
    ClearMark();
    clear();
    for (std::size_t row = 0; row < bytes.size(); row += kRowBytes) {
        const auto count = static_cast<std::int32_t>(std::min(kRowBytes, bytes.size() - row));
        appendPlainText(
            QString::fromStdString(HexNumberText(row, 4)) + QStringLiteral("  ") +
            QString::fromStdString(BytesToHexText(bytes.data() + row, count)).trimmed());
    }
    moveCursor(QTextCursor::Start);
}

void HexView::Mark(std::size_t offset, std::size_t headLength, std::size_t length) {
    const std::size_t begin = std::min(offset, size_);
    const std::size_t end = std::min(begin + length, size_);
    const std::size_t headEnd = std::min(begin + headLength, end);
    QList<QTextEdit::ExtraSelection> selections;
    AddRange(selections, begin, headEnd, MarkFormat(QColor(0xFF, 0xD5, 0x80)));
    AddRange(selections, headEnd, end, MarkFormat(QColor(0xB3, 0xD9, 0xFF)));
    setExtraSelections(selections);
    if (!selections.isEmpty()) {
        // The cursor goes to the first marked byte, selecting nothing over the marks.
        QTextCursor first = selections.first().cursor;
        first.setPosition(first.selectionStart());
        setTextCursor(first);
        ensureCursorVisible();
    }
}

void HexView::AddRange(QList<QTextEdit::ExtraSelection>& selections, std::size_t begin,
                       std::size_t end, const QTextCharFormat& format) {
    while (begin < end) {
        const std::size_t row = begin / kRowBytes;
        const std::size_t rowEnd = std::min(end, (row + 1) * kRowBytes);
        const QTextBlock block = document()->findBlockByNumber(static_cast<int>(row));
        const auto column = [](std::size_t byte) {
            return kOffsetWidth + static_cast<int>(byte % kRowBytes) * 3;
        };
        QTextCursor cursor(block);
        cursor.setPosition(block.position() + column(begin));
        cursor.setPosition(block.position() + column(rowEnd - 1) + 2, QTextCursor::KeepAnchor);
        selections.append({cursor, format});
        begin = rowEnd;
    }
}
