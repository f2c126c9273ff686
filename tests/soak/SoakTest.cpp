// Long runs through the simulated reader in one process: 100,000 APDU exchanges and 10,000
// memory-card operations, with failures and over-long deliveries among them. The heap may
// grow only with the log that holds the lines: once the log is gone, it is back where it
// started. LeakSanitizer checks the rest when the suite runs under AddressSanitizer.
#include <gtest/gtest.h>
#include <malloc.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/common/Conversions.h"
#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderSession.h"
#include "gui/MessageBoxes.h"
#include "gui/apdu/ApduConsole.h"
#include "gui/memcard/MemOperationRunner.h"
#include "sim/SimCardLibrary.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZP_SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZP_SOAK_ASAN 1
#endif
#endif
#ifdef ZP_SOAK_ASAN
#include <sanitizer/lsan_interface.h>
// The sanitizer runtime's count of the bytes the program holds (its allocator replaces
// the C library's, whose statistics then stay empty).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

constexpr int kExchanges = 100'000;
constexpr int kMemOperations = 10'000;
// A failure and an out-of-contract delivery every this many operations, the first ones
// late enough that every card has been given its code before.
constexpr int kFaultEvery = 97;
constexpr int kFailureAt = 96;
constexpr int kOverlongAt = 48;
// Heap the program may keep beyond the log after a run: none is expected; this allows for
// the allocator's own bookkeeping.
constexpr long kHeapSlack = 64 * 1024;
// Heap per logged line beyond its text: the line's string and its slot in the list.
constexpr long kPerLineOverhead = 128;

// Bytes the program holds on the heap now.
long HeapInUse() {
#ifdef ZP_SOAK_ASAN
    return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 heap = mallinfo2();
    return static_cast<long>(heap.uordblks + heap.hblkhd);  // small blocks and mapped ones
#endif
}

// Counts the boxes without keeping them, so the test itself holds nothing per box.
class CountingBoxes : public MessageBoxes {
  public:
    void ShowError(const std::string&) override { ++errors; }
    void ShowInfo(const std::string&) override {}
    long errors = 0;
};

struct LogSize {
    long lines = 0;
    long textBytes = 0;
};

LogSize SizeOf(const MemoryResponseLog& log) {
    LogSize size;
    for (const std::string& line : log.Lines()) {
        ++size.lines;
        size.textBytes += static_cast<long>(line.size());
    }
    return size;
}

// The five memory-card pages' logs.
struct PageLogs {
    PageLogs() {
        for (std::size_t i = 0; i < kMemPageCount; ++i) {
            logs.pages[i] = &pages[i];
        }
    }
    LogSize Size() const {
        LogSize total;
        for (const MemoryResponseLog& page : pages) {
            const LogSize size = SizeOf(page);
            total.lines += size.lines;
            total.textBytes += size.textBytes;
        }
        return total;
    }
    std::array<MemoryResponseLog, kMemPageCount> pages;
    MemCardLogs logs;
};

// Readers with a card each: a T=1 CPU card and one card of every memory family.
class Soak : public ::testing::Test {
  protected:
    enum Reader { Cpu, Sle4442, Sle4428, Sle4404, Sle4436, I2c, ReaderTotal };

    Soak()
        : card({"CPU 00 00", "SLE4442 00 01", "SLE4428 00 02", "SLE4404 00 03", "SLE4436 00 04",
                "I2C 00 05"}) {
        const SimCardKind kinds[] = {SimCardKind::CpuT1,   SimCardKind::SLE4442,
                                     SimCardKind::SLE4428, SimCardKind::SLE4404,
                                     SimCardKind::SLE4436, SimCardKind::I2C};
        // One session per reader, each with its card connected, as a window per reader
        // would hold them.
        for (int reader = 0; reader < ReaderTotal; ++reader) {
            card.InsertCard(reader, kinds[reader]);
            sessions.push_back(std::make_unique<ReaderSession>(card, cardLog));
            EXPECT_TRUE(sessions.back()->InitializeReaders());
            sessions.back()->SelectReader(reader);
            EXPECT_TRUE(sessions.back()->TryConnectCard()) << reader;
        }
    }

    // Runs `run(count, logs)` for `warmUp` operations, then for `full` into new logs:
    // reports the heap they hold per line, and checks that the heap is back where it was once
    // they are gone. The warm-up fills what the simulated library keeps per operation.
    template <typename Logs, typename Run>
    void Measure(const char* what, int warmUp, int full, Run run) {
        {
            Logs warmUpLogs;
            run(warmUp, warmUpLogs);
        }
        const long before = HeapInUse();
        auto logs = std::make_unique<Logs>();
        const LogSize logged = run(full, *logs);
        const long withLogs = HeapInUse();
        logs.reset();
        const long after = HeapInUse();
        const double perLine = static_cast<double>(withLogs - before) / logged.lines;
        std::printf(
            "%s: %ld lines, %ld bytes of text (%.1f per line); the heap grew by %ld bytes "
            "= %.1f bytes per logged line; %+ld bytes once the log is gone\n",
            what, logged.lines, logged.textBytes,
            static_cast<double>(logged.textBytes) / logged.lines, withLogs - before, perLine,
            after - before);
        RecordProperty(std::string(what) + "HeapBytesPerLine", std::to_string(perLine));
        EXPECT_LE(withLogs - before, logged.textBytes + kPerLineOverhead * logged.lines);
        EXPECT_LE(after - before, kHeapSlack);
    }

    SimCardLibrary card;
    CountingBoxes boxes;
    MemoryResponseLog cardLog;
    std::vector<std::unique_ptr<ReaderSession>> sessions;
};

// GET CHALLENGE of 0 to 255 bytes on even counts, SELECT by a name of 0 to 39 bytes on odd.
ApduTexts SoakCommand(int i) {
    const auto hex = [](std::size_t value) {
        return HexNumberText(static_cast<std::uint32_t>(value), 2);
    };
    if (i % 2 == 0) {
        return {"00", "84", "00", "00", "", "", hex(static_cast<std::size_t>(i % 256))};
    }
    const std::string name(static_cast<std::size_t>(2 * (i % 40)), 'A');
    return {"00", "A4", "04", "00", hex(name.size() / 2), name, ""};
}

TEST_F(Soak, HundredThousandExchangesGrowTheHeapOnlyByTheirLog) {
    ReaderSession& session = *sessions[Cpu];
    long failures = 0;
    Measure<MemoryResponseLog>(
        "exchanges", 1000, kExchanges, [&](int total, MemoryResponseLog& log) {
            for (int i = 0; i < total; ++i) {
                if (i % kFaultEvery == kFailureAt) {
                    card.FailNext("CardTransmit", 0x80100000u + static_cast<std::uint32_t>(i));
                    ++failures;
                } else if (i % kFaultEvery == kOverlongAt) {
                    card.DeliverNextLength("CardTransmit", 0xFFFFFFFF);
                }
                SendCardApdu(SoakCommand(i), session, boxes, log);
                EXPECT_FALSE(session.CardBusy());
            }
            EXPECT_EQ(log.Lines().back(), std::string(12, ' '));
            return SizeOf(log);
        });
    EXPECT_EQ(boxes.errors, failures);
}

// One memory-card operation of the soak: its code, its card and its library operation.
struct SoakOperation {
    std::uint32_t code;
    int reader;
    const char* operation;
    std::uint32_t address;  // 1 to 22 bytes from here lie within what the card allows
};

TEST_F(Soak, TenThousandMemoryCardOperationsGrowTheHeapOnlyByTheirLogs) {
    // Codes first, so that the writes that follow are allowed.
    const SoakOperation operations[] = {
        {7, Sle4442, "CardSLE4442Verify", 4},
        {1, Sle4442, "CardSLE4442ReadMain", 4},
        {2, Sle4442, "CardSLE4442ReadProtect", 4},
        {4, Sle4442, "CardSLE4442WriteMain", 4},
        {13, Sle4428, "CardSLE4428VerifyPSC", 4},
        {8, Sle4428, "CardSLE4428ReadMain", 4},
        {9, Sle4428, "CardSLE4428ReadWithProtectBit", 4},
        {10, Sle4428, "CardSLE4428WriteMain", 4},
        {19, Sle4404, "CardSLE4404VerifyUserCode", 4},
        {14, Sle4404, "CardSLE4404ReadMemory", 4},
        {17, Sle4404, "CardSLE4404WriteUserMemory", 4},
        {26, Sle4436, "CardSLE4436VerifyTransportCode", 13},
        {21, Sle4436, "CardSLE4436ReadMemory", 13},
        {22, Sle4436, "CardSLE4436ReadCounterStages", 13},
        {23, Sle4436, "CardSLE4436WriteMemory", 13},
        {28, I2c, "CardI2CReadMemory", 4},
        {29, I2c, "CardI2CWriteMemory", 4},
    };
    long failures = 0;
    // Every operation meets a failure and an over-long delivery during the warm-up.
    const int warmUp = kFaultEvery * static_cast<int>(std::size(operations) + 1);
    Measure<PageLogs>(
        "memory-card operations", warmUp, kMemOperations, [&](int total, PageLogs& logs) {
            for (int i = 0; i < total; ++i) {
                const SoakOperation& op =
                    operations[static_cast<std::size_t>(i) % std::size(operations)];
                const MemOperationEntry* entry = FindMemOperation(op.code);
                MemOperationParams params;
                params.MemOpCode = op.code;
                params.MemAddress = op.address;
                params.MemReadLen = 1 + static_cast<std::uint32_t>(i % 22);
                const std::size_t codeBytes = VerifyCodeBytes(*entry);
                params.MemData.assign(codeBytes != 0 ? codeBytes : params.MemReadLen,
                                      codeBytes != 0 ? 0xFF : static_cast<std::uint8_t>(i));
                params.MemDataLen = static_cast<std::uint32_t>(params.MemData.size());
                params.I2CCommand = 0xA0;
                params.I2CAddrBytes = 1;
                if (i % kFaultEvery == kFailureAt) {
                    card.FailNext(op.operation, 0x80100000u + static_cast<std::uint32_t>(i));
                    ++failures;
                } else if (i % kFaultEvery == kOverlongAt) {
                    card.DeliverNextLength(op.operation, 0xFFFFFFFF);
                }
                ReaderSession& session = *sessions[static_cast<std::size_t>(op.reader)];
                RunMemOperation(params, session, boxes, logs.logs);
                EXPECT_FALSE(session.CardBusy());
            }
            return logs.Size();
        });
    // Injected failures, and no other: every other operation was within its card's rules.
    EXPECT_EQ(boxes.errors, failures);
}

#ifdef ZP_SOAK_ASAN
TEST_F(Soak, NothingLeaks) {
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
}
#endif

}  // namespace
