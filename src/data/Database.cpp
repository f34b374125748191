#include "data/Database.h"

#include <sqlite3.h>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlRecord>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/JetSql.h"
#include "data/ServerBooks.h"

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

std::unique_ptr<Database> Database::openPrivate(const QString& path) {
    return dialectOf(path).connectOwn(path, false);
}

std::shared_ptr<Database> Database::openReadOnly(const QString& path) {
    return dialectOf(path).connectOwn(path, true);
}

std::unique_ptr<Database> Dialect::ownConnection(const QString& path, bool readOnly) const {
    std::unique_ptr<Database> db(new Database(path, *this));
    connect(*db, readOnly);
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

std::shared_ptr<Database> Dialect::sharedConnection(const QString& key, const QString& path) const {
    auto& registry = openDatabases();
    if (auto existing = registry.value(key).lock()) return existing;
    std::shared_ptr<Database> db = ownConnection(path, false);
    registry.insert(key, db);
    return db;
}

Database::Database(QString path, const Dialect& dialect)
    : m_path(std::move(path)), m_dialect(&dialect), m_prepared(new PreparedCache) {
    static std::atomic<int> counter{0};
    m_connectionName = QStringLiteral("books-%1").arg(++counter);
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
        if (m_inTransaction || !m_dialect->connectionLost(*this)) throw;
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

void Database::reconnect() {
    m_prepared->queries.clear();
    m_dialect->reconnect(*this);
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
    if (!m_inTransaction && m_dialect->connectionLost(*this)) reconnect();
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
    if (m_dialect->connectionLost(*this)) {
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
