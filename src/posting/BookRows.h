#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "posting/StockTotals.h"

namespace data {
class Database;
}

namespace posting {

/// A connection of its own on the working copy with the books a posting writes attached. Files
/// are attached in path order, so every terminal takes their write locks in the same order and
/// two postings that share files wait for each other instead of deadlocking. The books commit
/// with full durability.
///
/// Books on a server are one connection whose schemas stand for the files; the working copy is
/// then a connection of its own, and a posting commits on the server first.
class AttachedBooks {
  public:
    /// `files`: alias and path of each book.
    AttachedBooks(const QString& workingCopy, std::vector<std::pair<QString, QString>> files);
    ~AttachedBooks();
    /// The connection that writes the books.
    data::Database& db() { return *m_db; }
    /// The connection that reads the working copy (the same one when the books are files).
    data::Database& workingCopy() { return m_local ? *m_local : *m_db; }
    bool onServer() const { return m_local != nullptr; }
    /// How statements name the book attached as `alias`: the alias, or its schema on a server.
    QString qualifier(const QString& alias) const;
    /// The resolved path of the file attached as `alias`, for messages.
    QString fileOf(const QString& alias) const;

  private:
    std::unique_ptr<data::Database> m_db;
    std::unique_ptr<data::Database> m_local;
    std::vector<std::pair<QString, QString>> m_files;
};

/// An entered line of the working set (the connection's main database). Its price is the one the
/// line was booked at and the grids show (Fiyat2): the sale price, or a purchase's own price.
struct Line {
    QString code, name, unit, barcode;
    Money price, quantity, amount, vatRate, vat;
    qint64 row = 0;  // the working copy's row
};

/// The working set's entered lines (visible, with a quantity), by item code or by name (Turkish
/// alphabetical order). A value
/// that is not a number stops with DatabaseError naming the line and field.
enum class LineOrder { ByCode, ByName };
std::vector<Line> enteredLines(data::Database& db, LineOrder order);

/// An account card as a posting reads and then rewrites it.
struct Account {
    qint64 rowid = 0;
    QString code, title, group;
    Money borc, alacak;
};

/// The first account (in code order) whose `field` equals `value` in the attached `schema`. A
/// balance field holding no number stops with DatabaseError naming `fileName`, card and field.
std::optional<Account> findAccount(data::Database& db, const QString& schema, const QString& field,
                                   const QString& value, const QString& fileName);

/// Adds to the account's debit or credit and stores it with its balance and side.
void storeBalance(data::Database& db, const QString& schema, Account& account, bool debit,
                  Money amount);

/// A stock card as a posting reads and then rewrites it.
struct Card {
    qint64 rowid = 0;
    QString name, barcode;
    Money cost;
    StockTotals totals;
};

/// The first card (by row) of each of the lines' codes in the attached `schema`; the codes
/// without a card are added to `missing`, named with `fileName`. A total holding no number stops
/// with DatabaseError naming the file, card and field.
QHash<QString, Card> findCards(data::Database& db, const QString& schema,
                               const std::vector<Line>& lines, const QString& fileName,
                               QStringList& missing);

/// Stores a card's totals.
class CardWriter {
  public:
    CardWriter(data::Database& db, const QString& schema);
    ~CardWriter();
    void store(const Card& card);

  private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

/// The entered lines leave the working set: quantity and amount to 0.
void resetEnteredLines(data::Database& db);

}  // namespace posting
