// The operator's road on the real main window, driven by keys and clicks, checked in the books.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSysInfo>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "app/FormFixture.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "keyboard/KeyboardForm.h"
#include "modes/WorkingSet.h"
#include "posting/Posting.h"
#include "support/SilentLink.h"

using namespace testing_support;

namespace {

class RoadTest : public WindowTest {
  protected:
    bool onBranch(const char* company) {
        return f->serverPath().endsWith(u'/' + QString::fromLatin1(company));
    }
    void pickTarget(int index) {
        c<QComboBox>("Combo1")->setCurrentIndex(index);
        f->Combo1_Click();
    }
    keyboard::KeyboardForm* keys() { return f->findChild<keyboard::KeyboardForm*>(u"Form1"_s); }
};

}  // namespace

TEST_F(RoadTest, TheWorkKindIsRememberedAndTheCustomersBalanceShows) {
    start();
    messages.said.clear();
    ASSERT_EQ(QApplication::focusWidget(), c<QLineEdit>("Text1"));
    scan(u"8690000000012"_s);  // no operation chosen yet: refused in the strip, no box to close
    EXPECT_TRUE(messages.said.isEmpty()) << said();
    EXPECT_TRUE(stripSays(u"Önce SATIŞ, SAYIM veya ALIŞ seçiniz."_s));
    for (const int kind : {1, 0}) {  // Ctrl+2, Ctrl+1
        QTest::keyClick(f.get(), kind == 1 ? Qt::Key_2 : Qt::Key_1, Qt::ControlModifier);
        EXPECT_EQ(f->workKind(), kind);
    }
    // A tap or right click on the work kind opens its menu, a finger slid off it nothing.
    auto* kind = c<QLabel>("Label5");
    auto* menu = c<QMenu>("MnPop");
    const QPoint inside = kind->rect().center(), outside(kind->width() + 20, inside.y());
    for (const auto& [button, lift, opens] : {std::tuple{Qt::LeftButton, outside, false},
                                              {Qt::RightButton, inside, true},
                                              {Qt::LeftButton, inside, true}}) {
        menu->hide();
        QTest::mousePress(kind, button, {}, inside);
        QTest::mouseRelease(kind, button, {}, lift);
        EXPECT_EQ(menu->isVisible(), opens) << button << " " << lift.x();
    }
    ASSERT_TRUE(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions()[1]).center());
    EXPECT_EQ(f->workKind(), 1);
    f->close();
    f.reset();
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_EQ(c<QLabel>("Label5")->text(), u"Cari İşlemler"_s);
    QTest::mouseClick(c<QCheckBox>("Check1(0)"), Qt::LeftButton);
    // SİL looks faded while the balance panel is open.
    ASSERT_TRUE(shown("Frame2"));
    EXPECT_EQ(c<QLabel>("Label2")->text(), u"8.500,00 Boçlu"_s);
    auto face = [b = c<QPushButton>("Command3")] {
        return b->grab().toImage().pixelColor(8, b->height() / 2).lightness();
    };
    const int faded = face();
    QTest::mouseClick(c<QPushButton>("Command7"), Qt::LeftButton);  // Kapat
    EXPECT_GT(faded, face() + 40);
}

TEST_F(RoadTest, AWarehousePurchaseMovesToTheBranchAndTakesPrices) {
    start();
    ASSERT_EQ(c<QLabel>("Label5")->text(), u"Depo İşlemleri"_s);
    EXPECT_TRUE(onBranch("02"));  // the first branch
    pickTarget(1);
    EXPECT_TRUE(onBranch("03"));
    QTest::keyClick(f.get(), Qt::Key_F4);  // ALIŞ
    EXPECT_EQ(
        count(f->workingCopyPath(), u"SELECT count(*) FROM StokKartlar WHERE Fiyat2<>gFiyat"_s), 0);

    // "Fiyat" (Ctrl+F) sets the purchase price; it books no quantity.
    const QString first = u"ST000006"_s;
    scan(u"8690000000067"_s);
    QTest::keyClick(f.get(), Qt::Key_F, Qt::ControlModifier);
    typeQuantity(u"12,75"_s);
    EXPECT_EQ(wc(first, "KalanB").toDouble(), 1);
    EXPECT_EQ(wc(first, "GirenTutar").toDouble(), 12.75);
    EXPECT_FALSE(c<entry::NumberBox>("Text2")->isPriceEntry());
    // The strip says what was done, never the prompt it answered.
    const QString name = wc(first, "StokAdi").toString();
    EXPECT_TRUE(stripSays(u"Fiyat: "_s + name + u" — 12,75"_s, true));
    QTest::keyClick(f.get(), Qt::Key_F6);  // SİL
    EXPECT_TRUE(stripSays(u"Silindi: "_s + name, true));
    // Lines that add up to nothing write nothing, and "Tamam" says so on the totals it keeps.
    scan(u"8690000000067"_s);
    data::Database::open(f->workingCopyPath())->execute(u"UPDATE StokKartlar SET GirenTutar=0"_s);
    QTest::keyClick(f.get(), Qt::Key_F7);
    QTest::keyClick(f.get(), Qt::Key_F10);
    ASSERT_TRUE(shown("Frame3"));
    EXPECT_EQ(c<QLabel>("TotalsStatus")->text(), u"Hiçbir şey yazılmadı: 1 satırın toplamı 0"_s);
    EXPECT_EQ(count(books.file("03", "Cari"), u"SELECT count(*) FROM CariHareket"_s), 0);
}

TEST_F(RoadTest, ACountUsesUpBookQuantitiesAndSaysWhatItDid) {
    const QString branch = books.file("02", "Stok");
    data::Database::open(branch)->execute(
        u"UPDATE StokKartlar SET KalanB=2, KalanA=0 WHERE StokKod='ST000005'"_s);
    road(0, Qt::Key_F3);
    EXPECT_EQ(c<QTableView>("DBGrid1")->model()->rowCount(),
              count(branch,
                    u"SELECT count(*) FROM StokKartlar WHERE StokGizle=0 "
                    "AND KalanB+KalanA<>0"_s));
    const QString barcode = wc(u"ST000005"_s, "Barkod").toString();
    const QString name = wc(u"ST000005"_s, "StokAdi").toString();
    scan(barcode);
    scan(barcode);
    EXPECT_FALSE(wc(u"ST000005"_s, "KalanB").isValid());  // counted in full, gone from the list
    EXPECT_TRUE(stripSays(u"Tamamı sayıldı: "_s + name));
    typeQuantity(u"3"_s);  // OK on the card that left counts nothing, and says why
    EXPECT_TRUE(stripSays(u"hiçbir şey sayılmadı"_s));
}

TEST_F(RoadTest, ABranchWithoutBooksIsReportedAndTheTerminalStaysUp) {
    const QString branch = books.file("03", "Stok");
    ASSERT_TRUE(QFile::remove(branch));
    start();
    QTest::mouseClick(c<QCheckBox>("Check1(0)"), Qt::LeftButton);
    messages.said.clear();
    pickTarget(1);
    EXPECT_EQ(messages.said, QStringList{u"BEŞİKTAŞ ŞUBESİ Bilgisi Bulunamadı"_s});
    EXPECT_TRUE(onBranch("02"));
    EXPECT_TRUE(shown("Frame1"));

    // A damaged stock file fails the preparation: a scan is refused, the placeholder not written.
    writeFile(branch, QByteArray("SQLite format 3") + QByteArray(1, '\0') + QByteArray(4096, 'x'));
    const QByteArray placeholder = readFile(program.filePath(u"Stok.mdb"_s));
    QTest::mouseClick(c<QCheckBox>("Check1(0)"), Qt::LeftButton);
    c<QComboBox>("Combo1")->setCurrentIndex(1);
    Q_EMIT c<QComboBox>("Combo1")->activated(1);  // as a pick from the list
    scan(u"8690000000067"_s);
    EXPECT_TRUE(stripSays(u"Hedef yok"_s));
    typeQuantity(u"2"_s);
    EXPECT_TRUE(stripSays(u"Hedef hazırlanamadı"_s));
    EXPECT_EQ(readFile(program.filePath(u"Stok.mdb"_s)), placeholder);
}

TEST_F(RoadTest, TheBasketComesBackAfterARestartOnItsRoadAndANewTargetStartsEmpty) {
    road(0, Qt::Key_F2);
    pickTarget(1);
    for (const QString& code : {u"8690000000012"_s, u"8690000000067"_s, u"8690000000067"_s})
        scan(code);
    const core::Money total = enteredTotal();
    ASSERT_EQ(linesLeft(), 2);
    const QString lock = modes::lockFileOf(f->workingCopyPath());
    f.reset();  // gone without a word, as after a power cut
    writeFile(lock, "1 " + QSysInfo::machineHostName().toUtf8());  // process 1 is always alive
    // A restart whose target cannot be prepared keeps the lines for the next choice of it.
    const QString branch = books.file("03", "Stok");
    const QByteArray cards = readFile(branch);
    writeFile(branch, QByteArray("SQLite format 3") + QByteArray(1, '\0') + QByteArray(4096, 'x'));
    start();
    EXPECT_TRUE(stripSays(u"hazırlanamadı"_s));
    writeFile(branch, cards);
    pickTarget(1);
    EXPECT_TRUE(
        stripSays(u"Önceki sepet geri yüklendi: 2 satır, "_s + total.toString(QLocale(), 2, true)));
    EXPECT_TRUE(onBranch("03"));
    EXPECT_TRUE(c<QCheckBox>("Check1(0)")->isChecked());
    EXPECT_EQ(enteredTotal(), total);
    EXPECT_EQ(scalar(f->workingCopyPath(), u"PRAGMA synchronous"_s).toInt(), 2);  // FULL
    // The search box names the row shown, so a typed quantity books on it.
    typeQuantity(u"3"_s);
    EXPECT_GT(enteredTotal(), total) << strip().toStdString();
    QTest::keyClick(f.get(), Qt::Key_F7);
    QTest::keyClick(f.get(), Qt::Key_F10);
    f.reset();
    start();  // the lines were written: the start says which document they became
    EXPECT_TRUE(stripSays(u"Son yazılan: belge 261"_s));
    EXPECT_EQ(linesLeft(), 0);
    pickTarget(0);
    EXPECT_EQ(linesLeft(), 0);
    // Account work after a branch keeps the branch's books: a restart finds them with the lines.
    f->SbCr_Click(1);
    QTest::keyClick(f.get(), Qt::Key_F2);
    if (shown("Frame2")) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    scan(u"8690000000012"_s);
    const QString books = f->serverPath();
    f.reset();
    start();
    EXPECT_TRUE(stripSays(u"Önceki sepet geri yüklendi: 1 satır"_s));
    EXPECT_EQ(f->serverPath(), books);
    QTest::keyClick(f.get(), Qt::Key_F7);
    QTest::keyClick(f.get(), Qt::Key_F10);
    ASSERT_EQ(linesLeft(), 0);
    f.reset();  // started on other books, it names no document of these
    const TempBooks other{40};
    start([&other](app::TerminalContext& c) { c.serverPathOverride = other.serverPath(); });
    EXPECT_FALSE(stripSays(u"Son yazılan"_s));
    f->close();
    EXPECT_TRUE(QFile::exists(lock));  // another program's lock is not ours to delete
}

TEST_F(RoadTest, ASilentServerIsWaitedForBehindThePanelUntilGivenUp) {
    if (ServerBooks::testServer().isEmpty()) GTEST_SKIP() << NoTestServer;
    ServerBooks server(books);
    SilentLink link(server.url());
    ASSERT_NO_FATAL_FAILURE(road(1, Qt::Key_F2, {u"8690000000067"_s, u"8690000000104"_s},
                                 [&](app::TerminalContext& context) {
                                     context.serverPathOverride = link.url() + u"/01"_s;
                                 }));
    const QString stok = server.serverPath(f->serverPath().right(2)) + u"Stok.mdb"_s;
    QTest::keyClick(f.get(), Qt::Key_F7);
    ASSERT_TRUE(shown("Frame3"));
    messages.said.clear();
    link.silenceAt("StokHareket", false);
    QString panelSaid;  // the operator reads the panel, then taps "Vazgeç"
    QTimer operatorAtPanel;
    QObject::connect(&operatorAtPanel, &QTimer::timeout, [&] {
        auto* panel = f->findChild<QDialog*>(u"WaitPanel"_s);
        if (!panel || !panel->isVisible()) return;
        panelSaid = child<QLabel>(panel, "WaitText")->text();
        child<QPushButton>(panel, "WaitCancel")->click();
        operatorAtPanel.stop();
    });
    operatorAtPanel.start(10);
    QTest::keyClick(f.get(), Qt::Key_F10);  // Tamam
    EXPECT_TRUE(link.silent());
    EXPECT_TRUE(panelSaid.startsWith(u"Belge yazılıyor, bekleniyor… "_s))
        << panelSaid.toStdString();
    ASSERT_EQ(messages.said.size(), 1) << said();
    EXPECT_TRUE(messages.said[0].contains(u"sunucunun yanıtını beklemekten vazgeçildi"_s))
        << said();
    EXPECT_FALSE(waitShown());  // the window has the keys again, on the same totals
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
    EXPECT_TRUE(shown("Frame3"));
    EXPECT_EQ(linesLeft(), 2);

    link.restore();
    messages.said.clear();
    QTest::keyClick(f.get(), Qt::Key_F10);
    EXPECT_TRUE(messages.said.isEmpty()) << said();
    EXPECT_EQ(linesLeft(), 0);
    EXPECT_EQ(count(stok, u"SELECT count(*) FROM StokHareket"_s), 2);
    // The server's journal holds the wait given up and the document, in the order they came.
    EXPECT_EQ(column(stok, u"SELECT event || '|' || books FROM terminal.journal ORDER BY seq"_s),
              (QStringList{u"waitgivenup|02"_s, u"document|02"_s}));
    // The list's "Stok" is the server's card as the document left it, not the cards read before.
    const QString card = u"SELECT %1 FROM StokKartlar WHERE Barkod='8690000000104'"_s;
    EXPECT_EQ(scalar(f->workingCopyPath(), card.arg(u"KalanA"_s)).toDouble(),
              number(stok, card.arg(u"KalanB"_s)));
}

TEST_F(RoadTest, AnInvoiceFromScanToTamamAndAPriceLabel) {
    road(1, Qt::Key_unknown, {u"8690000000067"_s, u"8690000000067"_s, u"8690000000104"_s});
    const QString serverPath = f->serverPath();
    // A line cleared with "SİL" and a "Vazgeç" on the totals are the journal's, not the books'.
    const core::Money before = enteredTotal();
    scan(u"8690000000012"_s);
    const core::Money removed = enteredTotal() - before;
    QTest::keyClick(f.get(), Qt::Key_F6);
    // A search that finds an account makes it the invoice's customer, named on the totals.
    scan(u"0224 555 10 05"_s);
    const QString title = u"ÇELİK KARDEŞLER"_s;
    ASSERT_EQ(c<QComboBox>("Combo1")->currentText(), title);
    const core::Money total = enteredTotal();
    ASSERT_EQ(total, before);
    QTest::keyClick(f.get(), Qt::Key_F8);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_FALSE(shown("Frame3"));
    QTest::keyClick(f.get(), Qt::Key_F8);
    ASSERT_TRUE(shown("Frame3"));
    EXPECT_TRUE(c<QLabel>("TotalsRoad")->text().endsWith(u"→ "_s + title))
        << c<QLabel>("TotalsRoad")->text().toStdString();
    EXPECT_EQ(c<QLabel>("Label4")->text(), u"Toplam = "_s + total.toString());
    QTest::keyClick(f.get(), Qt::Key_F10);  // Tamam
    EXPECT_TRUE(messages.said.isEmpty()) << said();
    // Warehouse work at start moved the books to branch 02: the invoice is 02's.
    ASSERT_TRUE(onBranch("02"));
    const QString invoices = serverPath + u"Fatura.mdb"_s;
    EXPECT_EQ(text(invoices, u"SELECT FaturaNo||'|'||Unvan||'|'||FatTop FROM Faturalar"_s),
              u"S00001|%1|%2"_s.arg(title).arg(total.toDouble()));
    EXPECT_EQ(linesLeft(), 0);

    // In a warehouse sale the same key prints the price label of the shown card.
    f->SbCr_Click(0);
    QTest::keyClick(f.get(), Qt::Key_F2);
    scan(u"8690000000067"_s);
    QTest::keyClick(f.get(), Qt::Key_F8);
    ASSERT_TRUE(shown("Frame4"));
    EXPECT_EQ(c<QLabel>("Label8(2)")->text(),
              QLocale().toString(wc(u"ST000006"_s, "Fiyat").toDouble(), 'f', 2) + u" TL."_s);
    QTest::keyClick(f.get(), Qt::Key_F12);  // Yaz, here into a PDF file
    EXPECT_FALSE(shown("Frame4"));
    const QString pdf = program.filePath(u"labels/Etiket 8690000000067.pdf"_s);
    EXPECT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(stripSays(u"Etiket dosyaya yazıldı: "_s + pdf, true));
    // Another target gives the sale's line up; the journal has it at once, after the invoice.
    const core::Money givenUp = enteredTotal();
    pickTarget(1);
    const auto money = [](core::Money m) { return m.toString(QLocale::c()); };
    EXPECT_EQ(journal(u"Event || '|' || Total || '|' || json_array_length(Lines)"_s),
              (QStringList{
                  u"removed|%1|1"_s.arg(money(removed)), u"cancelled|%1|2"_s.arg(money(total)),
                  u"document|%1|2"_s.arg(money(total)), u"abandoned|%1|1"_s.arg(money(givenUp))}));
    // The invoice's entry names who wrote what in whose books, as the books carry it.
    EXPECT_EQ(journal(u"At || '|' || Terminal || '|' || (UserName <> '') || '|' || Work || '|' || "
                      "Operation || '|' || Target || '|' || Books || '|' || Number || '|' || "
                      "Invoice FROM Journal WHERE Event = 'document' --"_s),
              QStringList{u"2026-12-06 10:30:00|1|1|Cari|Fatura|%1|02|%2|S00001"_s.arg(
                  title, text(invoices, u"SELECT DigerId FROM Faturalar"_s))});
}

namespace {

// The four roads "Tamam" posts, and a warehouse sale's faults.
struct PostingCase {
    const char* name;
    int workKind;  // 0 warehouse, 1 account
    Qt::Key operation;
    const char* branchCard = "";
    bool quantityOverflows = false;
    const char* said = "";  // what the operator reads of the fault
    // Another terminal holds the branch's books at "Tamam", then takes "Merkez" away and lets go.
    bool anotherWrites = false;
};

void PrintTo(const PostingCase& k, std::ostream* os) {
    *os << k.name;
}

class PostingTest : public RoadTest, public ::testing::WithParamInterface<PostingCase> {};

}  // namespace

// A failure at the quantity or at "Tamam" keeps the lines and the road; once gone, they post.
TEST_P(PostingTest, PostsTheLinesOrKeepsThemAndTheRoadUntilTheFaultIsGone) {
    const PostingCase& k = GetParam();
    const QString item = u"8690000000067"_s;
    // A miss says what was read; the strip names whose books "Tamam" writes.
    road(k.workKind, k.operation, {u"8690000009999"_s});
    const QString serverPath = f->serverPath(), branchCari = serverPath + u"Cari.mdb"_s;
    EXPECT_TRUE(stripSays(u"Bulunamadı: 8690000009999"_s));
    EXPECT_TRUE(stripSays(u"Defter: "_s + serverPath.right(2)));
    scan(u"8690000000104"_s);
    scan(item);
    if (!k.quantityOverflows) typeQuantity(u"1,5"_s);  // a huge sum as a double drops decimals
    if (*k.branchCard)
        data::Database::open(branchCari)
            ->execute(u"UPDATE CariKartlar SET %1 WHERE Unvan='Merkez'"_s.arg(
                QString::fromUtf8(k.branchCard)));
    for (int i = 0; k.quantityOverflows && i < 5; ++i) {  // 12 whole digits: the fifth overflows
        scan(item);
        if (i < 4) typeQuantity(u"999999999999"_s);
    }
    const core::Money total = enteredTotal();
    if (k.quantityOverflows) {
        typeQuantity(u"999999999999"_s);
    } else {
        QTest::keyClick(f.get(), Qt::Key_F7);
        ASSERT_TRUE(shown("Frame3"));
        EXPECT_EQ(c<QLabel>("Label3")->text(), u"Cari Hesap"_s);
        EXPECT_EQ(c<QLabel>("Label4")->text(), u"Toplam = "_s + total.toString(QLocale(), 2, true));
        auto* lines = c<QTableView>("DBGrid2")->model();
        EXPECT_FALSE(lines->match(lines->index(0, 2), Qt::DisplayRole, u"2,5"_s).isEmpty());
        // Prices and amounts in the total's form (grouped, two decimals at least), adding up to it.
        core::Money sum;
        for (int row = 0; row < lines->rowCount(); ++row)
            for (int column : {1, 3}) {
                const QString shown = lines->index(row, column).data().toString();
                const std::optional<core::Money> value = core::Money::parse(shown);
                ASSERT_TRUE(value) << shown.toStdString();
                EXPECT_EQ(shown, value->toString(QLocale(), 2, true));
                if (column == 3) sum += *value;
            }
        EXPECT_EQ(sum, total);
        // A scan here books nothing and confirms nothing; the panel, over the strip, says so.
        scan(item);
        ASSERT_TRUE(shown("Frame3"));
        EXPECT_EQ(c<QLabel>("TotalsStatus")->text(), u"Okutulan barkod bu ekranda işlenmez"_s);
        EXPECT_EQ(enteredTotal(), total);
        std::unique_ptr<data::Database> holder;
        QTimer letGo;
        if (k.anotherWrites) {
            holder = data::Database::openPrivate(branchCari);
            holder->begin();
            holder->execute(u"UPDATE CariKartlar SET Unvan='MERKEZ OFİS' WHERE Unvan='Merkez'"_s);
            QObject::connect(&letGo, &QTimer::timeout, [&] {
                if (!holder || !waitShown()) return;
                f->Command8_Click(1);  // a second "Tamam" while the first waits does nothing
                holder->commit();
                holder.reset();
            });
            letGo.start(10);
        }
        // A message after a wait is read on its own, never behind the wait panel.
        bool behindThePanel = false;
        messages.onMessage = [&] { behindThePanel |= waitShown(); };
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // Tamam
        messages.onMessage = {};
        EXPECT_FALSE(behindThePanel);
        EXPECT_EQ(holder, nullptr) << "the wait never showed";
    }
    if (*k.said) {
        ASSERT_EQ(messages.said.size(), 1) << said();
        EXPECT_TRUE(messages.said[0].contains(QString::fromUtf8(k.said))) << said();
        EXPECT_TRUE(c<QPushButton>("Command8(1)")->isEnabled());
        EXPECT_TRUE(c<QCheckBox>("Check1(0)")->isChecked());
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        // A later activation is no first one: the working copy keeps its lines.
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(f.get(), &activate);
        QCoreApplication::processEvents();
        EXPECT_EQ(linesLeft(), 2);
        EXPECT_EQ(enteredTotal(), total);
        EXPECT_EQ(count(branchCari, u"SELECT count(*) FROM CariHareket"_s), 0);
        data::Database::open(branchCari)
            ->execute(
                u"UPDATE CariKartlar SET Unvan='Merkez', Alacak=0 "
                "WHERE Unvan IN ('MERKEZ OFİS','Merkez')"_s);
        messages.said.clear();
        if (!shown("Frame3")) QTest::keyClick(f.get(), Qt::Key_F7);
        QTest::keyClick(f.get(), Qt::Key_F10);
    }
    EXPECT_TRUE(messages.said.isEmpty()) << said();
    EXPECT_TRUE(shown("Frame1"));
    EXPECT_EQ(linesLeft(), 0);
    EXPECT_TRUE(stripSays(u"Belge 261 işlendi — 2 satır, "_s + total.toString(QLocale(), 2, true)));
    // A refused "Tamam" is in the journal with its reason, before the document that followed.
    const QString company = serverPath.right(2);
    QStringList journalled{u"document|261|%1|%2"_s.arg(
        k.workKind == 0 ? company + u",01"_s : company, total.toString(QLocale::c()))};
    if (*k.said && !k.quantityOverflows)
        journalled.prepend(u"refused|||%1"_s.arg(total.toString(QLocale::c())));
    EXPECT_EQ(journal(u"Event || '|' || Number || '|' || iif(Event = 'document', Books, '') || "
                      "'|' || Total"_s),
              journalled);
    if (*k.said && !k.quantityOverflows) {
        EXPECT_TRUE(journal(u"Reason"_s).first().contains(QString::fromUtf8(k.said)));
    }
    // The target side holds the nearest double of the total; a warehouse road also the branch's.
    const bool sale = k.operation == Qt::Key_F2;
    const QString debit = sale ? u"Borc"_s : u"Alacak"_s, credit = sale ? u"Alacak"_s : u"Borc"_s;
    const QString books = k.workKind == 0 ? posting::headOfficePath(serverPath) : serverPath;
    EXPECT_EQ(
        number(books + u"Cari.mdb"_s, u"SELECT %1 FROM CariHareket WHERE Aciklama=?"_s.arg(debit),
               {sale ? u"Satış ile"_s : u"Alış ile"_s}),
        total.toDouble());
    if (k.workKind == 0) {
        EXPECT_EQ(number(branchCari, u"SELECT %1 FROM CariHareket"_s.arg(credit)),
                  total.toDouble());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Road, PostingTest,
    ::testing::Values(
        PostingCase{"AccountSale", 1, Qt::Key_F2}, PostingCase{"AccountPurchase", 1, Qt::Key_F4},
        PostingCase{"WarehouseSale", 0, Qt::Key_F2},
        PostingCase{"WarehousePurchase", 0, Qt::Key_F4},
        PostingCase{"MissingAccount", 0, Qt::Key_F2, "Unvan='MERKEZ OFİS'", false, "\"Merkez\""},
        PostingCase{"CardOverflows", 0, Qt::Key_F2, "Alacak=922337203685000", false,
                    "en büyük değeri aşıyor"},
        PostingCase{"QuantityOverflows", 0, Qt::Key_F2, "", true, "en büyük değeri aşıyor"},
        PostingCase{"MissingAccountAfterAWait", 0, Qt::Key_F2, "", false, "\"Merkez\"", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RoadTest, TheTouchKeyboardMakesRoomAndTheWindowGetsItsPlaceBack) {
    start();
    const QRect area = f->screen()->availableGeometry();
    f->setGeometry(area);
    const QFont font = c<QWidget>("Text1")->font();
    QTest::keyClick(f.get(), Qt::Key_F11);
    ASSERT_NE(keys(), nullptr);
    EXPECT_LE(keys()->frameGeometry().bottom(), area.bottom());  // on the screen
    // It covers the grid's upper rows only: no button under it, no text smaller.
    EXPECT_EQ(c<QWidget>("Text1")->font(), font);
    const QRect shared = keys()->geometry();
    EXPECT_GE(shared.width(), area.width() / 2);
    for (const char* name : {"Command1(0)", "Command1(1)", "Check1(0)", "Check1(2)", "Command4",
                             "Command2", "DBGrid1", "Text1"}) {
        QWidget* w = c<QWidget>(name);
        EXPECT_FALSE(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()).intersects(shared)) << name;
    }
    // A scan's row is in sight below it.
    QTest::keyClick(f.get(), Qt::Key_F2);
    scan(u"8690000000067"_s);
    auto* grid = c<QTableView>("DBGrid1");
    const QRect row = grid->visualRect(grid->currentIndex());
    EXPECT_TRUE(grid->viewport()->rect().contains(row)) << row.y();
    // The label preview and the totals take no typing: the keyboard is away until they close.
    for (const auto& [key, panel] :
         {std::pair{Qt::Key_F8, "Frame4"}, std::pair{Qt::Key_F7, "Frame3"}}) {
        QTest::keyClick(f.get(), key);
        ASSERT_TRUE(shown(panel));
        EXPECT_FALSE(keys()->isVisible()) << panel;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_TRUE(keys()->isVisible()) << panel;
    }
    keys()->close();  // from its own title bar
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(f->geometry(), area);
    QTest::keyClick(f.get(), Qt::Key_F11);  // the key opens and closes it
    QTest::keyClick(f.get(), Qt::Key_F11);
    EXPECT_EQ(keys(), nullptr);
}
