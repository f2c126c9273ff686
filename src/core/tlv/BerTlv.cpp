#include "core/tlv/BerTlv.h"

#include <algorithm>
#include <map>
#include <optional>

#include "core/common/Conversions.h"

namespace {

// Deeper templates are kept as raw bytes; no real reply nests this far.
constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxTagBytes = 4;
constexpr std::size_t kMaxLengthBytes = 3;

struct Header {
    std::uint32_t tag = 0;
    std::size_t size = 0;  // tag and length bytes
    std::size_t length = 0;
};

// The tag and length at `pos`, or nothing when they run past `end` or are not encoded as
// 7816-4 allows (more than four tag bytes, the indefinite form, more than three length bytes).
std::optional<Header> ReadHeader(const std::uint8_t* bytes, std::size_t pos, std::size_t end) {
    Header header;
    std::size_t i = pos;
    header.tag = bytes[i++];
    if ((header.tag & 0x1F) == 0x1F) {
        do {
            if (i >= end || i - pos >= kMaxTagBytes) {
                return std::nullopt;
            }
            header.tag = header.tag << 8 | bytes[i];
        } while ((bytes[i++] & 0x80) != 0);
    }
    if (i >= end) {
        return std::nullopt;
    }
    const std::uint8_t first = bytes[i++];
    if (first < 0x80) {
        header.length = first;
    } else {
        const std::size_t count = first & 0x7F;
        if (count == 0 || count > kMaxLengthBytes || end - i < count) {
            return std::nullopt;
        }
        for (std::size_t k = 0; k < count; ++k) {
            header.length = header.length << 8 | bytes[i++];
        }
    }
    header.size = i - pos;
    return header;
}

class Decoder {
  public:
    explicit Decoder(const std::uint8_t* bytes) : bytes_(bytes) {}

    // Reads the objects in [begin, end) into `out`. A cut object is allowed only where the
    // enclosing object is itself cut (or at the top); bytes that do not form an object end
    // the list as Trailing only at the top. False when the content does not parse.
    bool Read(std::size_t begin, std::size_t end, int depth, bool allowCut, bool top,
              const std::string& parentPath, std::vector<TlvNode>& out) const {
        std::size_t pos = begin;
        while (pos < end) {
            if (bytes_[pos] == 0x00 || bytes_[pos] == 0xFF) {
                ++pos;
                continue;
            }
            const std::optional<Header> header = ReadHeader(bytes_, pos, end);
            if (!header) {
                if (!top) {
                    return false;
                }
                TlvNode trailing;
                trailing.kind = TlvNodeKind::Trailing;
                trailing.offset = pos;
                trailing.length = end - pos;
                trailing.value.assign(bytes_ + pos, bytes_ + end);
                out.push_back(std::move(trailing));
                break;
            }
            const std::size_t valueStart = pos + header->size;
            const std::size_t available = end - valueStart;
            TlvNode node;
            node.tag = header->tag;
            node.offset = pos;
            node.length = header->length;
            node.cut = header->length > available;
            if (node.cut && !allowCut) {
                return false;
            }
            const std::size_t valueEnd = valueStart + std::min(header->length, available);
            node.header.assign(bytes_ + pos, bytes_ + valueStart);
            node.value.assign(bytes_ + valueStart, bytes_ + valueEnd);
            node.constructed = (bytes_[pos] & 0x20) != 0;
            out.push_back(std::move(node));
            pos = valueEnd;
        }
        NamePaths(parentPath, out);
        for (TlvNode& node : out) {
            if (node.kind == TlvNodeKind::Object && node.constructed) {
                ReadChildren(node, depth);
            }
        }
        return true;
    }

  private:
    void ReadChildren(TlvNode& node, int depth) const {
        const std::size_t begin = node.offset + node.header.size();
        if (depth >= kMaxDepth || !Read(begin, begin + node.value.size(), depth + 1, node.cut,
                                        false, node.path, node.children)) {
            node.children.clear();
            node.raw = true;
        }
    }

    // "parent/TAG", with "[n]" where the tag occurs more than once among the siblings.
    static void NamePaths(const std::string& parentPath, std::vector<TlvNode>& siblings) {
        std::map<std::uint32_t, int> total;
        for (const TlvNode& node : siblings) {
            if (node.kind == TlvNodeKind::Object) {
                ++total[node.tag];
            }
        }
        std::map<std::uint32_t, int> seen;
        for (TlvNode& node : siblings) {
            if (node.kind != TlvNodeKind::Object) {
                continue;
            }
            node.path = (parentPath.empty() ? "" : parentPath + "/") + TlvTagText(node.tag);
            const int index = ++seen[node.tag];
            if (total[node.tag] > 1) {
                node.path += "[" + std::to_string(index) + "]";
            }
        }
    }

    const std::uint8_t* bytes_;
};

std::size_t TagBytes(std::uint32_t tag) {
    std::size_t n = 1;
    while (n < 4 && (tag >> (8 * n)) != 0) {
        ++n;
    }
    return n;
}

}  // namespace

TlvTree DecodeBerTlv(const std::uint8_t* bytes, std::size_t size) {
    TlvTree tree;
    if (size == 0) {
        return tree;
    }
    Decoder(bytes).Read(0, size, 0, true, true, "", tree.nodes);
    const auto first = std::find_if(tree.nodes.begin(), tree.nodes.end(),
                                    [](const TlvNode& n) { return n.kind == TlvNodeKind::Object; });
    // A reply that is text or a bare number mostly reads as one primitive object whose length
    // runs past the end, or as no object at all: that is not TLV.
    if (first == tree.nodes.end() || (first->cut && !first->constructed)) {
        TlvNode whole;
        whole.kind = TlvNodeKind::NotTlv;
        whole.length = size;
        whole.value.assign(bytes, bytes + size);
        tree.nodes.assign(1, std::move(whole));
    }
    return tree;
}

TlvTree DecodeBerTlv(const std::vector<std::uint8_t>& bytes) {
    return DecodeBerTlv(bytes.data(), bytes.size());
}

std::string TlvTagText(std::uint32_t tag) {
    std::string text;
    for (std::size_t i = TagBytes(tag); i-- > 0;) {
        text += HexNumberText((tag >> (8 * i)) & 0xFF, 2);
    }
    return text;
}

TlvClass TlvClassOf(std::uint32_t tag) {
    const std::uint32_t first = tag >> (8 * (TagBytes(tag) - 1));
    return static_cast<TlvClass>((first >> 6) & 3);
}
