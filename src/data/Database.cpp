#include "data/Database.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <thread>
#include <unordered_map>

#include "core/Waiting.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/JetSql.h"
#include "data/ServerBooks.h"
#include "data/SqliteFunctions.h"

namespace data {

struct PreparedCache {
    std::unordered_map<std::string, QSqlQuery> queries;
};

namespace {

// Per thread: work run off the window's thread (a posting behind the wait panel) opens its own.
QHash<QString, std::weak_ptr<Database>>& openDatabases() {
    thread_local QHash<QString, std::weak_ptr<Database>> registry;
    return registry;
}

// A replaced file (deleted and made anew under the same name) must not reuse the old connection.
QString identityOf(const QString& localPath) {
    const QString canonical = QFileInfo(localPath).canonicalFilePath();
    struct stat st {};
    if (::stat(QFile::encodeName(canonical).constData(), &st) == 0) {
        return canonical + u':' + QString::number(st.st_dev) + u':' + QString::number(st.st_ino);
    }
    return canonical;
}

}  // namespace

DatabaseKind databaseKind(const QString& localPath) {
    QFile file(localPath);
    if (!QFileInfo(localPath).isFile()) return DatabaseKind::Missing;
    if (!file.open(QIODevice::ReadOnly)) return DatabaseKind::Unknown;
    const QByteArray head = file.read(32);
    if (head.startsWith(QByteArray("SQLite format 3\0", 16))) return DatabaseKind::SQLite;
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        return DatabaseKind::Access;
    return DatabaseKind::Unknown;
}

bool booksExist(const QString& path) {
    return dialectOf(path).booksExist(path);
}

QString shownPath(const QString& path) {
    return dialectOf(path).shownPath(path);
}

std::shared_ptr<Database> Database::open(const QString& path, Durability) {
    auto db = open(path);
    db->dialect().makeDurable(*db);
    return db;
}

QString Database::checkedPath(const QString& path) {
    const QString local = resolvePath(path);
    switch (databaseKind(local)) {
        case DatabaseKind::Missing:
            throw DatabaseError(QStringLiteral("Veritabanı bulunamadı: %1").arg(path));
        case DatabaseKind::Access:
            throw DatabaseError(
                QStringLiteral(
                    "%1 bir Access veritabanı; bu kurulum yalnızca SQLite veritabanlarını "
                    "açabiliyor.")
                    .arg(path));
        case DatabaseKind::Unknown:
            throw DatabaseError(QStringLiteral("%1 bir veritabanı dosyası değil.").arg(path));
        case DatabaseKind::SQLite:
            break;
    }
    return local;
}

namespace {

ServerAddress checkedServer(const QString& path) {
    const auto server = parseServerPath(path);
    if (!server || server->schema().isEmpty())
        throw DatabaseError(QStringLiteral("Sunucu yolu anlaşılamadı: %1 (beklenen: "
                                           "postgresql://SUNUCU[:PORT]/VERİTABANI/01Cari.mdb)")
                                .arg(path));
    return *server;
}

}  // namespace

std::unique_ptr<Database> Database::openPrivate(const QString& path) {
    return dialectOf(path).connectOwn(path, false);
}

std::shared_ptr<Database> Database::openReadOnly(const QString& path) {
    return dialectOf(path).connectOwn(path, true);
}

std::unique_ptr<Database> Dialect::ownFile(const QString& path, bool readOnly) {
    return std::unique_ptr<Database>(new Database(Database::checkedPath(path), readOnly));
}

std::unique_ptr<Database> Dialect::ownServer(const QString& path, bool readOnly) {
    std::unique_ptr<Database> db(new Database(path, checkedServer(path)));
    if (readOnly) db->query(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
    return db;
}

void Database::attachForReading(const QString& path, const QString& alias) {
    attachAs(path, alias, QStringLiteral("ro"));
}

void Database::attach(const QString& path, const QString& alias) {
    attachAs(path, alias, QStringLiteral("rw"));
}

void Database::attachAs(const QString& path, const QString& alias, const QString& mode) {
    const QString local = checkedPath(path);
    m_attaching = local;
    const auto attached = qScopeGuard([this] { m_attaching.clear(); });
    query(QStringLiteral("ATTACH DATABASE ? AS %1").arg(alias),
          {QStringLiteral("file:") + QString::fromLatin1(QUrl::toPercentEncoding(local, "/")) +
           QStringLiteral("?mode=") + mode});
}

std::shared_ptr<Database> Database::open(const QString& path) {
    return dialectOf(path).connectShared(path);
}

std::shared_ptr<Database> Dialect::sharedServer(const QString& path) {
    const ServerAddress server = checkedServer(path);
    auto& registry = openDatabases();
    const QString key = QStringLiteral("server:") + path.toLower();
    if (auto existing = registry.value(key).lock()) return existing;
    std::shared_ptr<Database> db(new Database(path, server));
    registry.insert(key, db);
    return db;
}

std::shared_ptr<Database> Dialect::sharedFile(const QString& path) {
    const QString local = Database::checkedPath(path);
    const QString key = identityOf(local);
    auto& registry = openDatabases();
    if (auto existing = registry.value(key).lock()) return existing;
    std::shared_ptr<Database> db(new Database(local));
    registry.insert(key, db);
    return db;
}

Database::Database(QString path, bool readOnly)
    : m_path(std::move(path)), m_prepared(new PreparedCache) {
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("books-%1").arg(++counter);
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    // mode=rw: open an existing file only; SQLite would otherwise create a missing one.
    const QString uri = QStringLiteral("file:") +
                        QString::fromLatin1(QUrl::toPercentEncoding(m_path, "/")) +
                        (readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw"));
    m_db.setDatabaseName(uri);
    // Waits for another terminal's lock go through busyHandler, which the operator can watch.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=0"));
    if (!m_db.open()) {
        const QString text = m_db.lastError().text();
        closeConnection();
        throw DatabaseError(QStringLiteral("Veritabanı açılamadı: %1 (%2)").arg(m_path, text));
    }
    const QVariant h = m_db.driver()->handle();
    if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0) {
        m_handle = *static_cast<sqlite3* const*>(h.constData());
    }
    try {
        if (m_handle) {
            registerTextFunctions(m_handle);
            sqlite3_busy_handler(m_handle, &Database::busyHandler, this);
        }
        // A damaged file fails here rather than at the first real read.
        QSqlQuery probe = query(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    } catch (...) {
        closeConnection();
        throw;
    }
}

Database::Database(QString path, const ServerAddress& server)
    : m_path(std::move(path)), m_prepared(new PreparedCache) {
    static std::atomic<int> counter{0};
    m_dialect = &postgresDialect();
    m_schema = server.schema();
    m_connectionName = QStringLiteral("server-books-%1").arg(++counter);
    m_db = openServerConnection(server, m_connectionName);
    m_watch.start(libpqHandle(m_db));
    try {
        QSqlQuery found =
            query(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = ?"), {m_schema});
        if (!found.next())
            throw DatabaseError(QStringLiteral("Veritabanı bulunamadı: %1").arg(m_path));
        found.finish();
        query(QStringLiteral("SET search_path TO ") + quotedSchema(m_schema));
    } catch (...) {
        closeConnection();
        throw;
    }
}

void Database::closeConnection() {
    m_watch.stop();
    m_prepared.reset();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

Database::~Database() {
    if (m_inTransaction && m_db.isOpen()) m_db.rollback();
    closeConnection();
}

int Database::busyHandler(void* self, int tries) {
    using namespace std::chrono;
    auto* db = static_cast<Database*>(self);
    if (tries == 0) {
        db->m_busySince = steady_clock::now();
        db->m_busyGivenUp = false;
    }
    // Short sleeps at first: another terminal's posting usually ends within a few milliseconds.
    sqlite3_sleep(std::min(1 << std::min(tries, 7), 100));
    const auto waited = duration_cast<milliseconds>(steady_clock::now() - db->m_busySince);
    if (core::keepWaiting(BooksBusyText, waited)) return 1;
    db->m_busyGivenUp = true;
    return 0;
}

QList<std::pair<QString, QString>> qualifiedTables(const QString& text) {
    static const QRegularExpression qualified(QStringLiteral(
        "(?<![A-Za-z0-9_.\"])(\"[^\"]+\"|[A-Za-z_][A-Za-z0-9_]*)\\.(\"[^\"]+\"|[A-Za-"
        "z_][A-Za-z0-9_]*)"));
    QList<std::pair<QString, QString>> found;
    for (auto it = qualified.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        found.append({m.captured(1).remove(u'"'), m.captured(2).remove(u'"')});
    }
    return found;
}

QString Database::failureText(const QString& what, const QString& engineText,
                              const QString& sql) const {
    QString cause = m_dialect->failureCause(*this, engineText);
    if (cause.isEmpty()) cause = QStringLiteral("veritabanı nedenini bildirmedi");
    return m_dialect->failureText(what, cause, m_dialect->bookAtFault(*this, engineText, sql),
                                  engineText);
}

void Database::raise(const QString& what, const QString& engineText, const QString& nativeCode,
                     const QString& sql) const {
    m_dialect->throwIfBusy(*this, what, engineText, nativeCode, sql);
    throw DatabaseError(failureText(what, engineText, sql), m_dialect->answerGivenUp(*this));
}

void Database::fail(const QString& what, const QSqlQuery& q, const QString& sql) const {
    raise(what, q.lastError().text(), q.lastError().nativeErrorCode(), sql);
}

void Database::execute(const QString& jetSql) {
    query(translateJetSql(jetSql));
}

QSqlQuery Database::query(const QString& text, const QVariantList& params) {
    try {
        return run(text, params);
    } catch (const DatabaseError&) {
        // A server restarted or a dropped link: outside a transaction the statement is simply
        // run again on a new connection, so the screen goes on without a restart. Inside one the
        // transaction is gone with the connection and the caller's work fails whole.
        if (!m_dialect->reconnects() || m_inTransaction || !connectionLost()) throw;
        // A call shut for silence or given up is not tried again: a new connection over a
        // silent link would only wait once more. The next call connects afresh.
        if (m_watch.cut() != Cut::None) {
            m_watch.stop();
            throw;
        }
        reconnect();
        return run(text, params);
    }
}

bool Database::connectionLost() const {
    PGconn* conn = libpqHandle(m_db);
    return conn == nullptr || PQstatus(conn) == CONNECTION_BAD;
}

void Database::reconnect() {
    m_watch.stop();
    m_prepared->queries.clear();
    m_db.close();
    if (!m_db.open())
        throw DatabaseError(QStringLiteral("Sunucuya bağlanılamadı: %1 (%2)")
                                .arg(m_path, serverCause(m_db.lastError().text())));
    m_watch.start(libpqHandle(m_db));
    run(QStringLiteral("SET search_path TO ") + quotedSchema(m_schema), {});
}

void Database::refuseNul(const QVariantList& params) const {
    // The server keeps no NUL in a text, and its driver would cut the statement at one.
    for (const QVariant& p : params)
        if (p.typeId() == QMetaType::QString && p.toString().contains(QChar(0)))
            throw DatabaseError(
                QStringLiteral("Metin sunucuya yazılamıyor: içinde NUL karakteri var\nSunucu: %1")
                    .arg(m_dialect->bookAtFault(*this, QString(), QString())));
}

QSqlQuery Database::run(const QString& text, const QVariantList& params) {
    const QString sql = dialect().statement(text);
    if (!m_dialect->keepsNul()) refuseNul(params);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // The server's driver prepares on the server, which takes no BEGIN, SET or CREATE.
    if (!m_dialect->preparesEveryStatement() && params.isEmpty()) {
        if (!q.exec(sql)) fail(QStringLiteral("Sorgu çalıştırılamadı"), q, sql);
        if (!q.isSelect()) q.finish();
        return q;
    }
    if (!q.prepare(sql)) fail(QStringLiteral("Sorgu hazırlanamadı"), q, sql);
    for (const QVariant& p : params)
        q.addBindValue(p);
    if (!q.exec()) fail(QStringLiteral("Sorgu çalıştırılamadı"), q, sql);
    if (!q.isSelect()) q.finish();
    return q;
}

QSqlQuery& Database::prepared(const QString& text) {
    if (m_dialect->reconnects() && !m_inTransaction && connectionLost()) reconnect();
    const std::string key = text.toStdString();
    auto it = m_prepared->queries.find(key);
    if (it == m_prepared->queries.end()) {
        const QString sql = dialect().statement(text);
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!q.prepare(sql)) fail(QStringLiteral("Sorgu hazırlanamadı"), q, sql);
        it = m_prepared->queries.emplace(key, std::move(q)).first;
    }
    return it->second;
}

void Database::begin() {
    query(m_dialect->beginStatement(m_locksOnlyWhatItTouches));
    m_inTransaction = true;
    m_dialect->takeWriteTurn(*this);
}

void Database::commit() {
    query(QStringLiteral("COMMIT"));
    m_inTransaction = false;
}

void Database::rollback() {
    m_inTransaction = false;
    // A server's transaction ends with its lost connection: there is nothing left to roll back,
    // and a new connection to do so would fail while the server is away, hiding the first error.
    if (m_dialect->reconnects() && connectionLost()) {
        m_watch.stop();  // its cut was told by the call that failed; the next call connects afresh
        return;
    }
    query(QStringLiteral("ROLLBACK"));
}

QStringList Database::columns(const QString& table) {
    QStringList names;
    for (const auto& column : columnDefaults(table))
        names << column.first;
    return names;
}

QList<std::pair<QString, QString>> Database::columnDefaults(const QString& table) {
    QSqlQuery q = m_dialect->columnDefaults(*this, table);
    QList<std::pair<QString, QString>> columns;
    while (q.next())
        columns.append({q.value(0).toString(), q.value(1).toString()});
    q.finish();
    if (columns.isEmpty())
        throw DatabaseError(QStringLiteral("Tablo bulunamadı: %1 (%2)").arg(table, m_path));
    return columns;
}

qint64 Database::totalChanges() const {
    return m_handle ? sqlite3_total_changes64(m_handle) : 0;
}

QList<std::pair<QString, QString>> Database::attachedFiles() const {
    QList<std::pair<QString, QString>> files;
    if (!m_handle) return files;
    sqlite3_stmt* list = nullptr;
    if (sqlite3_prepare_v2(m_handle, "PRAGMA database_list", -1, &list, nullptr) == SQLITE_OK) {
        while (sqlite3_step(list) == SQLITE_ROW) {
            const QString path =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(list, 2)));
            if (!path.isEmpty())
                files.append(
                    {QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(list, 1))),
                     path});
        }
    }
    sqlite3_finalize(list);
    return files;
}

QString Database::attachedFile(const QString& alias) const {
    for (const auto& [a, path] : attachedFiles())
        if (a == alias) return path;
    return QString();
}

void createDatabaseFile(const QString& path, const char* schema) {
    for (const QString& leftover : {path, path + QStringLiteral("-journal"),
                                    path + QStringLiteral("-wal"), path + QStringLiteral("-shm")})
        QFile::remove(leftover);
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    char* error = nullptr;
    if (opened == SQLITE_OK) sqlite3_exec(db, schema, nullptr, nullptr, &error);
    const QString text = opened != SQLITE_OK ? QString::fromUtf8(sqlite3_errmsg(db))
                         : error             ? QString::fromUtf8(error)
                                             : QString();
    sqlite3_free(error);
    sqlite3_close(db);
    if (!text.isEmpty())
        throw DatabaseError(QStringLiteral("Dosya yapılamadı: %1 (%2)").arg(path, text));
}

}  // namespace data
