#include <gtest/gtest.h>
#include <QFile>

#include "data/DataControl.h"
#include "data/Database.h"
#include "data/Names.h"
#include "invoicing/Totals.h"
#include "modes/WorkingSet.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(Totals, TakeExactlyTheLinesShownAndRestoreTheListWhenThereAreNone) {
    TempBooks books(60);
    const QString wc = books.dir() + u"/Temp1.Mdb"_s;
    auto db = modes::openBasket(wc, books.file("01", "Stok"), data::basket::View::Sale);
    data::DataControl temp(u"DataTemp"_s);
    temp.setDatabaseName(wc);
    temp.setRecordSource(data::sources::FullList);
    data::RefreshData(temp);
    const int all = temp.recordset().RecordCount();

    EXPECT_EQ(invoicing::openLines(temp), std::nullopt);
    EXPECT_EQ(temp.recordSource(), data::sources::FullList);
    EXPECT_EQ(temp.recordset().RecordCount(), all);

    db->execute(u"UPDATE StokKartlar SET KalanB=2, GirenTutar=100 WHERE StokKod='ST000001'"_s);
    db->execute(u"UPDATE StokKartlar SET KalanB=1, GirenTutar=23.5 WHERE StokKod='ST000002'"_s);
    // A line cleared with "SİL" and hidden cards are not shown.
    db->execute(u"UPDATE StokKartlar SET KalanB=0, GirenTutar=50 WHERE StokKod='ST000003'"_s);
    db->execute(u"UPDATE StokKartlar SET KalanB=1, GirenTutar=70 WHERE StokGizle<>0"_s);
    const auto total = invoicing::openLines(temp);
    ASSERT_TRUE(total.has_value());
    EXPECT_EQ(*total, core::Money::fromUnits(1235000));
    EXPECT_EQ(temp.recordset().RecordCount(), 2);
    // Every decimal the books will hold is shown: a sum of binary fractions once showed 2.046,67.
    db->execute(u"UPDATE StokKartlar SET KalanB=1, GirenTutar=1923.175 WHERE StokKod='ST000002'"_s);
    EXPECT_EQ(invoicing::totalCaption(*invoicing::openLines(temp), false), u"Toplam = 2.023,175"_s);
}
