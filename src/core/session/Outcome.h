#pragma once

#include <string>
#include <utility>

// What an operation of the core reports to the window that ran it: success, or the text
// of the error box that the window shows. The core writes no box itself.
struct Outcome {
    bool ok = true;
    std::string errorBox;

    static Outcome Success() { return {}; }
    static Outcome Failure(std::string box) { return {false, std::move(box)}; }
    explicit operator bool() const { return ok; }
};
