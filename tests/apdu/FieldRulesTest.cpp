#include <gtest/gtest.h>

#include "core/apdu/ApduFields.h"
#include "core/apdu/CpuCardFields.h"
#include "core/apdu/FieldRules.h"

namespace {

constexpr int kOtherKey = 'A';

// Feeds lengths one by one, as typing does; answers the focus target of the last step.
std::optional<std::size_t> TypeLengths(FieldRules& rules, std::size_t field,
                                       std::initializer_list<std::size_t> lengths) {
    std::optional<std::size_t> target;
    for (std::size_t length : lengths) {
        target = rules.Changed(field, length);
    }
    return target;
}

TEST(FieldRules, HeaderFieldsMoveOnFromOneCharacterToTwo) {
    FieldRules rules = CpuCardFieldRules();
    EXPECT_EQ(rules.Changed(FieldCla, 1), std::nullopt);
    EXPECT_EQ(rules.Changed(FieldCla, 2), FieldIns);
    EXPECT_EQ(rules.StoredLength(FieldCla), 2u);
    // CLA has no maximum: a third character stays put.
    EXPECT_EQ(rules.Changed(FieldCla, 3), std::nullopt);
    EXPECT_EQ(TypeLengths(rules, FieldIns, {1, 2}), FieldP1);
    EXPECT_EQ(TypeLengths(rules, FieldP1, {1, 2}), FieldP2);
    EXPECT_EQ(TypeLengths(rules, FieldP2, {1, 2}), FieldLc);
}

TEST(FieldRules, PastingAFullTextDoesNotMove) {
    FieldRules rules = CpuCardFieldRules();
    EXPECT_EQ(rules.Changed(FieldIns, 2), std::nullopt);
    EXPECT_EQ(rules.Changed(FieldLc, 6), std::nullopt);
    // Shrinking back to one and growing again does.
    EXPECT_EQ(TypeLengths(rules, FieldIns, {1, 2}), FieldP1);
}

TEST(FieldRules, LcMovesOnAtItsCurrentMaximum) {
    FieldRules rules = CpuCardFieldRules();
    EXPECT_EQ(TypeLengths(rules, FieldLc, {1, 2}), std::nullopt);
    EXPECT_EQ(TypeLengths(rules, FieldLc, {3, 4, 5, 6}), FieldData);

    rules.SetMaxLength(FieldLc, kLcMaxLengthT0);
    EXPECT_EQ(TypeLengths(rules, FieldLc, {0, 1, 2}), FieldData);
}

TEST(FieldRules, DataAndLeOnlyKeepTheirLength) {
    FieldRules rules = CpuCardFieldRules();
    EXPECT_EQ(TypeLengths(rules, FieldData, {1, 2, 3}), std::nullopt);
    EXPECT_EQ(TypeLengths(rules, FieldLe, {1, 2, 3, 4, 5, 6}), std::nullopt);
    EXPECT_EQ(rules.StoredLength(FieldData), 3u);
    EXPECT_EQ(rules.StoredLength(FieldLe), 6u);
}

TEST(FieldRules, BackspaceInAnEmptyFieldMovesBack) {
    FieldRules rules = CpuCardFieldRules();
    EXPECT_EQ(rules.KeyDown(FieldIns, kBackspaceKey), FieldCla);
    EXPECT_EQ(rules.KeyDown(FieldP1, kBackspaceKey), FieldIns);
    EXPECT_EQ(rules.KeyDown(FieldP2, kBackspaceKey), FieldP1);
    EXPECT_EQ(rules.KeyDown(FieldLc, kBackspaceKey), FieldP2);
    EXPECT_EQ(rules.KeyDown(FieldData, kBackspaceKey), FieldLc);
    EXPECT_EQ(rules.KeyDown(FieldLe, kBackspaceKey), FieldData);
    // CLA has no key handler; other keys are the field's.
    EXPECT_EQ(rules.KeyDown(FieldCla, kBackspaceKey), std::nullopt);
    EXPECT_EQ(rules.KeyDown(FieldIns, kOtherKey), std::nullopt);

    rules.Changed(FieldIns, 1);
    EXPECT_EQ(rules.KeyDown(FieldIns, kBackspaceKey), std::nullopt);
    rules.Changed(FieldIns, 0);
    EXPECT_EQ(rules.KeyDown(FieldIns, kBackspaceKey), FieldCla);
}

TEST(FieldRules, LowerMaximumKeepsLongerTextButRefusesGrowth) {
    FieldRules rules = CpuCardFieldRules();
    EXPECT_TRUE(rules.AllowsLength(FieldLc, 6));
    EXPECT_FALSE(rules.AllowsLength(FieldLc, 7));
    EXPECT_FALSE(rules.AllowsLength(FieldIns, 3));
    EXPECT_TRUE(rules.AllowsLength(FieldData, 5000));

    TypeLengths(rules, FieldLc, {1, 2, 3, 4, 5, 6});
    rules.SetMaxLength(FieldLc, kLcMaxLengthT0);
    EXPECT_TRUE(rules.AllowsLength(FieldLc, 6));
    EXPECT_TRUE(rules.AllowsLength(FieldLc, 5));
    EXPECT_FALSE(rules.AllowsLength(FieldLc, 7));
    rules.Changed(FieldLc, 2);
    EXPECT_FALSE(rules.AllowsLength(FieldLc, 3));
}

TEST(FieldRules, OnlyALoneCharacterTakesALeadingZero) {
    EXPECT_TRUE(FieldRules::TakesLeadingZero(1));
    EXPECT_FALSE(FieldRules::TakesLeadingZero(0));
    EXPECT_FALSE(FieldRules::TakesLeadingZero(3));
}

}  // namespace
