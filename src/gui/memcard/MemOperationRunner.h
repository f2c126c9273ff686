#pragma once

#include <cstdint>
#include <optional>

#include "core/memcard/MemOperation.h"

class MessageBoxes;
class ReaderSession;

// What the Data Dialog's OK needs of the memory-card pages: the memory-operation fields to
// fill, and the run of the operation they name.
class MemOperationRunner {
  public:
    virtual MemOperationParams& Params() = 0;
    virtual void RunMemOperation() = 0;

  protected:
    ~MemOperationRunner() = default;
};

// Runs the operation chosen by params.MemOpCode as the pages do: data bytes that fall short
// show their error box and nothing more; otherwise the record goes into the operation's
// page log around the library call, CardBusy set from just before the call until the
// outcome has been logged, and a failed call shows its error box before the failure line.
// Codes without an operation do nothing. Answers the library call's code, nothing when no
// call was made.
std::optional<std::uint32_t> RunMemOperation(const MemOperationParams& params,
                                             ReaderSession& session, MessageBoxes& boxes,
                                             const MemCardLogs& logs);
