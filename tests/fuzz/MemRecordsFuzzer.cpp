// The memory-card operations' records over arbitrary parameters and whatever the library
// answers: any code, any delivered length, any bytes in the receive buffers.
// Input: operation code (u8), address (u32), read length (u16), claimed data length (u16),
// data byte count (u16), I2C command, dummy and address-byte count (u8 each), selected
// reader (i8), return code (u32), delivered length (u32), then the data bytes, then the
// bytes the library reads into its buffers.
#include <algorithm>
#include <array>
#include <string>

#include "FuzzSupport.h"
#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/common/MemoryResponseLog.h"
#include "core/memcard/MemOperation.h"
#include "core/session/ReaderSession.h"
#include "gui/memcard/MemOperationRunner.h"

namespace {

// The Data Dialog never asks for more than 1024 bytes; the records are driven a little
// beyond, but not so far that a single input takes seconds.
constexpr std::uint16_t kLargestLength = 4096;

std::size_t ParameterLineCount(MemOpKind kind) {
    switch (kind) {
        case MemOpKind::okVerify:
            return 1;
        case MemOpKind::okI2CRead:
            return 5;
        case MemOpKind::okI2CWrite:
            return 4;
        default:
            return 2;
    }
}

// Bytes of the data that the operation hands to the library: the whole data of a write,
// the code bytes of a verification, the value of a counter stage.
std::size_t DataBytesPassed(const MemOperationEntry& entry, const MemOperationParams& params) {
    switch (entry.kind) {
        case MemOpKind::okWrite:
        case MemOpKind::okI2CWrite:
            return params.MemDataLen;
        case MemOpKind::okVerify:
            return VerifyCodeBytes(entry);
        case MemOpKind::okWriteCounter:
            return 1;
        default:
            return 0;
    }
}

// Data that the Data Dialog never stores: a count beyond the bytes held, or fewer bytes
// than the operation passes.
bool DataMissing(const MemOperationEntry& entry, const MemOperationParams& params) {
    const bool usesData = entry.kind == MemOpKind::okWrite || entry.kind == MemOpKind::okI2CWrite ||
                          entry.kind == MemOpKind::okVerify ||
                          entry.kind == MemOpKind::okWriteCounter;
    return usesData && (params.MemDataLen > params.MemData.size() ||
                        params.MemDataLen < DataBytesPassed(entry, params));
}

bool IsRead(MemOpKind kind) {
    return kind == MemOpKind::okRead || kind == MemOpKind::okI2CRead ||
           kind == MemOpKind::okReadProtectBits || kind == MemOpKind::okFixedRead ||
           kind == MemOpKind::okReadCounter;
}

// Decodes `count` hex rows starting at `line`, each of at most `width` bytes and an
// optional prefix, into `bytes`.
void DecodeRows(const std::vector<std::string>& lines, std::size_t line, std::size_t count,
                const std::string& prefix, std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& text = lines.at(line + i);
        FUZZ_CHECK(text.compare(0, prefix.size(), prefix) == 0);
        std::vector<std::uint8_t> row;
        FUZZ_CHECK(DecodeHexText(text.substr(prefix.size()), row));
        bytes.insert(bytes.end(), row.begin(), row.end());
    }
}

void CheckFilled(const std::vector<std::uint8_t>& bytes, const FuzzCardLibrary& library) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        FUZZ_CHECK(bytes[i] == FillByte(library.fill, i));
    }
}

// The result lines of a successful read, from `line` up to the separator.
void CheckReadResult(const MemOperationEntry& entry, const MemOperationParams& params,
                     const FuzzCardLibrary& library, const std::vector<std::string>& lines,
                     std::size_t line) {
    const auto hex = [&](std::uint32_t value) { return HexNumberText(value, entry.width); };
    const std::size_t rowLines = lines.size() - 1 - (line + 1);
    const std::uint32_t delivered = std::min(library.deliveredLength, params.MemReadLen);
    std::vector<std::uint8_t> bytes;
    switch (entry.kind) {
        case MemOpKind::okRead:
        case MemOpKind::okI2CRead:
            FUZZ_CHECK(lines[line] == "Receive Data : " + hex(delivered) + " bytes : ");
            FUZZ_CHECK(rowLines == delivered / 16 + 1);
            DecodeRows(lines, line + 1, rowLines, "", bytes);
            FUZZ_CHECK(bytes.size() == delivered);
            break;
        case MemOpKind::okReadProtectBits: {
            FUZZ_CHECK(lines[line] == "Receive Data : 0x" + hex(delivered) + " bytes : ");
            FUZZ_CHECK(rowLines == 2 * ((delivered + 15) / 16));
            std::vector<std::uint8_t> protectBits;
            for (std::size_t pair = 0; pair < rowLines; pair += 2) {
                DecodeRows(lines, line + 1 + pair, 1, "Data:", bytes);
                DecodeRows(lines, line + 2 + pair, 1, "PBit:", protectBits);
            }
            FUZZ_CHECK(bytes.size() == delivered && protectBits == bytes);
            break;
        }
        case MemOpKind::okFixedRead:
            FUZZ_CHECK(lines[line] == "Receive Data : " + hex(4) + " bytes : ");
            FUZZ_CHECK(rowLines == 1);
            DecodeRows(lines, line + 1, 1, "", bytes);
            FUZZ_CHECK(bytes.size() == 4);
            break;
        default:  // okReadCounter
            FUZZ_CHECK(lines[line] == "Receive Data : " + hex(params.MemReadLen) + " bytes : ");
            FUZZ_CHECK(rowLines == 1);
            DecodeRows(lines, line + 1, 1, "", bytes);
            FUZZ_CHECK(bytes.size() == 5);
            break;
    }
    CheckFilled(bytes, library);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    MemOperationParams params;
    params.MemOpCode = input.U8() % 32;
    params.MemAddress = input.U32();
    params.MemReadLen = input.U16() % (kLargestLength + 1);
    params.MemDataLen = input.U16() % (kLargestLength + 1);
    const std::size_t dataBytes = input.U16() % (kLargestLength + 1);
    params.I2CCommand = input.U8();
    params.I2CDummy = input.U8();
    params.I2CAddrBytes = input.U8();
    const auto selected = static_cast<std::int8_t>(input.U8());

    FuzzCardLibrary library;
    library.code = input.U32();
    library.deliveredLength = input.U32();
    const auto dataSpan = input.Bytes(dataBytes);
    params.MemData.assign(dataSpan.begin(), dataSpan.end());
    params.MemData.shrink_to_fit();
    const auto fill = input.Rest();
    library.fill.assign(fill.begin(), fill.end());

    FuzzBoxes boxes;
    MemoryResponseLog cardLog;
    ReaderSession session(library, cardLog);
    session.SelectReader(selected);  // no reader is listed: none is selected
    std::array<MemoryResponseLog, kMemPageCount> pageLogs;
    MemCardLogs logs;
    for (std::size_t i = 0; i < kMemPageCount; ++i) {
        logs.pages[i] = &pageLogs[i];
    }
    const MemOperationEntry* entry = FindMemOperation(params.MemOpCode);
    if (entry != nullptr) {
        boxes.watched = &pageLogs[static_cast<std::size_t>(entry->page)].Lines();
    }

    RunMemOperation(params, session, boxes, logs);

    FUZZ_CHECK(!session.CardBusy());
    FUZZ_CHECK(cardLog.Lines().empty());
    for (std::size_t i = 0; i < kMemPageCount; ++i) {
        FUZZ_CHECK(pageLogs[i].Lines().empty() ||
                   (entry != nullptr && i == static_cast<std::size_t>(entry->page)));
    }
    if (entry == nullptr) {
        FUZZ_CHECK(library.calls == 0 && boxes.boxes.empty());
        return 0;
    }
    const std::vector<std::string>& lines = pageLogs[static_cast<std::size_t>(entry->page)].Lines();
    if (DataMissing(*entry, params)) {
        // Refused before anything is written or called.
        FUZZ_CHECK(library.calls == 0 && lines.empty());
        FUZZ_CHECK(boxes.boxes.size() == 1);
        return 0;
    }
    FUZZ_CHECK(library.calls == 1);
    FUZZ_CHECK(library.lastCard == session.SelectedCardHandle());
    FUZZ_CHECK(lines.size() >= 1 + ParameterLineCount(entry->kind) + 2);
    FUZZ_CHECK(lines.front() == entry->titleLine && lines.back() == kSeparatorLine);
    const std::size_t passed = DataBytesPassed(*entry, params);
    if (passed > 0) {
        FUZZ_CHECK(library.received.size() == passed);
        FUZZ_CHECK(
            std::equal(library.received.begin(), library.received.end(), params.MemData.begin()));
    }
    const std::size_t outcome = 1 + ParameterLineCount(entry->kind);
    const std::string words = entry->failureWords;
    if (library.code != 0) {
        FUZZ_CHECK(lines.size() == outcome + 2);
        FUZZ_CHECK(boxes.boxes.size() == 1 && boxes.boxes[0].text == words + " Fail!");
        FUZZ_CHECK(boxes.boxes[0].logLines == outcome);
        FUZZ_CHECK(lines[outcome] == ReturnCodeText(words + " Fail, return code=0x", library.code));
        return 0;
    }
    FUZZ_CHECK(boxes.boxes.empty());
    FUZZ_CHECK(lines[outcome] == entry->successLine);
    if (IsRead(entry->kind)) {
        CheckReadResult(*entry, params, library, lines, outcome + 1);
    } else {
        FUZZ_CHECK(lines.size() == outcome + 2);
    }
    return 0;
}
