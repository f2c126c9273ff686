#pragma once

#include <memory>

class CardLibrary;
class ReaderControlFactory;

// The backends a reader command works on: the platform's PC/SC service, or the built-in
// simulated PIN-pad reader (without a card).
class ReaderCommandPlatform {
  public:
    virtual ~ReaderCommandPlatform() = default;
    virtual CardLibrary& Cards() = 0;
    virtual ReaderControlFactory& Controls() = 0;
};
std::unique_ptr<ReaderCommandPlatform> MakeReaderCommandPlatform(bool simulated);
