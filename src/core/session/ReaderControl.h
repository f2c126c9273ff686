#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The reader itself, apart from any card in it: its attributes, its control channel
// (Part 10 features, vendor escape commands) and its state. Every operation answers a
// PC/SC code, 0 for success; the backend keeps the service's constants to itself.

// The attributes the program asks a reader for, in the order it shows them. The backend
// maps each to the service's attribute id.
enum class ReaderAttribute {
    VendorName,
    VendorIfdType,
    VendorIfdVersion,
    VendorIfdSerialNo,
    ChannelId,
    ProtocolTypes,
    DefaultClock,
    MaxClock,
    DefaultDataRate,
    MaxDataRate,
    MaxIfsd,
    PowerManagement,
    CurrentProtocolType,
    IccPresence,
    IccInterfaceStatus,
    AtrString,
    DeviceFriendlyName,
};
inline constexpr int kReaderAttributeCount = 17;

// The reader's state as the status query reports it, the flags already spelled out.
struct ReaderStatusFacts {
    bool present = false;
    bool empty = false;
    bool exclusive = false;
    bool inUse = false;
    bool mute = false;
    bool unpowered = false;
    std::uint32_t eventCounter = 0;  // card insertions and removals the service counted
    std::uint32_t protocol = 0;      // 1 = T=0, 2 = T=1; 0 without a connected card
    std::vector<std::uint8_t> atr;
};

// How Open reached the reader.
enum class ReaderAccess { Shared, Direct };

// One connection to one reader. An instance is used from one thread at a time; the PC/SC
// backend's instance holds its own context, so a worker thread may own one.
class ReaderControl {
  public:
    virtual ~ReaderControl() = default;

    // Connects to the reader: shared when a card is in it, direct (no card needed) otherwise.
    virtual std::uint32_t Open(const std::string& reader, ReaderAccess& access) = 0;
    // The attribute's raw value.
    virtual std::uint32_t GetAttribute(ReaderAttribute attribute,
                                       std::vector<std::uint8_t>& value) = 0;
    // One control exchange; the reply holds what the reader answered.
    virtual std::uint32_t Control(std::uint32_t code, const std::vector<std::uint8_t>& data,
                                  std::vector<std::uint8_t>& reply) = 0;
    virtual std::uint32_t Status(ReaderStatusFacts& status) = 0;
    // Disconnects, leaving the card as it is, and gives the context back.
    virtual std::uint32_t Close() = 0;

    // The platform's control code of vendor function n (SCARD_CTL_CODE(n)).
    virtual std::uint32_t ControlCode(std::uint32_t function) const = 0;
    // The control code that asks a reader for its Part 10 feature list.
    virtual std::uint32_t FeatureRequestCode() const = 0;
};

// Makes the connections of one platform. Create may be called on any thread; each
// instance is independent of the others.
class ReaderControlFactory {
  public:
    virtual ~ReaderControlFactory() = default;
    virtual std::unique_ptr<ReaderControl> Create() = 0;
};

// A number as the user gives a control code: up to 0xFFFF the vendor function n, giving
// SCARD_CTL_CODE(n); above that the full code itself.
inline std::uint32_t ResolveControlCode(const ReaderControl& control, std::uint32_t number) {
    return number > 0xFFFF ? number : control.ControlCode(number);
}

// The vendor function of the CCID driver's escape command.
inline constexpr std::uint32_t kCcidEscapeFunction = 3500;
