#pragma once

#include <QPlainTextEdit>
#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes in rows of sixteen, each row led by its offset; a range of them can be marked, its
// first bytes (a data object's tag and length) in one colour and the rest in another.
class HexView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit HexView(QWidget* parent = nullptr);

    void SetBytes(const std::vector<std::uint8_t>& bytes);
    // Marks `length` bytes from `offset`, the first `headLength` of them as the head; a range
    // past the end is marked up to the end.
    void Mark(std::size_t offset, std::size_t headLength, std::size_t length);
    void ClearMark() { setExtraSelections({}); }

  private:
    // Adds the selections that cover bytes [begin, end) in `format`, one per row.
    void AddRange(QList<QTextEdit::ExtraSelection>& selections, std::size_t begin, std::size_t end,
                  const QTextCharFormat& format);

    std::size_t size_ = 0;
};
