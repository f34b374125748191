// The embedded engine: each company book is a file, attached to one connection so that one
// transaction commits across all of them.
#include <sqlite3.h>
#include <QFileInfo>
#include <QSqlQuery>
#include <algorithm>

#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/Statement.h"

namespace data {

namespace {

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
    bool reconnects() const override { return false; }
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
};

}  // namespace

const Dialect& sqliteDialect() {
    static const SqliteDialect dialect;
    return dialect;
}

}  // namespace data
