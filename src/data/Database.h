#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <chrono>
#include <memory>

#include "data/AnswerWatch.h"

struct sqlite3;

namespace data {

class Dialect;
const Dialect& sqliteDialect();

/// A wait for another writer's lock: since when, and whether the operator gave it up.
struct LockWait {
    std::chrono::steady_clock::time_point since;
    bool givenUp = false;
};

/// One open database file of the books. The engine is chosen by the file's contents; opening a
/// missing or foreign file is an error and never creates anything. Connections to the same file
/// are shared inside a thread (the connections of the engine's driver belong to the thread that
/// made them), so data controls bound to one file see each other's writes.
class Database {
  public:
    /// Opens (or shares) the database at `path`; the name is resolved without regard to case and
    /// backslashes are accepted. Throws DatabaseError with a text for the operator.
    static std::shared_ptr<Database> open(const QString& path);

    /// How much a commit waits for the disk: the books and the basket wait until the disk has
    /// it (Full), so a power cut loses nothing that was committed.
    enum class Durability { Full };
    static std::shared_ptr<Database> open(const QString& path, Durability durability);

    /// A connection of its own, shared with no one: a posting attaches every file it writes to it,
    /// so one transaction commits across all of them.
    static std::unique_ptr<Database> openPrivate(const QString& path);
    /// A connection of its own that can only read: a file that must never change (a placeholder)
    /// refuses every write instead of taking it.
    static std::shared_ptr<Database> openReadOnly(const QString& path);
    /// Attaches another database file under `alias`; the same checks as open().
    void attach(const QString& path, const QString& alias);
    /// Attaches a file that this connection only reads (a company's stock cards beside the basket).
    void attachForReading(const QString& path, const QString& alias);

    /// The resolved path of an existing database file, or DatabaseError saying what is wrong.
    static QString checkedPath(const QString& path);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    /// The resolved file path, or the server path as given.
    QString path() const { return m_path; }

    /// What this connection's engine says and does differently from the embedded one.
    const Dialect& dialect() const { return *m_dialect; }
    /// On the server: the schema this file's tables live in (unqualified names find them).
    QString schema() const { return m_schema; }

    /// Runs one statement written in the old engine's dialect (True/False, Like '…*').
    void execute(const QString& jetSql);

    /// Runs one SQLite statement with bound parameters; the query is finished for non-SELECTs.
    QSqlQuery query(const QString& sql, const QVariantList& params = {});

    /// A statement prepared once and reused (hot paths). Callers finish() it after reading.
    QSqlQuery& prepared(const QString& sql);

    void begin();
    /// Transactions that lock only the files their statements touch. A basket's connection has
    /// the shared cards and order files attached: a begin that locked every attached file would
    /// hold one shared file while waiting for another, and terminals could wait on each other
    /// for ever.
    void setLocksOnlyWhatItTouches(bool on) { m_locksOnlyWhatItTouches = on; }
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }

    /// Column names of a table, in table order.
    QStringList columns(const QString& table);
    /// Each column's name and its default as an SQL expression (empty when it has none).
    QList<std::pair<QString, QString>> columnDefaults(const QString& table);

    sqlite3* handle() const { return m_handle; }
    /// What the operator reads when `what` failed with the engine's `engineText` running `sql`:
    /// the cause in Turkish (never empty, never the statement) and the file at fault: of the
    /// files attached, the one the statement or the engine names, the damaged one, the one whose
    /// lock another holds.
    QString failureText(const QString& what, const QString& engineText,
                        const QString& sql = {}) const;
    /// Throws the failure of `sql`: BusyError when another holds what it needs (the engine's
    /// `nativeCode`: SQLite's busy, the server's lock timeout), else DatabaseError.
    [[noreturn]] void raise(const QString& what, const QString& engineText,
                            const QString& nativeCode, const QString& sql) const;
    QSqlDatabase& connection() { return m_db; }
    const QSqlDatabase& connection() const { return m_db; }
    /// A server connection's watch over its waits for answers.
    const AnswerWatch& watch() const { return m_watch; }
    /// The file an ATTACH running now reads: whatever fails is about it.
    QString attaching() const { return m_attaching; }
    /// Whether the operator gave up the last wait for another writer's lock.
    bool busyGivenUp() const { return m_lockWait.givenUp; }

    /// Each attached file of the connection: its alias and its path (the embedded engine only).
    QList<std::pair<QString, QString>> attachedFiles() const;
    /// The path of the file attached as `alias`; empty when none is (the embedded engine only).
    QString attachedFile(const QString& alias) const;
    /// The alias of an attached order file of the visible cards by name (see cardorder), or empty.
    QString nameOrder() const { return m_nameOrder; }
    void setNameOrder(const QString& alias) { m_nameOrder = alias; }

    /// Number of rows changed by this connection so far (used to notice our own writes).
    qint64 totalChanges() const;

  private:
    friend class Dialect;  // the only maker of connections
    /// Not yet connected: its dialect connects it.
    Database(QString path, const Dialect& dialect);
    void closeConnection();
    void attachAs(const QString& path, const QString& alias, const QString& mode);
    QSqlQuery run(const QString& sql, const QVariantList& params);
    void reconnect();
    [[noreturn]] void fail(const QString& what, const QSqlQuery& q, const QString& sql) const;
    void refuseNul(const QVariantList& params) const;

    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_db;
    sqlite3* m_handle = nullptr;
    bool m_inTransaction = false;
    bool m_locksOnlyWhatItTouches = false;
    const Dialect* m_dialect;
    QString m_schema;
    std::unique_ptr<struct PreparedCache> m_prepared;
    LockWait m_lockWait;  // the last wait for another writer's lock on a file
    AnswerWatch m_watch;  // a server connection's wait for answers
    QString m_nameOrder;
    QString m_attaching;  // the file an ATTACH running now reads: whatever fails is about it
};

/// What kind of database file lies at a path, by its first bytes.
enum class DatabaseKind { Missing, SQLite, Access, Unknown };
DatabaseKind databaseKind(const QString& localPath);

/// Makes a new database file of the terminal's own at `path` with `schema` (SQL statements),
/// replacing whatever lay there with its leftovers. Throws DatabaseError.
void createDatabaseFile(const QString& path, const char* schema);

/// Whether books are at a path: an existing file, or a schema the server holds.
bool booksExist(const QString& path);

/// A book's path as the operator reads it: a file's resolved path, a server path as given.
QString shownPath(const QString& path);

}  // namespace data
