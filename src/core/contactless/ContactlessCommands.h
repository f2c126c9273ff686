#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The reader's own commands for contactless cards, class FF, as PC/SC readers take them.

using Bytes = std::vector<std::uint8_t>;
using MifareKey = std::array<std::uint8_t, 6>;

enum class KeyType : std::uint8_t { A = 0x60, B = 0x61 };

// P1 of GET DATA: what the reader reports of the card.
enum class GetDataItem : std::uint8_t {
    Uid = 0x00,            // 4, 7 or 10 bytes (type A), the PUPI (type B)
    AtsHistorical = 0x01,  // the ATS's historical bytes; some readers give the whole ATS
    Sak = 0x02,            // on some readers
    Atqa = 0x03,           // on some readers
};

// P1 of LOAD KEYS: where the reader keeps the key.
enum class KeyStore : std::uint8_t { Volatile = 0x00, NonVolatile = 0x20 };

// Operations of the common reader form of the value-block command.
enum class ValueOp : std::uint8_t { Store = 0x00, Increment = 0x01, Decrement = 0x02 };

// FF CA P1 00 00
Bytes GetDataCommand(GetDataItem item);
// FF 82 P1 P2 06 key
Bytes LoadKeysCommand(KeyStore store, std::uint8_t slot, const MifareKey& key);
// FF 86 00 00 05 01 00 BB KT KN
Bytes GeneralAuthenticateCommand(std::uint8_t block, KeyType type, std::uint8_t slot);
// FF 88 00 BB KT KN, the older form
Bytes LegacyAuthenticateCommand(std::uint8_t block, KeyType type, std::uint8_t slot);
// FF B0 00 BB Le
Bytes ReadBinaryCommand(std::uint8_t block, std::uint8_t length);
// FF D6 00 BB Lc data
Bytes UpdateBinaryCommand(std::uint8_t block, const Bytes& data);
// FF D7 00 BB 05 op value (most significant byte first)
Bytes ValueCommand(std::uint8_t block, ValueOp op, std::int32_t value);
// FF B1 00 BB 04: reads a value block's value (most significant byte first)
Bytes ReadValueCommand(std::uint8_t block);
// FF C2 00 03 Lc A0|A1 09 80 01 BB 81 04 value (least significant byte first) 00: the
// increment (A0) or decrement (A1) data object; Store is not part of this form.
Bytes ValueObjectCommand(std::uint8_t block, ValueOp op, std::int32_t value);

// The reply's status word, 0 when it has fewer than two bytes.
std::uint16_t ReplyStatus(const Bytes& reply);
// The reply without its status word.
Bytes ReplyData(const Bytes& reply);
inline constexpr std::uint16_t kStatusOk = 0x9000;
