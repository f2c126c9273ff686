// The ATR decoder over arbitrary bytes in a record of exactly the claimed length (at most 36
// bytes), so that a read past the length or the record is caught by the address checker; the
// decoded facts are checked against each other and against the bytes.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "insight/AtrDecoder.h"
#include "insight/InsightText.h"
#include "insight/StatusWords.h"

namespace {

void CheckFacts(const AtrFacts& facts, const std::vector<std::uint8_t>& record,
                std::uint32_t claimed) {
    FUZZ_CHECK(facts.bytes.size() == std::min<std::size_t>(claimed, kAtrRecordSize));
    FUZZ_CHECK(std::equal(facts.bytes.begin(), facts.bytes.end(), record.begin()));
    FUZZ_CHECK(facts.truncatedIn.has_value() == !facts.missing.empty());
    if (facts.truncatedIn) {
        FUZZ_CHECK(facts.length == facts.bytes.size());
        FUZZ_CHECK(facts.extraBytes == 0);
        FUZZ_CHECK(facts.historical.size() <= facts.historicalCount);
    } else {
        FUZZ_CHECK(facts.length + facts.extraBytes == facts.bytes.size());
        FUZZ_CHECK(facts.historical.size() == facts.historicalCount);
        FUZZ_CHECK(!facts.protocols.empty());
        FUZZ_CHECK(facts.check != AtrCheck::Missing);
    }
    for (std::size_t i = 0; i < facts.protocols.size(); ++i) {
        FUZZ_CHECK(facts.protocols[i] >= 0 && facts.protocols[i] <= 15);
        FUZZ_CHECK(std::count(facts.protocols.begin(), facts.protocols.end(), facts.protocols[i]) ==
                   1);
    }
    if (facts.check == AtrCheck::Correct || facts.check == AtrCheck::Wrong) {
        std::uint8_t sum = 0;
        for (std::size_t i = 1; i < facts.length; ++i) {
            sum ^= facts.bytes[i];
        }
        FUZZ_CHECK((sum == 0) == (facts.check == AtrCheck::Correct));
    }
    // The TCK rule: present exactly when a protocol other than T=0 is offered.
    if (!facts.truncatedIn) {
        const bool onlyT0 = facts.protocols == std::vector<int>{0};
        FUZZ_CHECK(onlyT0 == (facts.check == AtrCheck::NotRequired));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint32_t claimed = input.U8();
    const auto bytes = input.Rest();
    std::vector<std::uint8_t> record(std::min<std::size_t>(claimed, kAtrRecordSize));
    std::copy_n(bytes.begin(), std::min(bytes.size(), record.size()), record.begin());

    const AtrFacts facts = DecodeAtr(record.data(), claimed);
    CheckFacts(facts, record, claimed);
    const std::string text = DescribeAtr(facts);
    FUZZ_CHECK(!text.empty());
    FUZZ_CHECK((text.find("truncated before " + facts.missing) != std::string::npos) ==
               facts.truncatedIn.has_value());
    const std::string hex = AtrHexText(record.data(), claimed);
    FUZZ_CHECK(hex.size() == (record.empty() ? 0 : 3 * record.size() - 1));

    FUZZ_CHECK(!CardSummaryText(record.data(), claimed, claimed, std::nullopt).isEmpty());
    if (record.size() >= 2) {
        FUZZ_CHECK(StatusWordText(record[0], record[1]).size() > 6);
    }
    return 0;
}
