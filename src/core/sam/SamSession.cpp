#include "core/sam/SamSession.h"

#include "core/apdu/CpuCardFields.h"
#include "core/common/LogFormat.h"
#include "core/common/ResponseLog.h"
#include "core/sam/SamLibrary.h"

namespace {
constexpr std::uint32_t kSamModeShared = 1;
constexpr std::uint32_t kSamProtocolsT0OrT1 = 3;
constexpr std::uint32_t kSamDisposition = 3;
constexpr std::uint32_t kSamLeave = 0;
constexpr std::uint32_t kIoRequestLength = 8;
constexpr std::uint32_t kSamFlagT0 = 0x1;
constexpr std::uint32_t kSamFlagT1 = 0x2;
}  // namespace

FieldRules SamFieldRules() {
    using A = FieldAdvance;
    return FieldRules({
        {std::nullopt, FieldIns, std::nullopt, A::AtTwo},  // SAMCLA has no key handler
        {std::nullopt, FieldP1, FieldCla, A::AtTwo},
        {std::nullopt, FieldP2, FieldIns, A::AtTwo},
        {std::nullopt, FieldLc, FieldP1, A::AtTwo},
        {kLcMaxLengthT1, FieldData, FieldP2, A::AtMaximum},
        {std::nullopt, std::nullopt, FieldLc, A::Never},
        {kSamLeMaxLength, std::nullopt, FieldData, A::Never},
    });
}

SamProtocolLayout SamLayoutForProtocols(std::uint32_t flags) {
    if (flags & kSamFlagT0) {
        return {"Protocol: T0", "P&3:", kLcMaxLengthT0, false};
    }
    if (flags & kSamFlagT1) {
        return {"Protocol: T1", "&Lc:", kLcMaxLengthT1, true};
    }
    return {"Protocol: Unknown", std::nullopt, std::nullopt, std::nullopt};
}

SamSession::SamSession(SamLibrary& library, ResponseLog& log) : library_(library), log_(log) {}

std::uint32_t SamSession::Connect(const char* readerName, SamSlot& slot) {
    if (slot.Connected) {
        // The handle about to be overwritten is released first, without a word in the log:
        // the service counts every handle left open against the reader.
        library_.SamDisconnect(slot.Handle, kSamLeave);
        slot.Connected = false;
    }
    const std::uint32_t code = library_.SamConnect(readerName, kSamModeShared, kSamProtocolsT0OrT1,
                                                   &slot.Handle, &slot.Protocols);
    if (code == 0) {
        slot.Connected = true;
        AppendLogLine(log_, "Connect SAM0 Success");
    } else {
        AppendReturnCodeLine(log_, "Connect SAM0 Fail, return code=0x", code);
    }
    return code;
}

std::uint32_t SamSession::Disconnect(SamSlot& slot) {
    const std::uint32_t code = library_.SamDisconnect(slot.Handle, kSamDisposition);
    if (code == 0) {
        slot.Connected = false;
        AppendLogLine(log_, "Disconnect SAM0 Success");
    } else {
        AppendReturnCodeLine(log_, "Disconnect SAM0 Fail, return code=", code);
    }
    return code;
}

ApduReply SamSession::Transmit(const ApduBuffer& command, std::int32_t n, SamSlot& slot) {
    IoRequest& request = slot.IoRequest;
    request.protocol = slot.Protocols;
    request.length = kIoRequestLength;
    ApduReply reply;
    reply.length = ApduBufferSize;
    reply.code =
        library_.SamTransmit(slot.Handle, &request, command.data(), static_cast<std::uint32_t>(n),
                             &request, reply.bytes.data(), &reply.length);
    return reply;
}
