#include "data/ServerBooks.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace data {

namespace {

// Lower case as the embedded engine's fold does it: I is the capital of ı, İ of i. Letters
// outside the Turkish alphabet are left to the server's own lower().
const QString FoldCapitals = QStringLiteral("IİÇĞÖŞÜ");
const QString FoldSmalls = QStringLiteral("ıiçğöşü");

QString foldExpression(const QString& operand) {
    // Compared byte by byte, as the embedded engine compares the folded texts.
    return QStringLiteral("(lower(translate(%1, '%2', '%3')) COLLATE \"C\")")
        .arg(operand, FoldCapitals, FoldSmalls);
}

}  // namespace

bool isServerPath(const QString& path) {
    return path.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           path.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

std::optional<ServerAddress> parseServerPath(const QString& path) {
    if (!isServerPath(path)) return std::nullopt;
    const QUrl url(path, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty()) return std::nullopt;
    const QStringList parts = url.path().split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 2) return std::nullopt;
    ServerAddress a;
    a.host = url.host();
    a.port = url.port(5432);
    a.database = parts[0];
    a.file = parts.size() > 1 ? parts[1] : QString();
    QStringList options;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded))
        options << key + u'=' + value;
    a.options = options.join(u';');
    return a;
}

QString ServerAddress::schema() const {
    if (file.isEmpty()) return QString();
    return QFileInfo(file).completeBaseName().toLower();
}

QString ServerAddress::serverText() const {
    return QStringLiteral("%1:%2/%3").arg(host).arg(port).arg(database);
}

QString quotedSchema(const QString& schema) {
    return u'"' + QString(schema).remove(u'"') + u'"';
}

QString toPostgresSql(const QString& sql) {
    QString out;
    out.reserve(sql.size() + 32);
    // Walks the text once so that nothing inside a string literal is touched.
    static const QRegularExpression fold(
        QStringLiteral("trfold\\(\\s*(\"[^\"]*\"|[A-Za-z_][A-Za-z0-9_.]*)\\s*\\)"),
        QRegularExpression::CaseInsensitiveOption);
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql[i];
        if (c == u'\'') {
            const qsizetype end = sql.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? sql.size() : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop;
        } else if (c == u'"') {
            const qsizetype end = sql.indexOf(u'"', i + 1);
            const qsizetype stop = end < 0 ? sql.size() : end + 1;
            out += sql.mid(i, stop - i).toLower();
            i = stop;
        } else if ((c == u't' || c == u'T') &&
                   (i == 0 || !(sql[i - 1].isLetterOrNumber() || sql[i - 1] == u'_'))) {
            const auto m = fold.match(sql, i, QRegularExpression::NormalMatch,
                                      QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) {
                QString operand = m.captured(1);
                if (operand.startsWith(u'"')) operand = operand.toLower();
                out += foldExpression(operand);
                i += m.capturedLength(0);
            } else {
                out += c;
                ++i;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

}  // namespace data
