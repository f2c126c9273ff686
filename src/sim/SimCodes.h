#pragma once

#include "core/session/PcscCodes.h"

// The PC/SC return codes the simulated reader answers, as the 32-bit values the card
// library hands out.
namespace sim_codes {
using namespace pcsc_codes;
}  // namespace sim_codes
