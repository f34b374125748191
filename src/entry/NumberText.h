#pragma once

#include <QString>

namespace entry::number {

/// The number box's texts: "." groups thousands, "," is the decimal sign. The decimals stay as the
/// user typed them (12,05 stays 12,05); only the whole part is regrouped.
/// Limits that keep every typed value exact in a double. A price is an amount of the books and
/// holds four decimals; a quantity may hold six, as a count does.
inline constexpr int MaxWholeDigits = 12;
inline constexpr int MaxDecimals = 6;
inline constexpr int MaxPriceDecimals = 4;

bool isNumber(const QString& text, int maxDecimals = MaxDecimals);
QString reformat(const QString& text);
double value(const QString& text);

/// The text after typing `ch` at the end of `current`, or empty when the key is refused.
QString afterKey(const QString& current, QChar ch, int maxDecimals = MaxDecimals);

}  // namespace entry::number
