#include <gtest/gtest.h>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include "data/Criteria.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "data/Names.h"
#include "data/Recordset.h"
#include "entry/Booking.h"
#include "entry/GridRules.h"
#include "entry/Lookup.h"
#include "entry/NumberBox.h"
#include "entry/NumberText.h"
#include "entry/ScaleLabel.h"
#include "support/TestSupport.h"

using namespace testing_support;
namespace s = data::names::stok;

TEST(NumberText, GroupsTheWholePartKeepsEveryTypedDecimalAndRefusesTheRest) {
    auto type = [](const QString& keys) {
        QString t = u"0"_s;
        QStringList shown;
        for (QChar k : keys) {
            const QString next = entry::number::afterKey(t, k);
            if (!next.isEmpty()) t = next;
            shown << t;
        }
        return shown;
    };
    EXPECT_EQ(type(u"1234"_s), (QStringList{"1", "12", "123", "1.234"}));
    // "." groups thousands as the box shows them; "," starts the decimals.
    for (const auto& [keys, shown] : {std::pair{u"1.000.000"_s, u"1.000.000"_s},
                                      {u"12.5"_s, u"125"_s},
                                      {u"0,005"_s, u"0,005"_s},
                                      {u"12,"_s, u"12,"_s},
                                      {u"1234567,5"_s, u"1.234.567,5"_s}})
        EXPECT_EQ(type(keys).last(), shown);
    EXPECT_EQ(entry::number::quantity(u"1.234.567,05"_s).units(), 12345670500);
    EXPECT_EQ(entry::number::price(u"0,005"_s).units(), 50);
    // Refused, each in words: signs, letters, a second comma, a "." among the decimals, a fifth
    // decimal (the books hold four), a thirteenth digit.
    for (QChar k : u"-+/*?\\ax "_s)
        EXPECT_TRUE(entry::number::afterKey(u"12"_s, k).isEmpty()) << QString(k).toStdString();
    const struct {
        const char* before;
        char key;
        const char* said;
    } refused[] = {{"1,5", ',', "Sayıda bir virgül olur; \".\" binlik ayracıdır"},
                   {"1,5", '.', "Sayıda bir virgül olur; \".\" binlik ayracıdır"},
                   {"1,1234", '5', "En çok 4 ondalık basamak yazılabilir"},
                   {"123.456.789.012", '3', "En çok 12 basamaklı sayı yazılabilir"},
                   {"12", 'a', "Miktar kutusuna yalnız rakam ve virgül yazılır"}};
    for (const auto& r : refused) {
        EXPECT_TRUE(entry::number::afterKey(QString::fromLatin1(r.before), QChar(r.key)).isEmpty());
        EXPECT_EQ(entry::number::refusal(QString::fromLatin1(r.before), QChar(r.key)),
                  QString::fromUtf8(r.said));
    }
    EXPECT_EQ(entry::number::refusal(u"12"_s, u'3'), QString());
    EXPECT_FALSE(entry::number::isNumber(u"12a"_s));
    EXPECT_FALSE(entry::number::isNumber(u","_s));
    EXPECT_TRUE(entry::number::isNumber(u",5"_s));
    EXPECT_EQ(entry::number::reformat(u",5"_s), u"0,5"_s);
    EXPECT_EQ(entry::number::reformat(u"0007"_s), u"7"_s);
}

TEST(NumberBox, KeysPasteAndEnterBehaveAsANumberBox) {
    entry::NumberBox box;
    box.show();
    QSignalSpy enter(&box, &entry::NumberBox::enterPressed);
    QTest::keyClicks(&box, u"1a2-3,05"_s);
    EXPECT_EQ(box.text(), u"123,05"_s);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&box, Qt::Key_Backspace);
    EXPECT_EQ(box.text(), u"123"_s);
    box.setText(u"pasted text 12"_s);
    EXPECT_EQ(box.text(), u"123"_s);
    box.setText(QString());
    EXPECT_EQ(box.text(), u"0"_s);
    box.setText(u"12345"_s);
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(box.quantity().units(), 123450000);
    // Prices and quantities hold what the books hold: a fifth decimal is refused in words.
    QSignalSpy refused(&box, &entry::NumberBox::refused);
    for (const bool price : {false, true}) {
        box.setPriceEntry(price);
        box.setText(u"1,1234"_s);
        QTest::keyClick(&box, Qt::Key_5);
        EXPECT_EQ(box.text(), u"1,1234"_s);
    }
    EXPECT_EQ(refused.count(), 2);
    // A barcode read into the box is refused at its thirteenth digit, and its Enter books
    // nothing until the box is corrected; the keypad's decimal key is the decimal sign.
    box.setText(u"0"_s);
    QTest::keyClicks(&box, u"8690000000123"_s);
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_TRUE(refused.last().first().toString().contains(u"işlenmedi"_s));
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Period, Qt::KeypadModifier);
    QTest::keyClick(&box, Qt::Key_5);
    EXPECT_EQ(box.text(), u"86.900.000.001,5"_s);
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_EQ(enter.count(), 2);
}

namespace {

class EntryTest : public ::testing::Test {
  protected:
    TempBooks books{60};
    QString wc;
    data::DataControl temp{u"DataTemp"_s};
    data::DataControl cari{u"DataCari"_s};
    std::unique_ptr<data::Recordset> company;

    void SetUp() override {
        wc = books.dir() + u"/Temp1.Mdb"_s;
        QFile::copy(books.file("01", "Stok"), wc);
        auto db = data::Database::open(wc);
        db->execute(
            u"UPDATE StokKartlar Set KalanA=KalanB, KalanB=0, GirenTutar=0, Fiyat2=Fiyat"_s);
        // Cards to look for: a Barkod2 equal to another card's Barkod, a code that is also a name.
        db->execute(u"UPDATE StokKartlar SET Barkod2='8690000000029' WHERE StokKod='ST000010'"_s);
        db->execute(
            u"UPDATE StokKartlar SET StokAdi='ST000005 KALEM', Barkod='55''*%_' "
            "WHERE StokKod='ST000007'"_s);
        db->execute(
            u"UPDATE StokKartlar SET Fiyat=2.5, Kdv=18, StokAdi='DENEME ÜRÜN' WHERE "
            "StokKod='ST000008'"_s);
        temp.setDatabaseName(wc);
        temp.setRecordSource(data::sources::FullList);
        data::RefreshData(temp);
        cari.setDatabaseName(books.file("01", "Cari"));
        cari.setRecordSource(data::sources::CariByCode);
        data::RefreshData(cari);
        auto books01 = data::Database::open(books.file("01", "Stok"));
        books01->execute(
            u"UPDATE StokKartlar SET StokAdi='DENEME ÜRÜN', Kdv=18 WHERE StokKod='ST000008'"_s);
        company = std::make_unique<data::Recordset>(books01, u"StokKartlar"_s);
    }
    QString found(const QString& text) {
        const auto r = entry::lookUp(temp, cari, text);
        if (r.kind == entry::LookupResult::Kind::Stock)
            return temp.recordset().field(s::StokKod).toString();
        if (r.kind == entry::LookupResult::Kind::Account) return u"cari:"_s + r.accountTitle;
        return QString();
    }
    QVariant card(const QString& code, const QString& field) {
        return scalar(wc, u"SELECT %1 FROM StokKartlar WHERE StokKod=?"_s.arg(field), {code});
    }
    void current(const QString& code) {
        temp.recordset().FindFirst(data::Criteria::equals(s::StokKod, code));
        ASSERT_FALSE(temp.recordset().NoMatch());
    }
};

}  // namespace

TEST_F(EntryTest, LookupTriesBarcodesThenCodeThenNameThenAccounts) {
    EXPECT_EQ(found(u"8690000000029"_s),
              u"ST000002"_s);                          // Barkod before Barkod2
    EXPECT_EQ(found(u"ST000005"_s), u"ST000005"_s);    // code before name
    EXPECT_EQ(found(u"st000005 k"_s), u"ST000007"_s);  // name, any case
    EXPECT_EQ(found(u"55'*%_"_s), u"ST000007"_s);      // literally
    EXPECT_EQ(found(u"deneme ürün"_s), u"ST000008"_s);
    EXPECT_EQ(found(u"0216 555 10 0"_s), u"cari:YILMAZ GIDA LTD.ŞTİ."_s);
    EXPECT_EQ(found(u"ahmet'"_s), u"cari:AHMET'İN BAKKALI"_s);
    for (const char* text : {"*", "%", "_", "?", "#", "[", "'", "55'%", "DENEME_"})
        EXPECT_EQ(found(QString::fromUtf8(text)), QString()) << text;
    // Accounts out of reach (a server that is down): cards are still found in the working copy,
    // and a miss says what could not be searched instead of stopping the scan.
    cari.Close();
    cari.setDatabaseName(u"postgresql://127.0.0.1:1/kapali/01Cari.mdb"_s);
    EXPECT_EQ(found(u"8690000000029"_s), u"ST000002"_s);
    const entry::LookupResult miss = entry::lookUp(temp, cari, u"8690000009999"_s);
    EXPECT_EQ(miss.kind, entry::LookupResult::Kind::None);
    EXPECT_EQ(miss.said,
              u"Bulunamadı: 8690000009999 — hesaplar aranamadı, defterlere ulaşılamıyor"_s);
}

TEST_F(EntryTest, BookingsOnOneLineAddUpAndAPriceEntryOnlyReprices) {
    // ST000008 sells at 2,5 with 18 % VAT; each step books on its line, or clears it. A purchase
    // books at the purchase price prepared in Fiyat2 and leaves the sale price alone.
    // TextPrice: the card holds the text "12,5" as its price; SaleWithBooksAway: the company's
    // books cannot be read, and the working copy's rate holds.
    enum Kind {
        Sale,
        SaleWithoutCompanyCard,
        TextPrice,
        SaleWithBooksAway,
        Price,
        Clear,
        PreparePurchase,
        Purchase,
        BuyPrice
    };
    const struct Step {
        Kind kind;
        double value;
        const char* searchText;
        bool booked;
        double kalanB, amount, vat, price, salePrice;
    } steps[] = {
        {Sale, 4, "DENEME ÜRÜN", true, 4, 10, 1.8, 2.5, 2.5},
        {Sale, 4, "DENEME ÜRÜN", true, 8, 20, 3.6, 2.5, 2.5},
        {Sale, 4, "DENEME", false, 8, 20, 3.6, 2.5, 2.5},  // the box no longer names the card
        {Clear, 0, "", true, 0, 0, 0, 2.5, 2.5},
        {Sale, 1, "DENEME ÜRÜN", true, 1, 2.5, 0.45, 2.5, 2.5},  // only the new scan is charged
        {SaleWithoutCompanyCard, 2, "DENEME ÜRÜN", true, 3, 7.5, 1.35, 2.5, 2.5},  // same VAT
        {TextPrice, 1, "DENEME ÜRÜN", false, 3, 7.5, 1.35, 2.5, 2.5},
        {SaleWithBooksAway, 1, "DENEME ÜRÜN", true, 4, 10, 1.8, 2.5, 2.5},
        {Price, 4.25, "DENEME ÜRÜN", true, 4, 17, 3.06, 4.25, 4.25},
        {Clear, 0, "", true, 0, 0, 0, 4.25, 4.25},
        {Price, 2.005, "DENEME ÜRÜN", true, 0, 0, 0, 2.005, 2.005},
        // VAT is rounded once from the exact amount: 1,0025 × 18 % = 0,18045 gives 0,1805.
        {Sale, 0.5, "DENEME ÜRÜN", true, 0.5, 1.0025, 0.1805, 2.005, 2.005},
        {PreparePurchase, 0, "", true, 0, 0, 0, 116.64, 194.4},
        {Purchase, 1.25, "DENEME ÜRÜN", true, 1.25, 145.8, 26.244, 116.64, 194.4},
        {BuyPrice, 120, "DENEME ÜRÜN", true, 1.25, 150, 27, 120, 194.4},
        {Purchase, 0.75, "DENEME ÜRÜN", true, 2, 240, 43.2, 120, 194.4},
    };
    const QString code = u"ST000008"_s;
    const auto setPrice = [&](const QString& price) {
        data::Database::open(wc)->execute(
            u"UPDATE StokKartlar SET Fiyat=%1 WHERE StokKod='ST000008'"_s.arg(price));
        data::RefreshData(temp);
        current(code);
    };
    for (const Step& k : steps) {
        SCOPED_TRACE(testing::Message() << k.kind << ' ' << k.value);
        current(code);
        entry::BookingInput in{false, core::Quantity::fromDouble(k.value),
                               k.kind == Price || k.kind == BuyPrice,
                               QString::fromUtf8(k.searchText)};
        in.price = core::Money::fromDouble(k.value);
        in.purchase = k.kind == Purchase || k.kind == BuyPrice;
        in.booksFile = u"01Stok.mdb"_s;
        if (k.kind == Clear) {
            entry::clearLine(temp.recordset(), false);
        } else if (k.kind == PreparePurchase) {
            // As a purchase's working set is prepared: the shown price is the purchase price.
            data::Database::open(wc)->execute(
                u"UPDATE StokKartlar SET KalanB=0, GirenTutar=0, Kar=0, Fiyat=194.4, "
                "gFiyat=116.64, Fiyat2=116.64 WHERE StokKod='ST000008'"_s);
            data::RefreshData(temp);
        } else if (k.kind == TextPrice) {
            setPrice(u"'12,5'"_s);
            try {
                entry::book(temp.recordset(), company.get(), in);
                ADD_FAILURE() << "booked at a price that is no number";
            } catch (const data::DatabaseError& e) {
                EXPECT_EQ(e.text(),
                          u"ST000008 kartının Fiyat alanında sayı yok (\"12,5\"): hiçbir "
                          "şey işlenmedi — 01Stok.mdb"_s);
            }
            setPrice(u"2.5"_s);
        } else {
            // With the books away, the company's cards are gone from under the open recordset.
            auto books01 = data::Database::openPrivate(books.file("01", "Stok"));
            const bool away = k.kind == SaleWithBooksAway;
            if (away) books01->execute(u"ALTER TABLE StokKartlar RENAME TO Kapali"_s);
            EXPECT_EQ(entry::book(temp.recordset(),
                                  k.kind == SaleWithoutCompanyCard ? nullptr : company.get(), in),
                      k.booked ? entry::Booked::Yes : entry::Booked::NotTheCard);
            if (away) books01->execute(u"ALTER TABLE Kapali RENAME TO StokKartlar"_s);
        }
        EXPECT_DOUBLE_EQ(card(code, u"KalanB"_s).toDouble(), k.kalanB);
        EXPECT_DOUBLE_EQ(card(code, u"GirenTutar"_s).toDouble(), k.amount);
        EXPECT_DOUBLE_EQ(card(code, u"Kar"_s).toDouble(), k.vat);
        EXPECT_DOUBLE_EQ(card(code, u"Fiyat2"_s).toDouble(), k.price);
        EXPECT_DOUBLE_EQ(card(code, u"Fiyat"_s).toDouble(), k.salePrice);
        EXPECT_DOUBLE_EQ(card(code, u"Kdv"_s).toDouble(), 18);
    }
}

TEST_F(EntryTest, CountingUsesUpTheBookQuantityThenCountsTheExcess) {
    auto db = data::Database::open(wc);
    db->execute(u"UPDATE StokKartlar SET KalanB=5, KalanA=0 WHERE StokKod='ST000001'"_s);
    db->execute(u"UPDATE StokKartlar SET KalanB=0, KalanA=1 WHERE StokKod='ST000002'"_s);
    db->execute(u"UPDATE StokKartlar SET KalanB=2, KalanA=0 WHERE StokKod='ST000003'"_s);
    db->execute(u"UPDATE StokKartlar SET KalanB=NULL WHERE StokKod='ST000004'"_s);
    db->execute(u"UPDATE StokKartlar SET KalanB=0.3 WHERE StokKod='ST000005'"_s);
    temp.setRecordSource(data::sources::CountList);
    data::RefreshData(temp);
    // Each count books the card the search box names, as a scan leaves it there.
    auto typed = [&](const QString& text, double q) {
        return entry::book(temp.recordset(), nullptr,
                           {true, core::Quantity::fromDouble(q), false, text});
    };
    auto count = [&](const QString& code, double q) {
        current(code);
        return typed(temp.recordset().field(s::StokAdi).toString(), q);
    };
    using B = entry::Booked;
    EXPECT_EQ(count(u"ST000001"_s, 3), B::Yes);
    EXPECT_EQ(card(u"ST000001"_s, u"KalanB"_s).toDouble(), 2);
    const QString first = card(u"ST000001"_s, u"StokAdi"_s).toString();
    EXPECT_EQ(count(u"ST000001"_s, 2), B::CountedInFull);
    EXPECT_FALSE(card(u"ST000001"_s, u"KalanB"_s).isValid());  // left the copy
    // OK again on the card that left: nothing to count, and the strip says why.
    EXPECT_EQ(typed(first, 4), B::NoCard);
    EXPECT_EQ(count(u"ST000002"_s, 1), B::Yes);
    EXPECT_EQ(card(u"ST000002"_s, u"KalanA"_s).toDouble(), 2);
    // A typed count after a scan that missed goes to no card, not to the one still selected.
    EXPECT_EQ(typed(u"8690000009999"_s, 3), B::NotTheCard);
    EXPECT_EQ(card(u"ST000002"_s, u"KalanA"_s).toDouble(), 2);
    EXPECT_EQ(count(u"ST000003"_s, 5), B::Yes);
    EXPECT_EQ(card(u"ST000003"_s, u"KalanB"_s).toDouble(), 0);
    EXPECT_EQ(card(u"ST000003"_s, u"KalanA"_s).toDouble(), 3);
    for (int i = 0; i < 3; ++i)
        count(u"ST000005"_s, 0.1);
    EXPECT_FALSE(card(u"ST000005"_s, u"KalanB"_s).isValid());
    // A card whose book quantity is empty is left as it is.
    temp.setRecordSource(data::sources::FullList);
    data::RefreshData(temp);
    EXPECT_EQ(count(u"ST000004"_s, 1), B::NoBookQuantity);
    EXPECT_TRUE(card(u"ST000004"_s, u"KalanB"_s).isNull());
    EXPECT_EQ(count(u"ST000004"_s, 0), B::NothingEntered);
}

TEST_F(EntryTest, ScaleLabelsFindTheirCardByItemNumberAndBookWhatTheyRead) {
    auto db = data::Database::open(wc);
    // Weighed cards found each way: item number without and with its zeros, the label's first
    // digits alone, and padded with their check digit. VAT 1 %.
    auto ean = [](const char* twelve) {
        const QString d = QString::fromLatin1(twelve);
        return d + QString::number(entry::eanCheckDigit(d));
    };
    const struct {
        const char *code, *name, *field, *value;
        double price, purchasePrice;
    } cards[] = {
        {"ST000011", "BEYAZ PEYNİR", "StokKod", "123", 240, 180},
        {"ST000012", "DANA KIYMA", "StokKod", "00777", 520, 400},
        {"ST000013", "TAVUK BUT", "Barkod2", "2700042", 90, 70},
        {"ST000014", "SİYAH ZEYTİN", "Barkod3", "2900055000001", 150, 100},
        {"ST000015", "KAŞAR", "Barkod", "2700123007891", 200, 150},  // a label that is a barcode
        {"ST000016", "LOR", "Barkod", "2700124000006", 80, 60},      // and a zero label that is one
    };
    for (const auto& c : cards)
        db->query(
            u"UPDATE StokKartlar SET StokAdi=?, %1=?, Fiyat=?, Fiyat2=?, Kdv=1 WHERE StokKod=?"_s
                .arg(QString::fromLatin1(c.field)),
            {QString::fromUtf8(c.name), QString::fromLatin1(c.value), c.price, c.purchasePrice,
             QString::fromLatin1(c.code)});
    entry::ScaleFormats formats = entry::ScaleFormats::defaults();
    formats.set(25, {4, entry::ScaleFormat::Carries::Price});  // a shop's own prefix

    enum Mode { Sale, Purchase, Count };
    const struct Row {
        Mode mode;
        QString text;
        const char *card, *said;
        double startB, kalanB, amount;
    } rows[] = {
        {Sale, ean("270012300456"), "123", "Terazi: 0,456 kg BEYAZ PEYNİR", 0, 0.456, 109.44},
        {Sale, ean("280077701250"), "00777", "Terazi: 1,250 kg DANA KIYMA", 0, 1.25, 650},
        {Sale, ean("270004200300"), "ST000013", "Terazi: 0,300 kg TAVUK BUT", 0, 0.3, 27},
        // A price books what it buys at the sale price to three decimals, and exactly its own
        // amount; a purchase books the same package at its purchase price.
        {Purchase, ean("290005501250"), "ST000014", "Terazi: 12,50 TL SİYAH ZEYTİN", 0, 0.083, 8.3},
        {Sale, ean("290005501250"), "ST000014", "Terazi: 12,50 TL SİYAH ZEYTİN", 0, 0.083, 12.5},
        {Sale, ean("250123001999"), "123", "Terazi: 19,99 TL BEYAZ PEYNİR", 0, 0.083, 19.99},
        {Count, ean("270012300456"), "123", "Terazi: 0,456 kg BEYAZ PEYNİR", 2, 1.544, 0},
        // Misses: an exact barcode keeps today's road; not a label; no card; nothing weighed.
        {Sale, u"2700123007891"_s, "ST000015", "", 0, 0, 0},
        {Sale, u"2700123004563"_s, "", "", 0, 0, 0},  // its check digit is 2
        {Sale, ean("260012300456"), "", "", 0, 0, 0},
        {Sale, ean("279999900456"), "", "Bulunamadı: terazi etiketi 2799999004561, ürün 99999", 0,
         0, 0},
        {Sale, ean("270012300000"), "",
         "Terazi: 0,000 kg BEYAZ PEYNİR — sıfır: hiçbir şey işlenmedi", 0, 0, 0},
        {Sale, u"2700124000006"_s, "", "Terazi: 0,000 kg LOR — sıfır: hiçbir şey işlenmedi", 0, 0,
         0},
        {Sale, ean("279999900000"), "", "Terazi: 0,000 kg ürün 99999 — sıfır: hiçbir şey işlenmedi",
         0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        db->execute(u"UPDATE StokKartlar SET KalanB=%1, GirenTutar=0, Kar=0"_s.arg(row.startB));
        data::RefreshData(temp);
        const entry::LookupResult r = entry::lookUp(temp, cari, row.text, &formats);
        EXPECT_EQ(r.said, QString::fromUtf8(row.said));
        const QString code = QString::fromLatin1(row.card);
        ASSERT_EQ(r.kind == entry::LookupResult::Kind::Stock, !code.isEmpty());
        if (!code.isEmpty()) {
            EXPECT_EQ(temp.recordset().field(s::StokKod).toString(), code);
        }
        ASSERT_EQ(r.label.has_value(), !code.isEmpty() && code != u"ST000015"_s);
        if (!r.label) continue;
        entry::BookingInput in{
            row.mode == Count, {}, true, temp.recordset().field(s::StokAdi).toString()};
        in.purchase = row.mode == Purchase;
        r.label->applyTo(in);
        EXPECT_EQ(entry::book(temp.recordset(), nullptr, in), entry::Booked::Yes);
        EXPECT_DOUBLE_EQ(card(code, u"KalanB"_s).toDouble(), row.kalanB);
        EXPECT_DOUBLE_EQ(card(code, u"GirenTutar"_s).toDouble(), row.amount);
        EXPECT_DOUBLE_EQ(card(code, u"Kar"_s).toDouble(), std::round(row.amount * 100) / 1e4);
    }
    // No price to work the quantity out at: nothing is booked.
    db->execute(u"UPDATE StokKartlar SET Fiyat=0 WHERE StokKod='ST000014'"_s);
    data::RefreshData(temp);
    const entry::LookupResult r = entry::lookUp(temp, cari, ean("290005501250"), &formats);
    ASSERT_TRUE(r.label);
    entry::BookingInput in{false, {}, false, u"SİYAH ZEYTİN"_s};
    r.label->applyTo(in);
    EXPECT_EQ(entry::book(temp.recordset(), nullptr, in), entry::Booked::NoPrice);
}

TEST(ScaleFormats, DefaultsAreWrittenOnFirstUseAndHandEditsAreRead) {
    QTemporaryDir dir;
    const QString file = dir.filePath(u"settings.ini"_s);
    auto load = [&] {
        QSettings ini(file, QSettings::IniFormat);
        ini.beginGroup(entry::ScaleSection);
        return entry::ScaleFormats::load(
            {[&](const QString& key) { return ini.value(key).toString(); },
             [&](const QString& key, const QString& value) {
                 ini.setValue(key, value);
                 return true;
             }});
    };
    auto described = [](const entry::ScaleFormats& f) {
        QStringList out;
        for (int prefix = 0; prefix < 100; ++prefix)
            if (const entry::ScaleFormat* format = f.forPrefix(prefix))
                out << u"%1=%2"_s.arg(prefix).arg(entry::formatText(*format));
        return out.join(u", "_s);
    };
    const QString defaults = u"27=5 weight, 28=5 weight, 29=5 price"_s;
    EXPECT_EQ(described(load()), defaults);
    EXPECT_TRUE(readFile(file).contains("Prefix29=5 price\nPrefixes=27 28 29\n"));
    EXPECT_EQ(described(load()), defaults);

    // By hand: a shop's prefix, one unreadable format (left as typed), prefixes out of range.
    writeFile(file,
              "[ScaleLabels]\nPrefixes=  25 27 28 86 2 2x 29\nPrefix25=4 PRICE\n"
              "Prefix27=six weight\nPrefix29=10 price\n");
    EXPECT_EQ(described(load()), u"25=4 price, 28=5 weight"_s);
    QSettings ini(file, QSettings::IniFormat);
    EXPECT_EQ(ini.value(u"ScaleLabels/Prefix27"_s).toString(), u"six weight"_s);
    EXPECT_EQ(ini.value(u"ScaleLabels/Prefix28"_s).toString(), u"5 weight"_s);
}

TEST(GridRules, DragsMoveWholeRowsWithTheRoundingRuleAndCaptionsAreCentred) {
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
    const auto read = [](const QByteArray& file) {
        QStringList columns;
        for (const auto& c : entry::readGridLayout(file))
            columns << (c ? u"%1 %2"_s.arg(c->widthTwips).arg(c->visible) : u"-"_s);
        return columns.join(u'|');
    };
    const QByteArray text = entry::writeGridLayout({{1215, true}, {1987.5, false}, {0.1, true}});
    EXPECT_EQ(text, QByteArray("1215,#TRUE#\r\n1987.5,#FALSE#\r\n0.1,#TRUE#\r\n"));
    EXPECT_EQ(read(text), u"1215 1|1987.5 0|0.1 1"_s);
    // CR-only line ends, not a number, negative, huge (capped), a bad flag, garbage, a flag's case.
    EXPECT_EQ(
        read("900,#TRUE#\rabc,#TRUE#\n-5,#TRUE#\n1e9,#TRUE#\n12,#MAYBE#\n\x01\xff\n7,#false#"),
        u"900 1|-|-|30000 1|-|-|7 0"_s);
}

TEST(GridRules, CaptionsAreCentredWithSpaces) {
    EXPECT_EQ(entry::centredCaption(u"  Ad "_s, 2000, 1000, 60, 0), QString(8, u' ') + u"Ad"_s);
    EXPECT_EQ(entry::centredCaption(u"Ad"_s, 2000, 1000, 60, 1), u"Ad"_s + QString(8, u' '));
    EXPECT_EQ(entry::centredCaption(u"Ad"_s, 2000, 1000, 60, 2), u"Ad"_s);
    EXPECT_EQ(entry::centredCaption(u"Ad"_s, 900, 1000, 60, 0), u"Ad"_s);
}
