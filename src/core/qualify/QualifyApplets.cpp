#include "core/qualify/QualifyApplets.h"

#include <algorithm>

namespace {
constexpr std::uint8_t kReaderTestClass = 0x80;
constexpr std::uint8_t kExtendedClass = 0x00;
constexpr std::uint8_t kVerifyHeader[] = {0x80, 0x20, 0x00, 0x00, 0x04};
constexpr std::uint8_t kPinDigits[] = {0x31, 0x32, 0x33, 0x34};

std::uint8_t High(std::uint32_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}
std::uint8_t Low(std::uint32_t value) {
    return static_cast<std::uint8_t>(value);
}

bool IsReaderTest(TestApplet applet) {
    return applet == TestApplet::ReaderTest;
}

QualifyBytes Header(std::uint8_t cla, std::uint8_t ins, std::uint32_t p1p2) {
    return {cla, ins, High(p1p2), Low(p1p2)};
}

QualifyBytes WithData(QualifyBytes command, std::uint32_t length) {
    command.push_back(Low(length));
    AppendCounting(command, length);
    return command;
}

}  // namespace

std::vector<QualifyBytes> SelectCommands(TestApplet applet) {
    const QualifyBytes select{0x00, 0xA4, 0x04, 0x00};
    const auto with = [&select](QualifyBytes aid) {
        QualifyBytes command = select;
        command.push_back(Low(static_cast<std::uint32_t>(aid.size())));
        command.insert(command.end(), aid.begin(), aid.end());
        return command;
    };
    if (IsReaderTest(applet)) {
        return {with({0xA0, 0x00, 0x00, 0x00, 0x18, 0xFF}),
                with({0xA0, 0x00, 0x00, 0x00, 0x18, 0x50})};
    }
    return {with({0xA0, 0x00, 0x00, 0x00, 0x66, 0x03, 0x01, 0xB3, 0x01}),
            with({0xA0, 0x00, 0x00, 0x00, 0x66, 0x03, 0x01, 0xB4, 0x01})};
}

namespace {
// The longest run the applets count, built once: appending is then one copy.
const QualifyBytes& CountingTable() {
    static const QualifyBytes table = [] {
        QualifyBytes counting(65536);
        for (std::size_t i = 0; i < counting.size(); ++i) {
            counting[i] = static_cast<std::uint8_t>(i);
        }
        return counting;
    }();
    return table;
}
}  // namespace

std::span<const std::uint8_t> CountingBytes(std::uint32_t n) {
    return std::span<const std::uint8_t>(CountingTable()).first(std::min<std::size_t>(n, 65536));
}

void AppendCounting(QualifyBytes& bytes, std::uint32_t n) {
    const std::span<const std::uint8_t> counting = CountingBytes(n);
    bytes.insert(bytes.end(), counting.begin(), counting.end());
}

QualifyBytes Case1Command(TestApplet applet) {
    return IsReaderTest(applet) ? Header(kReaderTestClass, 0x30, 0)
                                : Header(kExtendedClass, 0x10, 0);
}

QualifyBytes Case2Command(TestApplet applet, std::uint32_t length) {
    QualifyBytes command = IsReaderTest(applet) ? Header(kReaderTestClass, 0x34, length)
                                                : Header(kExtendedClass, 0x20, length);
    command.push_back(Low(length));
    return command;
}

QualifyBytes Case3Command(TestApplet applet, std::uint32_t length) {
    return WithData(
        IsReaderTest(applet) ? Header(kReaderTestClass, 0x32, 0) : Header(kExtendedClass, 0x30, 0),
        length);
}

QualifyBytes Case4Command(TestApplet applet, std::uint32_t length) {
    return WithData(IsReaderTest(applet) ? Header(kReaderTestClass, 0x36, length + 1)
                                         : Header(kExtendedClass, 0x40, length + 1),
                    length);
}

QualifyBytes Case2ExtendedCommand(std::uint32_t length) {
    QualifyBytes command = Header(kExtendedClass, 0xB0, length);
    command.insert(command.end(), {0x00, High(length), Low(length)});
    return command;
}

QualifyBytes Case3ExtendedCommand(std::uint32_t length) {
    QualifyBytes command = Header(kExtendedClass, 0xD0, 0);
    command.insert(command.end(), {0x00, High(length), Low(length)});
    AppendCounting(command, length);
    return command;
}

QualifyBytes TimeRequestCommand(std::uint32_t p2) {
    return Header(kReaderTestClass, 0x38, Low(p2));
}

QualifyBytes SetWaitingTimeCommand(std::uint32_t p1p2) {
    return Header(kExtendedClass, 0x50, p1p2);
}

QualifyBytes WaitingTimeCase1Command() {
    return Header(kExtendedClass, 0x11, 0);
}

QualifyBytes PinDumpCommand() {
    QualifyBytes command = Header(kReaderTestClass, 0x40, 0);
    command.push_back(sizeof kVerifyHeader + sizeof kPinDigits);
    return command;
}

QualifyBytes GetResponseCommand(std::uint8_t length) {
    return {0x00, 0xC0, 0x00, 0x00, length};
}

std::vector<CardQuestion> Case2Questions(std::uint32_t length, bool extended, bool t0) {
    const std::uint32_t seen = (!extended && t0 && length == 256) ? 0x7FFF : length;
    QualifyBytes command = Header(kExtendedClass, 0x56, 0);
    if (!extended) {
        command.push_back(2);
    }
    return {{std::move(command), {High(seen), Low(seen)}, "Le seen"}};
}

std::vector<CardQuestion> Case3Questions(std::uint32_t length, bool extended) {
    if (!extended) {
        QualifyBytes data(256, 0);
        for (std::uint32_t i = 0; i < length && i < 255; ++i) {
            data[i] = Low(i);
        }
        data[255] = Low(length);
        return {{{kExtendedClass, 0x51, 0x00, 0x00, 0x00}, std::move(data), "data received"}};
    }
    QualifyBytes first(256, 0);
    for (std::uint32_t i = 0; i < length && i < 256; ++i) {
        first[i] = Low(i);
    }
    return {{Header(kExtendedClass, 0x54, 0), {High(length), Low(length)}, "length received"},
            {Header(kExtendedClass, 0x53, 0), std::move(first), "data received"}};
}

QualifyBytes PinVerifyStructure() {
    QualifyBytes apdu(std::begin(kVerifyHeader), std::end(kVerifyHeader));
    apdu.insert(apdu.end(), sizeof kPinDigits, 0xFF);
    QualifyBytes structure{
        0x00,              // bTimerOut: the reader's default
        0x00,              // bTimerOut2
        0x82,              // bmFormatString: byte units, PIN at offset 0, left justified, ASCII
        0x04,              // bmPINBlockString: a 4-byte PIN block
        0x00,              // bmPINLengthFormat: no PIN length in the command
        0x04, 0x04,        // wPINMaxExtraDigit: 4 to 4 digits
        0x02,              // bEntryValidationCondition: the validation key
        0x01,              // bNumberMessage
        0x09, 0x04,        // wLangId: English
        0x00,              // bMsgIndex
        0x00, 0x00, 0x00,  // bTeoPrologue
    };
    const auto length = static_cast<std::uint32_t>(apdu.size());
    structure.insert(structure.end(), {Low(length), High(length), 0x00, 0x00});
    structure.insert(structure.end(), apdu.begin(), apdu.end());
    return structure;
}

QualifyBytes PinDumpExpected() {
    QualifyBytes dump(std::begin(kVerifyHeader), std::end(kVerifyHeader));
    dump.insert(dump.end(), std::begin(kPinDigits), std::end(kPinDigits));
    return dump;
}
