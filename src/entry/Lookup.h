#pragma once

#include <QString>

namespace data {
class DataControl;
}

namespace entry {

struct LookupResult {
    enum class Kind { None, Stock, Account };
    Kind kind = Kind::None;
    QString accountTitle;  // the found account's title (Kind::Account)
};

/// Finds what a scanned or typed text names. Stock cards of the working set first, in this order:
/// Barkod, Barkod2, Barkod3, StokKod (equal), then StokAdi (begins with); on a match the card is
/// the current record of `temp`. Otherwise accounts: CariKod, Unvan, Telefon, VergiNo, Yetkili
/// (each begins with); on a match the account is the current record of `accounts`. Texts are
/// matched literally and without regard to case; the first match in each recordset's order wins.
LookupResult lookUp(data::DataControl& temp, data::DataControl& accounts, const QString& text);

}  // namespace entry
