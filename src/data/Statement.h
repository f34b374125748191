#pragma once

#include <QString>
#include <QVariant>
#include <memory>

namespace data {

class Database;

/// How one engine binds and runs a prepared write; its dialect makes it (Dialect::prepareWrite).
class PreparedWrite {
  public:
    virtual ~PreparedWrite() = default;
    virtual void bind(int index, const QVariant& value) = 0;  // 1-based
    virtual void run() = 0;
};

/// A statement prepared once and run many times with new values, straight on the engine: for
/// loops that write thousands of rows (postings, invoices). It must not outlive its database.
class Statement {
  public:
    Statement(Database& db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, const QVariant& value) {  // 1-based
        m_write->bind(index, value);
        return *this;
    }
    /// Runs the statement (a write) and makes it ready for the next values.
    void run() { m_write->run(); }

  private:
    std::unique_ptr<PreparedWrite> m_write;
};

}  // namespace data
