#include "core/session/ReaderInfo.h"

#include <cstring>

#include "core/common/LogFormat.h"
#include "core/session/CardLibrary.h"

namespace {
constexpr std::uint32_t kTypeLengthAsked = 16;
}

std::string ReaderNameCaption(const char* readerName) {
    std::string caption = "Reader Name: ";
    if (readerName != nullptr) {
        caption.append(readerName, ::strnlen(readerName, MaxShownReaderName));
    }
    return caption;
}

std::string ReaderTypeQuery::Run(CardLibrary& library, std::uint32_t cardHandle) {
    ReaderTypeLength = kTypeLengthAsked;
    const std::uint32_t code =
        library.CardReaderType(cardHandle, ReaderTypeBuffer, &ReaderTypeLength);
    if (code != 0) {
        return ReturnCodeText("Get Reader Type Fail,return code=0x", code);
    }
    // The library is asked for 16 characters; a longer length is not trusted past them.
    if (ReaderTypeLength > kTypeLengthAsked) {
        ReaderTypeLength = kTypeLengthAsked;
    }
    ReaderTypeBuffer[ReaderTypeLength] = 0;
    // The box shows the text up to its terminator, as the zero-terminated text it now is.
    return "Reader Type : " + std::string(reinterpret_cast<const char*>(ReaderTypeBuffer));
}
