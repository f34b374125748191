#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

typedef struct pg_conn PGconn;

namespace data {

struct ServerAddress;

/// A connection of its own to a server for work outside the terminal's statements: a tool's
/// import, a working copy's streamed read. Statements run as they are, or prepared when they
/// take values; a failure is thrown as DatabaseError naming the server.
class ServerSession {
  public:
    explicit ServerSession(const ServerAddress& address);
    ~ServerSession();

    /// `what` names for the operator what the statement is about (a table), never the SQL.
    QSqlQuery run(const QString& sql, const QVariantList& params = {},
                  const QString& what = QString());
    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }
    [[noreturn]] void fail(const QString& what, const QString& why) const;
    PGconn* connection() const { return m_conn; }

  private:
    QString m_server;
    QString m_name;
    QSqlDatabase m_db;
    PGconn* m_conn = nullptr;
    bool m_inTransaction = false;
};

}  // namespace data
