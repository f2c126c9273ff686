#pragma once

#include "gui/MessageBoxes.h"

// The two message boxes as modal QMessageBoxes; their nested event loop keeps the timers
// running, as tracking and stripe polling expect.
class QtMessageBoxes : public MessageBoxes {
  public:
    void ShowError(const std::string& text) override;
    void ShowInfo(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
};
