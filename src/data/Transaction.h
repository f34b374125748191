#pragma once

namespace data {

/// One transaction of a connection (a Database, or the importer's own server connection): begun
/// when made, committed only when asked, rolled back when it goes out of scope uncommitted (an
/// error on its way, or nothing worth writing).
template <class Connection>
class Transaction {
  public:
    explicit Transaction(Connection& db) : m_db(db) { m_db.begin(); }
    ~Transaction() {
        if (!open()) return;
        try {
            m_db.rollback();
        } catch (...) {
            // The error already on its way is the one the operator reads; a rollback that fails
            // leaves the engine to roll back when the connection closes.
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit() {
        m_db.commit();  // a commit that fails is still rolled back by the destructor
        m_done = true;
    }
    /// True between the start and the commit.
    bool open() const { return !m_done && m_db.inTransaction(); }

  private:
    Connection& m_db;
    bool m_done = false;
};

}  // namespace data
