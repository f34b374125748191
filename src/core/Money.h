#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>
#include <compare>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace core {

/// A value too large for the books' currency type; never wrapped.
class MoneyOverflow : public std::overflow_error {
  public:
    MoneyOverflow()
        : std::overflow_error(
              "Tutar, saklanabilecek en büyük değeri aşıyor; hiçbir şey işlenmedi.") {}
};

/// An exact decimal of four places, as the books' currency fields hold amounts, prices and
/// quantities: a 64-bit count of ten-thousandths. Sums are exact; a product is rounded once.
class Money {
  public:
    static constexpr std::int64_t Scale = 10000;
    static constexpr int Decimals = 4;
    /// Halves away from zero is the shop's rounding; halves to even where a rule asks for it.
    enum class Rounding { HalfAwayFromZero, HalfEven };

    constexpr Money() = default;
    static constexpr Money fromUnits(std::int64_t units) { return Money(units); }
    static Money fromInteger(std::int64_t value);
    /// A value handed over by the engine (any binary fraction), taken to four decimals.
    static Money fromDouble(double value, Rounding rounding = Rounding::HalfAwayFromZero);
    /// Text typed the Turkish way ("1.234,5"). Nothing for text that is not a number, has more
    /// than four decimals or is too large.
    static std::optional<Money> parse(const QString& text, const QLocale& locale = QLocale());
    /// A field's value as an engine hands it over: a number, a number written as text ("12.5")
    /// or null (0). Nothing for a text that is no number ("12,5", "abc"): read as 0 it would book
    /// or destroy a value, so the caller refuses it, naming it.
    static std::optional<Money> fromStored(const QVariant& value);

    constexpr std::int64_t units() const { return m_units; }
    /// The nearest double to the exact decimal, for the engine's REAL columns: it reads back
    /// as the same decimal.
    double toDouble() const { return static_cast<double>(m_units) / Scale; }
    /// The decimals the value holds, at least `minDecimals` ("3,015", "3", "3,00" with 2).
    QString toString(const QLocale& locale = QLocale(), int minDecimals = 0,
                     bool groups = false) const;

    Money operator+(Money other) const;
    Money operator-(Money other) const;
    Money operator-() const;
    Money& operator+=(Money other) { return *this = *this + other; }
    Money& operator-=(Money other) { return *this = *this - other; }
    /// This times a quantity or a price, rounded once to four decimals.
    Money times(Money factor, Rounding rounding = Rounding::HalfAwayFromZero) const;
    /// This times `rate` per cent (a VAT amount), rounded once to four decimals.
    Money percent(Money rate, Rounding rounding = Rounding::HalfAwayFromZero) const;

    constexpr bool isZero() const { return m_units == 0; }
    constexpr auto operator<=>(const Money&) const = default;

  private:
    constexpr explicit Money(std::int64_t units) : m_units(units) {}
    std::int64_t m_units = 0;
};

/// Quantities are exact decimals of the same four places as the books' quantity fields.
using Quantity = Money;

}  // namespace core
