#include "app/AppEnvironment.h"

#include "core/LockFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace app {

namespace {

const QString Placeholder = QStringLiteral("Stok.mdb");

QString installedPlaceholder(const QString& programFolder) {
    return QDir::cleanPath(programFolder + u'/' + QStringLiteral(TERMINAL_DATA_FROM_BIN) + u'/' +
                           Placeholder);
}

}  // namespace

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
    // Installed, the program folder is the system's (/usr/bin), writable to root alone.
    const bool installed = !QFileInfo::exists(QDir(env.programFolder).filePath(Placeholder)) &&
                           QFileInfo::exists(installedPlaceholder(env.programFolder));
    if (installed || !QFileInfo(env.programFolder).isWritable()) {
        env.workFolder = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                             .filePath(QStringLiteral("terminal"));
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
    const QString beside = QDir(env.programFolder).filePath(Placeholder);
    const QString installed = installedPlaceholder(env.programFolder);
    return !QFileInfo::exists(beside) && QFileInfo::exists(installed) ? installed : beside;
}

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
        if (core::lockHeldByLiveProcess(path)) continue;
        if (QFile::remove(path)) deleted << name;
    }
    return deleted;
}

}  // namespace app
