#pragma once

#include <QString>
#include <QVariant>

struct sqlite3_stmt;
class QSqlQuery;

namespace data {

class Database;

/// A statement prepared once and run many times with new values, straight on the engine: for
/// loops that write thousands of rows (postings, invoices). It must not outlive its database.
/// On a server it is the connection's prepared query.
class Statement {
  public:
    Statement(Database& db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const QVariant& value);  // 1-based
    /// Runs the statement (a write) and makes it ready for the next values.
    void run();

  private:
    Database& m_db;
    sqlite3_stmt* m_stmt = nullptr;
    QSqlQuery* m_query = nullptr;  // on a server: the connection's prepared query
    QString m_sql;
};

}  // namespace data
