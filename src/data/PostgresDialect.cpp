// The PostgreSQL server: the company books are schemas of one database, so one connection and
// one transaction write them all; names the server would fold are quoted.
#include <libpq-fe.h>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <chrono>
#include <thread>
#include <utility>

#include "core/Waiting.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/ServerBooks.h"
#include "data/Statement.h"

namespace data {

namespace {

// Lower case as the embedded engine's fold does it: I is the capital of ı, İ of i. Letters
// outside the Turkish alphabet are left to the server's own lower().
const QString FoldCapitals = QStringLiteral("IİÇĞÖŞÜ");
const QString FoldSmalls = QStringLiteral("ıiçğöşü");

QString foldExpression(const QString& operand) {
    // Compared byte by byte, as the embedded engine compares the folded texts.
    return QStringLiteral("(lower(translate(%1, '%2', '%3')) COLLATE \"C\")")
        .arg(operand, FoldCapitals, FoldSmalls);
}

// The order the embedded engine's trkey gives names: each letter of the Turkish alphabet, of
// either case, becomes one of U+0080…U+009F in alphabet order (above every other ASCII
// character, below every other character), the rest is lowered, and the texts compare code
// point by code point (ucs_basic: a quoted "C" would be lowered on the way). Spelled out in SQL,
// so the server needs no collation or function of ours.
QString turkishKey(const QString& column) {
    static const std::pair<QString, QString> parts = [] {
        const QString alphabet = QStringLiteral("abcçdefgğhıijklmnoöpqrsştuüvwxyz");
        QString letters, keys;
        for (qsizetype i = 0; i < alphabet.size(); ++i) {
            const QChar small = alphabet[i];
            letters += small;
            letters += small == u'ı' ? QChar(u'I') : small == u'i' ? QChar(u'İ') : small.toUpper();
            keys += QStringLiteral("\\%1").arg(0x80 + i, 4, 16, QLatin1Char('0')).repeated(2);
        }
        return std::pair{QStringLiteral("(lower(translate("),
                         QStringLiteral(", '%1', U&'%2')) COLLATE ucs_basic)").arg(letters, keys)};
    }();
    return parts.first + column + parts.second;
}

}  // namespace

QString quotedSchema(const QString& schema) {
    return u'"' + QString(schema).remove(u'"') + u'"';
}

QString toPostgresSql(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 32);
    // Walks the text once so that nothing inside a string literal is touched.
    static const QRegularExpression fold(
        QStringLiteral("trfold\\(\\s*(\"[^\"]*\"|[A-Za-z_][A-Za-z0-9_.]*)\\s*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    // The embedded engine's LIKE folds both sides; here both are folded in the statement.
    static const QRegularExpression like(
        QStringLiteral(
            "(?!NOT\\b)(\"[^\"]*\"|'(?:[^']|'')*'|[A-Za-z_][A-Za-z0-9_.]*)\\s+(NOT\\s+)?LIKE\\s+"
            "('(?:[^']|'')*')(\\s+ESCAPE\\s+'[^']*')?"),
        QRegularExpression::CaseInsensitiveOption);
    // Only statements that have a LIKE at all are looked at for one, word by word.
    const bool mentionsLike = sql.contains(QLatin1String("like"), Qt::CaseInsensitive);
    const auto atWordStart = [&sql](qsizetype i) {
        return i == 0 || !(sql[i - 1].isLetterOrNumber() || sql[i - 1] == u'_');
    };
    const auto matchAt = [&sql](const QRegularExpression& re, qsizetype i) {
        return re.match(sql, i, QRegularExpression::NormalMatch,
                        QRegularExpression::AnchorAtOffsetMatchOption);
    };
    // A quoted name is lowered as every quoted name; a literal or a bare name stays as it is.
    const auto folded = [](QString operand) {
        return foldExpression(operand.startsWith(u'"') ? operand.toLower() : operand);
    };
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql[i];
        if (mentionsLike && (c == u'\'' || c == u'"' || c.isLetter() || c == u'_') &&
            atWordStart(i)) {
            if (const auto m = matchAt(like, i); m.hasMatch()) {
                out += folded(m.captured(1)) + u' ' + m.captured(2) + QStringLiteral("LIKE ") +
                       folded(m.captured(3)) + m.captured(4);
                i += m.capturedLength(0);
                continue;
            }
        }
        if (c == u'\'') {
            const qsizetype end = sql.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? sql.size() : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == u'"') {
            const qsizetype end = sql.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? sql.size() : end + 1;
            out += sql.mid(i, stop - i).toLower();
            i = stop;
        } else if (const auto m = (c == u't' || c == u'T') && atWordStart(i)
                                      ? matchAt(fold, i)
                                      : QRegularExpressionMatch();
                   m.hasMatch()) {
            out += folded(m.captured(1));
            i += m.capturedLength(0);
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

namespace {

// The connection's own prepared query, kept with the connection's other statements.
class ServerWrite final : public PreparedWrite {
  public:
    ServerWrite(Database& db, const QString& sql)
        : m_db(db), m_sql(sql), m_query(db.prepared(sql)) {}

    void bind(int index, const QVariant& value) override { m_query.bindValue(index - 1, value); }

    void run() override {
        const bool ok = m_query.exec();
        const QSqlError why = m_query.lastError();
        m_query.finish();
        if (!ok)
            m_db.raise(QStringLiteral("Sorgu çalıştırılamadı"), why.text(), why.nativeErrorCode(),
                       m_sql);
    }

  private:
    Database& m_db;
    QString m_sql;
    QSqlQuery& m_query;
};

// The schema a server's failure is about, as the book's server path.
QString schemaAtFault(const Database& db, const QString& engineText, const QString& sql) {
    // The server names the schema of a missing table; of a missing column only the table,
    // which the statement qualifies with its schema.
    static const QRegularExpression relation(QStringLiteral("relation \"([^\"]+)\""));
    const QString named = relation.match(engineText).captured(1);
    QString schema = named.contains(u'.') ? named.section(u'.', 0, 0) : QString();
    if (schema.isEmpty()) {
        for (const auto& [qualifier, table] : qualifiedTables(sql)) {
            if (qualifier == QLatin1String("terminal") || qualifier.contains(u'(')) continue;
            if (schema.isEmpty() || table.compare(named, Qt::CaseInsensitive) == 0)
                schema = qualifier.toLower();
        }
    }
    const QString base = splitServerPath(db.path()).first;
    return schema.isEmpty() ? base : base.left(base.lastIndexOf(u'/') + 1) + schema;
}

ServerAddress checkedServer(const QString& path) {
    const auto server = parseServerPath(path);
    if (!server || server->schema().isEmpty())
        throw DatabaseError(QStringLiteral("Sunucu yolu anlaşılamadı: %1 (beklenen: "
                                           "postgresql://SUNUCU[:PORT]/VERİTABANI/01Cari.mdb)")
                                .arg(path));
    return *server;
}

}  // namespace

void Dialect::openServer(Database& db, bool readOnly) {
    const ServerAddress server = checkedServer(db.m_path);
    db.m_schema = server.schema();
    db.m_db = openServerConnection(server, db.m_connectionName);
    db.m_watch.start(libpqHandle(db.m_db));
    QSqlQuery found =
        db.query(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = ?"), {db.m_schema});
    if (!found.next())
        throw DatabaseError(QStringLiteral("Veritabanı bulunamadı: %1").arg(db.m_path));
    found.finish();
    db.query(QStringLiteral("SET search_path TO ") + quotedSchema(db.m_schema));
    if (readOnly) db.query(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
}

void Dialect::reopenServer(Database& db) {
    db.m_watch.stop();
    db.m_db.close();
    if (!db.m_db.open())
        throw DatabaseError(QStringLiteral("Sunucuya bağlanılamadı: %1 (%2)")
                                .arg(db.m_path, serverCause(db.m_db.lastError().text())));
    db.m_watch.start(libpqHandle(db.m_db));
    db.run(QStringLiteral("SET search_path TO ") + quotedSchema(db.m_schema), {});
}

namespace {

class PostgresDialect final : public Dialect {
  public:
    bool booksAreFiles() const override { return false; }
    bool journalInBooks() const override { return true; }
    std::pair<QString, QString> splitOptions(const QString& path) const override {
        return splitServerPath(path);
    }
    bool booksExist(const QString& path) const override {
        try {
            return Database::open(path) != nullptr;
        } catch (const DatabaseError&) {
            return false;
        }
    }
    QString shownPath(const QString& path) const override { return path; }

    // A server's commits are its own business.
    void makeDurable(Database&) const override {}
    // The server keeps the books' names unquoted, so in lower case; its key column is ours.
    QSqlQuery columnDefaults(Database& db, const QString& table) const override {
        return db.query(QStringLiteral("SELECT column_name, column_default FROM "
                                       "information_schema.columns WHERE table_schema = ? "
                                       "AND table_name = ? AND column_name <> 'rowid' "
                                       "ORDER BY ordinal_position"),
                        {db.schema(), table.toLower()});
    }
    bool connectionLost(const Database& db) const override {
        PGconn* conn = libpqHandle(db.connection());
        return conn == nullptr || PQstatus(conn) == CONNECTION_BAD;
    }
    void reconnect(Database& db) const override { reopenServer(db); }
    // The server keeps no NUL in a text, and its driver would cut the statement at one.
    bool keepsNul() const override { return false; }
    bool preparesEveryStatement() const override { return false; }

    QString statement(const QString& sql) const override { return toPostgresSql(sql); }
    QString qualifier(const QString& alias, const QString& path) const override {
        const auto server = parseServerPath(path);
        return server ? quotedSchema(server->schema()) : alias;
    }
    QString rowLock() const override { return QStringLiteral(" FOR UPDATE"); }
    QString startsWithDigit(const QString& column, const QString& prefix) const override {
        return QStringLiteral("%1 ~ '^%2[0-9]'").arg(column, prefix);
    }
    // The server plans its own order; it has no such hint.
    QString unindexedOrder(const QString& column) const override { return column; }
    QString turkishOrder(const QString& column) const override { return turkishKey(column); }
    QStringList companyBooks(Database& db, const QString& kind) const override {
        QSqlQuery q = db.query(
            QStringLiteral("SELECT nspname FROM pg_namespace WHERE nspname ~ ? ORDER BY 1"),
            {QStringLiteral("^[0-9][0-9]%1$").arg(QRegularExpression::escape(kind.toLower()))});
        QStringList names;
        while (q.next())
            names << quotedSchema(q.value(0).toString());
        q.finish();
        return names;
    }
    std::unique_ptr<PreparedWrite> prepareWrite(Database& db, const QString& sql) const override {
        return std::make_unique<ServerWrite>(db, sql);
    }
    // The key column draws from its own sequence.
    qint64 lastKey(Database& db) const override {
        QSqlQuery last = db.query(QStringLiteral("SELECT lastval()"));
        const qint64 key = last.next() ? last.value(0).toLongLong() : 0;
        last.finish();
        return key;
    }
    // A server does not say whether another terminal wrote since.
    std::optional<qint64> dataVersion(Database&) const override { return std::nullopt; }
    bool hasTable(Database& db, const QString& table) const override {
        QSqlQuery q = db.query(QStringLiteral("SELECT 1 FROM information_schema.tables WHERE "
                                              "table_schema = ? AND table_name = ?"),
                               {db.schema(), table.toLower()});
        const bool found = q.next();
        q.finish();
        return found;
    }

    std::shared_ptr<Database> connectShared(const QString& path) const override {
        checkedServer(path);
        return sharedConnection(QStringLiteral("server:") + path.toLower(), path);
    }
    std::unique_ptr<Database> connectOwn(const QString& path, bool readOnly) const override {
        return ownConnection(path, readOnly);
    }
    void connect(Database& db, bool readOnly) const override { openServer(db, readOnly); }
    QString beginStatement(bool) const override { return QStringLiteral("BEGIN"); }
    // Writers of the books take turns, as on the embedded engine's write lock: a posting reads
    // cards and counters and writes them back, and no other may do so in between. The wait for
    // the turn is watched like the embedded engine's.
    void takeWriteTurn(Database& db) const override {
        using namespace std::chrono;
        const auto since = steady_clock::now();
        for (int tries = 0;; ++tries) {
            QSqlQuery got = db.query(
                QStringLiteral("SELECT pg_try_advisory_xact_lock(hashtext('terminal books'))"));
            if (got.next() && got.value(0).toBool()) return;
            got.finish();
            std::this_thread::sleep_for(milliseconds(std::min(1 << std::min(tries, 7), 100)));
            if (!core::keepWaiting(BooksBusyText,
                                   duration_cast<milliseconds>(steady_clock::now() - since))) {
                db.rollback();
                throw BusyError(core::waitGivenUpText(BooksBusyText) +
                                    QStringLiteral("\nSunucu: ") + schemaAtFault(db, {}, {}),
                                BooksBusyText, true);
            }
        }
    }
    QString bookAtFault(const Database& db, const QString& engineText,
                        const QString& sql) const override {
        return schemaAtFault(db, engineText, sql);
    }
    QString failureCause(const Database& db, const QString& engineText) const override {
        // A connection its watch shut says only that it ended: the watch knows why.
        const Cut cut = db.watch().cut();
        const QString cause = cut != Cut::None ? cutCause(cut) : serverCause(engineText);
        if (!cause.isEmpty()) return cause;
        const bool lost =
            !db.connection().isOpen() || PQstatus(libpqHandle(db.connection())) != CONNECTION_OK;
        return lost ? QStringLiteral("sunucu bağlantısı yok") : QString();
    }
    QString failureText(const QString& what, const QString& cause, const QString& book,
                        const QString&) const override {
        return QStringLiteral("%1: %2\nSunucu: %3").arg(what, cause, book);
    }
    void throwIfBusy(const Database& db, const QString& what, const QString& engineText,
                     const QString& nativeCode, const QString& sql) const override {
        // Another session's lock outlasted lock_timeout, or two writers crossed: the work may
        // simply be run again.
        if (nativeCode == QLatin1String("55P03") || nativeCode == QLatin1String("40P01") ||
            nativeCode == QLatin1String("40001"))
            throw BusyError(db.failureText(what, engineText, sql), BooksBusyText, false);
    }
    bool answerGivenUp(const Database& db) const override {
        return db.watch().cut() == Cut::GivenUp;
    }

    Joined join(const QString& workingCopy,
                std::vector<std::pair<QString, QString>>& files) const override {
        Joined joined{Database::openPrivate(files.front().second),
                      Database::openPrivate(workingCopy)};
        // Every schema named must be there: a missing company is refused as a missing file is.
        for (const auto& [alias, path] : files)
            if (const auto server = parseServerPath(path);
                !server || !hasSchema(*joined.books, server->schema()))
                throw DatabaseError(QStringLiteral("Veritabanı bulunamadı: %1").arg(path));
        return joined;
    }

    static bool hasSchema(Database& db, const QString& schema) {
        QSqlQuery found =
            db.query(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = ?"), {schema});
        const bool there = found.next();
        found.finish();
        return there;
    }

    // A server keeps the invoice number and the journal in tables of its own.
    bool invoiceNumberInBooks() const override { return true; }
};

}  // namespace

const Dialect& postgresDialect() {
    static const PostgresDialect dialect;
    return dialect;
}

const Dialect& dialectOf(const QString& path) {
    return isServerPath(path) ? postgresDialect() : sqliteDialect();
}

}  // namespace data
