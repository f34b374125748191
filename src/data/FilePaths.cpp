#include "data/FilePaths.h"

#include <QDir>
#include <QFileInfo>

namespace data {

QString toLocalPath(const QString& path) {
#ifdef Q_OS_WIN
    return path;
#else
    QString p = path;
    p.replace(u'\\', u'/');
    return p;
#endif
}

QString resolvePath(const QString& path) {
    const QString local = toLocalPath(path);
    if (local.isEmpty() || QFileInfo::exists(local)) return local;

    const bool absolute = local.startsWith(u'/');
    const QStringList parts = local.split(u'/', Qt::KeepEmptyParts);
    QString current = absolute ? QStringLiteral("/") : QString();
    qsizetype first = 0;
    // Keep the leading empty parts of "/x" and "//server/share" as they are.
    while (first < parts.size() && parts[first].isEmpty()) {
        if (first > 0) current += u'/';
        ++first;
    }
    bool found = true;
    for (qsizetype i = first; i < parts.size(); ++i) {
        const QString& part = parts[i];
        const QString base = current.isEmpty() ? QStringLiteral(".") : current;
        QString name = part;
        if (found && !part.isEmpty() && part != u'.' && part != QStringLiteral("..") &&
            !QFileInfo::exists(QDir(base).filePath(part))) {
            found = false;
            const QStringList entries = QDir(base).entryList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot);
            for (const QString& entry : entries) {
                if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                    name = entry;
                    found = true;
                    break;
                }
            }
        }
        if (!current.isEmpty() && !current.endsWith(u'/')) current += u'/';
        current += name;
    }
    return current;
}

QString folderOf(const QString& path) {
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

}  // namespace data
