#pragma once

#include <optional>
#include <string>

#include "core/contactless/ClassicCard.h"

// The binary dump the MIFARE tools share: the card's blocks one after another, 320 bytes for
// a Mini, 1024 for a 1K, 4096 for a 4K, with the known keys in the trailers.

bool SaveMfd(const std::string& path, const ClassicImage& image, std::string& error);
// Every sector of a loaded dump counts as read, with no key known.
std::optional<ClassicImage> LoadMfd(const std::string& path, std::string& error);
std::optional<ClassicImage> ImageFromMfd(const Bytes& bytes, std::string& error);
