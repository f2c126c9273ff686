#include "core/apdu/CpuCardFields.h"

#include "core/apdu/ApduFields.h"

FieldRules CpuCardFieldRules() {
    using A = FieldAdvance;
    return FieldRules({
        {std::nullopt, FieldIns, std::nullopt, A::AtTwo},  // CLA has no key handler
        {2, FieldP1, FieldCla, A::AtTwo},
        {2, FieldP2, FieldIns, A::AtTwo},
        {2, FieldLc, FieldP1, A::AtTwo},
        {kLcMaxLengthT1, FieldData, FieldP2, A::AtMaximum},
        {std::nullopt, std::nullopt, FieldLc, A::Never},
        {6, std::nullopt, FieldData, A::Never},
    });
}
