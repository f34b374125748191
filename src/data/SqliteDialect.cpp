// The embedded engine: each company book is a file, attached to one connection so that one
// transaction commits across all of them.
#include <sqlite3.h>
#include <QSqlQuery>
#include <algorithm>

#include "data/Database.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"

namespace data {

namespace {

class SqliteDialect final : public Dialect {
  public:
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

    // Files share the data directory's number file and journal file.
    bool invoiceNumberInBooks() const override { return false; }
    bool journalBesideBooks() const override { return true; }
};

}  // namespace

const Dialect& sqliteDialect() {
    static const SqliteDialect dialect;
    return dialect;
}

}  // namespace data
