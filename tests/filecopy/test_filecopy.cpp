#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "filecopy/CopyDatabaseFile.h"
#include "filecopy/clsFileCopy.h"
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

TEST_F(FileCopyTest, CopiesInBlocksReportingProgressWith4096AsTheDefaultBlock) {
    struct Case {
        int size, byteSize;
        QList<int> progress;
    };
    const Case cases[] = {
        {10000, 4096, {40, 81, 100, 0}},
        {9000, -5, {45, 91, 100, 0}},  // 4096, 4096, 808
        {0, 0, {0}},                   // an empty source
    };
    for (const Case& k : cases) {
        writeFile(path(u"src"_s), pattern(k.size));
        clsFileCopy& c = copier(u"src"_s, u"out/dst"_s);
        QFile::remove(path(u"out/dst"_s));
        if (k.byteSize) c.setByteSize(k.byteSize);
        values.clear();
        ASSERT_TRUE(copy(c)) << k.size;
        EXPECT_EQ(values, k.progress) << k.size;
        EXPECT_EQ(readFile(path(u"out/dst"_s)), pattern(k.size));
        EXPECT_TRUE(QFileInfo(path(u"out/dst"_s)).isFile());
        if (!k.byteSize) {
            EXPECT_EQ(c.ByteSize(), 4096);  // never set
        }
    }
    EXPECT_TRUE(messages.asked.isEmpty());
}

TEST_F(FileCopyTest, MissingNamesAndSourceGiveTheirCodes) {
    struct Case {
        QString from, to;
        qint32 code;
        const char* text;
    };
    writeFile(path("src"), "x");
    const QList<Case> cases = {
        {u"   "_s, path("a"), 100000, "Please enter a source file..."},
        {path("src"), QString(), 100010, "Please enter a target file..."},
        {path("none"), path("a"), 100020, "The source file does not exist..."},
        {dir.path(), path("a"), 100020, "The source file does not exist..."},  // a folder
    };
    for (const Case& k : cases) {
        clsFileCopy c(&messages);
        c.setSourceFile(k.from);
        c.setTargetFile(k.to);
        EXPECT_FALSE(copy(c));
        EXPECT_EQ(code, k.code);
        EXPECT_EQ(text, QString::fromUtf8(k.text));
        EXPECT_FALSE(QFile::exists(path("a")));
    }
}

TEST_F(FileCopyTest, ExistingTargetIsOverwrittenOnlyOnYes) {
    writeFile(path("src"), pattern(100));
    writeFile(path("dst"), QByteArray(5000, 'k'));
    clsFileCopy& c = copier(u"src"_s, u"dst"_s);
    messages.answers = {false};
    EXPECT_FALSE(copy(c));
    EXPECT_EQ(code, 100030);
    EXPECT_EQ(text, u"File copy canceled..."_s);
    EXPECT_EQ(messages.asked.value(0), path("dst") + u" already exists.  Overwrite?"_s);
    EXPECT_EQ(readFile(path("dst")), QByteArray(5000, 'k'));

    messages.answers = {true};
    ASSERT_TRUE(copy(c));
    EXPECT_EQ(readFile(path("dst")), pattern(100));  // a longer old target is cut to size

    clsFileCopy silent;  // no one to ask: never overwrite
    silent.setSourceFile(path("src"));
    silent.setTargetFile(path("dst"));
    EXPECT_FALSE(copy(silent));
    EXPECT_EQ(code, 100030);
}

TEST_F(FileCopyTest, CreatesMissingFoldersAndReportsOnesItCannotCreate) {
    writeFile(path("src"), pattern(50));
    clsFileCopy& c = copier(u"src"_s, u"a/b/c/dst"_s);
    ASSERT_TRUE(copy(c));
    EXPECT_EQ(readFile(path("a/b/c/dst")), pattern(50));

    writeFile(path("blocker"), "a file where a folder should be");
    c.setTargetFile(path("blocker/sub/dst"));
    EXPECT_FALSE(copy(c));
    EXPECT_NE(code, 0);
    EXPECT_FALSE(text.isEmpty());
}

TEST_F(FileCopyTest, VerifyFindsADifferenceAndTheBadCopyIsWipedAway) {
    writeFile(path("src"), pattern(9000));
    writeFile(path("dst"), pattern(9000));
    clsFileCopy& c = copier(u"src"_s, u"dst"_s);
    EXPECT_TRUE(c.VerifyFile(code, text));

    QByteArray changed = pattern(9000);
    changed[8500] = static_cast<char>(changed[8500] ^ 1);
    writeFile(path("dst"), changed);
    EXPECT_FALSE(c.VerifyFile(code, text));
    EXPECT_EQ(code, 110000);
    EXPECT_EQ(text, u"Target file is not the same as the source file..."_s);

    // A copy that goes wrong under Verify: the source changes after its block was copied.
    messages.answers = {true};
    c.setVerify(true);
    bool changedOnce = false;
    QObject::connect(&c, &clsFileCopy::Progress, [&](qint16 v, double) {
        if (v == 45 && !changedOnce) {
            changedOnce = true;
            QFile f(path("src"));
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.seek(10);
            f.write("ZZ");
        }
    });
    EXPECT_FALSE(copy(c));
    EXPECT_EQ(code, 110000);
    EXPECT_FALSE(QFile::exists(path("dst")));
}

TEST_F(FileCopyTest, ASourceThatShrinksOrVanishesDuringTheCopy) {
    writeFile(path("src"), pattern(20000));
    clsFileCopy& c = copier(u"src"_s, u"dst"_s);
    QObject::connect(&c, &clsFileCopy::Progress, [&](qint16 v, double) {
        if (v == 20) QFile::resize(path("src"), 5000);
    });
    EXPECT_FALSE(copy(c));
    EXPECT_EQ(code, 62);
    EXPECT_EQ(text, u"Input past end of file"_s);

    // Deleting the source while it is open leaves the data readable: the copy completes whole.
    writeFile(path("src2"), pattern(20000));
    clsFileCopy& d = copier(u"src2"_s, u"dst2"_s);
    QObject::connect(&d, &clsFileCopy::Progress, [&](qint16 v, double) {
        if (v == 20) QFile::remove(path("src2"));
    });
    EXPECT_TRUE(copy(d));
    EXPECT_EQ(readFile(path("dst2")), pattern(20000));
}

TEST(CopyDatabaseFile, AWriterCannotChangeTheSourceWhileItIsCopied) {
    TempBooks books(400);
    const QString source = books.file("01", "Stok");
    const QString target = books.dir() + u"/Temp1.Mdb"_s;
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(source.toUtf8().constData(), &writer), SQLITE_OK);
    sqlite3_busy_timeout(writer, 0);
    auto sumOf = [](sqlite3* db) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT sum(KalanB) FROM StokKartlar", -1, &st, nullptr);
        sqlite3_step(st);
        const double sum = sqlite3_column_double(st, 0);
        sqlite3_finalize(st);
        return sum;
    };
    const double before = sumOf(writer);

    int tried = 0, refused = 0;
    const auto result = filecopy::copyDatabaseFile(
        QString(source).replace(u"Stok.mdb"_s, u"Stok.Mdb"_s), target, nullptr, [&](int) {
            ++tried;
            if (sqlite3_exec(writer, "UPDATE StokKartlar SET KalanB = KalanB + 1", nullptr, nullptr,
                             nullptr) == SQLITE_BUSY)
                ++refused;
        });
    ASSERT_TRUE(result.ok) << result.errMsg.toStdString();
    EXPECT_GT(tried, 3);
    EXPECT_EQ(refused, tried);
    // The copy is whole and holds the source as it was before any of the writes.
    sqlite3* copy = nullptr;
    ASSERT_EQ(sqlite3_open(target.toUtf8().constData(), &copy), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(copy, "PRAGMA integrity_check", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok");
    sqlite3_finalize(st);
    EXPECT_EQ(sumOf(copy), before);
    sqlite3_close(copy);
    // Once the copy is done the writer goes ahead.
    EXPECT_EQ(sqlite3_exec(writer, "UPDATE StokKartlar SET KalanB = KalanB + 1", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(writer);
}

TEST(CopyDatabaseFile, AMissingSourceFailsWithoutCreatingTheTarget) {
    QTemporaryDir dir;
    const auto result = filecopy::copyDatabaseFile(dir.filePath(u"01Stok.Mdb"_s),
                                                   dir.filePath(u"Temp1.Mdb"_s), nullptr);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errCode, 100020);
    EXPECT_FALSE(QFile::exists(dir.filePath(u"Temp1.Mdb"_s)));
}
