#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The names of the PC/SC return codes, as the resource manager's headers spell them, so that
// a failed call can be shown by name. The table is the program's own: the card facts do not
// depend on the PC/SC headers.

// The code's name, or an empty view for a code that has none. SCARD_E_UNSUPPORTED_FEATURE is
// the standard 0x80100022, as the card library answers it; 0x8010001F is SCARD_E_UNEXPECTED.
std::string_view PcscCodeName(std::uint32_t code);

// The name, or "0x" and the code as eight capital hex digits when it has none.
std::string PcscCodeText(std::uint32_t code);
