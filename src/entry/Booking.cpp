#include "entry/Booking.h"

#include <cmath>
#include <optional>

#include "data/Criteria.h"
#include "data/Names.h"
#include "data/Recordset.h"

namespace entry {

namespace s = data::names::stok;

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
    std::optional<double> rate;
    if (companyStock) {
        companyStock->FindFirst(data::Criteria::equals(s::StokAdi, in.searchText));
        if (!companyStock->NoMatch()) rate = companyStock->field(s::Kdv).toDouble();
    }
    temp.Edit();
    double price = temp.field(s::Fiyat).toDouble();
    const double quantity = temp.field(s::KalanB).toDouble();
    double amount = temp.field(s::GirenTutar).toDouble();
    if (in.priceEntry) {
        price = in.value;
        temp.setField(s::Fiyat, price);
        amount = quantity * price;
    } else {
        temp.setField(s::KalanB, quantity + in.value);
        amount += in.value * price;
    }
    temp.setField(s::GirenTutar, amount);
    const double vat = rate ? *rate : temp.field(s::Kdv).toDouble();
    if (rate) temp.setField(s::Kdv, vat);
    temp.setField(s::Kar, amount * vat / 100.0);
    temp.setField(s::Fiyat2, price);
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
