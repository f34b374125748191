#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>

#include <random>
#include <thread>

#include "core/Clock.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "posting/Counters.h"
#include "posting/Posting.h"
#include "posting/PostingBooks.h"
#include "posting/StockTotals.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

QString draw(const QString& index, bool serial, const QString& year) {
    auto db = data::Database::openPrivate(index);
    db->begin();
    const QString n = posting::DrawNumber(*db, QStringLiteral("main"), serial, year);
    db->commit();
    return n;
}

class PostingTest : public ::testing::Test {
  protected:
    TempBooks books{60};
    core::FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(10, 30, 15))};
    QString wc;

    QString file(const char* company, const char* kind) const {
        return books.serverPath(QString::fromLatin1(company)) + QString::fromLatin1(kind) +
               QStringLiteral(".mdb");
    }
    posting::PostingRequest request(bool warehouse, bool sale, const QString& company,
                                    const QString& title, int index) {
        wc = enteredWorkingCopy(books.serverPath(company),
                                books.dir() + QStringLiteral("/Temp1.Mdb"), 4);
        posting::PostingRequest r;
        r.warehouse = warehouse;
        r.sale = sale;
        r.serverPath = books.serverPath(company);
        r.workingCopy = wc;
        r.targetTitle = title;
        r.targetIndex = index;
        r.clock = &clock;
        return r;
    }
    double entered() {
        return scalar(wc, QStringLiteral("SELECT sum(GirenTutar) FROM StokKartlar WHERE KalanB<>0"))
            .toDouble();
    }
    int rows(const QString& f, const QString& table) {
        return scalar(f, QStringLiteral("SELECT count(*) FROM %1").arg(table)).toInt();
    }
    // Everything a failed posting must have left as it was.
    QStringList snapshot() {
        QStringList s;
        for (const char* c : {"01", "02"}) {
            s << QString::number(rows(file(c, "Cari"), QStringLiteral("CariHareket")))
              << QString::number(rows(file(c, "Stok"), QStringLiteral("StokHareket")))
              << QString::number(rows(file(c, "Index"), QStringLiteral("Mdbindex")))
              << scalar(file(c, "Cari"),
                        QStringLiteral("SELECT sum(Borc)+sum(Alacak) FROM CariKartlar"))
                     .toString()
              << scalar(file(c, "Stok"),
                        QStringLiteral("SELECT sum(GirenMik)+sum(CikanMik) FROM StokKartlar"))
                     .toString();
        }
        s << scalar(wc, QStringLiteral("SELECT sum(KalanB) FROM StokKartlar")).toString();
        return s;
    }
};

}  // namespace

TEST(Counters, DrawNumbersPerYearWithoutLeadingZeros) {
    TempBooks books(5);
    const QString index = books.serverPath() + QStringLiteral("Index.mdb");
    EXPECT_EQ(draw(index, false, QStringLiteral("2020")), QStringLiteral("201"));
    EXPECT_EQ(scalar(index, QStringLiteral("SELECT Tarih FROM Tarih")).toString(),
              QStringLiteral("2020"));
    EXPECT_EQ(
        scalar(index, QStringLiteral("SELECT Indexi || '/' || Serino FROM Mdbindex")).toString(),
        QStringLiteral("201/201"));
    EXPECT_EQ(draw(index, true, QStringLiteral("2020")), QStringLiteral("202"));  // serial from 2
    EXPECT_EQ(draw(index, true, QStringLiteral("2021")), QStringLiteral("211"));
    EXPECT_EQ(
        scalar(index, QStringLiteral("SELECT Indexi FROM Mdbindex WHERE Tarih='2021'")).toString(),
        QStringLiteral("210"));
    EXPECT_EQ(draw(index, false, QStringLiteral("2021")), QStringLiteral("211"));
    data::Database::open(index)->execute(
        QStringLiteral("UPDATE Mdbindex SET Indexi='209' WHERE Tarih='2020'"));
    EXPECT_EQ(draw(index, false, QStringLiteral("2020")), QStringLiteral("2010"));
    data::Database::open(index)->execute(
        QStringLiteral("UPDATE Mdbindex SET Indexi='2099' WHERE Tarih='2020'"));
    EXPECT_EQ(draw(index, false, QStringLiteral("2020")), QStringLiteral("20100"));
    EXPECT_EQ(scalar(index, QStringLiteral("SELECT count(*) FROM Tarih")).toInt(), 2);
    data::Database::open(index)->execute(
        QStringLiteral("UPDATE Mdbindex SET Indexi='20x' WHERE Tarih='2020'"));
    EXPECT_THROW(draw(index, false, QStringLiteral("2020")), data::DatabaseError);
}

TEST(StockTotals, RecomputeStockOnHandFromTheTotals) {
    auto m = [](double v) { return core::Money::fromDouble(v); };
    struct Case {
        bool in;
        double quantity, kalanB, kalanA;
    };
    // From 10 in and 4 out (6 on hand): a sale past the stock, a purchase, a sale of it all,
    // and fractions that binary doubles would not keep exact.
    for (const Case& c : {Case{false, 7, 0, 1}, Case{true, 7, 13, 0}, Case{false, 6, 0, 0},
                          Case{false, 5.9999, 0.0001, 0}, Case{false, 0.3, 5.7, 0}}) {
        posting::StockTotals t{m(10), m(4), {}, {}, m(6), {}};
        t.add(c.in, m(c.quantity), m(c.quantity * 10));
        EXPECT_EQ(t.kalanB, m(c.kalanB)) << c.quantity;
        EXPECT_EQ(t.kalanA, m(c.kalanA)) << c.quantity;
        EXPECT_EQ(c.in ? t.girenMik : t.cikanMik, (c.in ? m(10) : m(4)) + m(c.quantity));
    }
}

TEST_F(PostingTest, AWarehouseSaleIsWrittenFromBothSides) {
    auto r = request(true, true, QStringLiteral("02"), QStringLiteral("KADIKÖY ŞUBESİ"), 0);
    const double total = entered();
    const QString code =
        scalar(wc, QStringLiteral(
                       "SELECT StokKod FROM StokKartlar WHERE KalanB<>0 ORDER BY StokKod LIMIT 1"))
            .toString();
    const double qty =
        scalar(wc, QStringLiteral("SELECT KalanB FROM StokKartlar WHERE StokKod=?"), {code})
            .toDouble();
    const double in02 =
        scalar(file("02", "Stok"),
               QStringLiteral("SELECT GirenMik FROM StokKartlar WHERE StokKod=?"), {code})
            .toDouble();
    const double out01 =
        scalar(file("01", "Stok"),
               QStringLiteral("SELECT CikanMik FROM StokKartlar WHERE StokKod=?"), {code})
            .toDouble();

    const posting::PostingResult result = posting::postWorkingSet(r);
    ASSERT_TRUE(result.posted);
    EXPECT_EQ(result.documentNumber, QStringLiteral("261"));
    EXPECT_EQ(result.lines, 4);
    EXPECT_DOUBLE_EQ(result.total, total);

    // The branch's books: against "Merkez", the goods come in.
    EXPECT_EQ(scalar(file("02", "Cari"),
                     QStringLiteral(
                         "SELECT "
                         "CariHarKod||'|'||Aciklama||'|'||Alacak||'|'||Borc||'|'||Carisi||'|'||"
                         "DigerId||'|'||Nerde||'|'||Sube||'|'||Tarih FROM CariHareket"))
                  .toString(),
              QStringLiteral("M01|Alış ile|%1|0.0|M01|261|S|01|2026-12-06 10:30:15").arg(total));
    EXPECT_DOUBLE_EQ(scalar(file("02", "Cari"),
                            QStringLiteral("SELECT Alacak FROM CariKartlar WHERE Unvan='Merkez'"))
                         .toDouble(),
                     total);
    EXPECT_EQ(scalar(file("02", "Cari"),
                     QStringLiteral("SELECT Hesap FROM CariKartlar WHERE Unvan='Merkez'"))
                  .toString(),
              QStringLiteral("Alacak"));
    EXPECT_EQ(
        scalar(
            file("02", "Stok"),
            QStringLiteral(
                "SELECT "
                "StokHarKod||'|'||Tarih||'|'||GirisCikis||'|'||Carisi||'|'||DigerId||'|'||Nerde||"
                "'|'||Sube||'|'||Unvan||'|'||Miktar FROM StokHareket WHERE StokHarKod=?"),
            {code})
            .toString(),
        QStringLiteral("%1|06.12.2026 10:30|Alış|M01|261|C|01|KADIKÖY ŞUBESİ|%2")
            .arg(code)
            .arg(qty, 0, 'f', 1));
    EXPECT_EQ(scalar(file("02", "Stok"),
                     QStringLiteral("SELECT GirenMik FROM StokKartlar WHERE StokKod=?"), {code})
                  .toDouble(),
              in02 + qty);
    EXPECT_EQ(
        scalar(
            file("02", "Stok"),
            QStringLiteral(
                "SELECT count(*) FROM StokHareket h JOIN StokKartlar k ON k.StokKod=h.StokHarKod "
                "WHERE h.StokAd=k.StokAdi AND h.Barkod=k.Barkod AND h.Maliyet=k.gFiyat AND "
                "h.Aciklama=k.StokAdi||' İle' AND h.SatTar='2026-12-06 10:30:15'"))
            .toInt(),
        4);

    // The head office's books: against "Şube02", the goods go out.
    EXPECT_EQ(
        scalar(
            file("01", "Cari"),
            QStringLiteral(
                "SELECT CariHarKod||'|'||Aciklama||'|'||Borc||'|'||Carisi||'|'||DigerId||'|'||Sube "
                "FROM CariHareket"))
            .toString(),
        QStringLiteral("Şube02|Satış ile|%1|KADIKÖY ŞUBESİ|261|01").arg(total));
    EXPECT_DOUBLE_EQ(scalar(file("01", "Cari"),
                            QStringLiteral("SELECT Borc FROM CariKartlar WHERE CariKod='Şube02'"))
                         .toDouble(),
                     total);
    EXPECT_EQ(
        scalar(file("01", "Stok"),
               QStringLiteral(
                   "SELECT GirisCikis||'|'||Carisi||'|'||Sube FROM StokHareket WHERE StokHarKod=?"),
               {code})
            .toString(),
        QStringLiteral("Satış|Şube02|02"));
    EXPECT_EQ(scalar(file("01", "Stok"),
                     QStringLiteral("SELECT CikanMik FROM StokKartlar WHERE StokKod=?"), {code})
                  .toDouble(),
              out01 + qty);
    EXPECT_EQ(rows(file("01", "Stok"), QStringLiteral("StokHareket")), 4);

    // The working set is empty; the counter belongs to the branch's books.
    EXPECT_EQ(scalar(wc, QStringLiteral(
                             "SELECT count(*) FROM StokKartlar WHERE KalanB<>0 OR GirenTutar<>0"))
                  .toInt(),
              0);
    EXPECT_EQ(scalar(file("02", "Index"),
                     QStringLiteral("SELECT Indexi FROM Mdbindex WHERE Tarih='2026'"))
                  .toString(),
              QStringLiteral("261"));
    EXPECT_EQ(rows(file("01", "Index"), QStringLiteral("Mdbindex")), 0);
    // Posting again finds nothing to post.
    EXPECT_FALSE(posting::postWorkingSet(r).posted);
}

TEST_F(PostingTest, AnAccountPurchaseCreditsTheCustomerFoundByItsTitle) {
    auto r = request(false, false, QStringLiteral("01"), QStringLiteral("AHMET'İN BAKKALI"), 8);
    const double total = entered();
    ASSERT_TRUE(posting::postWorkingSet(r).posted);
    EXPECT_EQ(
        scalar(file("01", "Cari"),
               QStringLiteral(
                   "SELECT CariHarKod||'|'||Aciklama||'|'||Alacak||'|'||Carisi FROM CariHareket"))
            .toString(),
        QStringLiteral("C009|Alış ile|%1|AHMET'İN BAKKALI").arg(total));
    // Borc 560 stood; the credit turns the balance.
    EXPECT_EQ(scalar(file("01", "Cari"),
                     QStringLiteral("SELECT Hesap FROM CariKartlar WHERE CariKod='C009'"))
                  .toString(),
              total > 560 ? QStringLiteral("Alacak") : QStringLiteral("Borç"));
    EXPECT_DOUBLE_EQ(scalar(file("01", "Cari"),
                            QStringLiteral("SELECT Bakiye FROM CariKartlar WHERE CariKod='C009'"))
                         .toDouble(),
                     std::abs(total - 560));
    EXPECT_EQ(scalar(file("01", "Stok"),
                     QStringLiteral("SELECT group_concat(DISTINCT "
                                    "GirisCikis||'|'||Sube||'|'||Carisi) FROM StokHareket"))
                  .toString(),
              QStringLiteral("Alış|C009|C009"));
    EXPECT_EQ(rows(file("01", "Cari"), QStringLiteral("CariHareket")), 1);
}

TEST_F(PostingTest, MissingRowsStopThePostingBeforeAnythingIsWritten) {
    auto r = request(true, false, QStringLiteral("02"), QStringLiteral("KADIKÖY ŞUBESİ"), 0);
    data::Database::open(file("02", "Cari"))
        ->execute(QStringLiteral("DELETE FROM CariKartlar WHERE Unvan='Merkez'"));
    data::Database::open(file("01", "Cari"))
        ->execute(QStringLiteral("DELETE FROM CariKartlar WHERE CariKod='Şube02'"));
    const QString code =
        scalar(wc, QStringLiteral("SELECT StokKod FROM StokKartlar WHERE KalanB<>0 LIMIT 1"))
            .toString();
    data::Database::open(file("01", "Stok"))
        ->query(QStringLiteral("DELETE FROM StokKartlar WHERE StokKod=?"), {code});
    const QStringList before = snapshot();
    try {
        posting::postWorkingSet(r);
        FAIL() << "posted without its accounts";
    } catch (const data::DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("\"Merkez\"")));
        EXPECT_TRUE(e.text().contains(QStringLiteral("\"Şube02\"")));
        EXPECT_TRUE(e.text().contains(code));
    }
    EXPECT_EQ(snapshot(), before);
}

TEST_F(PostingTest, ABrokenCounterOrALockedFileWritesNothing) {
    auto r = request(false, true, QStringLiteral("01"), QStringLiteral("ÖZTÜRK MARKET"), 1);
    data::Database::open(file("01", "Index"))
        ->execute(QStringLiteral("INSERT INTO Mdbindex VALUES ('2026', '26a', '261')"));
    QStringList before = snapshot();
    EXPECT_THROW(posting::postWorkingSet(r), data::DatabaseError);
    EXPECT_EQ(snapshot(), before);
    data::Database::open(file("01", "Index"))->execute(QStringLiteral("DELETE FROM Mdbindex"));

    // Another program writing the customer file: the posting waits, then gives up whole.
    before = snapshot();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file("01", "Cari").toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_THROW(posting::postWorkingSet(r), data::DatabaseError);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(posting::postWorkingSet(r).posted);  // and goes through once the file is free
}

TEST_F(PostingTest, AZeroTotalDrawsNoNumberAndAYearChangeStartsNewCounters) {
    auto r = request(false, true, QStringLiteral("01"), QStringLiteral("ÖZTÜRK MARKET"), 1);
    data::Database::open(wc)->execute(QStringLiteral("UPDATE StokKartlar SET GirenTutar=0"));
    EXPECT_FALSE(posting::postWorkingSet(r).posted);
    EXPECT_EQ(rows(file("01", "Index"), QStringLiteral("Mdbindex")), 0);
    EXPECT_EQ(rows(file("01", "Cari"), QStringLiteral("CariHareket")), 0);

    clock.set(QDateTime(QDate(2026, 12, 31), QTime(23, 59)));
    r = request(false, true, QStringLiteral("01"), QStringLiteral("ÖZTÜRK MARKET"), 1);
    EXPECT_EQ(posting::postWorkingSet(r).documentNumber, QStringLiteral("261"));
    clock.set(QDateTime(QDate(2027, 1, 1), QTime(0, 1)));
    r = request(false, true, QStringLiteral("01"), QStringLiteral("ÖZTÜRK MARKET"), 1);
    EXPECT_EQ(posting::postWorkingSet(r).documentNumber, QStringLiteral("271"));
    EXPECT_EQ(rows(file("01", "Index"), QStringLiteral("Tarih")), 2);
}

TEST(HeadOffice, IsFoundFromTheDataDirectoryNotFromAFolderNamedCari) {
    EXPECT_EQ(posting::headOfficePath(QStringLiteral("/srv/CariData/RezoruviZada/03")),
              QStringLiteral("/srv/CariData/RezoruviZada/01"));
    EXPECT_EQ(posting::headOfficePath(QStringLiteral("\\\\srv\\Cari\\RezoruviZada\\02")),
              QStringLiteral("\\\\srv\\Cari\\RezoruviZada\\01"));
}

TEST(Counters, DrawingManyAtOnceGivesWhatDrawingOneByOneGives) {
    TempBooks a(5), b(5);
    const QString one = a.serverPath() + QStringLiteral("Index.mdb");
    const QString many = b.serverPath() + QStringLiteral("Index.mdb");
    QStringList expected;
    expected << draw(one, false, QStringLiteral("2026"));
    for (int i = 0; i < 11; ++i)
        expected << draw(one, true, QStringLiteral("2026"));
    auto db = data::Database::openPrivate(many);
    db->begin();
    QStringList got{
        posting::DrawNumber(*db, QStringLiteral("main"), false, QStringLiteral("2026"))};
    got << posting::DrawNumbers(*db, QStringLiteral("main"), true, QStringLiteral("2026"), 11);
    db->commit();
    EXPECT_EQ(got, expected);
    EXPECT_EQ(scalar(many, QStringLiteral("SELECT Serino FROM Mdbindex")),
              scalar(one, QStringLiteral("SELECT Serino FROM Mdbindex")));
}
