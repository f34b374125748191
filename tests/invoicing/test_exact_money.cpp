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
        const QString wc = enteredWorkingCopy(books.serverPath(company),
                                              books.dir() + QStringLiteral("/Temp1.Mdb"), 0);
        auto db = data::Database::open(wc);
        for (const Entry& e : {Entry{"ST000001", 0.1, 1}, Entry{"ST000002", 0.2, 1},
                               Entry{"ST000003", 1.005, 3}, Entry{"ST000004", 19.99, 7}}) {
            const Money amount = Money::fromDouble(e.price).times(Money::fromDouble(e.quantity));
            db->query(
                QStringLiteral("UPDATE StokKartlar SET Fiyat=?, Fiyat2=?, Kdv=18, KalanB=?, "
                               "GirenTutar=?, Kar=? WHERE StokKod=?"),
                {e.price, e.price, e.quantity, amount.toDouble(),
                 amount.percent(Money::fromInteger(18)).toDouble(), QString::fromLatin1(e.code)});
        }
        return wc;
    }
    // Each distinct value of a date field as the engine's own date functions read it; a text
    // they cannot read comes back empty on files and fails on the server.
    QStringList moments(const QString& file, const char* field, const QString& from) const {
        const QString read = server ? QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')")
                                    : QStringLiteral("datetime(%1)");
        return column(file, QStringLiteral("SELECT DISTINCT %1 FROM %2")
                                .arg(read.arg(QString::fromLatin1(field)), from));
    }
    // Every value of the column reads back as a decimal of four places, not a binary fraction.
    static void expectExact(const QString& file, const QString& table, const QString& field) {
        const QStringList values = column(
            file, QStringLiteral("SELECT %1 FROM %2 WHERE %1 IS NOT NULL").arg(field, table));
        EXPECT_FALSE(values.isEmpty()) << table.toStdString() << "." << field.toStdString();
        for (const QString& v : values)
            EXPECT_EQ(Money::fromDouble(v.toDouble()).toDouble(), v.toDouble())
                << table.toStdString() << "." << field.toStdString() << " = " << v.toStdString();
    }
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Engines, ExactMoneyTest, ::testing::Values(Engine::Files, Engine::Server),
                         [](const auto& info) { return engineName(info.param); });

TEST_P(ExactMoneyTest, AnInvoiceAndAPostingWriteExactDecimalsThatAddUp) {
    const QString serverPath = path(QStringLiteral("01"));
    const QString cari = serverPath + QStringLiteral("Cari.mdb");
    const double vatBefore =
        scalar(cari, QStringLiteral("SELECT Borc FROM CariKartlar WHERE CariKod='=110'"))
            .toDouble();
    invoicing::InvoiceRequest r;
    r.serverPath = serverPath;
    r.workingCopy = enter(QStringLiteral("01"));
    r.customerTitle = QStringLiteral("AHMET'İN BAKKALI");
    r.clock = &clock;
    const invoicing::InvoiceResult invoice = invoicing::createInvoice(r);
    ASSERT_TRUE(invoice.written);
    EXPECT_EQ(invoice.key, QStringLiteral("S00001"));
    // On a server the number is the row's, stored in the invoice's own commit.
    if (server) {
        EXPECT_EQ(text(cari, QStringLiteral("SELECT no FROM terminal.fatno")), invoice.number);
    }
    const QString fatura = serverPath + QStringLiteral("Fatura.mdb");
    // 0,1 + 0,2 + 1,005 × 3 + 19,99 × 7 = 143,245; VAT at 18 % line by line: 25,7841.
    EXPECT_EQ(scalar(fatura, QStringLiteral("SELECT FatTop FROM Faturalar")).toDouble(), 143.245);
    EXPECT_EQ(scalar(fatura, QStringLiteral("SELECT FatKdvTut FROM Faturalar")).toDouble(),
              25.7841);
    QStringList amounts;
    for (const QString& v :
         column(fatura, QStringLiteral("SELECT FatTutar FROM FatHareket ORDER BY FatTutar")))
        amounts << Money::fromDouble(v.toDouble()).toString(QLocale::c());
    EXPECT_EQ(amounts, (QStringList{QStringLiteral("0.1"), QStringLiteral("0.2"),
                                    QStringLiteral("3.015"), QStringLiteral("139.93")}));
    EXPECT_EQ(scalar(cari, QStringLiteral("SELECT Borc FROM CariHareket WHERE CariHarKod<>'=110'"))
                  .toDouble(),
              143.245);
    EXPECT_EQ(Money::fromDouble(
                  scalar(cari, QStringLiteral("SELECT Borc FROM CariKartlar WHERE CariKod='=110'"))
                      .toDouble()),
              Money::fromDouble(vatBefore) + Money::fromDouble(25.7841));

    // The same lines posted as a warehouse sale from the head office to the first branch.
    posting::PostingRequest p;
    p.warehouse = true;
    p.sale = true;
    p.serverPath = path(QStringLiteral("02"));
    p.workingCopy = enter(QStringLiteral("02"));
    p.targetTitle = QStringLiteral("KADIKÖY ŞUBESİ");
    p.targetIndex = 0;
    p.clock = &clock;
    ASSERT_TRUE(posting::postWorkingSet(p).posted);
    for (const QString& company : {QStringLiteral("01"), QStringLiteral("02")}) {
        const QString books = path(company);
        EXPECT_EQ(scalar(books + QStringLiteral("Cari.mdb"),
                         QStringLiteral("SELECT max(coalesce(Borc,0)+coalesce(Alacak,0)) FROM "
                                        "CariHareket WHERE Nerde='S'"))
                      .toDouble(),
                  143.245)
            << company.toStdString();
        for (const char* field : {"Borc", "Alacak", "Bakiye"})
            expectExact(books + QStringLiteral("Cari.mdb"), QStringLiteral("CariKartlar"),
                        QString::fromLatin1(field));
        for (const char* field : {"Tutar", "Miktar", "Fiyat"})
            expectExact(books + QStringLiteral("Stok.mdb"), QStringLiteral("StokHareket"),
                        QString::fromLatin1(field));
        for (const char* field : {"GirenTutar", "CikanTutar", "GirenMik", "CikanMik", "KalanB"})
            expectExact(books + QStringLiteral("Stok.mdb"), QStringLiteral("StokKartlar"),
                        QString::fromLatin1(field));
    }
    for (const char* field : {"FatTutar", "FatKdv", "FatMiktar", "FatTotal"})
        expectExact(fatura, QStringLiteral("FatHareket"), QString::fromLatin1(field));

    // Every time written is a date-time the engine reads as the moment of the posting or the
    // invoice; a posting's stock movement is kept to the minute; the invoice's day is a date.
    const QString at = QStringLiteral("2026-12-06 09:00:27");
    const QString minute = QStringLiteral("2026-12-06 09:00:00");
    for (const QString& company : {QStringLiteral("01"), QStringLiteral("02")}) {
        const QString stok = path(company) + QStringLiteral("Stok.mdb");
        const QString cari = path(company) + QStringLiteral("Cari.mdb");
        EXPECT_EQ(moments(cari, "Tarih", QStringLiteral("CariHareket")), QStringList{at});
        EXPECT_EQ(moments(stok, "Tarih", QStringLiteral("StokHareket WHERE Nerde='C'")),
                  QStringList{minute});
        EXPECT_EQ(moments(stok, "SatTar", QStringLiteral("StokHareket WHERE Nerde='C'")),
                  QStringList{at});
    }
    EXPECT_EQ(moments(serverPath + QStringLiteral("Stok.mdb"), "Tarih",
                      QStringLiteral("StokHareket WHERE Nerde='F'")),
              QStringList{at});
    EXPECT_EQ(moments(fatura, "FatTarih", QStringLiteral("Faturalar")),
              QStringList{QStringLiteral("2026-12-06 00:00:00")});

    // After warehouse work on branch 02 its customer is invoiced in 02's books alone, the
    // invoice file included; the number goes on from the data directory's sequence.
    r.serverPath = path(QStringLiteral("02"));
    r.workingCopy = enter(QStringLiteral("02"));
    const invoicing::InvoiceResult second = invoicing::createInvoice(r);
    ASSERT_TRUE(second.written);
    EXPECT_EQ(second.key, QStringLiteral("S00002"));
    EXPECT_EQ(count(fatura, QStringLiteral("SELECT count(*) FROM Faturalar")), 1);
    struct Rows {
        const char* file;
        const char* sql;
        int rows;
    };
    for (const Rows& k :
         {Rows{"Fatura", "Faturalar WHERE FaturaNo='S00002' AND FatCari='C009'", 1},
          Rows{"Fatura", "FatHareket WHERE FatHarNo='S00002' AND FatCari='C009'", 4},
          Rows{"Stok", "StokHareket WHERE Nerde='F' AND Carisi='C009'", 4},
          Rows{"Cari", "CariHareket WHERE Nerde='F'", 2}})
        EXPECT_EQ(count(r.serverPath + QString::fromLatin1(k.file) + QStringLiteral(".mdb"),
                        QStringLiteral("SELECT count(*) FROM %1 AND DigerId=?")
                            .arg(QString::fromLatin1(k.sql)),
                        {second.documentNumber}),
                  k.rows)
            << k.sql;

    // A company without its invoice file: named, and nothing written or numbered.
    r.serverPath = path(QStringLiteral("03"));
    r.workingCopy = enter(QStringLiteral("03"));
    if (server)
        data::Database::open(r.serverPath + QStringLiteral("Cari.mdb"))
            ->query(QStringLiteral("DROP SCHEMA \"03fatura\" CASCADE"));
    else
        QFile::remove(r.serverPath + QStringLiteral("Fatura.mdb"));
    try {
        invoicing::createInvoice(r);
        ADD_FAILURE() << "invoiced without an invoice file";
    } catch (const data::DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("03 firmasının fatura dosyası bulunamadı")) &&
                    e.text().contains(QStringLiteral("03Fatura.mdb")))
            << e.text().toStdString();
    }
    EXPECT_EQ(count(r.serverPath + QStringLiteral("Cari.mdb"),
                    QStringLiteral("SELECT count(*) FROM CariHareket")),
              0);
    EXPECT_EQ(count(r.serverPath + QStringLiteral("Index.mdb"),
                    QStringLiteral("SELECT count(*) FROM Mdbindex")),
              0);
    EXPECT_EQ(count(r.workingCopy, QStringLiteral("SELECT count(*) FROM StokKartlar WHERE "
                                                  "KalanB<>0")),
              4);
    const QString numberFile = books.dataDir() + QStringLiteral("/FatNo.txt");
    const QString cari01 = path(QStringLiteral("01")) + QStringLiteral("Cari.mdb");
    EXPECT_EQ(server ? text(cari01, QStringLiteral("SELECT no FROM terminal.fatno"))
                     : QString::fromLatin1(readFile(numberFile)),
              server ? QStringLiteral("00002") : QStringLiteral("\"00002\"\r\n"));

    // Numbers compare as numbers past five digits: 99999 beside an invoice S100000 gives S100001.
    if (server)
        data::Database::open(cari01)->query(QStringLiteral("UPDATE terminal.fatno SET no='99999'"));
    else
        writeFile(numberFile, "\"99999\"\r\n");
    data::Database::open(path(QStringLiteral("02")) + QStringLiteral("Fatura.mdb"))
        ->query(QStringLiteral("INSERT INTO Faturalar (FaturaNo) VALUES ('S100000')"));
    r.serverPath = path(QStringLiteral("01"));
    EXPECT_EQ(invoicing::createInvoice(r).key, QStringLiteral("S100001"));
}

// An invoice whose answer is lost (the working copy cannot be emptied after the books' commit),
// then a piece more on one line and a new line, then "Tamam" again: on a server the earlier
// invoice is found and said, and only what was booked after it is invoiced anew; on files the
// first invoice wrote nothing. Either way every line is invoiced exactly once.
TEST_P(ExactMoneyTest, LinesBookedAfterALostInvoiceAnswerAreInvoicedOnTheirOwn) {
    invoicing::InvoiceRequest r;
    r.serverPath = path(QStringLiteral("01"));
    r.workingCopy = enter(QStringLiteral("01"));
    r.customerTitle = QStringLiteral("AHMET'İN BAKKALI");
    r.clock = &clock;
    auto copy = data::Database::open(r.workingCopy);
    copy->query(
        QStringLiteral("CREATE TRIGGER lost BEFORE UPDATE OF KalanB ON StokKartlar WHEN "
                       "NEW.KalanB = 0 BEGIN SELECT RAISE(ABORT, 'cevap gelmedi'); END"));
    EXPECT_THROW(invoicing::createInvoice(r), data::DatabaseError);
    copy->query(QStringLiteral("DROP TRIGGER lost"));
    EXPECT_EQ(data::hasPending(r.workingCopy), server != nullptr);
    // One more 19,99 on a line the invoice covered, and 2 × 0,5 on a new one.
    copy->query(
        QStringLiteral("UPDATE StokKartlar SET KalanB=KalanB+1, GirenTutar=GirenTutar+"
                       "19.99, Kar=Kar+3.5982 WHERE StokKod='ST000004'"));
    copy->query(
        QStringLiteral("UPDATE StokKartlar SET Fiyat=0.5, Fiyat2=0.5, Kdv=18, KalanB=2, "
                       "GirenTutar=1, Kar=0.18 WHERE StokKod='ST000005'"));

    const invoicing::InvoiceResult again = invoicing::createInvoice(r);
    ASSERT_TRUE(again.written);
    EXPECT_EQ(again.earlier.message(),
              server ? QStringLiteral("Önceki işlem yazılmış: fatura S00001") : QString());
    EXPECT_EQ(again.key, server ? QStringLiteral("S00002") : QStringLiteral("S00001"));
    EXPECT_EQ(again.total, server ? 20.99 : 164.235);
    const QString fatura = r.serverPath + QStringLiteral("Fatura.mdb");
    // 143,245 invoiced before the answer was lost, 20,99 after.
    EXPECT_EQ(number(fatura, QStringLiteral("SELECT sum(FatTop) FROM Faturalar")), 164.235);
    EXPECT_EQ(
        column(fatura,
               QStringLiteral("SELECT FatStok || ' ' || CAST(FatMiktar AS INTEGER) FROM FatHareket "
                              "WHERE FatHarNo=? ORDER BY FatStok"),
               {again.key}),
        server ? (QStringList{QStringLiteral("ST000004 1"), QStringLiteral("ST000005 2")})
               : (QStringList{QStringLiteral("ST000001 1"), QStringLiteral("ST000002 1"),
                              QStringLiteral("ST000003 3"), QStringLiteral("ST000004 8"),
                              QStringLiteral("ST000005 2")}));
    EXPECT_EQ(
        count(r.workingCopy, QStringLiteral("SELECT count(*) FROM StokKartlar WHERE KalanB<>0")),
        0);
    EXPECT_FALSE(data::hasPending(r.workingCopy));
}
