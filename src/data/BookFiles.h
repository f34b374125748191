#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace data {

class Database;

/// Holds a read transaction on a books file while its blocks are copied, so the copy is one state
/// of it: no writer can commit in between. Not held (and the plain copy still runs) when the file
/// is no database of the embedded engine, or its connection is inside a transaction already.
class ReadSnapshot {
  public:
    explicit ReadSnapshot(const QString& path);
    ~ReadSnapshot();
    ReadSnapshot(const ReadSnapshot&) = delete;
    ReadSnapshot& operator=(const ReadSnapshot&) = delete;

  private:
    void end();
    std::shared_ptr<Database> m_db;
    bool m_active = false;
};

/// Opens a database file and reads it once: the engine rolls back a hot journal left beside it by
/// a crash. Errors are swallowed (the journal then stays hot for the next reader).
void readOnce(const QString& path);

/// Brings a working file of books held by a server up to date (in one streamed read of the
/// cards, or of those changed since it was last read) and returns true; returns false, copying
/// nothing, when `source` is a file (it is copied block by block instead). Throws DatabaseError
/// when the server's copy fails.
bool copyFromServer(const QString& source, const QString& target,
                    const std::function<void(int)>& progress);

}  // namespace data
