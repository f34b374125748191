#include "core/AtomicFile.h"

#include <QSaveFile>

namespace core {

bool writeFileAtomically(const QString& path, const QByteArray& contents, QString* error) {
    QSaveFile file(path);
    // Every write is checked before the commit: QSaveFile gives the file its name even after a
    // failed write, which turned a full disk into an empty or cut "Firma.txt".
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(contents) == contents.size() && file.flush() &&
                         file.error() == QFileDevice::NoError;
    if (written && file.commit()) return true;
    if (error)
        *error = file.error() == QFileDevice::ResourceError ? QStringLiteral("disk dolu")
                                                            : file.errorString();
    file.cancelWriting();
    return false;
}

}  // namespace core
