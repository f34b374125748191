#include <gtest/gtest.h>
#include <QFile>

#include "core/Clock.h"
#include "core/Money.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Pending.h"
#include "invoicing/CreateInvoice.h"
#include "posting/Posting.h"
#include "posting/PostingBooks.h"
#include "support/TestSupport.h"

using namespace testing_support;
using core::Money;

namespace {

// Lines whose amounts binary doubles cannot sum exactly.
class ExactMoneyTest : public ::testing::TestWithParam<Engine> {
  protected:
    TempBooks books{60};
    std::unique_ptr<ServerBooks> server;
    void SetUp() override {
        if (GetParam() == Engine::Server && ServerBooks::testServer().isEmpty())
            GTEST_SKIP() << NoTestServer;
        server = booksOn(GetParam(), books);
    }
    QString path(const QString& company) const { return companyPath(server, books, company); }
    core::FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(9, 0, 27))};
    struct Entry {
        const char* code;
        double price, quantity;
    };
    // The lines as the booking rules leave them: amount and VAT each rounded once.
    QString enter(const QString& company) {
        const QString wc =
            enteredWorkingCopy(books.serverPath(company), books.dir() + u"/Temp1.Mdb"_s, 0);
        auto db = data::Database::open(wc);
        for (const Entry& e : {Entry{"ST000001", 0.1, 1}, Entry{"ST000002", 0.2, 1},
                               Entry{"ST000003", 1.005, 3}, Entry{"ST000004", 19.99, 7}}) {
            const Money amount = Money::fromDouble(e.price).times(Money::fromDouble(e.quantity));
            db->query(
                u"UPDATE StokKartlar SET Fiyat=?, Fiyat2=?, Kdv=18, KalanB=?, GirenTutar=?, "
                "Kar=? WHERE StokKod=?"_s,
                {e.price, e.price, e.quantity, amount.toDouble(),
                 amount.percent(Money::fromInteger(18)).toDouble(), QString::fromLatin1(e.code)});
        }
        return wc;
    }
    invoicing::InvoiceRequest invoice(const QString& company) {
        return {.serverPath = path(company),
                .workingCopy = enter(company),
                .customerTitle = u"AHMET'İN BAKKALI"_s,
                .clock = &clock};
    }
    // Each distinct value of a date field as the engine's own date functions read it; a text
    // they cannot read comes back empty on files and fails on the server.
    QStringList moments(const QString& file, const QString& field, const QString& from) const {
        const QString read = server ? u"to_char(%1, 'YYYY-MM-DD HH24:MI:SS')"_s : u"datetime(%1)"_s;
        return column(file, u"SELECT DISTINCT %1 FROM %2"_s.arg(read.arg(field), from));
    }
    // Every value of the fields reads back as a decimal of four places, not a binary fraction.
    static void expectExact(const QString& file, const QString& table, const QStringList& fields) {
        for (const QString& field : fields) {
            const QString at = table + u'.' + field;
            const QStringList values =
                column(file, u"SELECT %1 FROM %2 WHERE %1 IS NOT NULL"_s.arg(field, table));
            EXPECT_FALSE(values.isEmpty()) << at.toStdString();
            for (const QString& v : values)
                EXPECT_EQ(Money::fromDouble(v.toDouble()).toDouble(), v.toDouble())
                    << at.toStdString() << v.toStdString();
        }
    }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engines, ExactMoneyTest, ::testing::Values(Engine::Files, Engine::Server),
                         [](const auto& info) { return engineName(info.param); });

TEST_P(ExactMoneyTest, AnInvoiceAndAPostingWriteExactDecimalsThatAddUp) {
    const QString cari = path(u"01"_s) + u"Cari.mdb"_s, fatura = path(u"01"_s) + u"Fatura.mdb"_s;
    const QString vatAccount = u"SELECT Borc FROM CariKartlar WHERE CariKod='=110'"_s;
    const Money vatBefore = Money::fromDouble(number(cari, vatAccount));
    invoicing::InvoiceRequest r = invoice(u"01"_s);
    const invoicing::InvoiceResult first = invoicing::createInvoice(r);
    ASSERT_TRUE(first.written);
    EXPECT_EQ(first.key, u"S00001"_s);
    // 0,1 + 0,2 + 1,005 × 3 + 19,99 × 7 = 143,245; VAT at 18 % line by line: 25,7841.
    EXPECT_EQ(number(fatura, u"SELECT FatTop FROM Faturalar"_s), 143.245);
    EXPECT_EQ(number(fatura, u"SELECT FatKdvTut FROM Faturalar"_s), 25.7841);
    EXPECT_EQ(number(cari, u"SELECT Borc FROM CariHareket WHERE CariHarKod<>'=110'"_s), 143.245);
    EXPECT_EQ(Money::fromDouble(number(cari, vatAccount)), vatBefore + Money::fromDouble(25.7841));

    // The same lines posted as a warehouse sale from the head office to the first branch.
    ASSERT_TRUE(posting::postWorkingSet({.warehouse = true,
                                         .sale = true,
                                         .serverPath = path(u"02"_s),
                                         .workingCopy = enter(u"02"_s),
                                         .targetTitle = u"KADIKÖY ŞUBESİ"_s,
                                         .targetIndex = 0,
                                         .clock = &clock})
                    .posted);
    for (const QString& company : {u"01"_s, u"02"_s}) {
        const QString cari = path(company) + u"Cari.mdb"_s, stok = path(company) + u"Stok.mdb"_s;
        EXPECT_EQ(number(cari,
                         u"SELECT max(coalesce(Borc,0)+coalesce(Alacak,0)) FROM "
                         "CariHareket WHERE Nerde='S'"_s),
                  143.245)
            << company.toStdString();
        expectExact(cari, u"CariKartlar"_s, {u"Borc"_s, u"Alacak"_s, u"Bakiye"_s});
        expectExact(stok, u"StokHareket"_s, {u"Tutar"_s, u"Miktar"_s, u"Fiyat"_s});
        expectExact(stok, u"StokKartlar"_s,
                    {u"GirenTutar"_s, u"CikanTutar"_s, u"GirenMik"_s, u"CikanMik"_s, u"KalanB"_s});
        // Every time written is the moment of the posting or the invoice, as the engine reads it.
        EXPECT_EQ(moments(cari, u"Tarih"_s, u"CariHareket"_s),
                  QStringList{u"2026-12-06 09:00:27"_s});
    }
    expectExact(fatura, u"FatHareket"_s,
                {u"FatTutar"_s, u"FatKdv"_s, u"FatMiktar"_s, u"FatTotal"_s});
    EXPECT_EQ(moments(path(u"01"_s) + u"Stok.mdb"_s, u"Tarih"_s, u"StokHareket WHERE Nerde='F'"_s),
              QStringList{u"2026-12-06 09:00:27"_s});
    EXPECT_EQ(moments(fatura, u"FatTarih"_s, u"Faturalar"_s),
              QStringList{u"2026-12-06 00:00:00"_s});

    // After warehouse work on branch 02 its customer is invoiced in 02's books alone, the
    // invoice file included; the number goes on from the data directory's sequence.
    r = invoice(u"02"_s);
    const invoicing::InvoiceResult second = invoicing::createInvoice(r);
    ASSERT_TRUE(second.written);
    EXPECT_EQ(second.key, u"S00002"_s);
    EXPECT_EQ(count(fatura, u"SELECT count(*) FROM Faturalar"_s), 1);
    for (const auto& [book, rows, n] :
         {std::tuple{"Fatura", "Faturalar WHERE FaturaNo='S00002' AND FatCari='C009'", 1},
          std::tuple{"Fatura", "FatHareket WHERE FatHarNo='S00002' AND FatCari='C009'", 4},
          std::tuple{"Stok", "StokHareket WHERE Nerde='F' AND Carisi='C009'", 4},
          std::tuple{"Cari", "CariHareket WHERE Nerde='F'", 2}})
        EXPECT_EQ(count(r.serverPath + QString::fromLatin1(book) + u".mdb"_s,
                        u"SELECT count(*) FROM %1 AND DigerId=?"_s.arg(QString::fromLatin1(rows)),
                        {second.documentNumber}),
                  n)
            << rows;

    // A company without its invoice file: named, and nothing written or numbered.
    r = invoice(u"03"_s);
    if (server)
        data::Database::open(r.serverPath + u"Cari.mdb"_s)
            ->query(u"DROP SCHEMA \"03fatura\" CASCADE"_s);
    else
        QFile::remove(r.serverPath + u"Fatura.mdb"_s);
    try {
        invoicing::createInvoice(r);
        ADD_FAILURE() << "invoiced without an invoice file";
    } catch (const data::DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(u"03 firmasının fatura dosyası bulunamadı"_s) &&
                    e.text().contains(u"03Fatura.mdb"_s))
            << e.text().toStdString();
    }
    EXPECT_EQ(count(r.serverPath + u"Cari.mdb"_s, u"SELECT count(*) FROM CariHareket"_s), 0);
    EXPECT_EQ(count(r.serverPath + u"Index.mdb"_s, u"SELECT count(*) FROM Mdbindex"_s), 0);
    EXPECT_EQ(count(r.workingCopy, u"SELECT count(*) FROM StokKartlar WHERE KalanB<>0"_s), 4);
    // On a server the number is a row of the books, stored in the invoice's own commit.
    const QString numberFile = books.dataDir() + u"/FatNo.txt"_s;
    EXPECT_EQ(server ? text(cari, u"SELECT no FROM terminal.fatno"_s)
                     : QString::fromLatin1(readFile(numberFile)),
              server ? u"00002"_s : u"\"00002\"\r\n"_s);

    // Numbers compare as numbers past five digits: 99999 beside an invoice S100000 gives S100001.
    if (server)
        data::Database::open(cari)->query(u"UPDATE terminal.fatno SET no='99999'"_s);
    else
        writeFile(numberFile, "\"99999\"\r\n");
    data::Database::open(path(u"02"_s) + u"Fatura.mdb"_s)
        ->query(u"INSERT INTO Faturalar (FaturaNo) VALUES ('S100000')"_s);
    r.serverPath = path(u"01"_s);
    EXPECT_EQ(invoicing::createInvoice(r).key, u"S100001"_s);
}

// An invoice whose answer is lost (the working copy cannot be emptied after the books' commit),
// then a piece more on one line and a new line, then "Tamam" again: on a server the earlier
// invoice is found and said, and only what was booked after it is invoiced anew; on files the
// first invoice wrote nothing. Either way every line is invoiced exactly once.
TEST_P(ExactMoneyTest, LinesBookedAfterALostInvoiceAnswerAreInvoicedOnTheirOwn) {
    const invoicing::InvoiceRequest r = invoice(u"01"_s);
    auto copy = data::Database::open(r.workingCopy);
    copy->query(
        u"CREATE TRIGGER lost BEFORE UPDATE OF KalanB ON StokKartlar WHEN NEW.KalanB = 0 "
        "BEGIN SELECT RAISE(ABORT, 'cevap gelmedi'); END"_s);
    EXPECT_THROW(invoicing::createInvoice(r), data::DatabaseError);
    copy->query(u"DROP TRIGGER lost"_s);
    EXPECT_EQ(data::hasPending(r.workingCopy), server != nullptr);
    // One more 19,99 on a line the invoice covered, and 2 × 0,5 on a new one.
    copy->query(
        u"UPDATE StokKartlar SET KalanB=KalanB+1, GirenTutar=GirenTutar+19.99, "
        "Kar=Kar+3.5982 WHERE StokKod='ST000004'"_s);
    copy->query(
        u"UPDATE StokKartlar SET Fiyat=0.5, Fiyat2=0.5, Kdv=18, KalanB=2, GirenTutar=1, "
        "Kar=0.18 WHERE StokKod='ST000005'"_s);

    const invoicing::InvoiceResult again = invoicing::createInvoice(r);
    ASSERT_TRUE(again.written);
    EXPECT_EQ(again.earlier.message(),
              server ? u"Önceki işlem yazılmış: fatura S00001"_s : QString());
    EXPECT_EQ(again.key, server ? u"S00002"_s : u"S00001"_s);
    EXPECT_EQ(again.total, server ? 20.99 : 164.235);
    const QString fatura = r.serverPath + u"Fatura.mdb"_s;
    // 143,245 invoiced before the answer was lost, 20,99 after.
    EXPECT_EQ(number(fatura, u"SELECT sum(FatTop) FROM Faturalar"_s), 164.235);
    EXPECT_EQ(column(fatura,
                     u"SELECT FatStok || ' ' || CAST(FatMiktar AS INTEGER) FROM FatHareket "
                     "WHERE FatHarNo=? ORDER BY FatStok"_s,
                     {again.key}),
              server ? (QStringList{u"ST000004 1"_s, u"ST000005 2"_s})
                     : (QStringList{u"ST000001 1"_s, u"ST000002 1"_s, u"ST000003 3"_s,
                                    u"ST000004 8"_s, u"ST000005 2"_s}));
    EXPECT_EQ(count(r.workingCopy, u"SELECT count(*) FROM StokKartlar WHERE KalanB<>0"_s), 0);
    EXPECT_FALSE(data::hasPending(r.workingCopy));
}
