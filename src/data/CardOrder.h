#pragma once

#include <QString>
#include <QStringList>
#include <functional>

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

/// Attaches the order file `orderFile` to `db` as `ord`, making it first when it is missing or
/// no longer the cards' order. `making` is told before a long making begins. Throws
/// DatabaseError when it cannot be made (the caller goes on without it).
void attach(Database& db, const QString& orderFile, const std::function<void()>& making = {});

}  // namespace cardorder

}  // namespace data
