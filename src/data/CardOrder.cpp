#include "data/CardOrder.h"

#include <sqlite3.h>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QSqlQuery>
#include <algorithm>
#include <chrono>

#include "core/Waiting.h"

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

// What a long making says, and how far it is: the cards read so far of all of them.
struct Progress {
    QString doing;
    qint64 read = 0;
    qint64 total = 0;
    int from = 0, to = 100;  // the share of the making this step takes, in percent
    QElapsedTimer since;
    QString given;  // what the operator gave up, once given up
};

void countRead(sqlite3_context* ctx, int, sqlite3_value**) {
    ++static_cast<Progress*>(sqlite3_user_data(ctx))->read;
    sqlite3_result_int(ctx, 1);
}

// Asked by the engine every few thousand steps: says how far the making is, and stops it when the
// operator gave the wait up. Unwatched (tools, benchmarks) a making runs to its end.
int reportProgress(void* state) {
    auto* p = static_cast<Progress*>(state);
    const qint64 share =
        p->total > 0 ? std::min(p->read, p->total) * (p->to - p->from) / p->total : 0;
    const QString what = QStringLiteral("%1 (%2 %)").arg(p->doing).arg(p->from + share);
    if (core::keepWorking(what, std::chrono::milliseconds(p->since.elapsed()))) return 0;
    p->given = what;
    return 1;
}

// Runs one long statement of a making; one the operator stopped ends as a wait given up.
QSqlQuery watched(Database& db, Progress& progress, int from, int to, const QString& sql) {
    progress.from = from;
    progress.to = to;
    progress.read = 0;
    try {
        // Asked at each step too: a small catalogue's steps end before the engine asks.
        if (reportProgress(&progress)) throw DatabaseError(QString());
        return db.query(sql);
    } catch (const DatabaseError&) {
        if (progress.given.isEmpty()) throw;
        throw BusyError(core::waitGivenUpText(progress.given), progress.given, true);
    }
}

void rebuild(Database& db, Progress& progress) {
    const int fields = static_cast<int>(searchedFields().size());
    for (int i = 0; i < fields; ++i)
        db.query(QStringLiteral("DROP INDEX IF EXISTS CardOrder_Field%1").arg(i));
    db.query(QStringLiteral("DROP INDEX IF EXISTS CardOrder_Card"));
    db.query(QStringLiteral("DELETE FROM CardOrder"));
    // One pass over the cards, then one sort: the cards are never read by row here.
    QStringList folds;
    for (const QString& f : searchedFields())
        folds << QStringLiteral("trfold(nullif(%1, ''))").arg(f);
    QStringList columns;
    for (int i = 0; i < fields; ++i)
        columns << QStringLiteral("Field%1").arg(i);
    progress.doing = QStringLiteral("Stok kartları sıralanıyor");
    watched(db, progress, 0, 70,
            QStringLiteral("INSERT INTO CardOrder (Card, %1) SELECT rowid, %2 FROM "
                           "cards.StokKartlar WHERE cardread(rowid) AND StokGizle=0 "
                           "ORDER BY trkey(StokAdi), rowid")
                .arg(columns.join(QStringLiteral(", ")), folds.join(QStringLiteral(", "))));
    // An index of a field holds each card's place beside its text: the first place of a text is
    // its first entry.
    const int share = 30 / (fields + 1);
    watched(db, progress, 70, 70 + share,
            QStringLiteral("CREATE INDEX CardOrder_Card ON CardOrder (Card)"));
    for (int i = 0; i < fields; ++i)
        watched(db, progress, 70 + share * (i + 1), 70 + share * (i + 2),
                QStringLiteral("CREATE INDEX CardOrder_Field%1 ON CardOrder (Field%1)").arg(i));
}

QString stampOf(const QString& cards) {
    const QFileInfo info(cards);
    return QStringLiteral("%1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
}

QHash<QString, QString> keptMarks(Database& db) {
    QHash<QString, QString> kept;
    QSqlQuery q = db.query(QStringLiteral("SELECT Key, Value FROM Mark"));
    while (q.next())
        kept.insert(q.value(0).toString(), q.value(1).toString());
    q.finish();
    return kept;
}

}  // namespace

const QStringList& searchedFields() {
    static const QStringList fields{QStringLiteral("StokAdi"), QStringLiteral("StokKod"),
                                    QStringLiteral("Barkod"), QStringLiteral("Barkod2"),
                                    QStringLiteral("Barkod3")};
    return fields;
}

void prepare(const QString& cards, const QString& orderFile) {
    makeFile(orderFile);
    auto db = Database::openPrivate(orderFile);
    // Terminals of one folder share the order: one makes it while the others read the order they
    // had, never waiting for it. A cache made again whenever it is in doubt: its commits need
    // not wait for the disk.
    QSqlQuery wal = db->query(QStringLiteral("PRAGMA journal_mode=WAL"));
    wal.finish();
    db->query(QStringLiteral("PRAGMA synchronous=OFF"));
    db->attachForReading(cards, QStringLiteral("cards"));
    const QString file = db->attachedFile(QStringLiteral("cards"));
    const QString stamp = stampOf(file);
    const auto unchanged = [&](const QHash<QString, QString>& kept) {
        return kept.value(QStringLiteral("cards")) == file &&
               kept.value(QStringLiteral("stamp")) == stamp;
    };
    // Unchanged since the order was made: nothing to read.
    if (unchanged(keptMarks(*db))) return;
    Progress progress;
    progress.since.start();
    sqlite3_progress_handler(db->handle(), 20000, reportProgress, &progress);
    const auto handled =
        qScopeGuard([&] { sqlite3_progress_handler(db->handle(), 0, nullptr, nullptr); });
    sqlite3_create_function_v2(db->handle(), "cardread", 1, SQLITE_UTF8, &progress, countRead,
                               nullptr, nullptr, nullptr);
    // Another terminal of the folder may be making it now: the first makes it, the next finds it.
    Transaction transaction(*db);
    const QHash<QString, QString> kept = keptMarks(*db);
    if (unchanged(kept)) return;
    // Changed (a posting wrote it): the order stands while no card's row, name or hidden flag
    // changed.
    progress.doing = QStringLiteral("Stok kartları denetleniyor");
    progress.total =
        single(*db, QStringLiteral("SELECT count(*) FROM cards.StokKartlar")).toLongLong();
    QSqlQuery marked =
        watched(*db, progress, 0, 100,
                QStringLiteral("SELECT count(*) || ':' || cardmark(rowid, StokAdi, "
                               "StokGizle) FROM cards.StokKartlar WHERE cardread(rowid)"));
    const QString mark = marked.next() ? marked.value(0).toString() : QString();
    marked.finish();
    if (!(kept.value(QStringLiteral("cards")) == file &&
          kept.value(QStringLiteral("mark")) == mark))
        rebuild(*db, progress);
    for (const auto& [key, value] : {std::pair{QStringLiteral("cards"), file},
                                     {QStringLiteral("stamp"), stamp},
                                     {QStringLiteral("mark"), mark}})
        db->query(QStringLiteral("INSERT OR REPLACE INTO Mark (Key, Value) VALUES (?, ?)"),
                  {key, value});
    transaction.commit();
    // The making's pages go back into the file: the log would otherwise keep its whole size.
    // Other terminals reading the order are not waited for; their reads end the log's use.
    sqlite3_busy_handler(db->handle(), nullptr, nullptr);
    QSqlQuery checkpoint = db->query(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    checkpoint.finish();
}

void attach(Database& db, const QString& orderFile) {
    db.setNameOrder(QString());
    if (!db.attachedFile(QStringLiteral("ord")).isEmpty())
        db.query(QStringLiteral("DETACH DATABASE ord"));
    prepare(db.attachedFile(QStringLiteral("cards")), orderFile);
    db.attach(orderFile, QStringLiteral("ord"));
    db.setNameOrder(QStringLiteral("ord"));
}

}  // namespace data::cardorder
