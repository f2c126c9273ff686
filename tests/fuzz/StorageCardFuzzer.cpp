// The PC/SC backend's memory-card commands over whatever the card answers: any status
// word, answers shorter or longer than asked, and exchanges that fail. Also the answer to
// reset as the backend reads it to recognise a storage card.
// Input: operation (u8: read, write or verify), address (u32), length (u16); for a write
// or a verification the data or code bytes; then the card's answers, each as an exchange
// code (u8: 0 succeeds, else a failure), a length (u16) and that many bytes, the status
// word last. Once the answers run out the card answers 90 00 alone. The same bytes are also read
// whole as an answer to reset.
#include <algorithm>
#include <vector>

#include "FuzzSupport.h"
#include "pcsc/PcscStorageCard.h"

namespace {

constexpr std::uint16_t kLargestLength = 1100;
// A full piece of 255 bytes, its status word and a few bytes too many.
constexpr std::uint16_t kLongestAnswer = 300;

struct Card {
    explicit Card(FuzzInput& input) : input(input) {}

    // One exchange: the next answer of the input, noting what the command asked and got.
    std::uint32_t Answer(std::span<const std::uint8_t> command,
                         std::vector<std::uint8_t>& response) {
        FUZZ_CHECK(command.size() >= 5 && command[0] == 0xFF);
        commands.emplace_back(command.begin(), command.end());
        const std::uint8_t failure = input.U8();
        const auto answer = input.Bytes(input.U16() % kLongestAnswer);
        if (answer.empty() && input.Empty()) {
            response = {0x90, 0x00};
            answers.push_back({true, false, false, {}});
            return 0;
        }
        response.assign(answer.begin(), answer.end());
        const auto statusIs = [&](std::uint8_t sw1, std::uint8_t sw2) {
            return answer.size() >= 2 && answer[answer.size() - 2] == sw1 && answer.back() == sw2;
        };
        const bool endReached = failure == 0 && statusIs(0x62, 0x82);
        const bool accepted = failure == 0 && (statusIs(0x90, 0x00) || endReached);
        answers.push_back({accepted,
                           endReached,
                           failure == 0 && statusIs(0x6B, 0x00),
                           {answer.begin(), answer.end() - (accepted ? 2 : 0)}});
        return failure == 0 ? 0 : 0x80100000u + failure;
    }

    // What the answers of a read delivered, command by command, as far as the first
    // refusal, the first answer shorter than asked or the first end-of-memory answer.
    std::vector<std::uint8_t> ReadData() const {
        std::vector<std::uint8_t> data;
        for (std::size_t i = 0; i < commands.size() && answers[i].accepted; ++i) {
            const std::size_t asked = commands[i][4];
            const auto& given = answers[i].data;
            data.insert(data.end(), given.begin(), given.begin() + std::min(asked, given.size()));
            if (given.size() < asked || answers[i].endReached) {
                break;
            }
        }
        return data;
    }

    struct Answered {
        bool accepted;    // 90 00, or 62 82 with the data up to the end of the memory
        bool endReached;  // 62 82
        bool outside;     // 6B 00: the address lies past the end of the memory
        std::vector<std::uint8_t> data;  // before the status word
    };
    FuzzInput& input;
    std::vector<std::vector<std::uint8_t>> commands;
    std::vector<Answered> answers;
};

std::uint16_t CommandAddress(const std::vector<std::uint8_t>& command) {
    return static_cast<std::uint16_t>(command[2] << 8 | command[3]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)IsStorageCardAtr({data, size});
    (void)StatusWordCode({data, size});

    FuzzInput input(data, size);
    const std::uint8_t operation = input.U8() % 3;
    const std::uint32_t address = input.U32();
    const std::uint32_t length = input.U16() % (kLargestLength + 1);
    Card card(input);
    PcscStorageCard storage(
        [&card](std::span<const std::uint8_t> command, std::vector<std::uint8_t>& response) {
            return card.Answer(command, response);
        });

    if (operation == 0) {
        std::vector<std::uint8_t> buffer(length);
        std::uint32_t delivered = length;
        const std::uint32_t code = storage.Read(address, buffer.data(), &delivered);
        FUZZ_CHECK(delivered <= length);
        // Every command asked for the bytes after those already delivered.
        std::uint32_t asked = 0;
        for (const auto& command : card.commands) {
            FUZZ_CHECK(command.size() == 5 && command[1] == 0xB0);
            FUZZ_CHECK(CommandAddress(command) == static_cast<std::uint16_t>(address + asked));
            FUZZ_CHECK(command[4] >= 1 && command[4] <= length - asked);
            asked += command[4];
        }
        const std::vector<std::uint8_t> expected = card.ReadData();
        FUZZ_CHECK(delivered == expected.size());
        FUZZ_CHECK(std::equal(expected.begin(), expected.end(), buffer.begin()));
        if (card.commands.empty()) {
            // Nothing to read, or nothing that two address bytes reach.
            FUZZ_CHECK((code == 0) == (length == 0 && address <= kStorageAddressLimit));
        } else {
            // A piece after the first whose address lies past the end ends the read too.
            const bool endBetweenPieces = card.commands.size() > 1 && card.answers.back().outside;
            FUZZ_CHECK((code == 0) == (card.answers.back().accepted || endBetweenPieces));
        }
    } else if (operation == 1) {
        const auto bytes = input.Bytes(length);
        const std::vector<std::uint8_t> written(bytes.begin(), bytes.end());
        const std::uint32_t code =
            storage.Write(address, written.data(), static_cast<std::uint32_t>(written.size()));
        // The last piece goes first, then the others from the start on.
        const std::size_t last = written.empty() ? 0 : (written.size() - 1) / 255 * 255;
        std::size_t sent = 0;
        for (std::size_t i = 0; i < card.commands.size(); ++i) {
            const auto& command = card.commands[i];
            FUZZ_CHECK(command[1] == 0xD6 && command.size() == 5u + command[4]);
            const std::size_t offset = i == 0 ? last : (i - 1) * 255;
            FUZZ_CHECK(command[4] == std::min<std::size_t>(255, written.size() - offset));
            FUZZ_CHECK(CommandAddress(command) == static_cast<std::uint16_t>(address + offset));
            FUZZ_CHECK(std::equal(command.begin() + 5, command.end(), written.begin() + offset));
            sent += command[4];
        }
        FUZZ_CHECK(code != 0 || sent == written.size());
    } else {
        const auto bytes = input.Bytes(length % 300);
        const std::vector<std::uint8_t> code(bytes.begin(), bytes.end());
        storage.Verify(code);
        FUZZ_CHECK(card.commands.size() <= 1);
        if (!card.commands.empty()) {
            FUZZ_CHECK(std::equal(card.commands[0].begin() + 5, card.commands[0].end(),
                                  code.begin(), code.end()));
        }
    }
    return 0;
}
