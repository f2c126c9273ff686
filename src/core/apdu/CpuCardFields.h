#pragma once

#include <cstddef>

#include "core/apdu/FieldRules.h"

// Lengths of the Lc field: six characters under T=1 (and at start), one parameter byte P3
// under T=0.
inline constexpr std::size_t kLcMaxLengthT1 = 6;
inline constexpr std::size_t kLcMaxLengthT0 = 2;

// The typing rules of the CPU card page's fields CLA, INS, P1, P2, Lc, DATA, Le.
FieldRules CpuCardFieldRules();
