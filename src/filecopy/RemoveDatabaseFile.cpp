#include "filecopy/RemoveDatabaseFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <memory>

#include "data/BookFiles.h"

namespace filecopy {

namespace {

const QString JournalSuffix = QStringLiteral("-journal");

// A master journal holds the journal names of every file of its commit, each ending in a zero.
QStringList journalsNamedBy(const QString& master) {
    QFile file(master);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList names;
    for (const QByteArray& name : file.read(1024 * 1024).split('\0'))
        if (!name.isEmpty()) names << QFile::decodeName(name);
    return names;
}

bool remove(const QString& file, QString* error) {
    if (!QFileInfo::exists(file) || QFile::remove(file)) return true;
    if (error) *error = QStringLiteral("%1 silinemedi").arg(file);
    return false;
}

}  // namespace

bool removeDatabaseFile(const QString& path, QString* error) {
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    const QString own = info.absoluteFilePath();
    bool ok = true;
    for (const QString& suffix :
         {QString(), JournalSuffix, QStringLiteral("-wal"), QStringLiteral("-shm")})
        ok = remove(own + suffix, ok ? error : nullptr) && ok;

    const QStringList masters =
        folder.entryList({info.fileName() + QStringLiteral("-mj*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : masters) {
        const QString master = folder.filePath(name);
        bool settled = true;
        for (const QString& journal : journalsNamedBy(master)) {
            if (journal == own + JournalSuffix || !QFileInfo::exists(journal)) continue;
            // Reading a file whose journal is hot makes the engine roll it back.
            if (journal.endsWith(JournalSuffix))
                data::readOnce(journal.chopped(JournalSuffix.size()));
            // Still there: leave the master journal, so the books are rolled back when next read.
            if (QFileInfo::exists(journal)) settled = false;
        }
        if (settled) ok = remove(master, ok ? error : nullptr) && ok;
    }
    return ok;
}

}  // namespace filecopy
