#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

#include "data/Books.h"

namespace data {

class Database;

/// The terminals' own record of who wrote what: one entry per written document, and one for each
/// thing that never reached the books (a line cleared, a basket given up, a refused "Tamam", a wait
/// given up, a lost answer settled). On files it is a file of the terminals' own beside the books
/// (never a table of the package's files); on a server the `terminal` schema's table. A document's
/// entry commits with the document. The rest is kept in the basket, durably, and moved into the
/// journal with the next document or at the next flush.
namespace journal {

/// The file name of the journal in a data directory of files.
inline constexpr char FileName[] = "TerminalJournal.db";

/// What an entry records; the stored codes are the enum's names in lower case.
enum class Event { Document, Removed, Cancelled, Abandoned, Refused, WaitGivenUp, Settled };
QString codeOf(Event event);
/// The event of a stored code; Document for a code it does not know.
Event eventOf(const QString& code);

struct Entry {
    QString id;  // unique; made when the entry is written
    QDateTime at;
    int terminal = 0;
    QString computer, user;  // this computer and the user the terminal runs as, when empty
    Event event = Event::Document;
    QString work;       // "Depo" or "Cari"
    QString operation;  // "Satış", "Alış", "Sayım" or "Fatura"
    QString target;     // the branch's or customer's title
    QString books;      // the companies whose books were written, "01,02"
    QString number;     // the document number (DigerId) a document carries
    QString invoice;    // an invoice's key, "S00001"
    Money total;
    QString reason;  // why it was refused, what was waited for, how it was settled
    std::vector<Line> lines;
};

/// An entry's lines as stored: a JSON array of objects with "code", "name", "quantity", "price",
/// "amount" and "vat", the numbers as exact decimal texts ("388.8").
QString linesText(const std::vector<Line>& lines);
std::vector<Line> linesOf(const QString& text);

/// The journal file of books on files in `dataDirectory` (ending in a separator).
QString fileIn(const QString& dataDirectory);
/// The journal file of the books at `books` in `dataDirectory`; empty where the journal is kept
/// in the books' own database.
QString fileFor(const QString& books, const QString& dataDirectory);

/// Keeps an entry in the basket (its connection, inside the caller's transaction if one is
/// open), to go into the journal later.
void keep(Database& basket, Entry entry);

/// Inside a document's transaction on `books`, whose journal is attached as "jr" on files:
/// moves the kept entries and writes `entries` into the journal. Files take the kept entries out
/// of the basket in the same transaction; a server's are returned, to be forgotten once it
/// committed (moving one twice writes it once).
QStringList write(AttachedBooks& books, const std::vector<Entry>& entries);
/// The kept entries of `ids` went into the journal.
void forget(Database& basket, const QStringList& ids);

/// Moves the entries the basket keeps into the journal of the books at `serverPath`
/// (`journalFile` on files) in a transaction of its own. Throws DatabaseError; what could not
/// be moved stays kept.
void flush(const QString& basket, const QString& serverPath, const QString& journalFile);

/// Makes the journal where it is missing: the file on files, the table on a server (the
/// connection of any of its books).
void ensureFile(const QString& journalFile);
void ensureTable(Database& server);

}  // namespace journal

}  // namespace data
