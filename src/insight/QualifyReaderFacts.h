#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ReaderControl;

// What a qualification run takes from the reader itself: the lengths its attributes and
// properties name (the maximum IFSD, the largest APDU data it carries), and the control
// code of its PIN pad's verify.
struct QualifyReaderFacts {
    std::vector<std::uint32_t> limits;
    std::optional<std::uint32_t> verifyPinDirect;
};

// Opens the reader, reads its attributes and features and closes it again; what the reader
// refuses is left out.
QualifyReaderFacts ReadQualifyReaderFacts(ReaderControl& control, const std::string& reader);
