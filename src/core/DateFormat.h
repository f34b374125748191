#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace core {

/// The pattern with "/" and ":" replaced by the locale's separators ("dd/MM/yyyy HH:mm" gives
/// 06.12.2026 10:30 in Turkish), as the old runtime formatted the texts the books keep as text.
QString patternWithSeparators(const QString& pattern, const QLocale& locale = QLocale());

/// A date-time value as the books store it: ISO text "yyyy-MM-dd HH:mm:ss", which SQLite's date
/// functions read and the server takes for a timestamp.
QString storedDateTime(const QDateTime& at);
/// The same to the minute: "yyyy-MM-dd HH:mm:00".
QString storedMinute(const QDateTime& at);
/// A date without time of day as the books store it: "yyyy-MM-dd".
QString storedDate(const QDate& date);

/// A date-time text found in books: the ISO forms ("yyyy-MM-dd", with " HH:mm", ":ss", a "T" or
/// fractions of a second) and the day-first texts the old program wrote ("dd.MM.yyyy HH:mm",
/// "dd/MM/yyyy HH:mm", with or without seconds or time). Nothing else: no guessing of the order.
std::optional<QDateTime> readBooksDateTime(const QString& text);

}  // namespace core
