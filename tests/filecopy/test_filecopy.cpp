#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "filecopy/CopyDatabaseFile.h"
#include "filecopy/clsFileCopy.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

using filecopy::clsFileCopy;
using namespace testing_support;

namespace {

class FileCopyTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    RecordingMessages messages;
    qint32 code = 0;
    QString text;
    QList<int> values;  // every progress report of the copiers made here
    std::vector<std::unique_ptr<clsFileCopy>> copiers;

    QString path(const QString& name) const { return dir.filePath(name); }
    clsFileCopy& copier(const QString& from, const QString& to) {
        auto& c = *copiers.emplace_back(std::make_unique<clsFileCopy>(&messages));
        c.setSourceFile(path(from));
        c.setTargetFile(path(to));
        QObject::connect(&c, &clsFileCopy::Progress, [this](qint16 v, double) { values << v; });
        return c;
    }
    // Each call starts from a cleared code and text, so a stale one cannot pass for a new one.
    bool copy(clsFileCopy& c) {
        code = 0;
        text.clear();
        values.clear();
        return c.CopyFile(code, text);
    }
};

QByteArray pattern(int n) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = static_cast<char>((i * 31 + 7) % 251);
    return b;
}

}  // namespace

TEST_F(FileCopyTest, CopiesInBlocksIntoNewFoldersReportingProgress) {
    for (const auto& [size, progress] :
         {std::pair{10000, QList<int>{40, 81, 100, 0}}, {0, QList<int>{0}}}) {
        writeFile(path(u"src"_s), pattern(size));
        QDir(path(u"out"_s)).removeRecursively();
        clsFileCopy& c = copier(u"src"_s, u"out/b/c/dst"_s);  // missing folders are made
        c.setByteSize(4096);
        ASSERT_TRUE(copy(c)) << size;
        EXPECT_EQ(values, progress) << size;
        EXPECT_EQ(readFile(path(u"out/b/c/dst"_s)), pattern(size));
    }
    EXPECT_TRUE(messages.asked.isEmpty());
}

TEST_F(FileCopyTest, RefusedCopiesGiveTheirCodes) {
    writeFile(path("src"), "x");
    writeFile(path("blocker"), "a file where a folder should be");
    const struct {
        QString from, to;
        qint32 code;
        const char* text;  // 0 and empty: any code, any text
    } cases[] = {
        {u"none"_s, u"a"_s, 100020, "The source file does not exist..."},
        {u"."_s, u"a"_s, 100020, "The source file does not exist..."},  // a folder
        {u"src"_s, u"blocker/sub/a"_s, 0, ""},  // a folder that cannot be made
    };
    for (const auto& k : cases) {
        EXPECT_FALSE(copy(copier(k.from, k.to)));
        EXPECT_TRUE(k.code ? code == k.code : code != 0) << code;
        EXPECT_TRUE(*k.text ? text == QString::fromUtf8(k.text) : !text.isEmpty())
            << text.toStdString();
        EXPECT_FALSE(QFile::exists(path("a")));
    }
}

// What the operator reads names the file in Turkish, whatever the copier's code; none of the
// copier's own English texts ("Device I/O error", "File copy canceled...") comes through.
TEST(CopyDatabaseFile, EveryFailureIsToldInTurkishWithItsFile) {
    const QString file = u"/srv/RezoruviZada/01Stok.mdb"_s;
    for (const qint32 code :
         {clsFileCopy::NoTarget, clsFileCopy::SourceMissing, clsFileCopy::Cancelled,
          clsFileCopy::NotSame, 57, 61, 62, 70, 75, 76, 9999}) {
        const QString cause = filecopy::copyFailureCause(code, file, file);
        EXPECT_TRUE(cause.contains(file)) << code;
        for (const char* english : {"error", "file", "copy", "path", "disk full", "permission"})
            EXPECT_FALSE(
                cause.section(file, 0, 0).contains(QString::fromUtf8(english), Qt::CaseInsensitive))
                << code << ": " << cause.toStdString();
    }
}

TEST(CopyDatabaseFile, AWriterCannotChangeTheSourceWhileItIsCopied) {
    TempBooks books(400);
    const QString source = books.file("01", "Stok");
    const QString target = books.dir() + u"/Temp1.Mdb"_s;
    const QString sum = u"SELECT sum(KalanB) FROM StokKartlar"_s;
    const double before = number(source, sum);
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(source.toUtf8().constData(), &writer), SQLITE_OK);
    sqlite3_busy_timeout(writer, 0);
    auto write = [writer] {
        return sqlite3_exec(writer, "UPDATE StokKartlar SET KalanB = KalanB + 1", nullptr, nullptr,
                            nullptr);
    };
    int tried = 0, refused = 0;
    const auto result = filecopy::copyDatabaseFile(
        QString(source).replace(u"Stok.mdb"_s, u"Stok.Mdb"_s), target, nullptr, [&](int) {
            ++tried;
            refused += write() == SQLITE_BUSY;
        });
    ASSERT_TRUE(result.ok) << result.errMsg.toStdString();
    EXPECT_GT(tried, 3);
    EXPECT_EQ(refused, tried);
    // The copy is whole and holds the source as it was before any of the writes.
    EXPECT_EQ(text(target, u"PRAGMA integrity_check"_s), u"ok"_s);
    EXPECT_EQ(number(target, sum), before);
    EXPECT_EQ(write(), SQLITE_OK);  // once the copy is done the writer goes ahead
    sqlite3_close(writer);

    // A disk full half-way is named with the file and leaves no damaged target behind.
    const FileSizeLimit disk(QFileInfo(source).size() / 2);
    const auto failed = filecopy::copyDatabaseFile(source, target, nullptr);
    EXPECT_EQ(failed.errCode, 61);
    EXPECT_EQ(failed.cause, u"Disk dolu: "_s + target + u" yazılamadı"_s);
    EXPECT_FALSE(failed.ok || QFile::exists(target));
}

TEST(CopyDatabaseFile, ACopyMadeAfterACrashMidCommitIsCleanAndTheBooksAreRolledBack) {
    TempBooks books(60);
    const QString source = books.file("01", "Stok");
    QTemporaryDir program;
    const QString workingCopy = program.filePath(u"Temp1.Mdb"_s);
    const QString sum = u"SELECT sum(KalanB) FROM StokKartlar"_s;
    const double booked = number(source, sum);
    ASSERT_TRUE(filecopy::copyDatabaseFile(source, workingCopy, nullptr).ok);
    // Entered quantities make the working copy differ from the books, page by page.
    text(workingCopy, u"UPDATE StokKartlar SET KalanB = KalanB + 100"_s);
    QProcess worker;
    worker.start(QStringLiteral(CRASH_WORKER), {workingCopy, source});
    ASSERT_TRUE(worker.waitForFinished());
    ASSERT_EQ(worker.exitCode(), 9);
    const QDir folder(program.path());
    const auto leftovers = [&] {
        return folder.entryList({u"Temp1.Mdb-*"_s}, QDir::Files | QDir::Hidden);
    };
    ASSERT_TRUE(leftovers().contains(u"Temp1.Mdb-journal"_s));
    ASSERT_EQ(leftovers().filter(u"-mj"_s).size(), 1);
    ASSERT_TRUE(QFile::exists(source + u"-journal"_s));

    const auto again = filecopy::copyDatabaseFile(source, workingCopy, nullptr);
    ASSERT_TRUE(again.ok) << again.cause.toStdString();
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
    EXPECT_FALSE(QFile::exists(source + u"-journal"_s));
    // The half-done posting is undone in the books, and the new copy is theirs, whole.
    EXPECT_EQ(number(source, sum), booked);
    EXPECT_EQ(text(workingCopy, u"PRAGMA integrity_check"_s), u"ok"_s);
    EXPECT_EQ(readFile(workingCopy), readFile(source));
}
