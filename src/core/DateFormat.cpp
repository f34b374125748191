#include "core/DateFormat.h"

namespace core {

namespace {

// The first character of a locale's short format that is not a letter is its separator.
QChar separatorIn(const QString& format, QChar fallback) {
    for (QChar c : format)
        if (!c.isLetter() && c != u' ') return c;
    return fallback;
}

}  // namespace

QString patternWithSeparators(const QString& pattern, const QLocale& locale) {
    const QChar date = separatorIn(locale.dateFormat(QLocale::ShortFormat), u'/');
    const QChar time = separatorIn(locale.timeFormat(QLocale::ShortFormat), u':');
    QString qtPattern = pattern;
    qtPattern.replace(u'/', date).replace(u':', time);
    return qtPattern;
}

QString formatWithSeparators(const QDateTime& at, const QString& pattern, const QLocale& locale) {
    return at.toString(patternWithSeparators(pattern, locale));
}

QString storedDateTime(const QDateTime& at) {
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString storedDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

}  // namespace core
