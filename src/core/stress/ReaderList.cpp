#include "core/stress/ReaderList.h"

#include "core/session/CardLibrary.h"
#include "core/session/PcscCodes.h"
#include "core/session/ReaderList.h"

std::uint32_t ListAttachedReaders(CardLibrary& library, std::vector<std::string>& names) {
    names.clear();
    std::uint32_t context = 0;
    if (const std::uint32_t code = library.CardEstablishContext(0, nullptr, nullptr, &context)) {
        return code;
    }
    const std::uint32_t code = ListReaderNames(library, context, names);
    library.CardReleaseContext(context);
    if (code != 0) {
        return code;
    }
    return names.empty() ? pcsc_codes::kNoReadersAvailable : 0;
}
