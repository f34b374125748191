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
    if (isServerPath(path))
        return std::unique_ptr<Database>(new Database(path, checkedServer(path)));
    return std::unique_ptr<Database>(new Database(checkedPath(path)));
}

std::shared_ptr<Database> Database::openReadOnly(const QString& path) {
    if (isServerPath(path)) {
        std::shared_ptr<Database> db(new Database(path, checkedServer(path)));
        db->query(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
        return db;
    }
    return std::shared_ptr<Database>(new Database(checkedPath(path), true));
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
    if (isServerPath(path)) {
        const ServerAddress server = checkedServer(path);
        auto& registry = openDatabases();
        const QString key = QStringLiteral("server:") + path.toLower();
        if (auto existing = registry.value(key).lock()) return existing;
        std::shared_ptr<Database> db(new Database(path, server));
        registry.insert(key, db);
        return db;
    }
    const QString local = checkedPath(path);
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

namespace {

// The engine's own words for the failures a shop meets, as the operator should read them.
QString turkishCause(const QString& engineText) {
    static const std::pair<const char*, const char*> causes[] = {
        {"malformed", "dosya bozuk"},
        {"not a database", "dosya bir veritabanı değil"},
        {"locked", "dosya başka bir terminalde kullanımda"},
        {"busy", "dosya başka bir terminalde kullanımda"},
        {"readonly", "dosya salt okunur, yazılamıyor"},
        {"disk is full", "disk dolu"},
        {"disk I/O", "disk okunamadı veya yazılamadı"},
        {"unable to open", "dosya açılamadı"},
        {"no such table", "dosyada beklenen tablo yok"},
        {"no such column", "tabloda beklenen alan yok"},
        {"constraint", "kayıt, dosyanın kurallarına uymuyor"},
    };
    for (const auto& [engine, turkish] : causes)
        if (engineText.contains(QLatin1String(engine), Qt::CaseInsensitive))
            return QString::fromUtf8(turkish);
    return engineText.simplified();
}

bool damagedFileError(const QString& engineText) {
    return engineText.contains(QLatin1String("malformed"), Qt::CaseInsensitive) ||
           engineText.contains(QLatin1String("not a database"), Qt::CaseInsensitive) ||
           engineText.contains(QLatin1String("disk I/O"), Qt::CaseInsensitive);
}

bool busyError(const QString& engineText) {
    return engineText.contains(QLatin1String("database is locked"), Qt::CaseInsensitive) ||
           engineText.contains(QLatin1String("database table is locked"), Qt::CaseInsensitive);
}

// Each attached file of a connection: its alias and its path.
QList<std::pair<QString, QString>> attachedFiles(sqlite3* handle) {
    QList<std::pair<QString, QString>> files;
    sqlite3_stmt* list = nullptr;
    if (sqlite3_prepare_v2(handle, "PRAGMA database_list", -1, &list, nullptr) == SQLITE_OK) {
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

bool stepsToRow(sqlite3* handle, const QString& sql, const char* expected = nullptr) {
    sqlite3_stmt* q = nullptr;
    bool ok = sqlite3_prepare_v2(handle, sql.toUtf8().constData(), -1, &q, nullptr) == SQLITE_OK &&
              sqlite3_step(q) == SQLITE_ROW;
    if (ok && expected)
        ok = qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)), expected) == 0;
    sqlite3_finalize(q);
    return ok;
}

// The qualifiers ("ss" of "ss.StokKartlar", "01stok" of "\"01stok\".StokKartlar") a text names
// in front of a table, with the table, in order.
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

}  // namespace

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

QString Database::lockedFile() const {
    if (!m_attaching.isEmpty()) return m_attaching;
    // A second connection to each file, which waits for nothing, finds the file another holds:
    // one it cannot read holds a pending or exclusive lock; one it cannot begin writing (while
    // this connection holds no lock of its own) another writer's.
    const bool holdingNone = sqlite3_get_autocommit(m_handle) != 0;
    for (const auto& [alias, path] : attachedFiles(m_handle)) {
        sqlite3* probe = nullptr;
        bool busy = false;
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &probe, SQLITE_OPEN_READWRITE,
                            nullptr) == SQLITE_OK) {
            busy = sqlite3_exec(probe, "SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                                nullptr) == SQLITE_BUSY;
            if (!busy && holdingNone) {
                busy = sqlite3_exec(probe, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) ==
                       SQLITE_BUSY;
                sqlite3_exec(probe, "ROLLBACK", nullptr, nullptr, nullptr);
            }
        }
        sqlite3_close(probe);
        if (busy) return path;
    }
    return m_path;
}

QString Database::fileAtFault(const QString& engineText, const QString& sql) const {
    if (!m_dialect->booksAreFiles()) {
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
        const QString base = splitServerPath(m_path).first;
        return schema.isEmpty() ? base : base.left(base.lastIndexOf(u'/') + 1) + schema;
    }
    if (!m_handle) return m_path;
    // A file failing while it is attached is not yet in the connection's list.
    if (!m_attaching.isEmpty()) return m_attaching;
    const auto files = attachedFiles(m_handle);
    if (files.size() < 2 && !damagedFileError(engineText)) return m_path;
    if (busyError(engineText)) return lockedFile();
    if (damagedFileError(engineText)) {
        // The error does not say which of the attached files is damaged: each is checked.
        for (const auto& [alias, path] : files)
            if (!stepsToRow(m_handle, QStringLiteral("PRAGMA \"%1\".quick_check(1)").arg(alias),
                            "ok"))
                return path;
        return m_path;
    }
    const auto fileOf = [&files](const QString& alias) {
        for (const auto& [a, path] : files)
            if (a.compare(alias, Qt::CaseInsensitive) == 0) return path;
        return QString();
    };
    // "no such table: ss.StokKartlar" names the file; "no such column: c.Yok" the name the
    // statement gives one of its tables ("sc.CariKartlar c"); else the statement's tables tell.
    for (const auto& [qualifier, name] : qualifiedTables(engineText)) {
        if (const QString path = fileOf(qualifier); !path.isEmpty()) return path;
        const QRegularExpression named(
            QStringLiteral(
                "\\b([A-Za-z_][A-Za-z0-9_]*)\\.\"?[A-Za-z_][A-Za-z0-9_]*\"?\\s+(?:AS\\s+)?%1\\b")
                .arg(QRegularExpression::escape(qualifier)),
            QRegularExpression::CaseInsensitiveOption);
        if (const QString path = fileOf(named.match(sql).captured(1)); !path.isEmpty()) return path;
    }
    static const QRegularExpression missingColumn(
        QStringLiteral("no such column: (?:[A-Za-z0-9_]+\\.)?([A-Za-z0-9_]+)"));
    const QString column = missingColumn.match(engineText).captured(1);
    QString first;
    auto tables = qualifiedTables(sql);
    // The working copy is ours and right; the books attached to it are what may differ.
    std::stable_partition(tables.begin(), tables.end(), [](const auto& t) {
        return t.first.compare(QLatin1String("main"), Qt::CaseInsensitive) != 0;
    });
    for (const auto& [alias, table] : tables) {
        const QString path = fileOf(alias);
        if (path.isEmpty()) continue;
        if (first.isEmpty()) first = path;
        // Of the tables the statement names, the one without the column.
        if (!column.isEmpty() &&
            !stepsToRow(m_handle, QStringLiteral("SELECT 1 FROM pragma_table_info('%1', '%2') "
                                                 "WHERE name = '%3' COLLATE NOCASE")
                                      .arg(QString(table).remove(u'\''),
                                           QString(alias).remove(u'\''), column)))
            return path;
    }
    return first.isEmpty() ? m_path : first;
}

QString Database::failureText(const QString& what, const QString& engineText,
                              const QString& sql) const {
    // A connection its watch shut says only that it ended: the watch knows why.
    QString cause =
        !m_dialect->booksAreFiles()
            ? (m_watch.cut() != Cut::None ? cutCause(m_watch.cut()) : serverCause(engineText))
            : turkishCause(engineText);
    if (cause.isEmpty()) {
        // A connection closed under us says nothing; the operator still learns why.
        const bool lost = !m_dialect->booksAreFiles()
                              ? (!m_db.isOpen() || PQstatus(libpqHandle(m_db)) != CONNECTION_OK)
                              : !m_db.isOpen();
        cause = lost ? (!m_dialect->booksAreFiles() ? QStringLiteral("sunucu bağlantısı yok")
                                                    : QStringLiteral("dosya açık değil"))
                     : QStringLiteral("veritabanı nedenini bildirmedi");
    }
    const QString file = fileAtFault(engineText, sql);
    if (!m_dialect->booksAreFiles())
        return QStringLiteral("%1: %2\nSunucu: %3").arg(what, cause, file);
    const QString engine = engineText.simplified();
    return cause == engine || engine.isEmpty()
               ? QStringLiteral("%1: %2\nDosya: %3").arg(what, cause, file)
               : QStringLiteral("%1: %2\nDosya: %3\n(%4)").arg(what, cause, file, engine);
}

void Database::raise(const QString& what, const QString& engineText, const QString& nativeCode,
                     const QString& sql) const {
    if (m_dialect->booksAreFiles()) {
        if ((nativeCode.toInt() & 0xff) == SQLITE_BUSY || busyError(engineText)) {
            const bool givenUp = m_busyGivenUp;
            const QString text = givenUp ? core::waitGivenUpText(BooksBusyText) +
                                               QStringLiteral("\nDosya: ") + lockedFile()
                                         : failureText(what, engineText, sql);
            throw BusyError(text, BooksBusyText, givenUp);
        }
    } else if (nativeCode == QLatin1String("55P03") || nativeCode == QLatin1String("40P01") ||
               nativeCode == QLatin1String("40001")) {
        // Another session's lock outlasted lock_timeout, or two writers crossed: the work may
        // simply be run again.
        throw BusyError(failureText(what, engineText, sql), BooksBusyText, false);
    }
    throw DatabaseError(failureText(what, engineText, sql),
                        !m_dialect->booksAreFiles() && m_watch.cut() == Cut::GivenUp);
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
                    .arg(fileAtFault(QString(), QString())));
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
    if (!m_dialect->booksAreFiles()) {
        query(QStringLiteral("BEGIN"));
        m_inTransaction = true;
        // Writers of the books take turns, as on the embedded engine's write lock: a posting
        // reads cards and counters and writes them back, and no other may do so in between.
        // The wait for the turn is watched like the embedded engine's.
        using namespace std::chrono;
        const auto since = steady_clock::now();
        for (int tries = 0;; ++tries) {
            QSqlQuery got = query(
                QStringLiteral("SELECT pg_try_advisory_xact_lock(hashtext('terminal books'))"));
            if (got.next() && got.value(0).toBool()) return;
            got.finish();
            std::this_thread::sleep_for(milliseconds(std::min(1 << std::min(tries, 7), 100)));
            if (!core::keepWaiting(BooksBusyText,
                                   duration_cast<milliseconds>(steady_clock::now() - since))) {
                rollback();
                throw BusyError(core::waitGivenUpText(BooksBusyText) +
                                    QStringLiteral("\nSunucu: ") + fileAtFault({}, {}),
                                BooksBusyText, true);
            }
        }
    }
    query(m_locksOnlyWhatItTouches ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    m_inTransaction = true;
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

QString Database::attachedFile(const QString& alias) const {
    for (const auto& [a, path] : attachedFiles(m_handle))
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
