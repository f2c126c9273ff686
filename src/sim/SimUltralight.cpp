#include "sim/SimUltralight.h"

#include <algorithm>
#include <string_view>

namespace {
constexpr int kUltralightPages = 16;
constexpr int kNtag213Pages = 45;
constexpr int kLockPage = 2;
constexpr int kOtpPage = 3;
constexpr int kFirstUserPage = 4;
constexpr int kStaticLockEnd = 16;  // pages 3-15 are covered by the static lock bits
constexpr int kDynamicLockPage = 40;
constexpr int kPasswordPage = 43;
constexpr std::uint8_t kCascadeTag = 0x88;

// One short NDEF record of well-known type: header, type length, payload length, type.
void AppendRecord(Bytes& message, std::uint8_t header, char type, const Bytes& payload) {
    message.insert(message.end(), {header, 0x01, static_cast<std::uint8_t>(payload.size()),
                                   static_cast<std::uint8_t>(type)});
    message.insert(message.end(), payload.begin(), payload.end());
}

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A URI record (prefix 04, "https://") and a Text record in English, in an NDEF message
// TLV followed by the terminator TLV.
Bytes NdefTlv(std::string_view text) {
    Bytes uri = {0x04};
    const Bytes host = Text("example.org/zp");
    uri.insert(uri.end(), host.begin(), host.end());
    Bytes words = {0x02, 'e', 'n'};
    const Bytes body = Text(text);
    words.insert(words.end(), body.begin(), body.end());
    Bytes message;
    AppendRecord(message, 0x91, 'U', uri);    // MB, SR, well-known
    AppendRecord(message, 0x51, 'T', words);  // ME, SR, well-known
    Bytes tlv = {0x03, static_cast<std::uint8_t>(message.size())};
    tlv.insert(tlv.end(), message.begin(), message.end());
    tlv.push_back(0xFE);
    return tlv;
}
}  // namespace

SimUltralight::SimUltralight(SimCardKind kind, Bytes uid) : kind_(kind), uid_(std::move(uid)) {
    uid_.resize(7);
    memory_.assign((IsNtag() ? kNtag213Pages : kUltralightPages) * 4, 0x00);
    std::copy_n(uid_.begin(), 3, memory_.begin());
    memory_[3] = static_cast<std::uint8_t>(kCascadeTag ^ uid_[0] ^ uid_[1] ^ uid_[2]);
    std::copy_n(uid_.begin() + 3, 4, memory_.begin() + 4);
    memory_[8] = static_cast<std::uint8_t>(uid_[3] ^ uid_[4] ^ uid_[5] ^ uid_[6]);
    memory_[9] = 0x48;
    // Capability container: NDEF 1.0, data area size in 8-byte units, read and write free.
    const std::uint8_t dataSize = IsNtag() ? 0x12 : 0x06;
    const std::uint8_t container[] = {0xE1, 0x10, dataSize, 0x00};
    std::ranges::copy(container, memory_.begin() + kOtpPage * 4);
    const Bytes tlv = NdefTlv(IsNtag() ? "ZP simulated NTAG213" : "ZP tag");
    std::ranges::copy(tlv, memory_.begin() + kFirstUserPage * 4);
    if (IsNtag()) {
        const std::uint8_t config[] = {0x00, 0x00, 0x00, 0xBD, 0x04, 0x00, 0x00, 0xFF,
                                       0x00, 0x05, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
        std::ranges::copy(config, memory_.begin() + kDynamicLockPage * 4);
    }
}

SimUltralight::Answer SimUltralight::Read(int page, std::array<std::uint8_t, 16>& out) const {
    if (page < 0 || page >= PageCount()) {
        return Answer::Refused;
    }
    for (int i = 0; i < 16; ++i) {
        const int at = (page + i / 4) % PageCount();
        // The password and its acknowledge never read back.
        const bool secret = IsNtag() && at >= kPasswordPage;
        out[i] = secret ? 0x00 : memory_[at * 4 + i % 4];
    }
    return Answer::Ok;
}

// Pages 3 and on.
bool SimUltralight::Locked(int page) const {
    const std::uint8_t lock0 = memory_[kLockPage * 4 + 2];
    const std::uint8_t lock1 = memory_[kLockPage * 4 + 3];
    if (page == kOtpPage) {
        return (lock0 & 0x08) != 0;
    }
    if (page < 8) {
        return (lock0 >> page & 1) != 0;  // L4..L7 in bits 4..7
    }
    if (page < kStaticLockEnd) {
        return (lock1 >> (page - 8) & 1) != 0;
    }
    if (page < kDynamicLockPage) {
        // Dynamic lock bits: one per two pages, 16-31 in the first byte, 32-39 in the second.
        const int bit = (page - kStaticLockEnd) / 2;
        return (memory_[kDynamicLockPage * 4 + bit / 8] >> (bit % 8) & 1) != 0;
    }
    return false;
}

SimUltralight::Answer SimUltralight::Write(int page, const Page& data) {
    if (page < kLockPage || page >= PageCount() || (page > kLockPage && Locked(page))) {
        return Answer::Refused;
    }
    std::uint8_t* stored = memory_.data() + page * 4;
    if (page == kLockPage) {
        // Block-lock bits freeze the lock bits they cover: BL-OTP the OTP lock, BL 9-4 the
        // locks of pages 4-9, BL 15-10 those of pages 10-15.
        const std::uint8_t blocks = stored[2];
        std::uint8_t frozen0 = 0;
        std::uint8_t frozen1 = 0;
        if (blocks & 0x01) {
            frozen0 |= 0x08;
        }
        if (blocks & 0x02) {
            frozen0 |= 0xF0;
            frozen1 |= 0x03;
        }
        if (blocks & 0x04) {
            frozen1 |= 0xFC;
        }
        stored[2] |= data[2] & ~frozen0;
        stored[3] |= data[3] & ~frozen1;
        return Answer::Ok;
    }
    if (page == kOtpPage || (IsNtag() && page == kDynamicLockPage)) {
        const int bytes = page == kOtpPage ? 4 : 3;  // the fourth dynamic lock byte is reserved
        for (int i = 0; i < bytes; ++i) {
            stored[i] |= data[i];
        }
        return Answer::Ok;
    }
    std::ranges::copy(data, stored);
    return Answer::Ok;
}
