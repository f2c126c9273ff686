#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "core/session/CardLibrary.h"
#include "core/session/Outcome.h"

class ReaderSession;
class ResponseLog;

// The memory-operation fields: written by the Data Dialog, read by RunMemOperation.
struct MemOperationParams {
    std::uint32_t MemOpCode = 0;
    std::uint32_t MemAddress = 0;
    std::uint32_t MemReadLen = 0;
    std::vector<std::uint8_t> MemData;
    std::uint32_t MemDataLen = 0;
    std::uint8_t I2CCommand = 0;
    std::uint8_t I2CDummy = 0;
    std::uint8_t I2CAddrBytes = 0;
};

// The five memory-card pages, in page order.
enum class MemPage : std::uint8_t { SLE4442, SLE4428, SLE4404, SLE4436, I2C };
inline constexpr std::size_t kMemPageCount = 5;

// The response logs of the five pages, indexed by MemPage.
struct MemCardLogs {
    std::array<ResponseLog*, kMemPageCount> pages{};
    ResponseLog& Of(MemPage page) const { return *pages[static_cast<std::size_t>(page)]; }
};

// Layouts of the Data Dialog.
enum class MemDlgMode : int {
    mdRead = 1,
    mdWrite = 2,
    mdVerify = 3,
    mdFixedRead = 4,
    mdI2CRead = 5,
    mdI2CWrite = 6
};

// The eleven shapes of a memory-card operation.
enum class MemOpKind {
    okRead,
    okFixedRead,
    okReadProtectBits,
    okWrite,
    okVerify,
    okErase,
    okReadCounter,
    okWriteCounter,
    okReload,
    okI2CRead,
    okI2CWrite
};

// The card-library operations by signature; the kind of an entry says which one it holds.
using MemReadCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint8_t*, std::uint32_t,
                                                   std::uint32_t*);
using MemBufferCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint8_t*);
using MemWriteCall = std::uint32_t (CardLibrary::*)(std::uint32_t, const std::uint8_t*,
                                                    std::uint32_t, std::uint32_t);
using MemProtectBitsReadCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint8_t*,
                                                              std::uint8_t*, std::uint32_t,
                                                              std::uint32_t*);
using MemEraseCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint32_t, std::uint32_t);
using MemOneByteCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint8_t);
// Two-byte codes and the counter stage write (stage, value).
using MemTwoByteCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint8_t, std::uint8_t);
using MemThreeByteCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint8_t, std::uint8_t,
                                                        std::uint8_t);
using MemFourByteCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint8_t, std::uint8_t,
                                                       std::uint8_t, std::uint8_t);
using MemI2CReadCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint8_t, std::uint32_t,
                                                      std::uint8_t*, std::uint32_t*, std::uint8_t,
                                                      std::uint8_t);
using MemI2CWriteCall = std::uint32_t (CardLibrary::*)(std::uint32_t, std::uint8_t, std::uint32_t,
                                                       const std::uint8_t*, std::uint32_t,
                                                       std::uint8_t);
using MemLibraryCall =
    std::variant<MemReadCall, MemBufferCall, MemWriteCall, MemProtectBitsReadCall, MemEraseCall,
                 MemOneByteCall, MemTwoByteCall, MemThreeByteCall, MemFourByteCall, MemI2CReadCall,
                 MemI2CWriteCall>;

struct MemRange {
    std::int32_t min = 0;
    std::int32_t max = 0;
};

// One memory-card operation: its button, how it configures the Data Dialog, and its record.
struct MemOperationEntry {
    std::uint32_t code;
    MemPage page;
    const char* button;       // objectName of the operation's button
    const char* caption;      // with accelerator marks
    const char* hint;         // tooltip
    const char* dialogTitle;  // caption of the Data Dialog
    const char* dataLabel;    // Label2 of the Data Dialog; null when the data row stays hidden
    MemDlgMode mode;
    MemRange address;
    MemRange length;
    MemOpKind kind;
    MemLibraryCall call;
    int width;  // minimum hex digits of addresses and byte counts in the record
    const char* titleLine;
    const char* successLine;
    const char* failureWords;
};

// All 28 operations in code order.
std::span<const MemOperationEntry> MemOperations();
// The operation of `code`, or null for 0, 27 and codes above 29.
const MemOperationEntry* FindMemOperation(std::uint32_t code);
// Number of code bytes an okVerify entry passes (2, 3 or 4); 0 for other entries.
std::size_t VerifyCodeBytes(const MemOperationEntry& entry);

// Whether the data bytes that `entry` passes are all there: MemDataLen may not claim more
// than MemData holds, and a code or counter value needs its bytes. A failure names the
// error box; the operation then does not run and writes nothing.
Outcome CheckMemOperationData(const MemOperationEntry& entry, const MemOperationParams& params);

// The record of one operation around its one library call, written into its page's log in
// steps, so that the window can show the failure box after the call and before the
// failure line: Begin (title and parameter lines), Call, then End with the call's code
// (success line and results, or the return-code line; then the separator).
class MemOperationRecord {
  public:
    MemOperationRecord(const MemOperationEntry& entry, const MemOperationParams& params,
                       ReaderSession& session, const MemCardLogs& logs);
    ~MemOperationRecord();
    MemOperationRecord(const MemOperationRecord&) = delete;
    MemOperationRecord& operator=(const MemOperationRecord&) = delete;

    void Begin();
    std::uint32_t Call();
    // The error box of a failed call: the operation's words and " Fail!".
    std::string FailureBox() const;
    void End(std::uint32_t code);

  private:
    class Run;
    const MemOperationEntry& entry_;
    std::unique_ptr<Run> run_;
};
