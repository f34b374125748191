#pragma once

#include <QString>
#include <optional>

namespace app {

/// "Firma.txt": the company name printed on price labels.
inline const QString CompanyFileName = QStringLiteral("Firma.txt");
inline const QString DefaultCompanyName = QStringLiteral("Karvendo");

struct CompanyName {
    /// The name read from the file; empty when the file was missing (and has now been created).
    std::optional<QString> name;
    /// Set when the file could be neither read nor created.
    QString error;
};

/// Reads the company name from `folder`/Firma.txt, or creates the file holding "Karvendo" when it
/// is missing. A damaged file is read as far as it makes sense and is never overwritten.
CompanyName readOrCreateCompanyName(const QString& folder);

}  // namespace app
