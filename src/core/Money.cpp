#include "core/Money.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace core {

namespace {

using Wide = __int128;

std::int64_t narrow(Wide v) {
    if (v > std::numeric_limits<std::int64_t>::max() ||
        v < std::numeric_limits<std::int64_t>::min())
        throw MoneyOverflow();
    return static_cast<std::int64_t>(v);
}

// numerator / denominator (denominator > 0), rounded by the rule.
Wide divideRounded(Wide numerator, Wide denominator, Rounding rounding) {
    Wide q = numerator / denominator;
    Wide r = numerator % denominator;
    if (r < 0) r = -r;
    const Wide twice = 2 * r;
    const bool negative = numerator < 0;
    bool up = twice > denominator;
    if (twice == denominator) up = rounding == Rounding::HalfAwayFromZero || (q % 2 != 0);
    if (up) q += negative ? -1 : 1;
    return q;
}

}  // namespace

template <class Tag>
Decimal<Tag> Decimal<Tag>::fromInteger(std::int64_t value) {
    return Decimal(narrow(static_cast<Wide>(value) * Scale));
}

template <class Tag>
Decimal<Tag> Decimal<Tag>::fromDouble(double value, Rounding rounding) {
    if (!std::isfinite(value) || std::fabs(value) >= 9.2e14) throw MoneyOverflow();
    const double scaled = value * Scale;
    const double nearest = std::nearbyint(scaled);
    // A four-decimal value stored as a double (3.015 as 3.01499999…) lies within a few units in
    // the last place of a whole count: that count is the value. Read on every field of a
    // posting, so no text round trip.
    if (std::fabs(scaled - nearest) <= std::fabs(scaled) * 4 * DBL_EPSILON + 1e-9)
        return Decimal(static_cast<std::int64_t>(nearest));
    // More than four decimals: round the decimal the double holds, once.
    const double whole = std::trunc(scaled);
    const double fraction = std::fabs(scaled - whole);
    Wide units = static_cast<Wide>(whole);
    bool up = fraction > 0.5;
    if (fraction == 0.5) up = rounding == Rounding::HalfAwayFromZero || (units % 2 != 0);
    if (up) units += value < 0 ? -1 : 1;
    return Decimal(narrow(units));
}

template <class Tag>
std::optional<Decimal<Tag>> Decimal<Tag>::parse(const QString& input, const QLocale& locale) {
    const QString text = input.trimmed();
    const QChar point = locale.decimalPoint().isEmpty() ? u'.' : locale.decimalPoint().at(0);
    const QChar group = locale.groupSeparator().isEmpty() ? QChar() : locale.groupSeparator().at(0);
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    Wide whole = 0;
    Wide fraction = 0;
    int decimals = 0;
    int digits = 0;
    bool inFraction = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isDigit()) {
            ++digits;
            if (inFraction) {
                if (++decimals > Decimals) return std::nullopt;
                fraction = fraction * 10 + c.digitValue();
            } else {
                whole = whole * 10 + c.digitValue();
                if (whole > std::numeric_limits<std::int64_t>::max() / Scale) return std::nullopt;
            }
        } else if (c == point && !inFraction) {
            inFraction = true;
        } else if (c == group && !group.isNull() && !inFraction) {
            continue;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0) return std::nullopt;
    for (int d = decimals; d < Decimals; ++d)
        fraction *= 10;
    const Wide units = negative ? -(whole * Scale + fraction) : whole * Scale + fraction;
    if (units > std::numeric_limits<std::int64_t>::max() ||
        units < std::numeric_limits<std::int64_t>::min())
        return std::nullopt;
    return Decimal(static_cast<std::int64_t>(units));
}

template <class Tag>
std::optional<Decimal<Tag>> Decimal<Tag>::fromStored(const QVariant& value) {
    if (value.isNull()) return Decimal();
    const int type = value.typeId();
    if (type == QMetaType::QString || type == QMetaType::QByteArray) {
        bool ok = false;
        const double d = value.toString().trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(d)) return std::nullopt;
        return fromDouble(d);
    }
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok) return std::nullopt;
    return fromDouble(d);
}

template <class Tag>
QString Decimal<Tag>::toString(const QLocale& locale, int minDecimals, bool groups) const {
    const std::uint64_t magnitude = m_units < 0 ? static_cast<std::uint64_t>(-(m_units + 1)) + 1
                                                : static_cast<std::uint64_t>(m_units);
    QString whole = QString::number(magnitude / Scale);
    if (groups) {
        const QString sep = locale.groupSeparator();
        for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
            whole.insert(at, sep);
    }
    QString fraction = QStringLiteral("%1").arg(magnitude % Scale, Decimals, 10, QLatin1Char('0'));
    while (fraction.size() > minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    QString out = m_units < 0 ? QStringLiteral("-") + whole : whole;
    if (!fraction.isEmpty()) out += locale.decimalPoint() + fraction;
    return out;
}

template <class Tag>
Decimal<Tag> Decimal<Tag>::operator+(Decimal other) const {
    return Decimal(narrow(static_cast<Wide>(m_units) + other.m_units));
}

template <class Tag>
Decimal<Tag> Decimal<Tag>::operator-(Decimal other) const {
    return Decimal(narrow(static_cast<Wide>(m_units) - other.m_units));
}

template <class Tag>
Decimal<Tag> Decimal<Tag>::operator-() const {
    return Decimal(narrow(-static_cast<Wide>(m_units)));
}

template <class Tag>
Money Decimal<Tag>::times(Factor factor, Rounding rounding) const {
    return Money::fromUnits(
        narrow(divideRounded(static_cast<Wide>(m_units) * factor.units(), Scale, rounding)));
}

template <class Tag>
Money Decimal<Tag>::percent(Money rate, Rounding rounding) const requires IsAmount {
    return Money::fromUnits(narrow(
        divideRounded(static_cast<Wide>(m_units) * rate.units(), Wide(Scale) * 100, rounding)));
}

template class Decimal<AmountTag>;
template class Decimal<QuantityTag>;

}  // namespace core
