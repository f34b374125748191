#pragma once

#include <QHash>
#include <memory>

#include "data/Database.h"
#include "modes/WorkingSet.h"
#include "support/TestSupport.h"

namespace testing_support {

/// A basket on a company's stock with some lines entered: `lines` cards from the first visible
/// ones, each with quantity 1 + its place and its amount at the sale price. Its connection (and
/// with it the view over the cards) stays open for the rest of the test program, as the screen
/// keeps its own.
inline QString enteredWorkingCopy(const QString& serverPath, const QString& target, int lines) {
    static QHash<QString, std::shared_ptr<data::Database>> held;
    held.remove(target);
    auto db = modes::openBasket(target, serverPath + u"Stok.mdb"_s, data::basket::View::Sale);
    held.insert(target, db);
    db->query(
        u"UPDATE StokKartlar SET KalanB = 1 + (rowid % 3), GirenTutar = (1 + (rowid % 3)) "
        "* Fiyat WHERE rowid IN (SELECT rowid FROM StokKartlar WHERE StokGizle=0 "
        "ORDER BY rowid LIMIT ?)"_s,
        {lines});
    return target;
}

}  // namespace testing_support
