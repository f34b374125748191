#include <gtest/gtest.h>
#include <QTemporaryDir>

#include "core/NumberFormat.h"
#include "core/QuotedFieldFile.h"
#include "core/TurkishText.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(TurkishText, FoldsTheTurkishPairsAndEveryOtherCase) {
    EXPECT_EQ(core::foldTurkish(QStringLiteral("ŞEKER TOZU")), QStringLiteral("şeker tozu"));
    EXPECT_EQ(core::foldTurkish(QStringLiteral("İSTANBUL")),
              core::foldTurkish(QStringLiteral("istanbul")));
    EXPECT_EQ(core::foldTurkish(QStringLiteral("KIRMIZI")), QStringLiteral("kırmızı"));
    // Dotted and dotless i are different letters in Turkish.
    EXPECT_NE(core::foldTurkish(QStringLiteral("KIRMIZI")),
              core::foldTurkish(QStringLiteral("kirmizi")));
    EXPECT_EQ(core::foldTurkish(QStringLiteral("ÇÖĞÜ")), QStringLiteral("çöğü"));
}

TEST(TurkishText, CaselessTextsAreRecognised) {
    EXPECT_TRUE(core::isCaseless(QStringLiteral("8690000000012")));
    EXPECT_TRUE(core::isCaseless(QStringLiteral("=110 *%_'")));
    EXPECT_FALSE(core::isCaseless(QStringLiteral("ab12")));
    EXPECT_FALSE(core::isCaseless(QStringLiteral("ı")));
}

TEST(TurkishText, DecodesTheTurkishCodePage) {
    EXPECT_EQ(core::fromWindows1254(QByteArray("\xDE\x65\x6B\x65\x72 \xDD\xFD\xF0", 9)),
              QStringLiteral("Şeker İığ"));
}

TEST(QuotedFieldFile, WritesOneQuotedLineAndReadsItBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Firma.txt"));
    ASSERT_TRUE(core::QuotedFieldFile::write(path, QStringLiteral("Karvendo")));
    EXPECT_EQ(readFile(path), QByteArray("\"Karvendo\"\r\n"));
    EXPECT_EQ(core::QuotedFieldFile::readFirstField(path), QStringLiteral("Karvendo"));
}

TEST(QuotedFieldFile, ReadsDamagedAndForeignFilesWithoutFailing) {
    using core::QuotedFieldFile::firstField;
    EXPECT_EQ(firstField(QStringLiteral("\"Karv")), QStringLiteral("Karv"));  // truncated
    EXPECT_EQ(firstField(QStringLiteral("  00042 ,rest\r\n")), QStringLiteral("00042"));
    EXPECT_EQ(firstField(QStringLiteral("\"A, B\",\"C\"")), QStringLiteral("A, B"));
    EXPECT_EQ(firstField(QString()), QString());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.txt"));
    writeFile(path, QByteArray("\"\xDE\x65n Market\"\r\n"));  // code page 1254
    EXPECT_EQ(core::QuotedFieldFile::readFirstField(path), QStringLiteral("Şen Market"));
    EXPECT_EQ(core::QuotedFieldFile::readFirstField(dir.filePath(QStringLiteral("none"))),
              QString());
}

TEST(NumberFormat, GeneralAndStandardFormsUseTheLocale) {
    const QLocale tr(QLocale::Turkish, QLocale::Turkey);
    EXPECT_EQ(core::generalNumber(123.5, tr), QStringLiteral("123,5"));
    EXPECT_EQ(core::generalNumber(12.05, tr), QStringLiteral("12,05"));
    EXPECT_EQ(core::generalNumber(1234567, tr), QStringLiteral("1234567"));
    EXPECT_EQ(core::generalNumber(0.0001, tr), QStringLiteral("0,0001"));
    EXPECT_EQ(core::generalNumber(-0.0, tr), QStringLiteral("0"));
    EXPECT_EQ(core::standardNumber(1234.5, tr), QStringLiteral("1.234,50"));
    EXPECT_EQ(core::standardNumber(1234.5, QLocale::c()), QStringLiteral("1,234.50"));
}
