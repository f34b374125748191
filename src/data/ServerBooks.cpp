#include "data/ServerBooks.h"

#include <libpq-fe.h>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>

#include "data/DatabaseError.h"

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

bool isServerPath(const QString& path) {
    return path.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           path.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

std::optional<ServerAddress> parseServerPath(const QString& path) {
    if (!isServerPath(path)) return std::nullopt;
    const QUrl url(path, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty()) return std::nullopt;
    const QStringList parts = url.path().split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 2) return std::nullopt;
    ServerAddress a;
    a.host = url.host();
    a.port = url.port(5432);
    a.database = parts[0];
    a.file = parts.size() > 1 ? parts[1] : QString();
    QStringList options;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        options << key + u'=' + value;
    a.options = options.join(u';');
    return a;
}

QString ServerAddress::schema() const {
    if (file.isEmpty()) return QString();
    return QFileInfo(file).completeBaseName().toLower();
}

QString ServerAddress::serverText() const {
    return QStringLiteral("%1:%2/%3").arg(host).arg(port).arg(database);
}

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

QString serverCause(const QString& engineText) {
    static const std::pair<const char*, const char*> causes[] = {
        {"could not connect", "sunucuya ulaşılamıyor"},
        {"Connection refused", "sunucu bağlantıyı kabul etmiyor"},
        {"could not translate host", "sunucu adı bulunamadı"},
        {"timeout expired", "sunucu yanıt vermedi"},
        {"password authentication failed", "kullanıcı adı veya parola yanlış"},
        {"no password supplied", "parola verilmedi (PGPASSWORD veya parola dosyası)"},
        {"does not exist", "veritabanı veya kullanıcı sunucuda yok"},
        {"SSL", "güvenli bağlantı kurulamadı"},
        {"server closed the connection", "sunucu bağlantıyı kesti"},
        {"terminating connection", "sunucu bağlantıyı kesti"},
        {"no connection to the server", "sunucu bağlantısı yok"},
        {"shutting down", "sunucu kapanıyor"},
        {"starting up", "sunucu açılıyor, biraz sonra yeniden deneyin"},
        {"could not serialize", "kayıtlar başka bir terminalde kullanımda"},
        {"deadlock", "kayıtlar başka bir terminalde kullanımda"},
        {"read-only transaction", "kayıtlar salt okunur, yazılamıyor"},
    };
    const bool missing = engineText.contains(QLatin1String("does not exist"));
    if (missing && engineText.contains(QLatin1String("relation")))
        return QStringLiteral("veritabanında beklenen tablo yok — ") + engineText.simplified();
    if (missing && engineText.contains(QLatin1String("column")))
        return QStringLiteral("tabloda beklenen alan yok — ") + engineText.simplified();
    if (engineText.contains(QLatin1String("violates")))
        return QStringLiteral("kayıt, veritabanının kurallarına uymuyor — ") +
               engineText.simplified();
    // The server's first line says what happened; the rest repeats the statement it cut.
    for (const auto& [engine, turkish] : causes)
        if (engineText.contains(QLatin1String(engine), Qt::CaseInsensitive))
            return QString::fromUtf8(turkish) + QStringLiteral(" — ") +
                   engineText.section(u'\n', 0, 0).simplified();
    return engineText.simplified();
}

QSqlDatabase openServerConnection(const ServerAddress& server, const QString& connectionName) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setDatabaseName(server.database);
    // Fail soon on an unreachable server rather than hang the operator's screen.
    db.setConnectOptions(QStringLiteral("connect_timeout=10") +
                         (server.options.isEmpty() ? QString() : u';' + server.options));
    if (!db.open()) {
        const QString text = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw DatabaseError(QStringLiteral("Sunucuya bağlanılamadı: %1 (%2)")
                                .arg(server.serverText(), serverCause(text)));
    }
    return db;
}

PGconn* libpqHandle(const QSqlDatabase& db) {
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() ||
        (qstrcmp(h.typeName(), "PGconn*") != 0 && qstrcmp(h.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(h.constData());
}

QString finishCopy(PGconn* conn) {
    PGresult* end = PQgetResult(conn);
    const bool ok = PQresultStatus(end) == PGRES_COMMAND_OK;
    const QString why = ok ? QString() : QString::fromUtf8(PQresultErrorMessage(end));
    PQclear(end);
    while (PGresult* more = PQgetResult(conn))
        PQclear(more);
    return why;
}

}  // namespace data
