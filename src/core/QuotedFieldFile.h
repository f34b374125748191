#pragma once

#include <QString>
#include <optional>

namespace core {

/// Text files of one quoted value and a line end ("Firma.txt", "FatNo.txt").
namespace QuotedFieldFile {

/// The first field of a file: the text between double quotes, or without quotes the text up to
/// the first comma or line end, leading blanks skipped. Empty when the file is missing or empty;
/// std::nullopt only when it exists but cannot be read.
std::optional<QString> readFirstField(const QString& path);

/// Parses the first field out of file contents (exposed for the readers of other files).
QString firstField(const QString& contents);

/// Writes `"value"` CR LF, replacing the file atomically (temporary file, then rename), so a reader
/// on another terminal never sees half a file. Returns false with `error` set on failure.
bool write(const QString& path, const QString& value, QString* error = nullptr);

}  // namespace QuotedFieldFile

}  // namespace core
