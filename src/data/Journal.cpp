#include "data/Journal.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QUuid>
#include <mutex>

#include <pwd.h>
#include <unistd.h>

#include "core/DateFormat.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/ServerBooks.h"
#include "data/Transaction.h"

namespace data::journal {

namespace {

// The columns of an entry, in the order of every statement here; a server spells them in lower
// case.
const QStringList& columns() {
    static const QStringList c{
        QStringLiteral("Id"),       QStringLiteral("At"),        QStringLiteral("Terminal"),
        QStringLiteral("Computer"), QStringLiteral("UserName"),  QStringLiteral("Event"),
        QStringLiteral("Work"),     QStringLiteral("Operation"), QStringLiteral("Target"),
        QStringLiteral("Books"),    QStringLiteral("Number"),    QStringLiteral("Invoice"),
        QStringLiteral("Total"),    QStringLiteral("Reason"),    QStringLiteral("Lines")};
    return c;
}

// Texts hold no null: the reader and a spreadsheet see an empty text. Entries of one second keep
// the order they were written in: the file's row order, the server's sequence.
const char* const FileSchema =
    "CREATE TABLE IF NOT EXISTS Journal (Id TEXT PRIMARY KEY, At TEXT NOT NULL, "
    "Terminal INTEGER NOT NULL, Computer TEXT NOT NULL, UserName TEXT NOT NULL, "
    "Event TEXT NOT NULL, Work TEXT NOT NULL, Operation TEXT NOT NULL, Target TEXT NOT NULL, "
    "Books TEXT NOT NULL, Number TEXT NOT NULL, Invoice TEXT NOT NULL, Total TEXT NOT NULL, "
    "Reason TEXT NOT NULL, Lines TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS Journal_At ON Journal (At);";

const QString KeptTable = QStringLiteral("main.JournalKept");

QString placeholders() {
    QStringList marks;
    for (qsizetype i = 0; i < columns().size(); ++i)
        marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

template <class Tag>
QString decimal(core::Decimal<Tag> m) {
    return m.toString(QLocale::c());
}

const QString& computerName() {
    static const QString name = QSysInfo::machineHostName();
    return name;
}

const QString& userName() {
    static const QString name = [] {
        for (const char* variable : {"USER", "LOGNAME", "USERNAME"})
            if (const QString v = qEnvironmentVariable(variable); !v.isEmpty()) return v;
        // A service started without a login has none of them.
        const passwd* account = getpwuid(geteuid());
        return account ? QString::fromLocal8Bit(account->pw_name)
                       : QString::number(static_cast<qint64>(geteuid()));
    }();
    return name;
}

// The time as the books store one, which both engines read as a time; a text left out is an
// empty text, never a null.
QVariantList valuesOf(const Entry& e) {
    const auto text = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };
    return {e.id,
            core::storedDateTime(e.at),
            e.terminal,
            text(e.computer),
            text(e.user),
            codeOf(e.event),
            text(e.work),
            text(e.operation),
            text(e.target),
            text(e.books),
            text(e.number),
            text(e.invoice),
            decimal(e.total),
            text(e.reason),
            linesText(e.lines)};
}

Entry completed(Entry e) {
    if (e.id.isEmpty()) e.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (e.computer.isEmpty()) e.computer = computerName();
    if (e.user.isEmpty()) e.user = userName();
    return e;
}

void makeKeptTable(Database& basket) {
    QString sql = QString::fromLatin1(FileSchema).section(u';', 0, 0);
    sql.replace(QStringLiteral("EXISTS Journal"), QStringLiteral("EXISTS ") + KeptTable);
    basket.query(sql);
}

// The kept entries' rows, as stored.
std::vector<QVariantList> keptRows(Database& basket) {
    std::vector<QVariantList> rows;
    QSqlQuery made = basket.query(
        QStringLiteral("SELECT count(*) FROM main.sqlite_master WHERE name = 'JournalKept'"));
    const bool kept = made.next() && made.value(0).toInt() > 0;
    made.finish();
    if (!kept) return rows;
    QSqlQuery q = basket.query(QStringLiteral("SELECT %1 FROM %2 ORDER BY At, rowid")
                                   .arg(columns().join(QStringLiteral(", ")), KeptTable));
    while (q.next()) {
        QVariantList row;
        for (qsizetype i = 0; i < columns().size(); ++i)
            row << q.value(static_cast<int>(i));
        rows.push_back(row);
    }
    q.finish();
    return rows;
}

QString insertInto(bool server) {
    if (server)
        return QStringLiteral(
                   "INSERT INTO terminal.journal (%1) VALUES (%2) ON CONFLICT (id) DO "
                   "NOTHING")
            .arg(columns().join(QStringLiteral(", ")).toLower(), placeholders());
    return QStringLiteral("INSERT OR IGNORE INTO jr.Journal (%1) VALUES (%2)")
        .arg(columns().join(QStringLiteral(", ")), placeholders());
}

}  // namespace

QString codeOf(Event event) {
    switch (event) {
        case Event::Document:
            return QStringLiteral("document");
        case Event::Removed:
            return QStringLiteral("removed");
        case Event::Cancelled:
            return QStringLiteral("cancelled");
        case Event::Abandoned:
            return QStringLiteral("abandoned");
        case Event::Refused:
            return QStringLiteral("refused");
        case Event::WaitGivenUp:
            return QStringLiteral("waitgivenup");
        case Event::Settled:
            return QStringLiteral("settled");
    }
    return QString();
}

Event eventOf(const QString& code) {
    for (Event e : {Event::Removed, Event::Cancelled, Event::Abandoned, Event::Refused,
                    Event::WaitGivenUp, Event::Settled})
        if (codeOf(e) == code) return e;
    return Event::Document;
}

QString linesText(const std::vector<Line>& lines) {
    QJsonArray array;
    for (const Line& l : lines)
        array.append(QJsonObject{{QStringLiteral("code"), l.code},
                                 {QStringLiteral("name"), l.name},
                                 {QStringLiteral("quantity"), decimal(l.quantity)},
                                 {QStringLiteral("price"), decimal(l.price)},
                                 {QStringLiteral("amount"), decimal(l.amount)},
                                 {QStringLiteral("vat"), decimal(l.vat)}});
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::vector<Line> linesOf(const QString& text) {
    std::vector<Line> lines;
    const auto money = [](const QJsonObject& o, const char* key) {
        return Money::fromStored(o.value(QLatin1String(key)).toString()).value_or(Money());
    };
    for (const QJsonValue& v : QJsonDocument::fromJson(text.toUtf8()).array()) {
        const QJsonObject o = v.toObject();
        Line l;
        l.code = o.value(QLatin1String("code")).toString();
        l.name = o.value(QLatin1String("name")).toString();
        l.quantity = Quantity::fromStored(o.value(QLatin1String("quantity")).toString())
                         .value_or(Quantity());
        l.price = money(o, "price");
        l.amount = money(o, "amount");
        l.vat = money(o, "vat");
        lines.push_back(l);
    }
    return lines;
}

QString fileIn(const QString& dataDirectory) {
    return dataDirectory + QLatin1String(FileName);
}

QString fileFor(const QString& books, const QString& dataDirectory) {
    return dialectOf(books).journalInBooks() ? QString() : fileIn(dataDirectory);
}

void keep(Database& basket, Entry entry) {
    makeKeptTable(basket);
    basket.query(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                     .arg(KeptTable, columns().join(QStringLiteral(", ")), placeholders()),
                 valuesOf(completed(std::move(entry))));
}

QStringList write(AttachedBooks& books, const std::vector<Entry>& entries) {
    const bool server = books.dialect().journalInBooks();
    Database& basket = books.workingCopy();
    QStringList moved;
    const QString insert = insertInto(server);
    for (const QVariantList& row : keptRows(basket)) {
        moved << row.first().toString();
        books.db().query(insert, row);
    }
    for (const Entry& e : entries)
        books.db().query(insert, valuesOf(completed(e)));
    if (!server && !moved.isEmpty()) forget(basket, moved);
    return server ? moved : QStringList();
}

void forget(Database& basket, const QStringList& ids) {
    for (const QString& id : ids)
        basket.query(QStringLiteral("DELETE FROM %1 WHERE Id = ?").arg(KeptTable), {id});
}

void flush(const QString& basket, const QString& serverPath, const QString& journalFile) {
    {
        auto kept = Database::openPrivate(basket);
        if (keptRows(*kept).empty()) return;
    }
    const bool server = dialectOf(serverPath).journalInBooks();
    if (!server) ensureFile(journalFile);
    AttachedBooks books(basket, {server ? std::pair{QStringLiteral("sc"), serverPath}
                                        : std::pair{QStringLiteral("jr"), journalFile}});
    if (server) ensureTable(books.db());
    QStringList moved;
    {
        Transaction transaction(books.db());
        moved = write(books, {});
        transaction.commit();
    }
    if (server) forget(books.workingCopy(), moved);
}

void ensureFile(const QString& journalFile) {
    if (QFileInfo::exists(journalFile)) return;
    // Made aside and moved in: two terminals making it at once never replace each other's.
    const QString making =
        journalFile + QStringLiteral(".") + QUuid::createUuid().toString(QUuid::Id128);
    createDatabaseFile(making, FileSchema);
    if (!QFile::rename(making, journalFile)) {
        QFile::remove(making);
        if (!QFileInfo::exists(journalFile))
            throw DatabaseError(QStringLiteral("Günlük dosyası yapılamadı: %1").arg(journalFile));
    }
}

void ensureTable(Database& server) {
    static std::mutex guard;
    static QSet<QString> made;
    const std::lock_guard lock(guard);
    const QString key = server.path().section(u'/', 0, -2);
    if (made.contains(key)) return;
    const auto exists = [&server] {
        QSqlQuery q = server.query(QStringLiteral("SELECT to_regclass('terminal.journal')"));
        const bool found = q.next() && !q.value(0).isNull();
        q.finish();
        return found;
    };
    if (!exists()) {
        try {
            server.query(QStringLiteral(
                "CREATE TABLE IF NOT EXISTS terminal.journal (id text PRIMARY KEY, at "
                "timestamp(0) NOT NULL, terminal integer NOT NULL, computer text NOT NULL, "
                "username text NOT NULL, event text NOT NULL, work text NOT NULL, operation text "
                "NOT NULL, target text NOT NULL, books text NOT NULL, number text NOT NULL, "
                "invoice text NOT NULL, total numeric(19,4) NOT NULL, reason text NOT NULL, "
                "lines text NOT NULL, seq bigint GENERATED ALWAYS AS IDENTITY)"));
            server.query(
                QStringLiteral("CREATE INDEX IF NOT EXISTS journal_at ON terminal.journal (at)"));
        } catch (const DatabaseError&) {
            // Another terminal made it at the same moment: the engine says so as an error.
            if (!exists()) throw;
        }
    }
    made.insert(key);
}

}  // namespace data::journal
