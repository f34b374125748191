#include "data/WorkingFile.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <QFile>
#include <QRegularExpression>
#include <QSqlQuery>
#include <cstring>

#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/FilePaths.h"
#include "data/ServerBooks.h"
#include "data/ServerSession.h"

namespace data {

namespace {

QString text(sqlite3_stmt* s, int i) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
}

// One field of COPY's text format, its escapes undone.
QByteArray unescaped(const char* from, const char* to) {
    QByteArray out;
    out.reserve(to - from);
    for (const char* p = from; p < to; ++p) {
        if (*p != '\\' || p + 1 == to) {
            out += *p;
            continue;
        }
        switch (*++p) {
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                out += *p;
        }
    }
    return out;
}

}  // namespace

namespace {

// The cards changed since a read made under `snapshot`: every row version its transaction wrote
// after that read (or was still writing then). A row's xmin is widened to a full transaction id
// by the epoch of the snapshot's end; frozen rows (2 and below) are old by definition.
QString changedSince(const QString& snapshot) {
    const QString end = QStringLiteral("pg_snapshot_xmax(pg_current_snapshot())::text::bigint");
    return QStringLiteral(
               " WHERE xmin::text::bigint > 2 AND NOT pg_visible_in_snapshot((((%1 >> 32) << 32)"
               " + xmin::text::bigint - CASE WHEN xmin::text::bigint > (%1 & 4294967295) THEN "
               "4294967296 ELSE 0 END)::text::xid8, '%2'::pg_snapshot)")
        .arg(end, snapshot);
}

const char* const MarkTable = "CacheMark";

QString keptSnapshot(const QString& target, const QString& serverFile) {
    if (databaseKind(target) != DatabaseKind::SQLite) return QString();
    sqlite3* db = nullptr;
    QString server, snapshot;
    if (sqlite3_open_v2(QFile::encodeName(target).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT Key, Value FROM CacheMark", -1, &st, nullptr) ==
            SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                (text(st, 0) == QLatin1String("source") ? server : snapshot) = text(st, 1);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    // The moment goes into the server's SQL: only the engine's own form of it is taken.
    static const QRegularExpression form(QStringLiteral("^[0-9]+:[0-9]+:[0-9,]*$"));
    return server == serverFile.toLower() && form.match(snapshot).hasMatch() ? snapshot : QString();
}

}  // namespace

namespace {

// The SQLite file being written, and how a failure leaves it: a kept file that failed half-way
// is rolled back as it was; a new one is removed.
struct Target {
    QString path;
    bool fresh = true;  // no kept copy: made anew
    sqlite3* db = nullptr;

    [[noreturn]] void fail(const QString& why) {
        sqlite3_close(db);
        db = nullptr;
        if (fresh) QFile::remove(path);
        throw DatabaseError(QStringLiteral("Çalışma dosyası yazılamadı: %1 (%2)").arg(path, why));
    }
    void exec(const QString& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const QString why = QString::fromUtf8(error);
            sqlite3_free(error);
            fail(why);
        }
    }
    QStringList stockColumns() const {
        QStringList columns;
        sqlite3_stmt* info = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM pragma_table_info('StokKartlar')", -1, &info,
                           nullptr);
        while (sqlite3_step(info) == SQLITE_ROW)
            columns << text(info, 0);
        sqlite3_finalize(info);
        return columns;
    }
    // The cards' count and the sum of their keys: a deleted card changes them.
    QString keys() const {
        sqlite3_stmt* n = nullptr;
        QString kept;
        if (sqlite3_prepare_v2(db,
                               "SELECT count(*) || ':' || coalesce(sum(rowid), 0) FROM StokKartlar",
                               -1, &n, nullptr) == SQLITE_OK &&
            sqlite3_step(n) == SQLITE_ROW)
            kept = text(n, 0);
        sqlite3_finalize(n);
        return kept;
    }
};

// What the server says of the cards at the read's moment.
struct ServerCards {
    QString snapshot;
    qint64 total = 0;
    QString keys;
    QList<QPair<QString, QString>> tables;  // name, definition: only for a whole read
    QStringList indexes;  // made after the rows are in: faster than keeping them up to date
};

ServerCards readServerCards(ServerSession& server, const QString& schema, const QString& serverFile,
                            bool whole) {
    ServerCards c;
    {
        QSqlQuery q = server.run(QStringLiteral("SELECT pg_current_snapshot()::text"));
        if (q.next()) c.snapshot = q.value(0).toString();
    }
    {
        QSqlQuery n = server.run(
            QStringLiteral("SELECT count(*), count(*) || ':' || coalesce(sum(rowid), 0) FROM "
                           "%1.stokkartlar")
                .arg(quotedSchema(schema)));
        if (n.next()) {
            c.total = n.value(0).toLongLong();
            c.keys = n.value(1).toString();
        }
    }
    if (!whole) return c;
    QSqlQuery defs = server.run(QStringLiteral("SELECT name, definition, kind FROM terminal.tables "
                                               "WHERE schema = ? ORDER BY kind DESC, name"),
                                {schema}, schema);
    while (defs.next()) {
        if (defs.value(2).toString() == QLatin1String("index"))
            c.indexes << defs.value(1).toString();
        else
            c.tables.append({defs.value(0).toString(), defs.value(1).toString()});
    }
    defs.finish();
    if (c.tables.isEmpty())
        throw DatabaseError(QStringLiteral("Veritabanı bulunamadı: %1").arg(serverFile));
    return c;
}

// Binds one COPY line's fields to the insert's parameters.
void bindLine(sqlite3_stmt* ins, const char* line, int length, qsizetype columns) {
    const char* p = line;
    const char* end = line + length - (length > 0 && line[length - 1] == '\n' ? 1 : 0);
    int column = 1;
    while (p <= end && column <= columns) {
        const char* tab = static_cast<const char*>(memchr(p, '\t', static_cast<size_t>(end - p)));
        const char* stop = tab ? tab : end;
        if (stop - p == 2 && p[0] == '\\' && p[1] == 'N') {
            sqlite3_bind_null(ins, column);
        } else if (!memchr(p, '\\', static_cast<size_t>(stop - p))) {
            // Most fields need no unescaping: bound straight from the line.
            sqlite3_bind_text(ins, column, p, static_cast<int>(stop - p), SQLITE_TRANSIENT);
        } else {
            const QByteArray v = unescaped(p, stop);
            sqlite3_bind_text(ins, column, v.constData(), static_cast<int>(v.size()),
                              SQLITE_TRANSIENT);
        }
        ++column;
        if (!tab) break;
        p = tab + 1;
    }
}

// One streamed read of the whole table, or of what changed since `since`, written as it arrives.
qint64 streamCards(ServerSession& server, Target& t, const QString& schema, const QString& since,
                   qint64 total, const std::function<void(int)>& progress) {
    const QStringList stockColumns = t.stockColumns();
    if (stockColumns.isEmpty()) return 0;
    QStringList names = {QStringLiteral("rowid")};
    for (const QString& c : stockColumns)
        names << c.toLower();
    // A changed card takes the place of its row: its key is the server's row id.
    const QString insert =
        QStringLiteral("INSERT OR REPLACE INTO StokKartlar (rowid, \"%1\") VALUES (%2)")
            .arg(stockColumns.join(QStringLiteral("\", \"")),
                 QStringList(names.size(), QStringLiteral("?")).join(u','));
    sqlite3_stmt* ins = nullptr;
    if (sqlite3_prepare_v2(t.db, insert.toUtf8().constData(), -1, &ins, nullptr) != SQLITE_OK)
        t.fail(QString::fromUtf8(sqlite3_errmsg(t.db)));
    const QByteArray copy =
        QStringLiteral("COPY (SELECT %1 FROM %2.stokkartlar%3 ORDER BY rowid) TO STDOUT")
            .arg(names.join(QStringLiteral(", ")), quotedSchema(schema),
                 since.isEmpty() ? QString() : changedSince(since))
            .toUtf8();
    PGconn* conn = server.connection();
    PGresult* r = PQexec(conn, copy.constData());
    const bool ready = PQresultStatus(r) == PGRES_COPY_OUT;
    PQclear(r);
    if (!ready) {
        sqlite3_finalize(ins);
        t.fail(serverCause(QString::fromUtf8(PQerrorMessage(conn))));
    }
    char* line = nullptr;
    int length;
    int lastPercent = -1;
    qint64 rows = 0;
    while ((length = PQgetCopyData(conn, &line, 0)) > 0) {
        bindLine(ins, line, length, names.size());
        PQfreemem(line);
        const int rc = sqlite3_step(ins);
        sqlite3_reset(ins);
        if (rc != SQLITE_DONE) {
            sqlite3_finalize(ins);
            while (PQgetCopyData(conn, &line, 0) > 0)
                PQfreemem(line);
            t.fail(QString::fromUtf8(sqlite3_errmsg(t.db)));
        }
        ++rows;
        const int percent = total > 0 ? static_cast<int>(rows * 100 / total) : 100;
        if (progress && percent != lastPercent) progress(lastPercent = percent);
    }
    sqlite3_finalize(ins);
    const QString why = finishCopy(conn);
    if (length == -2 || !why.isEmpty()) t.fail(serverCause(why));
    return rows;
}

}  // namespace

qint64 copyToWorkingFile(const QString& serverFile, const QString& target,
                         const std::function<void(int)>& progress) {
    QFile::remove(target);
    return refreshWorkingFile(serverFile, target, progress);
}

qint64 refreshWorkingFile(const QString& serverFile, const QString& target,
                          const std::function<void(int)>& progress) {
    const auto address = parseServerPath(serverFile);
    if (!address || address->schema().isEmpty())
        throw DatabaseError(QStringLiteral("Sunucu yolu anlaşılamadı: %1").arg(serverFile));
    const QString since = keptSnapshot(target, serverFile);
    ServerSession server(*address);
    const QString schema = address->schema();
    // The read is one snapshot: the cards as they stood at one moment, and that moment kept, so
    // the next refresh reads only what was written after it.
    server.run(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    const ServerCards cards = readServerCards(server, schema, serverFile, since.isEmpty());
    if (since.isEmpty()) {
        // Nothing of an earlier copy may be played back into the new one.
        for (const char* leftover : {"", "-journal", "-wal", "-shm"})
            QFile::remove(target + QLatin1String(leftover));
    }

    Target t{target, since.isEmpty(), nullptr};
    if (sqlite3_open_v2(QFile::encodeName(target).constData(), &t.db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close(t.db);
        throw DatabaseError(QStringLiteral("Çalışma dosyası yazılamadı: %1").arg(target));
    }
    // The basket's connection reads the kept file between its statements.
    sqlite3_busy_timeout(t.db, 5000);
    // A new file is deleted when its making fails; a kept one is changed in a transaction that a
    // crash rolls back.
    t.exec(since.isEmpty()
               ? QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN")
               : QStringLiteral("PRAGMA synchronous=NORMAL; BEGIN IMMEDIATE"));
    for (const auto& [name, definition] : cards.tables)
        t.exec(definition);
    t.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Key TEXT PRIMARY KEY, Value TEXT)")
               .arg(QLatin1String(MarkTable)));
    const qint64 rows = streamCards(server, t, schema, since, cards.total, progress);
    server.run(QStringLiteral("COMMIT"));
    if (!since.isEmpty()) {
        if (t.keys() != cards.keys) {
            // Cards were deleted on the server: only a whole read finds which.
            t.exec(QStringLiteral("ROLLBACK"));
            sqlite3_close(t.db);
            return copyToWorkingFile(serverFile, target, progress);
        }
        // Nothing changed: the file and the moment it stands for stay as they were, so the
        // order made of it stays too.
        if (rows == 0) {
            t.exec(QStringLiteral("ROLLBACK"));
            sqlite3_close(t.db);
            return 0;
        }
    }
    for (const QString& index : cards.indexes)
        t.exec(index);
    t.exec(QStringLiteral("INSERT OR REPLACE INTO CacheMark (Key, Value) VALUES ('source', '%1'), "
                          "('snapshot', '%2')")
               .arg(QString(serverFile.toLower()).replace(u'\'', QStringLiteral("''")),
                    cards.snapshot));
    t.exec(QStringLiteral("COMMIT"));
    sqlite3_close(t.db);
    return rows;
}

}  // namespace data
