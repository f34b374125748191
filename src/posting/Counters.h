#pragma once

#include <QString>
#include <QStringList>

namespace data {
class AttachedBooks;
class Database;
}  // namespace data

namespace posting {

/// Draws the next document number (serial false, field Indexi) or serial number (serial true,
/// field Serino) of a year from the counters of the index database attached as `schema`, creating
/// the year's rows on its first draw. Numbers are the year's last two digits followed by a running
/// number without leading zeros (201, 202, …, 2010). Run it inside the caller's write transaction:
/// nothing else can draw between the read and the write, and a rolled-back draw is not consumed.
/// Throws DatabaseError when a counter's running part is not a number.
QString DrawNumber(data::Database& db, const QString& schema, bool serial, const QString& year);

/// One number for a document that two companies' books carry (a transfer): the next number of
/// each counter, the larger of them, and every counter advanced to it. A number skipped in one
/// series leaves a gap there; no company's books ever carry one number for two documents.
QString DrawNumber(data::Database& db, const QStringList& schemas, bool serial,
                   const QString& year);

/// Draws `count` numbers at once (the serial numbers of an invoice's lines): the same numbers
/// `count` calls of DrawNumber give, with the counter written once.
QStringList DrawNumbers(data::Database& db, const QString& schema, bool serial, const QString& year,
                        int count);

/// The same draws on the counters of the books joined as `aliases`.
QString DrawNumber(data::AttachedBooks& books, const QStringList& aliases, bool serial,
                   const QString& year);
QStringList DrawNumbers(data::AttachedBooks& books, const QString& alias, bool serial,
                        const QString& year, int count);

}  // namespace posting
