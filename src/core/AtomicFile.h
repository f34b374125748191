#pragma once

#include <QByteArray>
#include <QString>

namespace core {

/// Replaces a file's contents in one step: the bytes are written to a temporary file beside it,
/// reach the disk, and only then take the file's name. When anything fails (a full disk) the old
/// file stays as it was, no empty or partial file is left, and `error` says why
/// ("disk dolu" for a full disk); the caller names the file.
bool writeFileAtomically(const QString& path, const QByteArray& contents, QString* error = nullptr);

}  // namespace core
