#pragma once

#include <QPlainTextEdit>
#include <string>
#include <vector>

#include "common/ResponseLog.h"

// A page's response log on the screen: plain text in the system fixed-pitch font. Lines
// are appended at the end one by one; the user may type into it, the program never reads
// it back.
class ResponseLogEdit : public QPlainTextEdit, public ResponseLog {
    Q_OBJECT
  public:
    explicit ResponseLogEdit(const QString& objectName, QWidget* parent = nullptr);

    void AppendLine(std::string_view line) override;
    void ClearLog() override;

    // The log's lines as shown; an empty log has none, a log holding one empty line has one.
    std::vector<std::string> Lines() const;

  private:
    bool holdsLines_ = false;  // something was appended since the last clear
};
