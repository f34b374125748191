#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/Money.h"

namespace data {

class Database;
namespace journal {
struct Entry;
}

/// The terminal's own working file: what the operator entered and on which road, written with
/// full durability so that a crash, a power cut or a restart loses nothing. It holds only the
/// entered lines; the cards are the company's stock file (or the server's cards cached in a
/// file), attached for reading and shown through a view named as the cards' table, whose entered
/// fields come from the basket. The view takes the grids' and the booking's edits into the basket.
namespace basket {

/// How the view shows a card: a sale or purchase shows the book quantity as KalanA and the
/// entered quantity as KalanB; a count shows the book quantities less what was counted.
enum class View { Sale, Purchase, Count };

/// Makes the basket file when it is missing or is not one (a working copy of an earlier
/// version). A basket that is there is kept as it is; a commit across the books that a crash cut
/// short is played back by its journals, and its spent super-journal files go.
void ensureFile(const QString& basket);

/// The basket's connection with `cards` (a stock file) attached for reading and the view made
/// for `view`, and, for a sale or purchase, the cards' name order kept in `orderFile` (see
/// cardorder). The connection is shared by path, as
/// every database is: data controls bound to the basket see the view while it lives.
std::shared_ptr<Database> open(const QString& basket, const QString& cards, View view,
                               const QString& orderFile = QString());

/// The road the basket was entered on.
struct Road {
    int kind = 0;        // 0 warehouse, 1 account
    int operation = -1;  // 0 sale, 1 count, 2 purchase, -1 none
    int targetIndex = -1;
    QString target;      // the target's title
    QString serverPath;  // whose books
    friend bool operator==(const Road&, const Road&) = default;
};
std::optional<Road> savedRoad(Database& basket);
/// The basket starts empty on `road`. Lines it still held are given up: `givenUp`, the entry of
/// the road they were entered on, is kept for the journal with them in the same commit.
void start(Database& basket, const Road& road, const journal::Entry* givenUp = nullptr);
/// The account a search made the target (account work), kept for a restart.
void saveFoundAccount(Database& basket, const QString& title);
QString foundAccount(Database& basket);
/// The last document the basket's lines became ("belge 261", "fatura S00003"), and what a start
/// says of it; empty when there is none.
void noteWritten(Database& basket, const QString& document);
QString lastWritten(Database& basket);
/// Every entered line goes: a change of work kind (kept for the journal as start() keeps them).
void clear(const QString& basket, const journal::Entry* givenUp = nullptr);

/// The lines entered and their exact total, as the totals screen would show them.
struct Summary {
    int lines = 0;
    core::Money total;
};
Summary summary(Database& basket);

}  // namespace basket

}  // namespace data
