#include "core/session/ReaderList.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "core/session/CardLibrary.h"
#include "core/session/PcscCodes.h"

namespace {
// Tries at the reader list when it grows between the length query and the fill.
constexpr int kListAttempts = 3;
}  // namespace

bool IsReaderChangeNotification(const char* reader) {
    if (reader == nullptr) {
        return false;
    }
    const std::string_view name(reader);
    const std::string_view notification(kReaderChangeNotification);
    if (name.size() != notification.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) !=
            std::tolower(static_cast<unsigned char>(notification[i]))) {
            return false;
        }
    }
    return true;
}

ReaderList ReadReaderList(const ReaderListCall& call) {
    ReaderList list;
    for (int attempt = 0; attempt < kListAttempts; ++attempt) {
        list.length = 0;
        list.code = call(nullptr, &list.length);
        if (list.code != 0) {
            return list;
        }
        if (list.length > kMaxReaderListLength) {
            list.length = kMaxReaderListLength;
        }
        std::vector<char> buffer(std::size_t{list.length} + 1, '\0');
        std::uint32_t filled = list.length;
        list.code = call(buffer.data(), &filled);
        if (list.code == pcsc_codes::kInsufficientBuffer) {
            continue;
        }
        if (list.code != 0) {
            return list;
        }
        for (std::size_t offset = 0; offset < buffer.size() && buffer[offset] != '\0';) {
            list.names.emplace_back(buffer.data() + offset);
            offset += list.names.back().size() + 1;
        }
        return list;
    }
    return list;
}

std::uint32_t ListReaderNames(CardLibrary& library, std::uint32_t context,
                              std::vector<std::string>& names) {
    ReaderList list = ReadReaderList([&](char* buffer, std::uint32_t* length) {
        return library.CardListReaders(context, nullptr, buffer, length);
    });
    names = std::move(list.names);
    return list.code;
}

std::uint32_t ListAttachedReaders(CardLibrary& library, std::vector<std::string>& names) {
    names.clear();
    std::uint32_t context = 0;
    if (const std::uint32_t code =
            library.CardEstablishContext(kScopeSystem, nullptr, nullptr, &context)) {
        return code;
    }
    const std::uint32_t code = ListReaderNames(library, context, names);
    library.CardReleaseContext(context);
    if (code != 0) {
        return code;
    }
    return names.empty() ? pcsc_codes::kNoReadersAvailable : 0;
}
