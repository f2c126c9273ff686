#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/session/ReaderControl.h"

// Reader attributes by name and decoded, from the raw bytes the reader answered. Numbers
// are the reader's little-endian values of one to four bytes (or eight, a 64-bit DWORD);
// texts may end in zeros.

// The attribute's constant, e.g. "SCARD_ATTR_VENDOR_NAME".
std::string_view AttributeConstantName(ReaderAttribute attribute);
// Its name for people, e.g. "Vendor name".
std::string_view AttributeLabel(ReaderAttribute attribute);

// The value decoded: "4000 kHz", "USB, channel 0x0305", "T=0, T=1", "1.2.3"...; a value of
// an unexpected length is shown as hex with its length.
std::string DescribeAttribute(ReaderAttribute attribute, const std::uint8_t* value,
                              std::size_t length);

// The little-endian number of one to four bytes, or of eight whose upper four are zero;
// nothing for any other length.
std::optional<std::uint32_t> AttributeNumber(const std::uint8_t* bytes, std::size_t length);

// Version 0xMMmmbbbb as "MM.mm.bbbb" in decimal.
std::string IfdVersionText(std::uint32_t version);
// Channel 0xDDDDCCCC: the bus DDDD by name and the channel number CCCC.
std::string ChannelIdText(std::uint32_t channel);
// Protocol bit mask: bit n set offers T=n; "none" for zero.
std::string ProtocolMaskText(std::uint32_t mask);

// The status query's flags spelled out: "present, in use, ..."; "none" without any.
std::string ReaderStateFlagsText(const ReaderStatusFacts& status);
