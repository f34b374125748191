#include "posting/Counters.h"

#include <QRegularExpression>
#include <QSqlQuery>

#include "data/Database.h"
#include "data/DatabaseError.h"

namespace posting {

QString DrawNumber(data::Database& db, const QString& schema, bool serial, const QString& year) {
    const QString prefix = year.right(2);
    QSqlQuery years = db.query(
        QStringLiteral("SELECT 1 FROM %1.Tarih WHERE Tarih = ? LIMIT 1").arg(schema), {year});
    const bool known = years.next();
    years.finish();
    if (!known)
        db.query(QStringLiteral("INSERT INTO %1.Tarih (Tarih) VALUES (?)").arg(schema), {year});

    QSqlQuery row = db.query(QStringLiteral("SELECT rowid, Indexi, Serino FROM %1.Mdbindex "
                                            "WHERE Tarih = ? ORDER BY rowid LIMIT 1")
                                 .arg(schema),
                             {year});
    if (!row.next()) {
        row.finish();
        const QString number = prefix + u'1';
        db.query(QStringLiteral("INSERT INTO %1.Mdbindex (Tarih, Indexi, Serino) VALUES (?, ?, ?)")
                     .arg(schema),
                 {year, serial ? prefix + u'0' : number, number});
        return number;
    }
    const qint64 rowid = row.value(0).toLongLong();
    const QString last = row.value(serial ? 2 : 1).toString();
    row.finish();
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    bool ok = false;
    const qulonglong running = last.mid(2).toULongLong(&ok);
    if (!ok || !digits.match(last.mid(2)).hasMatch())
        throw data::DatabaseError(
            QStringLiteral("%1 sayacı okunamıyor: \"%2\" (%3 yılı). Hiçbir şey yazılmadı.")
                .arg(serial ? QStringLiteral("Seri numarası") : QStringLiteral("Belge numarası"),
                     last, year));
    const QString number = last.left(2) + QString::number(running + 1);
    db.query(QStringLiteral("UPDATE %1.Mdbindex SET %2 = ? WHERE rowid = ?")
                 .arg(schema, serial ? QStringLiteral("Serino") : QStringLiteral("Indexi")),
             {number, rowid});
    return number;
}

QStringList DrawNumbers(data::Database& db, const QString& schema, bool serial, const QString& year,
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

}  // namespace posting
