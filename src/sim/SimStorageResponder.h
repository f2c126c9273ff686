#pragma once

#include "sim/SimCard.h"

class SimMemoryCard;

// Answers the PC/SC storage-card pseudo-APDUs on a memory card:
//   FF B0 MSB LSB Le        read binary (Le 00 = 256)
//   FF D6 MSB LSB Lc data   update binary
//   FF 20 00 P2 Lc code     verify the code P2 names (00 on cards with one code; on an
//                           SLE4404 01 the user code, 02 the memory code)
// with 90 00 on success. A read that runs past the end of the memory answers the bytes up
// to the end and 62 82 (end reached before Le bytes). On refusal: 63 Cx (wrong code, x tries
// left), 69 83 (blocked), 69 82 (security status not satisfied), 6B 00 (address outside the
// memory), 6A 81 (the card has no code), 6A 88 (the card has no code of that reference),
// 6A 86 (P1 not 00), 67 00 (wrong length), 6E 00 (class), 6D 00 (instruction).
Bytes AnswerStorageCommand(SimMemoryCard& card, ByteView command);
