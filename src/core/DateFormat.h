#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace core {

/// Formats with a pattern in which "/" and ":" stand for the locale's date and time separators,
/// as the old runtime did ("dd/mm/yyyy HH:MM" gives 06.12.2026 10:30 in Turkish).
QString formatWithSeparators(const QDateTime& at, const QString& pattern,
                             const QLocale& locale = QLocale());

/// The pattern with "/" and ":" replaced by the locale's separators, for formatting many times.
QString patternWithSeparators(const QString& pattern, const QLocale& locale = QLocale());

/// A date-time value as the books store it: ISO text "yyyy-MM-dd HH:mm:ss".
QString storedDateTime(const QDateTime& at);
/// A date without time of day as the books store it: "yyyy-MM-dd".
QString storedDate(const QDate& date);

}  // namespace core
