#pragma once

#include "sim/SimContactlessChip.h"

// A MIFARE Ultralight (16 pages) or NTAG213 (45 pages) chip of 4-byte pages: the UID with
// its check bytes in pages 0-2, the static lock bytes in page 2, the one-time-programmable
// page 3 (on the NTAG the capability container), then user memory holding an NDEF message
// in a Type 2 tag TLV (a URI record "https://example.org/zp" and a Text record). The NTAG
// has its dynamic lock bytes in page 40 and its configuration in pages 41-44 (password and
// its acknowledge read as zeros).
//
// READ gives 4 pages from any page, rolling over to page 0 past the last one; WRITE writes
// one page. Pages 0-1 and page 2's first two bytes are read-only; lock bits and page 3 are
// OR-ed (bits once set stay set); a page whose lock bit is set refuses writes, and set
// block-lock bits freeze the lock bits they cover.
class SimUltralight : public SimContactlessChip {
  public:
    using Page = std::array<std::uint8_t, 4>;
    enum class Answer { Ok, Refused };

    // `kind` is Ultralight or Ntag213.
    explicit SimUltralight(SimCardKind kind,
                           Bytes uid = {0x04, 0x5A, 0x50, 0x21, 0x13, 0x80, 0x01});

    SimCardKind Kind() const override { return kind_; }
    const Bytes& Uid() const override { return uid_; }
    std::uint16_t Atqa() const override { return 0x0044; }
    std::uint8_t Sak() const override { return 0x00; }
    void Select() override {}

    int PageCount() const { return static_cast<int>(memory_.size() / 4); }
    const Bytes& Memory() const { return memory_; }

    // 16 bytes from `page`; refused past the last page.
    Answer Read(int page, std::array<std::uint8_t, 16>& out) const;
    Answer Write(int page, const Page& data);

  private:
    bool Locked(int page) const;
    bool IsNtag() const { return kind_ == SimCardKind::Ntag213; }

    SimCardKind kind_;
    Bytes uid_;
    Bytes memory_;
};
