#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>

#include "core/Clock.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "invoicing/CreateInvoice.h"
#include "invoicing/InvoiceNumber.h"
#include "posting/PostingBooks.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(InvoiceNumber, KeepsItsWidthAndReadsLikeADecimalReader) {
    using invoicing::nextInvoiceNumber;
    EXPECT_EQ(nextInvoiceNumber(QStringLiteral("00009")), QStringLiteral("00010"));
    EXPECT_EQ(nextInvoiceNumber(QStringLiteral("09999")), QStringLiteral("10000"));
    EXPECT_EQ(nextInvoiceNumber(QStringLiteral("99999")), QStringLiteral("100000"));
    EXPECT_EQ(nextInvoiceNumber(QStringLiteral("100000")), QStringLiteral("100001"));
    EXPECT_EQ(nextInvoiceNumber(QStringLiteral("7")), QStringLiteral("8"));
    EXPECT_EQ(nextInvoiceNumber(QStringLiteral("0042")), QStringLiteral("0043"));
    EXPECT_EQ(nextInvoiceNumber(QStringLiteral("  00012 kayıt")), QStringLiteral("00013"));
    EXPECT_EQ(nextInvoiceNumber(QString()), QStringLiteral("00001"));
    EXPECT_EQ(nextInvoiceNumber(QStringLiteral("çöp")), QStringLiteral("00001"));
    EXPECT_EQ(invoicing::ShiftText(QStringLiteral("00017")), QStringLiteral("11128"));
    EXPECT_EQ(invoicing::ShiftText(QStringLiteral("00019")), QStringLiteral("1112:"));
    EXPECT_EQ(invoicing::numberFilePath(QStringLiteral("\\\\127.0.0.1\\RezoruviZada\\02")),
              QStringLiteral("\\\\127.0.0.1\\RezoruviZada\\FatNo.txt"));
}

namespace {

class InvoiceTest : public ::testing::Test {
  protected:
    TempBooks books{60};
    core::FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(14, 5, 9))};
    QString wc;
    QString numberFile() const { return books.dataDir() + QStringLiteral("/FatNo.txt"); }
    QString file(const char* company, const char* kind) const {
        return books.serverPath(QString::fromLatin1(company)) + QString::fromLatin1(kind) +
               QStringLiteral(".mdb");
    }
    invoicing::InvoiceRequest request(const char* company = "01", int lines = 3,
                                      const QString& title = QStringLiteral("AHMET'İN BAKKALI")) {
        wc = enteredWorkingCopy(books.serverPath(QString::fromLatin1(company)),
                                books.dir() + QStringLiteral("/Temp1.Mdb"), lines);
        data::Database::open(wc)->execute(
            QStringLiteral("UPDATE StokKartlar SET Kar = GirenTutar * Kdv / 100"));
        invoicing::InvoiceRequest r;
        r.serverPath = books.serverPath(QString::fromLatin1(company));
        r.invoiceBooks = r.serverPath;
        r.workingCopy = wc;
        r.customerTitle = title;
        r.clock = &clock;
        return r;
    }
    QStringList state() {
        QStringList s;
        for (const char* t : {"Faturalar", "FatHareket"})
            s << scalar(file("01", "Fatura"),
                        QStringLiteral("SELECT count(*) FROM %1").arg(QString::fromLatin1(t)))
                     .toString();
        s << scalar(file("01", "Stok"),
                    QStringLiteral(
                        "SELECT count(*) || sum(CikanMik) FROM StokHareket, StokKartlar LIMIT 1"))
                 .toString()
          << scalar(file("01", "Cari"), QStringLiteral("SELECT count(*) FROM CariHareket"))
                 .toString()
          << scalar(file("01", "Cari"), QStringLiteral("SELECT sum(Borc) FROM CariKartlar"))
                 .toString()
          << scalar(file("01", "Index"), QStringLiteral("SELECT count(*) FROM Mdbindex")).toString()
          << QString::fromUtf8(readFile(numberFile()))
          << scalar(wc, QStringLiteral("SELECT sum(KalanB) FROM StokKartlar")).toString();
        return s;
    }
};

}  // namespace

TEST_F(InvoiceTest, AnInvoiceIsWrittenWithEveryTableAndField) {
    auto r = request();
    // A line cleared with "SİL" keeps its amount but is no line of the invoice.
    data::Database::open(wc)->execute(QStringLiteral(
        "UPDATE StokKartlar SET KalanB=0, GirenTutar=500, Kar=90 WHERE StokKod='ST000010'"));
    const double total =
        scalar(wc, QStringLiteral("SELECT sum(GirenTutar) FROM StokKartlar WHERE KalanB<>0"))
            .toDouble();
    const double vat =
        scalar(wc, QStringLiteral("SELECT sum(Kar) FROM StokKartlar WHERE KalanB<>0")).toDouble();
    const QStringList names = column(
        wc, QStringLiteral("SELECT StokAdi FROM StokKartlar WHERE KalanB<>0 ORDER BY StokAdi"));
    const invoicing::InvoiceResult result = invoicing::createInvoice(r);
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.key, QStringLiteral("S00001"));
    EXPECT_EQ(result.lines, 3);
    EXPECT_DOUBLE_EQ(result.total, total);
    EXPECT_DOUBLE_EQ(result.vat, vat);
    EXPECT_EQ(readFile(numberFile()), QByteArray("\"00001\"\r\n"));

    EXPECT_EQ(
        scalar(file("01", "Fatura"),
               QStringLiteral(
                   "SELECT "
                   "FaturaNo||'|'||FatTarih||'|'||FatCari||'|'||Nakit||'|'||DigerId||'|'||Unvan||'|"
                   "'||Gurup||'|'||KdvHarDahil||'|'||(FatTop=Toplam) FROM Faturalar"))
            .toString(),
        QStringLiteral("S00001|2026-12-06|C009|1|261|AHMET'İN BAKKALI|Müşteri|0|1"));
    EXPECT_DOUBLE_EQ(
        scalar(file("01", "Fatura"), QStringLiteral("SELECT FatTop FROM Faturalar")).toDouble(),
        total);
    // Lines in name order, each with a serial number of its own (serials from 262 in a year that
    // began with a document number).
    EXPECT_EQ(column(file("01", "Fatura"),
                     QStringLiteral("SELECT SeriNoDiger FROM FatHareket ORDER BY rowid")),
              (QStringList{"262", "263", "264"}));
    EXPECT_EQ(
        column(file("01", "Fatura"), QStringLiteral("SELECT Stok FROM FatHareket ORDER BY rowid")),
        names);
    EXPECT_EQ(scalar(file("01", "Fatura"),
                     QStringLiteral("SELECT count(*) FROM FatHareket WHERE FatHarNo='S00001' AND "
                                    "FatGirisCikis=0 AND FatCari='C009' "
                                    "AND FatAciklama=Stok AND DigerId='261' AND Nerde='F' AND "
                                    "Yeni=1 AND Tarih='06.12.2026 14:05'"))
                  .toInt(),
              3);
    EXPECT_EQ(scalar(file("01", "Stok"),
                     QStringLiteral("SELECT count(*) FROM StokHareket WHERE Aciklama='00001 Nolu "
                                    "Satış Faturası ile' AND GirisCikis='Satış' "
                                    "AND Carisi='C009' AND Nerde='F' AND Unvan='AHMET''İN BAKKALI' "
                                    "AND Yeni=1 AND Server=0 AND Sube IS NULL "
                                    "AND Tarih='2026-12-06 14:05:09'"))
                  .toInt(),
              3);
    EXPECT_EQ(column(file("01", "Cari"),
                     QStringLiteral("SELECT CariHarKod||'|'||Aciklama||'|'||Carisi||'|'||Nerde "
                                    "FROM CariHareket ORDER BY rowid")),
              (QStringList{QStringLiteral("C009|S00001 Nolu Satış Faturası ile |C009|F"),
                           QStringLiteral("=110|S00001 Nolu Satış Faturası ile |=110|F")}));
    EXPECT_DOUBLE_EQ(scalar(file("01", "Cari"),
                            QStringLiteral("SELECT Borc FROM CariKartlar WHERE CariKod='C009'"))
                         .toDouble(),
                     560 + total);
    EXPECT_DOUBLE_EQ(scalar(file("01", "Cari"),
                            QStringLiteral("SELECT Borc FROM CariKartlar WHERE CariKod='=110'"))
                         .toDouble(),
                     vat);
    EXPECT_EQ(
        scalar(wc, QStringLiteral("SELECT count(*) FROM StokKartlar WHERE KalanB<>0")).toInt(), 0);

    // The next invoice takes the next number; the file keeps its width.
    auto again = request();
    EXPECT_EQ(invoicing::createInvoice(again).key, QStringLiteral("S00002"));
}

TEST_F(InvoiceTest, ZeroTotalsAndFailuresConsumeNoNumber) {
    writeFile(numberFile(), "\"00041\"\r\n");
    auto r = request();
    data::Database::open(wc)->execute(QStringLiteral("UPDATE StokKartlar SET GirenTutar=0"));
    QStringList before = state();
    EXPECT_FALSE(invoicing::createInvoice(r).written);
    EXPECT_EQ(state(), before);

    r = request("01", 3, QStringLiteral("YOK BÖYLE BİR MÜŞTERİ"));
    data::Database::open(file("01", "Cari"))
        ->execute(QStringLiteral("DELETE FROM CariKartlar WHERE CariKod='=110'"));
    before = state();
    try {
        invoicing::createInvoice(r);
        FAIL();
    } catch (const data::DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("YOK BÖYLE")));
        EXPECT_TRUE(e.text().contains(QStringLiteral("=110")));
    }
    EXPECT_EQ(state(), before);

    // Without VAT no "=110" is needed or touched.
    r = request("01", 2, QStringLiteral("ÖZTÜRK MARKET"));
    data::Database::open(wc)->execute(QStringLiteral("UPDATE StokKartlar SET Kar=0, Kdv=0"));
    const invoicing::InvoiceResult result = invoicing::createInvoice(r);
    EXPECT_EQ(result.key, QStringLiteral("S00042"));
    EXPECT_EQ(scalar(file("01", "Cari"),
                     QStringLiteral("SELECT count(*) FROM CariHareket WHERE CariHarKod='=110'"))
                  .toInt(),
              0);
}

TEST_F(InvoiceTest, TheNumberFileIsSharedAndCannotGoBackwards) {
    // Garbage, blanks or an empty line start from 00001.
    for (const QByteArray& content : {QByteArray("garbage"), QByteArray("   \r\n"), QByteArray()}) {
        writeFile(numberFile(), content);
        invoicing::InvoiceNumberLock lock(numberFile(), {});
        EXPECT_EQ(lock.number(), QStringLiteral("00001")) << content.toStdString();
    }
    writeFile(numberFile(), "123456");  // no quotes, longer than 5 digits
    EXPECT_EQ(invoicing::InvoiceNumberLock(numberFile(), {}).number(), QStringLiteral("123457"));

    // Company 02 shares the file with 01; a file left behind the books (a crash after an invoice
    // was written) does not hand the number out again.
    writeFile(numberFile(), "\"00007\"\r\n");
    ASSERT_EQ(invoicing::createInvoice(request("02", 2, QStringLiteral("ÖZTÜRK MARKET"))).key,
              QStringLiteral("S00008"));
    writeFile(numberFile(), "\"00003\"\r\n");
    EXPECT_EQ(invoicing::createInvoice(request("01", 2, QStringLiteral("ÖZTÜRK MARKET"))).key,
              QStringLiteral("S00009"));

    // A file that cannot be written: the invoice stands and says so.
    QFile::remove(numberFile());
    ASSERT_TRUE(QDir().mkpath(numberFile()));  // a folder where the file should be
    auto r = request("01", 1, QStringLiteral("ÖZTÜRK MARKET"));
    EXPECT_THROW(invoicing::createInvoice(r), data::DatabaseError);  // unreadable: nothing written
}

TEST_F(InvoiceTest, ALockIsWaitedForWhileItsHolderMayLiveAndTakenOverWhenItCannot) {
    using std::chrono::milliseconds;
    const QString lockPath = numberFile() + QStringLiteral(".lock");
    const QString here = QSysInfo::machineHostName();
    struct Case {
        const char* name;
        QString host;
        qint64 pid;
        int ageSeconds;
        bool takenOver;
    };
    // A pid above the kernel's limit belongs to no process.
    const Case cases[] = {
        {"dead process on this PC", here, 2000000000, 0, true},
        {"other PC, older than the limit", QStringLiteral("KASA-2"), 4242, 600, true},
        {"other PC, fresh", QStringLiteral("KASA-2"), 4242, 5, false},
    };
    for (const Case& c : cases) {
        writeFile(numberFile(), "\"00041\"\r\n");
        // The layout QLockFile writes: pid, application name, host name, one per line.
        writeFile(lockPath, QStringLiteral("%1\nterminal\n%2\n").arg(c.pid).arg(c.host).toUtf8());
        QFile f(lockPath);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-c.ageSeconds),
                                  QFileDevice::FileModificationTime));
        f.close();
        const invoicing::LockWaiting waiting{invoicing::LockWaiting::kStaleAfter,
                                             milliseconds(300)};
        if (c.takenOver) {
            invoicing::InvoiceNumberLock lock(numberFile(), {}, waiting);
            EXPECT_EQ(lock.number(), QStringLiteral("00042")) << c.name;
            qint64 pid = 0;
            QString host, app;
            EXPECT_TRUE(QLockFile(lockPath).getLockInfo(&pid, &host, &app)) << c.name;
            EXPECT_EQ(pid, QCoreApplication::applicationPid()) << c.name;
        } else {
            try {
                invoicing::InvoiceNumberLock lock(numberFile(), {}, waiting);
                ADD_FAILURE() << c.name << ": the lock was taken from a live holder";
            } catch (const data::DatabaseError& e) {
                const QString text = e.text();
                EXPECT_TRUE(text.contains(QStringLiteral("KASA-2 bilgisayarı, işlem 4242")))
                    << text.toStdString();
            }
            QFile::remove(lockPath);
        }
    }
}
