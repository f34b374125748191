#include "core/LockFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace core {

bool writeLockFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray text = QByteArray::number(QCoreApplication::applicationPid()) + ' ' +
                            QSysInfo::machineHostName().toUtf8() + '\n';
    return f.write(text) == text.size();
}

bool lockOwnedByThisProcess(const QString& path) {
    if (path.isEmpty()) return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QList<QByteArray> parts = f.read(256).trimmed().split(' ');
    return parts.size() == 2 && parts[0].toLongLong() == QCoreApplication::applicationPid() &&
           QString::fromUtf8(parts[1]) == QSysInfo::machineHostName();
}

bool lockHeldByLiveProcess(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QList<QByteArray> parts = f.read(256).trimmed().split(' ');
    if (parts.size() != 2) return false;
    bool ok = false;
    const qint64 pid = parts[0].toLongLong(&ok);
    if (!ok || pid <= 0) return false;
    if (QString::fromUtf8(parts[1]) != QSysInfo::machineHostName()) return false;
#ifdef Q_OS_UNIX
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#else
    return pid == QCoreApplication::applicationPid();
#endif
}

}  // namespace core
