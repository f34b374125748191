#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>
#include <optional>
#include <vector>

#include "core/StockTotals.h"

namespace data {

class DataControl;
class Database;
class Dialect;
class Statement;
using core::Money;
using core::Quantity;
using core::StockTotals;

/// The books one posting or invoice writes, joined so that one transaction commits across all of
/// them, with the working copy beside them: files attached to a connection of its own on the
/// working copy, or schemas of one server connection (the working copy then has a connection of
/// its own, and a posting commits on the server first). The books commit with full durability.
class AttachedBooks {
  public:
    /// `files`: alias and path of each book.
    AttachedBooks(const QString& workingCopy, std::vector<std::pair<QString, QString>> files);
    ~AttachedBooks();
    /// The connection that writes the books.
    Database& db() { return *m_db; }
    /// The connection that reads the working copy (the same one when the books are files).
    Database& workingCopy() { return m_local ? *m_local : *m_db; }
    /// Whether the working copy has a connection of its own, outside the books' transaction: a
    /// document then carries a token so that a lost answer cannot write it twice.
    bool workingCopyApart() const { return m_local != nullptr; }
    const Dialect& dialect() const { return *m_dialect; }
    /// How statements name the book attached as `alias`: the alias, or its schema on a server.
    QString qualifier(const QString& alias) const;
    /// The path of the file attached as `alias`.
    QString fileOf(const QString& alias) const;
    /// The book attached as `alias` as a message names it: the file, or the schema on its server.
    QString shownFile(const QString& alias) const;

  private:
    const Dialect* m_dialect;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<Database> m_local;
    std::vector<std::pair<QString, QString>> m_files;
};

/// An entered line of the working set (the connection's main database). Its price is the one the
/// line was booked at and the grids show (Fiyat2): the sale price, or a purchase's own price.
struct Line {
    QString code, name, unit, barcode;
    Money price;
    Quantity quantity;
    Money amount, vatRate, vat;
    qint64 row = 0;  // the working copy's row
};

/// The working set's entered lines (visible, with a quantity), by item code or by name (Turkish
/// alphabetical order). A value
/// that is not a number stops with DatabaseError naming the line and field.
enum class LineOrder { ByCode, ByName };
std::vector<Line> enteredLines(Database& db, LineOrder order);

/// An account card as a posting reads and then rewrites it.
struct Account {
    qint64 rowid = 0;
    QString code, title, group;
    Money borc, alacak;
};

/// The first account (in code order) whose `field` equals `value` in the book joined as `alias`.
/// A balance field holding no number stops with DatabaseError naming the file, card and field.
std::optional<Account> findAccount(AttachedBooks& books, const QString& alias, const QString& field,
                                   const QString& value);

/// Rewrites an account card's debit and credit with its balance and the side it stands on
/// ("Borç" or "Alacak").
void writeAccountTotals(AttachedBooks& books, const QString& alias, const Account& account,
                        Money balance, const QString& side);

/// A stock card as a posting reads and then rewrites it.
struct Card {
    qint64 rowid = 0;
    QString name, barcode;
    Money cost;
    StockTotals totals;
};

/// The first card (by row) of each of the lines' codes in the book joined as `alias`; the codes
/// without a card, or whose card is hidden there, are added to `missing`, named with the file. A
/// total holding no number stops with DatabaseError naming the file, card and field.
QHash<QString, Card> findCards(AttachedBooks& books, const QString& alias,
                               const std::vector<Line>& lines, QStringList& missing);

/// Stores cards' totals in the book joined as `alias`.
class CardWriter {
  public:
    CardWriter(AttachedBooks& books, const QString& alias);
    ~CardWriter();
    void store(const Card& card);

  private:
    std::unique_ptr<Statement> m_update;
};

/// An amount, price or quantity as the books' number columns take it (RowWriter's values).
template <class Tag>
QVariant stored(core::Decimal<Tag> value) {
    return value.toDouble();
}

/// Adds rows to one table of the book joined as `alias`: movements, invoices and their lines.
/// The statement is prepared once for any number of rows.
class RowWriter {
  public:
    RowWriter(AttachedBooks& books, const QString& alias, const QString& table,
              const QStringList& fields);
    ~RowWriter();
    /// One value for each field, in the fields' order.
    void add(const QVariantList& values);

  private:
    std::unique_ptr<Statement> m_insert;
};

/// The entered lines leave the basket.
void resetEnteredLines(Database& workingCopy);

/// The exact sum of the amounts of the lines shown (with a quantity).
Money enteredTotal(DataControl& workingCopy);

}  // namespace data
