#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "gui/MessageBoxes.h"

// Message boxes that count instead of showing: a benchmark that meets an error box has
// measured the wrong thing and says so.
class CountingBoxes : public MessageBoxes {
  public:
    void ShowError(const std::string& text) override {
        ++errors;
        last = text;
    }
    void ShowInfo(const std::string& text) override { last = text; }

    int errors = 0;
    std::string last;
};

// The six lines an exchange of 00 84 00 00 08 answered by eight bytes and 90 00 writes,
// made by the program's own formatters.
std::vector<std::string> ExchangeLines();

// Bytes the heap has handed out and not taken back (small blocks and mapped ones).
std::size_t HeapInUse();

// Resident memory of a process in bytes (VmRSS), 0 when it cannot be read.
std::size_t ResidentBytes(pid_t pid);

// Time all threads of a process have spent on a processor so far, in seconds; unlike the
// time on the clock, it does not grow when other work on the machine holds the processors.
double ProcessorSeconds(pid_t pid);
