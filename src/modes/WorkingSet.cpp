#include "modes/WorkingSet.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/LockFiles.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "filecopy/CopyDatabaseFile.h"

namespace modes {

std::shared_ptr<data::Database> openBasket(const QString& basket, const QString& source,
                                           data::basket::View view) {
    QString cards = source;
    if (!data::cardsReadInPlace(source)) {
        cards = basket + QStringLiteral("-cards.db");
        const filecopy::CopyResult copied = filecopy::copyDatabaseFile(source, cards, nullptr);
        if (!copied.ok)
            throw data::DatabaseError(copied.cause.isEmpty() ? copied.errMsg : copied.cause);
    }
    auto db = data::basket::open(basket, cards, view,
                                 orderFileOf(QFileInfo(basket).absolutePath(), cards));
    data::basket::start(*db, {});
    return db;
}

QString orderFileOf(const QString& folder, const QString& cards) {
    const QByteArray digest =
        QCryptographicHash::hash(data::resolvePath(cards).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(10);
    return QDir(folder).filePath(QStringLiteral("Order-%1.db").arg(QString::fromLatin1(digest)));
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
