#include "pcsc/PcscReaderControl.h"

#include <reader.h>
#include <winscard.h>

#include <algorithm>
#include <array>

namespace {

std::uint32_t Code(LONG rv) {
    return static_cast<std::uint32_t>(rv);
}

// In the order of ReaderAttribute.
constexpr std::array<DWORD, kReaderAttributeCount> kAttributeIds{
    SCARD_ATTR_VENDOR_NAME,
    SCARD_ATTR_VENDOR_IFD_TYPE,
    SCARD_ATTR_VENDOR_IFD_VERSION,
    SCARD_ATTR_VENDOR_IFD_SERIAL_NO,
    SCARD_ATTR_CHANNEL_ID,
    SCARD_ATTR_ASYNC_PROTOCOL_TYPES,
    SCARD_ATTR_DEFAULT_CLK,
    SCARD_ATTR_MAX_CLK,
    SCARD_ATTR_DEFAULT_DATA_RATE,
    SCARD_ATTR_MAX_DATA_RATE,
    SCARD_ATTR_MAX_IFSD,
    SCARD_ATTR_POWER_MGMT_SUPPORT,
    SCARD_ATTR_CURRENT_PROTOCOL_TYPE,
    SCARD_ATTR_ICC_PRESENCE,
    SCARD_ATTR_ICC_INTERFACE_STATUS,
    SCARD_ATTR_ATR_STRING,
    SCARD_ATTR_DEVICE_FRIENDLY_NAME,
};

// A card in the reader that cannot be connected shared is left alone: the reader is still
// reached directly.
bool CardUnusable(LONG rv) {
    return rv == SCARD_E_NO_SMARTCARD || rv == SCARD_W_REMOVED_CARD ||
           rv == SCARD_W_UNRESPONSIVE_CARD || rv == SCARD_W_UNPOWERED_CARD ||
           rv == SCARD_W_UNSUPPORTED_CARD || rv == SCARD_E_PROTO_MISMATCH;
}

}  // namespace

struct PcscReaderControl::Native {
    SCARDCONTEXT context = 0;
    SCARDHANDLE card = 0;
    bool connected = false;
};

PcscReaderControl::~PcscReaderControl() {
    Close();
}

std::uint32_t PcscReaderControl::Open(const std::string& reader, ReaderAccess& access) {
    Close();
    auto native = std::make_unique<Native>();
    LONG rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &native->context);
    if (rv != SCARD_S_SUCCESS) {
        return Code(rv);
    }
    native_ = std::move(native);
    SCARD_READERSTATE state{};
    state.szReader = reader.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    rv = SCardGetStatusChange(native_->context, 0, &state, 1);
    if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT) {
        Close();
        return Code(rv);
    }
    DWORD protocol = 0;
    rv = SCARD_E_NO_SMARTCARD;
    if ((state.dwEventState & SCARD_STATE_PRESENT) && !(state.dwEventState & SCARD_STATE_MUTE)) {
        rv = SCardConnect(native_->context, reader.c_str(), SCARD_SHARE_SHARED,
                          SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &native_->card, &protocol);
        access = ReaderAccess::Shared;
    }
    if (CardUnusable(rv)) {
        rv = SCardConnect(native_->context, reader.c_str(), SCARD_SHARE_DIRECT, 0, &native_->card,
                          &protocol);
        access = ReaderAccess::Direct;
    }
    if (rv != SCARD_S_SUCCESS) {
        Close();
        return Code(rv);
    }
    native_->connected = true;
    reader_ = reader;
    return 0;
}

std::uint32_t PcscReaderControl::GetAttribute(ReaderAttribute attribute,
                                              std::vector<std::uint8_t>& value) {
    value.clear();
    const auto index = static_cast<std::size_t>(attribute);
    if (!native_ || !native_->connected || index >= kAttributeIds.size()) {
        return Code(SCARD_E_INVALID_HANDLE);
    }
    // pcsc-lite refuses a buffer larger than MAX_BUFFER_SIZE as too small, and answers a
    // length query with that size whatever the value's length: ask with exactly that.
    value.resize(MAX_BUFFER_SIZE);
    DWORD length = MAX_BUFFER_SIZE;
    const LONG rv = SCardGetAttrib(native_->card, kAttributeIds[index], value.data(), &length);
    value.resize(rv == SCARD_S_SUCCESS ? std::min<DWORD>(length, MAX_BUFFER_SIZE) : 0);
    return Code(rv);
}

std::uint32_t PcscReaderControl::Control(std::uint32_t code, const std::vector<std::uint8_t>& data,
                                         std::vector<std::uint8_t>& reply) {
    reply.assign(MAX_BUFFER_SIZE_EXTENDED, 0);
    if (!native_ || !native_->connected) {
        reply.clear();
        return Code(SCARD_E_INVALID_HANDLE);
    }
    DWORD returned = 0;
    const LONG rv = SCardControl(native_->card, code, data.data(), static_cast<DWORD>(data.size()),
                                 reply.data(), static_cast<DWORD>(reply.size()), &returned);
    reply.resize(rv == SCARD_S_SUCCESS ? std::min<DWORD>(returned, reply.size()) : 0);
    return Code(rv);
}

std::uint32_t PcscReaderControl::Status(ReaderStatusFacts& status) {
    status = ReaderStatusFacts{};
    if (!native_ || !native_->connected) {
        return Code(SCARD_E_INVALID_HANDLE);
    }
    SCARD_READERSTATE state{};
    state.szReader = reader_.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    LONG rv = SCardGetStatusChange(native_->context, 0, &state, 1);
    if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT) {
        return Code(rv);
    }
    const DWORD flags = state.dwEventState;
    status.present = flags & SCARD_STATE_PRESENT;
    status.empty = flags & SCARD_STATE_EMPTY;
    status.exclusive = flags & SCARD_STATE_EXCLUSIVE;
    status.inUse = flags & SCARD_STATE_INUSE;
    status.mute = flags & SCARD_STATE_MUTE;
    status.unpowered = flags & SCARD_STATE_UNPOWERED;
    status.eventCounter = static_cast<std::uint32_t>((flags >> 16) & 0xFFFF);
    status.atr.assign(state.rgbAtr, state.rgbAtr + std::min<DWORD>(state.cbAtr, MAX_ATR_SIZE));

    DWORD cardState = 0;
    DWORD protocol = 0;
    BYTE atr[MAX_ATR_SIZE];
    DWORD atrLength = sizeof atr;
    DWORD nameLength = 0;
    rv = SCardStatus(native_->card, nullptr, &nameLength, &cardState, &protocol, atr, &atrLength);
    status.protocol = rv == SCARD_S_SUCCESS ? static_cast<std::uint32_t>(protocol) : 0;
    return 0;
}

std::uint32_t PcscReaderControl::Close() {
    if (!native_) {
        return Code(SCARD_E_INVALID_HANDLE);
    }
    LONG rv = SCARD_S_SUCCESS;
    if (native_->connected) {
        rv = SCardDisconnect(native_->card, SCARD_LEAVE_CARD);
    }
    const LONG released = SCardReleaseContext(native_->context);
    native_.reset();
    return Code(rv != SCARD_S_SUCCESS ? rv : released);
}

std::uint32_t PcscReaderControl::ControlCode(std::uint32_t function) const {
    return static_cast<std::uint32_t>(SCARD_CTL_CODE(function));
}

std::uint32_t PcscReaderControl::FeatureRequestCode() const {
    return static_cast<std::uint32_t>(CM_IOCTL_GET_FEATURE_REQUEST);
}

std::unique_ptr<ReaderControl> PcscReaderControlFactory::Create() {
    return std::make_unique<PcscReaderControl>();
}
