#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/script/Script.h"

// The check in the script's notation: `6F/84 = A0 XX`, `6F/A5/50 = "VISA"`, `6F/A5/BF0C`,
// `!6F/85`.
std::string TagCheckText(const TagCheck& check);

// What each failed check expected and found, in the checks' order: `6F/A5/50: expected
// "VISA", found "MASTERCARD"`. `data` is the reply without its status word.
std::vector<std::string> FailedTagChecks(const std::vector<TagCheck>& checks,
                                         const std::vector<std::uint8_t>& data);
