#pragma once

#include <QString>

namespace data {

/// Translates statements written in the old engine's dialect into SQLite's: the yes/no constants
/// True and False, and Like patterns with * ? # wildcards. Text inside quotes other than a Like
/// pattern is left alone.
QString translateJetSql(const QString& sql);

/// Turns one Jet Like pattern into a SQLite LIKE pattern with '\' as escape character.
QString jetPatternToLike(const QString& pattern);

}  // namespace data
