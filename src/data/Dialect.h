#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace data {

class Database;

/// What differs between the engines the books may live in: a file of the embedded engine, or a
/// schema on a PostgreSQL server. Statements are written once, in the embedded engine's words;
/// what the other engine says differently is asked of its dialect, and only what cannot be said
/// this way (the Turkish fold inside a LIKE) is rewritten on the way to the server.
class Dialect {
  public:
    virtual ~Dialect() = default;

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
    /// The key the last insert of this connection drew.
    virtual qint64 lastKey(Database& db) const = 0;
    /// A number that changes whenever another connection commits a write to the database; none
    /// where the engine does not say (its rows are then read again every time).
    virtual std::optional<qint64> dataVersion(Database& db) const = 0;
    /// Whether the database has the table.
    virtual bool hasTable(Database& db, const QString& table) const = 0;

    /// How several company books join one transaction: the connection that writes them all, and
    /// (on a server) the working copy's own connection. `files` are alias and path of each book;
    /// they may be reordered and their paths resolved.
    struct Joined {
        std::unique_ptr<Database> books;
        std::unique_ptr<Database> workingCopy;  // null: the working copy is `books`' main file
    };
    virtual Joined join(const QString& workingCopy,
                        std::vector<std::pair<QString, QString>>& files) const = 0;

    // What the rules leave to the engine: where the shared invoice number and the journal live.
    /// Whether the invoice number every company of the data directory shares is a row of the
    /// books, drawn under its row lock inside the invoice's transaction; otherwise it is the data
    /// directory's number file, held under a file lock from before the transaction to its end.
    virtual bool invoiceNumberInBooks() const = 0;
    /// Whether documents are journalled in a file beside the books rather than in the books.
    virtual bool journalBesideBooks() const = 0;
};

const Dialect& sqliteDialect();
const Dialect& postgresDialect();
/// The dialect of the books at `path`.
const Dialect& dialectOf(const QString& path);

}  // namespace data
