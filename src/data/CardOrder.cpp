#include "data/CardOrder.h"

#include <sqlite3.h>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlQuery>

#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Transaction.h"

namespace data::cardorder {

namespace {

// Each visible card's place, and the folded text of each searched field (Field0 is the name).
const char* const Schema =
    "CREATE TABLE CardOrder (Pos INTEGER PRIMARY KEY, Card INTEGER NOT NULL, Field0 TEXT, "
    "Field1 TEXT, Field2 TEXT, Field3 TEXT, Field4 TEXT);"
    "CREATE TABLE Mark (Key TEXT PRIMARY KEY, Value TEXT);"
    "PRAGMA user_version = 2;";
constexpr int SchemaVersion = 2;

int schemaVersion(const QString& path) {
    if (databaseKind(path) != DatabaseKind::SQLite) return -1;
    sqlite3* db = nullptr;
    int version = -1;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            version = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return version;
}

void makeFile(const QString& path) {
    if (schemaVersion(path) == SchemaVersion) return;
    createDatabaseFile(path, Schema);
}

QString single(Database& db, const QString& sql) {
    QSqlQuery q = db.query(sql);
    const QString v = q.next() ? q.value(0).toString() : QString();
    q.finish();
    return v;
}

void rebuild(Database& db) {
    const int fields = static_cast<int>(searchedFields().size());
    for (int i = 0; i < fields; ++i)
        db.query(QStringLiteral("DROP INDEX IF EXISTS ord.CardOrder_Field%1").arg(i));
    db.query(QStringLiteral("DROP INDEX IF EXISTS ord.CardOrder_Card"));
    db.query(QStringLiteral("DELETE FROM ord.CardOrder"));
    // One pass over the cards, then one sort: the cards are never read by row here.
    QStringList folds;
    for (const QString& f : searchedFields())
        folds << QStringLiteral("trfold(nullif(%1, ''))").arg(f);
    QStringList columns;
    for (int i = 0; i < fields; ++i)
        columns << QStringLiteral("Field%1").arg(i);
    db.query(QStringLiteral("INSERT INTO ord.CardOrder (Card, %1) SELECT rowid, %2 FROM "
                            "cards.StokKartlar WHERE StokGizle=0 ORDER BY trkey(StokAdi), rowid")
                 .arg(columns.join(QStringLiteral(", ")), folds.join(QStringLiteral(", "))));
    db.query(QStringLiteral("CREATE INDEX ord.CardOrder_Card ON CardOrder (Card)"));
    // An index of a field holds each card's place beside its text: the first place of a text is
    // its first entry.
    for (int i = 0; i < fields; ++i)
        db.query(
            QStringLiteral("CREATE INDEX ord.CardOrder_Field%1 ON CardOrder (Field%1)").arg(i));
}

}  // namespace

const QStringList& searchedFields() {
    static const QStringList fields{QStringLiteral("StokAdi"), QStringLiteral("StokKod"),
                                    QStringLiteral("Barkod"), QStringLiteral("Barkod2"),
                                    QStringLiteral("Barkod3")};
    return fields;
}

void attach(Database& db, const QString& orderFile, const std::function<void()>& making) {
    db.setNameOrder(QString());
    if (!db.attachedFile(QStringLiteral("ord")).isEmpty())
        db.query(QStringLiteral("DETACH DATABASE ord"));
    makeFile(orderFile);
    db.attach(orderFile, QStringLiteral("ord"));
    // A cache made again whenever it is in doubt: its commits need not wait for the disk.
    db.query(QStringLiteral("PRAGMA ord.synchronous=OFF"));

    const QString cards = db.attachedFile(QStringLiteral("cards"));
    const QFileInfo info(cards);
    const QString stamp =
        QStringLiteral("%1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    QHash<QString, QString> kept;
    QSqlQuery q = db.query(QStringLiteral("SELECT Key, Value FROM ord.Mark"));
    while (q.next())
        kept.insert(q.value(0).toString(), q.value(1).toString());
    q.finish();
    const bool sameFile = kept.value(QStringLiteral("cards")) == cards;
    // Unchanged since the order was made: nothing to read. Changed (a posting wrote it): the
    // order stands while no card's row, name or hidden flag changed.
    if (!(sameFile && kept.value(QStringLiteral("stamp")) == stamp)) {
        const QString mark =
            single(db, QStringLiteral("SELECT count(*) || ':' || cardmark(rowid, StokAdi, "
                                      "StokGizle) FROM cards.StokKartlar"));
        Transaction transaction(db);
        if (!(sameFile && kept.value(QStringLiteral("mark")) == mark)) {
            if (making) making();
            rebuild(db);
        }
        for (const auto& [key, value] : {std::pair{QStringLiteral("cards"), cards},
                                         {QStringLiteral("stamp"), stamp},
                                         {QStringLiteral("mark"), mark}})
            db.query(QStringLiteral("INSERT OR REPLACE INTO ord.Mark (Key, Value) VALUES (?, ?)"),
                     {key, value});
        transaction.commit();
    }
    db.setNameOrder(QStringLiteral("ord"));
}

}  // namespace data::cardorder
