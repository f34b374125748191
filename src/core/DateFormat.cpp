#include "core/DateFormat.h"

#include <QRegularExpression>

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

QString storedDateTime(const QDateTime& at) {
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString storedMinute(const QDateTime& at) {
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm:00"));
}

QString storedDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

std::optional<QDateTime> readBooksDateTime(const QString& text) {
    // Year first with dashes, or day first with one of the old separators used throughout.
    static const QRegularExpression iso(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2})(?::(\d{2})(?:\.\d{1,9})?)?)?$)"));
    static const QRegularExpression dayFirst(QStringLiteral(
        R"(^(\d{1,2})([./-])(\d{1,2})\2(\d{4})(?: (\d{1,2})[:.](\d{2})(?:[:.](\d{2}))?)?$)"));
    const QString t = text.trimmed();
    int y, mo, d, h = 0, mi = 0, s = 0;
    if (const auto m = iso.match(t); m.hasMatch()) {
        y = m.captured(1).toInt(), mo = m.captured(2).toInt(), d = m.captured(3).toInt();
        h = m.captured(4).toInt(), mi = m.captured(5).toInt(), s = m.captured(6).toInt();
    } else if (const auto m2 = dayFirst.match(t); m2.hasMatch()) {
        d = m2.captured(1).toInt(), mo = m2.captured(3).toInt(), y = m2.captured(4).toInt();
        h = m2.captured(5).toInt(), mi = m2.captured(6).toInt(), s = m2.captured(7).toInt();
    } else {
        return std::nullopt;
    }
    const QDate date(y, mo, d);
    const QTime time(h, mi, s);
    if (!date.isValid() || !time.isValid()) return std::nullopt;
    // No time zone: a wall-clock time the books hold, never shifted by a change of summer time.
    return QDateTime(date, time, Qt::UTC);
}

}  // namespace core
