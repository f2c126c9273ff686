#include <gtest/gtest.h>

#include "insight/HistoricalBytes.h"
#include "insight/StatusWords.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

TEST(HistoricalBytes, CompactTlvNamedByPart) {
    struct Case {
        const char* hex;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"80 73 FF 01 00",
         {"Category indicator 80: COMPACT-TLV objects",
          "Card capabilities: selection by full DF name, by partial DF name, by path, by file "
          "identifier, implicit, short EF identifiers, record numbers, record identifiers; data "
          "coding 01; no command chaining, no extended Lc and Le, no logical channels"}},
        {"00 31 C0 73 F0 01 40 00 90 00",
         {"Category indicator 00: COMPACT-TLV objects, then a status indicator",
          "Card service data: selection by full DF name, selection by partial DF name, EF.DIR "
          "and EF.ATR read by READ RECORD, with MF",
          "Card capabilities: selection by full DF name, by partial DF name, by path, by file "
          "identifier; data coding 01; no command chaining, extended Lc and Le, no logical "
          "channels",
          "Status indicator: life cycle no information given, " + StatusWordText(0x90, 0x00)}},
        {"80 31 29 73 00 00 DB 81 05",
         {"Category indicator 80: COMPACT-TLV objects",
          "Card service data: BER-TLV objects in EF.DIR, EF.DIR and EF.ATR read by READ "
          "BINARY, no MF",
          "Card capabilities: data coding 00; command chaining, extended Lc and Le, logical "
          "channels assigned by the card and the interface device, at most 4",
          "Status indicator: life cycle operational state, activated"}},
        {"80 73 00 00 17",
         {"Category indicator 80: COMPACT-TLV objects",
          "Card capabilities: data coding 00; no command chaining, no extended Lc and Le, "
          "logical channels assigned by the card, 8 or more"}},
        {"80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00",
         {"Category indicator 80: COMPACT-TLV objects",
          "Application identifier: A0 00 00 03 06 03 00 01 00 00 00 00"}},
        {"80 75 01 02",
         {"Category indicator 80: COMPACT-TLV objects",
          "COMPACT-TLV object 75 announces 5 bytes, 2 follow"}},
        {"00 90",
         {"Category indicator 00: COMPACT-TLV objects, then a status indicator",
          "the status indicator's 3 bytes are missing"}},
        // Empty objects that end the bytes.
        {"80 10",
         {"Category indicator 80: COMPACT-TLV objects", "Country code and national data: "}},
        {"80 4F 00", {"Category indicator 80: COMPACT-TLV objects", "Application identifier: "}},
        {"10 02", {"Category indicator 10: DIR data reference 02"}},
        {"4A 43 4F 50", {"Category indicator 4A: proprietary"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DescribeHistoricalBytes(Bytes(c.hex)), c.lines) << c.hex;
    }
}

}  // namespace
