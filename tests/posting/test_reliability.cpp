// Several terminals posting at once, and terminals killed in the middle of a posting: the books
// must hold whole postings only, with every number drawn once.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>
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

enum class Kind { Posting, Invoice };
void PrintTo(Kind k, std::ostream* os) {
    *os << (k == Kind::Invoice ? "invoices" : "postings");
}

class ReliabilityTest : public ::testing::TestWithParam<std::tuple<Engine, Kind>> {
  protected:
    TempBooks books{30};
    QTemporaryDir before;
    QTemporaryDir work;
    std::unique_ptr<ServerBooks> server;

    ReliabilityTest() {
        for (const QString& name : QDir(books.dataDir()).entryList(QDir::Files))
            QFile::copy(books.dataDir() + u'/' + name, before.filePath(name));
    }
    void SetUp() override {
        const Engine engine = std::get<Engine>(GetParam());
        if (engine == Engine::Server && ServerBooks::testServer().isEmpty())
            GTEST_SKIP() << NoTestServer;
        server = booksOn(engine, books);
    }
    // A company's books on the engine under test.
    QString path(const QString& company) const { return companyPath(server, books, company); }
    QProcess* worker(int terminal, long count, const QString& company = u"02"_s,
                     const QString& mode = u"post"_s, const QString& goFile = QString()) {
        auto* p = new QProcess;
        QStringList args = {path(company), work.path(), QString::number(terminal),
                            QString::number(count), mode};
        if (!goFile.isEmpty()) args << goFile;
        p->start(QStringLiteral(POSTING_WORKER), args);
        p->waitForStarted(10000);
        return p;
    }
    // Runs that many workers to the end and returns every number they printed.
    QStringList runTerminals(int terminals, long count, bool invoices) {
        std::vector<std::unique_ptr<QProcess>> workers;
        for (int t = 1; t <= terminals; ++t)
            workers.emplace_back(worker(t, count, invoices && t % 2 ? u"01"_s : u"02"_s,
                                        invoices ? u"invoice"_s : u"post"_s));
        QStringList numbers;
        for (auto& w : workers) {
            EXPECT_TRUE(w->waitForFinished(120000));
            EXPECT_EQ(w->exitCode(), 0) << w->readAllStandardError().toStdString();
            numbers
                << QString::fromUtf8(w->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        }
        return numbers;
    }
    // Starts a worker and kills it a random while into its postings (after `afterFirst` of them
    // were written, when set): the delay counts from its first posting, not from its start-up,
    // whose length depends on the machine's load. Returns what it printed.
    QString killAtRandom(std::mt19937& random, bool invoices, const QString& company,
                         bool afterFirst = false) {
        std::uniform_int_distribution<int> delay(0, 40);
        const QString go = work.filePath(u"go"_s);
        QFile::remove(go);
        std::unique_ptr<QProcess> w(
            worker(1, 1000000, company, invoices ? u"invoice"_s : u"post"_s, go));
        QByteArray out;
        const auto waitForLine = [&] {
            while (!out.contains('\n') && w->waitForReadyRead(30000))
                out += w->readAllStandardOutput();
            EXPECT_TRUE(out.contains('\n')) << w->readAllStandardError().toStdString();
        };
        waitForLine();  // "ready": its working copy is made
        QFile(go).open(QIODevice::WriteOnly);
        out.clear();
        if (afterFirst) waitForLine();
        QThread::msleep(static_cast<unsigned long>(delay(random)));
        // A worker that already ended has no id: kill(0) would end this whole process group.
        if (const qint64 pid = w->processId(); pid > 0) ::kill(static_cast<pid_t>(pid), SIGKILL);
        w->waitForFinished(10000);
        return QString::fromUtf8(out + w->readAllStandardOutput());
    }
    QStringList invoiceInconsistencies();
    QStringList inconsistencies(Kind kind) {
        return kind == Kind::Invoice ? invoiceInconsistencies() : inconsistencies();
    }
    // A killed terminal's server transaction ends only when the server notices: the books are
    // read once every writer's turn is over, as the next terminal would find them.
    void awaitWriters() const {
        if (!server) return;
        auto db = data::Database::openPrivate(path(u"01"_s) + u"Cari.mdb"_s);
        db->query(u"SELECT pg_advisory_lock(hashtext('terminal books'))"_s).finish();
        db->query(u"SELECT pg_advisory_unlock(hashtext('terminal books'))"_s).finish();
    }
    // The invoice number as stored: the number file, or the server's row.
    QString storedNumber() const {
        if (server) return text(path(u"01"_s) + u"Cari.mdb"_s, u"SELECT no FROM terminal.fatno"_s);
        return QString::fromUtf8(readFile(books.dataDir() + u"/FatNo.txt"_s)).mid(1, 5);
    }
    // Rows of a query as key → the other columns, for comparing books across engines.
    static QHash<QString, QStringList> keyed(const QString& file, const QString& sql) {
        QHash<QString, QStringList> out;
        for (const QString& row : column(file, sql)) {
            QStringList fields = row.split(u'|');
            const QString key = fields.takeFirst();
            out.insert(key, fields);
        }
        return out;
    }
    // What the books say against what their movements add up to since the start, in
    // ten-thousandths so equal means equal to the last digit.
    QStringList inconsistencies() {
        awaitWriters();
        QStringList problems;
        const QString u = u"CAST(round(coalesce(%1,0)*10000) AS BIGINT)"_s;
        const QString accounts =
            u"SELECT rowid || '|' || CariKod || '|' || %1 || '|' || %2 || '|' || "
            "%3 FROM CariKartlar"_s.arg(u.arg(u"Borc"_s), u.arg(u"Alacak"_s), u.arg(u"Bakiye"_s));
        const QString cards =
            u"SELECT rowid || '|' || StokKod || '|' || %1 || '|' || %2 || '|' || "
            "%3 || '|' || %4 FROM StokKartlar"_s.arg(u.arg(u"GirenMik"_s), u.arg(u"CikanMik"_s),
                                                     u.arg(u"KalanB"_s), u.arg(u"KalanA"_s));
        for (const char* company : {"01", "02"}) {
            const QString c = QString::fromLatin1(company);
            const QString cari = path(c) + u"Cari.mdb"_s;
            const QString stok = path(c) + u"Stok.mdb"_s;
            const auto moved =
                keyed(cari,
                      u"SELECT CariHarKod || '|' || sum(%1) || '|' || sum(%2) FROM CariHareket "
                      "GROUP BY CariHarKod"_s.arg(u.arg(u"Borc"_s), u.arg(u"Alacak"_s)));
            const auto was = keyed(before.filePath(c + u"Cari.mdb"_s), accounts);
            for (const auto& [key, now] : keyed(cari, accounts).asKeyValueRange()) {
                const QStringList m = moved.value(now[0], {u"0"_s, u"0"_s});
                const QStringList o = was.value(key);
                if (o.size() != 4 || now[1].toLongLong() - o[1].toLongLong() != m[0].toLongLong() ||
                    now[2].toLongLong() - o[2].toLongLong() != m[1].toLongLong() ||
                    now[3].toLongLong() != std::abs(now[1].toLongLong() - now[2].toLongLong()))
                    problems << u"account "_s + now[0];
            }
            const auto in =
                keyed(stok,
                      u"SELECT StokHarKod || '|' || sum(%1) FROM StokHareket WHERE "
                      "GirisCikis='Alış' GROUP BY StokHarKod"_s.arg(u.arg(u"Miktar"_s)));
            const auto out =
                keyed(stok,
                      u"SELECT StokHarKod || '|' || sum(%1) FROM StokHareket WHERE "
                      "GirisCikis='Satış' GROUP BY StokHarKod"_s.arg(u.arg(u"Miktar"_s)));
            const auto had = keyed(before.filePath(c + u"Stok.mdb"_s), cards);
            for (const auto& [key, now] : keyed(stok, cards).asKeyValueRange()) {
                const QStringList o = had.value(key);
                const auto n = [&](int i) { return now[i].toLongLong(); };
                if (o.size() != 5 ||
                    n(1) - o[1].toLongLong() != in.value(now[0], {u"0"_s})[0].toLongLong() ||
                    n(2) - o[2].toLongLong() != out.value(now[0], {u"0"_s})[0].toLongLong() ||
                    n(3) - n(4) != n(1) - n(2))
                    problems << u"card "_s + now[0];
            }
            // Whole postings only: 4 stock movements per document.
            problems << column(stok,
                               u"SELECT 'half posting ' || DigerId FROM StokHareket "
                               "GROUP BY DigerId HAVING count(*) <> 4"_s);
        }
        const QStringList branchDocs = column(
            path(u"02"_s) + u"Cari.mdb"_s, u"SELECT DigerId FROM CariHareket ORDER BY DigerId"_s);
        const QStringList headDocs = column(path(u"01"_s) + u"Cari.mdb"_s,
                                            u"SELECT DigerId FROM CariHareket ORDER BY DigerId"_s);
        if (branchDocs != headDocs) problems << u"the two sides hold different documents"_s;
        if (QSet<QString>(branchDocs.begin(), branchDocs.end()).size() != branchDocs.size())
            problems << u"a document number was drawn twice"_s;
        const QString counter =
            text(path(u"02"_s) + u"Index.mdb"_s, u"SELECT Indexi FROM Mdbindex"_s);
        if (counter.mid(2).toInt() != branchDocs.size())
            problems << u"counter %1 after %2 postings"_s.arg(counter).arg(branchDocs.size());
        problems.removeAll(QString());
        return problems;
    }
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
    const QStringList numbers = runTerminals(8, 25, invoices);
    EXPECT_EQ(QSet<QString>(numbers.begin(), numbers.end()).size(), 200);
    EXPECT_EQ(inconsistencies(kind), QStringList());
    if (invoices) {
        EXPECT_EQ(storedNumber(), u"00200"_s);
        if (!server) {
            EXPECT_EQ(readFile(books.dataDir() + u"/FatNo.txt"_s), QByteArray("\"00200\"\r\n"));
        }
    }
    std::mt19937 random(invoices ? 6122026 : 20261206);
    int midTransaction = 0;
    for (int trial = 0; trial < (invoices ? 30 : 50); ++trial) {
        killAtRandom(random, invoices, invoices && trial % 2 ? u"01"_s : u"02"_s, trial < 2);
        // A journal left behind shows the kill landed inside a transaction (on a server, a
        // rolled-back transaction leaves nothing to see).
        for (const QFileInfo& f : QDir(books.dataDir()).entryInfoList(QDir::Files))
            if (f.fileName().contains(u"-journal"_s) && f.size() > 0) {
                ++midTransaction;
                break;
            }
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

// Invoices of both companies against their lines, movements and debits, and the shared numbers.
QStringList ReliabilityTest::invoiceInconsistencies() {
    awaitWriters();
    QStringList problems;
    QStringList keys;
    for (const QString& c : {u"01"_s, u"02"_s}) {
        const QString fatura = path(c) + u"Fatura.mdb"_s;
        const QString stok = path(c) + u"Stok.mdb"_s;
        const QString cari = path(c) + u"Cari.mdb"_s;
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
        const auto start = units(number(before.filePath(c + u"Cari.mdb"_s),
                                        u"SELECT Borc FROM CariKartlar WHERE CariKod='C002'"_s));
        if (debit != billed || card - start != billed)
            problems << u"customer balance of %1"_s.arg(c);
    }
    keys.sort();
    for (int i = 0; i < keys.size(); ++i)
        if (keys[i] != u"S%1"_s.arg(i + 1, 5, 10, QLatin1Char('0')))
            problems << u"keys not gapless at "_s + keys[i];
    const QString file = storedNumber();
    const int stored = file.toInt();
    // A terminal killed between its commit and the file's rewrite leaves the file behind; the
    // next number is then taken from the books, so only a file ahead of them is wrong.
    if (stored > keys.size())
        problems << u"number file %1 after %2 invoices"_s.arg(file.trimmed()).arg(keys.size());
    problems.removeAll(QString());
    return problems;
}

namespace {

// A cluster of the test's own, as the shared test server cannot be restarted under other tests.
class ServerRestartTest : public ReliabilityTest {
  protected:
    QTemporaryDir clusterDir;
    QString cluster;

    void SetUp() override {
        // Without a test server this machine may have no PostgreSQL to start.
        if (ServerBooks::testServer().isEmpty()) GTEST_SKIP() << NoTestServer;
        // Below the system's range of client ports, which the other tests' connections use; a
        // port taken by something else is followed by another.
        for (int attempt = 0; attempt < 5 && !cluster.startsWith(u"postgresql://"_s); ++attempt)
            cluster =
                pgCluster({u"start"_s, clusterDir.path(),
                           QString::number(20000 + (::getpid() * 7 + attempt * 101) % 10000)});
        ASSERT_TRUE(cluster.startsWith(u"postgresql://"_s)) << cluster.toStdString();
        server = std::make_unique<ServerBooks>(books, cluster);
    }
    void TearDown() override {
        server.reset();
        if (!cluster.isEmpty()) pgCluster({u"stop"_s, clusterDir.path()});
    }
    static QString pgCluster(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral(PG_CLUSTER), args);
        p.waitForFinished(60000);
        const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return p.exitCode() == 0 ? out : out + QString::fromUtf8(p.readAllStandardError());
    }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engines, ServerRestartTest,
                         ::testing::Values(std::make_tuple(Engine::Server, Kind::Posting)),
                         [](const auto&) { return engineName(Engine::Server); });

// The restart lands after the posting has written every row and before its commit: it fails with
// the server's cause, leaves nothing, and the same terminal's next "Tamam" posts the same lines.
TEST_P(ServerRestartTest, APostingCutByARestartFailsWholeAndTheNextTamamPostsIt) {
    // The posting's last write, its token, waits behind this lock.
    auto lock = data::Database::openPrivate(path(u"01"_s) + u"Cari.mdb"_s);
    lock->query(u"BEGIN"_s).finish();
    lock->query(u"LOCK TABLE terminal.postings IN EXCLUSIVE MODE"_s).finish();
    std::unique_ptr<QProcess> w(worker(1, 3, u"02"_s, u"post-again"_s));
    auto watch = data::Database::openPrivate(path(u"01"_s) + u"Cari.mdb"_s);
    int waiting = 0;
    for (int i = 0; i < 600 && waiting == 0; ++i) {
        QThread::msleep(50);
        QSqlQuery q = watch->query(
            u"SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' "
            "AND datname = current_database()"_s);
        waiting = q.next() ? q.value(0).toInt() : 0;
    }
    ASSERT_EQ(waiting, 1) << "the posting never reached its last write";
    watch.reset();
    EXPECT_EQ(pgCluster({u"restart"_s, clusterDir.path()}), QString());

    ASSERT_TRUE(w->waitForFinished(120000));
    const QString said = QString::fromUtf8(w->readAllStandardError());
    EXPECT_EQ(w->exitCode(), 0) << said.toStdString();
    const QStringList failures = said.split(u'\n', Qt::SkipEmptyParts).filter(u"failed:"_s);
    ASSERT_FALSE(failures.isEmpty());
    EXPECT_TRUE(failures.first().contains(u"sunucu bağlantıyı kesti"_s) &&
                said.contains(u"Sunucu: "_s + server->url()))
        << said.toStdString();
    const QStringList numbers =
        QString::fromUtf8(w->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(QSet<QString>(numbers.begin(), numbers.end()).size(), 3);
    EXPECT_EQ(inconsistencies(), QStringList());
    EXPECT_EQ(count(path(u"02"_s) + u"Cari.mdb"_s, u"SELECT count(*) FROM CariHareket"_s), 3);
}
