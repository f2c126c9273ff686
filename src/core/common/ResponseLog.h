#pragma once

#include <string_view>

// A page's response log: appended to one whole line at a time, or cleared as a whole.
// An empty line is a line.
class ResponseLog {
  public:
    virtual ~ResponseLog() = default;
    virtual void AppendLine(std::string_view line) = 0;
    virtual void ClearLog() = 0;
};

inline void AppendLogLine(ResponseLog& log, std::string_view line) {
    log.AppendLine(line);
}
