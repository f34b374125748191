#pragma once

#include <QString>

namespace data {

/// A path as the books name it ("\\server\share\01Stok.Mdb", "C:\x" or "/x") in the form this
/// system's file functions take: backslashes become slashes where the system uses slashes.
QString toLocalPath(const QString& path);

/// Finds an existing file or folder whose name differs only in case, component by component, as on
/// the share where "Stok.Mdb" and "Stok.mdb" are one file. Components that do not exist are kept as
/// written, so the result also serves as a name to create.
QString resolvePath(const QString& path);

/// The folder part of a path, up to and including its last separator (empty when there is none).
QString folderOf(const QString& path);

}  // namespace data
