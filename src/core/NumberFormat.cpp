#include "core/NumberFormat.h"

namespace core {

QString generalNumber(double value, const QLocale& locale) {
    // Up to 15 significant digits, as the old runtime showed a double; never an exponent for the
    // values a shop meets.
    QString text = QString::number(value, 'g', 15);
    if (text.contains(u'e')) {
        text = QString::number(value, 'f', 10);
        while (text.contains(u'.') && text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.')) text.chop(1);
    }
    if (text == QStringLiteral("-0")) text = QStringLiteral("0");
    text.replace(u'.', locale.decimalPoint());
    return text;
}

QString standardNumber(double value, const QLocale& locale) {
    QLocale l = locale;
    l.setNumberOptions(l.numberOptions() & ~QLocale::OmitGroupSeparator);
    return l.toString(value, 'f', 2);
}

}  // namespace core
