#pragma once

#include <string>

// The program's message boxes. Production shows modal boxes; tests record them.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // Error box: modal, no caption of the program's own, one OK button.
    virtual void ShowError(const std::string& text) = 0;
    // Information box: the application title as caption, one OK button.
    virtual void ShowInfo(const std::string& text) = 0;
    // Question box: the application title as caption, Yes and No; true for Yes. A box
    // that cannot ask declines.
    virtual bool AskYesNo(const std::string& text) {
        static_cast<void>(text);
        return false;
    }
};
