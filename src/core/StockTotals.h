#pragma once

#include "core/Money.h"

namespace core {

/// A stock card's running totals, exact to four decimals.
struct StockTotals {
    Quantity girenMik;
    Quantity cikanMik;
    Money girenTutar;
    Money cikanTutar;
    Quantity kalanB;
    Quantity kalanA;

    /// Adds a movement in (goods came in) or out, then recomputes stock on hand: KalanB when in
    /// is not less than out, else the shortfall KalanA, the other one 0.
    void add(bool in, Quantity quantity, Money amount);
};

}  // namespace core
