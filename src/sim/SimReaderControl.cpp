#include "sim/SimReaderControl.h"

#include <cstring>
#include <mutex>

#include "core/session/PcscCodes.h"
#include "sim/SimCardLibrary.h"

namespace {

using pcsc_codes::kSuccess;

constexpr std::uint32_t kNoSmartcard = pcsc_codes::kNoSmartcard;
constexpr std::uint32_t kInvalidHandle = pcsc_codes::kInvalidHandle;

// pcsc-lite's numbering of vendor control codes, and the PIN-pad class's feature codes.
constexpr std::uint32_t CtlCode(std::uint32_t function) {
    return 0x42000000 + function;
}
constexpr std::uint32_t kFeatureRequest = CtlCode(3400);
constexpr std::uint32_t kEscape = CtlCode(kCcidEscapeFunction);
constexpr std::uint32_t kVerifyPinDirect = 0x42330006;
constexpr std::uint32_t kModifyPinDirect = 0x42330007;
constexpr std::uint32_t kPinProperties = 0x4233000A;
constexpr std::uint32_t kTlvProperties = 0x42330012;

using Bytes = std::vector<std::uint8_t>;

void AppendFeature(Bytes& list, std::uint8_t tag, std::uint32_t code) {
    list.insert(
        list.end(),
        {tag, 4, static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
         static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)});
}

Bytes FeatureList() {
    Bytes list;
    AppendFeature(list, 0x06, kVerifyPinDirect);
    AppendFeature(list, 0x07, kModifyPinDirect);
    AppendFeature(list, 0x0A, kPinProperties);
    AppendFeature(list, 0x12, kTlvProperties);
    AppendFeature(list, 0x13, kEscape);
    return list;
}

Bytes TlvProperties() {
    Bytes tlv{0x01, 2, 0x10, 0x02,              // wLcdLayout: 2 lines of 16
              0x02, 1, 0x02,                    // bEntryValidationCondition: validation key
              0x03, 1, 0x1E,                    // bTimeOut2: 30 s
              0x04, 2, 0x10, 0x00,              // wLcdMaxCharacters
              0x05, 2, 0x02, 0x00,              // wLcdMaxLines
              0x06, 1, 0x04,                    // bMinPINSize
              0x07, 1, 0x08,                    // bMaxPINSize
              0x09, 1, 0x01,                    // bPPDUSupport: over the escape command
              0x0A, 4, 0x05, 0x01, 0x00, 0x00,  // dwMaxAPDUDataSize: 261
              0x0B, 2, 0x50, 0x5A,              // wIdVendor
              0x0C, 2, 0x23, 0x00};             // wIdProduct
    const std::size_t length = std::strlen(kSimFirmwareId);
    tlv.push_back(0x08);
    tlv.push_back(static_cast<std::uint8_t>(length));
    tlv.insert(tlv.end(), kSimFirmwareId, kSimFirmwareId + length);
    return tlv;
}

Bytes Number(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

Bytes Text(const std::string& text) {
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

}  // namespace

SimReaderControl::SimReaderControl(std::vector<SimReaderSnapshot> readers)
    : readers_(std::move(readers)) {}

std::uint32_t SimReaderControl::Open(const std::string& reader, ReaderAccess& access) {
    for (const SimReaderSnapshot& candidate : readers_) {
        if (candidate.name == reader) {
            open_ = &candidate;
            access = candidate.hasCard ? ReaderAccess::Shared : ReaderAccess::Direct;
            return kSuccess;
        }
    }
    return pcsc_codes::kUnknownReader;
}

std::uint32_t SimReaderControl::GetAttribute(ReaderAttribute attribute, Bytes& value) {
    if (open_ == nullptr) {
        return kInvalidHandle;
    }
    switch (attribute) {
        case ReaderAttribute::VendorName:
            value = Text("ZP Simulated");
            break;
        case ReaderAttribute::VendorIfdType:
            value = Text("PIN-pad reader");
            break;
        case ReaderAttribute::VendorIfdVersion:
            value = Number(0x01020003);
            break;
        case ReaderAttribute::ChannelId:
            value = Number(0x00200101);
            break;
        case ReaderAttribute::ProtocolTypes:
            value = Number(3);
            break;
        case ReaderAttribute::DefaultClock:
            value = Number(4000);
            break;
        case ReaderAttribute::MaxClock:
            value = Number(12000);
            break;
        case ReaderAttribute::DefaultDataRate:
            value = Number(10752);
            break;
        case ReaderAttribute::MaxDataRate:
            value = Number(412903);
            break;
        case ReaderAttribute::MaxIfsd:
            value = Number(254);
            break;
        case ReaderAttribute::CurrentProtocolType:
            if (!open_->hasCard) {
                return kNoSmartcard;
            }
            value = Number(open_->protocol);
            break;
        case ReaderAttribute::IccPresence:
            value = {static_cast<std::uint8_t>(open_->hasCard ? 2 : 0)};
            break;
        case ReaderAttribute::IccInterfaceStatus:
            value = {static_cast<std::uint8_t>(open_->hasCard ? 1 : 0)};
            break;
        case ReaderAttribute::AtrString:
            value = open_->atr;
            break;
        case ReaderAttribute::DeviceFriendlyName:
            value = Text(open_->name);
            break;
        default:
            // No serial number, no power management to report.
            return pcsc_codes::kUnsupportedFeature;
    }
    return kSuccess;
}

std::uint32_t SimReaderControl::Control(std::uint32_t code, const Bytes&, Bytes& reply) {
    reply.clear();
    if (open_ == nullptr) {
        return kInvalidHandle;
    }
    switch (code) {
        case kFeatureRequest:
            reply = FeatureList();
            return kSuccess;
        case kPinProperties:
            reply = {0x10, 0x02, 0x02, 0x1E};
            return kSuccess;
        case kTlvProperties:
            reply = TlvProperties();
            return kSuccess;
        case kEscape:
            reply.assign(kSimFirmwareId, kSimFirmwareId + std::strlen(kSimFirmwareId));
            return kSuccess;
        case kVerifyPinDirect:
        case kModifyPinDirect:
            if (!open_->hasCard) {
                return kNoSmartcard;
            }
            reply = {0x64, 0x00};  // nobody typed a PIN: the entry timed out
            return kSuccess;
        default:
            return pcsc_codes::kUnsupportedFeature;
    }
}

std::uint32_t SimReaderControl::Status(ReaderStatusFacts& status) {
    if (open_ == nullptr) {
        return kInvalidHandle;
    }
    status = ReaderStatusFacts{};
    status.present = open_->hasCard;
    status.empty = !open_->hasCard;
    status.inUse = open_->inUse;
    status.eventCounter = open_->events;
    status.protocol = open_->hasCard ? open_->protocol : 0;
    status.atr = open_->atr;
    return kSuccess;
}

std::uint32_t SimReaderControl::Close() {
    const bool wasOpen = open_ != nullptr;
    open_ = nullptr;
    return wasOpen ? kSuccess : kInvalidHandle;
}

std::uint32_t SimReaderControl::ControlCode(std::uint32_t function) const {
    return CtlCode(function);
}

std::uint32_t SimReaderControl::FeatureRequestCode() const {
    return kFeatureRequest;
}

std::unique_ptr<ReaderControl> SimReaderControlFactory::Create() {
    // The snapshot reads the library that stress and script workers drive meanwhile.
    std::lock_guard lock(library_.SharedLock());
    std::vector<SimReaderSnapshot> readers;
    std::uint32_t context = 0;
    library_.CardEstablishContext(2, nullptr, nullptr, &context);
    for (std::size_t i = 0; i < library_.Readers().size(); ++i) {
        const int index = static_cast<int>(i);
        if (!library_.IsAttached(index)) {
            continue;
        }
        SimReaderSnapshot reader;
        reader.name = library_.Readers()[i];
        reader.events = library_.CardEvents(index);
        if (const SimCard* card = library_.CardIn(index)) {
            reader.hasCard = true;
            reader.atr = card->Atr();
            reader.protocol = card->Protocol();
            ReaderState state;
            state.reader = reader.name.c_str();
            reader.inUse = library_.CardGetStatusChange(context, 0, &state, 1) == kSuccess &&
                           (state.eventState & 0x0100) != 0;
        }
        readers.push_back(std::move(reader));
    }
    library_.CardReleaseContext(context);
    return std::make_unique<SimReaderControl>(std::move(readers));
}
