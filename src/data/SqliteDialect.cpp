// The embedded engine: each company book is a file, attached to one connection so that one
// transaction commits across all of them.
#include <sqlite3.h>
#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <algorithm>

#include "core/Waiting.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/SqliteFunctions.h"
#include "data/Statement.h"

namespace data {

namespace {

// A replaced file (deleted and made anew under the same name) must not reuse the old connection.
QString identityOf(const QString& localPath) {
    const QString canonical = QFileInfo(localPath).canonicalFilePath();
    struct stat st {};
    if (::stat(QFile::encodeName(canonical).constData(), &st) == 0) {
        return canonical + u':' + QString::number(st.st_dev) + u':' + QString::number(st.st_ino);
    }
    return canonical;
}

// Waits for another terminal's lock go through here, where the operator can watch and give up.
int waitForLock(void* self, int tries) {
    using namespace std::chrono;
    auto* watch = static_cast<LockWait*>(self);
    if (tries == 0) {
        watch->since = steady_clock::now();
        watch->givenUp = false;
    }
    // Short sleeps at first: another terminal's posting usually ends within a few milliseconds.
    sqlite3_sleep(std::min(1 << std::min(tries, 7), 100));
    const auto waited = duration_cast<milliseconds>(steady_clock::now() - watch->since);
    if (core::keepWaiting(BooksBusyText, waited)) return 1;
    watch->givenUp = true;
    return 0;
}

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

bool stepsToRow(sqlite3* handle, const QString& sql, const char* expected = nullptr) {
    sqlite3_stmt* q = nullptr;
    bool ok = sqlite3_prepare_v2(handle, sql.toUtf8().constData(), -1, &q, nullptr) == SQLITE_OK &&
              sqlite3_step(q) == SQLITE_ROW;
    if (ok && expected)
        ok = qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)), expected) == 0;
    sqlite3_finalize(q);
    return ok;
}

// The file whose lock another connection holds.
QString lockedFile(const Database& db) {
    if (!db.attaching().isEmpty()) return db.attaching();
    // A second connection to each file, which waits for nothing, finds the file another holds:
    // one it cannot read holds a pending or exclusive lock; one it cannot begin writing (while
    // this connection holds no lock of its own) another writer's.
    const bool holdingNone = sqlite3_get_autocommit(db.handle()) != 0;
    for (const auto& [alias, path] : db.attachedFiles()) {
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
    return db.path();
}

QString fileAtFault(const Database& db, const QString& engineText, const QString& sql) {
    if (!db.handle()) return db.path();
    // A file failing while it is attached is not yet in the connection's list.
    if (const QString attaching = db.attaching(); !attaching.isEmpty()) return attaching;
    const auto files = db.attachedFiles();
    if (files.size() < 2 && !damagedFileError(engineText)) return db.path();
    if (busyError(engineText)) return lockedFile(db);
    if (damagedFileError(engineText)) {
        // The error does not say which of the attached files is damaged: each is checked.
        for (const auto& [alias, path] : files)
            if (!stepsToRow(db.handle(), QStringLiteral("PRAGMA \"%1\".quick_check(1)").arg(alias),
                            "ok"))
                return path;
        return db.path();
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
            !stepsToRow(db.handle(), QStringLiteral("SELECT 1 FROM pragma_table_info('%1', '%2') "
                                                    "WHERE name = '%3' COLLATE NOCASE")
                                         .arg(QString(table).remove(u'\''),
                                              QString(alias).remove(u'\''), column)))
            return path;
    }
    return first.isEmpty() ? db.path() : first;
}

// Straight on the engine's statement: a posting's thousands of rows skip the driver.
class SqliteWrite final : public PreparedWrite {
  public:
    SqliteWrite(Database& db, const QString& sql) : m_db(db), m_sql(sql) {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db.handle(), text.constData(), static_cast<int>(text.size()),
                               &m_stmt, nullptr) != SQLITE_OK)
            db.raise(QStringLiteral("Sorgu hazırlanamadı"),
                     QString::fromUtf8(sqlite3_errmsg(db.handle())),
                     QString::number(sqlite3_errcode(db.handle())), sql);
    }
    ~SqliteWrite() override { sqlite3_finalize(m_stmt); }

    void bind(int index, const QVariant& value) override {
        int rc = SQLITE_OK;
        switch (value.typeId()) {
            case QMetaType::UnknownType:
                rc = sqlite3_bind_null(m_stmt, index);
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
                break;
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
            case QMetaType::Bool:
                rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
                break;
            default: {
                if (value.isNull()) {
                    rc = sqlite3_bind_null(m_stmt, index);
                    break;
                }
                const QByteArray text = value.toString().toUtf8();
                rc = sqlite3_bind_text(m_stmt, index, text.constData(),
                                       static_cast<int>(text.size()), SQLITE_TRANSIENT);
            }
        }
        if (rc != SQLITE_OK)
            throw DatabaseError(QStringLiteral("Değer bağlanamadı: %1").arg(m_sql));
    }

    void run() override {
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            m_db.raise(QStringLiteral("Sorgu çalıştırılamadı"),
                       QString::fromUtf8(sqlite3_errmsg(m_db.handle())), QString::number(rc),
                       m_sql);
    }

  private:
    Database& m_db;
    QString m_sql;
    sqlite3_stmt* m_stmt = nullptr;
};

}  // namespace

void Dialect::openFile(Database& db, bool readOnly) {
    db.m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), db.m_connectionName);
    // mode=rw: open an existing file only; SQLite would otherwise create a missing one.
    const QString uri = QStringLiteral("file:") +
                        QString::fromLatin1(QUrl::toPercentEncoding(db.m_path, "/")) +
                        (readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw"));
    db.m_db.setDatabaseName(uri);
    // Waits for another terminal's lock go through waitForLock, which the operator can watch.
    db.m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=0"));
    if (!db.m_db.open())
        throw DatabaseError(QStringLiteral("Veritabanı açılamadı: %1 (%2)")
                                .arg(db.m_path, db.m_db.lastError().text()));
    const QVariant h = db.m_db.driver()->handle();
    if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
        db.m_handle = *static_cast<sqlite3* const*>(h.constData());
    if (db.m_handle) {
        registerTextFunctions(db.m_handle);
        sqlite3_busy_handler(db.m_handle, &waitForLock, &db.m_lockWait);
    }
    // A damaged file fails here rather than at the first real read.
    QSqlQuery probe = db.query(QStringLiteral("SELECT count(*) FROM sqlite_master"));
}

namespace {

class SqliteDialect final : public Dialect {
  public:
    bool booksAreFiles() const override { return true; }
    bool journalInBooks() const override { return false; }
    std::pair<QString, QString> splitOptions(const QString& path) const override {
        return {path, QString()};
    }
    bool booksExist(const QString& path) const override {
        return QFileInfo::exists(resolvePath(path));
    }
    QString shownPath(const QString& path) const override { return resolvePath(path); }

    void makeDurable(Database& db) const override {
        db.query(QStringLiteral("PRAGMA synchronous=FULL"));
        // No file is memory-mapped: a mapped file of a million cards would hold its whole size in
        // the terminal's memory once every row is touched, for no measured gain. Files on a share
        // must never be mapped in any case.
        db.query(QStringLiteral("PRAGMA mmap_size=0")).finish();
    }
    QSqlQuery columnDefaults(Database& db, const QString& table) const override {
        return db.query(QStringLiteral("SELECT name, dflt_value FROM pragma_table_info(?)"),
                        {table});
    }
    bool connectionLost(const Database&) const override { return false; }
    void reconnect(Database&) const override {}
    bool keepsNul() const override { return true; }
    bool preparesEveryStatement() const override { return true; }

    QString statement(const QString& sql) const override { return sql; }
    QString qualifier(const QString& alias, const QString&) const override { return alias; }
    // The embedded engine's write lock covers the whole file from the first write on.
    QString rowLock() const override { return QString(); }
    QString startsWithDigit(const QString& column, const QString& prefix) const override {
        return QStringLiteral("%1 GLOB '%2[0-9]*'").arg(column, prefix);
    }
    QString unindexedOrder(const QString& column) const override { return u'+' + column; }
    QString turkishOrder(const QString& column) const override {
        return QStringLiteral("trkey(%1)").arg(column);
    }
    QStringList companyBooks(Database&, const QString&) const override { return {}; }
    std::unique_ptr<PreparedWrite> prepareWrite(Database& db, const QString& sql) const override {
        return std::make_unique<SqliteWrite>(db, sql);
    }
    qint64 lastKey(Database& db) const override { return sqlite3_last_insert_rowid(db.handle()); }
    std::optional<qint64> dataVersion(Database& db) const override {
        QSqlQuery& q = db.prepared(QStringLiteral("PRAGMA data_version"));
        if (!q.exec() || !q.next()) return std::nullopt;
        const qint64 v = q.value(0).toLongLong();
        q.finish();
        return v;
    }
    bool hasTable(Database& db, const QString& table) const override {
        QSqlQuery q = db.query(
            QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?"),
            {table});
        const bool found = q.next() && q.value(0).toInt() > 0;
        q.finish();
        return found;
    }

    std::shared_ptr<Database> connectShared(const QString& path) const override {
        const QString local = Database::checkedPath(path);
        return sharedConnection(identityOf(local), local);
    }
    std::unique_ptr<Database> connectOwn(const QString& path, bool readOnly) const override {
        return ownConnection(Database::checkedPath(path), readOnly);
    }
    void connect(Database& db, bool readOnly) const override { openFile(db, readOnly); }
    QString beginStatement(bool locksOnlyWhatItTouches) const override {
        return locksOnlyWhatItTouches ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE");
    }
    // The engine's write lock makes writers take turns.
    void takeWriteTurn(Database&) const override {}
    QString bookAtFault(const Database& db, const QString& engineText,
                        const QString& sql) const override {
        return fileAtFault(db, engineText, sql);
    }
    QString failureCause(const Database& db, const QString& engineText) const override {
        const QString cause = turkishCause(engineText);
        if (!cause.isEmpty() || db.connection().isOpen()) return cause;
        // A connection closed under us says nothing; the operator still learns why.
        return QStringLiteral("dosya açık değil");
    }
    QString failureText(const QString& what, const QString& cause, const QString& book,
                        const QString& engineText) const override {
        const QString engine = engineText.simplified();
        return cause == engine || engine.isEmpty()
                   ? QStringLiteral("%1: %2\nDosya: %3").arg(what, cause, book)
                   : QStringLiteral("%1: %2\nDosya: %3\n(%4)").arg(what, cause, book, engine);
    }
    void throwIfBusy(const Database& db, const QString& what, const QString& engineText,
                     const QString& nativeCode, const QString& sql) const override {
        if ((nativeCode.toInt() & 0xff) != SQLITE_BUSY && !busyError(engineText)) return;
        const QString text = db.busyGivenUp() ? core::waitGivenUpText(BooksBusyText) +
                                                    QStringLiteral("\nDosya: ") + lockedFile(db)
                                              : db.failureText(what, engineText, sql);
        throw BusyError(text, BooksBusyText, db.busyGivenUp());
    }
    bool answerGivenUp(const Database&) const override { return false; }

    Joined join(const QString& workingCopy,
                std::vector<std::pair<QString, QString>>& files) const override {
        // Attached in path order: every terminal takes the files' write locks in the same order,
        // so two writers that share files wait for each other instead of deadlocking.
        for (auto& f : files)
            f.second = resolvePath(f.second);
        std::sort(files.begin(), files.end(),
                  [](const auto& a, const auto& b) { return a.second < b.second; });
        Joined joined{Database::openPrivate(workingCopy), nullptr};
        for (const auto& [alias, path] : files) {
            joined.books->attach(path, alias);
            joined.books->query(QStringLiteral("PRAGMA %1.synchronous=FULL").arg(alias)).finish();
        }
        // The working copy is local: read it through memory mapping like the screen does.
        joined.books->query(QStringLiteral("PRAGMA main.mmap_size=268435456")).finish();
        return joined;
    }

    // Files share the data directory's number file and journal file.
    bool invoiceNumberInBooks() const override { return false; }
};

}  // namespace

const Dialect& sqliteDialect() {
    static const SqliteDialect dialect;
    return dialect;
}

}  // namespace data
