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

namespace {

struct LockOwner {
    qint64 pid = 0;
    QString host;
};

// The process named by a lock file; pid 0 when the file is not one of ours.
LockOwner ownerOf(const QString& path) {
    LockOwner owner;
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly)) return owner;
    const QList<QByteArray> parts = f.read(256).trimmed().split(' ');
    if (parts.size() != 2) return owner;
    bool ok = false;
    const qint64 pid = parts[0].toLongLong(&ok);
    if (!ok || pid <= 0) return owner;
    owner.pid = pid;
    owner.host = QString::fromUtf8(parts[1]);
    return owner;
}

}  // namespace

bool lockOwnedByThisProcess(const QString& path) {
    const LockOwner owner = ownerOf(path);
    return owner.pid == QCoreApplication::applicationPid() &&
           owner.host == QSysInfo::machineHostName();
}

bool lockHeldByLiveProcess(const QString& path) {
    const LockOwner owner = ownerOf(path);
    if (owner.pid == 0 || owner.host != QSysInfo::machineHostName()) return false;
#ifdef Q_OS_UNIX
    return ::kill(static_cast<pid_t>(owner.pid), 0) == 0 || errno == EPERM;
#else
    return owner.pid == QCoreApplication::applicationPid();
#endif
}

}  // namespace core
