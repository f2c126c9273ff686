#pragma once

#include <vector>

#include "insight/TlvDictionary.h"

// Our entries: ISO/IEC 7816-4 templates and file control parameters, EMV's common tags,
// GlobalPlatform's card data, registry and CPLC, and the PIV discovery object.
const std::vector<TlvEntry>& BuiltinTlvEntries();
