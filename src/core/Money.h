#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>
#include <compare>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace core {

/// A value too large for the books' currency type; never wrapped.
class MoneyOverflow : public std::overflow_error {
  public:
    MoneyOverflow()
        : std::overflow_error(
              "Tutar, saklanabilecek en büyük değeri aşıyor; hiçbir şey işlenmedi.") {}
};

/// How a product's last place is settled: halves away from zero is the shop's rounding, halves
/// to even where a rule asks for it.
enum class Rounding { HalfAwayFromZero, HalfEven };

struct AmountTag;
struct QuantityTag;
template <class Tag>
class Decimal;
/// Amounts, prices and VAT rates.
using Money = Decimal<AmountTag>;
/// Quantities: kept apart from amounts so that one cannot stand for the other by mistake.
using Quantity = Decimal<QuantityTag>;

/// An exact decimal of four places, as the books' currency fields hold amounts, prices and
/// quantities: a 64-bit count of ten-thousandths. Sums are exact; a product is rounded once.
/// `Tag` only keeps amounts and quantities apart; both are held and rounded alike.
template <class Tag>
class Decimal {
  public:
    static constexpr std::int64_t Scale = 10000;
    static constexpr int Decimals = 4;
    using Rounding = core::Rounding;
    static constexpr bool IsAmount = std::is_same_v<Tag, AmountTag>;
    /// What this is multiplied by in the books: a quantity for a price, a price for a quantity.
    using Factor = std::conditional_t<IsAmount, Quantity, Money>;

    constexpr Decimal() = default;
    static constexpr Decimal fromUnits(std::int64_t units) { return Decimal(units); }
    static Decimal fromInteger(std::int64_t value);
    /// A value handed over by the engine (any binary fraction), taken to four decimals.
    static Decimal fromDouble(double value, Rounding rounding = Rounding::HalfAwayFromZero);
    /// Text typed the Turkish way ("1.234,5"). Nothing for text that is not a number, has more
    /// than four decimals or is too large.
    static std::optional<Decimal> parse(const QString& text, const QLocale& locale = QLocale());
    /// A field's value as an engine hands it over: a number, a number written as text ("12.5")
    /// or null (0). Nothing for a text that is no number ("12,5", "abc"): read as 0 it would book
    /// or destroy a value, so the caller refuses it, naming it.
    static std::optional<Decimal> fromStored(const QVariant& value);

    constexpr std::int64_t units() const { return m_units; }
    /// The nearest double to the exact decimal, for the engine's REAL columns: it reads back
    /// as the same decimal.
    double toDouble() const { return static_cast<double>(m_units) / Scale; }
    /// The decimals the value holds, at least `minDecimals` ("3,015", "3", "3,00" with 2).
    QString toString(const QLocale& locale = QLocale(), int minDecimals = 0,
                     bool groups = false) const;

    Decimal operator+(Decimal other) const;
    Decimal operator-(Decimal other) const;
    Decimal operator-() const;
    Decimal& operator+=(Decimal other) { return *this = *this + other; }
    Decimal& operator-=(Decimal other) { return *this = *this - other; }
    /// A price times a quantity, or a quantity times a price: an amount, rounded once to four
    /// decimals.
    Money times(Factor factor, Rounding rounding = Rounding::HalfAwayFromZero) const;
    /// This amount times `rate` per cent (a VAT amount), rounded once to four decimals.
    Money percent(Money rate,
                  Rounding rounding = Rounding::HalfAwayFromZero) const requires IsAmount;

    constexpr bool isZero() const { return m_units == 0; }
    constexpr auto operator<=>(const Decimal&) const = default;

  private:
    constexpr explicit Decimal(std::int64_t units) : m_units(units) {}
    std::int64_t m_units = 0;
};

extern template class Decimal<AmountTag>;
extern template class Decimal<QuantityTag>;

}  // namespace core
