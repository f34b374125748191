#pragma once

#include <QString>

namespace filecopy {

/// Deletes a database file of the terminal's own (the working copy) together with everything the
/// engine leaves beside it: its "-journal", "-wal" and "-shm" files and the "-mj…" master
/// journals of commits it took part in. A journal left by a crash would otherwise be played back
/// into the next file made under the same name.
///
/// Files of other commits named by a master journal (the books a posting wrote) are recovered
/// from their own journals first, while the master journal still says they must be rolled back;
/// a master journal is only deleted once none of those journals remains, so removing our
/// leftovers never turns half a posting into a committed one.
///
/// Returns false with `error` naming the file when something of ours could not be deleted.
bool removeDatabaseFile(const QString& path, QString* error = nullptr);

}  // namespace filecopy
