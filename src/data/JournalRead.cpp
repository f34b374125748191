#include "data/JournalRead.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <tuple>

#include "core/DateFormat.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/ServerBooks.h"

namespace data::journal {

namespace {

using RowReader = std::function<void(const QSqlQuery&)>;

// Where the journal and the companies' movements are read, and how each engine says what the
// statements need. Both engines take the same names: the server folds unquoted ones to its lower
// case.
class Source {
  public:
    virtual ~Source() = default;
    /// The two-digit companies whose account file is there, in order.
    virtual QStringList companies() = 0;
    virtual bool hasJournal() = 0;
    virtual QString journalTable() const = 0;
    virtual QString movementsOf(const QString& company) const = 0;
    /// A date-time column as "yyyy-MM-dd HH:mm:ss" (files hold it so already).
    virtual QString timeText(const QString& expression) const = 0;
    virtual QString totalText() const = 0;
    /// Entries of one second in the order they were written.
    virtual QString writtenOrder() const = 0;
    /// A condition true where `column` is one of the texts of a JSON array bound to it.
    virtual QString listed(const QString& column) const = 0;
    /// Runs `sql` on the journal (company empty) or a company's account file.
    virtual void select(const QString& company, const QString& sql, const QVariantList& params,
                        const RowReader& row) = 0;
};

class FileSource final : public Source {
  public:
    explicit FileSource(const QString& directory) {
        const QDir dir(toLocalPath(directory));
        if (!dir.exists())
            throw DatabaseError(QStringLiteral("Veri klasörü bulunamadı: %1").arg(directory));
        static const QRegularExpression name(QStringLiteral("^([0-9]{2})cari\\.mdb$"),
                                             QRegularExpression::CaseInsensitiveOption);
        for (const QString& file : dir.entryList(QDir::Files, QDir::Name))
            if (const auto m = name.match(file); m.hasMatch())
                m_files.insert(m.captured(1), dir.filePath(file));
        m_journal = resolvePath(fileIn(dir.path() + u'/'));
    }
    QStringList companies() override { return m_files.keys(); }
    bool hasJournal() override { return QFileInfo(m_journal).isFile(); }
    QString journalTable() const override { return QStringLiteral("Journal"); }
    QString movementsOf(const QString&) const override { return QStringLiteral("CariHareket"); }
    QString timeText(const QString& expression) const override { return expression; }
    QString totalText() const override { return QStringLiteral("Total"); }
    QString writtenOrder() const override { return QStringLiteral("rowid"); }
    QString listed(const QString& column) const override {
        return column + QStringLiteral(" IN (SELECT value FROM json_each(?))");
    }
    void select(const QString& company, const QString& sql, const QVariantList& params,
                const RowReader& row) override {
        // A connection of its own that can only read: the terminals' books are never touched.
        auto db = Database::openReadOnly(company.isEmpty() ? m_journal : m_files.value(company));
        QSqlQuery q = db->query(sql, params);
        while (q.next())
            row(q);
        q.finish();
    }

  private:
    QString m_journal;
    QMap<QString, QString> m_files;
};

class ServerSource final : public Source {
  public:
    explicit ServerSource(const ServerAddress& address) : m_server(address.serverText()) {
        static std::atomic<int> counter{0};
        m_name = QStringLiteral("journal-reader-%1").arg(++counter);
        m_db = openServerConnection(address, m_name);
        // One snapshot: the journal and every company's books as they stood at one moment.
        run(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"), {});
    }
    ~ServerSource() override {
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    QStringList companies() override {
        QStringList found;
        select(QString(),
               QStringLiteral("SELECT nspname FROM pg_namespace WHERE nspname ~ "
                              "'^[0-9][0-9]cari$' ORDER BY 1"),
               {}, [&found](const QSqlQuery& q) { found << q.value(0).toString().left(2); });
        return found;
    }
    bool hasJournal() override {
        bool there = false;
        select(QString(), QStringLiteral("SELECT to_regclass('terminal.journal') IS NOT NULL"), {},
               [&there](const QSqlQuery& q) { there = q.value(0).toBool(); });
        return there;
    }
    QString journalTable() const override { return QStringLiteral("terminal.journal"); }
    QString movementsOf(const QString& company) const override {
        return quotedSchema(company + QStringLiteral("cari")) + QStringLiteral(".CariHareket");
    }
    QString timeText(const QString& expression) const override {
        return QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(expression);
    }
    // The exact decimal, never through a binary fraction.
    QString totalText() const override { return QStringLiteral("CAST(Total AS text)"); }
    QString writtenOrder() const override { return QStringLiteral("seq"); }
    QString listed(const QString& column) const override {
        return column + QStringLiteral(" IN (SELECT json_array_elements_text(CAST(? AS json)))");
    }
    void select(const QString&, const QString& sql, const QVariantList& params,
                const RowReader& row) override {
        QSqlQuery q = run(sql, params);
        while (q.next())
            row(q);
        q.finish();
    }

  private:
    QSqlQuery run(const QString& sql, const QVariantList& params) {
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        // The driver prepares on the server, which takes no BEGIN: that runs as it is.
        const bool ok = params.isEmpty() ? q.exec(sql) : [&] {
            if (!q.prepare(sql)) return false;
            for (const QVariant& p : params)
                q.addBindValue(p);
            return q.exec();
        }();
        if (!ok)
            throw DatabaseError(QStringLiteral("Günlük okunamadı: %1 (%2)")
                                    .arg(m_server, serverCause(q.lastError().text())));
        return q;
    }

    QString m_server;
    QString m_name;
    QSqlDatabase m_db;
};

std::unique_ptr<Source> sourceOf(const QString& location) {
    if (!dialectOf(location).journalInBooks()) return std::make_unique<FileSource>(location);
    const auto address = parseServerPath(location);
    if (!address)
        throw DatabaseError(QStringLiteral("Sunucu yolu anlaşılamadı: %1 (beklenen: "
                                           "postgresql://SUNUCU[:PORT]/VERİTABANI)")
                                .arg(location));
    return std::make_unique<ServerSource>(*address);
}

// The filter as conditions on `time` (and the terminal), with their parameters; "" for none.
QString conditions(const Filter& filter, const QString& time, QVariantList& params,
                   bool withTerminal) {
    QStringList where;
    // A bound day is midnight on both engines, and ISO texts compare as the times they spell.
    if (filter.from) {
        where << time + QStringLiteral(" >= ?");
        params << core::storedDate(*filter.from);
    }
    if (filter.to) {
        where << time + QStringLiteral(" < ?");
        params << core::storedDate(filter.to->addDays(1));
    }
    if (withTerminal && filter.terminal) {
        where << QStringLiteral("Terminal = ?");
        params << *filter.terminal;
    }
    return where.join(QStringLiteral(" AND "));
}

QDateTime timeOf(const QVariant& value) {
    return core::readBooksDateTime(value.toString()).value_or(QDateTime());
}

QStringList companiesIn(const QString& books) {
    QStringList out;
    for (const QString& c : books.split(u',', Qt::SkipEmptyParts))
        if (const QString t = c.trimmed(); !t.isEmpty()) out << t;
    return out;
}

std::vector<Entry> listedEntries(Source& source, const Filter& filter) {
    QVariantList params;
    const QString where = conditions(filter, QStringLiteral("At"), params, true);
    const QString sql =
        QStringLiteral(
            "SELECT Id, %1, Terminal, Computer, UserName, Event, Work, Operation, Target, Books, "
            "Number, Invoice, %2, Reason, Lines FROM %3%4 ORDER BY At, %5")
            .arg(source.timeText(QStringLiteral("At")), source.totalText(), source.journalTable(),
                 where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where,
                 source.writtenOrder());
    std::vector<Entry> entries;
    source.select(QString(), sql, params, [&entries](const QSqlQuery& q) {
        Entry e;
        e.id = q.value(0).toString();
        e.at = timeOf(q.value(1));
        e.terminal = q.value(2).toInt();
        e.computer = q.value(3).toString();
        e.user = q.value(4).toString();
        e.event = eventOf(q.value(5).toString());
        e.work = q.value(6).toString();
        e.operation = q.value(7).toString();
        e.target = q.value(8).toString();
        e.books = q.value(9).toString();
        e.number = q.value(10).toString();
        e.invoice = q.value(11).toString();
        e.total = Money::fromStored(q.value(12)).value_or(Money());
        e.reason = q.value(13).toString();
        e.lines = linesOf(q.value(14).toString());
        entries.push_back(std::move(e));
    });
    return entries;
}

QString key(const QString& company, const QString& number) {
    return company + u'/' + number;
}

bool before(const Finding& a, const Finding& b) {
    // Numbers by length first, so that 99 comes before 100.
    return std::tuple(a.kind, a.company, a.number.size(), a.number) <
           std::tuple(b.kind, b.company, b.number.size(), b.number);
}

}  // namespace

Reading read(const QString& location, const Filter& filter) {
    std::unique_ptr<Source> source = sourceOf(location);
    const QStringList companies = source->companies();
    if (companies.isEmpty())
        throw DatabaseError(
            QStringLiteral("%1 içinde şirket defteri (01Cari.mdb …) bulunamadı.").arg(location));
    const bool journal = source->hasJournal();

    // Read in this order, each part after the one before it committed: an entry commits with its
    // document, so a document written meanwhile is never taken for one without its entry, nor a
    // listed entry for one without its document.
    Reading reading;
    if (journal) reading.entries = listedEntries(*source, filter);

    // The numbers each company must hold, for the listed document entries naming it.
    QHash<QString, QHash<QString, QDateTime>> wanted;
    for (const Entry& e : reading.entries)
        if (e.event == Event::Document)
            for (const QString& c : companiesIn(e.books))
                wanted[c].insert(e.number, e.at);

    struct Document {
        QString company, number;
        QDateTime at;
    };
    std::vector<Document> documents;
    for (const QString& company : companies) {
        QVariantList params;
        QString period = QStringLiteral("Nerde IN ('S', 'F')");
        if (const QString w = conditions(filter, QStringLiteral("Tarih"), params, false);
            !w.isEmpty())
            period += QStringLiteral(" AND ") + w;
        const QVariantList periodParams = params;
        QHash<QString, QDateTime>& missing = wanted[company];
        QJsonArray numbers;
        for (auto it = missing.cbegin(); it != missing.cend(); ++it)
            numbers.append(it.key());
        // One pass over the company's movements answers both sides.
        const QString sql =
            QStringLiteral(
                "SELECT DigerId, max(CASE WHEN %1 THEN 1 ELSE 0 END), %2 FROM %3 WHERE (%1) OR "
                "%4 GROUP BY DigerId")
                .arg(period,
                     source->timeText(
                         QStringLiteral("min(CASE WHEN %1 THEN Tarih END)").arg(period)),
                     source->movementsOf(company), source->listed(QStringLiteral("DigerId")));
        params = periodParams + periodParams + periodParams;
        params << QString::fromUtf8(QJsonDocument(numbers).toJson(QJsonDocument::Compact));
        source->select(company, sql, params, [&](const QSqlQuery& q) {
            const QString number = q.value(0).toString();
            missing.remove(number);
            if (q.value(1).toInt() == 1) documents.push_back({company, number, timeOf(q.value(2))});
        });
    }
    for (auto c = wanted.cbegin(); c != wanted.cend(); ++c)
        for (auto n = c.value().cbegin(); n != c.value().cend(); ++n)
            reading.findings.push_back(
                {Finding::Kind::EntryWithoutDocument, c.key(), n.key(), n.value()});

    // Entries of every time and terminal record documents: one written late or early still counts.
    QSet<QString> recorded;
    if (journal)
        source->select(QString(),
                       QStringLiteral("SELECT Books, Number FROM %1 WHERE Event = 'document'")
                           .arg(source->journalTable()),
                       {}, [&recorded](const QSqlQuery& q) {
                           for (const QString& c : companiesIn(q.value(0).toString()))
                               recorded.insert(key(c, q.value(1).toString()));
                       });
    for (const Document& d : documents)
        if (!recorded.contains(key(d.company, d.number)))
            reading.findings.push_back(
                {Finding::Kind::DocumentWithoutEntry, d.company, d.number, d.at});
    std::sort(reading.findings.begin(), reading.findings.end(), before);
    return reading;
}

}  // namespace data::journal
