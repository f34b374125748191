#include "posting/Balance.h"

#include "data/Books.h"

namespace posting {

void storeBalance(data::AttachedBooks& books, const QString& alias, data::Account& a, bool debit,
                  core::Money amount) {
    (debit ? a.borc : a.alacak) += amount;
    const bool credit = a.alacak > a.borc;
    const core::Money balance = credit ? a.alacak - a.borc : a.borc - a.alacak;
    data::writeAccountTotals(books, alias, a, balance,
                             credit ? QStringLiteral("Alacak") : QStringLiteral("Borç"));
}

}  // namespace posting
