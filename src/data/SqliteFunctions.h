#pragma once

#include <QString>

struct sqlite3;

namespace data {

/// Registers on one SQLite connection the text comparison our users expect: trfold(x), the
/// Turkish-aware case fold used by criteria, and a LIKE that compares the same way. These live on
/// the connection only; nothing is written into the database file.
void registerTextFunctions(sqlite3* db);

/// LIKE matching on already folded texts, with % _ and an optional escape character.
bool likeMatch(QStringView pattern, QStringView text, QChar escape = QChar());

}  // namespace data
