#include "core/memcard/MemOperation.h"

#include <algorithm>
#include <string>

#include "core/common/Conversions.h"
#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"
#include "core/session/ReaderSession.h"

namespace {

constexpr std::uint32_t kFixedReadBytes = 4;
constexpr std::int32_t kCounterStageBytes = 5;
// The counter-stage read is handed six bytes whatever length the dialog held.
constexpr std::size_t kCounterBufferBytes = 6;
constexpr std::uint32_t kHexRowBytes = 16;
constexpr int kParameterByteWidth = 2;

bool UsesData(MemOpKind kind) {
    return kind == MemOpKind::okWrite || kind == MemOpKind::okVerify ||
           kind == MemOpKind::okWriteCounter || kind == MemOpKind::okI2CWrite;
}

// The data bytes an operation passes must all be there: MemDataLen may not claim more than
// MemData holds, and a code or counter value needs its bytes.
bool HasDataFor(const MemOperationEntry& entry, const MemOperationParams& params) {
    if (!UsesData(entry.kind)) {
        return true;
    }
    std::size_t needed = VerifyCodeBytes(entry);
    if (entry.kind == MemOpKind::okWriteCounter) {
        needed = 1;
    }
    return params.MemDataLen <= params.MemData.size() && params.MemDataLen >= needed;
}

}  // namespace

// One run of one operation: header, the library call, outcome, separator.
class MemOperationRecord::Run {
  public:
    Run(const MemOperationEntry& entry, const MemOperationParams& params, ReaderSession& session,
        ResponseLog& log)
        : entry_(entry), params_(params), session_(session), log_(log) {}

    void Begin() {
        AppendLogLine(log_, entry_.titleLine);
        AppendParameterLines();
    }

    std::uint32_t Call() { return CallLibrary(); }

    void End(std::uint32_t code) {
        if (code == 0) {
            AppendLogLine(log_, entry_.successLine);
            AppendResultLines();
        } else {
            AppendReturnCodeLine(log_, std::string(entry_.failureWords) + " Fail, return code=0x",
                                 code);
        }
        AppendSeparatorLine(log_);
    }

  private:
    std::string Hex(std::uint32_t value) const { return HexNumberText(value, entry_.width); }

    // Bytes a read delivered; a library reporting more than was asked for is held to the
    // requested count, which is what the receive buffers were sized for.
    std::uint32_t Delivered() const { return std::min(length_, params_.MemReadLen); }

    void AppendAddressLine() {
        AppendLogLine(log_, "     Starting Address : 0x" + Hex(params_.MemAddress));
    }
    void AppendReceiveLengthLine(std::uint32_t length) {
        AppendLogLine(log_, "     Receive Length = 0x" + Hex(length));
    }
    void AppendSendDataLine() {
        AppendLogLine(log_, "     Send Data (0x" + Hex(params_.MemDataLen) + " bytes) : " +
                                BytesToHexText(params_.MemData.data(),
                                               static_cast<std::int32_t>(params_.MemDataLen)));
    }
    void AppendI2CByteLine(const char* name, std::uint8_t value) {
        AppendLogLine(
            log_, std::string("     ") + name + " : " + HexNumberText(value, kParameterByteWidth));
    }

    void AppendParameterLines() {
        switch (entry_.kind) {
            case MemOpKind::okRead:
            case MemOpKind::okReadProtectBits:
            case MemOpKind::okErase:
            case MemOpKind::okReadCounter:
            case MemOpKind::okReload:
                AppendAddressLine();
                AppendReceiveLengthLine(params_.MemReadLen);
                break;
            case MemOpKind::okFixedRead:
                AppendAddressLine();
                AppendReceiveLengthLine(kFixedReadBytes);
                break;
            case MemOpKind::okWrite:
            case MemOpKind::okWriteCounter:
                AppendAddressLine();
                AppendSendDataLine();
                break;
            case MemOpKind::okVerify:
                AppendLogLine(log_,
                              "     Verification Codes (0x" +
                                  HexNumberText(params_.MemDataLen, kParameterByteWidth) +
                                  " bytes) : " +
                                  BytesToHexText(params_.MemData.data(),
                                                 static_cast<std::int32_t>(params_.MemDataLen)));
                break;
            case MemOpKind::okI2CRead:
                AppendI2CByteLine("Command", params_.I2CCommand);
                AppendI2CByteLine("Dummy", params_.I2CDummy);
                AppendI2CByteLine("Number of Address Bytes", params_.I2CAddrBytes);
                AppendAddressLine();
                AppendReceiveLengthLine(params_.MemReadLen);
                break;
            case MemOpKind::okI2CWrite:
                AppendI2CByteLine("Command", params_.I2CCommand);
                AppendI2CByteLine("Number of Address Bytes", params_.I2CAddrBytes);
                AppendAddressLine();
                AppendSendDataLine();
                break;
        }
    }

    // Receive buffer of the requested length and one byte more.
    void AllocateReadBuffer(std::vector<std::uint8_t>& buffer) {
        buffer.assign(std::size_t{params_.MemReadLen} + 1, 0);
    }

    std::uint32_t CallVerify(CardLibrary& library, std::uint32_t card) {
        const std::vector<std::uint8_t>& code = params_.MemData;
        if (const auto* call = std::get_if<MemTwoByteCall>(&entry_.call)) {
            return (library.**call)(card, code[0], code[1]);
        }
        if (const auto* call = std::get_if<MemThreeByteCall>(&entry_.call)) {
            return (library.**call)(card, code[0], code[1], code[2]);
        }
        return (library.*std::get<MemFourByteCall>(entry_.call))(card, code[0], code[1], code[2],
                                                                 code[3]);
    }

    std::uint32_t CallLibrary() {
        CardLibrary& library = session_.Library();
        const std::uint32_t card = session_.SelectedCardHandle();
        const MemOperationParams& p = params_;
        switch (entry_.kind) {
            case MemOpKind::okRead:
                AllocateReadBuffer(buffer_);
                length_ = p.MemReadLen;
                return (library.*std::get<MemReadCall>(entry_.call))(card, buffer_.data(),
                                                                     p.MemAddress, &length_);
            case MemOpKind::okFixedRead:
                buffer_.assign(kFixedReadBytes, 0);
                return (library.*std::get<MemBufferCall>(entry_.call))(card, buffer_.data());
            case MemOpKind::okReadProtectBits:
                AllocateReadBuffer(buffer_);
                AllocateReadBuffer(protectBits_);
                length_ = p.MemReadLen;
                return (library.*std::get<MemProtectBitsReadCall>(entry_.call))(
                    card, buffer_.data(), protectBits_.data(), p.MemAddress, &length_);
            case MemOpKind::okWrite:
                return (library.*std::get<MemWriteCall>(entry_.call))(card, p.MemData.data(),
                                                                      p.MemAddress, p.MemDataLen);
            case MemOpKind::okVerify:
                return CallVerify(library, card);
            case MemOpKind::okErase:
                return (library.*std::get<MemEraseCall>(entry_.call))(card, p.MemAddress,
                                                                      p.MemReadLen);
            case MemOpKind::okReadCounter:
                buffer_.assign(std::max(std::size_t{p.MemReadLen} + 1, kCounterBufferBytes), 0);
                return (library.*std::get<MemBufferCall>(entry_.call))(card, buffer_.data());
            case MemOpKind::okWriteCounter:
                return (library.*std::get<MemTwoByteCall>(entry_.call))(
                    card, static_cast<std::uint8_t>(p.MemAddress), p.MemData[0]);
            case MemOpKind::okReload:
                return (library.*std::get<MemOneByteCall>(entry_.call))(
                    card, static_cast<std::uint8_t>(p.MemAddress));
            case MemOpKind::okI2CRead:
                AllocateReadBuffer(buffer_);
                length_ = p.MemReadLen;
                return (library.*std::get<MemI2CReadCall>(entry_.call))(
                    card, p.I2CCommand, p.MemAddress, buffer_.data(), &length_, p.I2CDummy,
                    p.I2CAddrBytes);
            case MemOpKind::okI2CWrite:
                return (library.*std::get<MemI2CWriteCall>(entry_.call))(
                    card, p.I2CCommand, p.MemAddress, p.MemData.data(), p.MemDataLen,
                    p.I2CAddrBytes);
        }
        return 0;
    }

    void AppendProtectBitRows(std::uint32_t n) {
        for (std::uint32_t offset = 0; offset < n; offset += kHexRowBytes) {
            const auto count = static_cast<std::int32_t>(std::min(kHexRowBytes, n - offset));
            AppendLogLine(log_, "Data:" + BytesToHexText(buffer_.data() + offset, count));
            AppendLogLine(log_, "PBit:" + BytesToHexText(protectBits_.data() + offset, count));
        }
    }

    void AppendResultLines() {
        switch (entry_.kind) {
            case MemOpKind::okRead:
            case MemOpKind::okI2CRead: {
                const std::uint32_t n = Delivered();
                AppendLogLine(log_, "Receive Data : " + Hex(n) + " bytes : ");
                AppendHexRows(log_, buffer_.data(), n);
                break;
            }
            case MemOpKind::okFixedRead:
                AppendLogLine(log_, "Receive Data : " + Hex(kFixedReadBytes) + " bytes : ");
                AppendLogLine(log_, BytesToHexText(buffer_.data(), kFixedReadBytes));
                break;
            case MemOpKind::okReadProtectBits: {
                const std::uint32_t n = Delivered();
                AppendLogLine(log_, "Receive Data : 0x" + Hex(n) + " bytes : ");
                AppendProtectBitRows(n);
                break;
            }
            case MemOpKind::okReadCounter:
                AppendLogLine(log_, "Receive Data : " + Hex(params_.MemReadLen) + " bytes : ");
                AppendLogLine(log_, BytesToHexText(buffer_.data(), kCounterStageBytes));
                break;
            default:
                break;
        }
    }

    const MemOperationEntry& entry_;
    const MemOperationParams& params_;
    ReaderSession& session_;
    ResponseLog& log_;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> protectBits_;
    std::uint32_t length_ = 0;
};

MemOperationRecord::MemOperationRecord(const MemOperationEntry& entry,
                                       const MemOperationParams& params, ReaderSession& session,
                                       const MemCardLogs& logs)
    : entry_(entry), run_(std::make_unique<Run>(entry, params, session, logs.Of(entry.page))) {}

MemOperationRecord::~MemOperationRecord() = default;

void MemOperationRecord::Begin() {
    run_->Begin();
}

std::uint32_t MemOperationRecord::Call() {
    return run_->Call();
}

std::string MemOperationRecord::FailureBox() const {
    return std::string(entry_.failureWords) + " Fail!";
}

void MemOperationRecord::End(std::uint32_t code) {
    run_->End(code);
}

Outcome CheckMemOperationData(const MemOperationEntry& entry, const MemOperationParams& params) {
    if (!HasDataFor(entry, params)) {
        return Outcome::Failure("DATA Bytes are not enough!");
    }
    return Outcome::Success();
}
