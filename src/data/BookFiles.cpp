#include "data/BookFiles.h"

#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/ServerBooks.h"
#include "data/WorkingFile.h"

namespace data {

ReadSnapshot::ReadSnapshot(const QString& path) {
    if (databaseKind(resolvePath(path)) != DatabaseKind::SQLite) return;
    try {
        m_db = Database::open(path);
        if (m_db->inTransaction()) {
            m_db.reset();
            return;
        }
        m_db->query(QStringLiteral("BEGIN"));
        m_db->query(QStringLiteral("SELECT count(*) FROM sqlite_master")).finish();
        m_active = true;
    } catch (const DatabaseError&) {
        // Without the lock the plain block copy still runs and reports its own errors.
        end();
    }
}

ReadSnapshot::~ReadSnapshot() {
    end();
}

void ReadSnapshot::end() {
    if (m_db && m_active) {
        try {
            m_db->query(QStringLiteral("COMMIT"));
        } catch (const DatabaseError&) {
        }
    }
    m_active = false;
    m_db.reset();
}

void readOnce(const QString& path) {
    try {
        auto db = Database::openPrivate(path);
        db->query(QStringLiteral("SELECT count(*) FROM sqlite_master")).finish();
    } catch (const DatabaseError&) {
        // The journal stays, and with it the master journal that keeps it hot for the next reader.
    }
}

bool copyFromServer(const QString& source, const QString& target,
                    const std::function<void(int)>& progress) {
    if (dialectOf(source).booksAreFiles()) return false;
    refreshWorkingFile(source, target, progress);
    return true;
}

}  // namespace data
