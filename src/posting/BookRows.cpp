#include "posting/BookRows.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>
#include <cmath>

#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/FilePaths.h"
#include "data/ServerBooks.h"
#include "data/Statement.h"

namespace posting {

namespace {

// Through the working copy's partial index: the entered cards without reading every card.
const QString EnteredWhere =
    QStringLiteral("(KalanB<>0 OR GirenTutar<>0) AND StokGizle=0 AND KalanB<>0");

// Column `i` of a row the posting reads or rewrites, taken to four decimals. Where a file keeps
// a text that is no number, reading it as 0 and writing that back would destroy the value: the
// posting stops before it writes anything and says which file, row and field.
Money numberAt(const QSqlQuery& q, int i, const QString& row, const QString& fileName) {
    const QVariant v = q.value(i);
    if (v.isNull()) return Money();
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        bool ok = false;
        const double d = v.toString().trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(d)) {
            const QString field = q.record().fieldName(i);
            throw data::DatabaseError(
                QStringLiteral("Hiçbir şey yazılmadı: %1 %2 alanında sayı yok (\"%3\"): %4")
                    .arg(row, field, v.toString().left(40), fileName));
        }
        return Money::fromDouble(d);
    }
    return Money::fromDouble(v.toDouble());
}

}  // namespace

AttachedBooks::AttachedBooks(const QString& workingCopy,
                             std::vector<std::pair<QString, QString>> files)
    : m_files(std::move(files)) {
    if (!m_files.empty() && data::isServerPath(m_files.front().second)) {
        m_local = data::Database::openPrivate(workingCopy);
        m_db = data::Database::openPrivate(m_files.front().second);
        // Every schema named must be there: a missing company is refused as a missing file is.
        for (const auto& [alias, path] : m_files) {
            const auto server = data::parseServerPath(path);
            QSqlQuery found =
                m_db->query(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = ?"),
                            {server ? server->schema() : QString()});
            if (!found.next())
                throw data::DatabaseError(QStringLiteral("Veritabanı bulunamadı: %1").arg(path));
        }
        return;
    }
    for (auto& f : m_files)
        f.second = data::resolvePath(f.second);
    std::sort(m_files.begin(), m_files.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    m_db = data::Database::openPrivate(workingCopy);
    for (const auto& [alias, path] : m_files) {
        m_db->attach(path, alias);
        m_db->query(QStringLiteral("PRAGMA %1.synchronous=FULL").arg(alias)).finish();
    }
    // The working copy is local: read it through memory mapping like the screen does.
    m_db->query(QStringLiteral("PRAGMA main.mmap_size=268435456")).finish();
}

AttachedBooks::~AttachedBooks() = default;

QString AttachedBooks::qualifier(const QString& alias) const {
    if (!m_local) return alias;
    const auto server = data::parseServerPath(fileOf(alias));
    return server ? data::quotedSchema(server->schema()) : alias;
}

QString AttachedBooks::fileOf(const QString& alias) const {
    for (const auto& [a, path] : m_files)
        if (a == alias) return path;
    return QString();
}

std::vector<Line> enteredLines(data::Database& db, LineOrder order) {
    std::vector<Line> lines;
    QSqlQuery q = db.query(
        QStringLiteral(
            "SELECT StokKod, StokAdi, Birim, Barkod, Fiyat2, KalanB, GirenTutar, Kdv, Kar, "
            "rowid FROM main.StokKartlar WHERE %1 ORDER BY %2, rowid")
            // "+" keeps the engine from walking a whole-table index for the order:
            // the few entered cards come from the partial index and are then sorted,
            // names in Turkish alphabetical order.
            .arg(EnteredWhere, order == LineOrder::ByCode ? QStringLiteral("+StokKod")
                                                          : QStringLiteral("trkey(StokAdi)")));
    const QString file = db.path();
    while (q.next()) {
        const QString row = QStringLiteral("%1 satırının").arg(q.value(0).toString());
        auto money = [&](int i) { return numberAt(q, i, row, file); };
        lines.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                         q.value(3).toString(), money(4), money(5), money(6), money(7), money(8),
                         q.value(9).toLongLong()});
    }
    q.finish();
    return lines;
}

std::optional<Account> findAccount(data::Database& db, const QString& schema, const QString& field,
                                   const QString& value, const QString& fileName) {
    QSqlQuery q = db.query(QStringLiteral("SELECT rowid, CariKod, Unvan, Gurup, Borc, Alacak, "
                                          "Bakiye FROM "
                                          "%1.CariKartlar WHERE %2 = ? ORDER BY CariKod, rowid "
                                          "LIMIT 1")
                               .arg(schema, field),
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

void storeBalance(data::Database& db, const QString& schema, Account& a, bool debit, Money amount) {
    (debit ? a.borc : a.alacak) += amount;
    const bool credit = a.alacak > a.borc;
    const Money balance = credit ? a.alacak - a.borc : a.borc - a.alacak;
    db.query(QStringLiteral("UPDATE %1.CariKartlar SET Borc = ?, Alacak = ?, Bakiye = ?, Hesap = ? "
                            "WHERE rowid = ?")
                 .arg(schema),
             {a.borc.toDouble(), a.alacak.toDouble(), balance.toDouble(),
              credit ? QStringLiteral("Alacak") : QStringLiteral("Borç"), a.rowid});
}

QHash<QString, Card> findCards(data::Database& db, const QString& schema,
                               const std::vector<Line>& lines, const QString& fileName,
                               QStringList& missing) {
    QHash<QString, Card> cards;
    // Attached files read the codes from the working copy beside them; a server is given them.
    QString codes = QStringLiteral("SELECT StokKod FROM main.StokKartlar WHERE ") + EnteredWhere;
    QVariantList params;
    if (db.engine() == data::Database::Engine::PostgreSQL) {
        for (const Line& line : lines)
            params << line.code;
        codes = QStringList(params.size(), QStringLiteral("?")).join(u',');
    }
    QSqlQuery q = db.query(
        QStringLiteral("SELECT StokKod, rowid, StokAdi, Barkod, gFiyat, GirenMik, CikanMik, "
                       "GirenTutar, CikanTutar, KalanB, KalanA FROM %1.StokKartlar WHERE StokKod "
                       "IN (%2) ORDER BY rowid")
            .arg(schema, codes),
        params);
    while (q.next()) {
        const QString code = q.value(0).toString();
        if (cards.contains(code)) continue;
        Card c;
        c.rowid = q.value(1).toLongLong();
        c.name = q.value(2).toString();
        c.barcode = q.value(3).toString();
        const QString card = QStringLiteral("%1 stok kartının").arg(code);
        auto money = [&](int i) { return numberAt(q, i, card, fileName); };
        c.cost = money(4);
        c.totals = {money(5), money(6), money(7), money(8), money(9), money(10)};
        cards.insert(code, c);
    }
    q.finish();
    for (const Line& line : lines) {
        const QString name = QStringLiteral("%1 stok kartı (%2)").arg(line.code, fileName);
        if (!cards.contains(line.code) && !missing.contains(name)) missing << name;
    }
    return cards;
}

struct CardWriter::Impl {
    data::Statement update;
};

CardWriter::CardWriter(data::Database& db, const QString& schema)
    : m(new Impl{data::Statement(
          db,
          QStringLiteral("UPDATE %1.StokKartlar SET GirenMik = ?, CikanMik = ?, GirenTutar = ?, "
                         "CikanTutar = ?, KalanB = ?, KalanA = ? WHERE rowid = ?")
              .arg(schema))}) {}

CardWriter::~CardWriter() = default;

void CardWriter::store(const Card& card) {
    const StockTotals& t = card.totals;
    m->update.bind(1, t.girenMik.toDouble())
        .bind(2, t.cikanMik.toDouble())
        .bind(3, t.girenTutar.toDouble())
        .bind(4, t.cikanTutar.toDouble());
    m->update.bind(5, t.kalanB.toDouble()).bind(6, t.kalanA.toDouble()).bind(7, card.rowid);
    m->update.run();
}

void resetEnteredLines(data::Database& db) {
    db.execute(QStringLiteral(
        "UPDATE main.StokKartlar Set KalanB=0, GirenTutar=0 WHERE KalanB<>0 OR GirenTutar<>0"));
}

}  // namespace posting
