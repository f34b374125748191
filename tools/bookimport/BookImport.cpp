#include "bookimport/BookImport.h"

#include <libpq-fe.h>
#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <optional>

#include "core/DateFormat.h"
#include "core/Money.h"
#include "core/QuotedFieldFile.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Names.h"
#include "data/ServerBooks.h"
#include "data/ServerSession.h"
#include "data/Transaction.h"

namespace data {

namespace {

enum class Kind { Text, Amount, Integer, DateTime, Date };

struct Column {
    QString name;
    Kind kind = Kind::Text;
    QString defaultValue;
};

// The books' date fields by what they mean, whatever type a file declares: a movement's time, an
// invoice's day. The invoice line's "Tarih" and the counters' years are texts the books keep.
std::optional<Kind> knownKind(const QString& table, const QString& column) {
    static const QHash<QString, Kind> known = {
        {QStringLiteral("stokhareket.tarih"), Kind::DateTime},
        {QStringLiteral("stokhareket.sattar"), Kind::DateTime},
        {QStringLiteral("carihareket.tarih"), Kind::DateTime},
        {QStringLiteral("faturalar.fattarih"), Kind::Date},
        {QStringLiteral("fathareket.tarih"), Kind::Text},
        {QStringLiteral("tarih.tarih"), Kind::Text},
        {QStringLiteral("mdbindex.tarih"), Kind::Text},
    };
    const auto it = known.constFind(table.toLower() + u'.' + column.toLower());
    if (it == known.constEnd()) return std::nullopt;
    return *it;
}

Kind kindOf(const QString& table, const QString& column, const QString& declared) {
    if (const auto kind = knownKind(table, column)) return *kind;
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("DATETIME")) || t.contains(QLatin1String("TIMESTAMP")))
        return Kind::DateTime;
    if (t.contains(QLatin1String("DATE"))) return Kind::Date;
    if (t.contains(QLatin1String("INT")) || t.contains(QLatin1String("BOOL"))) return Kind::Integer;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUM")) ||
        t.contains(QLatin1String("CURR")) || t.contains(QLatin1String("DEC")))
        return Kind::Amount;
    return Kind::Text;
}

QString typeOf(Kind kind) {
    switch (kind) {
        case Kind::Amount:
            return QStringLiteral("numeric(19,4)");
        case Kind::Integer:
            return QStringLiteral("bigint");
        case Kind::DateTime:
            return QStringLiteral("timestamp(0)");
        case Kind::Date:
            return QStringLiteral("date");
        case Kind::Text:
            break;
    }
    return QStringLiteral("text");
}

// A date field's text as the server takes it, or nothing when it is no date (a time of day in a
// date-only field is not dropped unseen either).
std::optional<QByteArray> serverDate(Kind kind, const QString& text) {
    const auto at = core::readBooksDateTime(text);
    if (!at) return std::nullopt;
    if (kind == Kind::DateTime) return core::storedDateTime(*at).toLatin1();
    if (at->time() != QTime(0, 0)) return std::nullopt;
    return core::storedDate(at->date()).toLatin1();
}

// The books' own names are plain identifiers; anything else is refused, not quoted through.
QString checkedName(const QString& name) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!plain.match(name).hasMatch())
        throw DatabaseError(QStringLiteral("Aktarılamayan ad: %1").arg(name));
    return name.toLower();
}

class SqliteFile {
  public:
    explicit SqliteFile(const QString& path) {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READONLY,
                            nullptr) != SQLITE_OK)
            fail(path);
        m_path = path;
    }
    ~SqliteFile() { sqlite3_close(m_db); }
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    sqlite3_stmt* prepare(const QString& sql) {
        sqlite3_stmt* s = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db, text.constData(), -1, &s, nullptr) != SQLITE_OK) fail(m_path);
        return s;
    }
    [[noreturn]] void fail(const QString& path) const {
        throw DatabaseError(QStringLiteral("Dosya okunamadı: %1 (%2)")
                                .arg(path, QString::fromUtf8(sqlite3_errmsg(m_db))));
    }

  private:
    sqlite3* m_db = nullptr;
    QString m_path;
};

QString text(sqlite3_stmt* s, int i) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
}

// A number field's value as the file keeps it: a number, or a text that reads as one ("12.5").
// Any other text ("12,5", "abc") or bytes give nothing: read as 12 or 0 they would change the
// books without a word.
std::optional<double> numberAt(sqlite3_stmt* s, int i) {
    switch (sqlite3_column_type(s, i)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return sqlite3_column_double(s, i);
        case SQLITE_TEXT: {
            bool ok = false;
            const double value = text(s, i).trimmed().toDouble(&ok);
            if (ok && std::isfinite(value)) return value;
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

// An integer field's value: a whole number, as a number or a text; a fraction is not cut off.
std::optional<qint64> integerAt(sqlite3_stmt* s, int i) {
    switch (sqlite3_column_type(s, i)) {
        case SQLITE_INTEGER:
            return sqlite3_column_int64(s, i);
        case SQLITE_FLOAT: {
            const double value = sqlite3_column_double(s, i);
            if (value == std::trunc(value) && std::abs(value) < 9.2e18)
                return static_cast<qint64>(value);
            return std::nullopt;
        }
        case SQLITE_TEXT: {
            bool ok = false;
            const qint64 value = text(s, i).trimmed().toLongLong(&ok);
            if (ok) return value;
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

// A value as the operator reads it in a message.
QString shownValue(sqlite3_stmt* s, int i) {
    if (sqlite3_column_type(s, i) == SQLITE_BLOB)
        return QStringLiteral("%1 bayt ikili veri").arg(sqlite3_column_bytes(s, i));
    return text(s, i).left(60);
}

void appendEscaped(QByteArray& out, const QByteArray& value) {
    for (char c : value) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
}

void copyRows(ServerSession& server, const QString& table, const QString& source,
              const QStringList& columns, sqlite3_stmt* rows, const QList<Kind>& kinds,
              qint64& count) {
    QByteArray buffer;
    buffer.reserve(1 << 18);
    auto flush = [&] {
        if (PQputCopyData(server.connection(), buffer.constData(),
                          static_cast<int>(buffer.size())) != 1)
            server.fail(table, QString::fromUtf8(PQerrorMessage(server.connection())));
        buffer.clear();
    };
    const auto refuse = [&](QStringView why, int i) {
        throw DatabaseError(
            QStringLiteral("%1: %2, satır %3, alan %4, değer \"%5\"; hiçbir şey yazılmadı.")
                .arg(why)
                .arg(source)
                .arg(sqlite3_column_int64(rows, 0))
                .arg(columns[i], shownValue(rows, i)));
    };
    int step;
    while ((step = sqlite3_step(rows)) == SQLITE_ROW) {
        for (int i = 0; i < kinds.size(); ++i) {
            if (i) buffer += '\t';
            if (sqlite3_column_type(rows, i) == SQLITE_NULL) {
                buffer += "\\N";
            } else if (kinds[i] == Kind::Amount) {
                const auto number = numberAt(rows, i);
                if (!number) refuse(u"Sayı alanında sayı olmayan değer", i);
                // Whatever binary fraction the file holds is taken to four decimals.
                const double value = *number;
                std::optional<core::Money> m;
                try {
                    m = core::Money::fromDouble(value);
                } catch (const core::MoneyOverflow&) {
                }
                if (!m)
                    throw DatabaseError(
                        QStringLiteral("Tutar numeric(19,4) alanına sığmıyor: %1, satır %2, "
                                       "alan %3, değer %4; hiçbir şey yazılmadı.")
                            .arg(source)
                            .arg(sqlite3_column_int64(rows, 0))
                            .arg(columns[i])
                            .arg(QString::number(value, 'g', 17)));
                buffer += m->toString(QLocale::c()).toLatin1();
            } else if (kinds[i] == Kind::Integer) {
                const auto number = integerAt(rows, i);
                if (!number) refuse(u"Tam sayı alanında tam sayı olmayan değer", i);
                buffer += QByteArray::number(*number);
            } else if (kinds[i] == Kind::DateTime || kinds[i] == Kind::Date) {
                const QString value = text(rows, i);
                if (value.trimmed().isEmpty()) {
                    buffer += "\\N";
                    continue;
                }
                const auto date = serverDate(kinds[i], value);
                if (!date)
                    throw DatabaseError(
                        QStringLiteral("Tarih okunamadı: %1, satır %2, alan %3, değer \"%4\"; "
                                       "hiçbir şey yazılmadı.")
                            .arg(source)
                            .arg(sqlite3_column_int64(rows, 0))
                            .arg(columns[i], value));
                buffer += *date;
            } else {
                appendEscaped(
                    buffer, QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(rows, i)),
                                       sqlite3_column_bytes(rows, i)));
            }
        }
        buffer += '\n';
        ++count;
        if (buffer.size() > (1 << 18) - 4096) flush();
    }
    if (!buffer.isEmpty()) flush();
    if (step != SQLITE_DONE)
        throw DatabaseError(
            QStringLiteral("Tablo okunamadı: %1 (%2)")
                .arg(source, QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(rows)))));
}

// One streamed COPY per table: far fewer round trips than a row at a time.
void copyIn(ServerSession& server, const QString& table, const QString& source,
            const QStringList& columns, sqlite3_stmt* rows, const QList<Kind>& kinds,
            qint64& count) {
    const QByteArray sql = QStringLiteral("COPY %1 (%2) FROM STDIN")
                               .arg(table, columns.join(QStringLiteral(", ")))
                               .toUtf8();
    PGresult* r = PQexec(server.connection(), sql.constData());
    const bool ready = PQresultStatus(r) == PGRES_COPY_IN;
    PQclear(r);
    if (!ready) server.fail(table, QString::fromUtf8(PQerrorMessage(server.connection())));
    try {
        copyRows(server, table, source, columns, rows, kinds, count);
    } catch (...) {
        // The server waits in COPY until told: end it, so the transaction can be rolled back.
        PQputCopyEnd(server.connection(), "import stopped");
        finishCopy(server.connection());
        throw;
    }
    if (PQputCopyEnd(server.connection(), nullptr) != 1)
        server.fail(table, QString::fromUtf8(PQerrorMessage(server.connection())));
    const QString why = finishCopy(server.connection());
    if (!why.isEmpty()) server.fail(table, why);
}

// The tables each kind of company file holds, by the ending of its name, its main one first.
struct FileKind {
    QString ending;
    QStringList tables;
};

const QList<FileKind>& fileKinds() {
    namespace n = names;
    static const QList<FileKind> kinds = {
        {QStringLiteral("Cari"), {n::CariKartlar, n::CariHareket}},
        {QStringLiteral("Stok"), {n::StokKartlar, n::StokHareket}},
        {QStringLiteral("Fatura"), {n::Faturalar, n::FatHareket}},
        {QStringLiteral("Index"), {n::Mdbindex, n::Tarih}},
    };
    return kinds;
}

// A company file holds its kind's tables and no other kind's main table: books moved under the
// wrong name would be read as another company file's on the server.
void checkTablesOfItsKind(const QString& path) {
    const QString ending = QFileInfo(path).completeBaseName().mid(2);
    const auto kind = std::find_if(fileKinds().begin(), fileKinds().end(), [&](const FileKind& k) {
        return k.ending.compare(ending, Qt::CaseInsensitive) == 0;
    });
    if (kind == fileKinds().end()) return;  // none of the terminal's: moved as it is
    SqliteFile file(path);
    sqlite3_stmt* list = file.prepare(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
        "ORDER BY name"));
    QStringList held;
    int step;
    while ((step = sqlite3_step(list)) == SQLITE_ROW)
        held << text(list, 0);
    sqlite3_finalize(list);
    if (step != SQLITE_DONE) file.fail(path);
    const auto holds = [&held](const QString& table) {
        return held.contains(table, Qt::CaseInsensitive);
    };
    QStringList missing, foreign;
    for (const QString& table : kind->tables)
        if (!holds(table)) missing << table;
    for (const FileKind& other : fileKinds())
        if (&other != &*kind && holds(other.tables.front()))
            foreign
                << QStringLiteral("%1 bir %2 dosyasının").arg(other.tables.front(), other.ending);
    if (missing.isEmpty() && foreign.isEmpty()) return;
    const QString holding =
        held.isEmpty() ? QStringLiteral("tablo yok") : held.join(QStringLiteral(", "));
    throw DatabaseError(
        missing.isEmpty()
            ? QStringLiteral("Defter dosyası başka bir dosyanın tablosunu tutuyor: %1 (%2 tablosu; "
                             "bu dosyada: %3); hiçbir şey yazılmadı.")
                  .arg(path, foreign.join(QStringLiteral(", ")), holding)
            : QStringLiteral("Defter dosyası beklenen tabloları tutmuyor: %1 (bir %2 dosyasında "
                             "%3 olmalı; bu dosyada: %4); hiçbir şey yazılmadı.")
                  .arg(path, kind->ending, kind->tables.join(QStringLiteral(", ")), holding));
}

// The file's indexes serve the same lookups on the server.
void copyIndexes(ServerSession& server, SqliteFile& file, const QString& tableName,
                 const QString& table) {
    sqlite3_stmt* indexes = file.prepare(
        QStringLiteral("SELECT il.name FROM pragma_index_list('%1') il WHERE il.origin='c'")
            .arg(checkedName(tableName)));
    while (sqlite3_step(indexes) == SQLITE_ROW) {
        const QString index = text(indexes, 0);
        sqlite3_stmt* cols =
            file.prepare(QStringLiteral("SELECT name FROM pragma_index_info('%1') ORDER BY seqno")
                             .arg(QString(index).replace(u'\'', QStringLiteral("''"))));
        QStringList on;
        while (sqlite3_step(cols) == SQLITE_ROW)
            if (sqlite3_column_type(cols, 0) != SQLITE_NULL) on << checkedName(text(cols, 0));
        sqlite3_finalize(cols);
        if (!on.isEmpty())
            server.run(
                QStringLiteral("CREATE INDEX ON %1 (%2)").arg(table, on.join(QStringLiteral(", "))),
                {}, table);
    }
    sqlite3_finalize(indexes);
}

// One table of a file: its columns, its rows by COPY, its key's sequence and its indexes.
void importTable(ServerSession& server, SqliteFile& file, const QString& path, const QString& qs,
                 const QString& tableName, ImportCount& count) {
    int step;
    const QString table = qs + u'.' + checkedName(tableName);
    QList<Column> columns;
    sqlite3_stmt* info =
        file.prepare(QStringLiteral("SELECT name, type, dflt_value FROM pragma_table_info('%1')")
                         .arg(checkedName(tableName)));
    while ((step = sqlite3_step(info)) == SQLITE_ROW) {
        Column c{checkedName(text(info, 0)), kindOf(tableName, text(info, 0), text(info, 1)),
                 text(info, 2)};
        if (c.name == QLatin1String("rowid")) continue;
        columns << c;
    }
    sqlite3_finalize(info);
    if (step != SQLITE_DONE) file.fail(path);
    // The row key the terminal's cursors walk by, as the embedded engine's rowid.
    QStringList defs = {
        QStringLiteral("rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")};
    QStringList list = {QStringLiteral("rowid")};
    QStringList select = {QStringLiteral("rowid")};
    QList<Kind> kinds = {Kind::Integer};
    for (const Column& c : columns) {
        QString def = c.name + u' ' + typeOf(c.kind);
        if (!c.defaultValue.isEmpty()) def += QStringLiteral(" DEFAULT ") + c.defaultValue;
        defs << def;
        list << c.name;
        select << u'"' + c.name + u'"';
        kinds << c.kind;
    }
    server.run(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, defs.join(QStringLiteral(", "))),
               {}, table);
    sqlite3_stmt* rows = file.prepare(QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid")
                                          .arg(select.join(QStringLiteral(", ")), tableName));
    try {
        copyIn(server, table, QFileInfo(path).fileName() + QStringLiteral(" / ") + tableName, list,
               rows, kinds, count.rows);
    } catch (...) {
        sqlite3_finalize(rows);
        throw;
    }
    sqlite3_finalize(rows);
    server.run(QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'rowid'), "
                              "coalesce(max(rowid), 0) + 1, false) FROM %1")
                   .arg(table),
               {}, table);
    copyIndexes(server, file, tableName, table);
    ++count.tables;
}

void importFile(ServerSession& server, const QString& path, const QString& schema,
                ImportCount& count) {
    SqliteFile file(path);
    const QString qs = quotedSchema(schema);
    server.run(QStringLiteral("CREATE SCHEMA ") + qs);
    sqlite3_stmt* tables = file.prepare(QStringLiteral(
        "SELECT name, sql, type FROM sqlite_master WHERE type IN ('table', 'index') AND sql IS "
        "NOT NULL AND name NOT LIKE 'sqlite_%' ORDER BY type DESC, name"));
    QStringList names;
    int step;
    while ((step = sqlite3_step(tables)) == SQLITE_ROW) {
        const bool table = text(tables, 2) == QLatin1String("table");
        if (table) names << text(tables, 0);
        server.run(QStringLiteral("INSERT INTO %1.tables (schema, name, kind, definition) VALUES "
                                  "(?, ?, ?, ?)")
                       .arg(quotedSchema(QLatin1String(TerminalSchema))),
                   {schema, text(tables, 0).toLower(), text(tables, 2), text(tables, 1)}, schema);
    }
    sqlite3_finalize(tables);
    // A file that cannot be read to its end, or holds no table, is not books to move.
    if (step != SQLITE_DONE) file.fail(path);
    if (names.isEmpty())
        throw DatabaseError(
            QStringLiteral("Dosyada tablo yok: %1; hiçbir şey yazılmadı.").arg(path));
    for (const QString& tableName : names)
        importTable(server, file, path, qs, tableName, count);
    server.run(QStringLiteral("ANALYZE"));
}

// The company files of a data directory, each with the schema it becomes, every one checked.
QList<QPair<QString, QString>> companyFiles(const QDir& dir) {
    static const QRegularExpression companyFile(QStringLiteral("^[0-9]{2}[A-Za-z]+\\.mdb$"),
                                                QRegularExpression::CaseInsensitiveOption);
    QList<QPair<QString, QString>> files;
    // Every entry named as a company file is moved, or the import stops naming it: books left
    // behind unseen would be missing from the server without a word.
    for (const QFileInfo& entry : dir.entryInfoList(
             QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString name = entry.fileName();
        if (!companyFile.match(name).hasMatch()) continue;
        const QString path = entry.filePath();
        const auto refuse = [&path](const QString& why) {
            throw DatabaseError(QStringLiteral("Defter dosyası okunamadı: %1 (%2); hiçbir şey "
                                               "yazılmadı.")
                                    .arg(path, why));
        };
        if (!entry.isFile()) refuse(QStringLiteral("bir dosya değil"));
        switch (databaseKind(path)) {
            case DatabaseKind::SQLite:
                break;
            case DatabaseKind::Access:
                refuse(QStringLiteral("bir Access veritabanı"));
                break;
            default:
                refuse(QStringLiteral("bir veritabanı dosyası değil, %1 bayt").arg(entry.size()));
        }
        checkTablesOfItsKind(path);
        files.append({path, QFileInfo(name).completeBaseName().toLower()});
    }
    return files;
}

// The terminal's own schema: the shared invoice number, the postings' tokens and each table's
// definition.
void makeTerminalSchema(ServerSession& server, const QDir& dir) {
    // The invoice number "file" is one row, locked while an invoice is numbered.
    const auto stored =
        core::QuotedFieldFile::readFirstField(dir.filePath(QStringLiteral("FatNo.txt")));
    const QString s = quotedSchema(QLatin1String(TerminalSchema));
    server.run(QStringLiteral("CREATE SCHEMA ") + s);
    server.run(QStringLiteral("CREATE TABLE %1.fatno (no text NOT NULL)").arg(s));
    // A posting's token, written in its own transaction: a "Tamam" repeated after a lost
    // connection finds its lines already posted instead of posting them twice.
    server.run(QStringLiteral("CREATE TABLE %1.postings (token text PRIMARY KEY, "
                              "number text NOT NULL, posted timestamptz NOT NULL DEFAULT "
                              "now())")
                   .arg(s));
    // Each table's definition as the files wrote it, so a working copy made from the server
    // is the same file as one copied from the share (names in their own case and types).
    server.run(QStringLiteral("CREATE TABLE %1.tables (schema text, name text, kind text, "
                              "definition text, PRIMARY KEY (schema, name))")
                   .arg(s));
    server.run(QStringLiteral("INSERT INTO %1.fatno (no) VALUES (?)").arg(s),
               {stored && !stored->isNull() ? *stored : QStringLiteral("")});
}

}  // namespace

ImportCount importBooks(const QString& dataDirectory, const QString& serverUrl,
                        const std::function<void(const QString&)>& progress) {
    const auto address = parseServerPath(serverUrl);
    if (!address || !address->file.isEmpty())
        throw DatabaseError(
            QStringLiteral("Sunucu adresi anlaşılamadı: %1 (beklenen: postgresql://SUNUCU[:PORT]/"
                           "VERİTABANI)")
                .arg(serverUrl));
    const QDir dir(dataDirectory);
    if (!dir.exists())
        throw DatabaseError(QStringLiteral("Klasör bulunamadı: %1").arg(dataDirectory));
    const QList<QPair<QString, QString>> files = companyFiles(dir);
    if (files.isEmpty())
        throw DatabaseError(QStringLiteral("Klasörde defter yok: %1").arg(dataDirectory));

    ServerSession server(*address);
    // A tool run once, not the operator's screen: its statements (a large table's COPY, its
    // indexes) may take as long as they need, and it waits its turn behind other sessions.
    server.run(QStringLiteral("SET statement_timeout = 0"));
    server.run(QStringLiteral("SET lock_timeout = 0"));
    Transaction transaction(server);
    QStringList present;
    QSqlQuery existing = server.run(QStringLiteral("SELECT nspname FROM pg_namespace"));
    QStringList schemas;
    while (existing.next())
        schemas << existing.value(0).toString();
    existing.finish();
    for (const auto& f : files)
        if (schemas.contains(f.second)) present << f.second;
    if (schemas.contains(QLatin1String(TerminalSchema))) present << TerminalSchema;
    if (!present.isEmpty()) {
        throw DatabaseError(QStringLiteral("%1 zaten defter tutuyor (%2); hiçbir şey yazılmadı.")
                                .arg(address->serverText(), present.join(QStringLiteral(", "))));
    }
    ImportCount count;
    makeTerminalSchema(server, dir);
    for (const auto& [path, schema] : files) {
        if (progress) progress(path);
        importFile(server, path, schema, count);
        ++count.files;
    }
    transaction.commit();
    return count;
}

}  // namespace data
