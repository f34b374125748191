#include "data/ServerBooks.h"

#include <libpq-fe.h>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <atomic>

#include "data/DatabaseError.h"
#include "data/Dialect.h"

namespace data {

bool isServerPath(const QString& path) {
    return path.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           path.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

std::pair<QString, QString> splitPathOptions(const QString& path) {
    return dialectOf(path).splitOptions(path);
}

std::pair<QString, QString> splitServerPath(const QString& path) {
    const qsizetype mark = path.indexOf(u'?');
    if (mark < 0) return {path, QString()};
    QString base = path.left(mark);
    QString options = path.mid(mark);
    // Callers append file names to a server path as to a folder prefix: such a name behind the
    // options belongs to the path.
    static const QRegularExpression appended(
        QStringLiteral("(?:[0-9]{2})?(?:Cari|Stok|Fatura|Index)\\.mdb$"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = appended.match(options); m.hasMatch()) {
        base += m.captured(0);
        options.chop(m.capturedLength(0));
    }
    return {base, options};
}

QString bookFile(const QString& path, const QString& name) {
    const auto [base, options] = splitPathOptions(path);
    return base + name + options;
}

std::optional<ServerAddress> parseServerPath(const QString& path) {
    const auto [base, options] = splitServerPath(path);
    const QUrl url(base, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres")))
        return std::nullopt;
    // The path is shown and stored in the settings: a password has no place in it.
    if (url.userInfo().contains(u':'))
        throw DatabaseError(QStringLiteral(
            "Sunucu yolunda parola olamaz; parola PGPASSWORD veya parola dosyasından okunur."));
    const QStringList parts = url.path().split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 2) return std::nullopt;
    ServerAddress a;
    a.host = url.host();
    a.port = url.port(5432);
    a.user = url.userName(QUrl::FullyDecoded);
    a.database = parts[0];
    a.file = parts.size() > 1 ? parts[1] : QString();
    QStringList allowed;
    for (const char* name : ServerOptions)
        allowed << QString::fromLatin1(name);
    for (const QString& item : options.mid(1).split(u'&', Qt::SkipEmptyParts)) {
        const QString key = QUrl::fromPercentEncoding(item.section(u'=', 0, 0).toUtf8());
        if (!allowed.contains(key) || !item.contains(u'='))
            throw DatabaseError(
                QStringLiteral("Sunucu yolundaki seçenek kabul edilmiyor: %1 (kabul edilenler: %2)")
                    .arg(key, allowed.join(QStringLiteral(", "))));
        a.options.append({key, QUrl::fromPercentEncoding(item.section(u'=', 1).toUtf8())});
    }
    return a;
}

ServerLimits& serverLimits() {
    static ServerLimits limits;
    return limits;
}

QString ServerAddress::connectOptions() const {
    // A link that goes silent is noticed within about 25 s (keepalives for an idle connection,
    // tcp_user_timeout for unanswered data) instead of the system's two hours; where something
    // on the way still acknowledges, AnswerWatch ends the wait. Another session's row lock is
    // waited for 500 ms, then reported as busy so the caller can wait under the operator's eye.
    // No statement of ours runs past 25 s, so a live server answers before the watch gives up:
    // the longest, the working copy's read of a million cards, takes about 4 s. The server's
    // side of a link that went silent mid-transaction would hold the books' turn until the
    // server noticed: it ends once idle as long as the terminal's own wait.
    QStringList list = {QStringLiteral("connect_timeout=10"),
                        QStringLiteral("keepalives=1"),
                        QStringLiteral("keepalives_idle=10"),
                        QStringLiteral("keepalives_interval=5"),
                        QStringLiteral("keepalives_count=3"),
                        QStringLiteral("tcp_user_timeout=25000"),
                        QStringLiteral("options='-c lock_timeout=%1 -c statement_timeout=%2 "
                                       "-c idle_in_transaction_session_timeout=%3'")
                            .arg(serverLimits().lockTimeoutMs)
                            .arg(serverLimits().statementTimeoutMs)
                            .arg(std::max(serverLimits().answerTimeoutMs.load(), 30000))};
    // Each option one quoted keyword: nothing in a value can start another.
    for (const auto& [key, value] : options) {
        QString v = value;
        v.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        list << key + QStringLiteral("='") + v + u'\'';
    }
    return list.join(u';');
}

QString ServerAddress::schema() const {
    if (file.isEmpty()) return QString();
    return QFileInfo(file).completeBaseName().toLower();
}

QString ServerAddress::serverText() const {
    return QStringLiteral("%1:%2/%3").arg(host).arg(port).arg(database);
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
        {"lock timeout", "kayıtlar başka bir terminalde kullanımda"},
        {"statement timeout", "sunucu zamanında yanıt vermedi"},
        {"could not serialize", "kayıtlar başka bir terminalde kullanımda"},
        {"deadlock", "kayıtlar başka bir terminalde kullanımda"},
        {"read-only transaction", "kayıtlar salt okunur, yazılamıyor"},
    };
    // The server's first line says what happened; the lines after it repeat the statement, and
    // the driver adds its own words and the error's code.
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s*"));
    static const QRegularExpression driver(QStringLiteral("\\s*(\\([0-9A-Z]{5}\\))?\\s*QPSQL:.*$"));
    const QString first =
        engineText.section(u'\n', 0, 0).simplified().remove(driver).remove(severity).trimmed();
    const bool missing = engineText.contains(QLatin1String("does not exist"));
    if (missing && engineText.contains(QLatin1String("relation")))
        return QStringLiteral("veritabanında beklenen tablo yok — ") + first;
    if (missing && engineText.contains(QLatin1String("column")))
        return QStringLiteral("tabloda beklenen alan yok — ") + first;
    if (engineText.contains(QLatin1String("violates")))
        return QStringLiteral("kayıt, veritabanının kurallarına uymuyor — ") + first;
    for (const auto& [engine, turkish] : causes)
        if (engineText.contains(QLatin1String(engine), Qt::CaseInsensitive))
            return QString::fromUtf8(turkish) +
                   (first.isEmpty() ? QString() : QStringLiteral(" — ") + first);
    return first;
}

QSqlDatabase openServerConnection(const ServerAddress& server, const QString& connectionName) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setDatabaseName(server.database);
    if (!server.user.isEmpty()) db.setUserName(server.user);
    db.setConnectOptions(server.connectOptions());
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
