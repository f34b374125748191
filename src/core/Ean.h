#pragma once

#include <QString>

namespace core {

/// The EAN check digit of 7 or 12 digits (EAN-8, EAN-13).
int eanCheckDigit(const QString& digits);

}  // namespace core
