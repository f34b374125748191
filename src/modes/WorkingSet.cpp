#include "modes/WorkingSet.h"

#include <QFile>
#include <QFileInfo>

#include "core/LockFiles.h"
#include "data/Database.h"
#include "data/DatabaseError.h"

namespace modes {

void dropEnteredCards(const QString& workingCopy) {
    if (!QFileInfo::exists(workingCopy)) return;
    data::Database::open(workingCopy)
        ->execute(QStringLiteral("Delete FROM StokKartlar WHERE KalanB<>0"));
}

void resetWorkingCopy(const QString& workingCopy, bool purchase) {
    auto db = data::Database::open(workingCopy, data::Database::Durability::Scratch);
    // The four resets are one statement: every right-hand side sees the card as it was, which is
    // what running them one after another gives, in a single pass over a large copy.
    db->begin();
    try {
        db->execute(QStringLiteral("UPDATE StokKartlar Set KalanA=KalanB, KalanB=0, GirenTutar=0, "
                                   "Kar=0, Fiyat2=%1")
                        .arg(purchase ? QStringLiteral("gFiyat") : QStringLiteral("Fiyat")));
        db->execute(QStringLiteral("Delete FROM StokHareket"));
        // The working copy is ours: this index finds the few entered cards among many without
        // reading them all, for the totals and the posting.
        db->execute(
            QStringLiteral("CREATE INDEX IF NOT EXISTS Terminal_Entered ON StokKartlar(StokKod) "
                           "WHERE KalanB<>0 OR GirenTutar<>0"));
        db->commit();
    } catch (...) {
        db->rollback();
        throw;
    }
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
