#include "core/QuotedFieldFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include "core/AtomicFile.h"
#include "core/TurkishText.h"

namespace core::QuotedFieldFile {

namespace {

QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    // Files written by the old program are in the Turkish single-byte code page.
    return fromWindows1254(bytes);
}

}  // namespace

QString firstField(const QString& contents) {
    qsizetype i = 0;
    while (i < contents.size() && (contents[i] == u' ' || contents[i] == u'\t'))
        ++i;
    if (i < contents.size() && contents[i] == u'"') {
        const qsizetype end = contents.indexOf(u'"', i + 1);
        // An unterminated quote (a truncated file) yields what is there up to the line end.
        if (end < 0) {
            QString rest = contents.mid(i + 1);
            const qsizetype eol = rest.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
            return eol < 0 ? rest : rest.left(eol);
        }
        return contents.mid(i + 1, end - i - 1);
    }
    qsizetype end = i;
    while (end < contents.size() && contents[end] != u',' && contents[end] != u'\r' &&
           contents[end] != u'\n')
        ++end;
    return contents.mid(i, end - i).trimmed();
}

std::optional<QString> readFirstField(const QString& path) {
    QFile file(path);
    if (!file.exists()) return QString();
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    // One line is all we read; a huge or binary file must not be loaded whole.
    const QByteArray head = file.read(64 * 1024);
    return firstField(decode(head));
}

bool write(const QString& path, const QString& value, QString* error) {
    return writeFileAtomically(path, '"' + value.toUtf8() + "\"\r\n", error);
}

}  // namespace core::QuotedFieldFile
