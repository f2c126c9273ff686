#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// BER-TLV as ISO/IEC 7816-4 and EMV use it: tags of one or more bytes, the constructed bit
// (bit 6 of the first tag byte), lengths in one byte or 81 xx, 82 xxxx, 83 xxxxxx, and 00 or
// FF padding between objects. The decoder is lossless and tolerant: every node keeps its
// offset and its bytes, and what does not parse is kept and marked rather than dropped.
// Plain C++, so that the script engine checks replies with the same decoder that names them.

enum class TlvNodeKind {
    Object,    // a tag, a length and a value
    Trailing,  // bytes after the last object that do not form one
    NotTlv,    // the whole reply, which is not BER-TLV at all
};

struct TlvNode {
    TlvNodeKind kind = TlvNodeKind::Object;
    std::uint32_t tag = 0;   // the tag's bytes as one number, e.g. 0x9F38; 0 unless Object
    std::size_t offset = 0;  // of the node's first byte in the decoded bytes
    std::size_t length = 0;  // as the length field announces it
    std::vector<std::uint8_t> header;  // tag and length bytes; empty unless Object
    std::vector<std::uint8_t> value;   // the value as far as the bytes go; all bytes otherwise
    std::vector<TlvNode> children;     // of a constructed object whose content parses
    bool constructed = false;          // bit 6 of the first tag byte
    bool raw = false;  // constructed, but the content does not parse: shown as raw bytes
    bool cut = false;  // the length runs past the end; the value is cut at the end
    std::string path;  // e.g. "6F/A5/50"; a tag repeated among its siblings carries "[n]"

    std::size_t Size() const { return header.size() + value.size(); }
};

struct TlvTree {
    std::vector<TlvNode> nodes;  // the top-level objects, then Trailing; or one NotTlv node
    bool IsTlv() const { return nodes.empty() || nodes.front().kind != TlvNodeKind::NotTlv; }
};

// Decodes `size` bytes (a reply's data, without its status word). No bytes give no nodes.
TlvTree DecodeBerTlv(const std::uint8_t* bytes, std::size_t size);
TlvTree DecodeBerTlv(const std::vector<std::uint8_t>& bytes);

// A tag as upper-case hex without blanks, "9F38".
std::string TlvTagText(std::uint32_t tag);

// The tag's class from bits 8 and 7 of its first byte.
enum class TlvClass { Universal, Application, ContextSpecific, Private };
TlvClass TlvClassOf(std::uint32_t tag);
