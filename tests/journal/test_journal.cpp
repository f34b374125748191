// The journal reader run as the accountant runs it, on books of both engines: the entries it
// lists and in what order, and what it finds the journal and the books disagree on.
#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <algorithm>

#include "data/Database.h"
#include "data/Journal.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// Stored as the terminals store them; inserted out of time order.
struct StoredEntry {
    const char *id, *at;
    int terminal;
    const char *computer, *event, *work, *operation, *target, *books, *number, *invoice, *total,
        *reason, *lines;
};
// Entries of one second are listed as they were written (z2 before c3), not by their ids.
const StoredEntry Entries[] = {
    {"d4", "2026-12-08 11:30:00", 2, "KASA-2", "document", "Cari", "Satış", "YILMAZ GIDA", "01",
     "104", "", "12", "", "[]"},
    {"z2", "2026-12-08 10:00:00", 2, "KASA-2", "document", "Cari", "Fatura", "AHMET'İN; BAKKALI",
     "01", "102", "S00001", "1234.5", "",
     R"([{"code":"00003","name":"ZEYTİNYAĞI","quantity":"1.5","price":"100","amount":"150","vat":"15"},)"
     R"({"code":"00004","name":"PEYNİR","quantity":"1","price":"1084.5","amount":"1084.5","vat":"0"}])"},
    {"c3", "2026-12-08 10:00:00", 1, "KASA-1", "removed", "Depo", "Satış", "ÖZTÜRK MARKET", "02",
     "", "", "5", " okunmadı ",
     R"([{"code":"00009","name":"=ÇİĞ KÖFTE \"ACI\"","quantity":"1","price":"5","amount":"5","vat":"0.5"}])"},
    {"a1", "2026-12-07 09:15:00", 1, "KASA-1", "document", "Depo", "Satış", "KADIKÖY ŞUBESİ",
     "02,01", "101", "", "388.8", "",
     R"([{"code":"00001","name":"ÇAY 'RİZE'","quantity":"2","price":"150","amount":"300","vat":"30"},)"
     R"({"code":"00002","name":"ŞEKER","quantity":"0.5","price":"106","amount":"53","vat":"5.8"}])"},
    {"e5", "2026-12-09 00:00:05", 1, "KASA-1", "document", "Depo", "Satış", "BEŞİKTAŞ ŞUBESİ",
     "01,03", "105", "", "10", "", "[]"},
};

// Movements of the books: company, number, date and where they came from ('K' typed in the
// accounting package itself, which keeps no journal).
struct Movement {
    const char *company, *number, *at, *from;
};
const Movement Movements[] = {
    {"01", "101", "2026-12-07 09:15:00", "S"},
    {"02", "101", "2026-12-07 09:15:00", "S"},
    {"01", "102", "2026-12-08 10:00:00", "F"},
    {"01", "102", "2026-12-08 10:00:00", "F"},
    {"02", "103", "2026-12-08 12:00:00", "S"},  // no entry
    {"02", "099", "2026-12-06 16:00:00", "S"},  // no entry, a day before the others
    {"01", "105", "2026-12-08 23:59:59", "S"},  // its entry is dated the next day
    {"01", "201", "2026-12-08 09:00:00", "K"},
    {"03", "102", "2026-12-08 13:00:00", "S"},  // 102's entry names company 01 only
};

enum class Form { Folder, Company };

struct Case {
    const char* name;
    QStringList options;
    Form form;
    bool journal;
    QStringList targets;   // the entries listed, by their targets, in order
    QStringList findings;  // as printed after them
    int exitCode;
};

const QString NoEntry = u"Girişi olmayan belge: "_s, NoDocument = u"Belgesi olmayan giriş: "_s;

const Case Cases[] = {
    {"Everything",
     {},
     Form::Folder,
     true,
     {u"KADIKÖY ŞUBESİ"_s, u"AHMET'İN; BAKKALI"_s, u"ÖZTÜRK MARKET"_s, u"YILMAZ GIDA"_s,
      u"BEŞİKTAŞ ŞUBESİ"_s},
     {NoEntry + u"şirket 02, belge 099, 06.12.2026 16:00:00"_s,
      NoEntry + u"şirket 02, belge 103, 08.12.2026 12:00:00"_s,
      NoEntry + u"şirket 03, belge 102, 08.12.2026 13:00:00"_s,
      NoDocument + u"şirket 01, belge 104, 08.12.2026 11:30:00"_s,
      NoDocument + u"şirket 03, belge 105, 09.12.2026 00:00:05"_s},
     1},
    {"OneDayBothDateForms",
     {u"--from"_s, u"2026-12-08"_s, u"--to=08.12.2026"_s},
     Form::Company,
     true,
     {u"AHMET'İN; BAKKALI"_s, u"ÖZTÜRK MARKET"_s, u"YILMAZ GIDA"_s},
     {NoEntry + u"şirket 02, belge 103, 08.12.2026 12:00:00"_s,
      NoEntry + u"şirket 03, belge 102, 08.12.2026 13:00:00"_s,
      NoDocument + u"şirket 01, belge 104, 08.12.2026 11:30:00"_s},
     1},
    {"OneTerminal",
     {u"--terminal"_s, u"2"_s},
     Form::Company,
     true,
     {u"AHMET'İN; BAKKALI"_s, u"YILMAZ GIDA"_s},
     {NoEntry + u"şirket 02, belge 099, 06.12.2026 16:00:00"_s,
      NoEntry + u"şirket 02, belge 103, 08.12.2026 12:00:00"_s,
      NoEntry + u"şirket 03, belge 102, 08.12.2026 13:00:00"_s,
      NoDocument + u"şirket 01, belge 104, 08.12.2026 11:30:00"_s},
     1},
    {"ADayInOrder",
     {u"--from=07.12.2026"_s, u"--to"_s, u"2026-12-07"_s, u"--terminal=1"_s},
     Form::Folder,
     true,
     {u"KADIKÖY ŞUBESİ"_s},
     {},
     0},
    {"BadDate", {u"--from"_s, u"2026-13-01"_s}, Form::Folder, true, {}, {}, 2},
    {"UnknownOption", {u"--day"_s, u"2026-12-08"_s}, Form::Folder, true, {}, {}, 2},
    {"FromAfterTo",
     {u"--from"_s, u"2026-12-09"_s, u"--to"_s, u"2026-12-08"_s},
     Form::Folder,
     true,
     {},
     {},
     2},
    {"NoJournalYet",
     {u"--to"_s, u"2026-12-07"_s},
     Form::Folder,
     false,
     {},
     {NoEntry + u"şirket 01, belge 101, 07.12.2026 09:15:00"_s,
      NoEntry + u"şirket 02, belge 099, 06.12.2026 16:00:00"_s,
      NoEntry + u"şirket 02, belge 101, 07.12.2026 09:15:00"_s},
     1},
};

class JournalTest : public ::testing::TestWithParam<Engine> {
  protected:
    TempBooks books{10};
    std::unique_ptr<ServerBooks> server;

    void SetUp() override {
        if (GetParam() == Engine::Server && ServerBooks::testServer().isEmpty())
            GTEST_SKIP() << NoTestServer;
        server = booksOn(GetParam(), books);
        for (const Movement& m : Movements)
            data::Database::open(companyPath(server, books, QString::fromUtf8(m.company)) +
                                 u"Cari.mdb"_s)
                ->query(
                    u"INSERT INTO CariHareket (CariHarKod, Tarih, Aciklama, Borc, DigerId, "
                    "Nerde) VALUES ('C001', ?, 'Satış', 10, ?, ?)"_s,
                    {QString::fromUtf8(m.at), QString::fromUtf8(m.number),
                     QString::fromUtf8(m.from)});
    }
    // The store the terminals write, with the fixture's entries.
    void makeJournal() {
        std::shared_ptr<data::Database> db;
        QString table = u"Journal"_s;
        if (server) {
            db = data::Database::open(server->serverPath() + u"Cari.mdb"_s);
            data::journal::ensureTable(*db);
            table = u"terminal.journal"_s;
        } else {
            const QString file = data::journal::fileIn(books.dataDir() + u'/');
            data::journal::ensureFile(file);
            db = data::Database::open(file);
        }
        for (const StoredEntry& e : Entries)
            db->query(
                u"INSERT INTO %1 (Id, At, Terminal, Computer, UserName, Event, Work, "
                "Operation, Target, Books, Number, Invoice, Total, Reason, Lines) VALUES "
                "(?, ?, ?, ?, 'ayşe', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s.arg(table),
                {QString::fromUtf8(e.id), QString::fromUtf8(e.at), e.terminal,
                 QString::fromUtf8(e.computer), QString::fromUtf8(e.event),
                 QString::fromUtf8(e.work), QString::fromUtf8(e.operation),
                 QString::fromUtf8(e.target), QString::fromUtf8(e.books),
                 QString::fromUtf8(e.number), QString::fromUtf8(e.invoice),
                 QString::fromUtf8(e.total), QString::fromUtf8(e.reason),
                 QString::fromUtf8(e.lines)});
    }
    QString location(Form form) const {
        if (form == Form::Company) return companyPath(server, books, u"02"_s);
        return server ? server->url() : books.dataDir();
    }
    struct Run {
        int exitCode;
        QByteArray out;
        QString err;
    };
    Run run(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(TERMINAL_JOURNAL), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), p.readAllStandardOutput(),
                QString::fromUtf8(p.readAllStandardError())};
    }
};

INSTANTIATE_ON_BOTH_ENGINES(JournalTest);

TEST_P(JournalTest, ListsTheEntriesInTimeOrderAndFindsWhatTheBooksDisagreeOn) {
    makeJournal();
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        if (!c.journal) {
            if (server)
                data::Database::open(server->serverPath() + u"Cari.mdb"_s)
                    ->query(u"DROP TABLE IF EXISTS terminal.journal"_s);
            else
                QFile::remove(data::journal::fileIn(books.dataDir() + u'/'));
        }
        const Run r = run(QStringList{location(c.form)} + c.options);
        ASSERT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        if (c.exitCode == 2) {
            EXPECT_TRUE(r.out.isEmpty());
            EXPECT_TRUE(r.err.startsWith(u"terminal-journal: "_s)) << r.err.toStdString();
            continue;
        }
        QStringList targets, findings;
        for (const QString& line : QString::fromUtf8(r.out).split(u'\n')) {
            for (const StoredEntry& e : Entries)
                if (line.contains(QString::fromUtf8(e.target)))
                    targets << QString::fromUtf8(e.target);
            if (line.startsWith(u"  "_s + NoEntry) || line.startsWith(u"  "_s + NoDocument))
                findings << line.trimmed();
        }
        EXPECT_EQ(targets, c.targets);
        EXPECT_EQ(findings, c.findings);
    }
}

// What a terminal window shows, and what a spreadsheet with Turkish settings reads.
TEST_P(JournalTest, WritesATableAndASpreadsheetsCsv) {
    makeJournal();
    const QStringList table = QString::fromUtf8(run({location(Form::Folder)}).out).split(u'\n');
    ASSERT_GT(table.size(), 6);
    EXPECT_TRUE(table[0].startsWith(u"Zaman"_s) && table[0].contains(u"Kullanıcı"_s) &&
                table[0].endsWith(u"Neden"_s))
        << table[0].toStdString();
    const auto a1 = std::find_if(table.begin(), table.end(),
                                 [](const QString& l) { return l.contains(u"KADIKÖY"_s); });
    ASSERT_LT(a1 + 2, table.end());
    EXPECT_TRUE(a1->contains(u"Belge yazıldı"_s) && a1->contains(u" 388,80"_s))
        << a1->toStdString();
    EXPECT_TRUE(a1[1].startsWith(u"    00001  ÇAY 'RİZE'"_s) && a1[1].contains(u" 150,00 "_s))
        << a1[1].toStdString();
    EXPECT_TRUE(a1[2].startsWith(u"    00002  ŞEKER"_s) && a1[2].contains(u" 0,5 "_s))
        << a1[2].toStdString();
    const QString b2 = table.filter(u"BAKKALI"_s).value(0);
    EXPECT_TRUE(b2.contains(u"Fatura yazıldı"_s) && b2.contains(u" 1.234,50"_s))
        << b2.toStdString();

    const Run csv =
        run({location(Form::Folder), u"--csv"_s, u"--from=2026-12-08"_s, u"--to=2026-12-08"_s});
    EXPECT_EQ(csv.exitCode, 1);
    const QStringList rows = {
        u"Zaman;Terminal;Bilgisayar;Kullanıcı;Olay;İş;İşlem;Hedef;Defter;Belge;Fatura;Tutar;"
        "Neden;Kod;Ad;Miktar;Fiyat;Tutar;KDV"_s,
        u"08.12.2026 10:00:00;2;KASA-2;ayşe;Fatura yazıldı;Cari;Fatura;\"AHMET'İN; BAKKALI\";01;"
        "102;S00001;1234,50;;00003;ZEYTİNYAĞI;1,5;100,00;150,00;15,00"_s,
        u"08.12.2026 10:00:00;2;KASA-2;ayşe;Fatura yazıldı;Cari;Fatura;\"AHMET'İN; BAKKALI\";01;"
        "102;S00001;1234,50;;00004;PEYNİR;1;1084,50;1084,50;0,00"_s,
        u"08.12.2026 10:00:00;1;KASA-1;ayşe;Satır silindi (SİL);Depo;Satış;ÖZTÜRK MARKET;02;;;"
        "5,00;\" okunmadı \";00009;\"'=ÇİĞ KÖFTE \"\"ACI\"\"\";1;5,00;5,00;0,50"_s,
        u"08.12.2026 11:30:00;2;KASA-2;ayşe;Belge yazıldı;Cari;Satış;YILMAZ GIDA;01;104;;12,00;;"
        ";;;;;"_s,
        u"08.12.2026 12:00:00;;;;Girişi olmayan belge;;;;02;103;;;;;;;;;"_s,
        u"08.12.2026 13:00:00;;;;Girişi olmayan belge;;;;03;102;;;;;;;;;"_s,
        u"08.12.2026 11:30:00;;;;Belgesi olmayan giriş;;;;01;104;;;;;;;;;"_s,
    };
    EXPECT_TRUE(csv.out.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(QString::fromUtf8(csv.out.mid(3)).split(u"\r\n"_s), rows + QStringList{QString()});
}

}  // namespace
