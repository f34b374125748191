// Several terminals posting at once, and terminals killed in the middle of a posting: the books
// must hold whole postings only, with every number drawn once.
#include <gtest/gtest.h>
#include <signal.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>

#include <random>

#include "data/Database.h"
#include "posting/PostingBooks.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class ReliabilityTest : public ::testing::Test {
  protected:
    TempBooks books{30};
    QTemporaryDir before;
    QTemporaryDir work;

    void SetUp() override {
        for (const QString& name : QDir(books.dataDir()).entryList(QDir::Files))
            QFile::copy(books.dataDir() + u'/' + name, before.filePath(name));
    }
    QProcess* worker(int terminal, long count, const QString& company = u"02"_s,
                     bool invoices = false) {
        auto* p = new QProcess;
        QStringList args = {books.serverPath(company), work.path(), QString::number(terminal),
                            QString::number(count)};
        if (invoices) args << u"invoice"_s;
        p->start(QStringLiteral(POSTING_WORKER), args);
        p->waitForStarted(10000);
        return p;
    }
    // Runs that many workers to the end and returns every number they printed.
    QStringList runTerminals(int terminals, long count, bool invoices) {
        std::vector<std::unique_ptr<QProcess>> workers;
        for (int t = 1; t <= terminals; ++t)
            workers.emplace_back(worker(t, count, invoices && t % 2 ? u"01"_s : u"02"_s, invoices));
        QStringList numbers;
        for (auto& w : workers) {
            EXPECT_TRUE(w->waitForFinished(120000));
            EXPECT_EQ(w->exitCode(), 0) << w->readAllStandardError().toStdString();
            numbers
                << QString::fromUtf8(w->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        }
        return numbers;
    }
    // Starts a worker and kills it after a random while; returns what it printed.
    QString killAtRandom(std::mt19937& random, bool invoices, const QString& company) {
        std::uniform_int_distribution<int> delay(5, 120);
        std::unique_ptr<QProcess> w(worker(1, 1000000, company, invoices));
        QThread::msleep(static_cast<unsigned long>(delay(random)));
        ::kill(static_cast<pid_t>(w->processId()), SIGKILL);
        w->waitForFinished(10000);
        return QString::fromUtf8(w->readAllStandardOutput());
    }
    // What the books say against what their movements add up to since the start.
    QStringList inconsistencies() {
        QStringList problems;
        // A hot journal left by a killed terminal is rolled back by the first open.
        auto rows = [](const QString& file, const QString& sql) { return column(file, sql); };
        for (const char* company : {"01", "02"}) {
            const QString c = QString::fromLatin1(company);
            const QString cari = books.serverPath(c) + u"Cari.mdb"_s;
            const QString stok = books.serverPath(c) + u"Stok.mdb"_s;
            auto cariDb = data::Database::open(cari);
            cariDb->query(u"ATTACH DATABASE ? AS old"_s, {before.filePath(c + u"Cari.mdb"_s)});
            problems << rows(cari,
                             u"SELECT 'account ' || k.CariKod FROM CariKartlar k JOIN "
                             "old.CariKartlar o ON o.rowid=k.rowid "
                             // Exact in ten-thousandths: the books hold four-decimal amounts.
                             "WHERE round(k.Borc*10000) - round(o.Borc*10000) <> (SELECT "
                             "coalesce(sum(round(Borc*10000)),0) FROM CariHareket WHERE "
                             "CariHarKod=k.CariKod) "
                             "OR round(k.Alacak*10000) - round(o.Alacak*10000) <> (SELECT "
                             "coalesce(sum(round(Alacak*10000)),0) FROM CariHareket WHERE "
                             "CariHarKod=k.CariKod) "
                             "OR round(k.Bakiye*10000) <> abs(round(k.Borc*10000) - "
                             "round(k.Alacak*10000))"_s);
            cariDb->query(u"DETACH DATABASE old"_s);
            auto stokDb = data::Database::open(stok);
            stokDb->query(u"ATTACH DATABASE ? AS old"_s, {before.filePath(c + u"Stok.mdb"_s)});
            problems << rows(
                stok,
                u"SELECT 'card ' || k.StokKod FROM StokKartlar k JOIN old.StokKartlar o ON "
                "o.rowid=k.rowid "
                "WHERE round(k.GirenMik*10000) - round(o.GirenMik*10000) <> (SELECT "
                "coalesce(sum(round(Miktar*10000)),0) FROM StokHareket WHERE "
                "StokHarKod=k.StokKod AND GirisCikis='Alış') "
                "OR round(k.CikanMik*10000) - round(o.CikanMik*10000) <> (SELECT "
                "coalesce(sum(round(Miktar*10000)),0) FROM StokHareket WHERE "
                "StokHarKod=k.StokKod AND GirisCikis='Satış') "
                "OR round(k.KalanB*10000) - round(k.KalanA*10000) <> round(k.GirenMik*10000) - "
                "round(k.CikanMik*10000)"_s);
            stokDb->query(u"DETACH DATABASE old"_s);
            // Whole postings only: two account movements and 4 stock movements per document.
            problems << rows(stok,
                             u"SELECT 'half posting ' || DigerId FROM StokHareket "
                             "GROUP BY DigerId HAVING count(*) <> 4"_s);
        }
        const QStringList branchDocs =
            rows(books.file("02", "Cari"), u"SELECT DigerId FROM CariHareket ORDER BY DigerId"_s);
        const QStringList headDocs =
            rows(books.file("01", "Cari"), u"SELECT DigerId FROM CariHareket ORDER BY DigerId"_s);
        if (branchDocs != headDocs) problems << u"the two sides hold different documents"_s;
        if (QSet<QString>(branchDocs.begin(), branchDocs.end()).size() != branchDocs.size())
            problems << u"a document number was drawn twice"_s;
        const QString counter = text(books.file("02", "Index"), u"SELECT Indexi FROM Mdbindex"_s);
        if (counter.mid(2).toInt() != branchDocs.size())
            problems << u"counter %1 after %2 postings"_s.arg(counter).arg(branchDocs.size());
        problems.removeAll(QString());
        return problems;
    }
};

}  // namespace

TEST_F(ReliabilityTest, FourTerminalsPostingAtOnceKeepTheBooksWhole) {
    const QStringList numbers = runTerminals(4, 50, false);
    EXPECT_EQ(numbers.size(), 200);
    EXPECT_EQ(QSet<QString>(numbers.begin(), numbers.end()).size(), 200);
    EXPECT_EQ(inconsistencies(), QStringList());
}

TEST_F(ReliabilityTest, ATerminalKilledAtAnyMomentLeavesWholePostingsOnly) {
    std::mt19937 random(20261206);
    int midTransaction = 0;
    for (int trial = 0; trial < 50; ++trial) {
        killAtRandom(random, false, u"02"_s);
        // A journal left behind shows the kill landed inside a posting's transaction.
        for (const QFileInfo& f : QDir(books.dataDir()).entryInfoList(QDir::Files))
            if (f.fileName().contains(u"-journal"_s) && f.size() > 0) {
                ++midTransaction;
                break;
            }
        ASSERT_EQ(inconsistencies(), QStringList()) << "after trial " << trial;
    }
    EXPECT_GT(midTransaction, 0);
}

namespace {

// Invoices of both companies against their lines, movements and debits, and the shared numbers.
QStringList invoiceInconsistencies(const TempBooks& books, const QString& before) {
    QStringList problems;
    QStringList keys;
    for (const QString& c : {u"01"_s, u"02"_s}) {
        const QString fatura = books.serverPath(c) + u"Fatura.mdb"_s;
        const QString stok = books.serverPath(c) + u"Stok.mdb"_s;
        const QString cari = books.serverPath(c) + u"Cari.mdb"_s;
        keys << column(fatura, u"SELECT FaturaNo FROM Faturalar"_s);
        problems << column(
            fatura,
            u"SELECT 'invoice ' || f.FaturaNo FROM Faturalar f WHERE "
            "(SELECT count(*) FROM FatHareket h WHERE h.FatHarNo=f.FaturaNo) <> 4 OR "
            "(SELECT sum(round(FatTutar*10000)) FROM FatHareket h WHERE h.FatHarNo=f.FaturaNo) "
            "<> round(f.FatTop*10000)"_s);
        problems << column(stok,
                           u"SELECT 'movements ' || DigerId FROM StokHareket WHERE "
                           "Nerde='F' GROUP BY DigerId HAVING count(*) <> 4"_s);
        const int invoices = count(fatura, u"SELECT count(*) FROM Faturalar"_s);
        if (count(cari, u"SELECT count(*) FROM CariHareket WHERE CariHarKod='C002'"_s) != invoices)
            problems << u"customer movements of %1"_s.arg(c);
        // In ten-thousandths, so equal means equal to the last digit.
        const auto units = [](double v) { return std::llround(v * 10000); };
        const auto debit = std::llround(number(cari,
                                               u"SELECT coalesce(sum(round(Borc*10000)),0) "
                                               "FROM CariHareket WHERE CariHarKod='C002'"_s));
        const auto billed = std::llround(
            number(fatura, u"SELECT coalesce(sum(round(FatTop*10000)),0) FROM Faturalar"_s));
        const auto card =
            units(number(cari, u"SELECT Borc FROM CariKartlar WHERE CariKod='C002'"_s));
        const auto start = units(number(before + u'/' + c + u"Cari.mdb"_s,
                                        u"SELECT Borc FROM CariKartlar WHERE CariKod='C002'"_s));
        if (debit != billed || card - start != billed)
            problems << u"customer balance of %1"_s.arg(c);
    }
    keys.sort();
    for (int i = 0; i < keys.size(); ++i)
        if (keys[i] != u"S%1"_s.arg(i + 1, 5, 10, QLatin1Char('0')))
            problems << u"keys not gapless at "_s + keys[i];
    const QString file = QString::fromUtf8(readFile(books.dataDir() + u"/FatNo.txt"_s));
    const int stored = file.mid(1, 5).toInt();
    // A terminal killed between its commit and the file's rewrite leaves the file behind; the
    // next number is then taken from the books, so only a file ahead of them is wrong.
    if (stored > keys.size())
        problems << u"number file %1 after %2 invoices"_s.arg(file.trimmed()).arg(keys.size());
    problems.removeAll(QString());
    return problems;
}

}  // namespace

// Busy terminals of two companies queue for the one number file rather than being refused,
// and share one gapless sequence.
TEST_F(ReliabilityTest, EightTerminalsInvoicingTwoCompaniesAtOnceShareOneGaplessSequence) {
    const QStringList keys = runTerminals(8, 25, true);
    EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), 200);
    EXPECT_EQ(invoiceInconsistencies(books, before.path()), QStringList());
    EXPECT_EQ(readFile(books.dataDir() + u"/FatNo.txt"_s), QByteArray("\"00200\"\r\n"));
}

TEST_F(ReliabilityTest, AnInvoicingTerminalKilledAtAnyMomentLeavesWholeInvoicesOnly) {
    std::mt19937 random(6122026);
    for (int trial = 0; trial < 30; ++trial) {
        killAtRandom(random, true, trial % 2 ? u"01"_s : u"02"_s);
        ASSERT_EQ(invoiceInconsistencies(books, before.path()), QStringList())
            << "after trial " << trial;
    }
    EXPECT_GT(count(books.file("01", "Fatura"), u"SELECT count(*) FROM Faturalar"_s), 0);
}
