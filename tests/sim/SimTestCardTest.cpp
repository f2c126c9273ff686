#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "sim/SimTestCard.h"

namespace {
using Steps = std::vector<std::pair<Bytes, Bytes>>;

// "80 30 00 00" as bytes.
Bytes Hex(const std::string& text) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size() + 1; i += 3) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

Bytes Counting(std::size_t count, std::size_t from = 0) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(from + i);
    }
    return bytes;
}

Bytes Cat(Bytes first, const Bytes& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const Bytes kOk = Hex("90 00");
const Bytes kSelectReaderTest = Hex("00 A4 04 00 06 A0 00 00 00 18 FF");
const Bytes kSelectExtended = Hex("00 A4 04 00 09 A0 00 00 00 66 03 01 B3 01");

struct ExchangeRow {
    const char* name;
    SimCardKind kind;
    Steps steps;  // commands and their replies, in order, from power-up
};

class TestCardAnswers : public ::testing::TestWithParam<ExchangeRow> {};

TEST_P(TestCardAnswers, EachStep) {
    SimTestCard card(GetParam().kind);
    int step = 0;
    for (const auto& [command, reply] : GetParam().steps) {
        const SimExchange exchange = card.Exchange(command);
        EXPECT_EQ(exchange.readerCode, 0u);
        EXPECT_EQ(exchange.reply, reply) << "step " << step;
        ++step;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ReaderTestApplet, TestCardAnswers,
    ::testing::Values(
        ExchangeRow{"Unselected",
                    SimCardKind::TestT1,
                    {{Hex("80 30 00 00"), Hex("6D 00")},
                     {Hex("00 A4 04 00 02 A0 00"), Hex("6A 82")},
                     {Hex("00 A4 04 00 06 A0 00 00 00 18 50"), kOk},
                     {Hex("80 30 00 00 00"), kOk}}},
        ExchangeRow{"Case1And3T1",
                    SimCardKind::TestT1,
                    {{kSelectReaderTest, kOk},
                     {Hex("80 30 00 00"), kOk},
                     {Hex("80 30 00 00 05"), Hex("67 00")},
                     {Hex("80 32 00 00 03 00 01 02"), kOk},
                     {Hex("80 32 00 00 03 00 07 02"), Hex("6A 01")},
                     {Hex("80 32 00 00"), Hex("67 00")},
                     {Cat(Hex("80 32 00 00 FF"), Counting(255)), kOk},
                     {Hex("80 99 00 00"), Hex("6D 00")}}},
        ExchangeRow{"Case2And4T1",
                    SimCardKind::TestT1,
                    {{kSelectReaderTest, kOk},
                     {Hex("80 34 00 07 07"), Cat(Counting(7), kOk)},
                     {Hex("80 34 00 07 06"), Hex("67 00")},
                     {Hex("80 34 01 00 00"), Cat(Counting(256), kOk)},
                     {Hex("80 3C 00 05 00"), Cat(Counting(5), kOk)},
                     {Cat(Hex("80 36 01 00 FF"), Counting(255)), Cat(Counting(256), kOk)},
                     {Hex("80 36 00 02"), Hex("67 00")},
                     {Hex("80 3E 00 02"), Cat(Counting(2), kOk)},
                     {Hex("80 36 00 02 02 00 05"), Hex("6A 01")}}},
        ExchangeRow{"GetResponseT0",
                    SimCardKind::TestT0,
                    {{kSelectReaderTest, kOk},
                     {Cat(Hex("80 36 00 09 08"), Counting(8)), Hex("61 09")},
                     {Hex("80 C0 00 00 09"), Cat(Counting(9), kOk)},
                     {Hex("00 C0 00 00 09"), Hex("69 85")},
                     {Cat(Hex("80 36 01 00 FF"), Counting(255)), Hex("61 00")},
                     {Hex("00 C0 00 00 10"), Cat(Counting(16), Hex("61 F0"))},
                     {Hex("00 C0 00 00 F1"), Hex("6C F0")},
                     {Hex("00 C0 00 00 F0"), Cat(Counting(240, 16), kOk)},
                     {Cat(Hex("80 36 00 03 02 00 01"), Hex("00")), Hex("61 03")}}},
        ExchangeRow{"Case2T0",
                    SimCardKind::TestT0,
                    {{kSelectReaderTest, kOk},
                     {Hex("80 34 00 05 05"), Cat(Counting(5), kOk)},
                     {Hex("80 34 00 05 04"), Hex("67 00")},
                     {Hex("80 34 01 00 00"), Cat(Counting(256), kOk)},
                     {Hex("80 3C 00 05 04"), Hex("6C 05")},
                     {Hex("80 32 00 00 00"), Hex("67 00")},
                     {Hex("80 38 00 00"), kOk}}},
        ExchangeRow{"VerifyAndDump",
                    SimCardKind::TestT0,
                    {{kSelectReaderTest, kOk},
                     {Hex("80 40 00 00 00"), kOk},
                     {Hex("80 20 00 00 04 31 32 33 34"), kOk},
                     {Hex("80 40 00 00 09"), Hex("80 20 00 00 04 31 32 33 34 90 00")},
                     {Hex("80 20 00 00 04 31 32 39 34"), Hex("6A 02")},
                     {Hex("80 20 00 01 00"), Hex("67 00")},
                     {Hex("80 40 00 00 09"), Hex("80 20 00 01 00 31 32 39 34 90 00")}}}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    ExtendedApplet, TestCardAnswers,
    ::testing::Values(
        ExchangeRow{
            "ShortT1",
            SimCardKind::TestT1,
            {{kSelectExtended, kOk},
             {Hex("00 10 00 00"), kOk},
             {Hex("00 20 00 07 07"), Cat(Counting(7), kOk)},
             {Hex("00 56 00 00 02"), Hex("00 07 90 00")},
             {Hex("00 20 01 00 00"), Cat(Counting(256), kOk)},
             {Hex("00 56 00 00 02"), Hex("01 00 90 00")},
             {Hex("00 30 00 00 03 00 01 02"), kOk},
             {Hex("00 51 00 00 00"), Cat(Cat(Hex("00 01 02"), Bytes(252, 0)), Hex("03 90 00"))},
             {Cat(Hex("00 40 01 00 FF"), Counting(255)), Cat(Counting(256), kOk)},
             {Hex("00 54 00 00"), Hex("00 FF 90 00")}}},
        ExchangeRow{"ExtendedT1",
                    SimCardKind::TestT1,
                    {{Hex("00 A4 04 00 09 A0 00 00 00 66 03 01 B4 01"), kOk},
                     {Hex("00 B0 FF FF 00 FF FF"), Cat(Counting(65535), kOk)},
                     {Hex("00 56 00 00"), Hex("FF FF 90 00")},
                     {Hex("00 B0 01 00 00 00 00"), Cat(Counting(256), kOk)},
                     {Hex("00 56 00 00"), Hex("00 00 90 00")},
                     {Cat(Hex("00 D0 00 00 00 FF FF"), Counting(65535)), kOk},
                     {Hex("00 54 00 00"), Hex("FF FF 90 00")},
                     {Hex("00 53 00 00 00 01 00"), Cat(Counting(256), kOk)},
                     {Cat(Hex("00 D0 00 00 00 01 01"), Counting(257)), kOk},
                     {Hex("00 54 00 00"), Hex("01 01 90 00")},
                     {Cat(Cat(Hex("00 40 01 00 00 01 00"), Counting(256)), Hex("00 00")),
                      Cat(Counting(256), kOk)},
                     {Cat(Hex("00 D0 00 00 00 00 05"), Counting(4)), Hex("67 00")},
                     {Hex("00 B0 00 05 00 00"), Hex("67 00")}}},
        ExchangeRow{"T0",
                    SimCardKind::TestT0,
                    {{kSelectExtended, Hex("61 00")},
                     {Hex("00 C0 00 00 00"), Cat(Counting(256), kOk)},
                     {Hex("00 20 01 00 00"), Cat(Counting(256), kOk)},
                     {Hex("00 56 00 00 02"), Hex("7F FF 90 00")},
                     {Cat(Hex("00 40 00 09 08"), Counting(8)), Hex("61 09")},
                     {Hex("00 C0 00 00 09"), Cat(Counting(9), kOk)},
                     {Hex("00 54 00 00 02"), Hex("00 08 90 00")},
                     {Hex("00 B0 00 07 00 00 07"), Hex("67 00")},
                     {Cat(Hex("00 D0 00 00 00 00 05"), Counting(5)), Hex("67 00")}}}),
    [](const auto& info) { return info.param.name; });

TEST(TestCard, TimeRequestsWorkTheirUnits) {
    SimTestCard card(SimCardKind::TestT1, {std::chrono::microseconds(7), {}});
    struct Row {
        Bytes select;
        Bytes command;
        long units;
    };
    const Row rows[] = {
        {kSelectReaderTest, Hex("80 38 00 1E"), 30},  {kSelectReaderTest, Hex("80 38 00 00"), 0},
        {kSelectExtended, Hex("00 11 00 00"), 0},     {kSelectExtended, Hex("00 50 01 02"), 0},
        {kSelectExtended, Hex("00 11 00 00"), 0x102}, {kSelectExtended, Hex("00 10 00 00"), 0}};
    for (const Row& row : rows) {
        card.Exchange(row.select);
        const SimExchange exchange = card.Exchange(row.command);
        EXPECT_EQ(exchange.reply, kOk);
        EXPECT_EQ(exchange.work.count(), 7 * row.units);
    }
}

// Each switch changes exactly the probes it names, against a sound card.
struct Probe {
    Bytes select;
    std::vector<Bytes> commands;  // the exchange, and the questions that follow it
};

const std::vector<Probe>& Probes() {
    static const std::vector<Probe> probes = {
        {kSelectReaderTest, {Hex("80 30 00 00")}},                             // 0
        {kSelectReaderTest, {Hex("80 34 00 FE FE")}},                          // 1
        {kSelectReaderTest, {Hex("80 34 00 FF FF")}},                          // 2
        {kSelectReaderTest, {Cat(Hex("80 32 00 00 FE"), Counting(254))}},      // 3: 259 bytes
        {kSelectReaderTest, {Cat(Hex("80 32 00 00 FF"), Counting(255))}},      // 4: 260 bytes
        {kSelectReaderTest, {Hex("80 34 01 00 00")}},                          // 5
        {kSelectReaderTest, {Hex("80 38 00 02")}},                             // 6
        {kSelectExtended, {Hex("00 B0 00 07 00 00 07"), Hex("00 56 00 00")}},  // 7
        {kSelectExtended, {Hex("00 20 00 07 07"), Hex("00 56 00 00 02")}},     // 8
        {kSelectExtended, {Cat(Hex("00 D0 00 00 00 00 05"), Counting(5))}},    // 9
    };
    return probes;
}

std::vector<SimExchange> RunProbe(SimTestCard& card, const Probe& probe) {
    card.Exchange(probe.select);
    std::vector<SimExchange> exchanges;
    for (const Bytes& command : probe.commands) {
        exchanges.push_back(card.Exchange(command));
    }
    return exchanges;
}

bool Same(const std::vector<SimExchange>& a, const std::vector<SimExchange>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].reply != b[i].reply || a[i].readerCode != b[i].readerCode ||
            a[i].work != b[i].work) {
            return false;
        }
    }
    return true;
}

struct FaultRow {
    const char* name;
    SimTestCardFaults faults;
    std::vector<std::size_t> broken;
};

class FaultSwitch : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultSwitch, BreaksExactlyItsProbes) {
    const SimTestCardSettings settings{std::chrono::microseconds(5), {}};
    SimTestCard sound(SimCardKind::TestT1, settings);
    SimTestCard faulty(SimCardKind::TestT1, {settings.timeUnit, GetParam().faults});
    std::vector<std::size_t> broken;
    for (std::size_t i = 0; i < Probes().size(); ++i) {
        if (!Same(RunProbe(sound, Probes()[i]), RunProbe(faulty, Probes()[i]))) {
            broken.push_back(i);
        }
    }
    EXPECT_EQ(broken, GetParam().broken);
}

INSTANTIATE_TEST_SUITE_P(
    TestCard, FaultSwitch,
    ::testing::Values(FaultRow{"None", {}, {}},
                      FaultRow{"CutAbove254", {.cutRepliesAbove = 254}, {2, 5}},
                      FaultRow{"RewriteLe", {.rewriteLe = true}, {1, 2, 7, 8}},
                      FaultRow{"DropLastAbove259", {.dropLastByteAbove = 259}, {4}},
                      FaultRow{"RefuseExtended", {.refuseExtended = true}, {7, 9}},
                      FaultRow{"LateTimeRequest", {.lateTimeRequest = true}, {6}}),
    [](const auto& info) { return info.param.name; });

TEST(TestCard, FaultOutcomes) {
    SimTestCard card(SimCardKind::TestT1, {std::chrono::microseconds(5), {}});
    card.Exchange(kSelectReaderTest);
    card.SetFaults({.cutRepliesAbove = 3});
    EXPECT_EQ(card.Exchange(Hex("80 34 00 05 05")).reply, Hex("00 01 02 90 00"));
    card.SetFaults({.lateTimeRequest = true});
    const SimExchange late = card.Exchange(Hex("80 38 00 09"));
    EXPECT_EQ(late.readerCode, SimTestCard::kNotTransacted);
    EXPECT_EQ(late.work.count(), 5);
    card.SetFaults({.refuseExtended = true});
    EXPECT_EQ(card.Exchange(Hex("80 34 00 05 00 00 05")).readerCode, SimTestCard::kNotTransacted);
}

TEST(TestCard, AnswerToResetOffersItsProtocols) {
    struct Row {
        SimCardKind kind;
        Bytes atrStart;
        std::uint32_t protocols;
    };
    const Row rows[] = {{SimCardKind::TestT0, Hex("3B 68 00 00"), 1},
                        {SimCardKind::TestT1, Hex("3B 88 81 31 FE 45"), 2},
                        {SimCardKind::TestBoth, Hex("3B 88 80 31 FE 45"), 3}};
    for (const Row& row : rows) {
        const SimTestCard card(row.kind);
        const Bytes atr = card.Atr();
        EXPECT_EQ(Bytes(atr.begin(), atr.begin() + row.atrStart.size()), row.atrStart);
        EXPECT_EQ(card.Protocols(), row.protocols);
        std::uint8_t check = 0;
        for (std::size_t i = 1; i < atr.size(); ++i) {
            check ^= atr[i];
        }
        // A check byte closes every answer to reset that offers T=1.
        EXPECT_EQ(check == 0, row.protocols != 1);
    }
}
}  // namespace
