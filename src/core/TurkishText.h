#pragma once

#include <QString>

namespace core {

/// Folds a text for case-insensitive comparison the way our users read it: I/ı and İ/i are pairs,
/// and every other letter compares without regard to case.
QString foldTurkish(const QString& text);

/// True when folding cannot change the text (digits, signs, no cased letters).
bool isCaseless(const QString& text);

/// Decodes the Turkish Windows code page (1254), the single-byte form of the old text files.
QString fromWindows1254(const QByteArray& bytes);

}  // namespace core
