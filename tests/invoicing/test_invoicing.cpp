#include <gtest/gtest.h>
#include <QFile>

#include "data/Criteria.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/Names.h"
#include "invoicing/Totals.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(Totals, TakeExactlyTheLinesShownAndRestoreTheListWhenThereAreNone) {
    TempBooks books(60);
    const QString wc = books.dir() + QStringLiteral("/Temp1.Mdb");
    ASSERT_TRUE(QFile::copy(books.serverPath() + QStringLiteral("Stok.mdb"), wc));
    auto db = data::Database::open(wc);
    db->execute(QStringLiteral("UPDATE StokKartlar Set KalanB=0, GirenTutar=0"));
    data::DataControl temp(QStringLiteral("DataTemp"));
    temp.setDatabaseName(wc);
    temp.setRecordSource(data::sources::FullList);
    data::RefreshData(temp);
    const int all = temp.recordset().RecordCount();

    EXPECT_EQ(invoicing::openLines(temp), std::nullopt);
    EXPECT_EQ(temp.recordSource(), data::sources::FullList);
    EXPECT_EQ(temp.recordset().RecordCount(), all);

    db->execute(
        QStringLiteral("UPDATE StokKartlar SET KalanB=2, GirenTutar=100 WHERE StokKod='ST000001'"));
    db->execute(QStringLiteral(
        "UPDATE StokKartlar SET KalanB=1, GirenTutar=23.5 WHERE StokKod='ST000002'"));
    db->execute(QStringLiteral(
        "UPDATE StokKartlar SET KalanB=0, GirenTutar=50 WHERE StokKod='ST000003'"));  // cleared
                                                                                      // line
    db->execute(QStringLiteral(
        "UPDATE StokKartlar SET KalanB=1, GirenTutar=70 WHERE StokGizle<>0"));  // hidden cards
    const auto total = invoicing::openLines(temp);
    ASSERT_TRUE(total.has_value());
    EXPECT_DOUBLE_EQ(*total, 123.5);
    EXPECT_EQ(temp.recordset().RecordCount(), 2);
    EXPECT_EQ(invoicing::totalCaption(*total, true), QStringLiteral("Toplam = 123,5"));
    EXPECT_EQ(invoicing::totalCaption(*total, false), QStringLiteral("Toplam = 123,50"));
    EXPECT_EQ(invoicing::totalCaption(1234567.891, false), QStringLiteral("Toplam = 1.234.567,89"));

    db->execute(QStringLiteral("UPDATE StokKartlar SET Fiyat=1234.5 WHERE StokKod='ST000001'"));
    data::RefreshData(temp);
    temp.recordset().FindFirst(
        data::Criteria::equals(QStringLiteral("StokKod"), QStringLiteral("ST000001")));
    const invoicing::LabelPreview label = invoicing::labelPreview(temp);
    EXPECT_EQ(label.price, QStringLiteral("1.234,50 TL."));
    EXPECT_EQ(label.barcode, QStringLiteral("8690000000012"));
}
