#include "core/StockTotals.h"

namespace core {

void StockTotals::add(bool in, Quantity quantity, Money amount) {
    if (in) {
        girenMik += quantity;
        girenTutar += amount;
    } else {
        cikanMik += quantity;
        cikanTutar += amount;
    }
    // Exact decimals: no rounding is left to do on the difference.
    if (cikanMik > girenMik) {
        kalanA = cikanMik - girenMik;
        kalanB = Quantity();
    } else {
        kalanB = girenMik - cikanMik;
        kalanA = Quantity();
    }
}

}  // namespace core
