#pragma once

#include <QString>

namespace app {

/// Where this terminal runs from: its executable's name, the folder it ships in, the folder it may
/// write (working copy, lock and layout files, the company file), and where its settings live.
struct AppEnvironment {
    QString executableName;  // without folder and extension, e.g. "terminal2"
    QString programFolder;
    QString workFolder;
    QString settingsRoot;  // empty: the platform's own place

    /// Works the environment out from argv[0] and the executable's location. The work folder is the
    /// program folder when that is writable and holds the placeholder database (a build tree, a
    /// folder of its own); installed (the placeholder in the data folder beside `bin`) or
    /// read-only, it is the per-user data folder that every terminal of the user shares.
    static AppEnvironment fromProgram(const QString& argv0, const QString& applicationDirPath);
};

/// The last character of the executable's name read as a number; 1 when it is not a digit or 0.
int terminalNumber(const QString& executableName);

/// Default server path: the head office (01) in the share's data directory.
inline const QString DefaultServerPath = QStringLiteral("\\\\127.0.0.1\\RezoruviZada\\01");

QString workingCopyPath(const AppEnvironment& env, int terminal);
/// "Stok.mdb" beside the executable, or where an installed terminal keeps it
/// (`<prefix>/share/terminal` for `<prefix>/bin`).
QString placeholderPath(const AppEnvironment& env);

/// Deletes the old engine's stale lock files ("*.ldb") in a folder. A lock file that belongs to a
/// running terminal is left alone. Returns the files deleted.
QStringList deleteStaleLockFiles(const QString& folder);

}  // namespace app
