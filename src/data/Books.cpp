#include "data/Books.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>

#include "data/Basket.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/Names.h"
#include "data/ServerBooks.h"
#include "data/Statement.h"
#include "data/Transaction.h"

namespace data {

namespace {

// The basket's lines: what was entered and not taken off again.
const QString EnteredWhere = QStringLiteral("KalanB<>0 AND Removed=0");

// Column `i` of a row the posting reads or rewrites, taken to four decimals. Where a file keeps
// a text that is no number, reading it as 0 and writing that back would destroy the value: the
// posting stops before it writes anything and says which file, row and field.
template <class Number = Money>
Number numberAt(const QSqlQuery& q, int i, const QString& row, const QString& fileName) {
    const QVariant v = q.value(i);
    if (const std::optional<Number> m = Number::fromStored(v)) return *m;
    throw DatabaseError(QStringLiteral("Hiçbir şey yazılmadı: %1 %2 alanında sayı yok (\"%3\"): %4")
                            .arg(row, q.record().fieldName(i), v.toString().left(40), fileName));
}

}  // namespace

AttachedBooks::AttachedBooks(const QString& workingCopy,
                             std::vector<std::pair<QString, QString>> files)
    : m_dialect(&dialectOf(files.empty() ? workingCopy : files.front().second)),
      m_files(std::move(files)) {
    Dialect::Joined joined = m_dialect->join(workingCopy, m_files);
    m_db = std::move(joined.books);
    m_local = std::move(joined.workingCopy);
}

AttachedBooks::~AttachedBooks() = default;

QString AttachedBooks::qualifier(const QString& alias) const {
    return m_dialect->qualifier(alias, fileOf(alias));
}

QString AttachedBooks::fileOf(const QString& alias) const {
    for (const auto& [a, path] : m_files)
        if (a == alias) return path;
    return QString();
}

QString AttachedBooks::shownFile(const QString& alias) const {
    const QString path = fileOf(alias);
    // A server holds no such file: its schema is what the operator can look for.
    if (const std::optional<ServerAddress> server = parseServerPath(path))
        return QStringLiteral("%1 şeması, %2").arg(server->schema(), server->serverText());
    return path;
}

std::vector<Line> enteredLines(Database& db, LineOrder order) {
    std::vector<Line> lines;
    QSqlQuery q = db.query(
        QStringLiteral(
            "SELECT StokKod, StokAdi, Birim, Barkod, Fiyat2, KalanB, GirenTutar, Kdv, Kar, "
            "rowid FROM main.Basket WHERE %1 ORDER BY %2, rowid")
            // Names in Turkish alphabetical order.
            .arg(EnteredWhere, order == LineOrder::ByCode
                                   ? names::stok::StokKod
                                   : db.dialect().turkishOrder(names::stok::StokAdi)));
    const QString file = db.path();
    while (q.next()) {
        const QString row = QStringLiteral("%1 satırının").arg(q.value(0).toString());
        auto money = [&](int i) { return numberAt(q, i, row, file); };
        lines.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                         q.value(3).toString(), money(4), numberAt<Quantity>(q, 5, row, file),
                         money(6), money(7), money(8), q.value(9).toLongLong()});
    }
    q.finish();
    return lines;
}

std::optional<Account> findAccount(AttachedBooks& books, const QString& alias, const QString& field,
                                   const QString& value) {
    const QString fileName = books.shownFile(alias);
    QSqlQuery q = books.db().query(
        QStringLiteral("SELECT rowid, CariKod, Unvan, Gurup, Borc, Alacak, Bakiye FROM "
                       "%1.CariKartlar WHERE %2 = ? ORDER BY CariKod, rowid LIMIT 1")
            .arg(books.qualifier(alias), field),
        {value});
    std::optional<Account> a;
    if (q.next()) {
        const QString card = QStringLiteral("\"%1\" cari kartının").arg(q.value(1).toString());
        numberAt(q, 6, card, fileName);  // rewritten: a text there is refused as well
        a = Account{q.value(0).toLongLong(),        q.value(1).toString(),
                    q.value(2).toString(),          q.value(3).toString(),
                    numberAt(q, 4, card, fileName), numberAt(q, 5, card, fileName)};
    }
    q.finish();
    return a;
}

void writeAccountTotals(AttachedBooks& books, const QString& alias, const Account& a, Money balance,
                        const QString& side) {
    books.db().query(
        QStringLiteral("UPDATE %1.CariKartlar SET Borc = ?, Alacak = ?, Bakiye = ?, Hesap = ? "
                       "WHERE rowid = ?")
            .arg(books.qualifier(alias)),
        {a.borc.toDouble(), a.alacak.toDouble(), balance.toDouble(), side, a.rowid});
}

QHash<QString, Card> findCards(AttachedBooks& books, const QString& alias,
                               const std::vector<Line>& lines, QStringList& missing) {
    const QString fileName = books.shownFile(alias);
    QHash<QString, Card> cards;
    // Books attached beside the working copy read its codes; books apart from it are given them.
    QString codes = QStringLiteral("SELECT StokKod FROM main.Basket WHERE ") + EnteredWhere;
    QVariantList params;
    if (books.workingCopyApart()) {
        for (const Line& line : lines)
            params << line.code;
        codes = QStringList(params.size(), QStringLiteral("?")).join(u',');
    }
    QSqlQuery q = books.db().query(
        QStringLiteral("SELECT StokKod, rowid, StokAdi, Barkod, gFiyat, GirenMik, CikanMik, "
                       "GirenTutar, CikanTutar, KalanB, KalanA, StokGizle FROM %1.StokKartlar "
                       "WHERE StokKod IN (%2) ORDER BY rowid")
            .arg(books.qualifier(alias), codes),
        params);
    QStringList hidden;
    while (q.next()) {
        const QString code = q.value(0).toString();
        if (cards.contains(code)) continue;
        // Hidden in the books since it was booked: the package no longer trades it.
        if (q.value(11).toBool()) hidden << code;
        Card c;
        c.rowid = q.value(1).toLongLong();
        c.name = q.value(2).toString();
        c.barcode = q.value(3).toString();
        const QString card = QStringLiteral("%1 stok kartının").arg(code);
        auto money = [&](int i) { return numberAt(q, i, card, fileName); };
        auto quantity = [&](int i) { return numberAt<Quantity>(q, i, card, fileName); };
        c.cost = money(4);
        c.totals = {quantity(5), quantity(6), money(7), money(8), quantity(9), quantity(10)};
        cards.insert(code, c);
    }
    q.finish();
    for (const Line& line : lines) {
        const QString name =
            hidden.contains(line.code)
                ? QStringLiteral("%1 %2 stok kartı gizli (%3)").arg(line.code, line.name, fileName)
                : QStringLiteral("%1 stok kartı (%2)").arg(line.code, fileName);
        if ((!cards.contains(line.code) || hidden.contains(line.code)) && !missing.contains(name))
            missing << name;
    }
    return cards;
}

CardWriter::CardWriter(AttachedBooks& books, const QString& alias)
    : m_update(std::make_unique<Statement>(
          books.db(),
          QStringLiteral("UPDATE %1.StokKartlar SET GirenMik = ?, CikanMik = ?, GirenTutar = ?, "
                         "CikanTutar = ?, KalanB = ?, KalanA = ? WHERE rowid = ?")
              .arg(books.qualifier(alias)))) {}

CardWriter::~CardWriter() = default;

void CardWriter::store(const Card& card) {
    const StockTotals& t = card.totals;
    m_update->bind(1, t.girenMik.toDouble())
        .bind(2, t.cikanMik.toDouble())
        .bind(3, t.girenTutar.toDouble())
        .bind(4, t.cikanTutar.toDouble());
    m_update->bind(5, t.kalanB.toDouble()).bind(6, t.kalanA.toDouble()).bind(7, card.rowid);
    m_update->run();
}

RowWriter::RowWriter(AttachedBooks& books, const QString& alias, const QString& table,
                     const QStringList& fields)
    : m_insert(std::make_unique<Statement>(
          books.db(), QStringLiteral("INSERT INTO %1.%2 (%3) VALUES (%4)")
                          .arg(books.qualifier(alias), table, fields.join(QStringLiteral(", ")),
                               QStringList(fields.size(), QStringLiteral("?")).join(u',')))) {}

RowWriter::~RowWriter() = default;

void RowWriter::add(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i)
        m_insert->bind(i + 1, values[i]);
    m_insert->run();
}

Money enteredTotal(DataControl& workingCopy) {
    return basket::summary(*workingCopy.database()).total;
}

void resetEnteredLines(Database& db) {
    // A price typed on a card without a quantity stays, as it stays on the card's line.
    db.execute(QStringLiteral("DELETE FROM main.Basket WHERE KalanB<>0 OR GirenTutar<>0"));
}

}  // namespace data
