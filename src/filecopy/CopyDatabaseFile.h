#pragma once

#include <QString>
#include <functional>

namespace core {
class Messages;
}

namespace filecopy {

struct CopyResult {
    bool ok = false;
    qint32 errCode = 0;
    QString errMsg;
    /// For the operator, on failure: what went wrong and with which file ("Disk dolu: …").
    QString cause;
};

/// The operator's words for a copier's error code: what went wrong, with `file` (the source when
/// it is missing). Turkish for every code; the copier's own English text never reaches the screen.
QString copyFailureCause(qint32 errCode, const QString& file, const QString& source);

/// Makes `target` (a working copy) afresh as a copy of one database file, through clsFileCopy in
/// 4096-byte blocks. The old target goes first with its journal and other leftovers (see
/// removeDatabaseFile), so nothing of an earlier run is played back into the new copy; a copy that
/// fails half-way is deleted rather than left to be opened as a damaged file. When the source is a
/// database the engine knows, the copy is made while holding the engine's read lock, so a writer
/// on another terminal cannot change the file half-way through and the copy is always consistent.
CopyResult copyDatabaseFile(const QString& source, const QString& target, core::Messages* messages,
                            const std::function<void(int percent)>& progress = {},
                            const std::function<void(bool)>& busyPointer = {});

}  // namespace filecopy
