#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/tlv/BerTlv.h"

// A path to an object in a decoded reply: tags from the top, separated by '/', each with an
// optional 1-based index among the siblings that carry the same tag, "70/61[2]/4F".

struct TlvPathStep {
    std::uint32_t tag = 0;
    int index = 1;
};
using TlvPath = std::vector<TlvPathStep>;

// Where a path text is faulty: the 0-based place of the fault in the text and what is wrong.
struct TlvPathError {
    std::size_t at = 0;
    std::string message;
};

// Reads "6F/A5/50" or "70/61[2]/4F"; each tag in hex, as many bytes as BER-TLV encodes it.
std::optional<TlvPathError> ParseTlvPath(std::string_view text, TlvPath& path);

// The path as text, the index written only when it is not 1: "70/61[2]/4F".
std::string TlvPathText(const TlvPath& path);

// The object at the path, or nullptr.
const TlvNode* FindTlvNode(const TlvTree& tree, const TlvPath& path);
