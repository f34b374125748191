#pragma once

#include <QLocale>
#include <QString>

namespace core {

/// Plain number text: no grouping, decimals only as needed, the locale's decimal sign.
QString generalNumber(double value, const QLocale& locale = QLocale());

/// Grouped with two decimals ("#,##0.00") in the locale's signs.
QString standardNumber(double value, const QLocale& locale = QLocale());

}  // namespace core
