#include "FuzzSupport.h"

#include <algorithm>

#include "core/common/Conversions.h"

std::uint8_t FuzzInput::U8() {
    return offset_ < size_ ? data_[offset_++] : 0;
}

std::uint16_t FuzzInput::U16() {
    const std::uint16_t low = U8();
    return static_cast<std::uint16_t>(low | (U8() << 8));
}

std::uint32_t FuzzInput::U32() {
    const std::uint32_t low = U16();
    return low | (std::uint32_t{U16()} << 16);
}

std::span<const std::uint8_t> FuzzInput::Bytes(std::size_t count) {
    count = std::min(count, size_ - offset_);
    const std::span<const std::uint8_t> bytes(data_ + offset_, count);
    offset_ += count;
    return bytes;
}

std::string FuzzInput::Line() {
    std::string line;
    while (offset_ < size_) {
        const char c = static_cast<char>(data_[offset_++]);
        if (c == '\n') {
            break;
        }
        line.push_back(c);
    }
    return line;
}

std::uint8_t FillByte(const std::vector<std::uint8_t>& fill, std::size_t index) {
    return fill.empty() ? static_cast<std::uint8_t>(index) : fill[index % fill.size()];
}

bool DecodeHexText(const std::string& text, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (text.size() % 3 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); i += 3) {
        std::uint8_t byte = 0;
        if (!HexPairToByte(text.data() + i, byte) || text[i + 2] != ' ') {
            return false;
        }
        bytes.push_back(byte);
    }
    return true;
}

std::uint32_t FuzzCardLibrary::Answer(std::uint32_t card) {
    ++calls;
    lastCard = card;
    return code;
}

void FuzzCardLibrary::Fill(std::uint8_t* buffer, std::size_t count) const {
    for (std::size_t i = 0; i < count; ++i) {
        buffer[i] = FillByte(fill, i);
    }
}

std::uint32_t FuzzCardLibrary::Read(std::uint32_t card, std::uint8_t* buffer,
                                    std::uint32_t* length) {
    Fill(buffer, *length);
    *length = deliveredLength;
    return Answer(card);
}

std::uint32_t FuzzCardLibrary::Fixed(std::uint32_t card, std::uint8_t* buffer, std::size_t count) {
    Fill(buffer, count);
    return Answer(card);
}

std::uint32_t FuzzCardLibrary::Write(std::uint32_t card, const std::uint8_t* data,
                                     std::uint32_t length) {
    received.assign(data, data + length);
    return Answer(card);
}

std::uint32_t FuzzCardLibrary::Codes(std::uint32_t card,
                                     std::initializer_list<std::uint8_t> bytes) {
    received.assign(bytes);
    return Answer(card);
}

std::uint32_t FuzzCardLibrary::CardEstablishContext(std::uint32_t, const void*, const void*,
                                                    std::uint32_t* context) {
    *context = 1;
    return Answer(0);
}

std::uint32_t FuzzCardLibrary::CardListReaders(std::uint32_t, const char*, char* readers,
                                               std::uint32_t* length) {
    if (readers == nullptr) {
        *length = deliveredLength;
    } else {
        std::copy_n(fill.begin(), std::min<std::size_t>(*length, fill.size()), readers);
    }
    return Answer(0);
}

std::uint32_t FuzzCardLibrary::CardTransmit(std::uint32_t card, const IoRequest*,
                                            const std::uint8_t* send, std::uint32_t sendLength,
                                            IoRequest*, std::uint8_t* recv,
                                            std::uint32_t* recvLength) {
    received.assign(send, send + sendLength);
    return Read(card, recv, recvLength);
}

std::uint32_t FuzzCardLibrary::CardSLE4428ReadWithProtectBit(std::uint32_t card, std::uint8_t* data,
                                                             std::uint8_t* protectBits,
                                                             std::uint32_t, std::uint32_t* length) {
    Fill(protectBits, *length);
    return Read(card, data, length);
}
