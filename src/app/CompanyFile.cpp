#include "app/CompanyFile.h"

#include <QDir>
#include <QFileInfo>

#include "core/QuotedFieldFile.h"

namespace app {

CompanyName readOrCreateCompanyName(const QString& folder) {
    const QString path = QDir(folder).filePath(CompanyFileName);
    CompanyName result;
    if (!QFileInfo::exists(path)) {
        QString error;
        if (!core::QuotedFieldFile::write(path, DefaultCompanyName, &error))
            result.error = QStringLiteral("%1 yazılamadı: %2").arg(path, error);
        return result;
    }
    const std::optional<QString> field = core::QuotedFieldFile::readFirstField(path);
    if (!field) {
        result.error = QStringLiteral("%1 okunamadı.").arg(path);
        return result;
    }
    // Garbage without quotes or line ends must not flood the label.
    QString name = *field;
    name.remove(QChar(0));
    result.name = name.left(120);
    return result;
}

}  // namespace app
