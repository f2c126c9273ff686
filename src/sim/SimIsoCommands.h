#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <random>

#include "sim/SimCard.h"

// Status words of the ISO 7816-4 command set.
namespace sw {
inline constexpr std::uint16_t kOk = 0x9000;
inline constexpr std::uint16_t kEndOfFile = 0x6282;
inline constexpr std::uint16_t kWrongLength = 0x6700;
inline constexpr std::uint16_t kConditionsNotSatisfied = 0x6985;
inline constexpr std::uint16_t kNoCurrentEf = 0x6986;
inline constexpr std::uint16_t kFunctionNotSupported = 0x6A81;
inline constexpr std::uint16_t kFileNotFound = 0x6A82;
inline constexpr std::uint16_t kNotEnoughSpace = 0x6A84;
inline constexpr std::uint16_t kWrongP1P2 = 0x6A86;
inline constexpr std::uint16_t kDataNotFound = 0x6A88;
inline constexpr std::uint16_t kOffsetOutside = 0x6B00;
inline constexpr std::uint16_t kUnknownInstruction = 0x6D00;
inline constexpr std::uint16_t kUnknownClass = 0x6E00;
}  // namespace sw

// A command APDU taken apart. `ne` is the most response data wanted; 0 when none.
struct IsoCommand {
    std::uint8_t cla = 0;
    std::uint8_t ins = 0;
    std::uint8_t p1 = 0;
    std::uint8_t p2 = 0;
    Bytes data;
    std::uint32_t ne = 0;
};

struct IsoResponse {
    Bytes data;
    std::uint16_t sw = sw::kOk;
};

// The file system and command set of the simulated CPU card: a master file 3F00 holding
// the transparent files 2F00 (32 bytes) and 0002 (512 bytes) and one application, F0 5A 50
// 54 45 53 54, whose SELECT by name answers an FCI; SELECT by file identifier,
// READ BINARY, UPDATE BINARY, GET CHALLENGE and GET DATA (tag 5A, the serial number).
class SimIsoCommands {
  public:
    static constexpr std::uint16_t kMasterFile = 0x3F00;

    SimIsoCommands();

    IsoResponse Process(const IsoCommand& command);
    // The status word refusing a class or instruction the card does not know, else 0.
    static std::uint16_t CheckClassAndInstruction(std::uint8_t cla, std::uint8_t ins);
    // The selected file is forgotten at power down.
    void Reset() { currentEf_.reset(); }
    // Contents of an elementary file; null when there is no such file.
    const Bytes* File(std::uint16_t fid) const;

  private:
    IsoResponse Select(const IsoCommand& command);
    IsoResponse SelectApplication(const IsoCommand& command);
    IsoResponse ReadBinary(const IsoCommand& command);
    IsoResponse UpdateBinary(const IsoCommand& command);
    IsoResponse GetChallenge(const IsoCommand& command);
    IsoResponse GetData(const IsoCommand& command) const;
    Bytes ControlParameters(std::uint16_t fid) const;

    std::map<std::uint16_t, Bytes> files_;
    std::optional<std::uint16_t> currentEf_;
    std::mt19937 random_;
};
