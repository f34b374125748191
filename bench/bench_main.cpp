// Benchmarks of the terminal on large demo books. Each figure is printed beside a baseline measured
// in the same run: `NAME ours_ms=X baseline_ms=Y ratio=R`, or `NAME value=X unit=U`.
#include <libpq-fe.h>
#include <malloc.h>
#include <sqlite3.h>
#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QCollator>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QProcess>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "DemoBooks.h"
#include "Harness.h"
#include "app/Settings.h"
#include "app/TerminalForm.h"
#include "bookimport/BookImport.h"
#include "core/Clock.h"
#include "core/Messages.h"
#include "data/Basket.h"
#include "data/CardOrder.h"
#include "data/Database.h"
#include "data/ServerBooks.h"
#include "filecopy/CopyDatabaseFile.h"
#include "invoicing/WriteInvoice.h"
#include "modes/Targets.h"
#include "modes/WorkingSet.h"
#include "posting/Posting.h"

namespace {

// Repetitions of the slow figures; a million items run them as often (about 5 minutes here).
const int g_runs = 5;

class QuietMessages final : public core::Messages {
  public:
    void inform(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool ask(const QString&) override { return true; }
    QString askText(const QString&, const QString&, const QString&, bool* ok) override {
        if (ok) *ok = false;
        return {};
    }
};

void exec(sqlite3* db, const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
        std::fprintf(stderr, "bare sqlite: %s\n", error ? error : "?");
    sqlite3_free(error);
}

sqlite3_stmt* prepare(sqlite3* db, const QString& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "bare sqlite: %s\n", sqlite3_errmsg(db));
    return st;
}

void bindText(sqlite3_stmt* st, int i, const QByteArray& t) {
    sqlite3_bind_text(st, i, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

QByteArray textAt(sqlite3_stmt* st, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return text ? QByteArray(text) : QByteArray();
}

// A file shaped as the terminal's basket, at the durability the terminal gives its own:
// synchronous=FULL, a rollback journal, nothing memory-mapped. The bare baselines write here.
sqlite3* openBareBasket(const QString& file) {
    for (const QString& leftover : {file, file + QStringLiteral("-journal")})
        QFile::remove(leftover);
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db,
                    SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr);
    exec(db, QStringLiteral(
                 "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA mmap_size=0; "
                 "CREATE TABLE Basket (StokKod TEXT PRIMARY KEY, StokAdi TEXT, Birim TEXT, "
                 "Barkod TEXT, Fiyat2 REAL, KalanB REAL DEFAULT 0, KalanA REAL, GirenTutar REAL "
                 "DEFAULT 0, Kdv REAL, Kar REAL DEFAULT 0, Removed INTEGER DEFAULT 0, Entered "
                 "INTEGER); CREATE TABLE Road (Key TEXT PRIMARY KEY, Value TEXT);"));
    return db;
}

// Attaches a book file; every written one with full durability, as the posting attaches them.
void attachBook(sqlite3* db, const QString& file, const QString& alias, bool readOnly = false) {
    exec(db, QStringLiteral("ATTACH 'file:%1?mode=%2' AS %3; PRAGMA %3.synchronous=FULL")
                 .arg(QString::fromLatin1(QUrl::toPercentEncoding(file, "/")),
                      readOnly ? QStringLiteral("ro") : QStringLiteral("rw"), alias));
}

// Bare SQLite on a basket-like file with the cards attached for reading: one indexed select of
// the scanned text and one upsert of its line, prepared once and committed one by one at the
// basket's durability, as the fastest any booking of a scan could be. `where` finds the card by
// ?1, the text; a second parameter is the end of the range the text starts (a name prefix).
class BareScanner {
  public:
    BareScanner(const QString& basketFile, const QString& cards, const QString& where)
        : m_file(basketFile), m_db(openBareBasket(basketFile)) {
        attachBook(m_db, cards, QStringLiteral("cards"), true);
        m_find =
            prepare(m_db, QStringLiteral("SELECT StokKod, StokAdi, Birim, Barkod, Fiyat, KalanB, "
                                         "Kdv FROM cards.StokKartlar WHERE %1 LIMIT 1")
                              .arg(where));
        m_range = sqlite3_bind_parameter_count(m_find) == 2;
        m_upsert = prepare(
            m_db,
            QStringLiteral("INSERT INTO main.Basket (StokKod, StokAdi, Birim, Barkod, Fiyat2, "
                           "KalanB, KalanA, GirenTutar, Kdv, Entered) VALUES (?1, ?2, ?3, ?4, ?5, "
                           "1, ?6, ?5, ?7, (SELECT coalesce(max(Entered), 0) + 1 FROM "
                           "main.Basket)) ON CONFLICT (StokKod) DO UPDATE SET KalanB = KalanB + "
                           "1, GirenTutar = GirenTutar + excluded.Fiyat2, Removed = 0"));
    }
    ~BareScanner() {
        if (m_missed) std::fprintf(stderr, "bare scan: %d texts not booked\n", m_missed);
        sqlite3_finalize(m_find);
        sqlite3_finalize(m_upsert);
        sqlite3_close(m_db);
        QFile::remove(m_file);
    }
    BareScanner(const BareScanner&) = delete;
    BareScanner& operator=(const BareScanner&) = delete;

    void book(const QString& text) {
        bindText(m_find, 1, text.toUtf8());
        if (m_range) bindText(m_find, 2, (text + QChar(0xFFFF)).toUtf8());
        if (sqlite3_step(m_find) == SQLITE_ROW) {
            for (int c = 0; c < 7; ++c)
                sqlite3_bind_value(m_upsert, c + 1, sqlite3_column_value(m_find, c));
            if (sqlite3_step(m_upsert) != SQLITE_DONE) ++m_missed;
            sqlite3_reset(m_upsert);
        } else {
            ++m_missed;
        }
        sqlite3_reset(m_find);
    }

  private:
    QString m_file;
    sqlite3* m_db;
    sqlite3_stmt* m_find = nullptr;
    sqlite3_stmt* m_upsert = nullptr;
    bool m_range = false;
    int m_missed = 0;
};

QStringList column(const QString& file, const char* sql) {
    QStringList out;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = prepare(db, QString::fromUtf8(sql));
    while (sqlite3_step(st) == SQLITE_ROW)
        out << QString::fromUtf8(textAt(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

// Resident memory of this process, in MB.
double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// A terminal on the given books, started as the executable starts it.
struct Terminal {
    core::SystemClock clock;
    app::Settings settings;
    app::TerminalForm form;
    Terminal(const QString& serverPath, const QString& programFolder, const QString& configFolder,
             core::Messages& messages)
        : settings(QStringLiteral("terminal"), configFolder),
          form(context(serverPath, programFolder, configFolder, messages)) {
        if (!form.Form_Load()) std::fprintf(stderr, "start-up failed\n");
        form.show();
        form.Form_Activate();
    }
    app::TerminalContext context(const QString& serverPath, const QString& programFolder,
                                 const QString& configFolder, core::Messages& messages) {
        app::TerminalContext c;
        c.env = {QStringLiteral("terminal"), programFolder, programFolder, configFolder};
        c.messages = &messages;
        c.clock = &clock;
        c.settings = &settings;
        c.ctrlHeld = [] { return false; };
        c.serverPathOverride = serverPath;
        return c;
    }
};

// Where the terminals of one run live and which books they work on.
struct Setup {
    QString serverPath;  // the head office's books, "…/01"
    QString programFolder;
    QString configFolder;
    core::Messages* messages = nullptr;
    int items = 0;
    QString stock() const { return serverPath + QStringLiteral("Stok.mdb"); }
    QString name(const char* figure) const {
        return QStringLiteral("%1_%2_items").arg(QString::fromLatin1(figure)).arg(items);
    }
};

// Lines entered in the basket of `form`, read on its live connection.
int basketLines(app::TerminalForm& form) {
    return data::basket::summary(*data::Database::open(form.workingCopyPath())).lines;
}

// Account work, a sale ticked: the road every scan figure books on.
void startSale(app::TerminalForm& form) {
    form.SbCr_Click(1);
    form.findChild<QCheckBox*>(QStringLiteral("Check1(0)"))->setChecked(true);
}

// Start-up to the painted main window: the form made, loaded, shown, activated and painted
// once; what the operator waits for before the first touch. The form's teardown is not timed.
void benchStartup(bench::Report& report, const Setup& s) {
    std::unique_ptr<Terminal> terminal;
    const double startup = bench::medianMs(
        g_runs,
        [&] {
            terminal = std::make_unique<Terminal>(s.serverPath, s.programFolder, s.configFolder,
                                                  *s.messages);
            terminal->form.grab();  // paints every visible control once
        },
        [&] { terminal.reset(); });
    report.value(s.name("startup_main_window"), startup, QStringLiteral("ms"));
}

// The cards of a grid column in view order, from the first row on.
QStringList firstRows(QTableView* grid, int column, int rows) {
    QStringList out;
    QAbstractItemModel* model = grid->model();
    for (int r = 0; r < std::min(rows, model->rowCount()); ++r)
        out << model->data(model->index(r, column)).toString();
    return out;
}

// Whether the names run in Turkish alphabetical order, one way or the other.
bool inTurkishOrder(const QStringList& names) {
    QCollator collator(QLocale(QLocale::Turkish, QLocale::Turkey));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    bool up = true, down = true;
    for (qsizetype i = 1; i < names.size(); ++i) {
        const int c = collator.compare(names[i - 1], names[i]);
        if (c > 0) up = false;
        if (c < 0) down = false;
    }
    return names.size() > 1 && (up || down);
}

// The cards' name order made for cards never sorted before, as the window makes it behind its
// wait panel at the first target choice on a stock file: one pass over the cards, a Turkish
// sort, the indexes. The terminals of a folder share it; later choices only check it.
void benchOrderMaking(bench::Report& report, const Setup& s) {
    const QString order = s.programFolder + QStringLiteral("/order-first.db");
    const auto forget = [&order] {
        for (const char* leftover : {"", "-wal", "-shm", "-journal"})
            QFile::remove(order + QLatin1String(leftover));
    };
    const double made = bench::medianMs(
        g_runs, [&] { data::cardorder::prepare(s.stock(), order); }, forget);
    forget();
    report.value(s.name("order_file_first_making"), made, QStringLiteral("ms"));
}

// The operator's road on the real main window: choosing a customer as the target of a sale,
// then scans that each book one piece. One function, long on purpose: the figures are taken in
// the order the operator meets them, each step on the window the one before left.
void benchRoad(bench::Report& report, const Setup& s) {
    Terminal terminal(s.serverPath, s.programFolder, s.configFolder, *s.messages);
    app::TerminalForm& form = terminal.form;
    startSale(form);
    auto* combo = form.findChild<QComboBox*>(QStringLiteral("Combo1"));
    auto* text1 = form.findChild<QLineEdit*>(QStringLiteral("Text1"));
    const QString stock = s.stock();
    const QStringList barcodes = column(
        stock,
        "SELECT Barkod FROM StokKartlar WHERE StokGizle=0 AND Barkod2 IS NULL ORDER BY rowid "
        "LIMIT 300 OFFSET 1000");
    const QStringList third =
        column(stock,
               "SELECT Barkod3 FROM StokKartlar WHERE StokGizle=0 AND Barkod3 IS NOT NULL "
               "ORDER BY rowid LIMIT 300");
    const QStringList names =
        column(stock,
               "SELECT substr(StokAdi, 1, length(StokAdi) - 2) FROM StokKartlar WHERE StokGizle=0 "
               "ORDER BY rowid LIMIT 300 OFFSET 5000");
    auto scan = [&](const QString& text) {
        text1->setText(text);
        form.Text1_Search();
    };

    // A target chosen in the list until the first scan on it has booked, and that first scan
    // alone: the basket is made and bound before the scan finds its card.
    int target = 0;
    auto choose = [&] {
        combo->setCurrentIndex(target++ % 3);
        form.Combo1_Click();
    };
    const double chosen = bench::medianMs(g_runs, [&] {
        choose();
        scan(barcodes.first());
    });
    if (basketLines(form) != 1)
        std::fprintf(stderr, "choose target: the first scan did not book (%d lines)\n",
                     basketLines(form));
    report.value(s.name("choose_target_until_scan"), chosen, QStringLiteral("ms"));
    // The first scan of each kind after a choice: a barcode, a third barcode, a name's start.
    // Each is the first to look in its column of the list just bound.
    const auto firstAfterChoice = [&](const char* figure, const QStringList& texts) {
        int i = 0;
        const double ms = bench::medianMs(
            g_runs, [&] { scan(texts[i++ % texts.size()]); }, choose);
        if (basketLines(form) != 1)
            std::fprintf(stderr, "%s: did not book (%d lines)\n", figure, basketLines(form));
        report.value(s.name(figure), ms, QStringLiteral("ms"));
    };
    firstAfterChoice("first_scan_after_target", barcodes);
    firstAfterChoice("first_barkod3_after_target", third);
    firstAfterChoice("first_name_search_after_target", names);
    choose();

    // The baseline commits as the basket is meant to: the basket's connection must as well, or
    // the scan figures compare unlike things.
    {
        auto db = data::Database::open(form.workingCopyPath());
        QSqlQuery sync = db->query(QStringLiteral("PRAGMA main.synchronous"));
        const int level = sync.next() ? sync.value(0).toInt() : -1;
        sync.finish();
        QSqlQuery journal = db->query(QStringLiteral("PRAGMA main.journal_mode"));
        const QString mode = journal.next() ? journal.value(0).toString() : QString();
        journal.finish();
        if (level != 2 || mode != QStringLiteral("delete"))
            std::fprintf(stderr,
                         "scan: the basket commits with synchronous=%d, journal_mode=%s; the "
                         "baseline with synchronous=2 (FULL), journal_mode=delete\n",
                         level, qPrintable(mode));
    }

    // Later scans, beside the bare select and upsert at the basket's durability, one of each in
    // turn. Each text books one piece; how many lines each kind added is told, as a check.
    const QString bareFile = s.programFolder + QStringLiteral("/bare-scan.db");
    auto scans = [&](const char* figure, const QStringList& texts, const QString& where) {
        BareScanner bare(bareFile, stock, where);
        int i = 0, j = 0;
        scan(texts.last());  // the first of its kind after a choice is timed above
        const int before = basketLines(form);
        const auto [ours, baseline] = bench::pairedMedianMs(
            static_cast<int>(texts.size()), [&] { scan(texts[i++ % texts.size()]); },
            [&] { bare.book(texts[j++ % texts.size()]); });
        std::fprintf(stderr, "%s: %d new lines from %lld texts\n", figure,
                     basketLines(form) - before, static_cast<long long>(texts.size()));
        report.ratio(s.name(figure), ours, baseline);
    };
    scans("scan_barcode", barcodes, QStringLiteral("Barkod = ?1"));
    scans("scan_barkod3", third, QStringLiteral("Barkod3 = ?1"));
    scans("scan_name_prefix", names,
          QStringLiteral("StokAdi >= ?1 AND StokAdi < ?2 ORDER BY StokAdi"));

    // The grids: a tap on "Stok Adı" sorts the whole list by name and shows the first screen;
    // a tap on Barkod (no index used) sorts on a plain column; a long drag positions once; then
    // the grid is scrolled from end to end and the memory read.
    auto* grid = form.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    const auto tap = [grid](int section) {
        Q_EMIT grid->horizontalHeader()->sectionClicked(section);
        grid->viewport()->grab();
    };
    const double byName = bench::medianMs(g_runs, [&] { tap(1); });
    const QStringList shown = firstRows(grid, 1, 30);
    if (!inTurkishOrder(shown))
        std::fprintf(stderr, "name sort: first rows not in Turkish order: %s\n",
                     qPrintable(shown.mid(0, 8).join(QStringLiteral(" | "))));
    report.value(s.name("sort_by_name_tap"), byName, QStringLiteral("ms"));
    const double byBarcode = bench::medianMs(g_runs, [&] { tap(0); });
    report.value(s.name("sort_by_column"), byBarcode, QStringLiteral("ms"));
    const int unit = form.findChild<QLabel*>(QStringLiteral("Label7"))->height();
    const double drag = bench::medianMs(9, [&] {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, 1000.0 * unit), QPointF(),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, 0), QPointF(), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &press);
        QApplication::sendEvent(grid->viewport(), &release);
    });
    report.value(s.name("drag_1000_rows"), drag, QStringLiteral("ms"));
    QElapsedTimer scrolled;
    scrolled.start();
    for (int row = 0; row < grid->model()->rowCount(); row += 40) {
        grid->scrollTo(grid->model()->index(row, 0));
        grid->viewport()->grab();
    }
    std::fprintf(stderr, "grid scrolled end to end in %.0f ms\n",
                 static_cast<double>(scrolled.elapsed()));
    report.value(s.name("rss_grid_scrolled"), residentMegabytes(), QStringLiteral("MB"));
    form.close();
}

// A restart with 100 lines in the basket: the lines entered through the form, the form gone as
// in a power cut, and a new terminal on the same program folder timed until it shows the
// restored basket painted.
void benchRestart(bench::Report& report, const Setup& s) {
    const QStringList barcodes = column(s.stock(),
                                        "SELECT Barkod FROM StokKartlar WHERE StokGizle=0 AND "
                                        "Barkod2 IS NULL ORDER BY rowid LIMIT 100 OFFSET 2000");
    // A sales terminal: set to account work once, then started in it on the head office's books
    // (a terminal started in warehouse work has its branch's books bound, whose basket a restart
    // on the head office's path does not take back).
    auto terminal =
        std::make_unique<Terminal>(s.serverPath, s.programFolder, s.configFolder, *s.messages);
    startSale(terminal->form);
    terminal.reset();
    terminal =
        std::make_unique<Terminal>(s.serverPath, s.programFolder, s.configFolder, *s.messages);
    startSale(terminal->form);
    auto* combo = terminal->form.findChild<QComboBox*>(QStringLiteral("Combo1"));
    combo->setCurrentIndex(1);
    terminal->form.Combo1_Click();
    auto* text1 = terminal->form.findChild<QLineEdit*>(QStringLiteral("Text1"));
    for (const QString& code : barcodes) {
        text1->setText(code);
        terminal->form.Text1_Search();
    }
    if (basketLines(terminal->form) != 100)
        std::fprintf(stderr, "restart: %d lines entered of 100\n", basketLines(terminal->form));
    const double restart = bench::medianMs(
        g_runs,
        [&] {
            terminal = std::make_unique<Terminal>(s.serverPath, s.programFolder, s.configFolder,
                                                  *s.messages);
            terminal->form.grab();
        },
        [&] { terminal.reset(); });
    const QString status = terminal->form.findChild<QLabel*>(QStringLiteral("StatusStrip"))->text();
    if (!status.contains(QStringLiteral("Önceki sepet geri yüklendi: 100 satır, ")))
        std::fprintf(stderr, "restart: the basket was not restored; the status strip says: %s\n",
                     qPrintable(status));
    report.value(s.name("restart_100_line_basket"), restart, QStringLiteral("ms"));
    // The next terminal on this folder starts afresh.
    const QString basket = terminal->form.workingCopyPath();
    terminal.reset();
    data::basket::clear(basket);
}

// The 1000 lines every posting benchmark enters through the view of the basket.
const QString EnterThousandLines = QStringLiteral(
    "UPDATE StokKartlar SET KalanB = 1, GirenTutar = Fiyat WHERE rowid IN (SELECT rowid FROM "
    "StokKartlar WHERE StokGizle=0 ORDER BY rowid LIMIT 1000)");
const QString EnterThousandInvoiceLines = QStringLiteral(
    "UPDATE StokKartlar SET KalanB = 1, GirenTutar = Fiyat, Kar = Fiyat * Kdv / 100 WHERE rowid "
    "IN (SELECT rowid FROM StokKartlar WHERE StokGizle=0 ORDER BY rowid LIMIT 1000)");

// The bare baselines' basket: the same 1000 lines as the view enters, straight into the table.
const QString FillBareBasket = QStringLiteral(
    "DELETE FROM main.Basket; INSERT INTO main.Basket (StokKod, StokAdi, Birim, Barkod, Fiyat2, "
    "KalanB, KalanA, GirenTutar, Kdv, Kar, Entered) SELECT StokKod, StokAdi, Birim, Barkod, "
    "Fiyat, 1, KalanB, Fiyat, Kdv, Fiyat * Kdv / 100, rowid FROM %1.StokKartlar WHERE "
    "StokGizle=0 ORDER BY rowid LIMIT 1000");

// A line as the bare baselines read it from their basket.
struct BareLine {
    QByteArray code, name, unit, barcode;
    double quantity, price, amount, vat;
};

std::vector<BareLine> bareLines(sqlite3* db) {
    std::vector<BareLine> lines;
    sqlite3_stmt* st = prepare(
        db, QStringLiteral("SELECT StokKod, StokAdi, Birim, Barkod, KalanB, Fiyat2, GirenTutar, "
                           "Kdv FROM main.Basket WHERE KalanB <> 0 AND Removed = 0 ORDER BY "
                           "StokKod"));
    while (sqlite3_step(st) == SQLITE_ROW)
        lines.push_back({textAt(st, 0), textAt(st, 1), textAt(st, 2), textAt(st, 3),
                         sqlite3_column_double(st, 4), sqlite3_column_double(st, 5),
                         sqlite3_column_double(st, 6), sqlite3_column_double(st, 7)});
    sqlite3_finalize(st);
    return lines;
}

// The rows a warehouse posting of the basket's lines writes, by bare SQLite in one transaction
// at full durability: the lines read from the basket; for each line and side one card read, one
// movement and one card update; two account movements and balances; the counter; the lines gone.
// Written out in one piece, as a writer with no layers would: that is what it measures.
double barePosting(const QString& branch, const QString& head, const QString& basketFile) {
    sqlite3* db = openBareBasket(basketFile);
    attachBook(db, branch + QStringLiteral("Stok.mdb"), QStringLiteral("ss"));
    attachBook(db, branch + QStringLiteral("Cari.mdb"), QStringLiteral("sc"));
    attachBook(db, branch + QStringLiteral("Index.mdb"), QStringLiteral("si"));
    attachBook(db, head + QStringLiteral("Stok.mdb"), QStringLiteral("hs"));
    attachBook(db, head + QStringLiteral("Cari.mdb"), QStringLiteral("hc"));
    size_t posted = 0;
    const double ms = bench::medianMs(
        g_runs,
        [&] {
            exec(db, QStringLiteral("BEGIN IMMEDIATE"));
            const std::vector<BareLine> lines = bareLines(db);
            posted = lines.size();
            for (const char* side : {"ss", "hs"}) {
                const QString alias = QString::fromLatin1(side);
                sqlite3_stmt* find =
                    prepare(db, QStringLiteral("SELECT rowid, GirenMik, CikanMik, GirenTutar, "
                                               "CikanTutar, StokAdi, Barkod, gFiyat FROM "
                                               "%1.StokKartlar WHERE StokKod=?")
                                    .arg(alias));
                sqlite3_stmt* insert = prepare(
                    db, QStringLiteral("INSERT INTO %1.StokHareket (StokHarKod, Tarih, Aciklama, "
                                       "Birim, Fiyat, Miktar, Tutar, GirisCikis, Carisi, DigerId, "
                                       "Nerde, SatTar, StokAd, Unvan, Barkod, Maliyet, Sube) "
                                       "VALUES (?,?,?,?,?,?,?,?,?,?,'C',?,?,?,?,?,?)")
                            .arg(alias));
                sqlite3_stmt* update = prepare(
                    db, QStringLiteral("UPDATE %1.StokKartlar SET GirenMik=?, CikanMik=?, "
                                       "GirenTutar=?, CikanTutar=?, KalanB=?, KalanA=? WHERE "
                                       "rowid=?")
                            .arg(alias));
                for (const BareLine& l : lines) {
                    bindText(find, 1, l.code);
                    if (sqlite3_step(find) == SQLITE_ROW) {
                        const double in = sqlite3_column_double(find, 1) + l.quantity,
                                     out = sqlite3_column_double(find, 2);
                        bindText(insert, 1, l.code);
                        bindText(insert, 2, "06.12.2026 10:30");
                        bindText(insert, 3, l.name + " İle");
                        bindText(insert, 4, l.unit);
                        sqlite3_bind_double(insert, 5, l.price);
                        sqlite3_bind_double(insert, 6, l.quantity);
                        sqlite3_bind_double(insert, 7, l.amount);
                        bindText(insert, 8, "Alış");
                        bindText(insert, 9, "M01");
                        bindText(insert, 10, "261");
                        bindText(insert, 11, "2026-12-06 10:30:00");
                        bindText(insert, 12, textAt(find, 5));
                        bindText(insert, 13, "KADIKÖY ŞUBESİ");
                        bindText(insert, 14, textAt(find, 6));
                        sqlite3_bind_double(insert, 15, sqlite3_column_double(find, 7));
                        bindText(insert, 16, "01");
                        sqlite3_step(insert);
                        sqlite3_reset(insert);
                        sqlite3_bind_double(update, 1, in);
                        sqlite3_bind_double(update, 2, out);
                        sqlite3_bind_double(update, 3, sqlite3_column_double(find, 3) + l.amount);
                        sqlite3_bind_double(update, 4, sqlite3_column_double(find, 4));
                        sqlite3_bind_double(update, 5, in > out ? in - out : 0);
                        sqlite3_bind_double(update, 6, in > out ? 0 : out - in);
                        sqlite3_bind_int64(update, 7, sqlite3_column_int64(find, 0));
                        sqlite3_step(update);
                        sqlite3_reset(update);
                    }
                    sqlite3_reset(find);
                }
                for (sqlite3_stmt* st : {find, insert, update})
                    sqlite3_finalize(st);
            }
            exec(db, QStringLiteral(
                         "INSERT INTO sc.CariHareket (CariHarKod, Borc) VALUES ('M01', 1);"
                         "UPDATE sc.CariKartlar SET Borc=Borc+1 WHERE CariKod='M01';"
                         "INSERT INTO hc.CariHareket (CariHarKod, Borc) VALUES ('Şube02', 1);"
                         "UPDATE hc.CariKartlar SET Borc=Borc+1 WHERE CariKod='Şube02';"
                         "UPDATE si.Mdbindex SET Indexi=Indexi WHERE Tarih='2026';"
                         "DELETE FROM main.Basket WHERE KalanB <> 0 AND Removed = 0;"
                         "COMMIT"));
        },
        [&] { exec(db, FillBareBasket.arg(QStringLiteral("ss"))); });
    if (posted != 1000) std::fprintf(stderr, "bare posting: %zu lines\n", posted);
    sqlite3_close(db);
    QFile::remove(basketFile);
    return ms;
}

// "Tamam" for a warehouse sale of the 1000 lines entered in the basket `wc` to the first branch.
double timeBranchSale(const QString& branch, const QString& wc, data::Database& basket) {
    core::SystemClock clock;
    return bench::medianMs(
        g_runs,
        [&] {
            posting::PostingRequest r;
            r.warehouse = true;
            r.sale = true;
            r.serverPath = branch;
            r.workingCopy = wc;
            r.targetTitle = QStringLiteral("KADIKÖY ŞUBESİ");
            r.targetIndex = 0;
            r.clock = &clock;
            if (posting::postWorkingSet(r).lines != 1000)
                std::fprintf(stderr, "posting %s: wrong lines\n", qPrintable(branch));
            if (data::basket::summary(basket).lines != 0)
                std::fprintf(stderr, "posting %s: lines left in the basket\n", qPrintable(branch));
        },
        [&] { basket.execute(EnterThousandLines); });
}

// "Tamam" for a warehouse sale of 1000 lines on the real posting, beside bare SQLite.
void benchPosting(bench::Report& report, const Setup& s) {
    const QString branch = modes::dataDirectory(s.serverPath) + QStringLiteral("02");
    const QString head = modes::dataDirectory(s.serverPath) + QStringLiteral("01");
    const QString wc = s.programFolder + QStringLiteral("/Temp8.Mdb");
    const auto basket =
        modes::openBasket(wc, branch + QStringLiteral("Stok.mdb"), data::basket::View::Sale);
    const double ours = timeBranchSale(branch, wc, *basket);
    const double bare =
        barePosting(branch, head, s.programFolder + QStringLiteral("/bare-post.db"));
    report.ratio(s.name("post_warehouse_1000_lines"), ours, bare);
}

// The rows an invoice of the basket's lines writes, by bare SQLite in one transaction at full
// durability: every field of every row bound from the line's values, as any writer of these rows
// has to; the lines gone from the basket. Written out in one piece, as a writer with no layers
// would: that is what it measures.
double bareInvoice(const QString& books, const QString& basketFile) {
    sqlite3* db = openBareBasket(basketFile);
    attachBook(db, books + QStringLiteral("Stok.mdb"), QStringLiteral("ss"));
    attachBook(db, books + QStringLiteral("Cari.mdb"), QStringLiteral("sc"));
    attachBook(db, books + QStringLiteral("Index.mdb"), QStringLiteral("si"));
    attachBook(db, books + QStringLiteral("Fatura.mdb"), QStringLiteral("sf"));
    size_t invoiced = 0;
    const double ms = bench::medianMs(
        g_runs,
        [&] {
            exec(db, QStringLiteral("BEGIN IMMEDIATE"));
            const std::vector<BareLine> lines = bareLines(db);
            invoiced = lines.size();
            sqlite3_stmt* find =
                prepare(db, QStringLiteral("SELECT rowid, GirenMik, CikanMik, GirenTutar, "
                                           "CikanTutar FROM ss.StokKartlar WHERE StokKod=?"));
            sqlite3_stmt* line = prepare(
                db, QStringLiteral("INSERT INTO sf.FatHareket (FatHarNo, FatGirisCikis, FatCari, "
                                   "FatStok, Stok, FatAciklama, FatMiktar, FatFiyat, FatTutar, "
                                   "DigerId, Nerde, FatTotal, FatKdv, Birim, SeriNoDiger, "
                                   "Barkod, Tarih, KdvSi, Yeni) VALUES "
                                   "(?,0,?,?,?,?,?,?,?,?,'F',?,?,?,?,?,?,?,1)"));
            sqlite3_stmt* move = prepare(
                db, QStringLiteral("INSERT INTO ss.StokHareket (StokHarKod, Tarih, Aciklama, "
                                   "Fiyat, Miktar, Tutar, GirisCikis, Carisi, DigerId, Nerde, "
                                   "StokAd, SeriNoDiger, Unvan, KdvTut, Birim, Yeni, Sube, "
                                   "Server) VALUES (?,?,?,?,?,?,'Satış',?,?,'F',?,?,?,?,?,1,NULL,"
                                   "0)"));
            sqlite3_stmt* update =
                prepare(db, QStringLiteral("UPDATE ss.StokKartlar SET GirenMik=?, CikanMik=?, "
                                           "GirenTutar=?, CikanTutar=?, KalanB=?, KalanA=? WHERE "
                                           "rowid=?"));
            int serialNumber = 262;
            for (const BareLine& l : lines) {
                const QByteArray serial = QByteArray::number(serialNumber++);
                const QByteArray when = QDateTime::currentDateTime()
                                            .toString(QStringLiteral("dd.MM.yyyy HH:mm"))
                                            .toUtf8();
                bindText(find, 1, l.code);
                if (sqlite3_step(find) == SQLITE_ROW) {
                    const double in = sqlite3_column_double(find, 1),
                                 out = sqlite3_column_double(find, 2) + l.quantity;
                    sqlite3_bind_double(update, 1, in);
                    sqlite3_bind_double(update, 2, out);
                    sqlite3_bind_double(update, 3, sqlite3_column_double(find, 3));
                    sqlite3_bind_double(update, 4, sqlite3_column_double(find, 4) + l.amount);
                    sqlite3_bind_double(update, 5, in > out ? in - out : 0);
                    sqlite3_bind_double(update, 6, in > out ? 0 : out - in);
                    sqlite3_bind_int64(update, 7, sqlite3_column_int64(find, 0));
                    sqlite3_step(update);
                    sqlite3_reset(update);
                }
                sqlite3_reset(find);
                bindText(line, 1, "S00001");
                bindText(line, 2, "C002");
                bindText(line, 3, l.code);
                bindText(line, 4, l.name);
                bindText(line, 5, l.name);
                sqlite3_bind_double(line, 6, l.quantity);
                sqlite3_bind_double(line, 7, l.price);
                sqlite3_bind_double(line, 8, l.amount);
                bindText(line, 9, "261");
                sqlite3_bind_double(line, 10, 1000);
                sqlite3_bind_double(line, 11, l.vat);
                bindText(line, 12, l.unit);
                bindText(line, 13, serial);
                bindText(line, 14, l.barcode);
                bindText(line, 15, when);
                sqlite3_bind_double(line, 16, l.amount * l.vat / 100);
                sqlite3_step(line);
                sqlite3_reset(line);
                bindText(move, 1, l.code);
                bindText(move, 2, "2026-12-06 10:30:00");
                bindText(move, 3, "00001 Nolu Satış Faturası ile");
                sqlite3_bind_double(move, 4, l.price);
                sqlite3_bind_double(move, 5, l.quantity);
                sqlite3_bind_double(move, 6, l.amount);
                bindText(move, 7, "C002");
                bindText(move, 8, "261");
                bindText(move, 9, l.name);
                bindText(move, 10, serial);
                bindText(move, 11, "ÖZTÜRK MARKET");
                sqlite3_bind_double(move, 12, l.amount * l.vat / 100);
                bindText(move, 13, l.unit);
                sqlite3_step(move);
                sqlite3_reset(move);
            }
            for (sqlite3_stmt* st : {find, line, move, update})
                sqlite3_finalize(st);
            exec(db,
                 QStringLiteral("INSERT INTO sf.Faturalar (FaturaNo, FatTop) VALUES ('S1', 1);"
                                "INSERT INTO sc.CariHareket (CariHarKod, Borc) VALUES ('C002', 1);"
                                "UPDATE sc.CariKartlar SET Borc=Borc+1 WHERE CariKod='C002';"
                                "INSERT INTO sc.CariHareket (CariHarKod, Borc) VALUES ('=110', 1);"
                                "UPDATE sc.CariKartlar SET Borc=Borc+1 WHERE CariKod='=110';"
                                "UPDATE si.Mdbindex SET Serino=Serino WHERE Tarih='2026';"
                                "DELETE FROM main.Basket WHERE KalanB <> 0 AND Removed = 0;"
                                "COMMIT"));
        },
        [&] { exec(db, FillBareBasket.arg(QStringLiteral("ss"))); });
    if (invoiced != 1000) std::fprintf(stderr, "bare invoice: %zu lines\n", invoiced);
    sqlite3_close(db);
    QFile::remove(basketFile);
    return ms;
}

// "Tamam" on the invoice screen for the 1000 lines entered in the basket `wc`.
double timeInvoice(const QString& serverPath, const QString& wc, data::Database& basket) {
    core::SystemClock clock;
    return bench::medianMs(
        g_runs,
        [&] {
            invoicing::InvoiceRequest r;
            r.serverPath = serverPath;
            r.workingCopy = wc;
            r.customerTitle = QStringLiteral("ÖZTÜRK MARKET");
            r.clock = &clock;
            if (invoicing::writeInvoice(r).lines != 1000)
                std::fprintf(stderr, "invoice %s: wrong lines\n", qPrintable(serverPath));
            if (data::basket::summary(basket).lines != 0)
                std::fprintf(stderr, "invoice %s: lines left in the basket\n",
                             qPrintable(serverPath));
        },
        [&] { basket.execute(EnterThousandInvoiceLines); });
}

// "Tamam" on the invoice screen for 1000 lines, beside bare SQLite.
void benchInvoice(bench::Report& report, const Setup& s) {
    const QString wc = s.programFolder + QStringLiteral("/Temp7.Mdb");
    const auto basket = modes::openBasket(wc, s.stock(), data::basket::View::Sale);
    const double ours = timeInvoice(s.serverPath, wc, *basket);
    const double bare = bareInvoice(s.serverPath, s.programFolder + QStringLiteral("/bare-inv.db"));
    report.ratio(s.name("invoice_1000_lines"), ours, bare);
}

#ifdef POSTING_WORKER
// Invoices per second from `terminals` processes at once on one number file, each writing
// `count` invoices; timed from the moment all have made their working copies.
double invoicesPerSecond(const QString& serverPath, const QString& workDir, int terminals,
                         int count, const QString& mode = QStringLiteral("invoice")) {
    const QString go = workDir + QStringLiteral("/go");
    QFile::remove(go);
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int t = 1; t <= terminals; ++t) {
        auto w = std::make_unique<QProcess>();
        w->start(QStringLiteral(POSTING_WORKER),
                 {serverPath, workDir, QString::number(20 + t), QString::number(count), mode, go});
        workers.push_back(std::move(w));
    }
    for (auto& w : workers)
        while (!w->canReadLine() && w->waitForReadyRead(60000)) {
        }
    for (auto& w : workers)
        w->readLine();  // "ready"
    QElapsedTimer timer;
    QFile(go).open(QIODevice::WriteOnly);
    timer.start();
    long written = 0;
    for (auto& w : workers) {
        w->waitForFinished(600000);
        if (w->exitCode() != 0)
            std::fprintf(stderr, "%s worker: %s\n", qPrintable(mode),
                         w->readAllStandardError().constData());
        written +=
            QString::fromUtf8(w->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts).size();
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (written != static_cast<long>(terminals) * count)
        std::fprintf(stderr, "%s workers wrote %ld of %d\n", qPrintable(mode), written,
                     terminals * count);
    return static_cast<double>(written) / seconds;
}

void benchInvoiceTerminals(bench::Report& report, const QString& serverPath,
                           const QString& programFolder) {
    const double alone = invoicesPerSecond(serverPath, programFolder, 1, 40);
    const double eight = invoicesPerSecond(serverPath, programFolder, 8, 40);
    report.value(QStringLiteral("invoice_1_terminal"), alone, QStringLiteral("invoices/s"));
    report.value(QStringLiteral("invoice_8_terminals"), eight, QStringLiteral("invoices/s"));
    const QString branch = modes::dataDirectory(serverPath) + QStringLiteral("02");
    report.value(QStringLiteral("post_8_terminals"),
                 invoicesPerSecond(branch, programFolder, 8, 40, QStringLiteral("post")),
                 QStringLiteral("postings/s"));
}
#endif

}  // namespace

// libpq's connection string for a server; the user comes from the environment.
QByteArray serverInfo(const data::ServerAddress& a) {
    return QStringLiteral("host=%1 port=%2 dbname=%3")
        .arg(a.host)
        .arg(a.port)
        .arg(a.database)
        .toUtf8();
}

// The bare way to the same rows: one COPY of the cards, each line split at its tabs into the
// columns of a new SQLite table.
void bareServerCopy(const data::ServerAddress& a, const QString& schema, const QString& target,
                    int columns) {
    QFile::remove(target);
    PGconn* conn = PQconnectdb(serverInfo(a).constData());
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(target).constData(), &db);
    QStringList names, marks;
    for (int i = 0; i < columns; ++i) {
        names << QStringLiteral("c%1").arg(i);
        marks << QStringLiteral("?");
    }
    const QByteArray create =
        QStringLiteral(
            "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN; CREATE TABLE t (%1)")
            .arg(names.join(u','))
            .toUtf8();
    sqlite3_exec(db, create.constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db,
                       QStringLiteral("INSERT INTO t VALUES (%1)").arg(marks.join(u',')).toUtf8(),
                       -1, &ins, nullptr);
    const QByteArray copy =
        QStringLiteral("COPY %1.stokkartlar TO STDOUT").arg(data::quotedSchema(schema)).toUtf8();
    PQclear(PQexec(conn, copy.constData()));
    char* line = nullptr;
    int n;
    while ((n = PQgetCopyData(conn, &line, 0)) > 0) {
        const char* p = line;
        const char* end = line + n - 1;
        for (int c = 1; c <= columns && p <= end; ++c) {
            const char* tab =
                static_cast<const char*>(memchr(p, '\t', static_cast<size_t>(end - p)));
            const char* stop = tab ? tab : end;
            sqlite3_bind_text(ins, c, p, static_cast<int>(stop - p), SQLITE_TRANSIENT);
            if (!tab) break;
            p = tab + 1;
        }
        sqlite3_step(ins);
        sqlite3_reset(ins);
        PQfreemem(line);
    }
    PQclear(PQgetResult(conn));
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    PQfinish(conn);
}

// The rows a warehouse posting of `lines` lines writes, by bare libpq in one transaction: per
// line and side a card read, a movement insert and a card update, prepared once.
double barePostingPg(const data::ServerAddress& a, const std::vector<QByteArray>& codes) {
    PGconn* conn = PQconnectdb(serverInfo(a).constData());
    for (const char* side : {"02stok", "01stok"}) {
        const QByteArray s = data::quotedSchema(QString::fromLatin1(side)).toUtf8();
        PQclear(PQprepare(conn, ("find" + QByteArray(side)).constData(),
                          ("SELECT rowid, girenmik, cikanmik, girentutar, cikantutar, stokadi, "
                           "barkod, gfiyat FROM " +
                           s + ".stokkartlar WHERE stokkod=$1")
                              .constData(),
                          1, nullptr));
        PQclear(PQprepare(conn, ("insert" + QByteArray(side)).constData(),
                          ("INSERT INTO " + s +
                           ".stokhareket (stokharkod, tarih, aciklama, fiyat, miktar, tutar, "
                           "giriscikis, carisi, digerid, nerde, sattar, stokad, unvan, barkod, "
                           "maliyet, sube) VALUES ($1,'06.12.2026 10:30',$2,$3,1,$3,'Alış','M01',"
                           "'261','C','2026-12-06 10:30:00',$4,'KADIKÖY ŞUBESİ',$5,$6,'01')")
                              .constData(),
                          6, nullptr));
        PQclear(PQprepare(conn, ("update" + QByteArray(side)).constData(),
                          ("UPDATE " + s +
                           ".stokkartlar SET girenmik=$1, cikanmik=$2, girentutar=$3, "
                           "cikantutar=$4, kalanb=$5, kalana=$6 WHERE rowid=$7")
                              .constData(),
                          7, nullptr));
    }
    const double ms = bench::medianMs(5, [&] {
        PQclear(PQexec(conn, "BEGIN"));
        for (const char* side : {"02stok", "01stok"}) {
            for (const QByteArray& code : codes) {
                const char* key[] = {code.constData()};
                PGresult* card = PQexecPrepared(conn, ("find" + QByteArray(side)).constData(), 1,
                                                key, nullptr, nullptr, 0);
                if (PQntuples(card) > 0) {
                    const double in = std::atof(PQgetvalue(card, 0, 1)) + 1;
                    const double out = std::atof(PQgetvalue(card, 0, 2));
                    const QByteArray price = PQgetvalue(card, 0, 7);
                    const QByteArray text = QByteArray(PQgetvalue(card, 0, 5)) + " İle";
                    const char* row[] = {code.constData(),       text.constData(),
                                         price.constData(),      PQgetvalue(card, 0, 5),
                                         PQgetvalue(card, 0, 6), price.constData()};
                    PQclear(PQexecPrepared(conn, ("insert" + QByteArray(side)).constData(), 6, row,
                                           nullptr, nullptr, 0));
                    const QByteArray v[] = {QByteArray::number(in),
                                            QByteArray::number(out),
                                            PQgetvalue(card, 0, 3),
                                            PQgetvalue(card, 0, 4),
                                            QByteArray::number(in > out ? in - out : 0),
                                            QByteArray::number(in > out ? 0 : out - in),
                                            PQgetvalue(card, 0, 0)};
                    const char* values[7];
                    for (int k = 0; k < 7; ++k)
                        values[k] = v[k].constData();
                    PQclear(PQexecPrepared(conn, ("update" + QByteArray(side)).constData(), 7,
                                           values, nullptr, nullptr, 0));
                }
                PQclear(card);
            }
        }
        PQclear(PQexec(conn,
                       "INSERT INTO \"02cari\".carihareket (cariharkod, borc) VALUES ('M01', 1);"
                       "UPDATE \"02cari\".carikartlar SET borc=borc+1 WHERE carikod='M01';"
                       "INSERT INTO \"01cari\".carihareket (cariharkod, borc) VALUES ('Şube02', 1);"
                       "UPDATE \"01cari\".carikartlar SET borc=borc+1 WHERE carikod='Şube02';"
                       "UPDATE \"02index\".mdbindex SET indexi=indexi WHERE tarih='2026';"
                       "COMMIT"));
    });
    PQfinish(conn);
    return ms;
}

// The rows an invoice of the lines of `codes` writes, by bare libpq in one transaction: per line
// a card read, an invoice line, a stock movement and a card update, prepared once.
double bareInvoicePg(const data::ServerAddress& a, const std::vector<QByteArray>& codes) {
    PGconn* conn = PQconnectdb(serverInfo(a).constData());
    PQclear(PQprepare(conn, "find",
                      "SELECT rowid, girenmik, cikanmik, girentutar, cikantutar, stokadi, barkod, "
                      "fiyat, kdv, birim FROM \"01stok\".stokkartlar WHERE stokkod=$1",
                      1, nullptr));
    PQclear(PQprepare(conn, "line",
                      "INSERT INTO \"01fatura\".fathareket (fatharno, fatgiriscikis, fatcari, "
                      "fatstok, stok, fataciklama, fatmiktar, fatfiyat, fattutar, digerid, nerde, "
                      "fattotal, fatkdv, birim, serinodiger, barkod, tarih, kdvsi, yeni) VALUES "
                      "('S00001',0,'C002',$1,$2,$2,1,$3,$3,'261','F',1000,$4,$5,$6,$7,"
                      "'06.12.2026 10:30',$8,1)",
                      8, nullptr));
    PQclear(PQprepare(conn, "move",
                      "INSERT INTO \"01stok\".stokhareket (stokharkod, tarih, aciklama, fiyat, "
                      "miktar, tutar, giriscikis, carisi, digerid, nerde, stokad, serinodiger, "
                      "unvan, kdvtut, birim, yeni, sube, server) VALUES ($1,'2026-12-06 "
                      "10:30:00','00001 Nolu Satış Faturası ile',$2,1,$2,'Satış','C002','261','F',"
                      "$3,$4,'ÖZTÜRK MARKET',$5,$6,1,NULL,0)",
                      6, nullptr));
    PQclear(PQprepare(conn, "update",
                      "UPDATE \"01stok\".stokkartlar SET girenmik=$1, cikanmik=$2, "
                      "girentutar=$3, cikantutar=$4, kalanb=$5, kalana=$6 WHERE rowid=$7",
                      7, nullptr));
    const double ms = bench::medianMs(5, [&] {
        PQclear(PQexec(conn, "BEGIN"));
        int serial = 262;
        for (const QByteArray& code : codes) {
            const char* key[] = {code.constData()};
            PGresult* card = PQexecPrepared(conn, "find", 1, key, nullptr, nullptr, 0);
            if (PQntuples(card) > 0) {
                const auto field = [card](int c) { return QByteArray(PQgetvalue(card, 0, c)); };
                const double in = std::atof(PQgetvalue(card, 0, 1));
                const double out = std::atof(PQgetvalue(card, 0, 2)) + 1;
                const double price = std::atof(PQgetvalue(card, 0, 7));
                const QByteArray vat =
                    QByteArray::number(price * std::atof(PQgetvalue(card, 0, 8)) / 100);
                const QByteArray number = QByteArray::number(serial++);
                const QByteArray line[] = {code,     field(5), field(7), field(8),
                                           field(9), number,   field(6), vat};
                const QByteArray move[] = {code, field(7), field(5), number, vat, field(9)};
                const QByteArray card7[] = {
                    QByteArray::number(in),
                    QByteArray::number(out),
                    field(3),
                    QByteArray::number(std::atof(PQgetvalue(card, 0, 4)) + price),
                    QByteArray::number(in > out ? in - out : 0),
                    QByteArray::number(in > out ? 0 : out - in),
                    field(0)};
                const auto run = [conn](const char* name, const auto& values) {
                    const char* v[8];
                    int n = 0;
                    for (const QByteArray& value : values)
                        v[n++] = value.constData();
                    PGresult* done = PQexecPrepared(conn, name, n, v, nullptr, nullptr, 0);
                    if (PQresultStatus(done) != PGRES_COMMAND_OK)
                        std::fprintf(stderr, "bare invoice: %s", PQresultErrorMessage(done));
                    PQclear(done);
                };
                run("line", line);
                run("move", move);
                run("update", card7);
            }
            PQclear(card);
        }
        PQclear(PQexec(conn,
                       "INSERT INTO \"01fatura\".faturalar (faturano, fattop) VALUES ('S1', 1);"
                       "INSERT INTO \"01cari\".carihareket (cariharkod, borc) VALUES ('C002', 1);"
                       "UPDATE \"01cari\".carikartlar SET borc=borc+1 WHERE carikod='C002';"
                       "INSERT INTO \"01cari\".carihareket (cariharkod, borc) VALUES ('=110', 1);"
                       "UPDATE \"01cari\".carikartlar SET borc=borc+1 WHERE carikod='=110';"
                       "UPDATE \"01index\".mdbindex SET serino=serino WHERE tarih='2026';"
                       "UPDATE terminal.fatno SET no=no;"
                       "COMMIT"));
    });
    PQfinish(conn);
    return ms;
}

// A target chosen on the server's books in the real main window until a scan on it has booked:
// the first time the cards' cache is filled and their order made; later the cache is brought
// up to date by what changed on the server. After one card changed (a quantity another terminal
// posted), beside a choice after nothing changed, taken in turn. Long for the reason benchRoad
// is: one walk on one window, in the operator's order.
void benchServerRoad(bench::Report& report, const Setup& s, const QString& server) {
    const auto address = data::parseServerPath(server);
    const QString head = server + QStringLiteral("/01");
    Terminal terminal(head, s.programFolder, s.configFolder, *s.messages);
    app::TerminalForm& form = terminal.form;
    startSale(form);
    auto* combo = form.findChild<QComboBox*>(QStringLiteral("Combo1"));
    auto* text1 = form.findChild<QLineEdit*>(QStringLiteral("Text1"));
    const QString barcode =
        column(s.stock(),
               "SELECT Barkod FROM StokKartlar WHERE StokGizle=0 AND Barkod2 IS NULL ORDER BY "
               "rowid LIMIT 1 OFFSET 1000")
            .value(0);
    int target = 0;
    const auto chooseAndScan = [&] {
        combo->setCurrentIndex(target++ % 3);
        form.Combo1_Click();
        text1->setText(barcode);
        form.Text1_Search();
    };
    // What the window keeps of the server's cards: its caches and their orders.
    const QDir work(s.programFolder);
    const auto forgetCache = [&] {
        for (const QString& f :
             work.entryList({QStringLiteral("Cards*"), QStringLiteral("Order-*")}, QDir::Files))
            QFile::remove(work.filePath(f));
    };
    const auto booked = [&](const char* figure) {
        if (basketLines(form) != 1)
            std::fprintf(stderr, "%s: the scan did not book (%d lines)\n", figure,
                         basketLines(form));
    };
    const double first = bench::medianMs(g_runs, chooseAndScan, forgetCache);
    booked("choose_target_first_pg");
    report.value(s.name("choose_target_first_pg"), first, QStringLiteral("ms"));

    // The company whose cards the window has bound (a terminal that started in warehouse work
    // keeps its branch's books), as its cache says.
    const QString cache =
        data::Database::open(form.workingCopyPath())->attachedFile(QStringLiteral("cards"));
    const auto source = data::parseServerPath(
        column(cache, "SELECT Value FROM CacheMark WHERE Key = 'source'").value(0));
    const QString cards = data::quotedSchema(source ? source->schema() : QString());
    PGconn* conn = PQconnectdb(serverInfo(*address).constData());
    int changes = 0;
    const auto changeOneCard = [&] {
        PGresult* done = PQexec(
            conn, QStringLiteral("UPDATE %1.stokkartlar SET kalanb = kalanb + 1 WHERE rowid = %2")
                      .arg(cards)
                      .arg(1000 + changes++)
                      .toUtf8()
                      .constData());
        if (PQresultStatus(done) != PGRES_COMMAND_OK || QByteArray(PQcmdTuples(done)) != "1")
            std::fprintf(stderr, "server card change: %s\n", PQresultErrorMessage(done));
        PQclear(done);
    };
    const auto [changed, unchanged] =
        bench::pairedMedianMs(g_runs, chooseAndScan, chooseAndScan, changeOneCard);
    booked("choose_target_one_card_changed_pg");
    // The last changed card as the basket shows it: the refresh must have read it.
    PGresult* card =
        PQexec(conn, QStringLiteral("SELECT stokkod, kalanb FROM %1.stokkartlar WHERE rowid = %2")
                         .arg(cards)
                         .arg(1000 + changes - 1)
                         .toUtf8()
                         .constData());
    if (PQntuples(card) == 1) {
        QSqlQuery shown = data::Database::open(form.workingCopyPath())
                              ->query(QStringLiteral("SELECT KalanA FROM StokKartlar WHERE "
                                                     "StokKod = ?"),
                                      {QString::fromUtf8(PQgetvalue(card, 0, 0))});
        const double kept = shown.next() ? shown.value(0).toDouble() : -1;
        shown.finish();
        if (kept != std::atof(PQgetvalue(card, 0, 1)))
            std::fprintf(stderr, "server refresh: the changed card shows %g, the server has %s\n",
                         kept, PQgetvalue(card, 0, 1));
    } else {
        std::fprintf(stderr, "server refresh: the changed card is not on the server\n");
    }
    PQclear(card);
    PQfinish(conn);
    report.ratio(s.name("choose_target_one_card_changed_pg"), changed, unchanged);
    form.close();
}

void benchServer(bench::Report& report, const QString& dataDir, const QString& server,
                 const Setup& setup) {
    const QString& programFolder = setup.programFolder;
    const int items = setup.items;
    try {
        data::importBooks(dataDir, server);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "server books: %s\n", e.what());
        return;
    }
    const auto address = data::parseServerPath(server);
    const auto name = [items](const char* figure) {
        return QStringLiteral("%1_%2_items").arg(QString::fromLatin1(figure)).arg(items);
    };
    // A target on the server: its cards read the first time into the terminal's own file (the
    // cache's first fill), which the basket then attaches. Beside the bare way to the same rows
    // in a local file.
    const QString target = programFolder + QStringLiteral("/Cards9.db");
    const QString stock = server + QStringLiteral("/01Stok.mdb");
    const int columns =
        static_cast<int>(
            data::Database::open(stock)->columns(QStringLiteral("StokKartlar")).size()) +
        1;
    const double bare = bench::medianMs(
        g_runs, [&] { bareServerCopy(*address, QStringLiteral("01stok"), target, columns); });
    const double ours = bench::medianMs(
        g_runs,
        [&] {
            if (!filecopy::copyDatabaseFile(stock, target, nullptr).ok)
                std::fprintf(stderr, "server cards cache: not filled\n");
        },
        [&] { QFile::remove(target); });
    QFile::remove(target);
    report.ratio(name("prepare_working_set_pg"), ours, bare);
    benchServerRoad(report, setup, server);

    // "Tamam" for a warehouse sale of 1000 lines on the server, beside bare libpq.
    const QString branch = server + QStringLiteral("/02");
    const QString wc = programFolder + QStringLiteral("/Temp7.Mdb");
    const auto basket =
        modes::openBasket(wc, branch + QStringLiteral("Stok.mdb"), data::basket::View::Sale);
    std::vector<QByteArray> codes;
    basket->execute(EnterThousandLines);
    {
        QSqlQuery q = basket->query(QStringLiteral(
            "SELECT StokKod FROM main.Basket WHERE KalanB<>0 AND Removed=0 ORDER BY StokKod"));
        while (q.next())
            codes.push_back(q.value(0).toString().toUtf8());
    }
    if (codes.size() != 1000) std::fprintf(stderr, "server posting: %zu codes\n", codes.size());
    const double post = timeBranchSale(branch, wc, *basket);
    report.ratio(name("post_warehouse_1000_lines_pg"), post, barePostingPg(*address, codes));

    // "Tamam" on the invoice screen for 1000 lines of the head office, beside bare libpq.
    const QString head = server + QStringLiteral("/01");
    const QString invoiceCopy = programFolder + QStringLiteral("/Temp6.Mdb");
    const auto invoiceBasket =
        modes::openBasket(invoiceCopy, head + QStringLiteral("Stok.mdb"), data::basket::View::Sale);
    std::vector<QByteArray> invoiced;
    {
        QSqlQuery q = invoiceBasket->query(QStringLiteral(
            "SELECT StokKod FROM StokKartlar WHERE StokGizle=0 ORDER BY rowid LIMIT 1000"));
        while (q.next())
            invoiced.push_back(q.value(0).toString().toUtf8());
    }
    const double invoice = timeInvoice(head, invoiceCopy, *invoiceBasket);
    report.ratio(name("invoice_1000_lines_pg"), invoice, bareInvoicePg(*address, invoiced));
#ifdef POSTING_WORKER
    // Several terminals at once on the one server, timed from the moment all are ready.
    report.value(QStringLiteral("post_8_terminals_pg"),
                 invoicesPerSecond(branch, programFolder, 8, 40, QStringLiteral("post")),
                 QStringLiteral("postings/s"));
    report.value(QStringLiteral("invoice_8_terminals_pg"),
                 invoicesPerSecond(server + QStringLiteral("/01"), programFolder, 8, 40),
                 QStringLiteral("invoices/s"));
#endif
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bench.json");
    const int items = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100000;

    QElapsedTimer run;
    run.start();
    QTemporaryDir books;
    QTemporaryDir program;
    QTemporaryDir config;
    demobooks::Options options;
    options.items = items;
    demobooks::makeBooks(books.path(), options);
    std::fprintf(stderr, "books made in %.1f s\n", static_cast<double>(run.elapsed()) / 1000);
    // What making the books allocated goes back to the system: the memory figure is the
    // terminal's, not the maker's.
    malloc_trim(0);
    demobooks::makePlaceholder(program.filePath(QStringLiteral("Stok.mdb")), demobooks::Options{});
    bench::Report report;
    QuietMessages messages;
    const Setup setup{books.path() + QStringLiteral("/RezoruviZada/01"), program.path(),
                      config.path(), &messages, items};
    report.value(setup.name("stock_file_size"),
                 static_cast<double>(QFileInfo(setup.stock()).size()) / 1e6, QStringLiteral("MB"));

    // TERMINAL_BENCH_ONLY=road,posting runs only the named groups: one figure under a profiler.
    const QStringList only =
        qEnvironmentVariable("TERMINAL_BENCH_ONLY").split(u',', Qt::SkipEmptyParts);
    const auto wanted = [&only](const char* group) {
        return only.isEmpty() || only.contains(QString::fromLatin1(group));
    };
    if (wanted("startup")) benchStartup(report, setup);
    if (wanted("order")) benchOrderMaking(report, setup);
    if (wanted("road")) benchRoad(report, setup);
    if (wanted("restart")) benchRestart(report, setup);
    if (wanted("posting")) benchPosting(report, setup);
    if (wanted("invoice")) benchInvoice(report, setup);
#ifdef POSTING_WORKER
    if (wanted("terminals")) benchInvoiceTerminals(report, setup.serverPath, program.path());
#endif
    // Books on a server, when one is given: TERMINAL_BENCH_SERVER=postgresql://HOST:PORT/DB names
    // an empty database the books are moved into.
    const QString server = qEnvironmentVariable("TERMINAL_BENCH_SERVER");
    if (!server.isEmpty() && wanted("server"))
        benchServer(report, books.path() + QStringLiteral("/RezoruviZada"), server, setup);
    std::fprintf(stderr, "bench ran %.0f s\n", static_cast<double>(run.elapsed()) / 1000);
    return report.write(out) ? 0 : 1;
}
