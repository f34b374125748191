#pragma once

#include <QString>
#include <optional>

#include "core/Money.h"

namespace data {
class DataControl;
}

namespace invoicing {

/// Puts the working set's lines (visible cards with a quantity, by name) on `temp` and returns
/// their total, the exact sum of GirenTutar over exactly those lines. With no line the full list
/// is put back and there is no total.
std::optional<core::Money> openLines(data::DataControl& temp);

/// The total's caption: "Toplam = " and the plain number for an invoice, the grouped number with
/// at least two decimals for an account posting; every decimal the total holds is shown, so the
/// operator confirms the very amount that is written.
QString totalCaption(core::Money total, bool invoice);

/// What the price-label preview shows for the current card.
struct LabelPreview {
    QString name;
    QString price;  // "1.234,50 TL."
    QString barcode;
};
LabelPreview labelPreview(data::DataControl& temp);

}  // namespace invoicing
