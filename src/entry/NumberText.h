#pragma once

#include <QString>

#include "core/Money.h"

namespace entry::number {

/// The number box's texts: "." groups thousands and "," is the decimal sign. The decimals stay as
/// the user typed them (12,05 stays 12,05); only the whole part is regrouped. Limits that keep
/// every typed value exactly what the books hold: prices and quantities both have four decimals
/// there, and twelve whole digits fit every product of the two.
inline constexpr int MaxWholeDigits = 12;
inline constexpr int MaxDecimals = core::Quantity::Decimals;
inline constexpr int MaxPriceDecimals = core::Money::Decimals;

bool isNumber(const QString& text, int maxDecimals = MaxDecimals);
QString reformat(const QString& text);
/// The exact value of a text that isNumber accepts (0 for any other), read as a quantity or as a
/// price: the box's colour says which it is.
core::Quantity quantity(const QString& text);
core::Money price(const QString& text);

/// The text after typing `ch` at the end of `current`, or empty when the key is refused. "." is
/// a thousands mark: the box groups the whole part itself, so it changes nothing there, and is
/// refused among the decimals; "," starts the decimals.
QString afterKey(const QString& current, QChar ch, int maxDecimals = MaxDecimals);

/// Why `ch` typed after `current` is refused, in the operator's words (empty: it is not).
QString refusal(const QString& current, QChar ch, int maxDecimals = MaxDecimals);

}  // namespace entry::number
