#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>

namespace app {

SingleInstance::SingleInstance(const QString& executablePath, const QString& lockFolder) {
    const QByteArray hash =
        QCryptographicHash::hash(executablePath.toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    const QString folder = lockFolder.isEmpty() ? QDir::tempPath() : lockFolder;
    m_lock = std::make_unique<QLockFile>(
        QDir(folder).filePath(QStringLiteral("terminal-%1.lock").arg(QString::fromLatin1(hash))));
    // A lock left by a crash is recognised by its dead process, never by age.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::acquire() {
    return m_lock->tryLock(0);
}

}  // namespace app
