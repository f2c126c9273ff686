#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/common/ResponseLog.h"

// A page's response log as the program writes it: its lines in order, UTF-8 (the
// program's own lines are ASCII). The session and the page write into it; Save and Copy All
// read it. Each line is held once: by the view that shows the log while one is attached,
// whose text the user may also type into, else by the model itself.
class ResponseLogModel : public ResponseLog {
  public:
    // What shows the log and holds its lines meanwhile; told of every appended line, of
    // every clear and of the end of the model, whichever of the two goes first.
    class View {
      public:
        virtual void LineAppended(std::string_view line) = 0;
        virtual void LogCleared() = 0;
        virtual void ModelDestroyed() = 0;
        // The lines as the view holds them, typing included.
        virtual std::vector<std::string> HeldLines() const = 0;

      protected:
        ~View() = default;
    };

    ResponseLogModel() = default;
    ~ResponseLogModel() override;
    ResponseLogModel(const ResponseLogModel&) = delete;
    ResponseLogModel& operator=(const ResponseLogModel&) = delete;

    void AppendLine(std::string_view line) override;
    void ClearLog() override;

    std::vector<std::string> Lines() const;
    // One view at a time. A view attached takes the lines held so far; the view detached
    // (null) gives its lines back.
    void SetView(View* view);

  private:
    std::vector<std::string> lines_;  // only while no view holds them
    View* view_ = nullptr;
};
