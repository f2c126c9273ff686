#include "core/contactless/Type2Tag.h"

#include <algorithm>

namespace {
constexpr int kPageSize = 4;
constexpr int kPagesPerRead = 4;
constexpr int kMaxPages = 256;
constexpr std::uint16_t kUltralightC = 0x003A;
}  // namespace

std::string_view TagTypeName(TagType type) {
    switch (type) {
        case TagType::Ultralight:
            return "MIFARE Ultralight";
        case TagType::UltralightC:
            return "MIFARE Ultralight C";
        case TagType::UltralightEv1_48:
            return "MIFARE Ultralight EV1 (48 bytes)";
        case TagType::UltralightEv1_128:
            return "MIFARE Ultralight EV1 (128 bytes)";
        case TagType::Ntag213:
            return "NTAG213";
        case TagType::Ntag215:
            return "NTAG215";
        case TagType::Ntag216:
            return "NTAG216";
        case TagType::Unknown:
            break;
    }
    return "Type 2 tag";
}

TagLayout LayoutOfTag(TagType type) {
    switch (type) {
        case TagType::Ultralight:
            return {type, 16, 4, 15, -1, -1};
        case TagType::UltralightC:
            return {type, 48, 4, 39, 40, 41};
        case TagType::UltralightEv1_48:
            return {type, 20, 4, 15, -1, 16};
        case TagType::UltralightEv1_128:
            return {type, 41, 4, 35, 36, 37};
        case TagType::Ntag213:
            return {type, 45, 4, 39, 40, 41};
        case TagType::Ntag215:
            return {type, 135, 4, 129, 130, 131};
        case TagType::Ntag216:
            return {type, 231, 4, 225, 226, 227};
        case TagType::Unknown:
            break;
    }
    return {TagType::Unknown, kMaxPages, 4, kMaxPages - 1, -1, -1};
}

TagType TagTypeOfCapability(std::uint8_t sizeByte, std::uint16_t cardName) {
    switch (sizeByte) {
        case 0x06:
            return cardName == 0x003D ? TagType::UltralightEv1_48 : TagType::Ultralight;
        case 0x10:
            return TagType::UltralightEv1_128;
        case 0x12:
            return cardName == kUltralightC ? TagType::UltralightC : TagType::Ntag213;
        case 0x3E:
            return TagType::Ntag215;
        case 0x6D:
            return TagType::Ntag216;
        default:
            return TagType::Unknown;
    }
}

PageRole RoleOfPage(const TagLayout& layout, int page) {
    if (page < 2) {
        return PageRole::Uid;
    }
    if (page == 2) {
        return PageRole::UidAndLock;
    }
    if (page == 3) {
        return PageRole::Capability;
    }
    if (page <= layout.userLast) {
        return PageRole::User;
    }
    if (layout.dynamicLockPage >= 0 && page >= layout.dynamicLockPage &&
        (layout.configFirst < 0 || page < layout.configFirst)) {
        return PageRole::DynamicLock;
    }
    return PageRole::Config;
}

std::string_view PageRoleName(PageRole role) {
    switch (role) {
        case PageRole::Uid:
            return "UID";
        case PageRole::UidAndLock:
            return "UID, lock bytes";
        case PageRole::Capability:
            return "capability container";
        case PageRole::User:
            return "user memory";
        case PageRole::DynamicLock:
            return "dynamic lock bytes";
        case PageRole::Config:
            return "configuration";
    }
    return {};
}

Bytes TagImage::UserMemory() const {
    const auto first = static_cast<std::size_t>(layout.userFirst * kPageSize);
    const auto end =
        std::min(bytes.size(), static_cast<std::size_t>(layout.userLast + 1) * kPageSize);
    return first < end ? Bytes(bytes.begin() + first, bytes.begin() + end) : Bytes{};
}

TagImage ReadTag(ContactlessChannel& channel, std::uint16_t cardName) {
    TagImage image;
    image.layout = LayoutOfTag(TagType::Unknown);
    for (int page = 0; page < image.layout.pages; page += kPagesPerRead) {
        const Exchange exchange =
            channel.Transmit(ReadBinaryCommand(static_cast<std::uint8_t>(page), 16));
        image.lastStatus = exchange.Status();
        const Bytes data = ReplyData(exchange.reply);
        if (!exchange.Ok() || data.empty() || data.size() % kPageSize != 0) {
            break;
        }
        // The last read may run past the end, where tags wrap around to page 0.
        const int pages =
            std::min(static_cast<int>(data.size()) / kPageSize, image.layout.pages - page);
        image.bytes.insert(image.bytes.end(), data.begin(), data.begin() + pages * kPageSize);
        image.pagesRead = page + pages;
        if (page == 0 && image.pagesRead >= 4 && image.bytes[12] == 0xE1) {
            image.layout = LayoutOfTag(TagTypeOfCapability(image.bytes[14], cardName));
        }
    }
    if (image.layout.type == TagType::Unknown) {
        image.layout.pages = image.pagesRead;
        image.layout.userLast = image.pagesRead - 1;
    }
    return image;
}

std::optional<std::string> PageWriteRefusal(const TagLayout& layout, int page) {
    if (page < 2) {
        return std::string("Pages 0 and 1 hold the UID; the tag does not let them be written.");
    }
    if (page >= layout.pages) {
        return "Page " + std::to_string(page) + " is past the tag's last page (" +
               std::to_string(layout.pages - 1) + ").";
    }
    return std::nullopt;
}

Exchange WritePage(ContactlessChannel& channel, int page, const std::uint8_t* data4) {
    return channel.Transmit(
        UpdateBinaryCommand(static_cast<std::uint8_t>(page), Bytes(data4, data4 + kPageSize)));
}
