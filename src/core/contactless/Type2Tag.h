#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/contactless/ContactlessChannel.h"

// MIFARE Ultralight, Ultralight C, Ultralight EV1 and NTAG213/215/216: pages of 4 bytes.
// Pages 0 to 2 hold the UID (with its check bytes) and the static lock bytes (page 2, bytes
// 2 and 3), page 3 the capability container, then the user memory, then on the larger chips
// dynamic lock bytes and configuration pages.

enum class TagType {
    Ultralight,
    UltralightC,
    UltralightEv1_48,
    UltralightEv1_128,
    Ntag213,
    Ntag215,
    Ntag216,
    Unknown
};

struct TagLayout {
    TagType type = TagType::Unknown;
    int pages = 16;
    int userFirst = 4;
    int userLast = 15;
    int dynamicLockPage = -1;  // -1: none
    int configFirst = -1;      // first page after the user memory that is not a lock page
};

std::string_view TagTypeName(TagType type);
TagLayout LayoutOfTag(TagType type);
// The tag that a capability container's memory size byte (CC byte 2, size / 8) names, with
// the card name of the ATR to tell the chips of one size apart.
TagType TagTypeOfCapability(std::uint8_t sizeByte, std::uint16_t cardName);

enum class PageRole { Uid, UidAndLock, Capability, User, DynamicLock, Config };
PageRole RoleOfPage(const TagLayout& layout, int page);
std::string_view PageRoleName(PageRole role);  // "UID", "UID, lock bytes", ...

struct TagImage {
    TagLayout layout;
    Bytes bytes;        // pagesRead * 4
    int pagesRead = 0;  // less than layout.pages when a read failed
    std::uint16_t lastStatus = 0;
    Bytes UserMemory() const;
};

// Reads the pages four at a time (READ BINARY of 16 bytes), choosing the layout from the
// capability container.
TagImage ReadTag(ContactlessChannel& channel, std::uint16_t cardName);

// Why the page may not be written (UID pages, past the end), or nothing.
std::optional<std::string> PageWriteRefusal(const TagLayout& layout, int page);
// UPDATE BINARY of one page (4 bytes).
Exchange WritePage(ContactlessChannel& channel, int page, const std::uint8_t* data4);
