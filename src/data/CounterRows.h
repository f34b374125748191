#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace data {
class AttachedBooks;
class Database;
}  // namespace data

namespace data {

/// The counters of an index database attached as `schema`: a row of the years it numbers
/// (Tarih), and per year a row (Mdbindex) of the last document number (Indexi) and serial number
/// (Serino) handed out.
bool hasCounterYear(Database& db, const QString& schema, const QString& year);
void addCounterYear(Database& db, const QString& schema, const QString& year);

struct CounterRow {
    qint64 rowid = -1;
    QString document, serial;  // Indexi, Serino
};
/// The year's counter row (the first by row); none before the year's first draw.
std::optional<CounterRow> findCounterRow(Database& db, const QString& schema, const QString& year);
/// Rewrites the document number (serial false) or serial number of the row.
void storeCounter(Database& db, const QString& schema, qint64 rowid, bool serial,
                  const QString& number);
/// Rewrites it in the year's first row.
void storeYearCounter(Database& db, const QString& schema, const QString& year, bool serial,
                      const QString& number);
void addCounterRow(Database& db, const QString& schema, const QString& year,
                   const QString& document, const QString& serial);

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
