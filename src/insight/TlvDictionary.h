#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/tlv/BerTlv.h"

// Names and shown values of BER-TLV objects. A tag's meaning depends on its template (84
// under 6F is the DF name, 83 under 62 the file identifier), so each entry names the parent
// it applies under, or any parent. Ours cover ISO/IEC 7816-4's FCP, FCI and FMD templates,
// EMV's common tags and GlobalPlatform's card data and CPLC; the user's own are merged over
// them.

// How an object's value is shown.
enum class TlvFormat {
    Hex,             // bytes as hex
    Text,            // printable 8-bit text
    Number,          // unsigned big-endian, in decimal
    Bcd,             // BCD digits, a trailing F nibble dropped
    Date,            // YYMMDD in BCD, shown 20YY-MM-DD
    Country,         // ISO 3166 numeric, in BCD
    Currency,        // ISO 4217 numeric, in BCD
    FileDescriptor,  // ISO/IEC 7816-4 file descriptor byte and what follows it
    LifeCycle,       // ISO/IEC 7816-4 life cycle status byte
    Aip,             // EMV application interchange profile
    Tvr,             // EMV terminal verification results
    Dol,             // data object list: tags and lengths
    Oid,             // object identifier, dotted
    Cplc,            // GlobalPlatform card production life cycle data
};

// Any parent, in an entry's `parent`.
inline constexpr std::uint32_t kAnyParent = 0xFFFFFFFF;
// The top level, no parent.
inline constexpr std::uint32_t kNoParent = 0;

struct TlvEntry {
    std::uint32_t tag = 0;
    std::uint32_t parent = kAnyParent;
    std::string name;
    TlvFormat format = TlvFormat::Hex;
};

// What a node shows: its name and its value as text ("" for a constructed object).
struct TlvDescription {
    std::string name;
    std::string value;
};

class TlvDictionary {
  public:
    // Ours only.
    TlvDictionary();

    // Merges entries over the current ones: an entry for the same tag and parent replaces.
    void Merge(const std::vector<TlvEntry>& entries);

    // The entry for `tag` under the template `parent` (kNoParent at the top): one for that
    // parent first, then one for any parent; user entries before ours.
    const TlvEntry* Find(std::uint32_t tag, std::uint32_t parent) const;

    // Name and shown value of a node given the tags of its templates from the top (empty at
    // the top level). Unknown tags are named by class and kind, "context-specific, primitive";
    // trailing bytes and a reply that is not TLV are named as such.
    TlvDescription Describe(const TlvNode& node, std::span<const std::uint32_t> parents) const;

  private:
    std::vector<TlvEntry> entries_;  // later entries win
};

// Reads the user's tag file: one entry a line, "TAG PARENT FORMAT NAME", e.g.
// "DF01 A5 text Issuer's note"; PARENT is a tag, "*" for any or "-" for the top level;
// FORMAT is one of hex, text, number, bcd, date, country, currency, dol, oid. '#' starts
// a comment. On a fault, `error` reads "line 3: ..." and no entries are returned.
std::vector<TlvEntry> ParseTlvEntries(const std::string& text, std::string& error);

// One entry of a data object list: a tag and the length the card asks for.
struct TlvDolItem {
    std::uint32_t tag = 0;
    std::size_t length = 0;
};
// The entries of a data object list; nothing when the bytes are not one.
std::optional<std::vector<TlvDolItem>> ReadTlvDol(const std::vector<std::uint8_t>& value);

// A value shown in a format; bytes that do not fit the format are shown as hex.
std::string FormatTlvValue(TlvFormat format, const std::vector<std::uint8_t>& value);

// The tree as indented lines, one per node: "6F FCI template", then "  84 DF name: A0 00 ..."
// two blanks deeper per level, with the marks of raw, cut, trailing and not-TLV nodes.
std::vector<std::string> TlvTreeLines(const TlvTree& tree, const TlvDictionary& dictionary);

// The user's tag file in the program's configuration folder, shared by its three programs:
// "zp-readertest/tags.txt" under QStandardPaths::GenericConfigLocation (~/.config).
std::string TlvUserFile();

// The dictionary the program uses: ours, then the user's file (when there is one), then
// `extraFile` if given. A file that cannot be read or parsed is left out; its fault is
// added to `errors`, "FILE: line 3: ...".
TlvDictionary LoadTlvDictionary(const std::string& extraFile, std::vector<std::string>& errors);
