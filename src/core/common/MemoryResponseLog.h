#pragma once

#include <string>
#include <vector>

#include "core/common/ResponseLog.h"

// A response log held as a list of lines, for logic that runs without widgets.
class MemoryResponseLog : public ResponseLog {
  public:
    void AppendLine(std::string_view line) override { lines_.emplace_back(line); }
    void ClearLog() override { lines_.clear(); }
    const std::vector<std::string>& Lines() const { return lines_; }

  private:
    std::vector<std::string> lines_;
};
