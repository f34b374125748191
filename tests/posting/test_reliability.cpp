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
#include <algorithm>
#include <random>

#include "data/Database.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

enum class Kind { Posting, Invoice };

// A company's debit, credit, goods in and goods out, summed over its cards or its movements.
QList<qint64> totals(const QString& company, bool cards) {
    const QString cari = company + u"Cari.mdb"_s, stok = company + u"Stok.mdb"_s;
    if (cards)
        return {units(cari, u"sum(Borc)"_s, u"CariKartlar"_s),
                units(cari, u"sum(Alacak)"_s, u"CariKartlar"_s),
                units(stok, u"sum(GirenMik)"_s, u"StokKartlar"_s),
                units(stok, u"sum(CikanMik)"_s, u"StokKartlar"_s)};
    return {units(cari, u"sum(Borc)"_s, u"CariHareket"_s),
            units(cari, u"sum(Alacak)"_s, u"CariHareket"_s),
            units(stok, u"sum(Miktar)"_s, u"StokHareket WHERE GirisCikis='Alış'"_s),
            units(stok, u"sum(Miktar)"_s, u"StokHareket WHERE GirisCikis='Satış'"_s)};
}

class ReliabilityTest : public ::testing::TestWithParam<std::tuple<Engine, Kind>> {
  protected:
    TempBooks books{30};
    QTemporaryDir work;
    std::unique_ptr<ServerBooks> server;
    QHash<QString, QList<qint64>> start{{u"01"_s, totals(books.serverPath(u"01"_s), true)},
                                        {u"02"_s, totals(books.serverPath(u"02"_s), true)}};

    void SetUp() override {
        const Engine engine = std::get<Engine>(GetParam());
        if (engine == Engine::Server && ServerBooks::testServer().isEmpty())
            GTEST_SKIP() << NoTestServer;
        server = booksOn(engine, books);
    }
    QString path(const QString& company) const { return companyPath(server, books, company); }
    QProcess* worker(int terminal, long count, const QString& company, const QString& mode,
                     const QString& goFile = QString()) {
        auto* p = new QProcess;
        QStringList args = {path(company), work.path(), QString::number(terminal),
                            QString::number(count), mode};
        if (!goFile.isEmpty()) args << goFile;
        p->start(QStringLiteral(POSTING_WORKER), args);
        p->waitForStarted(10000);
        return p;
    }
    // A worker killed a random while into its postings (after its first one, when asked): the
    // while counts from its go, not from its start-up, whose length depends on the machine's load.
    void killAtRandom(std::mt19937& random, const QString& mode, const QString& company,
                      bool afterFirst) {
        const QString go = work.filePath(u"go"_s);
        QFile::remove(go);
        std::unique_ptr<QProcess> w(worker(1, 1000000, company, mode, go));
        const auto awaitLine = [&] {
            while (!w->canReadLine() && w->waitForReadyRead(30000)) {
            }
            EXPECT_TRUE(w->canReadLine()) << w->readAllStandardError().toStdString();
            w->readLine();
        };
        awaitLine();  // "ready": its working copy is made
        QFile(go).open(QIODevice::WriteOnly);
        if (afterFirst) awaitLine();
        w->waitForFinished(std::uniform_int_distribution<int>(0, 40)(random));
        // A worker that already ended has no id: kill(0) would end this whole process group.
        if (const qint64 pid = w->processId(); pid > 0) ::kill(static_cast<pid_t>(pid), SIGKILL);
        w->waitForFinished(10000);
    }
    // The invoice number as stored: the number file, or the server's row.
    QString storedNumber() const {
        if (server) return text(path(u"01"_s) + u"Cari.mdb"_s, u"SELECT no FROM terminal.fatno"_s);
        return QString::fromUtf8(readFile(books.dataDir() + u"/FatNo.txt"_s)).mid(1, 5);
    }
    // What the books say against what their movements add up to, read once every writer's turn
    // is over (a killed terminal's server transaction ends only when the server notices).
    QStringList inconsistencies(Kind kind) {
        if (server) {
            auto db = data::Database::openPrivate(path(u"01"_s) + u"Cari.mdb"_s);
            db->query(u"SELECT pg_advisory_lock(hashtext('terminal books'))"_s).finish();
            db->query(u"SELECT pg_advisory_unlock(hashtext('terminal books'))"_s).finish();
        }
        QStringList problems;
        for (const QString& c : {u"01"_s, u"02"_s}) {
            const QString cari = path(c) + u"Cari.mdb"_s, stok = path(c) + u"Stok.mdb"_s;
            const QList<qint64> now = totals(path(c), true), moved = totals(path(c), false);
            for (int i = 0; i < now.size(); ++i)
                if (now[i] - start[c][i] != moved[i])
                    problems << u"%1: total %2 of the cards is not their movements'"_s.arg(c).arg(
                        i);
            problems << column(cari,
                               u"SELECT 'balance ' || CariKod FROM CariKartlar WHERE "
                               "round(coalesce(Bakiye,0)*10000) <> "
                               "abs(round((coalesce(Borc,0)-coalesce(Alacak,0))*10000))"_s);
            problems << column(stok,
                               u"SELECT 'on hand ' || StokKod FROM StokKartlar WHERE "
                               "round((coalesce(KalanB,0)-coalesce(KalanA,0))*10000) <> "
                               "round((coalesce(GirenMik,0)-coalesce(CikanMik,0))*10000)"_s);
            // Whole documents only: 4 stock movements each.
            problems << column(stok,
                               u"SELECT 'half document ' || DigerId FROM StokHareket "
                               "GROUP BY DigerId HAVING count(*) <> 4"_s);
        }
        problems << (kind == Kind::Invoice ? invoiceInconsistencies() : postingInconsistencies());
        problems << journalInconsistencies(kind);
        problems.removeAll(QString());
        return problems;
    }
    // Every document has its one journal entry, and every entry its document: a terminal killed
    // at any moment leaves neither alone.
    QStringList journalInconsistencies(Kind kind) {
        QStringList entries =
            server ? column(path(u"01"_s) + u"Cari.mdb"_s,
                            u"SELECT books || ':' || number FROM terminal.journal WHERE "
                            "event = 'document'"_s)
                   : column(books.dataDir() + u"/TerminalJournal.db"_s,
                            u"SELECT Books || ':' || Number FROM Journal WHERE "
                            "Event = 'document'"_s);
        QStringList documents;
        if (kind == Kind::Invoice)
            for (const QString& c : {u"01"_s, u"02"_s})
                documents << column(path(c) + u"Fatura.mdb"_s,
                                    u"SELECT '%1:' || DigerId FROM Faturalar"_s.arg(c));
        else
            documents = column(path(u"02"_s) + u"Cari.mdb"_s,
                               u"SELECT DISTINCT '02,01:' || DigerId FROM CariHareket"_s);
        entries.sort();
        documents.sort();
        if (entries == documents) return {};
        return {
            u"journal: %1 entries for %2 documents"_s.arg(entries.size()).arg(documents.size())};
    }
    // Both sides of each transfer, every number drawn once, the counter at the last.
    QStringList postingInconsistencies() {
        QStringList problems;
        const QString sql = u"SELECT DigerId FROM CariHareket ORDER BY DigerId"_s;
        const QStringList branch = column(path(u"02"_s) + u"Cari.mdb"_s, sql);
        if (branch != column(path(u"01"_s) + u"Cari.mdb"_s, sql))
            problems << u"the two sides hold different documents"_s;
        if (QSet<QString>(branch.begin(), branch.end()).size() != branch.size())
            problems << u"a document number was drawn twice"_s;
        const QString counter =
            text(path(u"02"_s) + u"Index.mdb"_s, u"SELECT Indexi FROM Mdbindex"_s);
        if (counter.mid(2).toInt() != branch.size())
            problems << u"counter %1 after %2 postings"_s.arg(counter).arg(branch.size());
        return problems;
    }
    QStringList invoiceInconsistencies();
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engines, ReliabilityTest,
                         ::testing::Combine(::testing::Values(Engine::Files, Engine::Server),
                                            ::testing::Values(Kind::Posting, Kind::Invoice)),
                         [](const auto& info) {
                             return std::string(engineName(std::get<Engine>(info.param))) +
                                    (std::get<Kind>(info.param) == Kind::Invoice ? "Invoices"
                                                                                 : "Postings");
                         });

// Eight terminals at once, then one killed at random moments, again and again: the books hold
// whole documents only and every number is drawn once. Busy terminals of two companies queue for
// the one invoice number rather than being refused, and share one gapless sequence.
TEST_P(ReliabilityTest, TerminalsAtOnceAndTerminalsKilledKeepTheBooksWhole) {
    const Kind kind = std::get<Kind>(GetParam());
    const bool invoices = kind == Kind::Invoice;
    const QString mode = invoices ? u"invoice"_s : u"post"_s;
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int t = 1; t <= 8; ++t)
        workers.emplace_back(worker(t, 25, invoices && t % 2 ? u"01"_s : u"02"_s, mode));
    QStringList numbers;
    for (auto& w : workers) {
        EXPECT_TRUE(w->waitForFinished(120000));
        EXPECT_EQ(w->exitCode(), 0) << w->readAllStandardError().toStdString();
        numbers << QString::fromUtf8(w->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    EXPECT_EQ(QSet<QString>(numbers.begin(), numbers.end()).size(), 200);
    EXPECT_EQ(inconsistencies(kind), QStringList());
    if (invoices) {
        EXPECT_EQ(storedNumber(), u"00200"_s);
    }

    std::mt19937 random(invoices ? 6122026 : 20261206);
    int midTransaction = 0;
    for (int trial = 0; trial < (invoices ? 30 : 50); ++trial) {
        killAtRandom(random, mode, invoices && trial % 2 ? u"01"_s : u"02"_s, trial < 2);
        // A journal left behind shows the kill landed inside a transaction (on a server, a
        // rolled-back transaction leaves nothing to see).
        const QFileInfoList files = QDir(books.dataDir()).entryInfoList({u"*-journal"_s});
        midTransaction += std::ranges::any_of(files, [](const auto& f) { return f.size() > 0; });
        ASSERT_EQ(inconsistencies(kind), QStringList()) << "after trial " << trial;
    }
    // The kills came among documents: some were written after the terminals' run.
    const int written =
        invoices ? count(path(u"01"_s) + u"Fatura.mdb"_s, u"SELECT count(*) FROM Faturalar"_s) +
                       count(path(u"02"_s) + u"Fatura.mdb"_s, u"SELECT count(*) FROM Faturalar"_s)
                 : count(path(u"02"_s) + u"Cari.mdb"_s, u"SELECT count(*) FROM CariHareket"_s);
    EXPECT_GT(written, 200);
    if (!server && !invoices) {
        EXPECT_GT(midTransaction, 0);
    }
}

// Each invoice whole, its customer debited with it, and the keys one gapless sequence.
QStringList ReliabilityTest::invoiceInconsistencies() {
    QStringList problems, keys;
    for (const QString& c : {u"01"_s, u"02"_s}) {
        const QString fatura = path(c) + u"Fatura.mdb"_s, cari = path(c) + u"Cari.mdb"_s;
        keys << column(fatura, u"SELECT FaturaNo FROM Faturalar"_s);
        problems << column(
            fatura,
            u"SELECT 'invoice ' || f.FaturaNo FROM Faturalar f WHERE "
            "(SELECT count(*) FROM FatHareket h WHERE h.FatHarNo=f.FaturaNo) <> 4 OR "
            "(SELECT sum(round(FatTutar*10000)) FROM FatHareket h WHERE h.FatHarNo=f.FaturaNo) "
            "<> round(f.FatTop*10000)"_s);
        const QString customer = u"CariHareket WHERE CariHarKod='C002'"_s;
        if (count(cari, u"SELECT count(*) FROM "_s + customer) !=
                count(fatura, u"SELECT count(*) FROM Faturalar"_s) ||
            units(cari, u"sum(Borc)"_s, customer) !=
                units(fatura, u"sum(FatTop)"_s, u"Faturalar"_s))
            problems << u"customer movements of %1"_s.arg(c);
    }
    keys.sort();
    for (int i = 0; i < keys.size(); ++i)
        if (keys[i] != u"S%1"_s.arg(i + 1, 5, 10, QLatin1Char('0')))
            problems << u"keys not gapless at "_s + keys[i];
    // A terminal killed between its commit and the file's rewrite leaves the file behind; the
    // next number is then taken from the books, so only a file ahead of them is wrong.
    if (storedNumber().toInt() > keys.size())
        problems << u"number %1 after %2 invoices"_s.arg(storedNumber()).arg(keys.size());
    return problems;
}
