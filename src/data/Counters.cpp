#include "data/Counters.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <vector>

#include "data/Books.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"

namespace data {

namespace {

// One index database's counter row of a year, as read before the draw.
struct Counter {
    QString schema;
    qint64 rowid = -1;  // none yet: the year's first draw there
    QString next;       // the number this counter alone would hand out
    qulonglong running = 0;
};

Counter readCounter(Database& db, const QString& schema, bool serial, const QString& year) {
    QSqlQuery years = db.query(
        QStringLiteral("SELECT 1 FROM %1.Tarih WHERE Tarih = ? LIMIT 1").arg(schema), {year});
    const bool known = years.next();
    years.finish();
    if (!known)
        db.query(QStringLiteral("INSERT INTO %1.Tarih (Tarih) VALUES (?)").arg(schema), {year});

    Counter c{schema, -1, year.right(2) + u'1', 1};
    QSqlQuery row = db.query(QStringLiteral("SELECT rowid, Indexi, Serino FROM %1.Mdbindex "
                                            "WHERE Tarih = ? ORDER BY rowid LIMIT 1")
                                 .arg(schema),
                             {year});
    if (!row.next()) return c;
    c.rowid = row.value(0).toLongLong();
    const QString last = row.value(serial ? 2 : 1).toString();
    row.finish();
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    bool ok = false;
    const qulonglong running = last.mid(2).toULongLong(&ok);
    if (!ok || !digits.match(last.mid(2)).hasMatch())
        throw DatabaseError(
            QStringLiteral("%1 sayacı okunamıyor: \"%2\" (%3 yılı). Hiçbir şey yazılmadı.")
                .arg(serial ? QStringLiteral("Seri numarası") : QStringLiteral("Belge numarası"),
                     last, year));
    c.running = running + 1;
    c.next = last.left(2) + QString::number(c.running);
    return c;
}

void storeCounter(Database& db, const Counter& c, bool serial, const QString& year,
                  const QString& number) {
    const QString field = serial ? QStringLiteral("Serino") : QStringLiteral("Indexi");
    if (c.rowid >= 0) {
        db.query(
            QStringLiteral("UPDATE %1.Mdbindex SET %2 = ? WHERE rowid = ?").arg(c.schema, field),
            {number, c.rowid});
        return;
    }
    // A year's first document number is its first serial number too.
    db.query(QStringLiteral("INSERT INTO %1.Mdbindex (Tarih, Indexi, Serino) VALUES (?, ?, ?)")
                 .arg(c.schema),
             {year, serial ? year.right(2) + u'0' : number, number});
}

}  // namespace

QString DrawNumber(Database& db, const QString& schema, bool serial, const QString& year) {
    return DrawNumber(db, QStringList{schema}, serial, year);
}

QString DrawNumber(Database& db, const QStringList& schemas, bool serial, const QString& year) {
    std::vector<Counter> counters;
    for (const QString& schema : schemas)
        if (std::none_of(counters.begin(), counters.end(),
                         [&schema](const Counter& c) { return c.schema == schema; }))
            counters.push_back(readCounter(db, schema, serial, year));
    const Counter* largest = &counters.front();
    for (const Counter& c : counters)
        if (c.running > largest->running) largest = &c;
    const QString number = largest->next;
    for (const Counter& c : counters)
        storeCounter(db, c, serial, year, number);
    return number;
}

QStringList DrawNumbers(Database& db, const QString& schema, bool serial, const QString& year,
                        int count) {
    QStringList numbers;
    if (count <= 0) return numbers;
    numbers << DrawNumber(db, schema, serial, year);
    const QString prefix = numbers.first().left(2);
    const qulonglong first = numbers.first().mid(2).toULongLong();
    for (int i = 1; i < count; ++i)
        numbers << prefix + QString::number(first + static_cast<qulonglong>(i));
    if (count > 1) {
        db.query(QStringLiteral("UPDATE %1.Mdbindex SET %2 = ? WHERE rowid = (SELECT rowid FROM "
                                "%1.Mdbindex WHERE Tarih = ? ORDER BY rowid LIMIT 1)")
                     .arg(schema, serial ? QStringLiteral("Serino") : QStringLiteral("Indexi")),
                 {numbers.last(), year});
    }
    return numbers;
}

QString DrawNumber(AttachedBooks& books, const QStringList& aliases, bool serial,
                   const QString& year) {
    QStringList schemas;
    for (const QString& alias : aliases)
        schemas << books.qualifier(alias);
    return DrawNumber(books.db(), schemas, serial, year);
}

QStringList DrawNumbers(AttachedBooks& books, const QString& alias, bool serial,
                        const QString& year, int count) {
    return DrawNumbers(books.db(), books.qualifier(alias), serial, year, count);
}

namespace {

QStringList keyDigits(Database& db, const QString& qualifier) {
    QSqlQuery q = db.query(
        QStringLiteral("SELECT substr(FaturaNo, 2) FROM %1Faturalar WHERE %2")
            .arg(qualifier.isEmpty() ? QString() : qualifier + u'.',
                 db.dialect().startsWithDigit(QStringLiteral("FaturaNo"), QStringLiteral("S"))));
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
