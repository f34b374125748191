#include <gtest/gtest.h>
#include <QFileInfo>

#include "core/Clock.h"
#include "core/StockTotals.h"
#include "data/Books.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "posting/Counters.h"
#include "posting/Posting.h"
#include "posting/PostingBooks.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

QString draw(const QString& index, bool serial, const QString& year) {
    auto db = data::Database::openPrivate(index);
    db->begin();
    const QString n = posting::DrawNumber(*db, u"main"_s, serial, year);
    db->commit();
    return n;
}

class PostingTest : public ::testing::Test {
  protected:
    TempBooks books{60};
    std::unique_ptr<ServerBooks> server;  // none: the books are files
    core::FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(10, 30, 15))};
    QString wc;

    QString path(const char* company) const {
        return companyPath(server, books, QString::fromLatin1(company));
    }
    QString book(const char* company, const char* kind) const {
        return path(company) + QString::fromLatin1(kind) + u".mdb"_s;
    }
    posting::PostingRequest request(bool warehouse, bool sale, const char* company,
                                    const QString& title, int index) {
        const QString files = books.serverPath(QString::fromLatin1(company));
        wc = enteredWorkingCopy(files, books.dir() + u"/Temp1.Mdb"_s, 4);
        return {.warehouse = warehouse,
                .sale = sale,
                .serverPath = path(company),
                .workingCopy = wc,
                .targetTitle = title,
                .targetIndex = index,
                .clock = &clock};
    }
    // Everything a failed posting must have left as it was.
    QStringList snapshot() {
        QStringList s{text(wc, u"SELECT sum(KalanB) FROM StokKartlar"_s)};
        for (const char* c : {"01", "02"})
            s << text(book(c, "Cari"),
                      u"SELECT (SELECT count(*) FROM CariHareket) || ' ' || "
                      "(SELECT sum(Borc)+sum(Alacak) FROM CariKartlar)"_s)
              << text(book(c, "Stok"),
                      u"SELECT (SELECT count(*) FROM StokHareket) || ' ' || "
                      "(SELECT sum(GirenMik)+sum(CikanMik) FROM StokKartlar)"_s)
              << text(book(c, "Index"), u"SELECT count(*) FROM Mdbindex"_s);
        return s;
    }
};

}  // namespace

TEST(Counters, DrawNumbersPerYearWithoutLeadingZeros) {
    TempBooks books(5);
    const QString index = books.file("01", "Index");
    EXPECT_EQ(draw(index, false, u"2020"_s), u"201"_s);
    EXPECT_EQ(text(index, u"SELECT Indexi || '/' || Serino FROM Mdbindex"_s), u"201/201"_s);
    EXPECT_EQ(draw(index, true, u"2020"_s), u"202"_s);  // serial from 2
    EXPECT_EQ(draw(index, true, u"2021"_s), u"211"_s);
    EXPECT_EQ(text(index, u"SELECT Indexi FROM Mdbindex WHERE Tarih='2021'"_s), u"210"_s);
    EXPECT_EQ(draw(index, false, u"2021"_s), u"211"_s);
    data::Database::open(index)->execute(u"UPDATE Mdbindex SET Indexi='2099' WHERE Tarih='2020'"_s);
    EXPECT_EQ(draw(index, false, u"2020"_s), u"20100"_s);
}

TEST(StockTotals, RecomputeStockOnHandFromTheTotals) {
    auto m = [](double v) { return core::Quantity::fromDouble(v); };
    struct Case {
        bool in;
        double quantity, kalanB, kalanA;
    };
    // From 6 on hand: a sale past it, a purchase, a sale of it all, fractions doubles would lose.
    for (const Case& c : {Case{false, 7, 0, 1}, Case{true, 7, 13, 0}, Case{false, 6, 0, 0},
                          Case{false, 5.9999, 0.0001, 0}, Case{false, 0.3, 5.7, 0}}) {
        core::StockTotals t{m(10), m(4), {}, {}, m(6), {}};
        t.add(c.in, m(c.quantity), core::Money::fromDouble(c.quantity * 10));
        EXPECT_EQ(t.kalanB, m(c.kalanB)) << c.quantity;
        EXPECT_EQ(t.kalanA, m(c.kalanA)) << c.quantity;
        EXPECT_EQ(c.in ? t.girenMik : t.cikanMik, (c.in ? m(10) : m(4)) + m(c.quantity));
    }
}

TEST_F(PostingTest, AZeroTotalDrawsNoNumberAndAYearChangeStartsNewCounters) {
    auto r = request(false, true, "01", u"ÖZTÜRK MARKET"_s, 1);
    data::Database::open(wc)->execute(u"UPDATE StokKartlar SET GirenTutar=0"_s);
    EXPECT_FALSE(posting::postWorkingSet(r).posted);
    EXPECT_EQ(count(books.file("01", "Index"), u"SELECT count(*) FROM Mdbindex"_s), 0);
    EXPECT_EQ(count(books.file("01", "Cari"), u"SELECT count(*) FROM CariHareket"_s), 0);

    clock.set(QDateTime(QDate(2026, 12, 31), QTime(23, 59)));
    r = request(false, true, "01", u"ÖZTÜRK MARKET"_s, 1);
    EXPECT_EQ(posting::postWorkingSet(r).documentNumber, u"261"_s);
    clock.set(QDateTime(QDate(2027, 1, 1), QTime(0, 1)));
    r = request(false, true, "01", u"ÖZTÜRK MARKET"_s, 1);
    EXPECT_EQ(posting::postWorkingSet(r).documentNumber, u"271"_s);
    EXPECT_EQ(count(books.file("01", "Index"), u"SELECT count(*) FROM Tarih"_s), 2);
}

namespace {

// The same postings on either engine.
using EnginePostingTest = OnEachEngine<PostingTest>;

}  // namespace

INSTANTIATE_ON_BOTH_ENGINES(EnginePostingTest);

// Every road writes each side once: the target's books (the head office against the branch's
// "ŞubeNN", or the customer in the company's books) and, in warehouse work, the branch's own
// books against "Merkez", which see the transfer from the other end.
TEST_P(EnginePostingTest, EachRoadWritesEverySideOnceAndNeverTwice) {
    const struct Road {
        bool warehouse, sale;
        const char *company, *title;
        int index;
        const char* number;
    } roads[] = {
        {true, true, "02", "KADIKÖY ŞUBESİ", 0, "261"},
        // Branch 03's own series is still at its start: the number is free in both series.
        {true, false, "03", "BEŞİKTAŞ ŞUBESİ", 1, "262"},
        {false, true, "01", "ÖZTÜRK MARKET", 1, "263"},
        {false, false, "01", "AHMET'İN BAKKALI", 8, "264"},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.number);
        auto r = request(road.warehouse, road.sale, road.company, QString::fromUtf8(road.title),
                         road.index);
        if (!road.warehouse && !road.sale) {
            // A purchase posts at the purchase prices its lines were booked at.
            data::Database::open(wc)->execute(
                u"UPDATE StokKartlar SET Fiyat2=gFiyat, GirenTutar=round(KalanB*gFiyat, 4) "
                "WHERE KalanB<>0"_s);
        }
        const qint64 total = units(wc, u"sum(GirenTutar)"_s, u"StokKartlar WHERE KalanB<>0"_s);
        const qint64 pieces = units(wc, u"sum(KalanB)"_s, u"StokKartlar WHERE KalanB<>0"_s);
        struct Side {
            const char* company;
            bool againstMerkez;
            qint64 in = 0, out = 0;
        };
        std::vector<Side> sides{{road.warehouse ? "01" : road.company, false}};
        if (road.warehouse) sides.push_back({road.company, true});
        for (Side& side : sides) {
            side.in = units(book(side.company, "Stok"), u"sum(GirenMik)"_s, u"StokKartlar"_s);
            side.out = units(book(side.company, "Stok"), u"sum(CikanMik)"_s, u"StokKartlar"_s);
        }
        const posting::PostingResult result = posting::postWorkingSet(r);
        ASSERT_TRUE(result.posted);
        EXPECT_EQ(result.documentNumber, QString::fromLatin1(road.number));
        EXPECT_EQ(result.earlier.state, data::PendingResult::State::None);
        const QString document = u" WHERE DigerId='%1'"_s.arg(result.documentNumber);
        for (const Side& side : sides) {
            SCOPED_TRACE(side.company);
            const bool debit = side.againstMerkez ? !road.sale : road.sale, in = !debit;
            const QString cari = book(side.company, "Cari"), stok = book(side.company, "Stok");
            EXPECT_EQ(column(cari, u"SELECT Aciklama FROM CariHareket"_s + document),
                      QStringList{debit ? u"Satış ile"_s : u"Alış ile"_s});
            EXPECT_EQ(column(stok, u"SELECT GirisCikis||' '||count(*) FROM StokHareket"_s +
                                       document + u" GROUP BY GirisCikis"_s),
                      QStringList{in ? u"Alış 4"_s : u"Satış 4"_s});
            // The account's side and the movements carry the total; the cards move the pieces.
            EXPECT_EQ((QList<qint64>{units(cari, debit ? u"sum(Borc)"_s : u"sum(Alacak)"_s,
                                           u"CariHareket"_s + document),
                                     units(stok, u"sum(Tutar)"_s, u"StokHareket"_s + document),
                                     units(stok, u"sum(GirenMik)"_s, u"StokKartlar"_s) - side.in,
                                     units(stok, u"sum(CikanMik)"_s, u"StokKartlar"_s) - side.out}),
                      (QList<qint64>{total, total, in ? pieces : 0, in ? 0 : pieces}));
            EXPECT_EQ(text(book(side.company, "Index"),
                           u"SELECT Indexi FROM Mdbindex WHERE Tarih='2026'"_s),
                      result.documentNumber);
        }
        // The written lines leave the working set whole: a later line on the card starts at 0.
        EXPECT_EQ(count(wc, u"SELECT count(*) FROM StokKartlar WHERE KalanB<>0 OR GirenTutar<>0"_s),
                  0);
        EXPECT_FALSE(posting::postWorkingSet(r).posted);
    }
    // What the first transfer wrote in the branch's books and the head office's, as read there.
    EXPECT_EQ(text(book("02", "Cari"),
                   u"SELECT h.CariHarKod||'|'||h.Carisi||'|'||h.Nerde||'|'||h.Sube||'|'||h.Tarih||"
                   "'|'||k.Hesap FROM CariHareket h JOIN CariKartlar k ON k.CariKod=h.CariHarKod "
                   "WHERE h.DigerId='261'"_s),
              u"M01|M01|S|01|2026-12-06 10:30:15|Alacak"_s);
    EXPECT_EQ(
        column(
            book("02", "Stok"),
            u"SELECT DISTINCT h.Tarih||'|'||h.Carisi||'|'||h.Nerde||'|'||h.Sube||'|'||"
            "h.Unvan||'|'||h.SatTar||'|'||CASE WHEN h.StokAd=k.StokAdi AND h.Barkod=k.Barkod AND "
            "h.Maliyet=k.gFiyat AND h.Aciklama=k.StokAdi||' İle' THEN 'card' END FROM "
            "StokHareket h JOIN StokKartlar k ON k.StokKod=h.StokHarKod "
            "WHERE h.DigerId='261'"_s),
        QStringList{u"2026-12-06 10:30:00|M01|C|01|KADIKÖY ŞUBESİ|2026-12-06 10:30:15|card"_s});
    EXPECT_EQ(column(book("01", "Cari"),
                     u"SELECT CariHarKod||'|'||Carisi||'|'||Sube FROM CariHareket"
                     " WHERE DigerId='261'"_s),
              QStringList{u"Şube02|KADIKÖY ŞUBESİ|01"_s});
    EXPECT_EQ(column(book("01", "Stok"),
                     u"SELECT DISTINCT Carisi||'|'||Sube FROM StokHareket WHERE DigerId='261'"_s),
              QStringList{u"Şube02|02"_s});
}

TEST_P(EnginePostingTest, AHiddenCardIsNeverPostedAndABalanceAtZeroReadsAsDebit) {
    auto purchase = request(false, false, "01", u"AHMET'İN BAKKALI"_s, 8);
    const QString hidden = text(wc, u"SELECT min(StokKod) FROM StokKartlar WHERE StokGizle<>0"_s);
    data::Database::open(wc)->query(
        u"UPDATE StokKartlar SET KalanB=5, GirenTutar=50, Fiyat2=10 WHERE StokKod=?"_s, {hidden});
    const qint64 bought =
        units(wc, u"sum(GirenTutar)"_s, u"StokKartlar WHERE KalanB<>0 AND StokGizle=0"_s);
    // Owed exactly what is bought: the balance is 0 and its side "Borç".
    data::Database::open(book("01", "Cari"))
        ->query(u"UPDATE CariKartlar SET Borc=?, Alacak=0 WHERE CariKod='C009'"_s,
                {bought / 10000.0});
    ASSERT_TRUE(posting::postWorkingSet(purchase).posted);
    EXPECT_EQ(units(book("01", "Cari"), u"Bakiye"_s, u"CariKartlar WHERE CariKod='C009'"_s), 0);
    EXPECT_EQ(text(book("01", "Cari"), u"SELECT Hesap FROM CariKartlar WHERE CariKod='C009'"_s),
              u"Borç"_s);
    EXPECT_EQ(units(book("01", "Stok"), u"sum(Tutar)"_s, u"StokHareket"_s), bought);
}

TEST_P(EnginePostingTest, ABrokenCounterOrMissingRowsStopThePostingBeforeAnythingIsWritten) {
    auto r = request(true, false, "02", u"KADIKÖY ŞUBESİ"_s, 0);
    auto index = data::Database::open(book("02", "Index"));
    index->query(u"INSERT INTO Mdbindex (Tarih, Indexi, Serino) VALUES ('2026', '26a', '261')"_s);
    QStringList before = snapshot();
    EXPECT_THROW(posting::postWorkingSet(r), data::DatabaseError);
    EXPECT_EQ(snapshot(), before);
    index->query(u"DELETE FROM Mdbindex"_s);
    if (GetParam() == Engine::Files) {
        // A cut-off file is named, not the working copy it was attached to.
        const QString stok = book("01", "Stok");
        before = snapshot();
        const QByteArray whole = readFile(stok);
        writeFile(stok, whole.left(whole.size() / 2));
        QString cut;
        try {
            posting::postWorkingSet(r);
        } catch (const data::DatabaseError& e) {
            cut = e.text();
        }
        writeFile(stok, whole);
        EXPECT_TRUE(cut.contains(u"dosya bozuk\nDosya: "_s + QFileInfo(stok).canonicalFilePath()))
            << cut.toStdString();
        EXPECT_EQ(snapshot(), before);
    }

    data::Database::open(book("02", "Cari"))
        ->query(u"DELETE FROM CariKartlar WHERE Unvan='Merkez'"_s);
    data::Database::open(book("01", "Cari"))
        ->query(u"DELETE FROM CariKartlar WHERE CariKod='Şube02'"_s);
    const QStringList codes =
        column(wc, u"SELECT StokKod FROM StokKartlar WHERE KalanB<>0 ORDER BY rowid LIMIT 2"_s);
    data::Database::open(book("01", "Stok"))
        ->query(u"DELETE FROM StokKartlar WHERE StokKod=?"_s, {codes[0]});
    // Hidden in the books after it was scanned: refused as a deleted card is.
    data::Database::open(book("01", "Stok"))
        ->query(u"UPDATE StokKartlar SET StokGizle=1 WHERE StokKod=?"_s, {codes[1]});
    before = snapshot();
    try {
        posting::postWorkingSet(r);
        FAIL() << "posted without its accounts";
    } catch (const data::DatabaseError& e) {
        // A server's books are named by their schema, not by a file that does not exist.
        const QString stock = server ? u"(01stok şeması"_s : u"01Stok.mdb)"_s;
        for (const QString& named :
             {u"\"Merkez\""_s, u"\"Şube02\""_s, codes[0] + u" stok kartı ("_s, codes[1] + u" "_s,
              u"gizli ("_s, stock})
            EXPECT_TRUE(e.text().contains(named)) << e.text().toStdString();
        EXPECT_EQ(e.text().contains(u".mdb"_s), !server) << e.text().toStdString();
    }
    EXPECT_EQ(snapshot(), before);
}
