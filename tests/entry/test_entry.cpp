#include <gtest/gtest.h>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>

#include "data/Criteria.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/Names.h"
#include "data/Recordset.h"
#include "entry/Booking.h"
#include "entry/GridRules.h"
#include "entry/Lookup.h"
#include "entry/NumberBox.h"
#include "entry/NumberText.h"
#include "support/TestSupport.h"

using namespace testing_support;
namespace s = data::names::stok;

TEST(NumberText, GroupsTheWholePartAndKeepsEveryTypedDecimal) {
    auto type = [](const QString& keys) {
        QString t = QStringLiteral("0");
        QStringList shown;
        for (QChar k : keys) {
            const QString next = entry::number::afterKey(t, k);
            if (!next.isEmpty()) t = next;
            shown << t;
        }
        return shown;
    };
    EXPECT_EQ(type(QStringLiteral("1234")), (QStringList{"1", "12", "123", "1.234"}));
    EXPECT_EQ(type(QStringLiteral("12.5")).last(), QStringLiteral("12,5"));
    EXPECT_EQ(type(QStringLiteral("12,05")).last(), QStringLiteral("12,05"));
    EXPECT_EQ(type(QStringLiteral("0,005")).last(), QStringLiteral("0,005"));
    EXPECT_EQ(type(QStringLiteral("12,")).last(), QStringLiteral("12,"));
    EXPECT_EQ(type(QStringLiteral("1234567,5")).last(), QStringLiteral("1.234.567,5"));
    EXPECT_EQ(entry::number::value(QStringLiteral("1.234.567,05")), 1234567.05);
    EXPECT_EQ(entry::number::value(QStringLiteral("0,005")), 0.005);
}

TEST(NumberText, RefusesSignsLettersAndSecondCommas) {
    for (QChar k : QStringLiteral("-+/*?\\ax "))
        EXPECT_TRUE(entry::number::afterKey(QStringLiteral("12"), k).isEmpty())
            << QString(k).toStdString();
    EXPECT_TRUE(entry::number::afterKey(QStringLiteral("1,5"), u',').isEmpty());
    EXPECT_TRUE(entry::number::afterKey(QStringLiteral("1,123456"), u'7').isEmpty());
    EXPECT_TRUE(entry::number::afterKey(QStringLiteral("123.456.789.012"), u'3').isEmpty());
    EXPECT_FALSE(entry::number::isNumber(QStringLiteral("12a")));
    EXPECT_FALSE(entry::number::isNumber(QStringLiteral(",")));
    EXPECT_TRUE(entry::number::isNumber(QStringLiteral(",5")));
    EXPECT_EQ(entry::number::reformat(QStringLiteral(",5")), QStringLiteral("0,5"));
    EXPECT_EQ(entry::number::reformat(QStringLiteral("0007")), QStringLiteral("7"));
}

TEST(NumberBox, KeysPasteAndEnterBehaveAsANumberBox) {
    entry::NumberBox box;
    box.show();
    QSignalSpy enter(&box, &entry::NumberBox::enterPressed);
    QTest::keyClicks(&box, QStringLiteral("1a2-3.0"));
    EXPECT_EQ(box.text(), QStringLiteral("123,0"));
    QTest::keyClick(&box, Qt::Key_5);
    EXPECT_EQ(box.text(), QStringLiteral("123,05"));
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_EQ(box.text(), QStringLiteral("123"));
    box.setText(QStringLiteral("pasted text 12"));
    EXPECT_EQ(box.text(), QStringLiteral("123"));
    box.setText(QString());
    EXPECT_EQ(box.text(), QStringLiteral("0"));
    box.setText(QStringLiteral("12345"));
    EXPECT_EQ(box.text(), QStringLiteral("12.345"));
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(box.value(), 12345.0);
}

namespace {

class EntryTest : public ::testing::Test {
  protected:
    TempBooks books{60};
    QString wc;
    data::DataControl temp{QStringLiteral("DataTemp")};
    data::DataControl cari{QStringLiteral("DataCari")};
    std::unique_ptr<data::Recordset> company;

    void SetUp() override {
        wc = books.dir() + QStringLiteral("/Temp1.Mdb");
        QFile::copy(books.serverPath() + QStringLiteral("Stok.mdb"), wc);
        auto db = data::Database::open(wc);
        db->execute(QStringLiteral(
            "UPDATE StokKartlar Set KalanA=KalanB, KalanB=0, GirenTutar=0, Fiyat2=Fiyat"));
        // Cards to look for: a Barkod2 equal to another card's Barkod, a code that is also a name.
        db->execute(QStringLiteral(
            "UPDATE StokKartlar SET Barkod2='8690000000029' WHERE StokKod='ST000010'"));
        db->execute(
            QStringLiteral("UPDATE StokKartlar SET StokAdi='ST000005 KALEM', Barkod='55''*%_' "
                           "WHERE StokKod='ST000007'"));
        db->execute(
            QStringLiteral("UPDATE StokKartlar SET Fiyat=2.5, Kdv=18, StokAdi='DENEME ÜRÜN' WHERE "
                           "StokKod='ST000008'"));
        temp.setDatabaseName(wc);
        temp.setRecordSource(data::sources::FullList);
        data::RefreshData(temp);
        cari.setDatabaseName(books.serverPath() + QStringLiteral("Cari.mdb"));
        cari.setRecordSource(data::sources::CariByCode);
        data::RefreshData(cari);
        company = std::make_unique<data::Recordset>(
            data::Database::open(books.serverPath() + QStringLiteral("Stok.mdb")),
            QStringLiteral("StokKartlar"));
        company->FindFirst(data::Criteria::equals(s::StokKod, QStringLiteral("ST000008")));
        company->Edit();
        company->setField(s::StokAdi, QStringLiteral("DENEME ÜRÜN"));
        company->setField(s::Kdv, 18);
        company->Update();
    }
    QString found(const QString& text) {
        const auto r = entry::lookUp(temp, cari, text);
        if (r.kind == entry::LookupResult::Kind::Stock)
            return temp.recordset().field(s::StokKod).toString();
        if (r.kind == entry::LookupResult::Kind::Account)
            return QStringLiteral("cari:") + r.accountTitle;
        return QString();
    }
    QVariant card(const QString& code, const QString& field) {
        return scalar(wc, QStringLiteral("SELECT %1 FROM StokKartlar WHERE StokKod=?").arg(field),
                      {code});
    }
    void current(const QString& code) {
        temp.recordset().FindFirst(data::Criteria::equals(s::StokKod, code));
        ASSERT_FALSE(temp.recordset().NoMatch());
    }
};

}  // namespace

TEST_F(EntryTest, LookupTriesBarcodesThenCodeThenNameThenAccounts) {
    EXPECT_EQ(found(QStringLiteral("8690000000029")),
              QStringLiteral("ST000002"));  // Barkod before Barkod2
    EXPECT_EQ(found(QStringLiteral("ST000005")), QStringLiteral("ST000005"));    // code before name
    EXPECT_EQ(found(QStringLiteral("st000005 k")), QStringLiteral("ST000007"));  // name, any case
    EXPECT_EQ(found(QStringLiteral("55'*%_")), QStringLiteral("ST000007"));      // literally
    EXPECT_EQ(found(QStringLiteral("deneme ürün")), QStringLiteral("ST000008"));
    EXPECT_EQ(found(QStringLiteral("0216 555 10 0")), QStringLiteral("cari:YILMAZ GIDA LTD.ŞTİ."));
    EXPECT_EQ(found(QStringLiteral("ahmet'")), QStringLiteral("cari:AHMET'İN BAKKALI"));
    for (const char* text : {"*", "%", "_", "?", "#", "[", "'", "55'%", "DENEME_"})
        EXPECT_EQ(found(QString::fromUtf8(text)), QString()) << text;
}

TEST_F(EntryTest, SaleBookingAddsQuantityAmountAndVat) {
    current(QStringLiteral("ST000008"));
    entry::BookingInput in{false, 4, false, QStringLiteral("DENEME ÜRÜN")};
    ASSERT_TRUE(entry::book(temp.recordset(), company.get(), in));
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("KalanB")).toDouble(), 4);
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("GirenTutar")).toDouble(), 10);
    EXPECT_DOUBLE_EQ(card(QStringLiteral("ST000008"), QStringLiteral("Kar")).toDouble(), 1.8);
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("Fiyat2")).toDouble(), 2.5);
    ASSERT_TRUE(entry::book(temp.recordset(), company.get(), in));
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("KalanB")).toDouble(), 8);
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("GirenTutar")).toDouble(), 20);
    EXPECT_DOUBLE_EQ(card(QStringLiteral("ST000008"), QStringLiteral("Kar")).toDouble(), 3.6);

    // The search box no longer names the card: nothing is booked.
    in.searchText = QStringLiteral("DENEME");
    EXPECT_FALSE(entry::book(temp.recordset(), company.get(), in));
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("KalanB")).toDouble(), 8);
}

TEST_F(EntryTest, PriceEntrySetsThePriceAndBooksNoQuantity) {
    current(QStringLiteral("ST000008"));
    entry::book(temp.recordset(), company.get(), {false, 3, false, QStringLiteral("DENEME ÜRÜN")});
    ASSERT_TRUE(entry::book(temp.recordset(), company.get(),
                            {false, 4.25, true, QStringLiteral("DENEME ÜRÜN")}));
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("KalanB")).toDouble(), 3);
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("Fiyat")).toDouble(), 4.25);
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("Fiyat2")).toDouble(), 4.25);
    EXPECT_DOUBLE_EQ(card(QStringLiteral("ST000008"), QStringLiteral("GirenTutar")).toDouble(),
                     12.75);
    EXPECT_DOUBLE_EQ(card(QStringLiteral("ST000008"), QStringLiteral("Kar")).toDouble(),
                     12.75 * 0.18);
}

TEST_F(EntryTest, WithoutTheCompanyCardTheLineKeepsItsVatRate) {
    current(QStringLiteral("ST000008"));
    ASSERT_TRUE(
        entry::book(temp.recordset(), nullptr, {false, 2, false, QStringLiteral("DENEME ÜRÜN")}));
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("Kdv")).toDouble(), 18);
    EXPECT_DOUBLE_EQ(card(QStringLiteral("ST000008"), QStringLiteral("Kar")).toDouble(), 0.9);
}

TEST_F(EntryTest, CountingUsesUpTheBookQuantityThenCountsTheExcess) {
    auto db = data::Database::open(wc);
    db->execute(
        QStringLiteral("UPDATE StokKartlar SET KalanB=5, KalanA=0 WHERE StokKod='ST000001'"));
    db->execute(
        QStringLiteral("UPDATE StokKartlar SET KalanB=0, KalanA=1 WHERE StokKod='ST000002'"));
    db->execute(
        QStringLiteral("UPDATE StokKartlar SET KalanB=2, KalanA=0 WHERE StokKod='ST000003'"));
    db->execute(QStringLiteral("UPDATE StokKartlar SET KalanB=NULL WHERE StokKod='ST000004'"));
    db->execute(QStringLiteral("UPDATE StokKartlar SET KalanB=0.3 WHERE StokKod='ST000005'"));
    temp.setRecordSource(data::sources::CountList);
    data::RefreshData(temp);
    auto count = [&](const QString& code, double q) {
        current(code);
        return entry::book(temp.recordset(), nullptr, {true, q, false, QString()});
    };
    count(QStringLiteral("ST000001"), 3);
    EXPECT_EQ(card(QStringLiteral("ST000001"), QStringLiteral("KalanB")).toDouble(), 2);
    count(QStringLiteral("ST000001"), 2);
    EXPECT_FALSE(
        card(QStringLiteral("ST000001"), QStringLiteral("KalanB")).isValid());  // left the copy
    count(QStringLiteral("ST000002"), 1);
    EXPECT_EQ(card(QStringLiteral("ST000002"), QStringLiteral("KalanA")).toDouble(), 2);
    count(QStringLiteral("ST000003"), 5);
    EXPECT_EQ(card(QStringLiteral("ST000003"), QStringLiteral("KalanB")).toDouble(), 0);
    EXPECT_EQ(card(QStringLiteral("ST000003"), QStringLiteral("KalanA")).toDouble(), 3);
    for (int i = 0; i < 3; ++i)
        count(QStringLiteral("ST000005"), 0.1);
    EXPECT_FALSE(card(QStringLiteral("ST000005"), QStringLiteral("KalanB")).isValid());
    // A card whose book quantity is empty is left as it is.
    temp.setRecordSource(data::sources::FullList);
    data::RefreshData(temp);
    current(QStringLiteral("ST000004"));
    EXPECT_FALSE(entry::book(temp.recordset(), nullptr, {true, 1, false, QString()}));
    EXPECT_TRUE(card(QStringLiteral("ST000004"), QStringLiteral("KalanB")).isNull());
}

TEST_F(EntryTest, ClearingALineThenRescanningChargesOnlyTheNewScan) {
    current(QStringLiteral("ST000008"));
    entry::book(temp.recordset(), company.get(), {false, 2, false, QStringLiteral("DENEME ÜRÜN")});
    const double oneAmount =
        card(QStringLiteral("ST000008"), QStringLiteral("GirenTutar")).toDouble() / 2;
    const double oneVat = card(QStringLiteral("ST000008"), QStringLiteral("Kar")).toDouble() / 2;
    entry::clearLine(temp.recordset(), false);
    for (const char* field : {"KalanB", "GirenTutar", "Kar"})
        EXPECT_EQ(card(QStringLiteral("ST000008"), QString::fromLatin1(field)).toDouble(), 0)
            << field;
    current(QStringLiteral("ST000008"));
    entry::book(temp.recordset(), company.get(), {false, 1, false, QStringLiteral("DENEME ÜRÜN")});
    EXPECT_EQ(card(QStringLiteral("ST000008"), QStringLiteral("KalanB")).toDouble(), 1);
    EXPECT_DOUBLE_EQ(card(QStringLiteral("ST000008"), QStringLiteral("GirenTutar")).toDouble(),
                     oneAmount);
    EXPECT_DOUBLE_EQ(card(QStringLiteral("ST000008"), QStringLiteral("Kar")).toDouble(), oneVat);
}

TEST(GridRules, SortRewritesTheOrderOfTheRecordSource) {
    EXPECT_EQ(
        entry::sortedSource(QStringLiteral("Select * FROM StokKartlar Where StokGizle=False and "
                                           "KalanB+KalanA<>0 Order By StokKod Asc"),
                            QStringLiteral("KalanB"), false),
        QStringLiteral("Select * FROM StokKartlar Where StokGizle=False and KalanB+KalanA<>0 "
                       "ORDER BY KalanB ASC"));
    EXPECT_EQ(entry::sortedSource(QStringLiteral("StokKartlar"), QStringLiteral("Fiyat2"), true),
              QStringLiteral("StokKartlar ORDER BY Fiyat2 DESC"));
}

TEST(GridRules, DragsMoveWholeRowsWithTheRoundingRule) {
    EXPECT_EQ(entry::dragRows(120, 240), 0);  // Int(0.5 + 0.49)
    EXPECT_EQ(entry::dragRows(123, 240), 1);
    EXPECT_EQ(entry::dragRows(-120, 240), -1);  // Int(-0.5 + 0.49)
    EXPECT_EQ(entry::dragRows(-116, 240), 0);
    EXPECT_EQ(entry::dragTarget(97, 10, 100), 99);  // ten up from the third-last: the last
    EXPECT_EQ(entry::dragTarget(3, -10, 100), 0);   // ten down from the fourth: the first
    EXPECT_EQ(entry::dragTarget(5, -1, 100), 4);
    EXPECT_EQ(entry::dragTarget(5, 0, 100), 5);
    EXPECT_EQ(entry::dragTarget(0, 3, 0), -1);
}

TEST(GridRules, LayoutFilesRoundTripAndSurviveDamage) {
    const QByteArray text = entry::writeGridLayout({{1215, true}, {1987.5, false}, {0.1, true}});
    EXPECT_EQ(text, QByteArray("1215,#TRUE#\r\n1987.5,#FALSE#\r\n0.1,#TRUE#\r\n"));
    const auto back = entry::readGridLayout(text);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[1]->widthTwips, 1987.5);
    EXPECT_FALSE(back[1]->visible);

    const auto damaged = entry::readGridLayout(QByteArray(
        "900,#TRUE#\rabc,#TRUE#\n-5,#TRUE#\n1e9,#TRUE#\n12,#MAYBE#\n\x01\xff\n7,#false#"));
    ASSERT_EQ(damaged.size(), 7u);
    EXPECT_EQ(damaged[0]->widthTwips, 900);    // CR-only line ends
    EXPECT_FALSE(damaged[1]);                  // not a number
    EXPECT_FALSE(damaged[2]);                  // negative
    EXPECT_EQ(damaged[3]->widthTwips, 30000);  // huge: capped
    EXPECT_FALSE(damaged[4]);
    EXPECT_FALSE(damaged[5]);           // garbage
    EXPECT_FALSE(damaged[6]->visible);  // case of the flag does not matter
}

TEST(GridRules, CaptionsAreCentredWithSpaces) {
    EXPECT_EQ(entry::centredCaption(QStringLiteral("  Ad "), 2000, 1000, 60, 0),
              QString(8, u' ') + QStringLiteral("Ad"));
    EXPECT_EQ(entry::centredCaption(QStringLiteral("Ad"), 2000, 1000, 60, 1),
              QStringLiteral("Ad") + QString(8, u' '));
    EXPECT_EQ(entry::centredCaption(QStringLiteral("Ad"), 2000, 1000, 60, 2), QStringLiteral("Ad"));
    EXPECT_EQ(entry::centredCaption(QStringLiteral("Ad"), 900, 1000, 60, 0), QStringLiteral("Ad"));
}
