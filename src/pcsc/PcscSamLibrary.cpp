#include "pcsc/PcscSamLibrary.h"

#include <winscard.h>

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "core/session/ReaderList.h"

namespace {

constexpr std::uint32_t kFlagT0 = 1;
constexpr std::uint32_t kFlagT1 = 2;

std::uint32_t Code(LONG result) {
    return static_cast<std::uint32_t>(result);
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

DWORD NativeProtocols(std::uint32_t flags) {
    DWORD native = 0;
    if (flags & kFlagT0) {
        native |= SCARD_PROTOCOL_T0;
    }
    if (flags & kFlagT1) {
        native |= SCARD_PROTOCOL_T1;
    }
    return native;
}

std::uint32_t ProtocolFlags(DWORD native) {
    std::uint32_t flags = 0;
    if (native & SCARD_PROTOCOL_T0) {
        flags |= kFlagT0;
    }
    if (native & SCARD_PROTOCOL_T1) {
        flags |= kFlagT1;
    }
    return flags;
}

}  // namespace

std::optional<std::string> SamSlotReaderName(std::string_view cardReader) {
    const std::size_t size = cardReader.size();
    if (size < 3 || cardReader[size - 3] != ' ') {
        return std::nullopt;
    }
    const int high = HexDigitValue(cardReader[size - 2]);
    const int low = HexDigitValue(cardReader[size - 1]);
    if (high < 0 || low < 0 || high * 16 + low == 0xFF) {
        return std::nullopt;
    }
    constexpr char kDigits[] = "0123456789ABCDEF";
    const int next = high * 16 + low + 1;
    std::string name(cardReader.substr(0, size - 2));
    name += kDigits[next >> 4];
    name += kDigits[next & 0x0F];
    return name;
}

PcscSamLibrary::~PcscSamLibrary() {
    if (hasContext_) {
        SCardReleaseContext(context_);
    }
}

static_assert(std::is_same_v<SCARDHANDLE, long> && std::is_same_v<SCARDCONTEXT, long> &&
              std::is_same_v<DWORD, unsigned long> && std::is_same_v<LONG, long>);

PcscSamLibrary::NativeResult PcscSamLibrary::EnsureContext() {
    if (hasContext_ && SCardIsValidContext(context_) == SCARD_S_SUCCESS) {
        return SCARD_S_SUCCESS;
    }
    if (hasContext_) {
        SCardReleaseContext(context_);
        hasContext_ = false;
    }
    const LONG result = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context_);
    hasContext_ = result == SCARD_S_SUCCESS;
    return result;
}

bool PcscSamLibrary::IsListed(const std::string& name) {
    const ReaderList list = ReadReaderList([this](char* buffer, std::uint32_t* length) {
        DWORD native = *length;
        const LONG result = SCardListReaders(context_, nullptr, buffer, &native);
        *length = static_cast<std::uint32_t>(std::min<DWORD>(native, UINT32_MAX));
        return Code(result);
    });
    return std::find(list.names.begin(), list.names.end(), name) != list.names.end();
}

std::uint32_t PcscSamLibrary::NextHandle() {
    do {
        ++lastHandle_;
    } while (lastHandle_ == 0 || connections_.contains(lastHandle_));
    return lastHandle_;
}

std::uint32_t PcscSamLibrary::SamConnect(const char* reader, std::uint32_t /*mode*/,
                                         std::uint32_t protocolMask, std::uint32_t* handle,
                                         std::uint32_t* protocols) {
    if (handle == nullptr || protocols == nullptr) {
        return Code(SCARD_E_INVALID_PARAMETER);
    }
    const std::optional<std::string> samReader =
        reader != nullptr ? SamSlotReaderName(reader) : std::nullopt;
    if (!samReader) {
        return Code(SCARD_E_UNKNOWN_READER);
    }
    if (const LONG result = EnsureContext(); result != SCARD_S_SUCCESS) {
        return Code(result);
    }
    if (!IsListed(*samReader)) {
        return Code(SCARD_E_UNKNOWN_READER);
    }
    Connection connection{};
    const LONG result =
        SCardConnect(context_, samReader->c_str(), SCARD_SHARE_SHARED,
                     NativeProtocols(protocolMask), &connection.card, &connection.protocol);
    if (result != SCARD_S_SUCCESS) {
        return Code(result);
    }
    *handle = NextHandle();
    connections_[*handle] = connection;
    *protocols = ProtocolFlags(connection.protocol);
    return 0;
}

std::uint32_t PcscSamLibrary::SamDisconnect(std::uint32_t handle, std::uint32_t disposition) {
    const auto found = connections_.find(handle);
    if (found == connections_.end()) {
        return Code(SCARD_E_INVALID_HANDLE);
    }
    const LONG result = SCardDisconnect(found->second.card, disposition);
    // A handle the service no longer knows is of no use to keep either.
    if (result == SCARD_S_SUCCESS || result == SCARD_E_INVALID_HANDLE) {
        connections_.erase(found);
    }
    return Code(result);
}

std::uint32_t PcscSamLibrary::SamTransmit(std::uint32_t handle, const IoRequest* sendPci,
                                          const std::uint8_t* sendBuffer, std::uint32_t sendLength,
                                          IoRequest* recvPci, std::uint8_t* recvBuffer,
                                          std::uint32_t* recvLength) {
    const auto found = connections_.find(handle);
    if (found == connections_.end()) {
        return Code(SCARD_E_INVALID_HANDLE);
    }
    if (sendBuffer == nullptr || recvBuffer == nullptr || recvLength == nullptr) {
        return Code(SCARD_E_INVALID_PARAMETER);
    }
    const DWORD protocol =
        sendPci != nullptr ? NativeProtocols(sendPci->protocol) : found->second.protocol;
    const SCARD_IO_REQUEST send{protocol, sizeof(SCARD_IO_REQUEST)};
    SCARD_IO_REQUEST received{protocol, sizeof(SCARD_IO_REQUEST)};
    const std::uint32_t capacity = *recvLength;
    DWORD length = capacity;
    const LONG result = SCardTransmit(found->second.card, &send, sendBuffer, sendLength, &received,
                                      recvBuffer, &length);
    if (result != SCARD_S_SUCCESS) {
        return Code(result);
    }
    *recvLength = std::min<std::uint32_t>(static_cast<std::uint32_t>(length), capacity);
    if (recvPci != nullptr) {
        recvPci->protocol = ProtocolFlags(received.dwProtocol);
    }
    return 0;
}
