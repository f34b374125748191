#include <gtest/gtest.h>
#include <QTemporaryDir>

#include "core/DateFormat.h"
#include "core/NumberFormat.h"
#include "core/QuotedFieldFile.h"
#include "core/TurkishText.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(TurkishText, FoldsTheTurkishPairsRecognisesCaselessTextsAndDecodesCodePage1254) {
    EXPECT_EQ(core::foldTurkish(u"ŞEKER İĞÇÖÜ"_s), u"şeker iğçöü"_s);
    // Dotted and dotless i are different letters in Turkish.
    EXPECT_EQ(core::foldTurkish(u"KIRMIZI"_s), u"kırmızı"_s);
    EXPECT_TRUE(core::isCaseless(u"=110 8690000000012*%_'"_s));
    EXPECT_FALSE(core::isCaseless(u"ab12"_s));
    EXPECT_FALSE(core::isCaseless(u"ı"_s));
    EXPECT_EQ(core::fromWindows1254(QByteArray("\xDE\x65\x6B\x65\x72 \xDD\xFD\xF0", 9)),
              u"Şeker İığ"_s);
}

TEST(QuotedFieldFile, ReadsDamagedAndForeignFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Firma.txt"_s);  // written and read back: the start-up test
    using core::QuotedFieldFile::firstField;
    EXPECT_EQ(firstField(u"\"Karv"_s), u"Karv"_s);  // truncated
    EXPECT_EQ(firstField(u"  00042 ,rest\r\n"_s), u"00042"_s);
    EXPECT_EQ(firstField(u"\"A, B\",\"C\""_s), u"A, B"_s);
    writeFile(path, QByteArray("\"\xDE\x65n Market\"\r\n"));  // code page 1254
    EXPECT_EQ(core::QuotedFieldFile::readFirstField(path), u"Şen Market"_s);
    EXPECT_EQ(core::QuotedFieldFile::readFirstField(dir.filePath(u"none"_s)), QString());
}

TEST(NumberFormat, GeneralAndStandardFormsUseTheLocale) {
    const QLocale tr(QLocale::Turkish, QLocale::Turkey);
    EXPECT_EQ(core::generalNumber(123.5, tr), u"123,5"_s);
    EXPECT_EQ(core::generalNumber(1234567, tr), u"1234567"_s);
    EXPECT_EQ(core::generalNumber(0.0001, tr), u"0,0001"_s);
    EXPECT_EQ(core::generalNumber(-0.0, tr), u"0"_s);
    EXPECT_EQ(core::standardNumber(1234.5, tr), u"1.234,50"_s);
    EXPECT_EQ(core::standardNumber(1234.5, QLocale::c()), u"1,234.50"_s);
}

TEST(DateFormat, ReadsTheBooksDateTextsDayFirstAndNothingElse) {
    const std::pair<const char*, const char*> cases[] = {
        {"2026-12-07 14:43:05", "2026-12-07 14:43:05"},
        {"2026-12-07T14:43:05.250", "2026-12-07 14:43:05"},
        {"2026-12-07 14:43", "2026-12-07 14:43:00"},
        {"2026-12-07", "2026-12-07 00:00:00"},
        {"07.12.2026 14:43", "2026-12-07 14:43:00"},
        {"07/12/2026 14:43:05", "2026-12-07 14:43:05"},
        {" 7-12-2026 ", "2026-12-07 00:00:00"},
        {"12/31/2026 14:43", ""},  // month first: there is no 31st month
        {"07.12/2026", ""},
        {"2026-02-30", ""},
        {"2026-12-07 24:00", ""},
        {"46363.61", ""},
        {"", ""},
    };
    for (const auto& [given, read] : cases) {
        const auto at = core::readBooksDateTime(QString::fromLatin1(given));
        EXPECT_EQ(at ? core::storedDateTime(*at) : QString(), QString::fromLatin1(read)) << given;
    }
    EXPECT_EQ(core::storedMinute(QDateTime(QDate(2026, 12, 7), QTime(14, 43, 59))),
              u"2026-12-07 14:43:00"_s);
}
