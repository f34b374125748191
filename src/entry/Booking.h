#pragma once

#include <QString>
#include <optional>

#include "core/Money.h"

namespace data {
class Recordset;
}

namespace entry {

struct BookingInput {
    bool countMode = false;
    core::Quantity quantity;  // the number box's value read as a quantity
    bool priceEntry = false;  // the number box is cyan: its value is `price`, not a quantity
    QString searchText;       // the text of the search box, naming the card in sale and purchase
    bool purchase = false;    // "ALIŞ": the line's price is the purchase price prepared in Fiyat2
    /// A scale's price label: one package, the same quantity in every operation, what the label's
    /// price buys at the card's sale price (to three decimals). A sale's amount grows by exactly
    /// the label's price, a purchase's by that quantity at the purchase price; `quantity` is not
    /// used.
    std::optional<core::Money> labelPrice = std::nullopt;
    /// The company's stock file the working copy was made from, named when a card holds a text
    /// where a number belongs.
    QString booksFile = QString();
    core::Money price = core::Money();  // the number box's value read as a price
};

/// Books the number box on the current card of the working set. Count mode takes the counted
/// quantity off KalanB first (a card counted in full leaves the copy) and puts the excess in
/// KalanA. Sale and purchase add the quantity to KalanB and its amount to GirenTutar, and take the
/// VAT rate from the company's card of the same name (`companyStock`, may be null: the line keeps
/// its rate); a price entry sets the price and recomputes the amount, books no quantity. The
/// line's price, the one shown and posted, is Fiyat2: a sale books at the sale price Fiyat (and a
/// sale's price entry changes it), a purchase at the purchase price prepared in Fiyat2.
/// A price label on a line without a price books nothing. OK books the card the search box
/// names: with another name there (a scan that missed) nothing is booked. A text where the card
/// holds a number (a price, a quantity, a VAT rate) books nothing: DatabaseError names the card,
/// the field and the file.
enum class Booked {
    Yes,
    CountedInFull,
    NothingEntered,
    NoCard,
    NotTheCard,
    NoBookQuantity,
    NoPrice
};
Booked book(data::Recordset& temp, data::Recordset* companyStock, const BookingInput& input);

inline bool changed(Booked b) {
    return b == Booked::Yes || b == Booked::CountedInFull;
}

/// What the status strip says of a booking: why nothing was booked, or that a counted card left
/// the list. Empty when there is nothing to say (booked, or nothing typed).
QString bookingText(Booked b, const QString& name, bool countMode);

/// "SİL": the current card's entered quantity goes to 0. In sale and purchase its amount and VAT
/// amount go too, so a later scan of the item starts a fresh line instead of adding to the old
/// amount; a count keeps its amounts (they are not part of the count).
void clearLine(data::Recordset& temp, bool countMode);

}  // namespace entry
