#include "data/Basket.h"

#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>
#include <QStringList>

#include "data/CardOrder.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/FilePaths.h"
#include "data/Journal.h"
#include "data/Names.h"
#include "data/Transaction.h"

namespace data::basket {

using namespace Qt::StringLiterals;

namespace {

namespace s = names::stok;

// The entered fields of a line, as the cards spell them, and what the view needs besides.
const char* const Schema =
    "CREATE TABLE IF NOT EXISTS Basket (StokKod TEXT PRIMARY KEY, StokAdi TEXT, Birim TEXT, "
    "Barkod TEXT, Fiyat2 REAL, KalanB REAL DEFAULT 0, KalanA REAL, GirenTutar REAL DEFAULT 0, "
    "Kdv REAL, Kar REAL DEFAULT 0, Removed INTEGER DEFAULT 0, Entered INTEGER);"
    "CREATE TABLE IF NOT EXISTS Road (Key TEXT PRIMARY KEY, Value TEXT);";

bool isBasket(const QString& path) {
    if (databaseKind(path) != DatabaseKind::SQLite) return false;
    sqlite3* db = nullptr;
    bool found = false;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT count(*) FROM sqlite_master WHERE type='table' AND "
                               "name IN ('Basket', 'Road')",
                               -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            found = sqlite3_column_int(st, 0) == 2;
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return found;
}

// A card field of the view: the entered ones come from the basket (`entered`), or are plain
// values, so that the engine sees a condition on them as true or false without reading a card.
QString viewColumn(const QString& field, View view, bool entered) {
    const auto is = [&field](const QString& name) {
        return field.compare(name, Qt::CaseInsensitive) == 0;
    };
    const auto from = [entered](const QString& name, const QString& otherwise) {
        return (entered ? QStringLiteral("coalesce(b.%1, %2)").arg(name, otherwise) : otherwise) +
               QStringLiteral(" AS ") + name;
    };
    if (view == View::Count) {
        if (is(s::KalanB)) return from(s::KalanB, QStringLiteral("c.KalanB"));
        if (is(s::KalanA)) return from(s::KalanA, QStringLiteral("c.KalanA"));
    } else {
        // The book quantity shown beside the entered one is the card's as it is now.
        if (is(s::KalanA)) return QStringLiteral("c.KalanB AS KalanA");
        for (const QString& f : {s::KalanB, s::GirenTutar, s::Kar})
            if (is(f)) return from(f, QStringLiteral("0"));
        if (is(s::Fiyat2))
            return from(s::Fiyat2, u"c."_s + (view == View::Purchase ? s::gFiyat : s::Fiyat));
    }
    return QStringLiteral("c.\"%1\"").arg(field);
}

void makeView(Database& db, View view) {
    QStringList fields;
    QSqlQuery info = db.query(QStringLiteral("PRAGMA cards.table_info(StokKartlar)"));
    while (info.next())
        fields << info.value(1).toString();
    info.finish();
    if (fields.isEmpty())
        throw DatabaseError(QStringLiteral("Stok kartları tablosu yok: %1").arg(db.path()));
    QStringList entered{QStringLiteral("c.rowid AS rowid")}, others = entered;
    for (const QString& f : fields) {
        entered << viewColumn(f, view, true);
        others << viewColumn(f, view, false);
    }
    db.query(QStringLiteral("DROP VIEW IF EXISTS temp.StokKartlar"));
    // The entered cards and the others apart: a search for the lines (KalanB<>0) reads only the
    // basket, the others' part being false for every card without reading one. The basket leads
    // its part (CROSS JOIN keeps that order): it is the small one.
    db.query(
        QStringLiteral("CREATE TEMP VIEW StokKartlar AS SELECT %1 FROM main.Basket b CROSS JOIN "
                       "cards.StokKartlar c ON c.StokKod = b.StokKod%3 UNION ALL SELECT %2 FROM "
                       "cards.StokKartlar c WHERE NOT EXISTS (SELECT 1 FROM main.Basket b WHERE "
                       "b.StokKod = c.StokKod)")
            .arg(entered.join(QStringLiteral(", ")), others.join(QStringLiteral(", ")),
                 view == View::Count ? QStringLiteral(" WHERE b.Removed = 0") : QString()));
    // An edit of a card is an entry of the basket (a hidden card is never a line); a card counted
    // in full leaves the count.
    const QString kept = QStringLiteral(
        "StokKod, StokAdi, Birim, Barkod, Fiyat2, KalanB, KalanA, GirenTutar, Kdv, Kar");
    QStringList values, updates;
    for (const QString& f : kept.split(QStringLiteral(", "))) {
        values << QStringLiteral("NEW.") + f;
        if (f != s::StokKod) updates << QStringLiteral("%1 = excluded.%1").arg(f);
    }
    db.query(QStringLiteral(
                 "CREATE TEMP TRIGGER IF NOT EXISTS StokKartlar_Entry INSTEAD OF UPDATE ON "
                 "StokKartlar WHEN NOT coalesce(NEW.StokGizle, 0) BEGIN INSERT INTO Basket (%1, "
                 "Entered) VALUES (%2, (SELECT "
                 "coalesce(max(Entered), 0) + 1 FROM Basket)) ON CONFLICT (StokKod) DO UPDATE "
                 "SET %3, Removed = 0; END")
                 .arg(kept, values.join(QStringLiteral(", ")), updates.join(QStringLiteral(", "))));
    db.query(QStringLiteral(
                 "CREATE TEMP TRIGGER IF NOT EXISTS StokKartlar_Counted INSTEAD OF DELETE ON "
                 "StokKartlar BEGIN INSERT INTO Basket (%1, Removed, Entered) VALUES (%2, 1, "
                 "(SELECT coalesce(max(Entered), 0) + 1 FROM Basket)) ON CONFLICT (StokKod) DO "
                 "UPDATE SET Removed = 1; END")
                 .arg(kept, values.join(QStringLiteral(", "))
                                .replace(QStringLiteral("NEW."), QStringLiteral("OLD."))));
}

}  // namespace

// A super-journal names the journals of one commit across files. Once none of them is left (each
// was played back or its commit completed) it only takes room; while one is, it decides whether
// that journal is played back, so it stays.
void removeSpentSuperJournals(const QString& basket) {
    const QFileInfo info(basket);
    const QDir folder = info.absoluteDir();
    for (const QString& name :
         folder.entryList({info.fileName() + QStringLiteral("-mj*")}, QDir::Files)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        bool spent = true;
        for (const QByteArray& journal : file.readAll().split('\0'))
            if (!journal.isEmpty() && QFile::exists(QFile::decodeName(journal))) spent = false;
        file.close();
        if (spent) file.remove();
    }
}

void ensureFile(const QString& basket) {
    const bool kept = isBasket(basket);
    removeSpentSuperJournals(basket);
    if (kept) return;
    createDatabaseFile(basket, Schema);
}

std::shared_ptr<Database> open(const QString& basket, const QString& cards, View view,
                               const QString& orderFile) {
    ensureFile(basket);
    auto db = Database::open(basket, Database::Durability::Full);
    // Only this terminal writes its basket: its transactions need no lock on the shared files.
    db->setLocksOnlyWhatItTouches(true);
    const QString file = resolvePath(cards);
    // Attached afresh each time: a cards file made again under the same name is a new file.
    if (!db->attachedFile(QStringLiteral("cards")).isEmpty()) {
        db->query(QStringLiteral("DROP VIEW IF EXISTS temp.StokKartlar"));
        db->query(QStringLiteral("DETACH DATABASE cards"));
    }
    db->attachForReading(file, QStringLiteral("cards"));
    makeView(*db, view);
    db->setNameOrder(QString());
    if (view != View::Count && !orderFile.isEmpty()) {
        try {
            cardorder::attach(*db, orderFile);
        } catch (const DatabaseError&) {
            // Without its order file the list is read and sorted whole: slower, the same rows.
        }
    }
    return db;
}

std::optional<Road> savedRoad(Database& db) {
    QHash<QString, QString> values;
    QSqlQuery q = db.query(QStringLiteral("SELECT Key, Value FROM main.Road"));
    while (q.next())
        values.insert(q.value(0).toString(), q.value(1).toString());
    q.finish();
    if (!values.contains(QStringLiteral("target"))) return std::nullopt;
    return Road{values.value(QStringLiteral("kind")).toInt(),
                values.value(QStringLiteral("operation")).toInt(),
                values.value(QStringLiteral("targetIndex")).toInt(),
                values.value(QStringLiteral("target")), values.value(QStringLiteral("serverPath"))};
}

namespace {

void keepGivenUp(Database& db, const journal::Entry* givenUp) {
    if (!givenUp) return;
    journal::Entry e = *givenUp;
    e.lines = enteredLines(db, LineOrder::ByName);
    if (e.lines.empty()) return;
    for (const Line& line : e.lines)
        e.total += line.amount;
    journal::keep(db, e);
}

}  // namespace

void start(Database& db, const Road& road, const journal::Entry* givenUp) {
    Transaction transaction(db);
    keepGivenUp(db, givenUp);
    db.query(QStringLiteral("DELETE FROM main.Basket"));
    db.query(QStringLiteral("DELETE FROM main.Road"));
    const std::pair<QString, QString> values[] = {
        {QStringLiteral("kind"), QString::number(road.kind)},
        {QStringLiteral("operation"), QString::number(road.operation)},
        {QStringLiteral("targetIndex"), QString::number(road.targetIndex)},
        {QStringLiteral("target"), road.target},
        {QStringLiteral("serverPath"), road.serverPath}};
    for (const auto& [key, value] : values)
        db.query(QStringLiteral("INSERT INTO main.Road (Key, Value) VALUES (?, ?)"), {key, value});
    transaction.commit();
}

void saveFoundAccount(Database& db, const QString& title) {
    db.query(QStringLiteral("INSERT OR REPLACE INTO main.Road (Key, Value) VALUES ('found', ?)"),
             {title});
}

QString foundAccount(Database& db) {
    QSqlQuery q = db.query(QStringLiteral("SELECT Value FROM main.Road WHERE Key = 'found'"));
    const QString title = q.next() ? q.value(0).toString() : QString();
    q.finish();
    return title;
}

void noteWritten(Database& db, const QString& document) {
    db.query(QStringLiteral("INSERT OR REPLACE INTO main.Road (Key, Value) VALUES ('written', ?)"),
             {document});
}

QString lastWritten(Database& db) {
    QSqlQuery q = db.query(QStringLiteral("SELECT Value FROM main.Road WHERE Key = 'written'"));
    const QString document = q.next() ? q.value(0).toString() : QString();
    q.finish();
    return document;
}

void clear(const QString& basket, const journal::Entry* givenUp) {
    if (!isBasket(basket)) return;
    auto db = Database::open(basket, Database::Durability::Full);
    Transaction transaction(*db);
    keepGivenUp(*db, givenUp);
    db->query(QStringLiteral("DELETE FROM main.Basket"));
    transaction.commit();
}

Summary summary(Database& db) {
    Summary s;
    QSqlQuery q = db.query(
        QStringLiteral("SELECT GirenTutar FROM main.Basket WHERE KalanB <> 0 AND Removed = 0"));
    while (q.next()) {
        ++s.lines;
        s.total += core::Money::fromStored(q.value(0)).value_or(core::Money());
    }
    q.finish();
    return s;
}

}  // namespace data::basket
