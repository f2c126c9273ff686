#pragma once

#include <optional>
#include <string>

#include "core/contactless/ClassicCard.h"
#include "core/contactless/ReaderProbe.h"

// The contactless dumps and reports the window and the contactless command save and print.

// The card as JSON: type, UID, per sector the key that opened it (type and key) or null, and
// every block in hex (null where it was not read).
std::string ClassicImageJson(const ClassicImage& image);
// A JSON dump read back: the blocks and the keys that opened each sector; nothing, with the
// reason in `error`, when the text is not such a dump.
std::optional<ClassicImage> ClassicImageFromJson(const std::string& json, std::string& error);

// The sector grid: one line per sector with the key that opened it, or "no key".
std::string SectorGridText(const ClassicImage& image);

std::string ProbeReportText(const ProbeReport& report);
std::string ProbeReportJson(const ProbeReport& report);
