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
    const QString block = app::reportBlock(QDateTime(QDate(2026, 12, 6), QTime(17, 45, 3)),
                                           {{3, 0, QStringLiteral("KALEM")},
                                            {0, 2.5, QStringLiteral("SİLGİ")},
                                            {12345678901.0, 0, QStringLiteral("ÇOK")}});
    EXPECT_EQ(block,
              QStringLiteral("6.12.2026 17:45:03\r\n \r\n     Eksik     Fazla     Stok Adı\r\n"
                             "         3         0  KALEM\r\n"
                             "         0       2,5  SİLGİ\r\n"
                             "12345678901         0  ÇOK\r\n \r\n"));
    EXPECT_EQ(app::safeFileName(QStringLiteral("A/B\\C:D")), QStringLiteral("A_B_C_D"));
    EXPECT_EQ(app::safeFileName(QStringLiteral("../../etc")), QStringLiteral("____etc"));
    EXPECT_EQ(app::safeFileName(QStringLiteral("..")), QStringLiteral("_"));
    EXPECT_EQ(app::safeFileName(QStringLiteral("KADIKÖY ŞUBESİ")),
              QStringLiteral("KADIKÖY ŞUBESİ"));
}

TEST(CountReport, BlocksAreAppendedAndTheLinkPointsAtTheReport) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("missing/RezoruviZada"));
    const QString desktop = dir.filePath(QStringLiteral("Desktop"));
    ASSERT_EQ(
        app::writeCountReport(folder, desktop, QStringLiteral("A/B"), QStringLiteral("one\r\n")),
        QString());
    ASSERT_EQ(
        app::writeCountReport(folder, desktop, QStringLiteral("A/B"), QStringLiteral("two\r\n")),
        QString());
    EXPECT_EQ(readFile(folder + QStringLiteral("/A_B.txt")), QByteArray("one\r\ntwo\r\n"));
    const QByteArray link = readFile(desktop + QStringLiteral("/A_B.desktop"));
    EXPECT_TRUE(link.contains("Type=Link"));
    EXPECT_TRUE(link.contains("A_B.txt"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 0);  // nothing outside the folders
}

TEST_F(FormTest, ClosingAfterACountWritesTheReportAndOtherwiseNothing) {
    QTemporaryDir out;
    auto make = [&] {
        app::TerminalContext c = context(QStringLiteral("terminal"), books.serverPath());
        c.reportFolder = out.filePath(QStringLiteral("reports"));
        c.desktopFolder = out.filePath(QStringLiteral("desktop"));
        auto f = std::make_unique<TerminalForm>(c);
        EXPECT_TRUE(f->Form_Load());
        f->show();
        f->Form_Activate();
        return f;
    };
    auto f = make();
    child<QCheckBox>(f.get(), "Check1(0)")->setChecked(true);  // a sale: no report
    f->close();
    EXPECT_FALSE(QDir(out.filePath(QStringLiteral("reports"))).exists());

    for (int closing = 0; closing < 2; ++closing) {
        f = make();
        child<QCheckBox>(f.get(), "Check1(1)")->setChecked(true);  // a count of the first branch
        if (closing == 1) {
            // An account search shows another title in the target box; the count is still the
            // branch's.
            auto* text1 = child<QLineEdit>(f.get(), "Text1");
            text1->setText(QStringLiteral("ÖZTÜRK MARKET"));
            QTest::keyClick(text1, Qt::Key_Return);
            ASSERT_EQ(child<QComboBox>(f.get(), "Combo1")->currentText(),
                      QStringLiteral("ÖZTÜRK MARKET"));
        }
        f->close();
    }
    EXPECT_FALSE(QFile::exists(out.filePath(QStringLiteral("reports/ÖZTÜRK MARKET.txt"))));
    const QByteArray report = readFile(out.filePath(QStringLiteral("reports/KADIKÖY ŞUBESİ.txt")));
    EXPECT_EQ(report.count("     Eksik     Fazla     Stok Adı\r\n"), 2);
    const int cards =
        scalar(books.serverPath(QStringLiteral("02")) + QStringLiteral("Stok.mdb"),
               QStringLiteral(
                   "SELECT count(*) FROM StokKartlar WHERE StokGizle=0 AND KalanB+KalanA<>0"))
            .toInt();
    EXPECT_EQ(report.count("\r\n"), 2 * (cards + 4));
    EXPECT_TRUE(QFile::exists(out.filePath(QStringLiteral("desktop/KADIKÖY ŞUBESİ.desktop"))));

    // A count with nothing left to report writes nothing.
    data::Database::open(books.serverPath(QStringLiteral("02")) + QStringLiteral("Stok.mdb"))
        ->execute(QStringLiteral("UPDATE StokKartlar SET KalanB=0, KalanA=0"));
    f = make();
    child<QCheckBox>(f.get(), "Check1(1)")->setChecked(true);
    f->close();
    EXPECT_EQ(readFile(out.filePath(QStringLiteral("reports/KADIKÖY ŞUBESİ.txt"))), report);
}
