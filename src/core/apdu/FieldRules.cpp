#include "core/apdu/FieldRules.h"

#include <utility>

FieldRules::FieldRules(std::vector<FieldRule> fields)
    : fields_(std::move(fields)), stored_(fields_.size(), 0) {}

std::optional<std::size_t> FieldRules::Changed(std::size_t field, std::size_t length) {
    const FieldRule& rule = fields_.at(field);
    const std::size_t stored = stored_[field];
    stored_[field] = length;

    bool full = false;
    switch (rule.advance) {
        case FieldAdvance::AtTwo:
            full = stored == 1 && length == 2;
            break;
        case FieldAdvance::AtMaximum:
            full = rule.maxLength && *rule.maxLength > 0 && stored == *rule.maxLength - 1 &&
                   length == *rule.maxLength;
            break;
        case FieldAdvance::Never:
            break;
    }
    return full ? rule.next : std::nullopt;
}

std::optional<std::size_t> FieldRules::KeyDown(std::size_t field, int key) const {
    if (key != kBackspaceKey || stored_.at(field) != 0) {
        return std::nullopt;
    }
    return fields_[field].previous;
}

bool FieldRules::AllowsLength(std::size_t field, std::size_t length) const {
    const std::optional<std::size_t>& maxLength = fields_.at(field).maxLength;
    return !maxLength || length <= *maxLength || length <= stored_[field];
}

void FieldRules::SetMaxLength(std::size_t field, std::optional<std::size_t> maxLength) {
    fields_.at(field).maxLength = maxLength;
}

std::optional<std::size_t> FieldRules::MaxLength(std::size_t field) const {
    return fields_.at(field).maxLength;
}

std::size_t FieldRules::StoredLength(std::size_t field) const {
    return stored_.at(field);
}
