#include "insight/TlvTags.h"

namespace {

using F = TlvFormat;
constexpr std::uint32_t kAny = kAnyParent;

// The file control parameters of ISO/IEC 7816-4, valid in an FCP (62) and in an FCI (6F).
const TlvEntry kFileControl[] = {
    {0x80, 0, "Number of data bytes in the file", F::Number},
    {0x81, 0, "Number of data bytes, structural information included", F::Number},
    {0x82, 0, "File descriptor", F::FileDescriptor},
    {0x83, 0, "File identifier", F::Hex},
    {0x84, 0, "DF name", F::Hex},
    {0x85, 0, "Proprietary information, primitive", F::Hex},
    {0x86, 0, "Security attribute, proprietary format", F::Hex},
    {0x87, 0, "Identifier of an EF holding an FCI extension", F::Hex},
    {0x88, 0, "Short EF identifier", F::Hex},
    {0x8A, 0, "Life cycle status", F::LifeCycle},
    {0x8B, 0, "Security attribute, referencing the expanded format", F::Hex},
    {0x8C, 0, "Security attribute, compact format", F::Hex},
    {0x8D, 0, "Identifier of an EF holding security environment templates", F::Hex},
    {0x8E, 0, "Channel security attribute", F::Hex},
    {0xA0, 0, "Security attribute template for data objects", F::Hex},
    {0xA1, 0, "Security attribute template, proprietary format", F::Hex},
    {0xA2, 0, "Template of short EF identifiers and EF paths", F::Hex},
    {0xA5, 0, "Proprietary information, constructed", F::Hex},
    {0xAB, 0, "Security attribute template, expanded format", F::Hex},
    {0xAC, 0, "Cryptographic mechanism identifier template", F::Hex},
};

std::vector<TlvEntry> Entries() {
    std::vector<TlvEntry> entries = {
        // ISO/IEC 7816-4 templates.
        {0x62, kAny, "File control parameters (FCP template)", F::Hex},
        {0x64, kAny, "File management data (FMD template)", F::Hex},
        {0x6F, kAny, "File control information (FCI template)", F::Hex},
        {0x06, kAny, "Object identifier", F::Oid},
        {0x7E, kAny, "Discovery object", F::Hex},
        {0x4F, 0x7E, "PIV card application AID", F::Hex},
        {0x5F2F, 0x7E, "PIN usage policy", F::Hex},
        // ISO/IEC 7816-4 security conditions in an expanded security attribute template.
        {0x80, 0xAB, "Access mode byte", F::Hex},
        {0x90, 0xAB, "Always", F::Hex},
        {0x97, 0xAB, "Never", F::Hex},
        {0xA0, 0xAB, "At least one condition (OR template)", F::Hex},
        {0xA4, 0xAB, "Authentication template", F::Hex},
        {0xAF, 0xAB, "Every condition (AND template)", F::Hex},
        {0xB4, 0xAB, "Cryptographic checksum template", F::Hex},
        {0xB6, 0xAB, "Digital signature template", F::Hex},
        {0xB8, 0xAB, "Confidentiality template", F::Hex},
        // EMV: templates.
        {0xA5, 0x6F, "FCI proprietary template", F::Hex},
        {0xBF0C, kAny, "FCI issuer discretionary data", F::Hex},
        {0x61, kAny, "Application template", F::Hex},
        {0x70, kAny, "Record template", F::Hex},
        {0x73, kAny, "Directory discretionary template", F::Hex},
        {0x77, kAny, "Response message template format 2", F::Hex},
        {0x80, kNoParent, "Response message template format 1", F::Hex},
        {0x82, 0x77, "Application interchange profile", F::Aip},
        // EMV: data elements.
        {0x42, kAny, "Issuer identification number", F::Hex},
        {0x4F, kAny, "Application identifier (AID)", F::Hex},
        {0x50, kAny, "Application label", F::Text},
        {0x57, kAny, "Track 2 equivalent data", F::Hex},
        {0x5A, kAny, "Application primary account number (PAN)", F::Bcd},
        {0x5F20, kAny, "Cardholder name", F::Text},
        {0x5F24, kAny, "Application expiration date", F::Date},
        {0x5F25, kAny, "Application effective date", F::Date},
        {0x5F28, kAny, "Issuer country code", F::Country},
        {0x5F2A, kAny, "Transaction currency code", F::Currency},
        {0x5F2D, kAny, "Language preference", F::Text},
        {0x5F30, kAny, "Service code", F::Bcd},
        {0x5F34, kAny, "PAN sequence number", F::Bcd},
        {0x5F50, kAny, "Issuer URL", F::Text},
        {0x5F55, kAny, "Issuer country code (alpha-2)", F::Text},
        {0x5F56, kAny, "Issuer country code (alpha-3)", F::Text},
        {0x87, kAny, "Application priority indicator", F::Hex},
        {0x88, kAny, "Short file identifier (SFI)", F::Hex},
        {0x8C, kAny, "Card risk management data object list 1 (CDOL1)", F::Dol},
        {0x8D, kAny, "Card risk management data object list 2 (CDOL2)", F::Dol},
        {0x8E, kAny, "Cardholder verification method (CVM) list", F::Hex},
        {0x8F, kAny, "Certification authority public key index", F::Hex},
        {0x90, kAny, "Issuer public key certificate", F::Hex},
        {0x92, kAny, "Issuer public key remainder", F::Hex},
        {0x93, kAny, "Signed static application data", F::Hex},
        {0x94, kAny, "Application file locator (AFL)", F::Hex},
        {0x95, kAny, "Terminal verification results", F::Tvr},
        {0x97, kAny, "Transaction certificate data object list (TDOL)", F::Dol},
        {0x9A, kAny, "Transaction date", F::Date},
        {0x9C, kAny, "Transaction type", F::Hex},
        {0x9F02, kAny, "Amount, authorised", F::Bcd},
        {0x9F03, kAny, "Amount, other", F::Bcd},
        {0x9F07, kAny, "Application usage control", F::Hex},
        {0x9F08, kAny, "Application version number", F::Hex},
        {0x9F0B, kAny, "Cardholder name extended", F::Text},
        {0x9F0D, kAny, "Issuer action code, default", F::Hex},
        {0x9F0E, kAny, "Issuer action code, denial", F::Hex},
        {0x9F0F, kAny, "Issuer action code, online", F::Hex},
        {0x9F10, kAny, "Issuer application data", F::Hex},
        {0x9F11, kAny, "Issuer code table index", F::Number},
        {0x9F12, kAny, "Application preferred name", F::Text},
        {0x9F13, kAny, "Last online ATC register", F::Number},
        {0x9F17, kAny, "PIN try counter", F::Number},
        {0x9F1A, kAny, "Terminal country code", F::Country},
        {0x9F1F, kAny, "Track 1 discretionary data", F::Text},
        {0x9F21, kAny, "Transaction time", F::Bcd},
        {0x9F26, kAny, "Application cryptogram", F::Hex},
        {0x9F27, kAny, "Cryptogram information data", F::Hex},
        {0x9F32, kAny, "Issuer public key exponent", F::Hex},
        {0x9F33, kAny, "Terminal capabilities", F::Hex},
        {0x9F34, kAny, "CVM results", F::Hex},
        {0x9F35, kAny, "Terminal type", F::Hex},
        {0x9F36, kAny, "Application transaction counter (ATC)", F::Number},
        {0x9F37, kAny, "Unpredictable number", F::Hex},
        {0x9F38, kAny, "Processing options data object list (PDOL)", F::Dol},
        {0x9F42, kAny, "Application currency code", F::Currency},
        {0x9F44, kAny, "Application currency exponent", F::Number},
        {0x9F46, kAny, "ICC public key certificate", F::Hex},
        {0x9F47, kAny, "ICC public key exponent", F::Hex},
        {0x9F48, kAny, "ICC public key remainder", F::Hex},
        {0x9F49, kAny, "Dynamic data authentication data object list (DDOL)", F::Dol},
        {0x9F4A, kAny, "Static data authentication tag list", F::Hex},
        {0x9F4B, kAny, "Signed dynamic application data", F::Hex},
        {0x9F4C, kAny, "ICC dynamic number", F::Hex},
        {0x9F4D, kAny, "Log entry", F::Hex},
        {0x9F4F, kAny, "Log format", F::Dol},
        {0x9F66, kAny, "Terminal transaction qualifiers", F::Hex},
        {0x9F6C, kAny, "Card transaction qualifiers", F::Hex},
        {0x9F6E, kAny, "Form factor indicator", F::Hex},
        // GlobalPlatform: card data, key information, registry entries, CPLC.
        {0x45, kAny, "Card image number", F::Hex},
        {0x66, kAny, "Card data", F::Hex},
        {0x73, 0x66, "Card recognition data", F::Hex},
        {0x60, 0x73, "Card management type and version", F::Hex},
        {0x63, 0x73, "Card identification scheme", F::Hex},
        {0x64, 0x73, "Secure channel protocol and options", F::Hex},
        {0x65, 0x73, "Card configuration details", F::Hex},
        {0x66, 0x73, "Card and chip details", F::Hex},
        {0x67, 0x73, "Security domain trust point certificate information", F::Hex},
        {0x68, 0x73, "Security domain certificate information", F::Hex},
        {0xE0, kAny, "Key information template", F::Hex},
        {0xC0, 0xE0, "Key information data", F::Hex},
        {0xE3, kAny, "Registry entry", F::Hex},
        {0x9F70, kAny, "Life cycle state", F::Hex},
        {0xC5, 0xE3, "Privileges", F::Hex},
        {0xCC, 0xE3, "Associated security domain AID", F::Hex},
        {0x9F7F, kAny, "Card production life cycle data (CPLC)", F::Cplc},
    };
    for (const std::uint32_t parent : {0x62u, 0x6Fu}) {
        for (TlvEntry entry : kFileControl) {
            if (parent == 0x6F && entry.tag == 0xA5) {
                continue;  // the FCI's own proprietary template
            }
            entry.parent = parent;
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

}  // namespace

const std::vector<TlvEntry>& BuiltinTlvEntries() {
    static const std::vector<TlvEntry> entries = Entries();
    return entries;
}
