#include "modes/WorkingSet.h"

#include <QFile>
#include <QFileInfo>

#include "core/LockFiles.h"
#include "data/Books.h"
#include "data/DatabaseError.h"

namespace modes {

void dropEnteredCards(const QString& workingCopy) {
    if (!QFileInfo::exists(workingCopy)) return;
    data::deleteEnteredCards(workingCopy);
}

void resetWorkingCopy(const QString& workingCopy, bool purchase) {
    data::resetWorkingCopy(workingCopy, purchase);
}

bool workingCopyHeld(const QString& workingCopy) {
    const QString lock = lockFileOf(workingCopy);
    // A lock of our own is left from an earlier binding in this run, not another program's.
    return core::lockHeldByLiveProcess(lock) && !core::lockOwnedByThisProcess(lock);
}

QString lockFileOf(const QString& workingCopy) {
    const QFileInfo info(workingCopy);
    return info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".ldb");
}

}  // namespace modes
