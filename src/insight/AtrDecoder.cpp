#include "insight/AtrDecoder.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "insight/HistoricalBytes.h"

namespace {

// Clock rate conversion Fi with the highest clock frequency it allows, and the baud rate
// adjustment Di, by the nibbles of TA1; 0 marks the values reserved for future use.
constexpr int kFi[16] = {372, 372, 558, 744,  1116, 1488, 1860, 0,
                         0,   512, 768, 1024, 1536, 2048, 0,    0};
constexpr int kFmaxKHz[16] = {4000, 5000, 6000, 8000,  12000, 16000, 20000, 0,
                              0,    5000, 7500, 10000, 15000, 20000, 0,     0};
constexpr int kDi[16] = {0, 1, 2, 4, 8, 16, 32, 64, 12, 20, 0, 0, 0, 0, 0, 0};

constexpr const char* kByteLetters[4] = {"TA", "TB", "TC", "TD"};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char text[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

std::string ByteName(int letter, int index) {
    return kByteLetters[letter] + std::to_string(index);
}

// The interface bytes a Y nibble announces for group `index`, e.g. "TA1 TD1 follow"; empty
// when it announces none.
std::string Announced(std::uint8_t y, int index) {
    std::string names;
    int count = 0;
    for (int letter = 0; letter < 4; ++letter) {
        if ((y & (1 << letter)) != 0) {
            names += (count++ == 0 ? "" : " ") + ByteName(letter, index);
        }
    }
    return count == 0 ? names : names + (count == 1 ? " follows" : " follow");
}

std::string FrequencyText(int kHz) {
    return kHz % 1000 == 0 ? Format("%d MHz", kHz / 1000)
                           : Format("%d.%d MHz", kHz / 1000, kHz % 1000 / 100);
}

std::string ClockAndBaudRate(int fiIndex, int diIndex) {
    const int fi = kFi[fiIndex];
    const int di = kDi[diIndex];
    std::string text = fi != 0 ? Format("Fi = %d", fi) : std::string("Fi RFU");
    text += di != 0 ? Format(", Di = %d", di) : std::string(", Di RFU");
    if (fi != 0) {
        text += ", f max " + FrequencyText(kFmaxKHz[fiIndex]);
    }
    if (fi != 0 && di != 0) {
        const long long hz = kFmaxKHz[fiIndex] * 1000LL;
        text += Format(", %lld bit/s at f max", (hz * di + fi / 2) / fi);
    }
    return text;
}

std::string ProtocolName(int t) {
    return t == 15 ? "T=15 (global bytes)" : Format("T=%d", t);
}

std::string GlobalByteMeaning(int letter, std::uint8_t value) {
    switch (letter) {
        case 0:
            return ClockAndBaudRate(value >> 4, value & 0x0F);
        case 1:
            return value == 0 ? "no programming voltage (deprecated byte)"
                              : Format("programming voltage PI1 = %d, II = %d (deprecated byte)",
                                       value & 0x1F, value >> 5 & 0x03);
        default:
            return value == 0xFF ? "minimum guard time (12 etu for T=0, 11 etu for T=1)"
                                 : Format("extra guard time N = %d etu", value);
    }
}

std::string SecondGroupMeaning(int letter, std::uint8_t value) {
    switch (letter) {
        case 0:
            return Format("specific mode T=%d, %s, %s", value & 0x0F,
                          (value & 0x80) != 0 ? "cannot change to negotiable mode"
                                              : "can change to negotiable mode",
                          (value & 0x10) != 0 ? "implicit parameters"
                                              : "parameters from the interface bytes");
        case 1:
            return Format("programming voltage PI2 = %d (deprecated byte)", value);
        default:
            return Format("work waiting integer WI = %d (T=0)", value);
    }
}

std::string T1Meaning(int letter, std::uint8_t value) {
    switch (letter) {
        case 0:
            return value == 0x00 || value == 0xFF ? std::string("IFSC RFU")
                                                  : Format("IFSC = %d bytes", value);
        case 1:
            return Format("BWI = %d, CWI = %d", value >> 4, value & 0x0F);
        default:
            return (value & 0x01) != 0 ? "error detection by CRC" : "error detection by LRC";
    }
}

std::string T15Meaning(int letter, std::uint8_t value) {
    static constexpr const char* kClockStop[4] = {"clock stop not supported",
                                                  "clock stop in state L", "clock stop in state H",
                                                  "clock stop with no preference"};
    switch (letter) {
        case 0: {
            std::string text = kClockStop[value >> 6];
            text += (value & 0x01) != 0 ? ", class A (5 V)" : "";
            text += (value & 0x02) != 0 ? ", class B (3 V)" : "";
            text += (value & 0x04) != 0 ? ", class C (1.8 V)" : "";
            return text;
        }
        case 1:
            if (value == 0) {
                return "SPU not used";
            }
            return (value & 0x80) != 0 ? "SPU for proprietary use" : "SPU for standard use";
        default:
            return "RFU for T=15";
    }
}

std::string InterfaceByteMeaning(const AtrInterfaceGroup& group, int letter, std::uint8_t value) {
    if (group.index == 1) {
        return GlobalByteMeaning(letter, value);
    }
    if (group.index == 2) {
        return SecondGroupMeaning(letter, value);
    }
    switch (group.protocol) {
        case 1:
            return T1Meaning(letter, value);
        case 15:
            return T15Meaning(letter, value);
        default:
            return Format("for T=%d", group.protocol);
    }
}

std::string TdMeaning(std::uint8_t td, int nextIndex) {
    const std::string next = Announced(td >> 4, nextIndex);
    return "T=" + std::to_string(td & 0x0F) +
           (next.empty() ? ", no further interface bytes" : ", " + next);
}

std::string HexText(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += Format(i == 0 ? "%02X" : " %02X", bytes[i]);
    }
    return text;
}

std::string PrintableText(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    return text;
}

class AtrReader {
  public:
    AtrReader(const std::uint8_t* atr, std::uint32_t atrLength, AtrFacts& facts) : facts_(facts) {
        const std::size_t count =
            atr == nullptr ? 0 : std::min<std::size_t>(atrLength, kAtrRecordSize);
        facts_.bytes.assign(atr, atr + count);
    }

    // The next byte, or nothing when the ATR ends before it: it is then the missing one.
    std::optional<std::uint8_t> Next(AtrPart part, const std::string& name) {
        if (facts_.length == facts_.bytes.size()) {
            facts_.truncatedIn = part;
            facts_.missing = name;
            return std::nullopt;
        }
        return facts_.bytes[facts_.length++];
    }

  private:
    AtrFacts& facts_;
};

// The interface bytes after T0; false when the ATR ends among them.
bool ReadInterfaceBytes(AtrReader& reader, std::uint8_t y, AtrFacts& facts, bool& checkNeeded) {
    int protocol = -1;
    for (int index = 1;; ++index) {
        AtrInterfaceGroup& group = facts.groups.emplace_back();
        group.index = index;
        group.protocol = protocol;
        std::optional<std::uint8_t>* slots[4] = {&group.ta, &group.tb, &group.tc, &group.td};
        for (int letter = 0; letter < 4; ++letter) {
            if ((y & (1 << letter)) != 0) {
                *slots[letter] = reader.Next(AtrPart::InterfaceBytes, ByteName(letter, index));
                if (!slots[letter]->has_value()) {
                    return false;
                }
            }
        }
        if (!group.td) {
            return true;
        }
        protocol = *group.td & 0x0F;
        if (std::find(facts.protocols.begin(), facts.protocols.end(), protocol) ==
            facts.protocols.end()) {
            facts.protocols.push_back(protocol);
        }
        checkNeeded = checkNeeded || protocol != 0;
        y = *group.td >> 4;
    }
}

void ReadRest(AtrReader& reader, std::uint8_t t0, AtrFacts& facts) {
    bool checkNeeded = false;
    if (!ReadInterfaceBytes(reader, t0 >> 4, facts, checkNeeded)) {
        facts.check = checkNeeded ? AtrCheck::Missing : AtrCheck::NotRequired;
        return;
    }
    if (facts.protocols.empty()) {
        facts.protocols.push_back(0);
    }
    for (std::size_t i = 0; i < facts.historicalCount; ++i) {
        const auto byte =
            reader.Next(AtrPart::HistoricalBytes,
                        Format("historical byte %zu of %zu", i + 1, facts.historicalCount));
        if (!byte) {
            facts.check = checkNeeded ? AtrCheck::Missing : AtrCheck::NotRequired;
            return;
        }
        facts.historical.push_back(*byte);
    }
    if (checkNeeded) {
        if (!reader.Next(AtrPart::Tck, "TCK")) {
            facts.check = AtrCheck::Missing;
            return;
        }
        std::uint8_t sum = 0;
        for (std::size_t i = 1; i < facts.length; ++i) {
            sum ^= facts.bytes[i];
        }
        facts.check = sum == 0 ? AtrCheck::Correct : AtrCheck::Wrong;
    }
    facts.extraBytes = facts.bytes.size() - facts.length;
}

void DescribeInterfaceBytes(const AtrFacts& facts, std::vector<std::string>& lines) {
    if ((facts.bytes[1] & 0x10) == 0) {
        lines.push_back("TA1 absent: " + ClockAndBaudRate(1, 1) + " (defaults)");
    }
    for (const AtrInterfaceGroup& group : facts.groups) {
        const std::optional<std::uint8_t> bytes[4] = {group.ta, group.tb, group.tc, group.td};
        for (int letter = 0; letter < 3; ++letter) {
            if (bytes[letter]) {
                lines.push_back(
                    Format("%s = %02X: ", ByteName(letter, group.index).c_str(), *bytes[letter]) +
                    InterfaceByteMeaning(group, letter, *bytes[letter]));
            }
        }
        if (group.td) {
            lines.push_back(Format("TD%d = %02X: ", group.index, *group.td) +
                            TdMeaning(*group.td, group.index + 1));
        }
    }
}

std::string CheckText(const AtrFacts& facts) {
    const std::uint8_t tck = facts.bytes[facts.length - 1];
    if (facts.check == AtrCheck::Correct) {
        return Format("TCK = %02X: correct", tck);
    }
    std::uint8_t expected = 0;
    for (std::size_t i = 1; i + 1 < facts.length; ++i) {
        expected ^= facts.bytes[i];
    }
    return Format("TCK = %02X: wrong, %02X expected", tck, expected);
}

}  // namespace

AtrFacts DecodeAtr(const std::uint8_t* atr, std::uint32_t atrLength) {
    AtrFacts facts;
    AtrReader reader(atr, atrLength, facts);
    if (!reader.Next(AtrPart::Ts, "TS")) {
        return facts;
    }
    const auto t0 = reader.Next(AtrPart::T0, "T0");
    if (!t0) {
        return facts;
    }
    facts.historicalCount = *t0 & 0x0F;
    ReadRest(reader, *t0, facts);
    return facts;
}

std::string AtrHexText(const std::uint8_t* atr, std::uint32_t atrLength) {
    return atr == nullptr ? std::string()
                          : HexText(atr, std::min<std::size_t>(atrLength, kAtrRecordSize));
}

std::string DescribeAtr(const AtrFacts& facts) {
    std::vector<std::string> lines;
    const auto stop = [&](AtrPart part) {
        if (facts.truncatedIn == part) {
            lines.push_back("truncated before " + facts.missing);
            return true;
        }
        return false;
    };
    const auto done = [&] {
        if (facts.length > kAtrMaxLength) {
            lines.push_back(
                Format("%zu bytes: longer than the 33 bytes ISO/IEC 7816-3 allows", facts.length));
        }
        std::string text;
        for (const std::string& line : lines) {
            text += (text.empty() ? "" : "\n") + line;
        }
        return text;
    };

    if (stop(AtrPart::Ts)) {
        return done();
    }
    const std::uint8_t ts = facts.bytes[0];
    lines.push_back(Format("TS = %02X: ", ts) + (ts == 0x3B   ? "direct convention"
                                                 : ts == 0x3F ? "inverse convention"
                                                              : "not a valid initial character"));
    if (stop(AtrPart::T0)) {
        return done();
    }
    const std::uint8_t t0 = facts.bytes[1];
    const std::string announced = Announced(t0 >> 4, 1);
    lines.push_back(Format("T0 = %02X: %s, %zu historical bytes", t0,
                           announced.empty() ? "no interface bytes" : announced.c_str(),
                           facts.historicalCount));
    DescribeInterfaceBytes(facts, lines);
    if (stop(AtrPart::InterfaceBytes)) {
        return done();
    }
    std::string protocols;
    for (const int t : facts.protocols) {
        protocols += (protocols.empty() ? "" : ", ") + ProtocolName(t);
    }
    lines.push_back("Protocols: " + protocols);
    if (!facts.historical.empty()) {
        lines.push_back(
            "Historical bytes: " + HexText(facts.historical.data(), facts.historical.size()) +
            " \"" + PrintableText(facts.historical) + "\"");
        if (facts.truncatedIn != AtrPart::HistoricalBytes) {
            for (const std::string& line : DescribeHistoricalBytes(facts.historical)) {
                lines.push_back("  " + line);
            }
        }
    }
    if (stop(AtrPart::HistoricalBytes)) {
        return done();
    }
    if (facts.check == AtrCheck::NotRequired) {
        lines.push_back("No TCK: only T=0 is offered");
    }
    if (stop(AtrPart::Tck)) {
        return done();
    }
    if (facts.check != AtrCheck::NotRequired) {
        lines.push_back(CheckText(facts));
    }
    if (facts.extraBytes > 0) {
        lines.push_back(Format("%zu bytes after the end of the ATR: ", facts.extraBytes) +
                        HexText(facts.bytes.data() + facts.length, facts.extraBytes));
    }
    return done();
}
