#include "pcsc/PcscStorageCard.h"

#include <winscard.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {
constexpr std::uint8_t kClassReader = 0xFF;
constexpr std::uint8_t kReadBinary = 0xB0;
constexpr std::uint8_t kUpdateBinary = 0xD6;
constexpr std::uint8_t kVerify = 0x20;
constexpr std::uint8_t kStorageRid[] = {0xA0, 0x00, 0x00, 0x03, 0x06};
// 62 82: end of the memory reached before Le bytes; the data up to the end comes with it.
constexpr std::uint32_t kEndOfMemoryReached = 0x6282;
// 6B 00: the address lies outside the memory.
constexpr std::uint32_t kAddressOutside = 0x6B00;

constexpr std::uint32_t Code(LONG rv) {
    return static_cast<std::uint32_t>(rv);
}

// False when address .. address + count runs past what P1/P2 can address.
bool Addressable(std::uint32_t address, std::uint32_t count) {
    return std::uint64_t{address} + count <= kStorageAddressLimit;
}
}  // namespace

bool IsStorageCardAtr(std::span<const std::uint8_t> atr) {
    if (atr.size() < 2) {
        return false;
    }
    // T0 gives the first interface-byte indicator and the count of historical bytes;
    // each TDi present gives the next indicator.
    const std::size_t historicalCount = atr[1] & 0x0F;
    std::uint8_t indicator = atr[1] >> 4;
    std::size_t pos = 2;
    for (;;) {
        pos += static_cast<std::size_t>(std::popcount(static_cast<unsigned>(indicator & 0x07)));
        if (!(indicator & 0x08)) {
            break;
        }
        if (pos >= atr.size()) {
            return false;
        }
        indicator = atr[pos] >> 4;
        ++pos;
    }
    if (pos >= atr.size()) {
        return false;
    }
    const auto historical = atr.subspan(pos, std::min(historicalCount, atr.size() - pos));
    return std::search(historical.begin(), historical.end(), std::begin(kStorageRid),
                       std::end(kStorageRid)) != historical.end();
}

namespace {

// The four header bytes, the data's length and the data, in one buffer sized up front.
std::vector<std::uint8_t> CommandWithData(const std::array<std::uint8_t, 4>& header,
                                          std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> command(header.size() + 1 + data.size());
    std::copy(header.begin(), header.end(), command.begin());
    command[header.size()] = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), command.begin() + header.size() + 1);
    return command;
}

}  // namespace

std::vector<std::uint8_t> ReadBinaryCommand(std::uint16_t address, std::uint8_t count) {
    return {kClassReader, kReadBinary, static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address & 0xFF), count};
}

std::vector<std::uint8_t> UpdateBinaryCommand(std::uint16_t address,
                                              std::span<const std::uint8_t> data) {
    return CommandWithData({kClassReader, kUpdateBinary, static_cast<std::uint8_t>(address >> 8),
                            static_cast<std::uint8_t>(address & 0xFF)},
                           data);
}

std::vector<std::uint8_t> VerifyCommand(std::span<const std::uint8_t> code,
                                        std::uint8_t reference) {
    return CommandWithData({kClassReader, kVerify, 0x00, reference}, code);
}

std::uint32_t StatusWordCode(std::span<const std::uint8_t> response) {
    if (response.size() < 2) {
        return Code(SCARD_F_COMM_ERROR);
    }
    const std::uint32_t sw =
        std::uint32_t{response[response.size() - 2]} << 8 | response[response.size() - 1];
    if (sw == 0x9000) {
        return 0;
    }
    // 00 00 is no status word a card gives, and as a code it would read as success.
    return sw != 0 ? sw : Code(SCARD_F_COMM_ERROR);
}

std::uint32_t PcscStorageCard::Send(std::span<const std::uint8_t> command) {
    response_.clear();
    const std::uint32_t code = exchange_(command, response_);
    return code != 0 ? code : StatusWordCode(response_);
}

std::uint32_t PcscStorageCard::Read(std::uint32_t address, std::uint8_t* buffer,
                                    std::uint32_t* length) {
    if (length == nullptr || (*length > 0 && buffer == nullptr)) {
        return Code(SCARD_E_INVALID_PARAMETER);
    }
    const std::uint32_t requested = *length;
    *length = 0;
    if (!Addressable(address, requested)) {
        return Code(SCARD_E_INVALID_VALUE);
    }
    std::uint32_t delivered = 0;
    while (delivered < requested) {
        const std::uint32_t piece = std::min(kStorageChunk, requested - delivered);
        std::uint32_t code = Send(ReadBinaryCommand(static_cast<std::uint16_t>(address + delivered),
                                                    static_cast<std::uint8_t>(piece)));
        const bool endReached = code == kEndOfMemoryReached;
        if (endReached) {
            code = 0;
        }
        // The pieces before ended exactly at the last byte: this piece starts past it.
        if (code == kAddressOutside && delivered > 0) {
            break;
        }
        if (code != 0) {
            *length = delivered;
            return code;
        }
        // Data before the status word; a card may answer less, never use more.
        const std::uint32_t got = std::min(piece, static_cast<std::uint32_t>(response_.size() - 2));
        std::memcpy(buffer + delivered, response_.data(), got);
        delivered += got;
        if (endReached || got < piece) {
            break;
        }
    }
    *length = delivered;
    return 0;
}

std::uint32_t PcscStorageCard::Write(std::uint32_t address, const std::uint8_t* data,
                                     std::uint32_t length) {
    if (length > 0 && data == nullptr) {
        return Code(SCARD_E_INVALID_PARAMETER);
    }
    if (!Addressable(address, length)) {
        return Code(SCARD_E_INVALID_VALUE);
    }
    if (length == 0) {
        return 0;
    }
    const auto writePiece = [&](std::uint32_t offset) {
        const std::uint32_t piece = std::min(kStorageChunk, length - offset);
        return Send(UpdateBinaryCommand(static_cast<std::uint16_t>(address + offset),
                                        std::span<const std::uint8_t>(data + offset, piece)));
    };
    // The last piece goes first: when the write runs past the end of the memory, the card
    // refuses that piece's address and no byte has changed.
    const std::uint32_t last = (length - 1) / kStorageChunk * kStorageChunk;
    if (const std::uint32_t code = writePiece(last)) {
        return code;
    }
    for (std::uint32_t offset = 0; offset < last; offset += kStorageChunk) {
        if (const std::uint32_t code = writePiece(offset)) {
            return code;
        }
    }
    return 0;
}

std::uint32_t PcscStorageCard::Verify(std::span<const std::uint8_t> code, std::uint8_t reference) {
    if (code.empty() || code.size() > kStorageChunk) {
        return Code(SCARD_E_INVALID_PARAMETER);
    }
    return Send(VerifyCommand(code, reference));
}

std::uint32_t PcscStorageCard::ReadArea(std::uint32_t start, std::uint32_t size,
                                        std::uint32_t address, std::uint8_t* buffer,
                                        std::uint32_t* length) {
    if (length == nullptr) {
        return Code(SCARD_E_INVALID_PARAMETER);
    }
    if (address >= size) {
        *length = 0;
        return Code(SCARD_E_INVALID_PARAMETER);
    }
    *length = std::min(*length, size - address);
    return Read(start + address, buffer, length);
}

std::uint32_t PcscStorageCard::WriteArea(std::uint32_t start, std::uint32_t size,
                                         std::uint32_t address, const std::uint8_t* data,
                                         std::uint32_t length) {
    if (address >= size || length > size - address) {
        return Code(SCARD_E_INVALID_PARAMETER);
    }
    return Write(start + address, data, length);
}
