#include <gtest/gtest.h>
#include <QFile>
#include <QUrl>

#include "core/Clock.h"
#include "core/Money.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Pending.h"
#include "data/ServerBooks.h"
#include "invoicing/WriteInvoice.h"
#include "posting/Posting.h"
#include "posting/PostingBooks.h"
#include "support/SilentLink.h"
#include "support/TestSupport.h"

using namespace testing_support;
using core::Money;

namespace {

int linesLeft(const QString& workingCopy) {
    return count(workingCopy, u"SELECT count(*) FROM StokKartlar WHERE KalanB<>0"_s);
}

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
            const Money amount =
                Money::fromDouble(e.price).times(core::Quantity::fromDouble(e.quantity));
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
    struct Written {
        QString number, earlier;
        core::Money total;
    };
    // `r` invoiced, or its lines posted as a sale to the ninth account.
    Written document(bool invoices, const invoicing::InvoiceRequest& r) {
        if (invoices) {
            const invoicing::InvoiceResult w = invoicing::writeInvoice(r);
            return {w.key, w.earlier.message(), w.total};
        }
        const posting::PostingResult w = posting::postWorkingSet({.sale = true,
                                                                  .serverPath = r.serverPath,
                                                                  .workingCopy = r.workingCopy,
                                                                  .targetTitle = r.customerTitle,
                                                                  .targetIndex = 8,
                                                                  .clock = &clock});
        return {w.documentNumber, w.earlier.message(), w.total};
    }
    // Each distinct value of a date field as the engine's own date functions read it.
    QStringList moments(const QString& file, const QString& field, const QString& from) const {
        const QString read = server ? u"to_char(%1, 'YYYY-MM-DD HH24:MI:SS')"_s : u"datetime(%1)"_s;
        return column(file, u"SELECT DISTINCT %1 FROM %2"_s.arg(read.arg(field), from));
    }
    // Every value of the fields reads back as a decimal of four places, not a binary fraction.
    static void expectExact(const QString& file, const QString& table, const QStringList& fields) {
        for (const QString& field : fields) {
            const std::string at = (table + u'.' + field).toStdString();
            const QStringList values =
                column(file, u"SELECT %1 FROM %2 WHERE %1 IS NOT NULL"_s.arg(field, table));
            EXPECT_FALSE(values.isEmpty()) << at;
            for (const QString& v : values)
                EXPECT_EQ(Money::fromDouble(v.toDouble()).toDouble(), v.toDouble())
                    << at << v.toStdString();
        }
    }
};

}  // namespace

INSTANTIATE_ON_BOTH_ENGINES(ExactMoneyTest);

TEST_P(ExactMoneyTest, AnInvoiceAndAPostingWriteExactDecimalsThatAddUp) {
    const QString cari = path(u"01"_s) + u"Cari.mdb"_s, fatura = path(u"01"_s) + u"Fatura.mdb"_s;
    invoicing::InvoiceRequest r = invoice(u"01"_s);
    const invoicing::InvoiceResult first = invoicing::writeInvoice(r);
    ASSERT_TRUE(first.written);
    // 0,1 + 0,2 + 1,005 × 3 + 19,99 × 7 = 143,245; VAT at 18 % line by line: 25,7841.
    EXPECT_EQ(number(fatura, u"SELECT FatTop FROM Faturalar"_s), 143.245);
    EXPECT_EQ(number(fatura, u"SELECT FatKdvTut FROM Faturalar"_s), 25.7841);
    EXPECT_EQ(number(cari, u"SELECT Borc FROM CariHareket WHERE CariHarKod<>'=110'"_s), 143.245);

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

    // A company without its invoice file: named, and nothing written or numbered.
    r = invoice(u"03"_s);
    if (server)
        data::Database::open(r.serverPath + u"Cari.mdb"_s)
            ->query(u"DROP SCHEMA \"03fatura\" CASCADE"_s);
    else
        QFile::remove(r.serverPath + u"Fatura.mdb"_s);
    try {
        invoicing::writeInvoice(r);
        ADD_FAILURE() << "invoiced without an invoice file";
    } catch (const data::DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(u"03 firmasının fatura dosyası bulunamadı"_s) &&
                    e.text().contains(u"03Fatura.mdb"_s))
            << e.text().toStdString();
    }
    EXPECT_EQ(count(r.serverPath + u"Cari.mdb"_s, u"SELECT count(*) FROM CariHareket"_s), 0);
    EXPECT_EQ(count(r.serverPath + u"Index.mdb"_s, u"SELECT count(*) FROM Mdbindex"_s), 0);
    EXPECT_EQ(linesLeft(r.workingCopy), 4);
    // On a server the number is a row of the books, stored in the invoice's own commit.
    const QString numberFile = books.dataDir() + u"/FatNo.txt"_s;
    EXPECT_EQ(server ? text(cari, u"SELECT no FROM terminal.fatno"_s)
                     : QString::fromLatin1(readFile(numberFile)),
              server ? u"00001"_s : u"\"00001\"\r\n"_s);

    // Numbers compare as numbers past five digits: 99999 beside an invoice S100000 gives S100001.
    if (server)
        data::Database::open(cari)->query(u"UPDATE terminal.fatno SET no='99999'"_s);
    else
        writeFile(numberFile, "\"99999\"\r\n");
    data::Database::open(path(u"02"_s) + u"Fatura.mdb"_s)
        ->query(u"INSERT INTO Faturalar (FaturaNo) VALUES ('S100000')"_s);
    r.serverPath = path(u"01"_s);
    EXPECT_EQ(invoicing::writeInvoice(r).key, u"S100001"_s);
}

// The first "Tamam" commits but its answer is lost (the working copy cannot be emptied after the
// books' commit); a piece more on one line and a new line are booked; "Tamam" again. Every line
// reaches the books exactly once, invoiced or posted: on a server the earlier document is found
// and said, and only what was booked after it is written anew; on files the first wrote nothing.
TEST_P(ExactMoneyTest, LinesBookedAfterALostAnswerAreWrittenOnTheirOwnNeverCleared) {
    for (const bool invoices : {true, false}) {
        SCOPED_TRACE(invoices ? "invoice" : "posting");
        // Invoices in 01, postings in 02: each company's first document is 261.
        const invoicing::InvoiceRequest r = invoice(invoices ? u"01"_s : u"02"_s);
        const auto write = [&] { return document(invoices, r); };
        const auto loseTheAnswer = [&] {
            auto copy = data::Database::open(r.workingCopy);
            copy->query(
                u"CREATE TRIGGER lost BEFORE DELETE ON Basket BEGIN SELECT RAISE(ABORT, "
                "'cevap gelmedi'); END"_s);
            EXPECT_THROW(write(), data::DatabaseError);
            copy->query(u"DROP TRIGGER lost"_s);
        };
        loseTheAnswer();
        EXPECT_EQ(data::hasPending(r.workingCopy), server != nullptr);
        if (server) {
            // A server that cannot be asked leaves the lines and the token as they are.
            QUrl away(server->url());
            away.setPort(1);
            const data::PendingResult unknown =
                data::resolvePending(away.toString() + u"/01"_s, r.workingCopy);
            EXPECT_EQ(unknown.state, data::PendingResult::State::Unknown);
            EXPECT_TRUE(unknown.message().contains(unknown.cause) && !unknown.cause.isEmpty());
            EXPECT_TRUE(data::hasPending(r.workingCopy));
        }
        // One more 19,99 on a line written, and 2 × 0,5 on a new one.
        auto copy = data::Database::open(r.workingCopy);
        copy->query(
            u"UPDATE StokKartlar SET KalanB=KalanB+1, GirenTutar=GirenTutar+19.99, "
            "Kar=Kar+3.5982 WHERE StokKod='ST000004'"_s);
        copy->query(
            u"UPDATE StokKartlar SET Fiyat=0.5, Fiyat2=0.5, Kdv=18, KalanB=2, GirenTutar=1, "
            "Kar=0.18 WHERE StokKod='ST000005'"_s);

        const Written again = write();
        const QString first = invoices ? u"fatura S00001"_s : u"belge 261"_s;
        EXPECT_EQ(again.earlier, server ? u"Önceki işlem yazılmış: "_s + first : QString());
        EXPECT_EQ(again.number,
                  invoices ? (server ? u"S00002"_s : u"S00001"_s) : (server ? u"262"_s : u"261"_s));
        // 143,245 written before the answer was lost, 20,99 after.
        EXPECT_EQ(again.total, core::Money::fromDouble(server ? 20.99 : 164.235));
        QStringList lines{u"261 ST000001 1"_s, u"261 ST000002 1"_s, u"261 ST000003 3"_s};
        lines << (server
                      ? QStringList{u"261 ST000004 7"_s, u"262 ST000004 1"_s, u"262 ST000005 2"_s}
                      : QStringList{u"261 ST000004 8"_s, u"261 ST000005 2"_s});
        EXPECT_EQ(column(r.serverPath + u"Stok.mdb"_s,
                         u"SELECT DigerId || ' ' || StokHarKod || ' ' || CAST(Miktar AS INTEGER) "
                         "FROM StokHareket ORDER BY DigerId, StokHarKod"_s),
                  lines);
        EXPECT_EQ(number(r.serverPath + u"Cari.mdb"_s,
                         u"SELECT sum(Borc) FROM CariHareket WHERE CariHarKod<>'=110'"_s),
                  164.235);
        EXPECT_EQ(linesLeft(r.workingCopy), 0);
        EXPECT_FALSE(data::hasPending(r.workingCopy));
        if (!server) continue;

        // A document the server turns out not to have: the lines stay to be written again.
        copy.reset();
        enter(invoices ? u"01"_s : u"02"_s);
        loseTheAnswer();
        data::Database::open(r.serverPath + u"Cari.mdb"_s)
            ->query(u"DELETE FROM terminal.postings"_s);
        const data::PendingResult notWritten = data::resolvePending(r.serverPath, r.workingCopy);
        EXPECT_EQ(notWritten.state, data::PendingResult::State::NotWritten);
        EXPECT_EQ(linesLeft(r.workingCopy), 4);
        EXPECT_FALSE(data::hasPending(r.workingCopy));
    }
}

// The link to the server goes silent in the middle of a document, as a proxy that swallows
// traffic does: the call in flight ends with a message once it has waited its while (made short
// as the link goes silent), nothing is half-written, and once the link is back the lines reach
// the books exactly once, the document whose commit got through found and said.
TEST_P(ExactMoneyTest, ALinkThatGoesSilentEndsTheWriteWithAMessageAndTheLinesAreWrittenOnce) {
    if (!server) GTEST_SKIP() << "books on files are reached over no link";
    struct Silence {
        const char* at;  // the first message the link swallows, or the last it passes
        bool passIt;     // the commit reaches the server; only its answer is lost
    };
    for (const bool invoices : {true, false}) {
        for (const Silence silence : {Silence{"StokHareket", false}, Silence{"COMMIT", true}}) {
            SCOPED_TRACE(std::string(invoices ? "invoice" : "posting") + " silent at " +
                         silence.at);
            const QString company = invoices ? u"01"_s : u"02"_s;
            const QString stok = path(company) + u"Stok.mdb"_s;
            SilentLink link(server->url());
            invoicing::InvoiceRequest r = invoice(company);
            r.serverPath = link.url() + u'/' + company;
            const auto write = [&] {
                const Written w = document(invoices, r);
                return w.earlier + u'|' + w.number;
            };
            const QString sql = u"SELECT count(*) FROM StokHareket"_s;
            const int before = count(stok, sql);
            const int limit = data::serverLimits().answerTimeoutMs;
            link.silenceAt(silence.at, silence.passIt,
                           [] { data::serverLimits().answerTimeoutMs = 50; });
            QString failure;
            try {
                write();
            } catch (const data::DatabaseError& e) {
                failure = e.text();
            }
            data::serverLimits().answerTimeoutMs = limit;
            EXPECT_TRUE(link.silent());
            EXPECT_TRUE(failure.contains(u"sunucu 1 sn içinde yanıt vermedi"_s))
                << failure.toStdString();
            EXPECT_EQ(linesLeft(r.workingCopy), 4);
            // The books as they stand once the swallowed session is over: whole or untouched.
            link.restore();
            auto turn = data::Database::openPrivate(stok);
            turn->query(u"SELECT pg_advisory_lock(hashtext('terminal books'))"_s).finish();
            turn->query(u"SELECT pg_advisory_unlock(hashtext('terminal books'))"_s).finish();
            EXPECT_EQ(count(stok, sql), before + (silence.passIt ? 4 : 0));

            const QString again = write();
            if (silence.passIt)
                EXPECT_TRUE(again.startsWith(u"Önceki işlem yazılmış: "_s) && again.endsWith(u'|'))
                    << again.toStdString();
            else
                EXPECT_TRUE(again.startsWith(u'|') && again.size() > 1) << again.toStdString();
            EXPECT_EQ(count(stok, sql), before + 4);
            EXPECT_EQ(count(stok, u"SELECT count(DISTINCT DigerId) FROM StokHareket"_s),
                      before / 4 + 1);
            EXPECT_EQ(linesLeft(r.workingCopy), 0);
            EXPECT_FALSE(data::hasPending(r.workingCopy));
        }
    }
}
