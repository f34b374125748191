#include "core/Ean.h"

namespace core {

int eanCheckDigit(const QString& digits) {
    // Weights 3 and 1 alternate from the rightmost digit.
    int sum = 0;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const int d = digits[digits.size() - 1 - i].digitValue();
        sum += (i % 2 == 0) ? 3 * d : d;
    }
    return (10 - sum % 10) % 10;
}

}  // namespace core
