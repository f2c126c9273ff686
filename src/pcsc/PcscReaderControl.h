#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/session/ReaderControl.h"

// A connection to one reader through the platform's PC/SC service, with a context of its
// own: shared when a card is in the reader (and answers), direct otherwise. The context
// and the connection are given back by Close or at the latest when the object goes.
class PcscReaderControl : public ReaderControl {
  public:
    PcscReaderControl() = default;
    ~PcscReaderControl() override;
    PcscReaderControl(const PcscReaderControl&) = delete;
    PcscReaderControl& operator=(const PcscReaderControl&) = delete;

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
    struct Native;
    std::unique_ptr<Native> native_;
    std::string reader_;
};

class PcscReaderControlFactory : public ReaderControlFactory {
  public:
    std::unique_ptr<ReaderControl> Create() override;
};
