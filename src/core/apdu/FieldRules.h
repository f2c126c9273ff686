#pragma once

#include <cstddef>
#include <optional>
#include <vector>

// Virtual key code of Backspace, as the key handlers see it.
inline constexpr int kBackspaceKey = 8;

// How a field hands the focus on while it is being filled.
enum class FieldAdvance {
    AtTwo,      // on the step from one character to two
    AtMaximum,  // on the step from one short of the current maximum length to it
    Never,
};

struct FieldRule {
    std::optional<std::size_t> maxLength;  // none: unbounded
    std::optional<std::size_t> next;       // focus target when the field becomes full
    std::optional<std::size_t> previous;   // focus target on Backspace in the empty field;
                                           // none: the field has no key handler
    FieldAdvance advance = FieldAdvance::Never;
};

// The typing rules of an ordered list of edit fields: each field remembers the length its
// text had at its last change, moves the focus on when it just became full, back on
// Backspace while empty, and gets a leading zero when left holding a lone character.
// The rules decide; the caller applies the texts and moves the focus.
class FieldRules {
  public:
    explicit FieldRules(std::vector<FieldRule> fields);

    // Change rule, run after every change of the text, typed or set by the program: the
    // field to focus when the text just became full; the new length is stored either way.
    std::optional<std::size_t> Changed(std::size_t field, std::size_t length);

    // Backspace rule, before the key is applied: the field to focus. The key itself is
    // always left to the field.
    std::optional<std::size_t> KeyDown(std::size_t field, int key) const;

    // Leading-zero rule on leaving the field: a text of exactly one character becomes
    // "0" followed by it. The replacement is a change like any other.
    static bool TakesLeadingZero(std::size_t length) { return length == 1; }

    // Whether a field may take a text of this length: up to its maximum, and a longer text
    // it already holds (kept when the maximum was lowered) may shrink but never grow.
    bool AllowsLength(std::size_t field, std::size_t length) const;

    void SetMaxLength(std::size_t field, std::optional<std::size_t> maxLength);
    std::optional<std::size_t> MaxLength(std::size_t field) const;
    std::size_t StoredLength(std::size_t field) const;
    std::size_t Count() const { return fields_.size(); }

  private:
    std::vector<FieldRule> fields_;
    std::vector<std::size_t> stored_;
};
