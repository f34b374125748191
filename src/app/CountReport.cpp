#include "app/CountReport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

#include "data/Names.h"
#include "data/Recordset.h"

namespace app {

namespace s = data::names::stok;

std::vector<CountDifference> countDifferences(data::Recordset& counted) {
    std::vector<CountDifference> cards;
    for (int i = 0; i < counted.RecordCount(); ++i) {
        // The count's own arithmetic wrote these: exact numbers.
        const auto quantity = [&](const QString& field) {
            return core::Quantity::fromStored(counted.fieldAt(i, field)).value_or(core::Quantity());
        };
        cards.push_back(
            {quantity(s::KalanB), quantity(s::KalanA), counted.fieldAt(i, s::StokAdi).toString()});
    }
    return cards;
}

QString reportBlock(const QDateTime& at, const std::vector<CountDifference>& cards) {
    const QString eol = QStringLiteral("\r\n");
    const QLocale locale;
    QString block = locale.toString(at.date(), QLocale::ShortFormat) + u' ' +
                    at.time().toString(QStringLiteral("HH:mm:ss")) + eol;
    block += QStringLiteral(" ") + eol;
    block += QStringLiteral("     Eksik     Fazla     Stok Adı") + eol;
    for (const CountDifference& card : cards) {
        block += card.missing.toString(locale).rightJustified(10, u' ') +
                 card.excess.toString(locale).rightJustified(10, u' ') + QStringLiteral("  ") +
                 card.name + eol;
    }
    block += QStringLiteral(" ") + eol;
    return block;
}

QString safeFileName(const QString& title) {
    static const QRegularExpression reserved(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1F]"));
    QString name = title;
    name.replace(reserved, QStringLiteral("_"));
    name.replace(QStringLiteral(".."), QStringLiteral("_"));
    name = name.trimmed();
    while (name.endsWith(u'.'))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("_") : name;
}

QString writeCountReport(const QString& folder, const QString& desktop, const QString& title,
                         const QString& block) {
    if (!QDir().mkpath(folder)) return QStringLiteral("Rapor klasörü oluşturulamadı: ") + folder;
    const QString name = safeFileName(title);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".txt"));
    QFile report(path);
    if (!report.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("Sayım raporu yazılamadı: %1 (%2)").arg(path, report.errorString());
    const QByteArray bytes = block.toUtf8();
    if (report.write(bytes) != bytes.size())
        return QStringLiteral("Sayım raporu yazılamadı: %1 (%2)").arg(path, report.errorString());
    report.close();

    QDir().mkpath(desktop);
#ifdef Q_OS_WIN
    const QString link = QDir(desktop).filePath(name + QStringLiteral(".lnk"));
    QFile::remove(link);
    if (!QFile::link(path, link)) return QStringLiteral("Masaüstü kısayolu yapılamadı: ") + link;
#else
    // A desktop entry of type Link: the file managers' equivalent of a shortcut.
    const QString link = QDir(desktop).filePath(name + QStringLiteral(".desktop"));
    QSaveFile entry(link);
    if (!entry.open(QIODevice::WriteOnly))
        return QStringLiteral("Masaüstü bağlantısı yapılamadı: ") + link;
    entry.write(
        QStringLiteral("[Desktop Entry]\nType=Link\nName=%1.txt\nComment=Shortcut to %1.txt\n"
                       "URL=%2\n")
            .arg(name, QUrl::fromLocalFile(path).toString())
            .toUtf8());
    if (!entry.commit()) return QStringLiteral("Masaüstü bağlantısı yapılamadı: ") + link;
#endif
    return QString();
}

QString defaultReportFolder() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\RezoruviZada");
#else
    return QDir::home().filePath(QStringLiteral("RezoruviZada"));
#endif
}

}  // namespace app
