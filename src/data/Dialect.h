#pragma once

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace data {

class Database;
class PreparedWrite;

/// What differs between the engines the books may live in: a file of the embedded engine, or a
/// schema on a PostgreSQL server. Statements are written once, in the embedded engine's words;
/// what the other engine says differently is asked of its dialect, and only what cannot be said
/// this way (the Turkish fold inside a LIKE) is rewritten on the way to the server.
class Dialect {
  public:
    virtual ~Dialect() = default;

    /// Whether each company book is a file of its own, read in place, copied block by block and
    /// removed before a copy; else the engine holds the books and the terminal keeps a file of
    /// its own of their cards, brought up to date from them.
    virtual bool booksAreFiles() const = 0;
    /// Whether the journal is kept in the books' own database (the server's terminal schema)
    /// rather than in a file beside the books.
    virtual bool journalInBooks() const = 0;
    /// A path split before its connection options: ("postgresql://h/db/01", "?sslmode=require");
    /// a path without options (every file path) is all base.
    virtual std::pair<QString, QString> splitOptions(const QString& path) const = 0;
    /// Whether books are at `path`: an existing file, or a schema the server holds.
    virtual bool booksExist(const QString& path) const = 0;
    /// A book's path as the operator reads it: a file's resolved path, a server path as given.
    virtual QString shownPath(const QString& path) const = 0;

    /// Makes a shared connection's commits wait until the disk has them, where the engine leaves
    /// that to the connection.
    virtual void makeDurable(Database& db) const = 0;
    /// Each column of `table` with its default as an SQL expression: the rows of a query.
    virtual QSqlQuery columnDefaults(Database& db, const QString& table) const = 0;
    /// Whether the connection dropped (a server's link): outside a transaction it is made anew.
    /// A file's connection never drops.
    virtual bool connectionLost(const Database& db) const = 0;
    /// Makes a dropped connection anew, as it was first made.
    virtual void reconnect(Database& db) const = 0;
    /// Whether a text may hold a NUL character.
    virtual bool keepsNul() const = 0;
    /// Whether a statement without parameters is prepared too (the server's driver prepares on
    /// the server, which takes no BEGIN, SET or CREATE).
    virtual bool preparesEveryStatement() const = 0;

    /// A statement written for the embedded engine, as this engine runs it.
    virtual QString statement(const QString& sql) const = 0;
    /// How a statement names the book joined as `alias` from `path` (an attached file's alias,
    /// or the schema the server keeps it in).
    virtual QString qualifier(const QString& alias, const QString& path) const = 0;
    /// Appended to a select of rows the transaction rewrites: held until the commit.
    virtual QString rowLock() const = 0;
    /// A condition true where `column` starts with `prefix` followed by a digit.
    virtual QString startsWithDigit(const QString& column, const QString& prefix) const = 0;
    /// An order term that keeps the engine from walking a whole-table index for the order.
    virtual QString unindexedOrder(const QString& column) const = 0;
    /// An order term that sorts names in Turkish alphabetical order.
    virtual QString turkishOrder(const QString& column) const = 0;
    /// Names of the company books of one kind beside `db` ("fatura": 01fatura, 02fatura, …) as
    /// a statement's qualifier names them; empty where books are files.
    virtual QStringList companyBooks(Database& db, const QString& kind) const = 0;
    /// A write prepared once on `db` and run for many rows (see Statement).
    virtual std::unique_ptr<PreparedWrite> prepareWrite(Database& db, const QString& sql) const = 0;
    /// The key the last insert of this connection drew.
    virtual qint64 lastKey(Database& db) const = 0;
    /// A number that changes whenever another connection commits a write to the database; none
    /// where the engine does not say (its rows are then read again every time).
    virtual std::optional<qint64> dataVersion(Database& db) const = 0;
    /// Whether the database has the table.
    virtual bool hasTable(Database& db, const QString& table) const = 0;

    /// The connection to the books at `path` that the thread shares (checked: a missing book is
    /// an error, never made).
    virtual std::shared_ptr<Database> connectShared(const QString& path) const = 0;
    /// A connection of its own to the books at `path`, one that only reads if `readOnly`.
    virtual std::unique_ptr<Database> connectOwn(const QString& path, bool readOnly) const = 0;
    /// The statement that begins a transaction of writes.
    virtual QString beginStatement(bool locksOnlyWhatItTouches) const = 0;
    /// Waits for this writer's turn inside `db`'s new transaction where the engine does not make
    /// writers of the books take turns by itself.
    virtual void takeWriteTurn(Database& db) const = 0;
    /// The book (file or the server's schema) a failure with `engineText` running `sql` is about.
    virtual QString bookAtFault(const Database& db, const QString& engineText,
                                const QString& sql) const = 0;
    /// The operator's words for why a statement failed; empty when the engine said nothing.
    virtual QString failureCause(const Database& db, const QString& engineText) const = 0;
    /// The failure's message: what was done, why, the book at fault, the engine's own words.
    virtual QString failureText(const QString& what, const QString& cause, const QString& book,
                                const QString& engineText) const = 0;
    /// Throws BusyError where the failure means another writer held what the statement needs.
    virtual void throwIfBusy(const Database& db, const QString& what, const QString& engineText,
                             const QString& nativeCode, const QString& sql) const = 0;
    /// Whether the failure ended a wait for the server's answer the operator gave up.
    virtual bool answerGivenUp(const Database& db) const = 0;

    /// How several company books join one transaction: the connection that writes them all, and
    /// (on a server) the working copy's own connection. `files` are alias and path of each book;
    /// they may be reordered and their paths resolved.
    struct Joined {
        std::unique_ptr<Database> books;
        std::unique_ptr<Database> workingCopy;  // null: the working copy is `books`' main file
    };
    virtual Joined join(const QString& workingCopy,
                        std::vector<std::pair<QString, QString>>& files) const = 0;

    // What the rules leave to the engine: where the shared invoice number lives.
    /// Whether the invoice number every company of the data directory shares is a row of the
    /// books, drawn under its row lock inside the invoice's transaction; otherwise it is the data
    /// directory's number file, held under a file lock from before the transaction to its end.
    virtual bool invoiceNumberInBooks() const = 0;

  protected:
    /// The connection to a book (under `key`: a file's identity, a server path) that the thread
    /// shares, made by connect() when there is none.
    std::shared_ptr<Database> sharedConnection(const QString& key, const QString& path) const;
    /// A connection of its own to the book at `path`, made by connect().
    std::unique_ptr<Database> ownConnection(const QString& path, bool readOnly) const;
    /// Opens the engine's connection for a Database just made; what fails throws DatabaseError.
    virtual void connect(Database& db, bool readOnly) const = 0;
    // Each engine's connecting, defined beside its dialect. Members of this class so that they
    // reach the connection's insides: a friend's subclasses are no friends.
    static void openFile(Database& db, bool readOnly);
    static void openServer(Database& db, bool readOnly);
    static void reopenServer(Database& db);
};

/// The qualifiers ("ss" of "ss.StokKartlar") a statement or an engine's text names in front of a
/// table, with the table, in order.
QList<std::pair<QString, QString>> qualifiedTables(const QString& text);

const Dialect& sqliteDialect();
const Dialect& postgresDialect();
/// The dialect of the books at `path`.
const Dialect& dialectOf(const QString& path);

/// Whether the cards of the books at `path` are read where they are (files), rather than from a
/// file of the terminal's own kept up to date from them.
inline bool cardsReadInPlace(const QString& path) {
    return dialectOf(path).booksAreFiles();
}

}  // namespace data
