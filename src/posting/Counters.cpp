#include "posting/Counters.h"

#include <QRegularExpression>
#include <algorithm>
#include <vector>

#include "data/Books.h"
#include "data/CounterRows.h"
#include "data/Database.h"
#include "data/DatabaseError.h"

namespace posting {

namespace {

// One index database's counter row of a year, as read before the draw.
struct Counter {
    QString schema;
    qint64 rowid = -1;  // none yet: the year's first draw there
    QString next;       // the number this counter alone would hand out
    qulonglong running = 0;
};

Counter readCounter(data::Database& db, const QString& schema, bool serial, const QString& year) {
    if (!data::hasCounterYear(db, schema, year)) data::addCounterYear(db, schema, year);
    Counter c{schema, -1, year.right(2) + u'1', 1};
    const std::optional<data::CounterRow> row = data::findCounterRow(db, schema, year);
    if (!row) return c;
    c.rowid = row->rowid;
    const QString last = serial ? row->serial : row->document;
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    bool ok = false;
    const qulonglong running = last.mid(2).toULongLong(&ok);
    if (!ok || !digits.match(last.mid(2)).hasMatch())
        throw data::DatabaseError(
            QStringLiteral("%1 sayacı okunamıyor: \"%2\" (%3 yılı). Hiçbir şey yazılmadı.")
                .arg(serial ? QStringLiteral("Seri numarası") : QStringLiteral("Belge numarası"),
                     last, year));
    c.running = running + 1;
    c.next = last.left(2) + QString::number(c.running);
    return c;
}

void storeCounter(data::Database& db, const Counter& c, bool serial, const QString& year,
                  const QString& number) {
    if (c.rowid >= 0) {
        data::storeCounter(db, c.schema, c.rowid, serial, number);
        return;
    }
    // A year's first document number is its first serial number too.
    data::addCounterRow(db, c.schema, year, serial ? year.right(2) + u'0' : number, number);
}

}  // namespace

QString DrawNumber(data::Database& db, const QString& schema, bool serial, const QString& year) {
    return DrawNumber(db, QStringList{schema}, serial, year);
}

QString DrawNumber(data::Database& db, const QStringList& schemas, bool serial,
                   const QString& year) {
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

QStringList DrawNumbers(data::Database& db, const QString& schema, bool serial, const QString& year,
                        int count) {
    QStringList numbers;
    if (count <= 0) return numbers;
    numbers << DrawNumber(db, schema, serial, year);
    const QString prefix = numbers.first().left(2);
    const qulonglong first = numbers.first().mid(2).toULongLong();
    for (int i = 1; i < count; ++i)
        numbers << prefix + QString::number(first + static_cast<qulonglong>(i));
    if (count > 1) data::storeYearCounter(db, schema, year, serial, numbers.last());
    return numbers;
}

QString DrawNumber(data::AttachedBooks& books, const QStringList& aliases, bool serial,
                   const QString& year) {
    QStringList schemas;
    for (const QString& alias : aliases)
        schemas << books.qualifier(alias);
    return DrawNumber(books.db(), schemas, serial, year);
}

QStringList DrawNumbers(data::AttachedBooks& books, const QString& alias, bool serial,
                        const QString& year, int count) {
    return DrawNumbers(books.db(), books.qualifier(alias), serial, year, count);
}

}  // namespace posting
