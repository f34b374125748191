#include "entry/NumberText.h"

#include <QRegularExpression>

namespace entry::number {

namespace {

QString withoutGrouping(const QString& text) {
    QString t = text;
    t.remove(u'.');
    return t;
}

template <class Number>
Number parsed(const QString& text) {
    QString t = withoutGrouping(text);
    t.replace(u',', u'.');
    return Number::parse(t, QLocale::c()).value_or(Number());
}

}  // namespace

bool isNumber(const QString& text, int maxDecimals) {
    static const QRegularExpression form(QStringLiteral("^[0-9]*(,[0-9]*)?$"));
    const QString t = withoutGrouping(text);
    if (!form.match(t).hasMatch()) return false;
    const qsizetype comma = t.indexOf(u',');
    const QString whole = comma < 0 ? t : t.left(comma);
    const QString decimals = comma < 0 ? QString() : t.mid(comma + 1);
    if (whole.isEmpty() && decimals.isEmpty()) return false;
    QString significant = whole;
    while (significant.size() > 1 && significant.startsWith(u'0'))
        significant.remove(0, 1);
    return significant.size() <= MaxWholeDigits && decimals.size() <= maxDecimals;
}

QString reformat(const QString& text) {
    if (text.isEmpty()) return QStringLiteral("0");
    const QString t = withoutGrouping(text);
    const qsizetype comma = t.indexOf(u',');
    QString whole = comma < 0 ? t : t.left(comma);
    while (whole.size() > 1 && whole.startsWith(u'0'))
        whole.remove(0, 1);
    if (whole.isEmpty()) whole = QStringLiteral("0");
    QString grouped;
    for (qsizetype i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) grouped += u'.';
        grouped += whole[i];
    }
    return comma < 0 ? grouped : grouped + u',' + t.mid(comma + 1);
}

core::Quantity quantity(const QString& text) {
    return parsed<core::Quantity>(text);
}

core::Money price(const QString& text) {
    return parsed<core::Money>(text);
}

QString afterKey(const QString& current, QChar ch, int maxDecimals) {
    if (ch == u'.') return current.contains(u',') ? QString() : reformat(current);
    const QString candidate = current + ch;
    if (!ch.isDigit() && ch != u',') return QString();
    if (!isNumber(candidate, maxDecimals)) return QString();
    return reformat(candidate);
}

QString refusal(const QString& current, QChar ch, int maxDecimals) {
    if (!afterKey(current, ch, maxDecimals).isEmpty()) return QString();
    const qsizetype comma = current.indexOf(u',');
    if (ch == u'.' || (ch == u',' && comma >= 0))
        return QStringLiteral("Sayıda bir virgül olur; \".\" binlik ayracıdır");
    if (ch.isDigit() && comma >= 0)
        return QStringLiteral("En çok %1 ondalık basamak yazılabilir").arg(maxDecimals);
    if (ch.isDigit())
        return QStringLiteral("En çok %1 basamaklı sayı yazılabilir").arg(MaxWholeDigits);
    return QStringLiteral("Miktar kutusuna yalnız rakam ve virgül yazılır");
}

}  // namespace entry::number
