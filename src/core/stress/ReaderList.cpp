#include "core/stress/ReaderList.h"

#include <cstring>

#include "core/session/CardLibrary.h"

std::uint32_t ListAttachedReaders(CardLibrary& library, std::vector<std::string>& names) {
    names.clear();
    std::uint32_t context = 0;
    if (const std::uint32_t code = library.CardEstablishContext(0, nullptr, nullptr, &context)) {
        return code;
    }
    std::uint32_t length = 0;
    std::uint32_t code = library.CardListReaders(context, nullptr, nullptr, &length);
    std::vector<char> buffer(length + 1, '\0');
    if (code == 0) {
        code = library.CardListReaders(context, nullptr, buffer.data(), &length);
    }
    library.CardReleaseContext(context);
    if (code != 0) {
        return code;
    }
    // The buffer ends in an extra zero even when the list lacks its final terminator.
    buffer.back() = '\0';
    for (const char* name = buffer.data(); *name != '\0' && name < buffer.data() + length;
         name += std::strlen(name) + 1) {
        names.emplace_back(name);
    }
    return names.empty() ? pcsc_codes::kNoReadersAvailable : 0;
}
