#pragma once

#include <QString>
#include <QStringList>

namespace data {

class Database;

/// The visible cards of the stock cards attached as `cards`, in Turkish name order, kept in a
/// file of the terminal's own (never in the company's files): `CardOrder` gives each card its
/// place (Pos 1, 2, …) and the folded text of each searched field (`Field0` … in the order of
/// searchedFields()), so that the grid reads its rows by place and a scan or a name finds its first
/// card in that order without reading every card. The file is made again only when the cards it was
/// made from have changed (their row, name or hidden flag).
namespace cardorder {

/// The fields whose folded text can be looked up.
const QStringList& searchedFields();

/// Makes the order file `orderFile` of the stock file `cards` when it is missing or no longer the
/// cards' order, on a connection of its own (it may run on a thread of its own). A long making
/// tells the thread's wait observer how far it is ("Stok kartları sıralanıyor (40 %)") and stops,
/// throwing BusyError, when the wait is given up. Terminals sharing the file make it once.
/// Throws DatabaseError when it cannot be made.
void prepare(const QString& cards, const QString& orderFile);

/// Attaches the order file `orderFile` of the cards attached to `db` as `cards`, as `ord`,
/// preparing it first. Throws DatabaseError when it cannot be made (the caller goes on without
/// it).
void attach(Database& db, const QString& orderFile);

}  // namespace cardorder

}  // namespace data
