#pragma once

#include <QString>

namespace core {

/// Lock files that mark a file as held by a running terminal. They hold "pid host"; anything else
/// (the old engine's lock files, a crashed terminal's) counts as stale.
bool writeLockFile(const QString& path);
bool lockHeldByLiveProcess(const QString& path);
/// True when the lock file names this very process.
bool lockOwnedByThisProcess(const QString& path);

}  // namespace core
