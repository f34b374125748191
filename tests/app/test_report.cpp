#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>

#include "app/CountReport.h"
#include "app/FormFixture.h"
#include "data/Database.h"

using namespace testing_support;

TEST(CountReport, BlockFormatAndSafeNames) {
    const auto q = [](double v) { return core::Quantity::fromDouble(v); };
    const QString block = app::reportBlock(
        QDateTime(QDate(2026, 12, 6), QTime(17, 45, 3)),
        {{q(3), q(0), u"KALEM"_s}, {q(0), q(2.5), u"SİLGİ"_s}, {q(12345678901), q(0), u"ÇOK"_s}});
    EXPECT_EQ(block,
              u"6.12.2026 17:45:03\r\n \r\n     Eksik     Fazla     Stok Adı\r\n"
              "         3         0  KALEM\r\n"
              "         0       2,5  SİLGİ\r\n"
              "12345678901         0  ÇOK\r\n \r\n"_s);
    EXPECT_EQ(app::safeFileName(u"A/B\\C:D"_s), u"A_B_C_D"_s);
    EXPECT_EQ(app::safeFileName(u"../../etc"_s), u"____etc"_s);
}

TEST_F(WindowTest, ClosingAfterACountWritesTheReportAndOtherwiseNothing) {
    QTemporaryDir out;
    auto closeAfter = [&](const char* operation, const QString& searched = QString()) {
        start([&](app::TerminalContext& c) {
            c.reportFolder = out.filePath(u"reports"_s);
            c.desktopFolder = out.filePath(u"desktop"_s);
        });
        c<QCheckBox>(operation)->setChecked(true);
        if (!searched.isEmpty()) {
            // An account search in warehouse work leaves the branch the count's target.
            c<QLineEdit>("Text1")->setText(searched);
            QTest::keyClick(c<QLineEdit>("Text1"), Qt::Key_Return);
            ASSERT_EQ(c<QComboBox>("Combo1")->currentText(), u"KADIKÖY ŞUBESİ"_s);
        }
        f->close();
    };
    closeAfter("Check1(0)");  // a sale: no report
    EXPECT_FALSE(QDir(out.filePath(u"reports"_s)).exists());
    closeAfter("Check1(1)");  // a count of the first branch
    closeAfter("Check1(1)", u"ÖZTÜRK MARKET"_s);
    EXPECT_FALSE(QFile::exists(out.filePath(u"reports/ÖZTÜRK MARKET.txt"_s)));
    const QByteArray report = readFile(out.filePath(u"reports/KADIKÖY ŞUBESİ.txt"_s));
    EXPECT_EQ(report.count("     Eksik     Fazla     Stok Adı\r\n"), 2);
    const int cards =
        count(books.file("02", "Stok"),
              u"SELECT count(*) FROM StokKartlar WHERE StokGizle=0 AND KalanB+KalanA<>0"_s);
    EXPECT_EQ(report.count("\r\n"), 2 * (cards + 4));
    const QByteArray link = readFile(out.filePath(u"desktop/KADIKÖY ŞUBESİ.desktop"_s));
    EXPECT_TRUE(link.contains("Type=Link"));
    EXPECT_TRUE(link.contains("reports/KADIKÖY ŞUBESİ.txt"));
    EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files).isEmpty());  // nothing outside the folders

    // A count with nothing left to report writes nothing.
    data::Database::open(books.file("02", "Stok"))
        ->execute(u"UPDATE StokKartlar SET KalanB=0, KalanA=0"_s);
    closeAfter("Check1(1)");
    EXPECT_EQ(readFile(out.filePath(u"reports/KADIKÖY ŞUBESİ.txt"_s)), report);
}
