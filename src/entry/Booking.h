#pragma once

#include <QString>

namespace data {
class Recordset;
}

namespace entry {

struct BookingInput {
    bool countMode = false;
    double value = 0;         // the number box's value
    bool priceEntry = false;  // the number box is cyan: the value is a price
    QString searchText;       // the text of the search box, naming the card in sale and purchase
};

/// Books the number box on the current card of the working set. Count mode takes the counted
/// quantity off KalanB first (a card counted in full leaves the copy) and puts the excess in
/// KalanA. Sale and purchase add the quantity to KalanB and its amount to GirenTutar, and take the
/// VAT rate from the company's card of the same name (`companyStock`, may be null: the line keeps
/// its rate); a price entry sets the price and recomputes the amount, books no quantity.
/// Returns true when a card was changed.
bool book(data::Recordset& temp, data::Recordset* companyStock, const BookingInput& input);

/// "SİL": the current card's entered quantity goes to 0 (amounts stay, but the line leaves every
/// total, which takes only cards with a quantity).
void clearLine(data::Recordset& temp);

}  // namespace entry
