#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <functional>

#include "core/Waiting.h"

#include "bookimport/BookImport.h"
#include "data/Criteria.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/FilePaths.h"
#include "data/Recordset.h"
#include "data/RetryWhileBusy.h"
#include "data/ServerBooks.h"
#include "data/Statement.h"
#include "data/Transaction.h"
#include "data/WorkingFile.h"
#include "support/TestSupport.h"

using namespace testing_support;
using data::Criteria;
using data::DatabaseError;

namespace {

class DataTest : public ::testing::Test {
  protected:
    TempBooks books{60};
    std::unique_ptr<ServerBooks> server;  // the same books on a server, for the engine tests
    QString stock() const { return companyPath(server, books, u"01"_s) + u"Stok.mdb"_s; }
    QString accounts() const { return companyPath(server, books, u"01"_s) + u"Cari.mdb"_s; }
    // A working copy of the stock file, as the terminal keeps one.
    QString workingCopy() const {
        const QString copy = books.dir() + u"/Temp1.Mdb"_s;
        QFile::copy(stock(), copy);
        return copy;
    }
    std::unique_ptr<data::Recordset> open(const QString& file, const QString& source) {
        return std::make_unique<data::Recordset>(data::Database::open(file), source);
    }
};

// The text of the database error an action throws; empty when it throws none.
QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DatabaseError& e) {
        return e.text();
    }
    return {};
}

::testing::AssertionResult holds(const QString& text, const QString& part) {
    if (text.contains(part)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << text.toStdString();
}

QString named(const QString& file) {
    return u"Dosya: "_s + QFileInfo(file).canonicalFilePath();
}

using EngineTest = OnEachEngine<DataTest>;

}  // namespace

INSTANTIATE_ON_BOTH_ENGINES(EngineTest);

TEST_F(DataTest, OpeningNeverCreatesRejectsForeignFilesAndNamesTheFileAtFault) {
    const QString missing = books.file("09", "Stok");
    EXPECT_THROW(data::Database::open(missing), DatabaseError);
    EXPECT_FALSE(QFile::exists(missing));
    const QString access = books.dir() + u"/old.mdb"_s;
    writeFile(access, QByteArray(4, '\0') + "Standard Jet DB" + QByteArray(100, '\0'));
    EXPECT_TRUE(holds(errorOf([&] { data::Database::open(access); }), u"Access"_s));
    EXPECT_EQ(readFile(access).size(), 119);  // untouched

    // Names are found without regard to case or to backslashes; a new one keeps its spelling.
    EXPECT_EQ(data::resolvePath(QString(books.serverPath() + u"STOK.Mdb"_s).replace(u'/', u'\\')),
              stock());
    const QString created = books.dataDir() + u"/New/X.mdb"_s;
    EXPECT_EQ(data::resolvePath(created), created);

    // A statement failing on attached books names the file at fault; a damaged one is told.
    auto cari = data::Database::open(accounts());
    cari->execute(u"CREATE TABLE Bulk(t TEXT)"_s);
    cari->execute(
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<2000) "
        "INSERT INTO Bulk SELECT hex(randomblob(60)) FROM n"_s);
    cari.reset();
    QByteArray bytes = readFile(accounts());
    writeFile(accounts(), bytes.replace(bytes.size() / 2, 8192, QByteArray(8192, '\x5a')));
    data::Database::open(stock())->execute(u"DROP TABLE StokHareket"_s);
    auto db = data::Database::openPrivate(workingCopy());
    db->attach(accounts(), u"sc"_s);
    db->attach(stock(), u"ss"_s);
    for (const auto& [sql, file] :
         {std::pair{u"SELECT count(*) FROM ss.StokHareket"_s, stock()},
          {u"SELECT s.StokKod FROM main.StokKartlar s JOIN sc.CariKartlar c ON c.Yok = s.StokKod"_s,
           accounts()}}) {
        EXPECT_TRUE(holds(errorOf([&] { db->query(sql); }), named(file) + u'\n'));
        EXPECT_TRUE(holds(errorOf([&] { data::Statement(*db, sql); }), named(file) + u'\n'));
    }
    const QString damaged = errorOf([&] { db->query(u"SELECT count(*), max(t) FROM sc.Bulk"_s); });
    EXPECT_TRUE(holds(damaged, u"dosya bozuk"_s));
    EXPECT_TRUE(holds(damaged, named(accounts())));
}

TEST_P(EngineTest, FindFirstMatchesLiterallyTurkishWiseAndInTheRecordsetsOrder) {
    auto byName = open(stock(), u"Select * From StokKartlar Order By StokAdi Asc"_s);
    auto byCode = open(stock(), u"Select * From StokKartlar Order By StokKod Desc"_s);
    // One barcode twice, as letters make it compared folded: each order finds its first.
    for (const QString& card :
         u"X1 O'NEIL 50% *ÖZEL* [A]_B>12'*|X0 AA AYNI BARKOD>AB-1|X3 YY AYNI BARKOD>ab-1|"
         "X2 O'NEIL 5X ÖZEL|T1 ŞEKER TOZU|T2 İSTANBUL LOKUMU|T3 IŞIK ÇAYI|A1 ZZ ELMA|A2 ZZ ARMUT|"
         "A3 ZZ ÇİLEK|N1 NN İncir|N2 NN ELMA|N3 NN ıhlamur|N4 NN ÇİLEK|N5 NN dut|N6 NN çam|"
         "N7 NN Hurma|N8 NN ARMUT"_s.split(u'|')) {
        byName->AddNew();
        byName->setField(u"StokKod"_s, card.left(2));
        byName->setField(u"StokAdi"_s, card.section(u'>', 0, 0).mid(3));
        if (card.contains(u'>')) byName->setField(u"Barkod"_s, card.section(u'>', 1));
        byName->Update();
    }
    byName->Requery();
    byCode->Requery();

    auto name = [](const QString& text) { return Criteria::startsWith(u"StokAdi"_s, text); };
    const auto barcode = [](const QString& text) { return Criteria::equals(u"Barkod"_s, text); };
    // Prefixes and texts found as they are: no wildcards, no quotes breaking out, Turkish case.
    std::vector<std::pair<Criteria, QString>> cases;
    for (const QString& c :
         u"O'NEIL 50%>X1|O'NEIL 5_>|O'NEIL 5%>|O'NEIL 5*>|O'NEIL 5?>|[O]>|"
         "şeker>T1|istanbul>T2|ışık>T3|ıstanbul>|zz >A2"_s.split(u'|'))
        cases.emplace_back(name(c.section(u'>', 0, 0)), c.section(u'>', 1));
    for (const QString& c : u"12'*>X1|Ab-1>X0|' OR 1=1 -->"_s.split(u'|'))
        cases.emplace_back(barcode(c.section(u'>', 0, 0)), c.section(u'>', 1));
    cases.emplace_back(Criteria::equals(u"StokKod"_s, u"st000001"_s), u"ST000001"_s);
    // A NUL never reaches the server as its error: no text of the books holds one.
    cases.emplace_back(barcode(u"12'"_s + QChar(0)), QString());
    cases.emplace_back(name(u"O'NEIL"_s + QChar(0)), QString());
    for (const auto& [criteria, found] : cases) {
        byName->FindFirst(criteria);
        EXPECT_EQ(byName->NoMatch() ? QString() : byName->field(u"StokKod"_s).toString(), found);
        // The engine itself, given the criteria as SQL, finds the same card.
        EXPECT_EQ(text(stock(),
                       u"SELECT StokKod FROM StokKartlar WHERE "_s + criteria.sql() +
                           u" ORDER BY StokAdi, rowid LIMIT 1"_s,
                       criteria.params()),
                  found);
    }
    byCode->FindFirst(name(u"zz "_s));
    EXPECT_EQ(byCode->field(u"StokKod"_s).toString(), u"A3"_s);
    byCode->FindFirst(barcode(u"aB-1"_s));
    EXPECT_EQ(byCode->field(u"StokKod"_s).toString(), u"X3"_s);
    EXPECT_THROW(Criteria::equals(u"Barkod; DROP TABLE x"_s, 1), DatabaseError);
    // Both engines order and fold names the Turkish way.
    {
        QStringList codes;
        for (int i = 0; i < byName->RecordCount(); ++i)
            codes << byName->fieldAt(i, u"StokKod"_s).toString();
        EXPECT_EQ(codes.filter(QRegularExpression(u"^N"_s)).join(u' '),
                  u"N8 N6 N4 N5 N2 N7 N3 N1"_s);
        byName->FindFirst(name(u"nn ç"_s));
        EXPECT_EQ(byName->field(u"StokKod"_s).toString(), u"N6"_s);
    }
    byName->setAbsolutePosition(5);  // no match keeps the place
    byName->FindFirst(barcode(u"0000"_s));
    EXPECT_TRUE(byName->NoMatch());
    EXPECT_EQ(byName->AbsolutePosition(), 5);
}

TEST_P(EngineTest, EditsCancelsAndDeletesReachTheFile) {
    auto rs = open(accounts(), u"Select * FROM CariKartlar Order By CariKod Asc"_s);
    EXPECT_THROW(rs->setField(u"Borc"_s, 1), DatabaseError);  // no Edit
    rs->FindFirst(Criteria::equals(u"CariKod"_s, u"C001"_s));
    rs->Edit();
    rs->setField(u"Borc"_s, 99.5);
    rs->CancelUpdate();
    EXPECT_EQ(rs->field(u"Borc"_s).toDouble(), 12500.0);
    rs->Edit();
    rs->setField(u"Borc"_s, 13000.0);
    rs->Update();
    EXPECT_EQ(number(accounts(), u"SELECT Borc FROM CariKartlar WHERE CariKod='C001'"_s), 13000.0);
    rs->FindFirst(Criteria::equals(u"CariKod"_s, u"C002"_s));
    rs->Delete();
    EXPECT_THROW(rs->field(u"CariKod"_s), DatabaseError);
    rs->MoveNext();  // lands on the record after the deleted one
    EXPECT_EQ(rs->field(u"CariKod"_s).toString(), u"C003"_s);
    EXPECT_EQ(count(accounts(), u"SELECT count(*) FROM CariKartlar WHERE CariKod='C002'"_s), 0);

    // A transaction left without its commit writes nothing and frees the shared connection.
    auto db = data::Database::open(accounts());
    const QString c003 = u"SELECT Borc FROM CariKartlar WHERE CariKod='C003'"_s;
    const double borc = number(accounts(), c003);
    for (const bool commit : {false, true}) {
        data::Transaction transaction(*db);
        db->query(u"UPDATE CariKartlar SET Borc=Borc+1 WHERE CariKod='C003'"_s);
        if (commit) transaction.commit();
    }
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(number(accounts(), c003), borc + 1);
}

TEST_F(DataTest, RefreshFollowsEditsAndWritesFromElsewhereAndAReplacedFile) {
    const QString copy = workingCopy();
    data::DataControl temp(u"DataTemp"_s);
    temp.setDatabaseName(copy);
    temp.setRecordSource(
        u"Select * FROM StokKartlar Where StokGizle=False And KalanB<>0 Order By StokKod Asc"_s);
    data::RefreshData(temp);
    auto rs = [&temp]() -> data::Recordset& { return temp.recordset(); };  // new on each refresh
    // A name changed by us is found by its new name at once, though names were searched before.
    rs().FindFirst(Criteria::startsWith(u"StokAdi"_s, u"özel"_s));
    ASSERT_TRUE(rs().NoMatch());
    rs().Edit();
    rs().setField(u"StokAdi"_s, u"ÖZEL ÜRÜN"_s);
    rs().Update();
    const QString code = rs().field(u"StokKod"_s).toString();
    rs().MoveLast();
    rs().FindFirst(Criteria::startsWith(u"StokAdi"_s, u"özel"_s));
    EXPECT_EQ(rs().field(u"StokKod"_s).toString(), code);

    // Another program's write is seen by the next find and refresh, which walks to the first.
    const auto other = data::Database::openPrivate(copy);
    for (const char* sql : {"UPDATE StokKartlar SET StokAdi='YENİ AD' WHERE StokKod='ST000060'",
                            "UPDATE StokKartlar SET KalanB=0 WHERE StokKod='ST000059'",
                            "UPDATE StokKartlar SET KalanB=1 WHERE StokKod='ST000004'"})
        other->execute(QString::fromUtf8(sql));
    rs().FindFirst(Criteria::startsWith(u"StokAdi"_s, u"yeni"_s));
    EXPECT_EQ(rs().field(u"StokKod"_s).toString(), u"ST000060"_s);
    const int expected =
        count(copy, u"SELECT count(*) FROM StokKartlar WHERE StokGizle=0 AND KalanB<>0"_s);
    rs().MoveLast();
    data::RefreshData(temp);
    EXPECT_EQ(rs().RecordCount(), expected);
    EXPECT_EQ(rs().AbsolutePosition(), 0);
    EXPECT_EQ(rs().field(u"StokKod"_s).toString(), u"ST000001"_s);

    // A file replaced while its connection is shared is read anew, not through the old one.
    auto first = data::Database::open(copy);
    EXPECT_EQ(first, data::Database::open(copy));
    first->execute(u"Delete FROM StokKartlar"_s);
    ASSERT_TRUE(QFile::remove(copy) && QFile::copy(stock(), copy));
    EXPECT_EQ(data::Recordset(data::Database::open(copy), u"StokKartlar"_s).RecordCount(), 60);

    temp.setDatabaseName(books.file("07", "Stok"));  // a missing file closes the control
    EXPECT_THROW(data::RefreshData(temp), DatabaseError);
    EXPECT_FALSE(temp.isOpen());
    EXPECT_THROW(temp.recordset(), DatabaseError);
}

// A server restarted under a running terminal: its next statement runs on a new connection.
TEST_F(DataTest, ALostServerConnectionIsMadeAgain) {
    if (ServerBooks::testServer().isEmpty()) GTEST_SKIP() << NoTestServer;
    server = std::make_unique<ServerBooks>(books);
    auto db = data::Database::open(accounts());
    const auto cut = [&] {
        data::Database::openPrivate(stock())->query(
            u"SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
            "current_database() AND pid <> pg_backend_pid()"_s);
    };
    const QString sql = u"SELECT count(*) FROM CariKartlar"_s;
    const int accounts = count(this->accounts(), sql);
    cut();
    EXPECT_EQ(count(this->accounts(), sql), accounts);
    data::Recordset rs(db, u"CariKartlar"_s);
    cut();
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), accounts);
    // Inside a transaction the work fails whole instead, and its cause is still told.
    db->begin();
    db->connection().close();
    EXPECT_TRUE(holds(errorOf([&] { db->prepared(sql); }), u": sunucu bağlantısı yok\n"_s));
    db->rollback();
    // The README's options work; a value cannot add a setting of its own; a user may be named.
    const QString user = qEnvironmentVariable("PGUSER", u"terminal"_s);
    QString path = server->serverPath();
    path.insert(path.indexOf(u"://"_s) + 3, user + u'@');
    db = data::Database::open(
        data::bookFile(path + u"?sslmode=disable&connect_timeout=5&application_name=kasa;port=1"_s,
                       u"Cari.mdb"_s));
    EXPECT_EQ(db->schema(), u"01cari"_s);
    EXPECT_EQ(text(db->path(),
                   u"SELECT concat_ws('|', current_setting('application_name'), current_user, "
                   "current_setting('lock_timeout'), current_setting('statement_timeout'), "
                   "current_setting('idle_in_transaction_session_timeout'))"_s),
              u"kasa port=1|"_s + user + u"|500ms|25s|30s"_s);
    // No statement is ever shown as the cause: a working copy of books the server lacks.
    data::Database::open(stock())->query(u"DROP SCHEMA terminal CASCADE"_s);
    const QString missing =
        errorOf([&] { data::copyToWorkingFile(stock(), books.dir() + u"/Temp1.Mdb"_s); });
    EXPECT_TRUE(!missing.isEmpty() && !missing.contains(u"SELECT"_s, Qt::CaseInsensitive))
        << missing.toStdString();
}

TEST(ServerBooks, AnUnreachableServerIsNamedAndAPathTakesNoPasswordNorForeignOptions) {
    for (const auto& [bad, expected] :
         {std::pair{"postgresql://127.0.0.1:1/kitap/01Cari.mdb",
                    "Sunucuya bağlanılamadı: 127.0.0.1:1/kitap (sunucu"},
          {"postgresql://u:secret@h/db/01Cari.mdb", "Sunucu yolunda parola olamaz"},
          {"postgresql:///db/01Cari.mdb", "Sunucu yolu anlaşılamadı"},
          {"postgresql://h/db/01?sslmode=require&options=-c%20x=1Cari.mdb",
           "Sunucu yolundaki seçenek kabul edilmiyor: options"}}) {
        const QString e = errorOf([&] { data::Database::open(QString::fromLatin1(bad)); });
        EXPECT_TRUE(e.startsWith(QString::fromUtf8(expected))) << bad << " " << e.toStdString();
        EXPECT_FALSE(e.contains(u"secret"_s));
    }
    EXPECT_EQ(data::parseServerPath(u"postgresql://ali@h/db/01Cari.mdb"_s)->user, u"ali"_s);
    // A file name appended behind the options belongs to the path.
    EXPECT_EQ(
        data::parseServerPath(u"postgresql://h/db/01?sslmode=require"_s + u"Stok.Mdb"_s)->file,
        u"01Stok.Mdb"_s);
}

// Another terminal's lock is waited for until given up, at a posting's start or any statement.
TEST_P(EngineTest, AHeldLockIsWaitedForUntilTheObserverGivesUp) {
    const int lockTimeout = std::exchange(data::serverLimits().lockTimeoutMs, 20);
    const bool files = GetParam() == Engine::Files;
    auto holder = data::Database::openPrivate(accounts());
    auto writer = data::Database::openPrivate(files ? workingCopy() : stock());
    if (files) writer->attach(accounts(), u"sc"_s);
    const QString update = (files ? u"UPDATE sc."_s : u"UPDATE \"01cari\"."_s) +
                           u"CariKartlar SET Borc = Borc + 1 WHERE CariKod = 'C001'"_s;
    holder->begin();
    holder->query(u"UPDATE CariKartlar SET Borc = Borc WHERE CariKod = 'C001'"_s);

    GiveUpAfter observer(3);
    core::WaitObserverScope scope(&observer);
    try {
        writer->begin();
        ADD_FAILURE() << "began while another held the books";
    } catch (const data::BusyError& e) {
        EXPECT_TRUE(e.givenUp());
        EXPECT_EQ(e.awaited(), u"Başka bir terminal yazıyor"_s);
        // The file held is named, not the working copy (a server's books are locked whole).
        EXPECT_TRUE(
            holds(e.text(), files ? QFileInfo(accounts()).canonicalFilePath() : u"Sunucu: "_s));
    }
    EXPECT_EQ(observer.asked.size(), 3);
    observer.asked.clear();
    EXPECT_EQ(errorOf([&] { data::retryWhileBusy(u"Fatura"_s, [&] { writer->query(update); }); }),
              core::waitGivenUpText(u"Fatura"_s));
    EXPECT_EQ(observer.asked.size(), 3);
    holder->rollback();
    observer.asked.clear();
    EXPECT_NO_THROW(data::retryWhileBusy(u"Fatura"_s, [&] { writer->query(update); }));
    EXPECT_EQ(observer.asked.size(), 0);
    data::serverLimits().lockTimeoutMs = lockTimeout;
}

// Moving books to a server stops, naming what it cannot read or what does not fit, and writes
// nothing; else it keeps every row, key and amount (to four decimals) and is done only once.
TEST_F(DataTest, BooksMoveToAServerWholeAndOnlyOnceOrNotAtAll) {
    if (ServerBooks::testServer().isEmpty()) GTEST_SKIP() << NoTestServer;
    ServerBooks empty(books, ServerBooks::testServer(), false);
    const QString index = books.file("04", "Index");
    const QByteArray indexBytes = readFile(index);
    const QString stok = books.file("01", "Stok");
    const QString fatura = books.file("01", "Fatura");
    const auto run = [](const QString& file, const QString& sql) {
        return [file, sql] { data::Database::open(file)->execute(sql); };
    };
    const auto borc = [&](const char* value) {
        return run(accounts(), u"UPDATE CariKartlar SET Borc = %1 WHERE CariKod = 'C001'"_s.arg(
                                   QString::fromLatin1(value)));
    };
    const QString branchCari = books.file("02", "Cari");
    const QByteArray branchCariBytes = readFile(branchCari);
    const QString kind = u"UPDATE StokKartlar SET StokGizle = %1 WHERE rowid = 2"_s;
    const std::tuple<std::function<void()>, QString, std::function<void()>> faults[] = {
        {[&] { writeFile(index, {}); }, index, [&] { writeFile(index, indexBytes); }},
        {borc("1e20"), u"01Cari.mdb / CariKartlar, satır 4, alan borc, değer 1e+20"_s, borc("0")},
        // A number field's text is no number to guess at ("12,5" is not 12), nor a flag's.
        {borc("'12,5'"),
         u"alanında sayı olmayan değer: 01Cari.mdb / CariKartlar, satır 4, "
         "alan borc, değer \"12,5\""_s,
         borc("0")},
        {run(stok, kind.arg(u"'True'"_s)),
         u"01Stok.mdb / StokKartlar, satır 2, alan stokgizle, "
         "değer \"True\""_s,
         run(stok, kind.arg(text(stok, u"SELECT StokGizle FROM StokKartlar WHERE rowid = 2"_s)))},
        // Books under another file's name are not moved as that file.
        {[&] { writeFile(branchCari, readFile(books.file("02", "Stok"))); },
         branchCari + u" (bir Cari dosyasında CariKartlar, CariHareket olmalı; bu dosyada: "
                      "StokHareket, StokKartlar)"_s,
         [&] { writeFile(branchCari, branchCariBytes); }},
        {run(fatura, u"CREATE TABLE CariKartlar (CariKod TEXT)"_s),
         u"(CariKartlar bir Cari dosyasının tablosu; bu dosyada: CariKartlar, FatHareket, "
         "Faturalar)"_s,
         run(fatura, u"DROP TABLE CariKartlar"_s)},
        // A date read month first is no date.
        {run(stok, u"INSERT INTO StokHareket (Tarih) VALUES ('12/31/2026 14:43')"_s),
         u"01Stok.mdb / StokHareket, satır 1, alan tarih, değer \"12/31/2026 14:43\""_s,
         run(stok, u"DELETE FROM StokHareket"_s)},
    };
    for (const auto& [make, named, undo] : faults) {
        make();
        const QString error = errorOf([&] { data::importBooks(books.dataDir(), empty.url()); });
        EXPECT_TRUE(holds(error, named));
        undo();
    }
    // The date texts of either program become the server's dates; the texts stay texts.
    run(stok,
        u"INSERT INTO StokHareket (Tarih, SatTar) VALUES ('07.12.2026 14:43', "
        "'2026-12-07 14:44:45'), ('07/12/2026 14:43', NULL), ('2026-12-07T14:44:45.6', ' ')"_s)();
    run(fatura, u"INSERT INTO Faturalar (FatTarih) VALUES ('2026-12-07')"_s)();
    run(fatura, u"INSERT INTO FatHareket (Tarih) VALUES ('07.12.2026 14:43')"_s)();
    // Books declaring the invoice's day and its lines' text as date-times: a date and a text.
    for (const char* table : {"Faturalar (FaturaNo TEXT, FatTarih DATETIME)",
                              "FatHareket (FatHarNo TEXT, Tarih DATETIME)"}) {
        const QString t = QString::fromLatin1(table);
        run(books.file("02", "Fatura"), u"DROP TABLE "_s + t.section(u' ', 0, 0))();
        run(books.file("02", "Fatura"), u"CREATE TABLE "_s + t)();
    }
    // A binary fraction as the files may hold it is taken to its four decimals.
    borc("0.1 + 0.2")();
    EXPECT_EQ(data::importBooks(books.dataDir(), empty.url()).files, 16);
    const QString there = empty.serverPath() + u"Stok.mdb"_s;
    // Every company's rows keep their order, keys and amounts (the stock cards: the copy below).
    const QString rows =
        u"SELECT rowid || '|' || coalesce(Unvan, '') || '|' || "
        "CAST(round(Borc*10000) AS BIGINT) FROM CariKartlar ORDER BY rowid"_s;
    for (const char* company : {"01", "03"})
        EXPECT_EQ(column(empty.serverPath(QString::fromLatin1(company)) + u"Cari.mdb"_s, rows),
                  column(books.file(company, "Cari"), rows))
            << company;
    EXPECT_EQ(text(empty.serverPath() + u"Cari.mdb"_s,
                   u"SELECT Borc::text FROM CariKartlar WHERE CariKod = 'C001'"_s),
              u"0.3000"_s);
    // A working copy made from the server is the file the share would have given.
    const QString copy = books.dir() + u"/Temp1.Mdb"_s;
    EXPECT_EQ(data::copyToWorkingFile(there, copy), 60);
    for (const QString& sql :
         {u"SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master WHERE name NOT "
          "LIKE '%CacheMark%' ORDER BY name)"_s,
          u"SELECT group_concat(rowid || '|' || StokKod || '|' || StokAdi || '|' || Fiyat || '|' "
          "|| KalanB || '|' || coalesce(Barkod, '-'), ';') FROM StokKartlar"_s})
        EXPECT_EQ(text(copy, sql), text(books.file("01", "Stok"), sql));
    // The copy is brought up to date by what was written since it was read: a changed card, a
    // new one, nothing, then a deleted card (read whole again).
    const QString cards =
        u"SELECT rowid || '|' || StokKod || '|' || StokAdi || '|' || CAST(round(KalanB * 100) "
        "AS BIGINT) FROM StokKartlar ORDER BY rowid"_s;
    const std::pair<QString, qint64> changes[] = {
        {u"UPDATE StokKartlar SET KalanB = KalanB + 5 WHERE StokKod = 'ST000003'"_s, 1},
        {u"INSERT INTO StokKartlar (rowid, StokKod, StokAdi, KalanB, StokGizle) VALUES (61, "
         "'ST000061', 'YENİ KART', 2, 0)"_s,
         1},
        {QString(), 0},
        {u"DELETE FROM StokKartlar WHERE rowid = 61"_s, 60}};
    for (const auto& [change, read] : changes) {
        if (!change.isEmpty()) run(there, change)();
        EXPECT_EQ(data::refreshWorkingFile(there, copy), read) << change.toStdString();
        EXPECT_EQ(column(copy, cards), column(there, cards)) << change.toStdString();
    }
    EXPECT_TRUE(holds(errorOf([&] { data::importBooks(books.dataDir(), empty.url()); }),
                      u"zaten defter tutuyor"_s));
    EXPECT_EQ(count(there, u"SELECT count(*) FROM StokKartlar"_s), 60);
    // Opening never creates: a company the server does not hold is missing, as a file is.
    EXPECT_TRUE(errorOf([&] {
                    data::Database::open(empty.serverPath(u"09"_s) + u"Stok.mdb"_s);
                }).startsWith(u"Veritabanı bulunamadı"_s));
    EXPECT_EQ(column(there,
                     u"SELECT DISTINCT c.relname || '.' || a.attname || ' ' || "
                     "format_type(a.atttypid, a.atttypmod) FROM pg_attribute a JOIN "
                     "pg_class c ON c.oid = a.attrelid JOIN pg_namespace s ON s.oid = "
                     "c.relnamespace WHERE s.nspname ~ '^[0-9]{2}' AND c.relkind = 'r' AND "
                     "a.attname IN ('tarih', 'sattar', 'fattarih') ORDER BY 1"_s),
              (QStringList{
                  u"carihareket.tarih timestamp(0) without time zone"_s, u"fathareket.tarih text"_s,
                  u"faturalar.fattarih date"_s, u"mdbindex.tarih text"_s,
                  u"stokhareket.sattar timestamp(0) without time zone"_s,
                  u"stokhareket.tarih timestamp(0) without time zone"_s, u"tarih.tarih text"_s}));
    EXPECT_EQ(column(there,
                     u"SELECT to_char(Tarih, 'DD.MM.YYYY HH24:MI:SS') || ' ' || "
                     "coalesce(to_char(SatTar, 'HH24:MI:SS'), '-') FROM StokHareket "
                     "ORDER BY rowid"_s),
              (QStringList{u"07.12.2026 14:43:00 14:44:45"_s, u"07.12.2026 14:43:00 -"_s,
                           u"07.12.2026 14:44:45 -"_s}));
    EXPECT_EQ(text(empty.serverPath() + u"Fatura.mdb"_s,
                   u"SELECT FatTarih || ' ' || (SELECT Tarih FROM FatHareket) FROM Faturalar"_s),
              u"2026-12-07 07.12.2026 14:43"_s);
}
