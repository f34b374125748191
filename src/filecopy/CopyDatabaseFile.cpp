#include "filecopy/CopyDatabaseFile.h"

#include <memory>

#include "data/BookImport.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/FilePaths.h"
#include "data/ServerBooks.h"
#include "filecopy/RemoveDatabaseFile.h"
#include "filecopy/clsFileCopy.h"

namespace filecopy {

namespace {

// Holds a read transaction on the source for the duration of the copy. The copier's own handle of
// the file is closed only after the last block was read, so the engine's lock is never dropped
// early (on POSIX, closing any handle of a file releases the process's locks on it).
class ReadLock {
  public:
    explicit ReadLock(const QString& path) {
        if (data::databaseKind(data::resolvePath(path)) != data::DatabaseKind::SQLite) return;
        try {
            m_db = data::Database::open(path);
            if (m_db->inTransaction()) {
                m_db.reset();
                return;
            }
            m_db->query(QStringLiteral("BEGIN"));
            m_db->query(QStringLiteral("SELECT count(*) FROM sqlite_master")).finish();
            m_active = true;
        } catch (const data::DatabaseError&) {
            // Without the lock the plain block copy still runs and reports its own errors.
            end();
        }
    }
    ~ReadLock() { end(); }

  private:
    void end() {
        if (m_db && m_active) {
            try {
                m_db->query(QStringLiteral("COMMIT"));
            } catch (const data::DatabaseError&) {
            }
        }
        m_active = false;
        m_db.reset();
    }
    std::shared_ptr<data::Database> m_db;
    bool m_active = false;
};

// The operator's words for a failed copy: what and where.
QString causeOf(const clsFileCopy& copier, const CopyResult& r, const QString& source,
                const QString& target) {
    const QString file = copier.FailedFile().isEmpty() ? target : copier.FailedFile();
    switch (r.errCode) {
        case clsFileCopy::SourceMissing:
            return QStringLiteral("Kaynak dosya bulunamadı: %1").arg(source);
        case 61:
            return QStringLiteral("Disk dolu: %1 yazılamadı").arg(file);
        case 70:
            return QStringLiteral("Erişim izni yok: %1").arg(file);
        case 76:
            return QStringLiteral("Klasör bulunamadı: %1").arg(file);
        default:
            return QStringLiteral("%1: %2 (%3)").arg(file, r.errMsg).arg(r.errCode);
    }
}

}  // namespace

CopyResult copyDatabaseFile(const QString& source, const QString& target, core::Messages* messages,
                            const std::function<void(int)>& progress,
                            const std::function<void(bool)>& busyPointer) {
    CopyResult result;
    if (!removeDatabaseFile(target, &result.cause)) return result;
    if (data::isServerPath(source)) {
        // Books on a server: the stock cards come in one streamed read, not as a file's blocks.
        if (busyPointer) busyPointer(true);
        try {
            data::copyToWorkingFile(source, target, progress);
            result.ok = true;
        } catch (const data::DatabaseError& e) {
            result.errMsg = e.text();
            result.cause = e.text();
        }
        if (busyPointer) busyPointer(false);
        return result;
    }
    clsFileCopy copier(messages);
    copier.setSourceFile(source);
    copier.setTargetFile(target);
    copier.setByteSize(4096);
    copier.setBusyPointer(busyPointer);
    if (progress) {
        QObject::connect(&copier, &clsFileCopy::Progress,
                         [&progress](qint16 value, double) { progress(value); });
    }
    {
        ReadLock lock(source);
        result.ok = copier.CopyFile(result.errCode, result.errMsg);
    }
    if (!result.ok) {
        result.cause = causeOf(copier, result, source, target);
        removeDatabaseFile(target);
    }
    return result;
}

}  // namespace filecopy
