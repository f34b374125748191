// The operator's road on the real main window, driven by keys and clicks, checked in the books.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTableView>
#include <QTest>

#include "app/FormFixture.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "entry/NumberBox.h"
#include "keyboard/KeyboardForm.h"
#include "modes/WorkingSet.h"
#include "posting/Posting.h"

using namespace testing_support;

namespace {

class RoadTest : public FormTest {
  protected:
    std::unique_ptr<TerminalForm> f;

    void start() {
        app::TerminalContext c = context(QStringLiteral("terminal"), books.serverPath());
        c.labelPdfFolder = program.filePath(QStringLiteral("labels"));
        f = std::make_unique<TerminalForm>(c);
        ASSERT_TRUE(f->Form_Load());
        f->show();
        QApplication::setActiveWindow(f.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
        f->Form_Activate();
        QCoreApplication::processEvents();
    }
    template <class T>
    T* c(const char* name) {
        return child<T>(f.get(), name);
    }
    // A scanner is a keyboard: it types the code and Enter into whatever has the focus.
    void scan(const QString& code) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClicks(target, code);
        QTest::keyClick(target, Qt::Key_Return);
    }
    void typeQuantity(const QString& text) {
        QTest::mouseClick(c<entry::NumberBox>("Text2"), Qt::LeftButton);
        QTest::keyClicks(c<entry::NumberBox>("Text2"), text);
        QTest::keyClick(c<entry::NumberBox>("Text2"), Qt::Key_Return);
    }
    QVariant wc(const QString& code, const char* field) {
        return scalar(f->workingCopyPath(),
                      QStringLiteral("SELECT %1 FROM StokKartlar WHERE StokKod=?")
                          .arg(QString::fromUtf8(field)),
                      {code});
    }
    static QVariant books1(const QString& file, const QString& sql) { return scalar(file, sql); }
    // What the lines now in the working copy add up to.
    double enteredTotal() {
        return scalar(f->workingCopyPath(),
                      QStringLiteral("SELECT sum(GirenTutar) FROM StokKartlar WHERE KalanB<>0"))
            .toDouble();
    }
    void pickTarget(int index) {
        c<QComboBox>("Combo1")->setCurrentIndex(index);
        f->Combo1_Click();
    }
};

}  // namespace

TEST_F(RoadTest, ASaleToACustomerFromScanToTotals) {
    start();
    f->SbCr_Click(1);
    EXPECT_EQ(c<QLabel>("Label5")->text(), QStringLiteral("Cari İşlemler"));
    EXPECT_EQ(c<QComboBox>("Combo1")->count(), 12);
    EXPECT_FALSE(c<QCheckBox>("Check1(1)")->isVisible());
    EXPECT_TRUE(c<QPushButton>("FatCmd")->isVisible());

    QTest::mouseClick(c<QCheckBox>("Check1(0)"), Qt::LeftButton);
    ASSERT_TRUE(c<QCheckBox>("Check1(0)")->isChecked());
    EXPECT_FALSE(c<QFrame>("Frame1")->isVisible());
    EXPECT_FALSE(c<QPushButton>("FatCmd")->isVisible());
    EXPECT_TRUE(c<QPushButton>("Command4")->isVisible());
    // The customer's balance panel; SİL and Geri wait for "Kapat".
    ASSERT_TRUE(c<QFrame>("Frame2")->isVisible());
    EXPECT_EQ(c<QLabel>("Label2")->text(), QStringLiteral("8.500,00 Boçlu"));
    EXPECT_FALSE(c<QPushButton>("Command3")->isEnabled());
    auto fill = [&] {  // the button's face, beside its caption
        QPushButton* b = c<QPushButton>("Command3");
        return b->grab().toImage().pixelColor(8, b->height() / 2);
    };
    const QColor disabledFace = fill();
    QTest::mouseClick(c<QPushButton>("Command7"), Qt::LeftButton);
    EXPECT_FALSE(c<QFrame>("Frame2")->isVisible());
    EXPECT_TRUE(c<QPushButton>("Command3")->isEnabled());
    EXPECT_GT(disabledFace.lightness(), fill().lightness() + 40);  // a disabled SİL looks faded

    // The working copy is fresh: nothing entered, the book quantity in KalanA.
    const QString code = QStringLiteral("ST000003");
    const double price = wc(code, "Fiyat").toDouble();
    const double vat = wc(code, "Kdv").toDouble();
    EXPECT_EQ(wc(code, "KalanB").toDouble(), 0);
    EXPECT_EQ(wc(code, "KalanA").toDouble(),
              books1(f->serverPath() + QStringLiteral("Stok.mdb"),
                     QStringLiteral("SELECT KalanB FROM StokKartlar WHERE StokKod='ST000003'"))
                  .toDouble());

    ASSERT_EQ(QApplication::focusWidget(), c<QLineEdit>("Text1"));
    scan(wc(code, "Barkod").toString());
    EXPECT_EQ(wc(code, "KalanB").toDouble(), 1);
    EXPECT_EQ(c<QLineEdit>("Text1")->text(), wc(code, "StokAdi").toString());
    EXPECT_EQ(c<QLineEdit>("Text1")->selectedText(), c<QLineEdit>("Text1")->text());
    scan(wc(code, "Barkod").toString());  // the next scan replaces the selected name
    EXPECT_EQ(wc(code, "KalanB").toDouble(), 2);

    typeQuantity(QStringLiteral("2,5"));
    EXPECT_DOUBLE_EQ(wc(code, "KalanB").toDouble(), 4.5);
    EXPECT_DOUBLE_EQ(wc(code, "GirenTutar").toDouble(), 4.5 * price);
    EXPECT_DOUBLE_EQ(wc(code, "Kar").toDouble(), 4.5 * price * vat / 100);
    EXPECT_EQ(wc(code, "Fiyat2").toDouble(), price);
    EXPECT_EQ(c<entry::NumberBox>("Text2")->text(), QStringLiteral("0"));
    EXPECT_FALSE(c<QPushButton>("Command2")->isVisible());

    QTest::keyClick(f.get(), Qt::Key_F7);  // Güncelle
    ASSERT_TRUE(c<QFrame>("Frame3")->isVisible());
    EXPECT_EQ(c<QLabel>("Label3")->text(), QStringLiteral("Cari Hesap"));
    EXPECT_EQ(f->WorkingSetTotal(), 4.5 * price);
    EXPECT_EQ(c<QLabel>("Label4")->text(),
              QStringLiteral("Toplam = ") + QLocale().toString(4.5 * price, 'f', 2));
    EXPECT_EQ(c<QTableView>("DBGrid2")->model()->rowCount(), 1);
    // The line shows the decimals it holds, as the item grid does, so it adds up to the total.
    auto line = [&](int column) {
        return c<QTableView>("DBGrid2")->model()->index(0, column).data().toString();
    };
    EXPECT_EQ(line(2), QStringLiteral("4,5"));
    EXPECT_EQ(QLocale().toDouble(line(1)), price);
    EXPECT_EQ(QLocale().toDouble(line(3)), f->WorkingSetTotal());

    // A scan while the totals are up books nothing and does not confirm them.
    scan(wc(code, "Barkod").toString());
    EXPECT_TRUE(c<QFrame>("Frame3")->isVisible());
    EXPECT_DOUBLE_EQ(wc(code, "KalanB").toDouble(), 4.5);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // Vazgeç
    EXPECT_FALSE(c<QFrame>("Frame3")->isVisible());
    EXPECT_TRUE(c<QFrame>("Frame1")->isVisible());
    EXPECT_DOUBLE_EQ(wc(code, "KalanB").toDouble(), 4.5);
    EXPECT_GT(c<QTableView>("DBGrid1")->model()->rowCount(), 1);
}

TEST_F(RoadTest, AWarehousePurchaseMovesToTheBranchAndTakesPrices) {
    start();
    ASSERT_EQ(c<QLabel>("Label5")->text(), QStringLiteral("Depo İşlemleri"));
    ASSERT_EQ(c<QComboBox>("Combo1")->count(), 3);
    EXPECT_TRUE(f->serverPath().endsWith(QStringLiteral("/02")));  // the first branch
    pickTarget(1);
    EXPECT_TRUE(f->serverPath().endsWith(QStringLiteral("/03")));
    EXPECT_TRUE(child<data::DataControl>(f.get(), "DataCari")
                    ->databaseName()
                    .endsWith(QStringLiteral("/03Cari.mdb")));
    QTest::keyClick(f.get(), Qt::Key_F4);  // ALIŞ
    ASSERT_TRUE(c<QCheckBox>("Check1(2)")->isChecked());
    EXPECT_EQ(books1(f->workingCopyPath(),
                     QStringLiteral("SELECT count(*) FROM StokKartlar WHERE Fiyat2<>gFiyat"))
                  .toInt(),
              0);
    EXPECT_FALSE(c<QFrame>("Frame2")->isVisible());  // no balance panel in warehouse work

    // A name prefix finds the first card of that name in the grid's order.
    const QString first =
        books1(f->workingCopyPath(),
               QStringLiteral("SELECT StokKod FROM StokKartlar WHERE StokGizle=0 "
                              "AND StokAdi LIKE 'YAYLA%' ORDER BY StokAdi LIMIT 1"))
            .toString();
    ASSERT_EQ(QApplication::focusWidget(), c<QLineEdit>("Text1"));
    scan(QStringLiteral("yayla"));
    EXPECT_EQ(c<QLineEdit>("Text1")->text(), wc(first, "StokAdi").toString());
    EXPECT_EQ(wc(first, "KalanB").toDouble(), 1);

    // A price entry (cyan box) sets the price and recomputes the line; it books no quantity.
    c<entry::NumberBox>("Text2")->setPriceEntry(true);
    typeQuantity(QStringLiteral("12,75"));
    EXPECT_EQ(wc(first, "KalanB").toDouble(), 1);
    EXPECT_EQ(wc(first, "Fiyat").toDouble(), 12.75);
    EXPECT_EQ(wc(first, "Fiyat2").toDouble(), 12.75);
    EXPECT_EQ(wc(first, "GirenTutar").toDouble(), 12.75);
    EXPECT_FALSE(c<entry::NumberBox>("Text2")->isPriceEntry());

    // SİL clears the line; the totals then find nothing and stay closed.
    QTest::mouseClick(c<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_EQ(wc(first, "KalanB").toDouble(), 0);
    QTest::mouseClick(c<QPushButton>("Command4"), Qt::LeftButton);
    EXPECT_FALSE(c<QFrame>("Frame3")->isVisible());
}

TEST_F(RoadTest, ACountUsesUpBookQuantitiesAndCountsTheExcess) {
    const QString branch = books.serverPath(QStringLiteral("04")) + QStringLiteral("Stok.mdb");
    data::Database::open(branch)->execute(
        QStringLiteral("UPDATE StokKartlar SET KalanB=2, KalanA=0 WHERE StokKod='ST000005'"));
    data::Database::open(branch)->execute(
        QStringLiteral("UPDATE StokKartlar SET KalanB=0, KalanA=3 WHERE StokKod='ST000006'"));
    start();
    pickTarget(2);
    QTest::mouseClick(c<QCheckBox>("Check1(1)"), Qt::LeftButton);
    ASSERT_TRUE(c<QCheckBox>("Check1(1)")->isChecked());
    EXPECT_EQ(readFile(f->workingCopyPath()), readFile(branch));
    EXPECT_EQ(c<QTableView>("DBGrid1")->model()->rowCount(),
              books1(branch, QStringLiteral("SELECT count(*) FROM StokKartlar WHERE StokGizle=0 "
                                            "AND KalanB+KalanA<>0"))
                  .toInt());
    EXPECT_EQ(c<QTableView>("DBGrid1")->model()->headerData(3, Qt::Horizontal).toString(),
              QStringLiteral("Fazla"));
    EXPECT_FALSE(c<QTableView>("DBGrid1")->isColumnHidden(4));

    const QString code = QStringLiteral("ST000005");
    const QString barcode = wc(code, "Barkod").toString();
    scan(barcode);
    EXPECT_EQ(wc(code, "KalanB").toDouble(), 1);
    scan(barcode);
    EXPECT_FALSE(wc(code, "KalanB").isValid());  // counted in full, gone from the list
    scan(barcode);                               // not on the list any more: nothing happens
    typeQuantity(QStringLiteral("3"));
    const QString over = QStringLiteral("ST000006");
    scan(wc(over, "Barkod").toString());
    EXPECT_EQ(wc(over, "KalanA").toDouble(), 4);
}

TEST_F(RoadTest, ABranchWithoutBooksIsReportedAndTheTerminalStaysUp) {
    const QString branch = books.serverPath(QStringLiteral("03")) + QStringLiteral("Stok.mdb");
    ASSERT_TRUE(QFile::remove(branch));
    start();
    QTest::mouseClick(c<QCheckBox>("Check1(0)"), Qt::LeftButton);
    ASSERT_TRUE(f->serverPath().endsWith(QStringLiteral("/02")));
    messages.said.clear();
    pickTarget(1);
    EXPECT_EQ(messages.said, QStringList{QStringLiteral("BEŞİKTAŞ ŞUBESİ Bilgisi Bulunamadı")});
    EXPECT_TRUE(f->serverPath().endsWith(QStringLiteral("/02")));
    EXPECT_TRUE(f->isVisible());
    EXPECT_TRUE(c<QFrame>("Frame1")->isVisible());
    EXPECT_FALSE(c<QCheckBox>("Check1(0)")->isChecked());

    // A damaged stock file fails the preparation itself: the road stays closed and the
    // placeholder the grids fall back on is never written.
    writeFile(branch, QByteArray("SQLite format 3") + QByteArray(1, '\0') + QByteArray(4096, 'x'));
    const QByteArray placeholder = readFile(program.filePath(QStringLiteral("Stok.mdb")));
    QTest::mouseClick(c<QCheckBox>("Check1(0)"), Qt::LeftButton);
    messages.said.clear();
    c<QComboBox>("Combo1")->setCurrentIndex(1);
    Q_EMIT c<QComboBox>("Combo1")->activated(1);  // as a pick from the list
    ASSERT_FALSE(messages.said.isEmpty());
    messages.said.clear();
    scan(QStringLiteral("8690000000067"));
    typeQuantity(QStringLiteral("2"));
    EXPECT_FALSE(c<QPushButton>("Command4")->isVisible());
    EXPECT_FALSE(c<QPushButton>("Command3")->isEnabled());
    EXPECT_FALSE(messages.said.isEmpty());  // told why nothing was booked
    EXPECT_EQ(readFile(program.filePath(QStringLiteral("Stok.mdb"))), placeholder);
}

TEST_F(RoadTest, AWorkingCopyHeldByAnotherProgramIsUsedAsItIs) {
    start();
    ASSERT_TRUE(f->serverPath().endsWith(QStringLiteral("/02")));
    data::Database::open(f->workingCopyPath())
        ->execute(QStringLiteral(
            "UPDATE StokKartlar SET Fiyat=999, GirenTutar=5 WHERE StokKod='ST000001'"));
    // Process 1 is always running: its lock file marks the copy as held.
    writeFile(modes::lockFileOf(f->workingCopyPath()), "1 " + QSysInfo::machineHostName().toUtf8());
    pickTarget(1);
    EXPECT_TRUE(messages.said.isEmpty()) << messages.said.join(u'\n').toStdString();
    EXPECT_EQ(wc(QStringLiteral("ST000001"), "Fiyat").toDouble(), 999);     // not copied again
    EXPECT_EQ(wc(QStringLiteral("ST000001"), "GirenTutar").toDouble(), 0);  // but reset
    EXPECT_TRUE(f->serverPath().endsWith(QStringLiteral("/02")));           // and no branch switch
    f->close();
    EXPECT_TRUE(QFile::exists(modes::lockFileOf(f->workingCopyPath())));  // not ours to delete
}

TEST_F(RoadTest, AnInvoiceTotalAndAPriceLabelPreview) {
    start();
    f->SbCr_Click(1);  // account work with no operation ticked: the invoice road
    ASSERT_EQ(c<QPushButton>("FatCmd")->text(), QStringLiteral("Fatura"));
    scan(QStringLiteral("8690000000067"));
    scan(QStringLiteral("8690000000067"));
    QTest::keyClick(f.get(), Qt::Key_F8);
    ASSERT_TRUE(c<QFrame>("Frame3")->isVisible());
    EXPECT_EQ(c<QLabel>("Label3")->text(), QStringLiteral("Fatura"));
    const double price = wc(QStringLiteral("ST000006"), "Fiyat").toDouble();
    EXPECT_EQ(c<QLabel>("Label4")->text(),
              QStringLiteral("Toplam = ") + QLocale().toString(2 * price, 'g', 15));
    QTest::mouseClick(c<QPushButton>("Command8(0)"), Qt::LeftButton);

    f->SbCr_Click(0);
    QTest::keyClick(f.get(), Qt::Key_F2);  // warehouse sale: the button reads "Barkod"
    ASSERT_EQ(c<QPushButton>("FatCmd")->text(), QStringLiteral("Barkod"));
    scan(QStringLiteral("8690000000067"));
    QTest::keyClick(f.get(), Qt::Key_F8);
    ASSERT_TRUE(c<QFrame>("Frame4")->isVisible());
    EXPECT_EQ(c<QLabel>("Label8(0)")->text(), wc(QStringLiteral("ST000006"), "StokAdi").toString());
    EXPECT_EQ(c<QLabel>("Label8(2)")->text(),
              QLocale().toString(wc(QStringLiteral("ST000006"), "Fiyat").toDouble(), 'f', 2) +
                  QStringLiteral(" TL."));
    EXPECT_EQ(c<QLineEdit>("Text3")->text(), QStringLiteral("8690000000067"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // Kapat
    EXPECT_FALSE(c<QFrame>("Frame4")->isVisible());
    QTest::keyClick(f.get(), Qt::Key_F8);
    ASSERT_TRUE(c<QFrame>("Frame4")->isVisible());
    QTest::keyClick(f.get(), Qt::Key_F12);  // Yaz, here into a PDF file
    EXPECT_FALSE(c<QFrame>("Frame4")->isVisible());
    EXPECT_TRUE(QFile::exists(program.filePath(QStringLiteral("labels/Etiket 8690000000067.pdf"))));
}

TEST_F(RoadTest, TheWorkKindIsRememberedAndKeysDriveTheRoad) {
    start();
    messages.said.clear();
    ASSERT_EQ(QApplication::focusWidget(), c<QLineEdit>("Text1"));
    EXPECT_FALSE(c<QLineEdit>("Text1")->text().isEmpty());
    scan(QStringLiteral("8690000000012"));  // no operation chosen yet: replaces the shown name
    EXPECT_EQ(messages.said, QStringList{QStringLiteral("Önce SATIŞ, SAYIM veya ALIŞ seçiniz.")});
    QTest::keyClick(f.get(), Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(settings.GetSetting(app::SettingsSection, app::KeyWorkKind, QString()),
              QStringLiteral("1"));
    f->close();
    f.reset();

    start();
    EXPECT_EQ(c<QLabel>("Label5")->text(), QStringLiteral("Cari İşlemler"));
    EXPECT_TRUE(c<QPushButton>("FatCmd")->isVisible());
    QTest::keyClick(f.get(), Qt::Key_F2);
    EXPECT_TRUE(c<QCheckBox>("Check1(0)")->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // closes the balance panel
    EXPECT_FALSE(c<QFrame>("Frame2")->isVisible());
    QTest::keyClick(f.get(), Qt::Key_F9);  // Geri
    EXPECT_TRUE(c<QFrame>("Frame1")->isVisible());
    QTest::keyClick(f.get(), Qt::Key_F2);  // clears SATIŞ again: the boxes come back
    EXPECT_FALSE(c<QCheckBox>("Check1(0)")->isChecked());
    EXPECT_TRUE(c<QCheckBox>("Check1(2)")->isVisible());
    for (const char* name :
         {"Command2", "Command3", "Command4", "FatCmd", "Command1(0)", "Command8(1)"})
        EXPECT_TRUE(c<QPushButton>(name)->toolTip().contains(u'F')) << name;
}

namespace {

struct PostingCase {
    int workKind;  // 0 warehouse, 1 account
    Qt::Key operation;
    const char* movementText;  // the target side's account movement
    const char* debitColumn;   // where the total lands on the target account
    const char* direction;     // the target side's stock movement
};

class TamamTest : public RoadTest, public ::testing::WithParamInterface<PostingCase> {};

}  // namespace

TEST_P(TamamTest, PostsTheLinesAndReturnsToTheModePanel) {
    const PostingCase& k = GetParam();
    start();
    f->SbCr_Click(k.workKind);
    QTest::keyClick(f.get(), k.operation);
    if (c<QFrame>("Frame2")->isVisible())
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    const QString serverPath = f->serverPath();
    scan(QStringLiteral("8690000000067"));
    scan(QStringLiteral("8690000000067"));
    scan(QStringLiteral("8690000000104"));
    const double total = enteredTotal();
    QTest::keyClick(f.get(), Qt::Key_F7);
    ASSERT_TRUE(c<QFrame>("Frame3")->isVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // Tamam

    EXPECT_TRUE(messages.said.isEmpty()) << messages.said.join(u'\n').toStdString();
    EXPECT_FALSE(c<QFrame>("Frame3")->isVisible());
    EXPECT_TRUE(c<QFrame>("Frame1")->isVisible());
    EXPECT_FALSE(c<QCheckBox>("Check1(0)")->isChecked());
    EXPECT_FALSE(c<QCheckBox>("Check1(2)")->isChecked());
    EXPECT_TRUE(c<QPushButton>("Command4")->isEnabled());
    EXPECT_EQ(books1(f->workingCopyPath(),
                     QStringLiteral("SELECT count(*) FROM StokKartlar WHERE KalanB<>0"))
                  .toInt(),
              0);

    // The target side: the branch's account in the head office's books, or the customer.
    const QString books = k.workKind == 0 ? posting::headOfficePath(serverPath) : serverPath;
    EXPECT_EQ(books1(books + QStringLiteral("Cari.mdb"),
                     QStringLiteral("SELECT Aciklama||'|'||%1 FROM CariHareket")
                         .arg(QString::fromLatin1(k.debitColumn)))
                  .toString(),
              QString::fromUtf8(k.movementText) + u'|' + QString::number(total));
    EXPECT_EQ(
        books1(books + QStringLiteral("Stok.mdb"),
               QStringLiteral(
                   "SELECT group_concat(DISTINCT GirisCikis) || '|' || count(*) FROM StokHareket"))
            .toString(),
        QString::fromUtf8(k.direction) + QStringLiteral("|2"));
    // In warehouse work the branch's books hold the other side of the same document.
    if (k.workKind == 0) {
        EXPECT_EQ(books1(serverPath + QStringLiteral("Cari.mdb"),
                         QStringLiteral("SELECT DigerId FROM CariHareket")),
                  books1(books + QStringLiteral("Cari.mdb"),
                         QStringLiteral("SELECT DigerId FROM CariHareket")));
        EXPECT_EQ(books1(serverPath + QStringLiteral("Stok.mdb"),
                         QStringLiteral("SELECT count(*) FROM StokHareket"))
                      .toInt(),
                  2);
    }
}

INSTANTIATE_TEST_SUITE_P(Road, TamamTest,
                         ::testing::Values(PostingCase{1, Qt::Key_F2, "Satış ile", "Borc", "Satış"},
                                           PostingCase{1, Qt::Key_F4, "Alış ile", "Alacak", "Alış"},
                                           PostingCase{0, Qt::Key_F2, "Satış ile", "Borc", "Satış"},
                                           PostingCase{0, Qt::Key_F4, "Alış ile", "Alacak",
                                                       "Alış"}));

TEST_F(RoadTest, AFailedPostingKeepsTheTotalsToTryAgain) {
    start();
    QTest::keyClick(f.get(), Qt::Key_F2);  // warehouse sale to the first branch
    data::Database::open(f->serverPath() + QStringLiteral("Cari.mdb"))
        ->execute(
            QStringLiteral("UPDATE CariKartlar SET Unvan='MERKEZ OFİS' WHERE Unvan='Merkez'"));
    scan(QStringLiteral("8690000000067"));
    QTest::keyClick(f.get(), Qt::Key_F7);
    QTest::keyClick(f.get(), Qt::Key_F10);
    ASSERT_EQ(messages.said.size(), 1);
    EXPECT_TRUE(messages.said[0].contains(QStringLiteral("\"Merkez\"")));
    EXPECT_TRUE(c<QFrame>("Frame3")->isVisible());
    EXPECT_TRUE(c<QCheckBox>("Check1(0)")->isChecked());
    EXPECT_TRUE(c<QPushButton>("Command8(1)")->isEnabled());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(books1(f->workingCopyPath(),
                     QStringLiteral("SELECT count(*) FROM StokKartlar WHERE KalanB<>0"))
                  .toInt(),
              1);
}

TEST_F(RoadTest, AnInvoiceFromScanToTamam) {
    start();
    f->SbCr_Click(1);
    const QString serverPath = f->serverPath();
    const QString title = c<QComboBox>("Combo1")->currentText();
    scan(QStringLiteral("8690000000067"));
    scan(QStringLiteral("8690000000104"));
    const double total = enteredTotal();
    QTest::keyClick(f.get(), Qt::Key_F8);  // Fatura
    ASSERT_EQ(c<QLabel>("Label3")->text(), QStringLiteral("Fatura"));
    QTest::keyClick(f.get(), Qt::Key_F10);  // Tamam
    EXPECT_TRUE(messages.said.isEmpty()) << messages.said.join(u'\n').toStdString();
    EXPECT_FALSE(c<QFrame>("Frame3")->isVisible());
    EXPECT_TRUE(c<QFrame>("Frame1")->isVisible());
    // The invoice goes to the books the terminal started with.
    EXPECT_EQ(books1(books.serverPath() + QStringLiteral("Fatura.mdb"),
                     QStringLiteral("SELECT FaturaNo||'|'||Unvan||'|'||FatTop FROM Faturalar"))
                  .toString(),
              QStringLiteral("S00001|%1|%2").arg(title).arg(total));
    EXPECT_EQ(books1(books.serverPath() + QStringLiteral("Fatura.mdb"),
                     QStringLiteral("SELECT count(*) FROM FatHareket"))
                  .toInt(),
              2);
    EXPECT_EQ(books1(serverPath + QStringLiteral("Stok.mdb"),
                     QStringLiteral("SELECT count(*) FROM StokHareket WHERE Nerde='F'"))
                  .toInt(),
              2);
    EXPECT_EQ(readFile(books.dataDir() + QStringLiteral("/FatNo.txt")),
              QByteArray("\"00001\"\r\n"));
    EXPECT_EQ(settings.ReadRegistryText(Settings::Root::CurrentUser, app::PropertiesKey,
                                        serverPath.right(2) + QStringLiteral("FatNo")),
              QStringLiteral("11112"));
    EXPECT_EQ(books1(f->workingCopyPath(),
                     QStringLiteral("SELECT count(*) FROM StokKartlar WHERE KalanB<>0"))
                  .toInt(),
              0);
}

TEST_F(RoadTest, TheTouchKeyboardScansIntoTheSearchBox) {
    start();
    f->SbCr_Click(1);  // account work books without an operation (the invoice road)
    QTest::keyClick(f.get(), Qt::Key_F11);
    auto* keys = f->findChild<keyboard::KeyboardForm*>(QStringLiteral("Form1"));
    ASSERT_NE(keys, nullptr);
    auto tap = [&keys](const QString& caption) {
        QTest::mouseClick(keys, Qt::LeftButton, {}, keys->key(caption)->geometry().center());
    };
    c<QLineEdit>("Text1")->clear();
    tap(QStringLiteral("Num"));
    for (QChar d : QStringLiteral("8690000000067"))
        tap(QString(d));
    tap(QStringLiteral("Harf"));
    tap(QStringLiteral("Enter"));
    EXPECT_EQ(wc(QStringLiteral("ST000006"), "KalanB").toDouble(), 1);
    EXPECT_EQ(QApplication::focusWidget(), c<QLineEdit>("Text1"));
    QTest::keyClick(f.get(), Qt::Key_F11);
    EXPECT_EQ(f->findChild<keyboard::KeyboardForm*>(QStringLiteral("Form1")), nullptr);

    // A window filling the screen makes room: the keyboard covers none of its controls, and
    // the window gets its place back when the keyboard closes.
    const QRect area = f->screen()->availableGeometry();
    f->setGeometry(area);
    QTest::keyClick(f.get(), Qt::Key_F11);
    keys = f->findChild<keyboard::KeyboardForm*>(QStringLiteral("Form1"));
    ASSERT_NE(keys, nullptr);
    EXPECT_LE(keys->frameGeometry().bottom(), area.bottom());  // on the screen
    for (const char* name : {"Command1(0)", "Command4", "Command2", "DBGrid1", "Text1"}) {
        QWidget* w = c<QWidget>(name);
        EXPECT_FALSE(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()).intersects(keys->geometry()))
            << name;
    }
    tap(QStringLiteral("Num"));
    tap(QStringLiteral(","));
    EXPECT_TRUE(c<QLineEdit>("Text1")->text().endsWith(u','));
    keys->close();  // from its own title bar
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(f->findChild<keyboard::KeyboardForm*>(QStringLiteral("Form1")), nullptr);
    EXPECT_EQ(f->geometry(), area);
}
