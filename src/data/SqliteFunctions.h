#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace data {

/// Registers on one SQLite connection the text comparison our users expect: trfold(x), the
/// Turkish-aware case fold used by criteria, a LIKE that compares the same way, and trkey(x), the
/// name order key; and cardmark(…), an aggregate fingerprint of its arguments over all rows.
/// These live on the connection only; nothing is written into the database file.
void registerTextFunctions(sqlite3* db);

/// A key whose byte order is Turkish alphabetical order (a b c ç d e f g ğ h ı i j k l m n o ö p r
/// s ş t u ü v y z; q w x at their Latin places), case folded the Turkish way (I ı, İ i); signs
/// and digits come before letters, other characters after them. Made from UTF-8 text.
QByteArray turkishSortKey(const char* utf8, int size);

/// LIKE matching on already folded texts, with % _ and an optional escape character.
bool likeMatch(QStringView pattern, QStringView text, QChar escape = QChar());

}  // namespace data
