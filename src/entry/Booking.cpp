#include "entry/Booking.h"

#include <limits>
#include <optional>

#include "core/Money.h"
#include "data/Criteria.h"
#include "data/DatabaseError.h"
#include "data/Names.h"
#include "data/Recordset.h"

namespace entry {

namespace s = data::names::stok;
using core::Money;
using core::Quantity;

namespace {

// The quantity a price label buys at `price`, to three decimals; nothing at no price.
std::optional<Quantity> quantityBought(Money labelPrice, Money price) {
    if (price <= Money()) return std::nullopt;
    const __int128 thousandths =
        (static_cast<__int128>(labelPrice.units()) * 1000 * 2 + price.units()) /
        (2 * static_cast<__int128>(price.units()));
    const __int128 units = thousandths * (Quantity::Scale / 1000);
    if (units > std::numeric_limits<std::int64_t>::max()) throw core::MoneyOverflow();
    return Quantity::fromUnits(static_cast<std::int64_t>(units));
}

bool nothingEntered(const BookingInput& in) {
    if (in.labelPrice) return in.labelPrice->isZero();
    return in.priceEntry ? in.price.isZero() : in.quantity.isZero();
}

// A card's number, exactly; a text there would book as 0 without a word, so nothing is booked.
template <class Number = Money>
Number number(data::Recordset& temp, const QString& field, const BookingInput& in) {
    const QVariant v = temp.field(field);
    if (const std::optional<Number> m = Number::fromStored(v)) return *m;
    throw data::DatabaseError(
        QStringLiteral("%1 kartının %2 alanında sayı yok (\"%3\"): hiçbir şey işlenmedi — %4")
            .arg(temp.field(s::StokKod).toString(), field, v.toString().left(40), in.booksFile));
}

Booked bookCount(data::Recordset& temp, const BookingInput& in) {
    if (nothingEntered(in)) return Booked::NothingEntered;
    if (!temp.hasCurrent()) return Booked::NoCard;
    if (in.searchText != temp.field(s::StokAdi).toString()) return Booked::NotTheCard;
    Quantity q = in.quantity;
    if (in.labelPrice) {
        // A count counts pieces: the label's price at the card's sale price.
        const auto bought = quantityBought(*in.labelPrice, number(temp, s::Fiyat, in));
        if (!bought) return Booked::NoPrice;
        q = *bought;
        if (q.isZero()) return Booked::NothingEntered;
    }
    // No book quantity to compare with: left unchanged.
    if (temp.field(s::KalanB).isNull()) return Booked::NoBookQuantity;
    const Quantity onShelf = number<Quantity>(temp, s::KalanB, in);
    const Quantity excess = number<Quantity>(temp, s::KalanA, in);
    temp.Edit();
    if (q <= onShelf) {
        const Quantity left = onShelf - q;
        if (left.isZero()) {
            // Counted in full: the card leaves the list.
            temp.CancelUpdate();
            temp.Delete();
            return Booked::CountedInFull;
        }
        temp.setField(s::KalanB, left.toDouble());
    } else {
        temp.setField(s::KalanA, (excess + q - onShelf).toDouble());
        temp.setField(s::KalanB, 0.0);
    }
    temp.Update();
    return Booked::Yes;
}

Booked bookLine(data::Recordset& temp, data::Recordset* companyStock, const BookingInput& in) {
    if (nothingEntered(in)) return Booked::NothingEntered;
    if (!temp.hasCurrent()) return Booked::NoCard;
    if (in.searchText != temp.field(s::StokAdi).toString()) return Booked::NotTheCard;
    std::optional<Money> rate;
    bool companyRead = false;
    try {
        if (companyStock) {
            companyStock->FindFirst(data::Criteria::equals(s::StokAdi, in.searchText));
            companyRead = true;
            if (!companyStock->NoMatch()) rate = Money::fromStored(companyStock->field(s::Kdv));
        }
    } catch (const data::DatabaseError&) {
        // Books out of reach (a server that is down) do not stop the sale: the working copy
        // holds the rate the card had when the working set was made.
    }
    if (companyRead && !companyStock->NoMatch() && !rate)
        number(*companyStock, s::Kdv, in);  // a text there: refused, named
    // Amounts are exact four-decimal values: each product is rounded once, here, and what is
    // stored reads back as that decimal.
    // A purchase keeps the card's sale price as it is: its own price is the one prepared for it.
    const QString& priceField = in.purchase ? s::Fiyat2 : s::Fiyat;
    Money price = number(temp, priceField, in);
    Quantity quantity = number<Quantity>(temp, s::KalanB, in);
    Money amount = number(temp, s::GirenTutar, in);
    const Money vat = rate ? *rate : number(temp, s::Kdv, in);
    if (in.labelPrice) {
        // One package books one quantity whatever the operation: what it holds at the sale price.
        const Money salePrice = in.purchase ? number(temp, s::Fiyat, in) : price;
        const std::optional<Quantity> bought = quantityBought(*in.labelPrice, salePrice);
        if (!bought) return Booked::NoPrice;
        quantity += *bought;
        amount += in.purchase ? bought->times(price) : *in.labelPrice;
    } else if (in.priceEntry) {
        price = in.price;
        amount = quantity.times(price);
    } else {
        quantity += in.quantity;
        amount += in.quantity.times(price);
    }
    const Money vatAmount = amount.percent(vat);
    temp.Edit();
    if (in.priceEntry) temp.setField(priceField, price.toDouble());
    temp.setField(s::KalanB, quantity.toDouble());
    temp.setField(s::GirenTutar, amount.toDouble());
    if (rate) temp.setField(s::Kdv, vat.toDouble());
    temp.setField(s::Kar, vatAmount.toDouble());
    temp.setField(s::Fiyat2, price.toDouble());
    temp.Update();
    return Booked::Yes;
}

}  // namespace

Booked book(data::Recordset& temp, data::Recordset* companyStock, const BookingInput& input) {
    return input.countMode ? bookCount(temp, input) : bookLine(temp, companyStock, input);
}

QString bookingText(Booked b, const QString& name, bool countMode) {
    const QString none =
        countMode ? QStringLiteral("hiçbir şey sayılmadı") : QStringLiteral("hiçbir şey işlenmedi");
    switch (b) {
        case Booked::Yes:
        case Booked::NothingEntered:
            return {};
        case Booked::CountedInFull:
            return QStringLiteral("Tamamı sayıldı: %1 — listeden çıktı").arg(name);
        case Booked::NoCard:
            return QStringLiteral("Kart seçili değil: %1. Ürünü okutunuz.").arg(none);
        case Booked::NotTheCard:
            return QStringLiteral("Arama kutusundaki ad seçili kart değil: %1.").arg(none);
        case Booked::NoBookQuantity:
            return QStringLiteral("%1: defter miktarı boş, %2").arg(name, none);
        case Booked::NoPrice:
            return QStringLiteral("%1: fiyatı yok, terazi etiketi işlenmedi").arg(name);
    }
    return {};
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
