#pragma once

#include <QString>
#include <optional>

#include "entry/ScaleLabel.h"

namespace data {
class DataControl;
class Recordset;
}  // namespace data

namespace entry {

struct LookupResult {
    enum class Kind { None, Stock, Account };
    Kind kind = Kind::None;
    QString accountTitle;  // the found account's title (Kind::Account)
    /// A scale label found its card (Kind::Stock): what to book on it.
    std::optional<ScaleLabel> label;
    /// For a scale label, what the status strip says: what was read and on which card, why a
    /// zero books nothing, or which item number found no card.
    QString said;
};

/// Finds what a scanned or typed text names. Stock cards of the working set first, in this order:
/// Barkod, Barkod2, Barkod3, StokKod (equal), then StokAdi (begins with); on a match the card is
/// the current record of `temp`. Otherwise accounts: CariKod, Unvan, Telefon, VergiNo, Yetkili
/// (each begins with); on a match the account is the current record of `accounts`. Texts are
/// matched literally and without regard to case; the first match in each recordset's order wins.
/// Between the two, a text that is a label of one of the `scale` formats finds its card by item
/// number (see findLabelCard) and is not looked for among the accounts: a label whose card is not
/// found is a miss (Kind::None) that says why. A label whose value is zero is such a miss before
/// anything else, whatever card carries its code. Accounts that cannot be read (books out of
/// reach) make a miss that says so, never an error: the cards are the working copy's.
LookupResult lookUp(data::DataControl& temp, data::DataControl& accounts, const QString& text,
                    const ScaleFormats* scale = nullptr);

/// Makes the card a label names the current record of `temp`: its item number (as printed, then
/// without leading zeros) equal to StokKod; then Barkod, Barkod2, Barkod3 holding the label's
/// prefix and item number alone, or padded with zeros and given their check digit.
bool findLabelCard(data::Recordset& temp, const ScaleLabel& label);

}  // namespace entry
