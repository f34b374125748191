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

const char* const Schema =
    "CREATE TABLE IF NOT EXISTS CardOrder (Pos INTEGER PRIMARY KEY, Card INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS CardText (Field INTEGER, Fold TEXT, Pos INTEGER);"
    "CREATE TABLE IF NOT EXISTS Mark (Key TEXT PRIMARY KEY, Value TEXT);";

void makeFile(const QString& path) {
    if (databaseKind(path) == DatabaseKind::SQLite) return;
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* error = nullptr;
    if (opened == SQLITE_OK) sqlite3_exec(db, Schema, nullptr, nullptr, &error);
    const QString text = opened != SQLITE_OK ? QString::fromUtf8(sqlite3_errmsg(db))
                         : error             ? QString::fromUtf8(error)
                                             : QString();
    sqlite3_free(error);
    sqlite3_close(db);
    if (!text.isEmpty())
        throw DatabaseError(QStringLiteral("Sıra dosyası yapılamadı: %1 (%2)").arg(path, text));
}

QString attachedFile(Database& db, const QString& alias) {
    QSqlQuery q = db.query(QStringLiteral("PRAGMA database_list"));
    QString file;
    while (q.next())
        if (q.value(1).toString() == alias) file = q.value(2).toString();
    q.finish();
    return file;
}

QString single(Database& db, const QString& sql) {
    QSqlQuery q = db.query(sql);
    const QString v = q.next() ? q.value(0).toString() : QString();
    q.finish();
    return v;
}

void rebuild(Database& db) {
    for (const char* drop :
         {"DROP INDEX IF EXISTS ord.CardOrder_Card", "DROP INDEX IF EXISTS ord.CardText_Find",
          "DELETE FROM ord.CardOrder", "DELETE FROM ord.CardText"})
        db.query(QString::fromLatin1(drop));
    db.query(
        QStringLiteral("INSERT INTO ord.CardOrder (Card) SELECT rowid FROM cards.StokKartlar "
                       "WHERE StokGizle=0 ORDER BY trkey(StokAdi), rowid"));
    for (int field = 0; field < searchedFields().size(); ++field) {
        const QString name = searchedFields()[field];
        db.query(QStringLiteral("INSERT INTO ord.CardText (Field, Fold, Pos) SELECT %1, "
                                "trfold(c.%2), o.Pos FROM ord.CardOrder o JOIN cards.StokKartlar "
                                "c ON c.rowid = o.Card WHERE c.%2 IS NOT NULL AND c.%2 <> ''")
                     .arg(field)
                     .arg(name));
    }
    db.query(QStringLiteral("CREATE INDEX ord.CardOrder_Card ON CardOrder (Card)"));
    db.query(QStringLiteral("CREATE INDEX ord.CardText_Find ON CardText (Field, Fold, Pos)"));
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
    if (!attachedFile(db, QStringLiteral("ord")).isEmpty())
        db.query(QStringLiteral("DETACH DATABASE ord"));
    makeFile(orderFile);
    db.attach(orderFile, QStringLiteral("ord"));
    // A cache made again whenever it is in doubt: its commits need not wait for the disk.
    db.query(QStringLiteral("PRAGMA ord.synchronous=OFF"));

    const QString cards = attachedFile(db, QStringLiteral("cards"));
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
