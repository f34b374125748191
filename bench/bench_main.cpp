// Benchmarks of the terminal on large demo books. Each figure is printed beside a baseline measured
// in the same run: `NAME ours_ms=X baseline_ms=Y ratio=R`, or `NAME value=X unit=U`.
#include <libpq-fe.h>
#include <malloc.h>
#include <sqlite3.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "DemoBooks.h"
#include "Harness.h"
#include "app/Settings.h"
#include "app/TerminalForm.h"
#include "core/Clock.h"
#include "core/Messages.h"
#include "data/BookImport.h"
#include "data/Database.h"
#include "data/ServerBooks.h"
#include "filecopy/CopyDatabaseFile.h"
#include "invoicing/CreateInvoice.h"
#include "modes/Targets.h"
#include "modes/WorkingSet.h"
#include "posting/Posting.h"

namespace {

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

void plainCopy(const QString& from, const QString& to) {
    if (!QFile::copy(from, to)) std::fprintf(stderr, "plain copy failed\n");
}

// Bare SQLite on a copy of the same file: one indexed select and one update of the found row,
// prepared once, as the fastest any booking of a scanned code could be.
double bareSelectUpdate(const QString& file, const QStringList& codes) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_stmt* find = nullptr;
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db, "SELECT rowid FROM StokKartlar WHERE Barkod=?", -1, &find, nullptr);
    sqlite3_prepare_v2(db, "UPDATE StokKartlar SET KalanB=KalanB+1 WHERE rowid=?", -1, &update,
                       nullptr);
    int i = 0;
    const double ms = bench::medianMs(static_cast<int>(codes.size()), [&] {
        const QByteArray code = codes[i++ % codes.size()].toUtf8();
        sqlite3_bind_text(find, 1, code.constData(), static_cast<int>(code.size()),
                          SQLITE_TRANSIENT);
        if (sqlite3_step(find) == SQLITE_ROW) {
            sqlite3_bind_int64(update, 1, sqlite3_column_int64(find, 0));
            sqlite3_step(update);
            sqlite3_reset(update);
        }
        sqlite3_reset(find);
    });
    sqlite3_finalize(find);
    sqlite3_finalize(update);
    sqlite3_close(db);
    return ms;
}

// Plain copy plus one set-based update over the copy: the least a preparation can cost.
double bareCopyUpdate(const QString& from, const QString& to) {
    return bench::medianMs(
        5,
        [&] {
            QFile::copy(from, to);
            sqlite3* db = nullptr;
            sqlite3_open(QFile::encodeName(to).constData(), &db);
            sqlite3_exec(db, "UPDATE StokKartlar SET KalanB=0", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        },
        [&] { QFile::remove(to); });
}

QStringList column(const QString& file, const char* sql) {
    QStringList out;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
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

// The operator's road on the real main window: preparing a working set for a customer's sale,
// then scans that each book one piece.
void benchRoad(bench::Report& report, const QString& serverPath, const QString& programFolder,
               const QString& configFolder, core::Messages& messages, int items) {
    Terminal terminal(serverPath, programFolder, configFolder, messages);
    app::TerminalForm& form = terminal.form;
    form.show();
    form.Form_Activate();
    form.SbCr_Click(1);
    form.findChild<QCheckBox*>(QStringLiteral("Check1(0)"))->setChecked(true);
    auto* combo = form.findChild<QComboBox*>(QStringLiteral("Combo1"));

    const QString stock = serverPath + QStringLiteral("Stok.mdb");
    const QString scratch = programFolder + QStringLiteral("/bare.db");
    const double prepareBase = bareCopyUpdate(stock, scratch);
    int target = 0;
    const double prepare = bench::medianMs(5, [&] {
        combo->setCurrentIndex(target++ % 3);
        form.Combo1_Click();
    });
    report.ratio(QStringLiteral("prepare_working_set_%1_items").arg(items), prepare, prepareBase);

    auto* text1 = form.findChild<QLineEdit*>(QStringLiteral("Text1"));
    const QString wc = form.workingCopyPath();
    const QStringList barcodes = column(
        wc,
        "SELECT Barkod FROM StokKartlar WHERE StokGizle=0 AND Barkod2 IS NULL ORDER BY rowid "
        "LIMIT 300 OFFSET 1000");
    const QStringList third =
        column(wc,
               "SELECT Barkod3 FROM StokKartlar WHERE StokGizle=0 AND Barkod3 IS NOT NULL "
               "ORDER BY rowid LIMIT 300");
    const QStringList names =
        column(wc,
               "SELECT substr(StokAdi, 1, length(StokAdi) - 2) FROM StokKartlar WHERE StokGizle=0 "
               "ORDER BY rowid LIMIT 300 OFFSET 5000");
    QFile::remove(scratch);
    QFile::copy(wc, scratch);
    const double base = bareSelectUpdate(scratch, barcodes);
    auto scans = [&](const QStringList& texts) {
        int i = 0;
        // The first scan after a preparation builds what later scans reuse; it is not timed.
        text1->setText(texts.last());
        form.Text1_Search();
        return bench::medianMs(static_cast<int>(texts.size()), [&] {
            text1->setText(texts[i++ % texts.size()]);
            form.Text1_Search();
        });
    };
    report.ratio(QStringLiteral("scan_barcode_%1_items").arg(items), scans(barcodes), base);
    report.ratio(QStringLiteral("scan_barkod3_%1_items").arg(items), scans(third), base);
    report.ratio(QStringLiteral("scan_name_prefix_%1_items").arg(items), scans(names), base);

    // The grids: a header tap sorts the whole working set and shows the first screen; a long
    // drag positions once; then the grid is scrolled from end to end and the memory read.
    auto* grid = form.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    const double sort = bench::medianMs(5, [&] {
        Q_EMIT grid->horizontalHeader()->sectionClicked(0);  // Barkod, no index: a real sort
        grid->viewport()->grab();
    });
    report.value(QStringLiteral("sort_by_column_%1_items").arg(items), sort, QStringLiteral("ms"));
    const int unit = form.findChild<QLabel*>(QStringLiteral("Label7"))->height();
    const double drag = bench::medianMs(9, [&] {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, 1000.0 * unit), QPointF(),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(50, 0), QPointF(), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &press);
        QApplication::sendEvent(grid->viewport(), &release);
    });
    report.value(QStringLiteral("drag_1000_rows_%1_items").arg(items), drag, QStringLiteral("ms"));
    for (int row = 0; row < grid->model()->rowCount(); row += 40) {
        grid->scrollTo(grid->model()->index(row, 0));
        grid->viewport()->grab();
    }
    report.value(QStringLiteral("rss_grid_scrolled_%1_items").arg(items), residentMegabytes(),
                 QStringLiteral("MB"));
    QFile::remove(scratch);
    form.close();
}

// The same rows a warehouse posting of `lines` lines writes, by bare SQLite in one transaction:
// for each line and side one card read, one movement and one card update; two account movements
// and balances; the counter.
// What the bare baselines need of the working copy's cards, read once before timing.
struct BareRow {
    QByteArray code, name, unit, barcode;
    double price, vat;
};

// A plain SQLite connection on a scratch copy with the books attached, and the first cards.
sqlite3* openBare(const QString& scratchCopy, const QString& attachSql,
                  std::vector<BareRow>& rows) {
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(scratchCopy).constData(), &db);
    sqlite3_exec(db, attachSql.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT StokKod, StokAdi, Birim, Barkod, Fiyat, Kdv FROM StokKartlar "
                       "ORDER BY rowid LIMIT 1000",
                       -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        auto text = [st](int c) {
            return QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
        };
        rows.push_back({text(0), text(1), text(2), text(3), sqlite3_column_double(st, 4),
                        sqlite3_column_double(st, 5)});
    }
    sqlite3_finalize(st);
    return db;
}

void bindText(sqlite3_stmt* st, int i, const QByteArray& t) {
    sqlite3_bind_text(st, i, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

double barePosting(const QString& branch, const QString& head, const QString& scratchCopy,
                   int lines) {
    std::vector<BareRow> rows;
    sqlite3* db = openBare(scratchCopy,
                           QStringLiteral("ATTACH '%1Stok.mdb' AS ss; ATTACH '%1Cari.mdb' AS sc; "
                                          "ATTACH '%1Index.mdb' AS si; ATTACH '%2Stok.mdb' AS hs; "
                                          "ATTACH '%2Cari.mdb' AS hc;")
                               .arg(branch, head),
                           rows);
    const double ms = bench::medianMs(5, [&] {
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (const char* side : {"ss", "hs"}) {
            sqlite3_stmt* find = nullptr;
            sqlite3_stmt* insert = nullptr;
            sqlite3_stmt* update = nullptr;
            sqlite3_prepare_v2(
                db,
                QStringLiteral("SELECT rowid, GirenMik, CikanMik, GirenTutar, CikanTutar, StokAdi, "
                               "Barkod, gFiyat FROM %1.StokKartlar WHERE StokKod=?")
                    .arg(QString::fromLatin1(side))
                    .toUtf8()
                    .constData(),
                -1, &find, nullptr);
            sqlite3_prepare_v2(
                db,
                QStringLiteral(
                    "INSERT INTO %1.StokHareket (StokHarKod, Tarih, Aciklama, Birim, Fiyat, "
                    "Miktar, Tutar, GirisCikis, Carisi, DigerId, Nerde, SatTar, StokAd, Unvan, "
                    "Barkod, Maliyet, Sube) VALUES (?,?,?,?,?,?,?,?,?,?,'C',?,?,?,?,?,?)")
                    .arg(QString::fromLatin1(side))
                    .toUtf8()
                    .constData(),
                -1, &insert, nullptr);
            sqlite3_prepare_v2(
                db,
                QStringLiteral("UPDATE %1.StokKartlar SET GirenMik=?, CikanMik=?, GirenTutar=?, "
                               "CikanTutar=?, KalanB=?, KalanA=? WHERE rowid=?")
                    .arg(QString::fromLatin1(side))
                    .toUtf8()
                    .constData(),
                -1, &update, nullptr);
            for (int i = 0; i < lines; ++i) {
                const BareRow& r = rows[static_cast<size_t>(i) % rows.size()];
                bindText(find, 1, r.code);
                if (sqlite3_step(find) == SQLITE_ROW) {
                    const double in = sqlite3_column_double(find, 1) + 1,
                                 out = sqlite3_column_double(find, 2);
                    bindText(insert, 1, r.code);
                    bindText(insert, 2, "06.12.2026 10:30");
                    bindText(insert, 3, r.name + " İle");
                    bindText(insert, 4, r.unit);
                    sqlite3_bind_double(insert, 5, r.price);
                    sqlite3_bind_double(insert, 6, 1);
                    sqlite3_bind_double(insert, 7, r.price);
                    bindText(insert, 8, "Alış");
                    bindText(insert, 9, "M01");
                    bindText(insert, 10, "261");
                    bindText(insert, 11, "2026-12-06 10:30:00");
                    sqlite3_bind_text(insert, 12,
                                      reinterpret_cast<const char*>(sqlite3_column_text(find, 5)),
                                      -1, SQLITE_TRANSIENT);
                    bindText(insert, 13, "KADIKÖY ŞUBESİ");
                    sqlite3_bind_text(insert, 14,
                                      reinterpret_cast<const char*>(sqlite3_column_text(find, 6)),
                                      -1, SQLITE_TRANSIENT);
                    sqlite3_bind_double(insert, 15, sqlite3_column_double(find, 7));
                    bindText(insert, 16, "01");
                    sqlite3_step(insert);
                    sqlite3_reset(insert);
                    sqlite3_bind_double(update, 1, in);
                    sqlite3_bind_double(update, 2, out);
                    sqlite3_bind_double(update, 3, sqlite3_column_double(find, 3) + r.price);
                    sqlite3_bind_double(update, 4, sqlite3_column_double(find, 4));
                    sqlite3_bind_double(update, 5, in > out ? in - out : 0);
                    sqlite3_bind_double(update, 6, in > out ? 0 : out - in);
                    sqlite3_bind_int64(update, 7, sqlite3_column_int64(find, 0));
                    sqlite3_step(update);
                    sqlite3_reset(update);
                }
                sqlite3_reset(find);
            }
            sqlite3_finalize(find);
            sqlite3_finalize(insert);
            sqlite3_finalize(update);
        }
        sqlite3_exec(db,
                     "INSERT INTO sc.CariHareket (CariHarKod, Borc) VALUES ('M01', 1);"
                     "UPDATE sc.CariKartlar SET Borc=Borc+1 WHERE CariKod='M01';"
                     "INSERT INTO hc.CariHareket (CariHarKod, Borc) VALUES ('Şube02', 1);"
                     "UPDATE hc.CariKartlar SET Borc=Borc+1 WHERE CariKod='Şube02';"
                     "UPDATE si.Mdbindex SET Indexi=Indexi WHERE Tarih='2026';"
                     "UPDATE main.StokKartlar SET KalanB=0 WHERE KalanB<>0;"
                     "COMMIT",
                     nullptr, nullptr, nullptr);
    });
    sqlite3_close(db);
    return ms;
}

// The 1000 lines every posting benchmark enters in a working copy.
const QString EnterThousandLines = QStringLiteral(
    "UPDATE StokKartlar SET KalanB = 1, GirenTutar = Fiyat WHERE rowid IN (SELECT rowid FROM "
    "StokKartlar WHERE StokGizle=0 ORDER BY rowid LIMIT 1000)");

// "Tamam" for a warehouse sale of the 1000 entered lines to the first branch, median of 5.
double timeBranchSale(const QString& branch, const QString& wc) {
    core::SystemClock clock;
    return bench::medianMs(
        5,
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
        },
        [&] { data::Database::open(wc)->execute(EnterThousandLines); });
}

// "Tamam" for a warehouse sale of `lines` lines on the real posting, beside bare SQLite.
void benchPosting(bench::Report& report, const QString& serverPath, const QString& programFolder,
                  int items) {
    const QString branch = modes::dataDirectory(serverPath) + QStringLiteral("02");
    const QString head = modes::dataDirectory(serverPath) + QStringLiteral("01");
    const QString wc = programFolder + QStringLiteral("/Temp8.Mdb");
    const auto basket =
        modes::openBasket(wc, branch + QStringLiteral("Stok.Mdb"), data::basket::View::Sale);
    const int lines = 1000;
    const double ours = timeBranchSale(branch, wc);
    const QString scratch = programFolder + QStringLiteral("/bare-post.db");
    QFile::remove(scratch);
    QFile::copy(wc, scratch);
    const double bare = barePosting(branch, head, scratch, lines);
    QFile::remove(scratch);
    report.ratio(QStringLiteral("post_warehouse_1000_lines_%1_items").arg(items), ours, bare);
}

// The same rows an invoice of `lines` lines writes, by bare SQLite in one transaction: every field
// of every row bound from the line's values, as any writer of these rows has to.
double bareInvoice(const QString& books, const QString& scratchCopy, int lines) {
    std::vector<BareRow> rows;
    sqlite3* db =
        openBare(scratchCopy,
                 QStringLiteral("ATTACH '%1Stok.mdb' AS ss; ATTACH '%1Cari.mdb' AS sc; "
                                "ATTACH '%1Index.mdb' AS si; ATTACH '%1Fatura.mdb' AS sf;")
                     .arg(books),
                 rows);
    const double ms = bench::medianMs(5, [&] {
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt* find = nullptr;
        sqlite3_stmt* line = nullptr;
        sqlite3_stmt* move = nullptr;
        sqlite3_stmt* update = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT rowid, GirenMik, CikanMik, GirenTutar, CikanTutar FROM "
                           "ss.StokKartlar WHERE StokKod=?",
                           -1, &find, nullptr);
        sqlite3_prepare_v2(db,
                           "INSERT INTO sf.FatHareket (FatHarNo, FatGirisCikis, FatCari, FatStok, "
                           "Stok, FatAciklama, FatMiktar, FatFiyat, FatTutar, DigerId, Nerde, "
                           "FatTotal, FatKdv, Birim, SeriNoDiger, Barkod, Tarih, KdvSi, Yeni) "
                           "VALUES (?,0,?,?,?,?,?,?,?,?,'F',?,?,?,?,?,?,?,1)",
                           -1, &line, nullptr);
        sqlite3_prepare_v2(
            db,
            "INSERT INTO ss.StokHareket (StokHarKod, Tarih, Aciklama, Fiyat, Miktar, Tutar, "
            "GirisCikis, Carisi, DigerId, Nerde, StokAd, SeriNoDiger, Unvan, KdvTut, Birim, Yeni, "
            "Sube, Server) VALUES (?,?,?,?,?,?,'Satış',?,?,'F',?,?,?,?,?,1,NULL,0)",
            -1, &move, nullptr);
        sqlite3_prepare_v2(db,
                           "UPDATE ss.StokKartlar SET GirenMik=?, CikanMik=?, GirenTutar=?, "
                           "CikanTutar=?, KalanB=?, KalanA=? WHERE rowid=?",
                           -1, &update, nullptr);
        for (int i = 0; i < lines; ++i) {
            const BareRow& r = rows[static_cast<size_t>(i) % rows.size()];
            const QByteArray serial = QByteArray::number(262 + i);
            const QByteArray when =
                QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")).toUtf8();
            bindText(find, 1, r.code);
            if (sqlite3_step(find) == SQLITE_ROW) {
                const double in = sqlite3_column_double(find, 1),
                             out = sqlite3_column_double(find, 2) + 1;
                sqlite3_bind_double(update, 1, in);
                sqlite3_bind_double(update, 2, out);
                sqlite3_bind_double(update, 3, sqlite3_column_double(find, 3));
                sqlite3_bind_double(update, 4, sqlite3_column_double(find, 4) + r.price);
                sqlite3_bind_double(update, 5, in > out ? in - out : 0);
                sqlite3_bind_double(update, 6, in > out ? 0 : out - in);
                sqlite3_bind_int64(update, 7, sqlite3_column_int64(find, 0));
                sqlite3_step(update);
                sqlite3_reset(update);
            }
            sqlite3_reset(find);
            bindText(line, 1, "S00001");
            bindText(line, 2, "C002");
            bindText(line, 3, r.code);
            bindText(line, 4, r.name);
            bindText(line, 5, r.name);
            sqlite3_bind_double(line, 6, 1);
            sqlite3_bind_double(line, 7, r.price);
            sqlite3_bind_double(line, 8, r.price);
            bindText(line, 9, "261");
            sqlite3_bind_double(line, 10, 1000);
            sqlite3_bind_double(line, 11, r.vat);
            bindText(line, 12, r.unit);
            bindText(line, 13, serial);
            bindText(line, 14, r.barcode);
            bindText(line, 15, when);
            sqlite3_bind_double(line, 16, r.price * r.vat / 100);
            sqlite3_step(line);
            sqlite3_reset(line);
            bindText(move, 1, r.code);
            bindText(move, 2, "2026-12-06 10:30:00");
            bindText(move, 3, "00001 Nolu Satış Faturası ile");
            sqlite3_bind_double(move, 4, r.price);
            sqlite3_bind_double(move, 5, 1);
            sqlite3_bind_double(move, 6, r.price);
            bindText(move, 7, "C002");
            bindText(move, 8, "261");
            bindText(move, 9, r.name);
            bindText(move, 10, serial);
            bindText(move, 11, "ÖZTÜRK MARKET");
            sqlite3_bind_double(move, 12, r.price * r.vat / 100);
            bindText(move, 13, r.unit);
            sqlite3_step(move);
            sqlite3_reset(move);
        }
        for (sqlite3_stmt* st : {find, line, move, update})
            sqlite3_finalize(st);
        sqlite3_exec(db,
                     "INSERT INTO sf.Faturalar (FaturaNo, FatTop) VALUES ('S1', 1);"
                     "INSERT INTO sc.CariHareket (CariHarKod, Borc) VALUES ('C002', 1);"
                     "UPDATE sc.CariKartlar SET Borc=Borc+1 WHERE CariKod='C002';"
                     "INSERT INTO sc.CariHareket (CariHarKod, Borc) VALUES ('=110', 1);"
                     "UPDATE sc.CariKartlar SET Borc=Borc+1 WHERE CariKod='=110';"
                     "UPDATE si.Mdbindex SET Serino=Serino WHERE Tarih='2026';"
                     "UPDATE main.StokKartlar SET KalanB=0 WHERE KalanB<>0;"
                     "COMMIT",
                     nullptr, nullptr, nullptr);
    });
    sqlite3_close(db);
    return ms;
}

// "Tamam" on the invoice screen for the 1000 lines entered in `wc`, median of 5.
double timeInvoice(const QString& serverPath, const QString& wc) {
    core::SystemClock clock;
    return bench::medianMs(
        5,
        [&] {
            invoicing::InvoiceRequest r;
            r.serverPath = serverPath;
            r.workingCopy = wc;
            r.customerTitle = QStringLiteral("ÖZTÜRK MARKET");
            r.clock = &clock;
            if (invoicing::createInvoice(r).lines != 1000)
                std::fprintf(stderr, "invoice %s: wrong lines\n", qPrintable(serverPath));
        },
        [&] {
            data::Database::open(wc)->execute(QStringLiteral(
                "UPDATE StokKartlar SET KalanB = 1, GirenTutar = Fiyat, Kar = Fiyat * Kdv / 100 "
                "WHERE rowid IN (SELECT rowid FROM StokKartlar WHERE StokGizle=0 ORDER BY rowid "
                "LIMIT 1000)"));
        });
}

// "Tamam" on the invoice screen for 1000 lines, beside bare SQLite.
void benchInvoice(bench::Report& report, const QString& serverPath, const QString& programFolder,
                  int items) {
    const QString wc = programFolder + QStringLiteral("/Temp7.Mdb");
    const auto basket =
        modes::openBasket(wc, serverPath + QStringLiteral("Stok.Mdb"), data::basket::View::Sale);
    const double ours = timeInvoice(serverPath, wc);
    const QString scratch = programFolder + QStringLiteral("/bare-invoice.db");
    QFile::remove(scratch);
    QFile::copy(wc, scratch);
    const double bare = bareInvoice(serverPath, scratch, 1000);
    QFile::remove(scratch);
    report.ratio(QStringLiteral("invoice_1000_lines_%1_items").arg(items), ours, bare);
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

void benchServer(bench::Report& report, const QString& dataDir, const QString& server,
                 const QString& programFolder, int items) {
    try {
        data::importBooks(dataDir, server);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "server books: %s\n", e.what());
        return;
    }
    const auto address = data::parseServerPath(server);
    const QString target = programFolder + QStringLiteral("/Temp8.Mdb");
    const QString stock = server + QStringLiteral("/01Stok.mdb");
    const int columns =
        static_cast<int>(
            data::Database::open(stock)->columns(QStringLiteral("StokKartlar")).size()) +
        1;
    const double bare = bench::medianMs(
        5, [&] { bareServerCopy(*address, QStringLiteral("01stok"), target, columns); });
    const double ours = bench::medianMs(5, [&] { data::copyToWorkingFile(stock, target); });
    report.ratio(QStringLiteral("prepare_working_set_pg_%1_items").arg(items), ours, bare);

    // "Tamam" for a warehouse sale of 1000 lines on the server, beside bare libpq.
    const QString branch = server + QStringLiteral("/02");
    const QString wc = programFolder + QStringLiteral("/Temp7.Mdb");
    const auto basket =
        modes::openBasket(wc, branch + QStringLiteral("Stok.mdb"), data::basket::View::Sale);
    std::vector<QByteArray> codes;
    data::Database::open(wc)->execute(EnterThousandLines);
    {
        auto db = data::Database::open(wc);  // keeps the connection while the query is read
        QSqlQuery q = db->query(
            QStringLiteral("SELECT StokKod FROM StokKartlar WHERE KalanB<>0 ORDER BY StokKod"));
        while (q.next())
            codes.push_back(q.value(0).toString().toUtf8());
    }
    if (codes.size() != 1000) std::fprintf(stderr, "server posting: %zu codes\n", codes.size());
    const double post = timeBranchSale(branch, wc);
    report.ratio(QStringLiteral("post_warehouse_1000_lines_pg_%1_items").arg(items), post,
                 barePostingPg(*address, codes));

    // "Tamam" on the invoice screen for 1000 lines of the head office, beside bare libpq.
    const QString head = server + QStringLiteral("/01");
    const QString invoiceCopy = programFolder + QStringLiteral("/Temp6.Mdb");
    const auto invoiceBasket =
        modes::openBasket(invoiceCopy, head + QStringLiteral("Stok.mdb"), data::basket::View::Sale);
    const double invoice = timeInvoice(head, invoiceCopy);
    std::vector<QByteArray> invoiced;
    {
        auto db = data::Database::open(invoiceCopy);
        QSqlQuery q = db->query(QStringLiteral(
            "SELECT StokKod FROM StokKartlar WHERE StokGizle=0 ORDER BY rowid LIMIT 1000"));
        while (q.next())
            invoiced.push_back(q.value(0).toString().toUtf8());
    }
    report.ratio(QStringLiteral("invoice_1000_lines_pg_%1_items").arg(items), invoice,
                 bareInvoicePg(*address, invoiced));
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

    QTemporaryDir books;
    QTemporaryDir program;
    QTemporaryDir config;
    demobooks::Options options;
    options.items = items;
    demobooks::makeBooks(books.path(), options);
    // What making the books allocated goes back to the system: the memory figure is the
    // terminal's, not the maker's.
    malloc_trim(0);
    demobooks::makePlaceholder(program.filePath(QStringLiteral("Stok.mdb")), demobooks::Options{});
    const QString serverPath = books.path() + QStringLiteral("/RezoruviZada/01");
    const QString stock = serverPath + QStringLiteral("Stok.mdb");
    bench::Report report;
    QuietMessages messages;

    // Working-copy copy: the copier in 4096-byte blocks under the engine's read lock, beside a
    // plain file copy of the same file.
    const QString target = program.filePath(QStringLiteral("Temp9.Mdb"));
    const double plain = bench::medianMs(
        7, [&] { plainCopy(stock, target); }, [&] { QFile::remove(target); });
    const double ours = bench::medianMs(
        7, [&] { filecopy::copyDatabaseFile(stock, target, &messages); },
        [&] { QFile::remove(target); });
    report.ratio(QStringLiteral("copy_working_copy_%1_items").arg(items), ours, plain);
    report.value(QStringLiteral("copy_file_size_%1_items").arg(items),
                 static_cast<double>(QFileInfo(stock).size()) / 1e6, QStringLiteral("MB"));

    // Start-up to the shown main window: copy, bindings, first activation and the first paint.
    const double startup = bench::medianMs(5, [&] {
        Terminal terminal(serverPath, program.path(), config.path(), messages);
        terminal.form.grab();  // paints every visible control once
    });
    report.value(QStringLiteral("startup_main_window_%1_items").arg(items), startup,
                 QStringLiteral("ms"));

    benchRoad(report, serverPath, program.path(), config.path(), messages, items);
    benchPosting(report, serverPath, program.path(), items);
    benchInvoice(report, serverPath, program.path(), items);
#ifdef POSTING_WORKER
    benchInvoiceTerminals(report, serverPath, program.path());
#endif
    // Books on a server, when one is given: TERMINAL_BENCH_SERVER=postgresql://HOST:PORT/DB names
    // an empty database the books are moved into.
    const QString server = qEnvironmentVariable("TERMINAL_BENCH_SERVER");
    if (!server.isEmpty())
        benchServer(report, books.path() + QStringLiteral("/RezoruviZada"), server, program.path(),
                    items);
    return report.write(out) ? 0 : 1;
}
