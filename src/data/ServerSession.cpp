#include "data/ServerSession.h"

#include <libpq-fe.h>
#include <QSqlError>
#include <atomic>

#include "data/DatabaseError.h"
#include "data/ServerBooks.h"

namespace data {

ServerSession::ServerSession(const ServerAddress& a) : m_server(a.serverText()) {
    static std::atomic<int> counter{0};
    m_name = QStringLiteral("import-%1").arg(++counter);
    m_db = openServerConnection(a, m_name);
    m_conn = libpqHandle(m_db);
    if (!m_conn) throw DatabaseError(QStringLiteral("Sunucu sürücüsü beklenmedik"));
}
ServerSession::~ServerSession() {
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlQuery ServerSession::run(const QString& sql, const QVariantList& params, const QString& what) {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // The driver prepares on the server, which takes no BEGIN or CREATE: those run as they are.
    if (params.isEmpty()) {
        if (!q.exec(sql)) fail(what, q.lastError().text());
        return q;
    }
    if (!q.prepare(sql)) fail(what, q.lastError().text());
    for (const QVariant& p : params)
        q.addBindValue(p);
    if (!q.exec()) fail(what, q.lastError().text());
    return q;
}
// The import is one transaction: every company's schema, or none.
void ServerSession::begin() {
    run(QStringLiteral("BEGIN"));
    m_inTransaction = true;
}
void ServerSession::commit() {
    run(QStringLiteral("COMMIT"));
    m_inTransaction = false;
}
void ServerSession::rollback() {
    m_inTransaction = false;
    run(QStringLiteral("ROLLBACK"));
}

void ServerSession::fail(const QString& what, const QString& why) const {
    QString cause = serverCause(why);
    if (cause.isEmpty()) cause = QStringLiteral("sunucu nedenini bildirmedi");
    throw DatabaseError(
        QStringLiteral("Sunucuda çalışılamadı: %1\nSunucu: %2%3")
            .arg(cause, m_server, what.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(what)));
}

}  // namespace data
