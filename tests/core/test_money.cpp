#include <gtest/gtest.h>

#include <type_traits>

#include "core/Money.h"

using core::Money;
using core::Quantity;
using R = core::Money::Rounding;

namespace {

const QLocale tr(QLocale::Turkish, QLocale::Turkey);

Money m(const char* text) {
    return *Money::parse(QString::fromUtf8(text), tr);
}

Quantity q(const char* text) {
    return *Quantity::parse(QString::fromUtf8(text), tr);
}

// Amounts and quantities do not stand for one another: a sum of the two does not compile, and
// their product is an amount.
template <class A, class B>
concept Summable = requires(A a, B b) {
    a + b;
};
static_assert(!Summable<Money, Quantity> && !std::is_convertible_v<Quantity, Money> &&
              !std::is_convertible_v<Money, Quantity>);
static_assert(std::is_same_v<decltype(Quantity().times(Money())), Money> &&
              std::is_same_v<decltype(Money().times(Quantity())), Money>);

}  // namespace

TEST(Money, ParsesTheNumberBoxesTextAndRefusesWhatItCannotHold) {
    // Past the 64-bit count of ten-thousandths is refused, never wrapped.
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {"0,1", 1000},
        {"1.234,5678", 12345678},
        {"-3", -30000},
        {" 19,99 ", 199900},
        {"1,00005", {}},
        {"abc", {}},
        {"", {}},
        {"1,2,3", {}},
        {"922337203685478", {}},
        {"922337203685477,9999", {}},
        {"922337203685477", 9223372036854770000}};
    for (const auto& [text, units] : cases) {
        const auto v = Money::parse(QString::fromUtf8(text), tr);
        EXPECT_EQ(v ? std::optional(v->units()) : std::nullopt, units) << text;
    }
}

TEST(Money, SumsAreExactAndProductsRoundOnce) {
    EXPECT_EQ(m("0,1") + m("0,2"), m("0,3"));
    EXPECT_EQ((m("0,1") + m("0,2")).toDouble(), 0.3);  // the double the engine stores reads 0.3
    EXPECT_EQ(m("1,005").times(q("3")), m("3,015"));
    EXPECT_EQ(q("7").times(m("19,99")), m("139,93"));
    EXPECT_EQ(m("139,93").percent(m("18")), m("25,1874"));
    // 0,00125 × 18 % and its neighbours: exact halves of the last place go by the rule.
    for (const auto& [amount, rounding, expected] :
         {std::tuple{"0,0025", R::HalfAwayFromZero, "0,0013"},
          {"0,0025", R::HalfEven, "0,0012"},
          {"0,0035", R::HalfEven, "0,0018"},
          {"-0,0025", R::HalfAwayFromZero, "-0,0013"}})
        EXPECT_EQ(m(amount).times(q("0,5"), rounding), m(expected)) << amount;
    EXPECT_THROW(Money::fromInteger(900000000000000) + Money::fromInteger(100000000000000),
                 core::MoneyOverflow);
    EXPECT_THROW(Money::fromInteger(100000000000).times(q("100000")), core::MoneyOverflow);
}

TEST(Money, EngineValuesAreTakenToFourDecimalsAndShownAsTheyHold) {
    EXPECT_EQ(Money::fromDouble(0.30000000000000004), m("0,3"));
    EXPECT_EQ(Money::fromDouble(3.0149999999999997), m("3,015"));
    EXPECT_EQ(Money::fromDouble(1217.6879999999994), m("1217,688"));
    EXPECT_EQ(Money::fromDouble(-2.00005), m("-2,0001"));
    EXPECT_THROW(Money::fromDouble(std::nan("")), core::MoneyOverflow);
    EXPECT_EQ(m("3,015").toString(tr), QStringLiteral("3,015"));
    EXPECT_EQ(m("3").toString(tr, 2), QStringLiteral("3,00"));
    EXPECT_EQ(m("-1234567,5").toString(tr, 2, true), QStringLiteral("-1.234.567,50"));
}
