#include "posting/StockTotals.h"

#include <cfenv>
#include <cmath>

namespace posting {

double round4(double value) {
    // nearbyint rounds halves to even in the default rounding mode.
    return std::nearbyint(value * 10000.0) / 10000.0;
}

void StockTotals::add(bool in, double quantity, double amount) {
    if (in) {
        girenMik += quantity;
        girenTutar += amount;
    } else {
        cikanMik += quantity;
        cikanTutar += amount;
    }
    if (cikanMik > girenMik) {
        kalanA = round4(cikanMik - girenMik);
        kalanB = 0;
    } else {
        kalanB = round4(girenMik - cikanMik);
        kalanA = 0;
    }
}

}  // namespace posting
