#pragma once

#include <optional>

#include "core/contactless/ClassicLayout.h"
#include "core/contactless/ContactlessAtr.h"
#include "core/contactless/ContactlessChannel.h"

// What the reader tells of the contactless card in it: the ATR it made up and the GET DATA
// items it answers. An item the reader does not give stays empty.
struct CardFacts {
    Bytes atr;
    std::optional<ContactlessAtr> parsed;  // nothing: not a contactless ATR
    CardFamily family = CardFamily::Other;
    std::optional<Bytes> uid, ats, sak, atqa;
};

// The ATR, then GET DATA of the UID, the ATS, the SAK and the ATQA, each logged.
CardFacts ReadCardFacts(ContactlessChannel& channel);

// The MIFARE Classic layout of a family, nothing for the others.
std::optional<ClassicType> ClassicTypeOfFamily(CardFamily family);
