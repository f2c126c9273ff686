#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/common/ResponseLog.h"

// A page's response log as the program writes it: its lines in order. The session and the
// page write into it; a view, when one is attached, shows each change as it comes.
class ResponseLogModel : public ResponseLog {
  public:
    // What shows the log; told of every appended line, of every clear and of the end of
    // the model, whichever of the two goes first.
    class View {
      public:
        virtual void LineAppended(std::string_view line) = 0;
        virtual void LogCleared() = 0;
        virtual void ModelDestroyed() = 0;

      protected:
        ~View() = default;
    };

    ResponseLogModel() = default;
    ~ResponseLogModel() override;
    ResponseLogModel(const ResponseLogModel&) = delete;
    ResponseLogModel& operator=(const ResponseLogModel&) = delete;

    void AppendLine(std::string_view line) override;
    void ClearLog() override;

    const std::vector<std::string>& Lines() const { return lines_; }
    // One view at a time; null detaches it.
    void SetView(View* view) { view_ = view; }

  private:
    std::vector<std::string> lines_;
    View* view_ = nullptr;
};
