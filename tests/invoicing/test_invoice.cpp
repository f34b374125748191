#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>

#include "core/Clock.h"
#include "core/Waiting.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "invoicing/InvoiceNumber.h"
#include "invoicing/WriteInvoice.h"
#include "posting/PostingBooks.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(InvoiceNumber, KeepsItsWidthAndReadsLikeADecimalReader) {
    for (const auto& [previous, next] :
         {std::pair{"00009", "00010"}, std::pair{"09999", "10000"}, std::pair{"99999", "100000"},
          std::pair{"100000", "100001"}, std::pair{"0042", "0043"},
          std::pair{"  00012 kayıt", "00013"}, std::pair{"", "00001"}})
        EXPECT_EQ(invoicing::nextInvoiceNumber(QString::fromUtf8(previous)),
                  QString::fromUtf8(next))
            << previous;
    EXPECT_EQ(invoicing::ShiftText(u"00019"_s), u"1112:"_s);
    EXPECT_EQ(invoicing::numberFilePath(u"\\\\127.0.0.1\\RezoruviZada\\02"_s),
              u"\\\\127.0.0.1\\RezoruviZada\\FatNo.txt"_s);
}

namespace {

class InvoiceTest : public ::testing::Test {
  protected:
    TempBooks books{60};
    core::FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9))};
    QString wc;
    QString numberFile() const { return books.dataDir() + u"/FatNo.txt"_s; }
    invoicing::InvoiceRequest request(const char* company = "01", int lines = 3,
                                      const QString& title = u"AHMET'İN BAKKALI"_s) {
        wc = enteredWorkingCopy(books.serverPath(QString::fromLatin1(company)),
                                books.dir() + u"/Temp1.Mdb"_s, lines);
        data::Database::open(wc)->execute(u"UPDATE StokKartlar SET Kar = GirenTutar * Kdv / 100"_s);
        return {.serverPath = books.serverPath(QString::fromLatin1(company)),
                .workingCopy = wc,
                .customerTitle = title,
                .clock = &clock};
    }
    // Everything a refused invoice must have left as it was.
    QStringList state() {
        return {text(books.file("01", "Fatura"),
                     u"SELECT (SELECT count(*) FROM Faturalar) || ' ' "
                     "|| (SELECT count(*) FROM FatHareket)"_s),
                text(books.file("01", "Stok"),
                     u"SELECT count(*) || ' ' || sum(CikanMik) FROM "
                     "StokHareket, StokKartlar LIMIT 1"_s),
                text(books.file("01", "Cari"),
                     u"SELECT (SELECT count(*) FROM CariHareket) || ' ' "
                     "|| (SELECT sum(Borc) FROM CariKartlar)"_s),
                text(books.file("01", "Index"), u"SELECT count(*) FROM Mdbindex"_s),
                QString::fromUtf8(readFile(numberFile())),
                text(wc, u"SELECT sum(KalanB) FROM StokKartlar"_s)};
    }
};

}  // namespace

TEST_F(InvoiceTest, AnInvoiceIsWrittenWithEveryTableAndField) {
    auto r = request("01", 12);
    // A line cleared with "SİL" keeps its amount but is no line of the invoice.
    data::Database::open(wc)->execute(
        u"UPDATE StokKartlar SET KalanB=0, GirenTutar=500, Kar=90 WHERE StokKod='ST000010'"_s);
    const auto total = core::Money::fromDouble(
        number(wc, u"SELECT sum(GirenTutar) FROM StokKartlar WHERE KalanB<>0"_s));
    const auto vat =
        core::Money::fromDouble(number(wc, u"SELECT sum(Kar) FROM StokKartlar WHERE KalanB<>0"_s));
    // Lines in Turkish name order (Ç after C, not after Z as its bytes), each with a serial of its
    // own drawn at once past the counter's width (from 262: the year began with a document number).
    data::Database::open(wc)->execute(
        u"UPDATE main.Basket SET StokAdi='ÇAM SAKIZI' WHERE StokKod="
        "(SELECT max(StokKod) FROM main.Basket WHERE KalanB<>0)"_s);
    QStringList lines;
    // Each line with its card's VAT rate (not its VAT amount).
    for (const QString& name : column(wc,
                                      u"SELECT StokAdi||'|'||Kdv FROM main.Basket WHERE KalanB<>0 "
                                      "ORDER BY replace(StokAdi, 'Ç', 'C~')"_s))
        lines << u"26%1|%2"_s.arg(lines.size() + 2).arg(name);
    const invoicing::InvoiceResult result = invoicing::writeInvoice(r);
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.key, u"S00001"_s);
    EXPECT_EQ(result.lines, lines.size());
    EXPECT_EQ(result.total, total);
    EXPECT_EQ(result.vat, vat);
    EXPECT_EQ(readFile(numberFile()), QByteArray("\"00001\"\r\n"));

    const QString fatura = books.file("01", "Fatura"), cari = books.file("01", "Cari");
    EXPECT_EQ(text(fatura,
                   u"SELECT "
                   "FaturaNo||'|'||FatTarih||'|'||FatCari||'|'||Nakit||'|'||DigerId||'|'||Unvan||'|"
                   "'||Gurup||'|'||KdvHarDahil||'|'||(FatTop=Toplam) FROM Faturalar"_s),
              u"S00001|2026-12-06|C009|1|261|AHMET'İN BAKKALI|Müşteri|0|1"_s);
    EXPECT_EQ(column(fatura,
                     u"SELECT SeriNoDiger||'|'||Stok||'|'||FatKdv FROM FatHareket "
                     "ORDER BY rowid"_s),
              lines);
    EXPECT_EQ(text(books.file("01", "Index"), u"SELECT Indexi||'/'||Serino FROM Mdbindex"_s),
              u"261/26%1"_s.arg(lines.size() + 1));
    EXPECT_EQ(column(fatura,
                     u"SELECT FatHarNo||'|'||FatGirisCikis||'|'||FatCari||'|'||(FatAciklama=Stok)"
                     "||'|'||DigerId||'|'||Nerde||'|'||Yeni||'|'||Tarih FROM FatHareket"_s),
              QStringList(lines.size(), u"S00001|0|C009|1|261|F|1|06.12.2026 14:05"_s));
    EXPECT_EQ(column(books.file("01", "Stok"),
                     u"SELECT Aciklama||'|'||GirisCikis||'|'||Carisi||'|'||Nerde||'|'||Unvan||'|'"
                     "||Yeni||'|'||Server||'|'||coalesce(Sube,'-')||'|'||Tarih FROM StokHareket"_s),
              QStringList(lines.size(),
                          u"00001 Nolu Satış Faturası ile|Satış|C009|F|AHMET'İN "
                          "BAKKALI|1|0|-|2026-12-06 14:05:09"_s));
    EXPECT_EQ(column(cari,
                     u"SELECT CariHarKod||'|'||Aciklama||'|'||Carisi||'|'||Nerde "
                     "FROM CariHareket ORDER BY rowid"_s),
              (QStringList{u"C009|S00001 Nolu Satış Faturası ile |C009|F"_s,
                           u"=110|S00001 Nolu Satış Faturası ile |=110|F"_s}));
    const auto borc = [&](const char* account) {
        return core::Money::fromDouble(
            number(cari, u"SELECT Borc FROM CariKartlar WHERE CariKod='%1'"_s.arg(account)));
    };
    EXPECT_EQ(borc("C009"), core::Money::fromInteger(560) + total);
    EXPECT_EQ(borc("=110"), vat);
    EXPECT_EQ(count(wc, u"SELECT count(*) FROM StokKartlar WHERE KalanB<>0"_s), 0);
}

TEST_F(InvoiceTest, ZeroTotalsAndFailuresConsumeNoNumber) {
    writeFile(numberFile(), "\"00041\"\r\n");
    auto r = request();
    data::Database::open(wc)->execute(u"UPDATE StokKartlar SET GirenTutar=0"_s);
    const QStringList zero = state();
    EXPECT_FALSE(invoicing::writeInvoice(r).written);
    EXPECT_EQ(state(), zero);

    const auto refused = [&](const invoicing::InvoiceRequest& r, const QStringList& named) {
        const QStringList before = state();
        try {
            invoicing::writeInvoice(r);
            ADD_FAILURE() << "written despite " << named.join(u", "_s).toStdString();
        } catch (const data::DatabaseError& e) {
            for (const QString& n : named)
                EXPECT_TRUE(e.text().contains(n)) << e.text().toStdString();
        }
        EXPECT_EQ(state(), before);
    };
    // A text where a number is read (a card of the books, a line entered) is neither read as 0
    // nor written back: named where it is.
    r = request("01", 2, u"ÖZTÜRK MARKET"_s);
    struct Text {
        QString file, table, row, field, named;
    };
    for (const Text& t : {Text{books.file("01", "Stok"), u"StokKartlar"_s, u"StokKod='ST000001'"_s,
                               u"CikanMik"_s, u"ST000001 stok kartının"_s},
                          Text{books.file("01", "Cari"), u"CariKartlar"_s, u"CariKod='C002'"_s,
                               u"Alacak"_s, u"\"C002\" cari kartının"_s},
                          Text{wc, u"StokKartlar"_s, u"StokKod='ST000002'"_s, u"GirenTutar"_s,
                               u"ST000002 satırının"_s}}) {
        const QString where = u" FROM %1 WHERE %2"_s.arg(t.table, t.row);
        const QVariant was = scalar(t.file, u"SELECT "_s + t.field + where);
        auto db = data::Database::open(t.file);
        db->execute(u"UPDATE %1 SET %2='abc' WHERE %3"_s.arg(t.table, t.field, t.row));
        refused(r, {t.named + u' ' + t.field, QFileInfo(t.file).fileName()});
        db->query(u"UPDATE %1 SET %2=? WHERE %3"_s.arg(t.table, t.field, t.row), {was});
    }
    // A missing customer or "=110": each named, nothing written.
    data::Database::open(books.file("01", "Cari"))
        ->execute(u"DELETE FROM CariKartlar WHERE CariKod='=110'"_s);
    refused(request("01", 3, u"YOK BÖYLE BİR MÜŞTERİ"_s), {u"YOK BÖYLE"_s, u"=110"_s});

    // Without VAT no "=110" is needed or touched.
    r = request("01", 2, u"ÖZTÜRK MARKET"_s);
    data::Database::open(wc)->execute(u"UPDATE StokKartlar SET Kar=0, Kdv=0"_s);
    EXPECT_EQ(invoicing::writeInvoice(r).key, u"S00042"_s);
    EXPECT_EQ(count(books.file("01", "Cari"),
                    u"SELECT count(*) FROM CariHareket WHERE CariHarKod='=110'"_s),
              0);
}

TEST_F(InvoiceTest, TheNumberFileIsSharedAndCannotGoBackwards) {
    // No number at all starts from 00001; nine digits are read; anything else that is not a plain
    // number is refused, naming the file and what it holds, before an invoice key is made of it.
    struct Content {
        QByteArray bytes;
        QString next;  // empty: refused
    };
    for (const Content& c :
         {Content{"", u"00001"_s}, Content{"\"-5\"\r\n", u"00001"_s},
          Content{"123456", u"123457"_s}, Content{"\"999999998\"\r\n", u"999999999"_s},
          Content{"\"12abc\"\r\n", QString()}, Content{"\"1234567890\"\r\n", QString()}}) {
        writeFile(numberFile(), c.bytes);
        try {
            EXPECT_EQ(invoicing::InvoiceNumberLock(numberFile(), {}).number(), c.next)
                << c.bytes.constData();
        } catch (const data::DatabaseError& e) {
            EXPECT_TRUE(c.next.isEmpty()) << c.bytes.constData() << ": " << e.text().toStdString();
            EXPECT_TRUE(e.text().contains(numberFile()) &&
                        e.text().contains(QString::fromLatin1(c.bytes.trimmed())))
                << e.text().toStdString();
        }
    }
    // The last, ten digits, writes no invoice.
    auto refused = request("01", 2, u"ÖZTÜRK MARKET"_s);
    const QStringList unwritten = state();
    EXPECT_THROW(invoicing::writeInvoice(refused), data::DatabaseError);
    EXPECT_EQ(state(), unwritten);

    // Company 02 shares the file with 01; a file left behind the books (a crash after an invoice
    // was written) does not hand the number out again.
    writeFile(numberFile(), "\"00007\"\r\n");
    ASSERT_EQ(invoicing::writeInvoice(request("02", 2, u"ÖZTÜRK MARKET"_s)).key, u"S00008"_s);
    writeFile(numberFile(), "\"00003\"\r\n");
    EXPECT_EQ(invoicing::writeInvoice(request("01", 2, u"ÖZTÜRK MARKET"_s)).key, u"S00009"_s);
}

// Another PC's lock (pid, application, host) is taken over once older than the limit; while its
// holder may live the window is asked, and giving up names the holder and writes nothing.
TEST_F(InvoiceTest, ALockIsWaitedForWhileItsHolderMayLiveAndTakenOverWhenItCannot) {
    writeFile(numberFile(), "\"00041\"\r\n");
    const auto lockAged = [&](int seconds) {
        const QString lockPath = numberFile() + u".lock"_s;
        writeFile(lockPath, "4242\nterminal\nKASA-2\n");
        QFile f(lockPath);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds),
                                  QFileDevice::FileModificationTime));
    };
    GiveUpAfter giveUp(1);
    core::WaitObserverScope scope(&giveUp);
    auto r = request();
    lockAged(60);
    const QStringList before = state();
    try {
        invoicing::writeInvoice(r);
        ADD_FAILURE() << "the lock was taken from a live holder";
    } catch (const data::DatabaseError& e) {
        EXPECT_TRUE(
            e.text().startsWith(core::waitGivenUpText(u"Fatura numarası başka bir terminalde"_s)) &&
            e.text().contains(u"KASA-2 bilgisayarı, işlem 4242"_s))
            << e.text().toStdString();
    }
    EXPECT_EQ(giveUp.asked, QStringList{u"Fatura numarası başka bir terminalde"_s});
    EXPECT_EQ(state(), before);
    lockAged(600);
    EXPECT_EQ(invoicing::InvoiceNumberLock(numberFile(), {}).number(), u"00042"_s);
}
