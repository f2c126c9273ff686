#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/MessageBoxes.h"

// Records every box instead of showing it, with the number of lines each watched log held
// at that moment, so that "box first, then the line" can be checked.
class RecordingMessageBoxes : public MessageBoxes {
  public:
    enum class Kind { Error, Info, Question };
    struct Box {
        Kind kind;
        std::string text;
        std::vector<std::size_t> logLineCounts;  // one per watched log, in Watch order
    };

    void ShowError(const std::string& text) override;
    void ShowInfo(const std::string& text) override;
    // Records the question and gives the answer set by AnswerQuestions (no until then).
    bool AskYesNo(const std::string& text) override;
    void AnswerQuestions(bool yes) { answer_ = yes; }

    // Adds a log whose line count is noted with every box.
    void Watch(std::function<std::size_t()> lineCount) { watched_.push_back(std::move(lineCount)); }
    // Runs while a box is "open", as a nested event loop would (timer ticks, clicks).
    void WhileOpen(std::function<void()> action) { whileOpen_ = std::move(action); }

    const std::vector<Box>& Boxes() const { return boxes_; }
    std::vector<std::string> Errors() const;
    std::vector<std::string> Infos() const;
    std::vector<std::string> Questions() const;
    void Clear() { boxes_.clear(); }

  private:
    void Record(Kind kind, const std::string& text);

    std::vector<Box> boxes_;
    std::vector<std::function<std::size_t()>> watched_;
    std::function<void()> whileOpen_;
    bool answer_ = false;
};
