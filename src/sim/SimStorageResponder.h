#pragma once

#include "sim/SimCard.h"

class SimMemoryCard;

// Answers the PC/SC storage-card pseudo-APDUs on a memory card:
//   FF B0 MSB LSB Le        read binary (Le 00 = 256; fewer bytes at the end: 62 82)
//   FF D6 MSB LSB Lc data   update binary
//   FF 20 00 00 Lc code     verify
// with 90 00 on success; on refusal 63 Cx (wrong code, x tries left), 69 83 (blocked),
// 69 82 (security status not satisfied), 6B 00 (address outside the memory), 6A 81 (the
// card has no such code), 67 00 (wrong length), 6E 00 (class), 6D 00 (instruction).
Bytes AnswerStorageCommand(SimMemoryCard& card, ByteView command);
