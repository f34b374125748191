#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace data {
class AttachedBooks;
class Database;
}  // namespace data

namespace data {

/// Draws the next document number (serial false, field Indexi) or serial number (serial true,
/// field Serino) of a year from the counters of the index database attached as `schema`, creating
/// the year's rows on its first draw. Numbers are the year's last two digits followed by a running
/// number without leading zeros (201, 202, …, 2010). Run it inside the caller's write transaction:
/// nothing else can draw between the read and the write, and a rolled-back draw is not consumed.
/// Throws DatabaseError when a counter's running part is not a number.
QString DrawNumber(Database& db, const QString& schema, bool serial, const QString& year);

/// One number for a document that two companies' books carry (a transfer): the next number of
/// each counter, the larger of them, and every counter advanced to it. A number skipped in one
/// series leaves a gap there; no company's books ever carry one number for two documents.
QString DrawNumber(Database& db, const QStringList& schemas, bool serial, const QString& year);

/// Draws `count` numbers at once (the serial numbers of an invoice's lines): the same numbers
/// `count` calls of DrawNumber give, with the counter written once.
QStringList DrawNumbers(Database& db, const QString& schema, bool serial, const QString& year,
                        int count);

/// The same draws on the counters of the books joined as `aliases`.
QString DrawNumber(AttachedBooks& books, const QStringList& aliases, bool serial,
                   const QString& year);
QStringList DrawNumbers(AttachedBooks& books, const QString& alias, bool serial,
                        const QString& year, int count);

/// The digits after "S" of the invoice keys that have them in an invoice file; none when the
/// file is no database of ours.
QStringList invoiceKeyDigits(const QString& invoiceFile);

/// The invoice number as books on a server keep it: their one row ("terminal.fatno"), locked
/// until the transaction ends (none when the row is missing), where it is (for messages), and
/// the digits after "S" of every company's invoice keys.
struct ServerInvoiceNumber {
    std::optional<QString> stored;
    QString where;
    QStringList used;
};
ServerInvoiceNumber lockServerInvoiceNumber(AttachedBooks& books);
void storeServerInvoiceNumber(AttachedBooks& books, const QString& number);

}  // namespace data
