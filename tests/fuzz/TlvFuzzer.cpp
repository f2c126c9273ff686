// The BER-TLV decoder over arbitrary bytes: every node must be the input's own bytes at its
// offset, every byte outside the objects padding, every path must lead back to its node, and
// naming and showing every node must hold. The input also goes through the tag-file reader.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/tlv/TlvPath.h"
#include "insight/TlvDictionary.h"

namespace {

bool IsPadding(std::uint8_t b) {
    return b == 0x00 || b == 0xFF;
}

// The nodes of one level lie in [begin, end) in order, as the input's bytes, with only
// padding between them; returns how many nodes the level and those below it hold.
std::size_t CheckLevel(const std::vector<TlvNode>& nodes, const std::uint8_t* data,
                       std::size_t begin, std::size_t end, const TlvTree& tree,
                       const TlvDictionary& dictionary, std::vector<std::uint32_t>& parents) {
    std::size_t count = 0;
    std::size_t at = begin;
    for (const TlvNode& node : nodes) {
        FUZZ_CHECK(node.offset >= at && node.offset + node.Size() <= end);
        FUZZ_CHECK(std::all_of(data + at, data + node.offset, IsPadding));
        FUZZ_CHECK(std::equal(node.header.begin(), node.header.end(), data + node.offset));
        FUZZ_CHECK(std::equal(node.value.begin(), node.value.end(),
                              data + node.offset + node.header.size()));
        FUZZ_CHECK(node.cut == (node.value.size() < node.length));
        FUZZ_CHECK(node.value.size() <= node.length);
        FUZZ_CHECK(node.children.empty() || (node.constructed && !node.raw));
        FUZZ_CHECK(!dictionary.Describe(node, parents).name.empty());
        if (node.kind == TlvNodeKind::Object) {
            TlvPath path;
            FUZZ_CHECK(!ParseTlvPath(node.path, path));
            FUZZ_CHECK(FindTlvNode(tree, path) == &node);
        } else {
            FUZZ_CHECK(node.header.empty() && node.children.empty());
        }
        for (int format = 0; format <= static_cast<int>(TlvFormat::Cplc); ++format) {
            FormatTlvValue(static_cast<TlvFormat>(format), node.value);
        }
        const std::size_t valueStart = node.offset + node.header.size();
        parents.push_back(node.tag);
        count += 1 + CheckLevel(node.children, data, valueStart, valueStart + node.value.size(),
                                tree, dictionary, parents);
        parents.pop_back();
        if (!node.children.empty()) {
            const TlvNode& last = node.children.back();
            FUZZ_CHECK(last.cut || std::all_of(data + last.offset + last.Size(),
                                               data + valueStart + node.value.size(), IsPadding));
        }
        at = node.offset + node.Size();
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's size, so that a read past the end is caught.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const TlvTree tree = DecodeBerTlv(bytes);
    static const TlvDictionary dictionary;
    std::vector<std::uint32_t> parents;
    const std::size_t count =
        CheckLevel(tree.nodes, bytes.data(), 0, bytes.size(), tree, dictionary, parents);
    if (!tree.IsTlv()) {
        FUZZ_CHECK(tree.nodes.size() == 1 && tree.nodes[0].value == bytes);
    } else if (!tree.nodes.empty()) {
        const TlvNode& last = tree.nodes.back();
        FUZZ_CHECK(
            last.cut || last.kind == TlvNodeKind::Trailing ||
            std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(last.offset + last.Size()),
                        bytes.end(), IsPadding));
    }
    FUZZ_CHECK(size == 0 || !tree.nodes.empty());
    FUZZ_CHECK(TlvTreeLines(tree, dictionary).size() == count);

    std::string error;
    const std::vector<TlvEntry> entries =
        ParseTlvEntries(std::string(reinterpret_cast<const char*>(data), size), error);
    FUZZ_CHECK(entries.empty() || error.empty());
    return 0;
}
