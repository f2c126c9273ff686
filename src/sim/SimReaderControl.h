#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/session/ReaderControl.h"

class SimCardLibrary;

// What a simulated reader looks like to a reader-control connection: the readers attached
// when it was made, each a PIN-pad reader on USB, and the card in each.
struct SimReaderSnapshot {
    std::string name;
    bool hasCard = false;
    bool inUse = false;
    std::uint32_t events = 0;
    std::uint32_t protocol = 0;
    std::vector<std::uint8_t> atr;
};

// The simulated PIN-pad reader's firmware, answered by its escape command and named in its
// TLV properties.
inline constexpr const char* kSimFirmwareId = "ZP PIN-pad 1.2.3";

// A connection to a simulated PIN-pad reader: attributes, the feature list, PIN and TLV
// properties, and the CCID-style escape command at SCARD_CTL_CODE(3500), which answers the
// firmware string. Control codes on pcsc-lite's numbering; any code the reader does not
// know is refused with SCARD_E_UNSUPPORTED_FEATURE. It works on the snapshot it was made
// with, so it touches the simulated library on no other thread.
class SimReaderControl : public ReaderControl {
  public:
    explicit SimReaderControl(std::vector<SimReaderSnapshot> readers);

    std::uint32_t Open(const std::string& reader, ReaderAccess& access) override;
    std::uint32_t GetAttribute(ReaderAttribute attribute,
                               std::vector<std::uint8_t>& value) override;
    std::uint32_t Control(std::uint32_t code, const std::vector<std::uint8_t>& data,
                          std::vector<std::uint8_t>& reply) override;
    std::uint32_t Status(ReaderStatusFacts& status) override;
    std::uint32_t Close() override;
    std::uint32_t ControlCode(std::uint32_t function) const override;
    std::uint32_t FeatureRequestCode() const override;

  private:
    std::vector<SimReaderSnapshot> readers_;
    const SimReaderSnapshot* open_ = nullptr;
};

// Makes connections to the readers of a simulated library, as they are at the time. Create
// takes the library's shared lock, so it may run beside workers that use the library.
class SimReaderControlFactory : public ReaderControlFactory {
  public:
    explicit SimReaderControlFactory(SimCardLibrary& library) : library_(library) {}
    std::unique_ptr<ReaderControl> Create() override;

  private:
    SimCardLibrary& library_;
};
