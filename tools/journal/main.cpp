// The accountant's reader of the terminals' journal: every entry in time order, then what the
// journal and the books disagree on.
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "data/FilePaths.h"
#include "data/JournalRead.h"

namespace {

using data::journal::Entry;
using data::journal::Event;
using data::journal::Finding;

const char* const Usage =
    "Kullanım: terminal-journal VERİ_KLASÖRÜ|SUNUCU_YOLU [--from TARİH] [--to TARİH]\n"
    "                          [--terminal N] [--csv]\n"
    "\n"
    "Terminallerin günlüğünü zaman sırasıyla yazar: yazılan her belgeyi ve deftere hiç\n"
    "ulaşmayanları (silinen satırlar, bırakılan sepetler, reddedilen \"Tamam\"lar, bırakılan\n"
    "beklemeler). Ardından günlüğü defterlerle karşılaştırır: dönemin girişi olmayan belgelerini\n"
    "ve belgesi olmayan girişlerini sayar.\n"
    "\n"
    "  VERİ_KLASÖRÜ  defterlerin klasörü (…/RezoruviZada) ya da bir sunucu yolu\n"
    "                (…/RezoruviZada/01)\n"
    "  SUNUCU_YOLU   postgresql://SUNUCU[:PORT]/VERİTABANI[/01]\n"
    "  --from TARİH  bu günden başlayarak (YYYY-AA-GG ya da GG.AA.YYYY)\n"
    "  --to TARİH    bu gün de dahil, bu güne kadar\n"
    "  --terminal N  yalnızca N numaralı terminalin girişleri\n"
    "  --csv         Türkçe ayarlı bir hesap tablosu için CSV: UTF-8, ';' ayraçlı, ondalık\n"
    "                virgüllü, girişin her satırı bir satırda\n"
    "  --help        bu metin\n"
    "\n"
    "Çıkış kodu: 0 fark yok, 1 denetim fark buldu, 2 kullanım ya da okuma hatası.\n";

struct Options {
    QString location;
    data::journal::Filter filter;
    bool csv = false;
};

struct UsageError {
    QString text;
};

const QLocale& turkish() {
    static const QLocale locale(QLocale::Turkish, QLocale::Turkey);
    return locale;
}

std::optional<QDate> dateOf(const QString& text) {
    for (const char* format : {"yyyy-MM-dd", "dd.MM.yyyy"})
        if (const QDate d = QDate::fromString(text, QLatin1String(format)); d.isValid()) return d;
    return std::nullopt;
}

// A data directory ending in its separator, the folder of a server path given instead (its
// company's two digits follow the folder), or a server's address as given.
QString locationOf(const QString& argument) {
    if (data::dialectOf(argument).journalInBooks()) return argument;
    const QString path = data::resolvePath(data::toLocalPath(argument));
    if (QFileInfo(path).isDir()) return path.endsWith(u'/') ? path : path + u'/';
    const QString folder = data::folderOf(path);
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    throw UsageError{QStringLiteral("Veri klasörü bulunamadı: %1").arg(argument)};
}

Options optionsOf(const QStringList& args) {
    Options o;
    QStringList positional;
    const QStringList valued{QStringLiteral("--from"), QStringLiteral("--to"),
                             QStringLiteral("--terminal")};
    for (qsizetype i = 1; i < args.size(); ++i) {
        QString name = args[i], value;
        if (const qsizetype eq = name.indexOf(u'='); name.startsWith(u'-') && eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        } else if (valued.contains(name)) {
            if (i + 1 >= args.size())
                throw UsageError{QStringLiteral("%1 bir değer bekliyor.").arg(name)};
            value = args[++i];
        }
        if (name == QLatin1String("--from") || name == QLatin1String("--to")) {
            const auto d = dateOf(value);
            if (!d)
                throw UsageError{QStringLiteral("Tarih anlaşılamadı: %1 (beklenen: 2026-12-08 "
                                                "ya da 08.12.2026)")
                                     .arg(value)};
            (name == QLatin1String("--from") ? o.filter.from : o.filter.to) = *d;
        } else if (name == QLatin1String("--terminal")) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < 0)
                throw UsageError{QStringLiteral("Terminal numarası anlaşılamadı: %1").arg(value)};
            o.filter.terminal = n;
        } else if (name == QLatin1String("--csv") && value.isEmpty()) {
            o.csv = true;
        } else if (name.startsWith(u'-') && name.size() > 1) {
            throw UsageError{QStringLiteral("Bilinmeyen seçenek: %1").arg(args[i])};
        } else {
            positional << name;
        }
    }
    if (positional.size() != 1)
        throw UsageError{positional.isEmpty()
                             ? QStringLiteral("Veri klasörü ya da sunucu yolu verilmedi.")
                             : QStringLiteral("Birden çok yol verildi: %1")
                                   .arg(positional.join(QStringLiteral(", ")))};
    if (o.filter.from && o.filter.to && *o.filter.from > *o.filter.to)
        throw UsageError{QStringLiteral("Başlangıç günü (%1) bitiş gününden (%2) sonra.")
                             .arg(o.filter.from->toString(QStringLiteral("dd.MM.yyyy")),
                                  o.filter.to->toString(QStringLiteral("dd.MM.yyyy")))};
    o.location = locationOf(positional.first());
    return o;
}

QString eventName(const Entry& e) {
    switch (e.event) {
        case Event::Document:
            return e.invoice.isEmpty() ? QStringLiteral("Belge yazıldı")
                                       : QStringLiteral("Fatura yazıldı");
        case Event::Removed:
            return QStringLiteral("Satır silindi (SİL)");
        case Event::Cancelled:
            return QStringLiteral("Vazgeç (toplamlar)");
        case Event::Abandoned:
            return QStringLiteral("Sepet bırakıldı");
        case Event::Refused:
            return QStringLiteral("Tamam reddedildi");
        case Event::WaitGivenUp:
            return QStringLiteral("Bekleme bırakıldı");
        case Event::Settled:
            return QStringLiteral("Yanıtı kayıp belge çözüldü");
    }
    return QString();
}

QString findingName(const Finding& f) {
    return f.kind == Finding::Kind::DocumentWithoutEntry ? QStringLiteral("Girişi olmayan belge")
                                                         : QStringLiteral("Belgesi olmayan giriş");
}

QString timeText(const QDateTime& at) {
    return at.isValid() ? at.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QString();
}

QString amount(core::Money m, bool groups) {
    return m.toString(turkish(), 2, groups);
}

const QStringList& entryHeader() {
    static const QStringList h{
        QStringLiteral("Zaman"),     QStringLiteral("Terminal"), QStringLiteral("Bilgisayar"),
        QStringLiteral("Kullanıcı"), QStringLiteral("Olay"),     QStringLiteral("İş"),
        QStringLiteral("İşlem"),     QStringLiteral("Hedef"),    QStringLiteral("Defter"),
        QStringLiteral("Belge"),     QStringLiteral("Fatura"),   QStringLiteral("Tutar"),
        QStringLiteral("Neden")};
    return h;
}

const QStringList& lineHeader() {
    static const QStringList h{QStringLiteral("Kod"),    QStringLiteral("Ad"),
                               QStringLiteral("Miktar"), QStringLiteral("Fiyat"),
                               QStringLiteral("Tutar"),  QStringLiteral("KDV")};
    return h;
}

QStringList entryFields(const Entry& e, bool groups) {
    return {timeText(e.at), QString::number(e.terminal),
            e.computer,     e.user,
            eventName(e),   e.work,
            e.operation,    e.target,
            e.books,        e.number,
            e.invoice,      amount(e.total, groups),
            e.reason};
}

QStringList lineFields(const data::Line& l, bool groups) {
    return {l.code,
            l.name,
            l.quantity.toString(turkish(), 0, groups),
            amount(l.price, groups),
            amount(l.amount, groups),
            amount(l.vat, groups)};
}

QStringList findingFields(const Finding& f) {
    QStringList fields(entryHeader().size());
    fields[0] = timeText(f.at);
    fields[4] = findingName(f);
    fields[8] = f.company;
    fields[9] = f.number;
    return fields;
}

void write(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

// A spreadsheet runs a cell that starts like a formula: a name from the books ("=110", "+90 …",
// "=HYPERLINK(…)") is kept as text by a leading apostrophe. Our own numbers ("-5,00") stay numbers.
QString notAFormula(const QString& field) {
    static const QString starts = QStringLiteral("=+-@\t\r");
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9]+(,[0-9]+)?$"));
    if (field.isEmpty() || !starts.contains(field.front()) || number.match(field).hasMatch())
        return field;
    return u'\'' + field;
}

QString csvField(const QString& text) {
    static const QString special = QStringLiteral(";\"\r\n");
    const QString field = notAFormula(text);
    const bool quote =
        std::any_of(field.begin(), field.end(), [](QChar c) { return special.contains(c); }) ||
        (!field.isEmpty() && (field.front().isSpace() || field.back().isSpace()));
    if (!quote) return field;
    return u'"' + QString(field).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

void writeCsvRow(const QStringList& fields) {
    QStringList out;
    out.reserve(fields.size());
    for (const QString& f : fields)
        out << csvField(f);
    write(out.join(u';') + QStringLiteral("\r\n"));
}

void writeCsv(const data::journal::Reading& r) {
    write(QStringLiteral("\uFEFF"));
    writeCsvRow(entryHeader() + lineHeader());
    const QStringList noLine(lineHeader().size());
    for (const Entry& e : r.entries) {
        const QStringList fields = entryFields(e, false);
        if (e.lines.empty()) writeCsvRow(fields + noLine);
        for (const data::Line& l : e.lines)
            writeCsvRow(fields + lineFields(l, false));
    }
    for (const Finding& f : r.findings)
        writeCsvRow(findingFields(f) + noLine);
}

// A table for a terminal window: each column as wide as its widest text, numbers to the right,
// each entry's lines indented under it.
class Table {
  public:
    Table(const QStringList& header, QList<int> rightAligned)
        : m_header(header), m_right(std::move(rightAligned)), m_widths(header.size()) {
        fit(header);
    }
    void fit(const QStringList& row) {
        for (qsizetype i = 0; i < row.size(); ++i)
            m_widths[i] = std::max(m_widths[i], static_cast<int>(row[i].size()));
    }
    QString format(const QStringList& row, const QString& indent = QString()) const {
        QStringList cells;
        for (qsizetype i = 0; i < row.size(); ++i) {
            const bool last = i + 1 == row.size();
            if (m_right.contains(i))
                cells << row[i].rightJustified(m_widths[i]);
            else
                cells << (last ? row[i] : row[i].leftJustified(m_widths[i]));
        }
        // An empty last column leaves no blanks behind.
        QString line = indent + cells.join(QStringLiteral("  "));
        while (line.endsWith(u' '))
            line.chop(1);
        return line + u'\n';
    }
    const QStringList& header() const { return m_header; }
    int width() const {
        int w = 0;
        for (int c : m_widths)
            w += c + 2;
        return w;
    }

  private:
    QStringList m_header;
    QList<int> m_right;
    QList<int> m_widths;
};

// A text kept on its row: a line break inside it would break the table.
QStringList oneLine(QStringList fields) {
    for (QString& f : fields)
        for (QChar& c : f)
            if (c == u'\n' || c == u'\r' || c == u'\t') c = u' ';
    return fields;
}

void writeTable(const data::journal::Reading& r) {
    const QString indent = QStringLiteral("    ");
    Table entries(entryHeader(), {1, 11});
    Table lines(lineHeader(), {2, 3, 4, 5});
    std::vector<std::pair<QStringList, std::vector<QStringList>>> rows;
    rows.reserve(r.entries.size());
    for (const Entry& e : r.entries) {
        rows.push_back({oneLine(entryFields(e, true)), {}});
        entries.fit(rows.back().first);
        for (const data::Line& l : e.lines) {
            rows.back().second.push_back(oneLine(lineFields(l, true)));
            lines.fit(rows.back().second.back());
        }
    }
    write(entries.format(entries.header()));
    write(lines.format(lines.header(), indent));
    write(QString(std::max(entries.width(), lines.width() + 4) - 2, u'-') + u'\n');
    for (const auto& [entry, entryLines] : rows) {
        write(entries.format(entry));
        for (const QStringList& l : entryLines)
            write(lines.format(l, indent));
    }
    write(QStringLiteral("\n%1 giriş.\n").arg(r.entries.size()));
    if (r.findings.empty()) {
        write(QStringLiteral("Denetim: günlük ile defterler arasında fark yok.\n"));
        return;
    }
    write(QStringLiteral("Denetim: %1 fark.\n").arg(r.findings.size()));
    for (const Finding& f : r.findings)
        write(QStringLiteral("  %1: şirket %2, belge %3, %4\n")
                  .arg(findingName(f), f.company, f.number, timeText(f.at)));
}

int fail(const QString& text, bool usage) {
    QString message = QStringLiteral("terminal-journal: ") + text + u'\n';
    if (usage) message += QStringLiteral("Kullanım için: terminal-journal --help\n");
    const QByteArray bytes = message.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::fputs(Usage, stdout);
        return 0;
    }
    Options options;
    try {
        options = optionsOf(args);
    } catch (const UsageError& e) {
        return fail(e.text, true);
    }
    data::journal::Reading reading;
    try {
        reading = data::journal::read(options.location, options.filter);
    } catch (const data::DatabaseError& e) {
        return fail(e.text(), false);
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()), false);
    }
    if (options.csv)
        writeCsv(reading);
    else
        writeTable(reading);
    std::fflush(stdout);
    return reading.findings.empty() ? 0 : 1;
}
