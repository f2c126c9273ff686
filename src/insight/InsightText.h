#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "insight/AtrList.h"

// The texts the status bar and its tooltip show; the window only displays them.

// "ATR 3B 95 13 ... | T=1 | <card name>": the ATR as hex, the active protocol (1 = T=0,
// 2 = T=1, 16 = memory card) and the first description of the list entry that matched,
// saying which one it is when several did. Without a match, the ATR and protocol alone.
QString CardSummaryText(const std::uint8_t* atr, std::uint32_t atrLength, std::uint32_t protocol,
                        const std::optional<AtrList::Match>& match);

// "No card | <reader name>", or "No card" when no reader is selected.
QString NoCardText(const QString& readerName);

// The ATR decoded byte by byte, then the matching list entry's pattern and descriptions.
QString AtrToolTipText(const std::uint8_t* atr, std::uint32_t atrLength,
                       const std::optional<AtrList::Match>& match);

// The outcome of an APDU exchange: the PC/SC code's name when the call failed, otherwise the
// reply's last two bytes with their meaning, e.g. "90 00 Normal processing".
QString ExchangeStatusText(std::uint32_t code, const std::uint8_t* reply,
                           std::uint32_t replyLength);

// The outcome of a memory-card operation: the storage-card path answers a card's status word
// SW1 SW2 as the code 0x0000SWSW, and 90 00 as 0; other codes are PC/SC codes.
QString MemoryResultText(std::uint32_t code);
