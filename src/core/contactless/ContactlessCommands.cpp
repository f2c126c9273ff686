#include "core/contactless/ContactlessCommands.h"

namespace {
constexpr std::uint8_t kClass = 0xFF;

void AppendBigEndian(Bytes& bytes, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}
}  // namespace

Bytes GetDataCommand(GetDataItem item) {
    return {kClass, 0xCA, static_cast<std::uint8_t>(item), 0x00, 0x00};
}

Bytes LoadKeysCommand(KeyStore store, std::uint8_t slot, const MifareKey& key) {
    Bytes command{kClass, 0x82, static_cast<std::uint8_t>(store), slot, 0x06};
    command.insert(command.end(), key.begin(), key.end());
    return command;
}

Bytes GeneralAuthenticateCommand(std::uint8_t block, KeyType type, std::uint8_t slot) {
    return {kClass, 0x86, 0x00, 0x00, 0x05, 0x01, 0x00, block, static_cast<std::uint8_t>(type),
            slot};
}

Bytes LegacyAuthenticateCommand(std::uint8_t block, KeyType type, std::uint8_t slot) {
    return {kClass, 0x88, 0x00, block, static_cast<std::uint8_t>(type), slot};
}

Bytes ReadBinaryCommand(std::uint8_t block, std::uint8_t length) {
    return {kClass, 0xB0, 0x00, block, length};
}

Bytes UpdateBinaryCommand(std::uint8_t block, const Bytes& data) {
    Bytes command{kClass, 0xD6, 0x00, block, static_cast<std::uint8_t>(data.size())};
    command.insert(command.end(), data.begin(), data.end());
    return command;
}

Bytes ValueCommand(std::uint8_t block, ValueOp op, std::int32_t value) {
    Bytes command{kClass, 0xD7, 0x00, block, 0x05, static_cast<std::uint8_t>(op)};
    AppendBigEndian(command, value);
    return command;
}

Bytes ReadValueCommand(std::uint8_t block) {
    return {kClass, 0xB1, 0x00, block, 0x04};
}

Bytes ValueObjectCommand(std::uint8_t block, ValueOp op, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    const std::uint8_t tag = op == ValueOp::Decrement ? 0xA1 : 0xA0;
    return {kClass,
            0xC2,
            0x00,
            0x03,
            0x0B,
            tag,
            0x09,
            0x80,
            0x01,
            block,
            0x81,
            0x04,
            static_cast<std::uint8_t>(v),
            static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24),
            0x00};
}

std::uint16_t ReplyStatus(const Bytes& reply) {
    if (reply.size() < 2) {
        return 0;
    }
    return static_cast<std::uint16_t>(reply[reply.size() - 2] << 8 | reply.back());
}

Bytes ReplyData(const Bytes& reply) {
    return reply.size() < 2 ? Bytes{} : Bytes(reply.begin(), reply.end() - 2);
}
