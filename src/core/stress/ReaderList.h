#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CardLibrary;

// The names of the attached readers, from a context of its own that is released again.
// Answers 0, or the PC/SC code of the call that failed (no service, no readers).
std::uint32_t ListAttachedReaders(CardLibrary& library, std::vector<std::string>& names);
