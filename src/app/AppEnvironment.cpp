#include "app/AppEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

namespace app {

AppEnvironment AppEnvironment::fromProgram(const QString& argv0,
                                           const QString& applicationDirPath) {
    AppEnvironment env;
    // The name as started, not the resolved file: a link "terminal2" is terminal 2.
    const QFileInfo started(argv0);
    env.executableName = started.completeBaseName();
    if (env.executableName.isEmpty()) env.executableName = QStringLiteral("terminal");
    env.programFolder =
        argv0.contains(u'/') || argv0.contains(u'\\') ? started.absolutePath() : applicationDirPath;
    env.workFolder = env.programFolder;
    if (!QFileInfo(env.programFolder).isWritable()) {
        env.workFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(env.workFolder);
    }
    return env;
}

int terminalNumber(const QString& executableName) {
    if (executableName.isEmpty()) return 1;
    const int digit = executableName.back().digitValue();
    return digit >= 1 && digit <= 9 ? digit : 1;
}

QString workingCopyPath(const AppEnvironment& env, int terminal) {
    return QDir(env.workFolder).filePath(QStringLiteral("Temp%1.Mdb").arg(terminal));
}

QString placeholderPath(const AppEnvironment& env) {
    return QDir(env.programFolder).filePath(QStringLiteral("Stok.mdb"));
}

namespace {

// Our own lock files hold "pid host"; the old engine's hold other bytes and are always stale here.
bool heldByRunningProcess(const QString& file) {
    QFile f(file);
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

}  // namespace

QStringList deleteStaleLockFiles(const QString& folder) {
    QStringList deleted;
    const QDir dir(folder);
    const QStringList locks =
        dir.entryList({QStringLiteral("*.ldb")}, QDir::Files | QDir::Hidden | QDir::CaseSensitive);
    // Names differing in case only are the same kind of file on the old system.
    QStringList all = locks;
    for (const QString& name : dir.entryList({QStringLiteral("*.LDB"), QStringLiteral("*.Ldb")},
                                             QDir::Files | QDir::Hidden))
        if (!all.contains(name)) all << name;
    for (const QString& name : all) {
        const QString path = dir.filePath(name);
        if (heldByRunningProcess(path)) continue;
        if (QFile::remove(path)) deleted << name;
    }
    return deleted;
}

bool writeOwnLockFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray text = QByteArray::number(QCoreApplication::applicationPid()) + ' ' +
                            QSysInfo::machineHostName().toUtf8() + '\n';
    return f.write(text) == text.size();
}

}  // namespace app
