#include "data/CounterRows.h"

#include <QSqlQuery>

#include "data/Books.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/Names.h"

namespace data {

namespace {

QString counterField(bool serial) {
    return serial ? names::mdbindex::Serino : names::mdbindex::Indexi;
}

}  // namespace

bool hasCounterYear(Database& db, const QString& schema, const QString& year) {
    QSqlQuery years = db.query(
        QStringLiteral("SELECT 1 FROM %1.Tarih WHERE Tarih = ? LIMIT 1").arg(schema), {year});
    const bool known = years.next();
    years.finish();
    return known;
}

void addCounterYear(Database& db, const QString& schema, const QString& year) {
    db.query(QStringLiteral("INSERT INTO %1.Tarih (Tarih) VALUES (?)").arg(schema), {year});
}

std::optional<CounterRow> findCounterRow(Database& db, const QString& schema, const QString& year) {
    QSqlQuery row = db.query(QStringLiteral("SELECT rowid, Indexi, Serino FROM %1.Mdbindex "
                                            "WHERE Tarih = ? ORDER BY rowid LIMIT 1")
                                 .arg(schema),
                             {year});
    if (!row.next()) return std::nullopt;
    CounterRow c{row.value(0).toLongLong(), row.value(1).toString(), row.value(2).toString()};
    row.finish();
    return c;
}

void storeCounter(Database& db, const QString& schema, qint64 rowid, bool serial,
                  const QString& number) {
    db.query(QStringLiteral("UPDATE %1.Mdbindex SET %2 = ? WHERE rowid = ?")
                 .arg(schema, counterField(serial)),
             {number, rowid});
}

void storeYearCounter(Database& db, const QString& schema, const QString& year, bool serial,
                      const QString& number) {
    db.query(QStringLiteral("UPDATE %1.Mdbindex SET %2 = ? WHERE rowid = (SELECT rowid FROM "
                            "%1.Mdbindex WHERE Tarih = ? ORDER BY rowid LIMIT 1)")
                 .arg(schema, counterField(serial)),
             {number, year});
}

void addCounterRow(Database& db, const QString& schema, const QString& year,
                   const QString& document, const QString& serial) {
    db.query(QStringLiteral("INSERT INTO %1.Mdbindex (Tarih, Indexi, Serino) VALUES (?, ?, ?)")
                 .arg(schema),
             {year, document, serial});
}

namespace {

QStringList keyDigits(Database& db, const QString& qualifier) {
    QSqlQuery q = db.query(
        QStringLiteral("SELECT substr(FaturaNo, 2) FROM %1Faturalar WHERE %2")
            .arg(qualifier.isEmpty() ? QString() : qualifier + u'.',
                 db.dialect().startsWithDigit(names::fatura::FaturaNo, QStringLiteral("S"))));
    QStringList digits;
    while (q.next())
        digits << q.value(0).toString();
    q.finish();
    return digits;
}

}  // namespace

QStringList invoiceKeyDigits(const QString& invoiceFile) {
    if (databaseKind(resolvePath(invoiceFile)) != DatabaseKind::SQLite) return {};
    return keyDigits(*Database::open(invoiceFile), QString());
}

ServerInvoiceNumber lockServerInvoiceNumber(AttachedBooks& books) {
    Database& db = books.db();
    ServerInvoiceNumber n;
    n.where = QStringLiteral("terminal.fatno (%1)").arg(db.path());
    QSqlQuery row =
        db.query(QStringLiteral("SELECT no FROM terminal.fatno") + db.dialect().rowLock());
    if (row.next()) n.stored = row.value(0).toString();
    row.finish();
    // Every company's invoices share the sequence.
    for (const QString& book : db.dialect().companyBooks(db, QStringLiteral("fatura")))
        n.used << keyDigits(db, book);
    return n;
}

void storeServerInvoiceNumber(AttachedBooks& books, const QString& number) {
    books.db().query(QStringLiteral("UPDATE terminal.fatno SET no = ?"), {number});
}

}  // namespace data
