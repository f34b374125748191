#include <gtest/gtest.h>
#include <QSet>

#include "Catalogue.h"
#include "DemoBooks.h"
#include "entry/ScaleLabel.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(DemoBooks, BarcodesAreValidAndUnique) {
    const auto items = demobooks::makeCatalogue(3000);
    QSet<QString> seen;
    int weighed = 0;
    for (const auto& item : items) {
        // Weighed goods carry the scale's prefix and item number, among the first 40 items: a
        // label finds them, and none is a label of nothing weighed (it would book a whole unit).
        if (item.unit == u"Kg"_s) {
            ASSERT_EQ(item.barcode.size(), 7) << item.barcode.toStdString();
            EXPECT_FALSE(entry::readScaleLabel(item.barcode, entry::ScaleFormats::defaults()));
            EXPECT_LT(item.code, u"ST000040"_s);
            ++weighed;
            continue;
        }
        for (const QString& code : {item.barcode, item.barcode2, item.barcode3}) {
            if (code.isEmpty()) continue;
            ASSERT_TRUE(code.size() == 13 || code.size() == 8) << code.toStdString();
            EXPECT_EQ(demobooks::eanCheckDigit(code.left(code.size() - 1)),
                      code.back().digitValue())
                << code.toStdString();
            EXPECT_FALSE(seen.contains(code)) << code.toStdString();
            seen.insert(code);
        }
    }
    EXPECT_EQ(weighed, 3);
    EXPECT_EQ(demobooks::eanCheckDigit(u"869000000001"_s), 2);  // 8690000000012
}

TEST(DemoBooks, TheSameOnEveryRunAndCompaniesShareTheCatalogueAndKeepTheirBooksConsistent) {
    TempBooks books(80), again(80);
    for (const char* name : {"01Stok.mdb", "03Cari.mdb", "04Index.mdb", "02Fatura.mdb"}) {
        const QString rel = u"/RezoruviZada/"_s + QString::fromUtf8(name);
        EXPECT_EQ(readFile(books.dir() + rel), readFile(again.dir() + rel)) << name;
    }
    const QStringList codes01 =
        column(books.file("01", "Stok"), "SELECT StokKod FROM StokKartlar ORDER BY 1");
    ASSERT_EQ(codes01.size(), 80);
    for (const char* company : {"02", "03", "04"}) {
        const QString stock = books.file(company, "Stok");
        EXPECT_EQ(column(stock, "SELECT StokKod FROM StokKartlar ORDER BY 1"), codes01) << company;
        // Exactly one of KalanB and KalanA is set, and it is in minus out.
        EXPECT_EQ(count(stock,
                        "SELECT count(*) FROM StokKartlar WHERE (KalanB<>0 AND KalanA<>0)"
                        " OR abs(KalanB - KalanA - (GirenMik - CikanMik)) > 1e-9"),
                  0);
    }
}
