// The PostgreSQL server: the company books are schemas of one database, so one connection and
// one transaction write them all; names the server would fold are quoted.
#include <QRegularExpression>
#include <QSqlQuery>

#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/ServerBooks.h"

namespace data {

namespace {

// Lower case as the embedded engine's fold does it: I is the capital of ı, İ of i. Letters
// outside the Turkish alphabet are left to the server's own lower().
const QString FoldCapitals = QStringLiteral("IİÇĞÖŞÜ");
const QString FoldSmalls = QStringLiteral("ıiçğöşü");

QString foldExpression(const QString& operand) {
    // Compared byte by byte, as the embedded engine compares the folded texts.
    return QStringLiteral("(lower(translate(%1, '%2', '%3')) COLLATE \"C\")")
        .arg(operand, FoldCapitals, FoldSmalls);
}

}  // namespace

QString quotedSchema(const QString& schema) {
    return u'"' + QString(schema).remove(u'"') + u'"';
}

QString toPostgresSql(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 32);
    // Walks the text once so that nothing inside a string literal is touched.
    static const QRegularExpression fold(
        QStringLiteral("trfold\\(\\s*(\"[^\"]*\"|[A-Za-z_][A-Za-z0-9_.]*)\\s*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    // The embedded engine's LIKE folds both sides; here both are folded in the statement.
    static const QRegularExpression like(
        QStringLiteral(
            "(?!NOT\\b)(\"[^\"]*\"|'(?:[^']|'')*'|[A-Za-z_][A-Za-z0-9_.]*)\\s+(NOT\\s+)?LIKE\\s+"
            "('(?:[^']|'')*')(\\s+ESCAPE\\s+'[^']*')?"),
        QRegularExpression::CaseInsensitiveOption);
    // Only statements that have a LIKE at all are looked at for one, word by word.
    const bool mentionsLike = sql.contains(QLatin1String("like"), Qt::CaseInsensitive);
    const auto atWordStart = [&sql](qsizetype i) {
        return i == 0 || !(sql[i - 1].isLetterOrNumber() || sql[i - 1] == u'_');
    };
    const auto matchAt = [&sql](const QRegularExpression& re, qsizetype i) {
        return re.match(sql, i, QRegularExpression::NormalMatch,
                        QRegularExpression::AnchorAtOffsetMatchOption);
    };
    // A quoted name is lowered as every quoted name; a literal or a bare name stays as it is.
    const auto folded = [](QString operand) {
        return foldExpression(operand.startsWith(u'"') ? operand.toLower() : operand);
    };
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql[i];
        if (mentionsLike && (c == u'\'' || c == u'"' || c.isLetter() || c == u'_') &&
            atWordStart(i)) {
            if (const auto m = matchAt(like, i); m.hasMatch()) {
                out += folded(m.captured(1)) + u' ' + m.captured(2) + QStringLiteral("LIKE ") +
                       folded(m.captured(3)) + m.captured(4);
                i += m.capturedLength(0);
                continue;
            }
        }
        if (c == u'\'') {
            const qsizetype end = sql.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? sql.size() : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == u'"') {
            const qsizetype end = sql.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? sql.size() : end + 1;
            out += sql.mid(i, stop - i).toLower();
            i = stop;
        } else if (const auto m = (c == u't' || c == u'T') && atWordStart(i)
                                      ? matchAt(fold, i)
                                      : QRegularExpressionMatch();
                   m.hasMatch()) {
            out += folded(m.captured(1));
            i += m.capturedLength(0);
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

namespace {

class PostgresDialect final : public Dialect {
  public:
    QString statement(const QString& sql) const override { return toPostgresSql(sql); }
    QString qualifier(const QString& alias, const QString& path) const override {
        const auto server = parseServerPath(path);
        return server ? quotedSchema(server->schema()) : alias;
    }
    QString rowLock() const override { return QStringLiteral(" FOR UPDATE"); }
    QString startsWithDigit(const QString& column, const QString& prefix) const override {
        return QStringLiteral("%1 ~ '^%2[0-9]'").arg(column, prefix);
    }
    // The server plans its own order; it has no such hint.
    QString unindexedOrder(const QString& column) const override { return column; }
    // The server's recordsets keep the server's order.
    QString turkishOrder(const QString& column) const override { return column; }
    QStringList companyBooks(Database& db, const QString& kind) const override {
        QSqlQuery q = db.query(
            QStringLiteral("SELECT nspname FROM pg_namespace WHERE nspname ~ ? ORDER BY 1"),
            {QStringLiteral("^[0-9][0-9]%1$").arg(QRegularExpression::escape(kind.toLower()))});
        QStringList names;
        while (q.next())
            names << quotedSchema(q.value(0).toString());
        q.finish();
        return names;
    }
    // The key column draws from its own sequence.
    qint64 lastKey(Database& db) const override {
        QSqlQuery last = db.query(QStringLiteral("SELECT lastval()"));
        const qint64 key = last.next() ? last.value(0).toLongLong() : 0;
        last.finish();
        return key;
    }
    // A server does not say whether another terminal wrote since.
    std::optional<qint64> dataVersion(Database&) const override { return std::nullopt; }
    bool hasTable(Database& db, const QString& table) const override {
        QSqlQuery q = db.query(QStringLiteral("SELECT 1 FROM information_schema.tables WHERE "
                                              "table_schema = ? AND table_name = ?"),
                               {db.schema(), table.toLower()});
        const bool found = q.next();
        q.finish();
        return found;
    }

    Joined join(const QString& workingCopy,
                std::vector<std::pair<QString, QString>>& files) const override {
        Joined joined{Database::openPrivate(files.front().second),
                      Database::openPrivate(workingCopy)};
        // Every schema named must be there: a missing company is refused as a missing file is.
        for (const auto& [alias, path] : files)
            if (const auto server = parseServerPath(path);
                !server || !hasSchema(*joined.books, server->schema()))
                throw DatabaseError(QStringLiteral("Veritabanı bulunamadı: %1").arg(path));
        return joined;
    }

    static bool hasSchema(Database& db, const QString& schema) {
        QSqlQuery found =
            db.query(QStringLiteral("SELECT 1 FROM pg_namespace WHERE nspname = ?"), {schema});
        const bool there = found.next();
        found.finish();
        return there;
    }

    // A server keeps the invoice number and the journal in tables of its own.
    bool invoiceNumberInBooks() const override { return true; }
    bool journalBesideBooks() const override { return false; }
};

}  // namespace

const Dialect& postgresDialect() {
    static const PostgresDialect dialect;
    return dialect;
}

const Dialect& dialectOf(const QString& path) {
    return isServerPath(path) ? postgresDialect() : sqliteDialect();
}

}  // namespace data
