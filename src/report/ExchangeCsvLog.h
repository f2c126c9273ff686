#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/stress/StressRun.h"

// Streams one CSV row per unit of a stress run to a file while the run goes: reader, index,
// start time (UTC, µs), microseconds, and the status word, the failing call's code or the
// unmet expectation ("data differs", "status word differs"). Rows go straight to the file;
// none are kept. Safe to write from several workers.
class ExchangeCsvLog {
  public:
    using CodeNamer = std::function<std::string(std::uint32_t)>;

    ExchangeCsvLog() = default;
    ~ExchangeCsvLog();
    ExchangeCsvLog(const ExchangeCsvLog&) = delete;
    ExchangeCsvLog& operator=(const ExchangeCsvLog&) = delete;

    // Creates the file and writes the header row; false with the reason in `error`.
    bool Open(const std::string& path, std::vector<std::string> readers, CodeNamer codeName,
              std::string& error);
    void Write(const ExchangeRecord& record);
    // Flushes and closes; false when a write failed on the way.
    bool Close(std::string& error);

  private:
    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::vector<std::string> readers_;
    CodeNamer codeName_;
    bool failed_ = false;
};

// "2026-12-08T17:26:30.123456Z"
std::string UtcTimestamp(std::int64_t unixMicros);
// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
