#pragma once

#include <QFile>

#include "data/Database.h"
#include "support/TestSupport.h"

namespace testing_support {

/// A working copy of a company's stock with some lines entered: `lines` cards from the first
/// visible ones, each with quantity 1 + its place and its amount at the sale price.
inline QString enteredWorkingCopy(const QString& serverPath, const QString& target, int lines) {
    QFile::remove(target);
    QFile::copy(serverPath + u"Stok.mdb"_s, target);
    auto db = data::Database::open(target);
    db->execute(u"UPDATE StokKartlar Set KalanA=KalanB, KalanB=0, GirenTutar=0, Fiyat2=Fiyat"_s);
    db->query(
        u"UPDATE StokKartlar SET KalanB = 1 + (rowid % 3), GirenTutar = (1 + (rowid % 3)) "
        "* Fiyat WHERE rowid IN (SELECT rowid FROM StokKartlar WHERE StokGizle=0 "
        "ORDER BY rowid LIMIT ?)"_s,
        {lines});
    return target;
}

}  // namespace testing_support
