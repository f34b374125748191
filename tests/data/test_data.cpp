#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include "data/Criteria.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/FilePaths.h"
#include "data/JetSql.h"
#include "data/Recordset.h"
#include "support/TestSupport.h"

using namespace testing_support;
using data::Criteria;
using data::DatabaseError;

namespace {

class DataTest : public ::testing::Test {
  protected:
    TempBooks books{60};
    QString stock() const { return books.serverPath() + QStringLiteral("Stok.mdb"); }
    QString accounts() const { return books.serverPath() + QStringLiteral("Cari.mdb"); }

    std::unique_ptr<data::Recordset> open(const QString& file, const QString& source) {
        return std::make_unique<data::Recordset>(data::Database::open(file), source);
    }
    // Adds a stock card through the recordset, as the terminal adds rows.
    void addCard(data::Recordset& rs, const QString& code, const QString& name,
                 const QString& barcode = QString()) {
        rs.AddNew();
        rs.setField(QStringLiteral("StokKod"), code);
        rs.setField(QStringLiteral("StokAdi"), name);
        if (!barcode.isEmpty()) rs.setField(QStringLiteral("Barkod"), barcode);
        rs.Update();
    }
    int count(const QString& file, const QString& sql) { return scalar(file, sql).toInt(); }
};

}  // namespace

TEST_F(DataTest, OpeningNeverCreatesAndRejectsForeignFiles) {
    const QString missing = books.serverPath(QStringLiteral("09")) + QStringLiteral("Stok.mdb");
    EXPECT_THROW(data::Database::open(missing), DatabaseError);
    EXPECT_FALSE(QFile::exists(missing));

    const QString text = books.dir() + QStringLiteral("/notes.mdb");
    writeFile(text, "just some text, not a database");
    EXPECT_THROW(data::Database::open(text), DatabaseError);

    const QString access = books.dir() + QStringLiteral("/old.mdb");
    writeFile(access, QByteArray(4, '\0') + "Standard Jet DB" + QByteArray(100, '\0'));
    try {
        data::Database::open(access);
        FAIL() << "an Access file must not open as SQLite";
    } catch (const DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("Access")));
    }
    EXPECT_EQ(readFile(access).size(), 119);  // untouched

    // A damaged file attached to another is named in Turkish, not the one the query ran on.
    {
        auto db = data::Database::open(accounts());
        db->execute(QStringLiteral("CREATE TABLE Bulk(t TEXT)"));
        db->execute(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n "
                           "WHERE i<2000) INSERT INTO Bulk SELECT hex(randomblob(60)) "
                           "FROM n"));
    }
    QFile damaged(accounts());
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    damaged.seek(damaged.size() / 2);
    damaged.write(QByteArray(8192, '\x5a'));
    damaged.close();
    auto db = data::Database::openPrivate(stock());
    db->attach(accounts(), QStringLiteral("cari"));
    try {
        db->execute(QStringLiteral("SELECT count(*), max(t) FROM cari.Bulk"));
        FAIL() << "a damaged file must not read as whole";
    } catch (const DatabaseError& e) {
        EXPECT_TRUE(e.text().contains(QStringLiteral("dosya bozuk"))) << e.text().toStdString();
        EXPECT_TRUE(e.text().contains(QStringLiteral("Dosya: ") +
                                      QFileInfo(accounts()).canonicalFilePath()))
            << e.text().toStdString();
    }
}

TEST_F(DataTest, FileNamesAreFoundWithoutRegardToCase) {
    const QString odd = books.serverPath() + QStringLiteral("STOK.Mdb");
    EXPECT_EQ(data::resolvePath(odd), stock());
    EXPECT_NO_THROW(data::Database::open(odd));
    QString backslashed = stock();
    backslashed.replace(u'/', u'\\');
    EXPECT_EQ(data::resolvePath(backslashed), stock());
    // A name that does not exist keeps its spelling, so it can be created.
    EXPECT_EQ(data::resolvePath(books.dataDir() + QStringLiteral("/New/X.mdb")),
              books.dataDir() + QStringLiteral("/New/X.mdb"));
}

TEST_F(DataTest, TheTerminalsStatementsRunAsWritten) {
    const QString copy = books.dir() + QStringLiteral("/Temp1.Mdb");
    ASSERT_TRUE(QFile::copy(stock(), copy));
    auto db = data::Database::open(copy);
    for (const char* sql :
         {"UPDATE StokKartlar Set KalanA=KalanB", "UPDATE StokKartlar Set KalanB=0",
          "UPDATE StokKartlar Set GirenTutar=0", "UPDATE StokKartlar Set Fiyat2=gFiyat",
          "UPDATE StokKartlar Set Fiyat2=Fiyat", "Delete FROM StokHareket",
          "Delete FROM StokKartlar WHERE KalanB<>0"}) {
        EXPECT_NO_THROW(db->execute(QString::fromUtf8(sql))) << sql;
    }
    for (const char* source :
         {"Select * FROM StokKartlar Where StokGizle=False and KalanB+KalanA<>0 Order By StokKod "
          "Asc",
          "Select * From StokKartlar Where StokGizle=False Order By StokAdi Asc",
          "Select * FROM StokKartlar Where StokGizle=False And KalanB<>0 Order By StokKod Asc",
          "Select * From StokKartlar Where StokGizle=False And KalanB<>0 Order By StokAdi Asc",
          "StokKartlar"}) {
        EXPECT_NO_THROW(data::Recordset(db, QString::fromUtf8(source))) << source;
    }
    QSqlQuery sum = db->query(QStringLiteral("Select Sum(GirenTutar),Sum(Kar)  FROM StokKartlar"));
    EXPECT_TRUE(sum.next());
}

TEST_F(DataTest, HiddenCardsAreLeftOutByTheListQueries) {
    const int all = count(stock(), QStringLiteral("SELECT count(*) FROM StokKartlar"));
    const int hidden =
        count(stock(), QStringLiteral("SELECT count(*) FROM StokKartlar WHERE StokGizle<>0"));
    ASSERT_GT(hidden, 0);
    auto rs = open(
        stock(),
        QStringLiteral("Select * From StokKartlar Where StokGizle=False Order By StokAdi Asc"));
    EXPECT_EQ(rs->RecordCount(), all - hidden);
}

TEST_F(DataTest, CriteriaMatchQuotesAndWildcardsLiterally) {
    auto rs = open(stock(), QStringLiteral("StokKartlar"));
    addCard(*rs, QStringLiteral("X1"), QStringLiteral("O'NEIL 50% *ÖZEL* [A]_B"),
            QStringLiteral("12'*"));
    addCard(*rs, QStringLiteral("X2"), QStringLiteral("O'NEIL 5X ÖZEL"));

    rs->FindFirst(Criteria::startsWith(QStringLiteral("StokAdi"), QStringLiteral("O'NEIL 50%")));
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->field(QStringLiteral("StokKod")).toString(), QStringLiteral("X1"));

    // _ and % and * are not wildcards: "O'NEIL 5_" does not find "O'NEIL 5X".
    for (const char* text : {"O'NEIL 5_", "O'NEIL 5%", "O'NEIL 5*", "O'NEIL 5?", "[O]"}) {
        rs->FindFirst(Criteria::startsWith(QStringLiteral("StokAdi"), QString::fromUtf8(text)));
        EXPECT_TRUE(rs->NoMatch()) << text;
    }
    rs->FindFirst(Criteria::equals(QStringLiteral("Barkod"), QStringLiteral("12'*")));
    EXPECT_FALSE(rs->NoMatch());
    rs->FindFirst(Criteria::equals(QStringLiteral("Barkod"), QStringLiteral("' OR 1=1 --")));
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_THROW(Criteria::equals(QStringLiteral("Barkod; DROP TABLE x"), 1), DatabaseError);
}

TEST_F(DataTest, TextComparisonIsCaseInsensitiveAndTurkish) {
    auto rs = open(stock(), QStringLiteral("StokKartlar"));
    addCard(*rs, QStringLiteral("T1"), QStringLiteral("ŞEKER TOZU"));
    addCard(*rs, QStringLiteral("T2"), QStringLiteral("İSTANBUL LOKUMU"));
    addCard(*rs, QStringLiteral("T3"), QStringLiteral("IŞIK ÇAYI"));

    auto findName = [&](const QString& text) {
        rs->FindFirst(Criteria::startsWith(QStringLiteral("StokAdi"), text));
        return rs->NoMatch() ? QString() : rs->field(QStringLiteral("StokKod")).toString();
    };
    EXPECT_EQ(findName(QStringLiteral("şeker")), QStringLiteral("T1"));
    EXPECT_EQ(findName(QStringLiteral("istanbul")), QStringLiteral("T2"));
    EXPECT_EQ(findName(QStringLiteral("ışık")), QStringLiteral("T3"));
    EXPECT_EQ(findName(QStringLiteral("ıstanbul")), QString());

    rs->FindFirst(Criteria::equals(QStringLiteral("StokKod"), QStringLiteral("st000001")));
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->field(QStringLiteral("StokKod")).toString(), QStringLiteral("ST000001"));

    // The engine's LIKE on our connections compares the same way.
    QSqlQuery q =
        rs->database().query(QStringLiteral("SELECT 'ŞEKER' LIKE 'şek%', 'Şeker' LIKE 'SEK%'"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
    EXPECT_EQ(q.value(1).toInt(), 0);
}

TEST_F(DataTest, FindFirstTakesTheFirstMatchInTheRecordsetsOrderAndKeepsPlaceOnNoMatch) {
    auto byName = open(stock(), QStringLiteral("Select * From StokKartlar Order By StokAdi Asc"));
    auto byCode = open(stock(), QStringLiteral("Select * From StokKartlar Order By StokKod Desc"));
    addCard(*byName, QStringLiteral("A1"), QStringLiteral("ZZ ELMA"));
    addCard(*byName, QStringLiteral("A2"), QStringLiteral("ZZ ARMUT"));
    addCard(*byName, QStringLiteral("A3"), QStringLiteral("ZZ ÇİLEK"));
    byName->Requery();
    byCode->Requery();

    const Criteria zz = Criteria::startsWith(QStringLiteral("StokAdi"), QStringLiteral("zz "));
    byName->FindFirst(zz);
    EXPECT_EQ(byName->field(QStringLiteral("StokAdi")).toString(), QStringLiteral("ZZ ARMUT"));
    byCode->FindFirst(zz);
    EXPECT_EQ(byCode->field(QStringLiteral("StokKod")).toString(), QStringLiteral("A3"));

    byName->setAbsolutePosition(5);
    byName->FindFirst(Criteria::equals(QStringLiteral("Barkod"), QStringLiteral("0000")));
    EXPECT_TRUE(byName->NoMatch());
    EXPECT_EQ(byName->AbsolutePosition(), 5);
}

TEST_F(DataTest, KeysetPositionsMovesAndEnds) {
    auto rs = open(stock(), QStringLiteral("Select * From StokKartlar Order By StokKod Asc"));
    ASSERT_EQ(rs->RecordCount(), 60);
    EXPECT_EQ(rs->AbsolutePosition(), 0);
    EXPECT_EQ(rs->field(QStringLiteral("stokkod")).toString(), QStringLiteral("ST000001"));
    rs->MoveLast();
    EXPECT_EQ(rs->AbsolutePosition(), 59);
    EXPECT_EQ(rs->field(QStringLiteral("StokKod")).toString(), QStringLiteral("ST000060"));
    rs->MoveNext();
    EXPECT_TRUE(rs->isEOF());
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_THROW(rs->MoveNext(), DatabaseError);
    EXPECT_THROW(rs->field(QStringLiteral("StokKod")), DatabaseError);
    rs->MoveFirst();
    rs->MovePrevious();
    EXPECT_TRUE(rs->isBOF());
    EXPECT_FALSE(rs->isEOF());
    rs->setAbsolutePosition(41);
    EXPECT_EQ(rs->field(QStringLiteral("StokKod")).toString(), QStringLiteral("ST000042"));
    EXPECT_THROW(rs->setAbsolutePosition(60), DatabaseError);
    EXPECT_EQ(rs->fieldAt(2, QStringLiteral("StokKod")).toString(), QStringLiteral("ST000003"));
    EXPECT_EQ(rs->AbsolutePosition(), 41);  // fieldAt does not move

    auto empty = open(stock(), QStringLiteral("Select * From StokKartlar Where StokKod='none'"));
    EXPECT_TRUE(empty->isBOF());
    EXPECT_TRUE(empty->isEOF());
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_THROW(empty->MoveFirst(), DatabaseError);
}

TEST_F(DataTest, AddEditCancelAndDeleteReachTheFile) {
    auto rs = open(accounts(), QStringLiteral("Select * FROM CariKartlar Order By CariKod Asc"));
    const int before = rs->RecordCount();
    EXPECT_THROW(rs->setField(QStringLiteral("Borc"), 1), DatabaseError);  // no Edit

    rs->AddNew();
    EXPECT_EQ(rs->field(QStringLiteral("Borc")).toDouble(), 0.0);  // the table's default
    EXPECT_EQ(rs->field(QStringLiteral("Hesap")).toString(), QStringLiteral("Borç"));
    rs->setField(QStringLiteral("CariKod"), QStringLiteral("C999"));
    rs->setField(QStringLiteral("Unvan"), QStringLiteral("YENİ MÜŞTERİ"));
    rs->Update();
    EXPECT_EQ(rs->RecordCount(), before + 1);
    EXPECT_EQ(rs->AbsolutePosition(), 0);  // the current record stays where it was

    rs->FindFirst(Criteria::equals(QStringLiteral("CariKod"), QStringLiteral("C001")));
    rs->Edit();
    rs->setField(QStringLiteral("Borc"), 99.5);
    EXPECT_EQ(rs->field(QStringLiteral("Borc")).toDouble(), 99.5);
    rs->CancelUpdate();
    EXPECT_EQ(rs->field(QStringLiteral("Borc")).toDouble(), 12500.0);
    rs->Edit();
    rs->setField(QStringLiteral("Borc"), 13000.0);
    rs->Update();

    auto other = open(accounts(), QStringLiteral("CariKartlar"));
    other->FindFirst(Criteria::equals(QStringLiteral("CariKod"), QStringLiteral("C001")));
    EXPECT_EQ(other->field(QStringLiteral("Borc")).toDouble(), 13000.0);
    other->FindFirst(Criteria::equals(QStringLiteral("Unvan"), QStringLiteral("yeni müşteri")));
    EXPECT_FALSE(other->NoMatch());

    rs->FindFirst(Criteria::equals(QStringLiteral("CariKod"), QStringLiteral("C002")));
    const int at = rs->AbsolutePosition();
    rs->Delete();
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_THROW(rs->field(QStringLiteral("CariKod")), DatabaseError);
    rs->MoveNext();  // lands on the record after the deleted one
    EXPECT_EQ(rs->AbsolutePosition(), at);
    EXPECT_EQ(rs->field(QStringLiteral("CariKod")).toString(), QStringLiteral("C003"));
    EXPECT_EQ(
        count(accounts(), QStringLiteral("SELECT count(*) FROM CariKartlar WHERE CariKod='C002'")),
        0);
}

TEST_F(DataTest, RefreshDataRereadsAndWalksToTheFirstRecord) {
    data::DataControl control(QStringLiteral("DataCari"));
    control.setDatabaseName(accounts());
    control.setRecordSource(
        QStringLiteral("Select * FROM CariKartlar Where Gurup='Müşteri' Order By CariKod Asc"));
    data::RefreshData(control);
    EXPECT_EQ(control.recordset().RecordCount(), 12);
    control.recordset().MoveLast();

    // A row written through another connection shows after the next refresh.
    auto writer = open(accounts(), QStringLiteral("CariKartlar"));
    writer->AddNew();
    writer->setField(QStringLiteral("CariKod"), QStringLiteral("C000"));
    writer->setField(QStringLiteral("Gurup"), QStringLiteral("Müşteri"));
    writer->Update();
    data::RefreshData(control);
    EXPECT_EQ(control.recordset().RecordCount(), 13);
    EXPECT_EQ(control.recordset().AbsolutePosition(), 0);
    EXPECT_EQ(control.recordset().field(QStringLiteral("CariKod")).toString(),
              QStringLiteral("C000"));

    control.setDatabaseName(books.serverPath(QStringLiteral("07")) + QStringLiteral("Cari.mdb"));
    EXPECT_THROW(data::RefreshData(control), DatabaseError);
    EXPECT_FALSE(control.isOpen());
    EXPECT_THROW(control.recordset(), DatabaseError);
}

TEST_F(DataTest, AReplacedFileIsNotReadThroughTheOldConnection) {
    const QString copy = books.dir() + QStringLiteral("/Temp1.Mdb");
    ASSERT_TRUE(QFile::copy(stock(), copy));
    auto first = data::Database::open(copy);
    EXPECT_EQ(first, data::Database::open(copy));  // shared while open
    first->execute(QStringLiteral("Delete FROM StokKartlar"));
    ASSERT_TRUE(QFile::remove(copy));
    ASSERT_TRUE(QFile::copy(stock(), copy));
    auto second = data::Database::open(copy);
    EXPECT_NE(first, second);
    EXPECT_EQ(data::Recordset(second, QStringLiteral("StokKartlar")).RecordCount(), 60);
}

TEST(JetSql, TranslatesYesNoAndLikePatternsOutsideLiterals) {
    EXPECT_EQ(data::translateJetSql(QStringLiteral("StokGizle=False and KalanB+KalanA<>0")),
              QStringLiteral("StokGizle=0 and KalanB+KalanA<>0"));
    EXPECT_EQ(data::translateJetSql(QStringLiteral("Unvan='True' Or X=True")),
              QStringLiteral("Unvan='True' Or X=1"));
    EXPECT_EQ(data::translateJetSql(QStringLiteral("StokAdi like 'O''N_1*'")),
              QStringLiteral("StokAdi LIKE 'O''N\\_1%' ESCAPE '\\'"));
    EXPECT_EQ(data::jetPatternToLike(QStringLiteral("a[*]b?#%")), QStringLiteral("a*b__\\%"));
}

TEST_F(DataTest, RefreshFollowsEditsThatChangeMembershipAndWritesFromElsewhere) {
    const QString copy = books.dir() + QStringLiteral("/Temp1.Mdb");
    ASSERT_TRUE(QFile::copy(stock(), copy));
    data::DataControl temp(QStringLiteral("DataTemp"));
    temp.setDatabaseName(copy);
    temp.setRecordSource(QStringLiteral(
        "Select * FROM StokKartlar Where StokGizle=False And KalanB<>0 Order By StokKod Asc"));
    data::RefreshData(temp);
    const int before = temp.recordset().RecordCount();
    ASSERT_GT(before, 2);

    // An edit of a field the source does not look at keeps the row; one of KalanB drops it.
    temp.recordset().Edit();
    temp.recordset().setField(QStringLiteral("Fiyat"), 1.5);
    temp.recordset().Update();
    data::RefreshData(temp);
    EXPECT_EQ(temp.recordset().RecordCount(), before);
    temp.recordset().Edit();
    temp.recordset().setField(QStringLiteral("KalanB"), 0);
    temp.recordset().Update();
    data::RefreshData(temp);
    EXPECT_EQ(temp.recordset().RecordCount(), before - 1);

    // A name changed by us is found by its new name at once.
    temp.recordset().Edit();
    temp.recordset().setField(QStringLiteral("StokAdi"), QStringLiteral("ÖZEL ÜRÜN"));
    temp.recordset().Update();
    const QString code = temp.recordset().field(QStringLiteral("StokKod")).toString();
    temp.recordset().MoveLast();
    temp.recordset().FindFirst(
        Criteria::startsWith(QStringLiteral("StokAdi"), QStringLiteral("özel")));
    ASSERT_FALSE(temp.recordset().NoMatch());
    EXPECT_EQ(temp.recordset().field(QStringLiteral("StokKod")).toString(), code);

    // A write by another program is seen by the next find and the next refresh.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(copy.toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other,
                           "UPDATE StokKartlar SET StokAdi='YENİ AD' WHERE StokKod='ST000060';"
                           "UPDATE StokKartlar SET KalanB=0 WHERE StokKod='ST000059'",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(other);
    temp.recordset().FindFirst(
        Criteria::startsWith(QStringLiteral("StokAdi"), QStringLiteral("yeni")));
    EXPECT_EQ(
        temp.recordset().NoMatch(),
        scalar(copy, QStringLiteral("SELECT count(*) FROM StokKartlar WHERE StokKod='ST000060' "
                                    "AND KalanB<>0 AND StokGizle=0"))
                .toInt() == 0);
    const int expected =
        scalar(copy,
               QStringLiteral("SELECT count(*) FROM StokKartlar WHERE StokGizle=0 AND KalanB<>0"))
            .toInt();
    data::RefreshData(temp);
    EXPECT_EQ(temp.recordset().RecordCount(), expected);
}
