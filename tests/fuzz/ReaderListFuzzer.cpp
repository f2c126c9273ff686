// The reader session's walk over whatever reader list the library delivers, and the
// reader type query over whatever text and length it delivers.
// Input: the list length the first call reports (u32); the type query's return code
// (u32), its delivered length (u32) and 16 text bytes; then the multi-string as delivered.
#include <algorithm>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "core/common/LogFormat.h"
#include "core/common/MemoryResponseLog.h"
#include "core/session/ReaderInfo.h"
#include "core/session/ReaderList.h"
#include "core/session/ReaderSession.h"

namespace {

// The names in the first `length` bytes of `delivered`, as far as the empty name that
// ends the list, at most MaxReaders of them.
std::vector<std::string> ExpectedNames(std::span<const std::uint8_t> delivered,
                                       std::uint32_t length) {
    std::string buffer(length + std::size_t{1}, '\0');
    std::copy_n(delivered.begin(), std::min<std::size_t>(length, delivered.size()), buffer.begin());
    std::vector<std::string> names;
    std::size_t offset = 0;
    while (offset < buffer.size() && buffer[offset] != '\0' && names.size() < MaxReaders) {
        names.emplace_back(buffer.c_str() + offset);
        offset += names.back().size() + 1;
    }
    return names;
}

void CheckReaderList(std::uint32_t reportedLength, std::span<const std::uint8_t> delivered) {
    FuzzCardLibrary library;
    library.fill.assign(delivered.begin(), delivered.end());
    library.deliveredLength = reportedLength;
    FuzzBoxes boxes;
    MemoryResponseLog log;
    ReaderSession listed(library, log);

    FUZZ_CHECK(listed.InitializeReaders());
    FUZZ_CHECK(log.Lines() == std::vector<std::string>{"Initialize Success"});
    const std::vector<std::string> expected =
        ExpectedNames(delivered, std::min(reportedLength, kMaxReaderListLength));
    FUZZ_CHECK(listed.ReaderCount() == expected.size());
    for (std::uint32_t i = 0; i < listed.ReaderCount(); ++i) {
        const char* name = listed.ReaderName(static_cast<int>(i));
        FUZZ_CHECK(expected[i] == name);
        FUZZ_CHECK(ReaderNameCaption(name) ==
                   "Reader Name: " + expected[i].substr(0, MaxShownReaderName));
    }
    FUZZ_CHECK(listed.ReaderName(static_cast<int>(listed.ReaderCount())) == nullptr);
    FUZZ_CHECK(listed.ReaderName(-1) == nullptr);
    FUZZ_CHECK(boxes.boxes.empty());
}

void CheckReaderType(std::uint32_t code, std::uint32_t deliveredLength,
                     std::span<const std::uint8_t> text) {
    FuzzCardLibrary library;
    library.code = code;
    library.deliveredLength = deliveredLength;
    library.fill.assign(text.begin(), text.end());
    ReaderTypeQuery query;
    const std::string shown = query.Run(library, 1);
    if (code != 0) {
        FUZZ_CHECK(shown == ReturnCodeText("Get Reader Type Fail,return code=0x", code));
        return;
    }
    std::string expected;
    for (std::size_t i = 0; i < std::min<std::uint32_t>(deliveredLength, 16); ++i) {
        const auto c = static_cast<char>(FillByte(library.fill, i));
        if (c == '\0') {
            break;
        }
        expected.push_back(c);
    }
    FUZZ_CHECK(shown == "Reader Type : " + expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint32_t reportedLength = input.U32();
    const std::uint32_t typeCode = input.U32();
    const std::uint32_t typeLength = input.U32();
    const auto typeText = input.Bytes(16);
    CheckReaderType(typeCode, typeLength, typeText);
    CheckReaderList(reportedLength, input.Rest());
    return 0;
}
