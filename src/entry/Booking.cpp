#include "entry/Booking.h"

#include <cmath>
#include <optional>

#include "core/Money.h"
#include "data/Criteria.h"
#include "data/Names.h"
#include "data/Recordset.h"

namespace entry {

namespace s = data::names::stok;
using core::Money;

namespace {

// Counts are typed with a few decimals; rounding keeps 0,3 − 0,1 − 0,1 − 0,1 at exactly 0.
double round6(double v) {
    return std::round(v * 1e6) / 1e6;
}

bool bookCount(data::Recordset& temp, double q) {
    if (q == 0 || !temp.hasCurrent()) return false;
    const QVariant kalanB = temp.field(s::KalanB);
    if (kalanB.isNull()) return false;  // no book quantity to compare with: left unchanged
    const double onShelf = kalanB.toDouble();
    temp.Edit();
    if (q <= onShelf) {
        const double left = round6(onShelf - q);
        if (left == 0) {
            // Counted in full: the card leaves the list.
            temp.CancelUpdate();
            temp.Delete();
            return true;
        }
        temp.setField(s::KalanB, left);
    } else {
        temp.setField(s::KalanA, round6(temp.field(s::KalanA).toDouble() + q - onShelf));
        temp.setField(s::KalanB, 0.0);
    }
    temp.Update();
    return true;
}

bool bookLine(data::Recordset& temp, data::Recordset* companyStock, const BookingInput& in) {
    if (in.value == 0 || !temp.hasCurrent()) return false;
    if (in.searchText != temp.field(s::StokAdi).toString()) return false;
    std::optional<Money> rate;
    if (companyStock) {
        companyStock->FindFirst(data::Criteria::equals(s::StokAdi, in.searchText));
        if (!companyStock->NoMatch())
            rate = Money::fromDouble(companyStock->field(s::Kdv).toDouble());
    }
    // Amounts are exact four-decimal values: each product is rounded once, here, and what is
    // stored reads back as that decimal.
    const Money value = Money::fromDouble(in.value);
    // A purchase keeps the card's sale price as it is: its own price is the one prepared for it.
    const QString& priceField = in.purchase ? s::Fiyat2 : s::Fiyat;
    Money price = Money::fromDouble(temp.field(priceField).toDouble());
    Money quantity = Money::fromDouble(temp.field(s::KalanB).toDouble());
    Money amount = Money::fromDouble(temp.field(s::GirenTutar).toDouble());
    if (in.priceEntry) {
        price = value;
        amount = quantity.times(price);
    } else {
        quantity += value;
        amount += value.times(price);
    }
    const Money vat = rate ? *rate : Money::fromDouble(temp.field(s::Kdv).toDouble());
    const Money vatAmount = amount.percent(vat);
    temp.Edit();
    if (in.priceEntry) temp.setField(priceField, price.toDouble());
    temp.setField(s::KalanB, quantity.toDouble());
    temp.setField(s::GirenTutar, amount.toDouble());
    if (rate) temp.setField(s::Kdv, vat.toDouble());
    temp.setField(s::Kar, vatAmount.toDouble());
    temp.setField(s::Fiyat2, price.toDouble());
    temp.Update();
    return true;
}

}  // namespace

bool book(data::Recordset& temp, data::Recordset* companyStock, const BookingInput& input) {
    return input.countMode ? bookCount(temp, input.value) : bookLine(temp, companyStock, input);
}

void clearLine(data::Recordset& temp, bool countMode) {
    temp.Edit();
    temp.setField(s::KalanB, 0.0);
    if (!countMode) {
        temp.setField(s::GirenTutar, 0.0);
        temp.setField(s::Kar, 0.0);
    }
    temp.Update();
}

}  // namespace entry
