#include "entry/GridRules.h"

#include <QList>
#include <charconv>
#include <cmath>

namespace entry {

QString sortedSource(const QString& source, const QString& field, bool descending) {
    const qsizetype p = source.indexOf(QStringLiteral(" ORDER BY"), 0, Qt::CaseInsensitive);
    const QString head = p >= 0 ? source.left(p + 1) + QStringLiteral("ORDER BY ")
                                : source + QStringLiteral(" ORDER BY ");
    return head + field + (descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC"));
}

int dragRows(qreal distance, qreal rowHeight) {
    if (rowHeight <= 0) return 0;
    return static_cast<int>(std::floor(distance / rowHeight + 0.49));
}

int dragTarget(int position, int rows, int count) {
    if (count <= 0) return -1;
    if (rows < 1) {
        const int n = -rows;
        return position > n ? position - n : 0;
    }
    return position + rows < count ? position + rows : count - 1;
}

QByteArray writeGridLayout(const std::vector<ColumnLayout>& columns) {
    QByteArray out;
    for (const ColumnLayout& c : columns) {
        // The shortest text that reads back as the same single-precision number.
        char buffer[32];
        const auto end =
            std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(c.widthTwips));
        out += QByteArray(buffer, static_cast<qsizetype>(end.ptr - buffer));
        out += c.visible ? ",#TRUE#\r\n" : ",#FALSE#\r\n";
    }
    return out;
}

std::vector<std::optional<ColumnLayout>> readGridLayout(const QByteArray& text) {
    std::vector<std::optional<ColumnLayout>> columns;
    QByteArray normal = text;
    normal.replace("\r\n", "\n");
    normal.replace('\r', '\n');
    QList<QByteArray> lines = normal.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (const QByteArray& line : lines) {
        const QList<QByteArray> parts = line.trimmed().split(',');
        bool ok = false;
        const qreal width = parts.value(0).trimmed().toDouble(&ok);
        const QByteArray flag = parts.value(1).trimmed().toUpper();
        if (parts.size() != 2 || !ok || !std::isfinite(width) || width < 0 ||
            (flag != "#TRUE#" && flag != "#FALSE#")) {
            columns.emplace_back(std::nullopt);
            continue;
        }
        columns.emplace_back(ColumnLayout{std::min(width, qreal(30000)), flag == "#TRUE#"});
    }
    return columns;
}

QString centredCaption(const QString& caption, qreal columnWidth, qreal textWidth, qreal spaceWidth,
                       int alignment) {
    const QString c = caption.trimmed();
    if (spaceWidth <= 0) return c;
    const int n = static_cast<int>(std::floor((columnWidth - textWidth) / 2 / spaceWidth));
    if (n <= 0 || alignment == 2) return c;
    return alignment == 1 ? c + QString(n, u' ') : QString(n, u' ') + c;
}

}  // namespace entry
