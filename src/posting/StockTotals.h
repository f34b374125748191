#pragma once

namespace posting {

/// Rounds to 4 decimal places, a midpoint to the even neighbour.
double round4(double value);

/// A stock card's running totals.
struct StockTotals {
    double girenMik = 0;
    double cikanMik = 0;
    double girenTutar = 0;
    double cikanTutar = 0;
    double kalanB = 0;
    double kalanA = 0;

    /// Adds a movement in (goods came in) or out, then recomputes stock on hand: KalanB when in
    /// is not less than out, else the shortfall KalanA, the other one 0.
    void add(bool in, double quantity, double amount);
};

}  // namespace posting
