#include "data/RecordSource.h"

#include <QRegularExpression>

#include "data/DatabaseError.h"
#include "data/JetSql.h"

namespace data {

RecordSource RecordSource::parse(const QString& source) {
    static const QRegularExpression tableOnly(QStringLiteral("^\\s*(\\w+)\\s*$"),
                                              QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression select(
        QStringLiteral("^\\s*select\\s+\\*\\s+from\\s+(\\w+)"
                       "(?:\\s+where\\s+(.*?))?(?:\\s+order\\s+by\\s+(.*?))?\\s*;?\\s*$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption |
            QRegularExpression::UseUnicodePropertiesOption);

    RecordSource rs;
    if (const auto m = tableOnly.match(source); m.hasMatch()) {
        rs.table = m.captured(1);
        return rs;
    }
    const auto m = select.match(source);
    if (!m.hasMatch())
        throw DatabaseError(QStringLiteral("Desteklenmeyen kayıt kaynağı: %1").arg(source));
    rs.table = m.captured(1);
    rs.where = translateJetSql(m.captured(2).trimmed());
    rs.orderBy = translateJetSql(m.captured(3).trimmed());
    return rs;
}

}  // namespace data
