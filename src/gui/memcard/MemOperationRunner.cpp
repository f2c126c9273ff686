#include "gui/memcard/MemOperationRunner.h"

#include "core/session/ReaderSession.h"
#include "gui/MessageBoxes.h"

std::optional<std::uint32_t> RunMemOperation(const MemOperationParams& params,
                                             ReaderSession& session, MessageBoxes& boxes,
                                             const MemCardLogs& logs) {
    const MemOperationEntry* entry = FindMemOperation(params.MemOpCode);
    if (entry == nullptr) {
        return std::nullopt;
    }
    if (const Outcome check = CheckMemOperationData(*entry, params); !check) {
        boxes.ShowError(check.errorBox);
        return std::nullopt;
    }
    MemOperationRecord record(*entry, params, session, logs);
    record.Begin();
    const CardBusyGuard busy = session.MarkBusy();
    const std::uint32_t code = record.Call();
    if (code != 0) {
        boxes.ShowError(record.FailureBox());
    }
    record.End(code);
    return code;
}
