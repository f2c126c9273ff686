#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CardLibrary;

// The service's pseudo reader whose state query reports changes of the reader list.
inline constexpr const char* kReaderChangeNotification = "\\\\?PnP?\\Notification";
// Whether `reader` names that pseudo reader (the service compares without case).
bool IsReaderChangeNotification(const char* reader);

// The notification record carries the count of reader-list changes in the upper word of
// its event state.
inline constexpr std::uint32_t kReaderEventCountShift = 16;
inline constexpr std::uint32_t kReaderEventCountMask = 0xFFFF;
inline std::uint32_t ReaderEventCount(std::uint32_t eventState) {
    return eventState >> kReaderEventCountShift;
}

// Bound on the reader-name buffer whatever length a library asks for; a real list of 40
// names fits many times over.
inline constexpr std::uint32_t kMaxReaderListLength = 64 * 1024;

// One reader-list call: `buffer` null asks for the length needed, else fills at most
// *length bytes; answers the library's code.
using ReaderListCall = std::function<std::uint32_t(char* buffer, std::uint32_t* length)>;

struct ReaderList {
    std::uint32_t code = 0;          // 0, or the code of the call that failed
    std::uint32_t length = 0;        // the length the library asked for, bounded
    std::vector<std::string> names;  // in list order, none empty
};

// Reads the list the way every reader-list caller must: ask the length, allocate, ask
// again; a list that grows between the two calls is asked for again, a few times. The
// names are taken from the buffer with a zero byte beyond the length given to the library,
// so a list without its final terminator ends there.
ReaderList ReadReaderList(const ReaderListCall& call);

// The attached readers' names, read through `context` by ReadReaderList; 0 or the code of
// the call that failed.
std::uint32_t ListReaderNames(CardLibrary& library, std::uint32_t context,
                              std::vector<std::string>& names);

// The names of the attached readers, from a context of its own that is released again.
// Answers 0, or the PC/SC code of the call that failed; an empty list answers
// SCARD_E_NO_READERS_AVAILABLE, whatever the library said.
std::uint32_t ListAttachedReaders(CardLibrary& library, std::vector<std::string>& names);
