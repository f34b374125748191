#pragma once

#include <QString>
#include <functional>

namespace data {

/// A working copy of a company's stock file on a server: a new SQLite file at `target` with the
/// file's tables as the books define them and the stock cards in one streamed read, keys kept.
/// Returns the number of cards copied; throws DatabaseError, leaving no file behind.
qint64 copyToWorkingFile(const QString& serverFile, const QString& target,
                         const std::function<void(int percent)>& progress = {});

/// Brings such a copy up to date: reads only the cards written on the server since the copy was
/// last read (a whole read when there is no copy of these books, or cards were deleted). Returns
/// the number of cards read; throws DatabaseError, leaving no file behind.
qint64 refreshWorkingFile(const QString& serverFile, const QString& target,
                          const std::function<void(int)>& progress = {});

}  // namespace data
