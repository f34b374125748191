#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QScopeGuard>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>

#include "app/AppEnvironment.h"
#include "app/CompanyFile.h"
#include "app/FormFixture.h"
#include "app/Style.h"
#include "core/LockFiles.h"
#include "data/DataControl.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

using namespace testing_support;
using app::Settings;
using app::TerminalForm;

// The last character of the executable's name, when it is 1 to 9 (see the start's "terminal3").
TEST(TerminalNumber, IsOneUnlessTheNameEndsInOneToNine) {
    for (const QString& name : {u"terminal0"_s, u"terminal"_s, QString()})
        EXPECT_EQ(app::terminalNumber(name), 1) << name.toStdString();
}

// A build tree writes beside the executable; an installed one (the placeholder in share/, the
// binary in a system folder root can write too) writes into the user's data folder, which every
// terminal of the user shares, and finds its placeholder where it was installed.
TEST(ProgramFolder, IsTheWorkFolderUnlessTheTerminalIsInstalled) {
    QTemporaryDir prefix, data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    const auto restore = qScopeGuard([] { qunsetenv("XDG_DATA_HOME"); });
    const QString userFolder = data.filePath(u"terminal"_s);
    const struct {
        const char* placeholderAt;  // relative to the prefix
        const char* workIn;         // "bin" or "user"
    } cases[] = {{"bin/Stok.mdb", "bin"},
                 {"share/terminal/Stok.mdb", "user"},
                 {"nowhere", "bin"}};  // a broken build tree still says which file is missing
    for (const auto& k : cases) {
        SCOPED_TRACE(k.placeholderAt);
        QDir(prefix.path()).removeRecursively();
        const QString placeholder = prefix.filePath(QString::fromUtf8(k.placeholderAt));
        ASSERT_TRUE(QDir().mkpath(prefix.filePath(u"bin"_s)));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(placeholder).path()));
        writeFile(placeholder, "placeholder");
        const QString bin = prefix.filePath(u"bin"_s);
        const auto env = app::AppEnvironment::fromProgram(bin + u"/terminal2"_s, bin);
        EXPECT_EQ(env.programFolder, bin);
        EXPECT_EQ(env.workFolder, qstrcmp(k.workIn, "bin") == 0 ? bin : userFolder);
        EXPECT_TRUE(QFileInfo(env.workFolder).isDir());
        EXPECT_EQ(app::placeholderPath(env),
                  qstrcmp(k.placeholderAt, "nowhere") == 0 ? bin + u"/Stok.mdb"_s : placeholder);
        EXPECT_EQ(app::workingCopyPath(env, 2), env.workFolder + u"/Temp2.Mdb"_s);
    }
}

TEST_F(FormTest, StartsOnTheBooksAndTakesANewServerPath) {
    writeFile(program.filePath(u"Temp1.ldb"_s), QByteArray(64, '\x01'));
    writeFile(program.filePath(u"OLD.LDB"_s), "99999999 elsewhere");
    ASSERT_TRUE(core::writeLockFile(program.filePath(u"Temp2.ldb"_s)));
    writeFile(program.filePath(u"Temp2.Mdb-journal"_s), "recovery");
    // A file in the basket's place that is none goes, with its leftovers.
    for (const char* leftover : {"Temp3.Mdb", "Temp3.Mdb-wal", "Temp3.Mdb-shm"})
        writeFile(program.filePath(QString::fromLatin1(leftover)), "left by a crash");
    auto f = form(u"terminal3"_s);
    ASSERT_TRUE(f->Form_Load()) << said();
    EXPECT_TRUE(messages.said.isEmpty()) << said();
    // Stale lock files go; live ones and recovery files stay.
    EXPECT_EQ(QDir(program.path()).entryList({u"Temp*"_s, u"*.LDB"_s}),
              (QStringList{u"Temp2.ldb"_s, u"Temp2.Mdb-journal"_s, u"Temp3.Mdb"_s}));
    EXPECT_EQ(f->workingCopyPath(), program.filePath(u"Temp3.Mdb"_s));
    EXPECT_EQ(count(f->workingCopyPath(), u"SELECT count(*) FROM Basket"_s), 0);
    // The grids show the placeholder's cards until a target is chosen.
    EXPECT_EQ(child<QTableView>(f.get(), "DBGrid1")->model()->rowCount(), 25);
    f->Form_Activate();  // creates the company file
    EXPECT_EQ(readFile(program.filePath(u"Firma.txt"_s)), QByteArray("\"Karvendo\"\r\n"));

    // "Server İp" proposes the path started on, not the branch moved to; a cancel keeps the path.
    ASSERT_NE(f->serverPath(), books.serverPath());
    messages.textAnswer = u"   "_s + books.serverPath(u"04"_s) + u"  "_s;
    f->SrvIp_Click();
    EXPECT_TRUE(messages.asked.value(0).endsWith(
        u"önerilen yol 01 numaralı şirketin defterleri.|"_s + books.serverPath()));
    for (bool accepted : {true, false}) {
        messages.textAccepted = accepted;
        f->SrvIp_Click();
        EXPECT_EQ(f->serverPath(), books.serverPath(u"04"_s));
        EXPECT_EQ(ip(), books.serverPath(u"04"_s));
    }
}

// A form that never showed saves no placement either.
TEST_F(FormTest, BooksThatCannotBeReachedOrReadEndTheStartWithTheirMessages) {
    writeFile(books.file("02", "Cari"), "garbage, not a database");
    setRegistry(u"TerTop"_s, u"unchanged"_s);
    const struct {
        QString serverPath;
        QStringList said;
        bool unreachable;  // then not even the basket is made
    } cases[] = {
        {u"/nonexistent/RezoruviZada/01"_s, {NoConnection}, true},
        {books.serverPath(u"02"_s), {NoConnection}, false},  // a foreign file for the accounts
    };
    for (const auto& k : cases) {
        messages.said.clear();
        auto f = form(u"terminal"_s, k.serverPath);
        EXPECT_FALSE(f->Form_Load());
        EXPECT_EQ(messages.said, k.said);
        EXPECT_FALSE(k.unreachable && QFile::exists(f->workingCopyPath()));
        f->close();
    }
    EXPECT_EQ(registry(u"TerTop"_s), u"unchanged"_s);
}

TEST_F(FormTest, ServerPathComesFromTheSettingsUnlessCtrlIsHeldOrAPathIsGiven) {
    ASSERT_TRUE(
        settings.SaveSetting(app::SettingsSection, app::KeyServerPath, books.serverPath(u"02"_s)));
    for (const bool ctrl : {false, true}) {
        TerminalForm f(context(u"terminal"_s, std::nullopt, ctrl));
        EXPECT_EQ(f.Form_Load(), !ctrl);  // the default share does not exist here
        EXPECT_EQ(f.serverPath(), ctrl ? app::DefaultServerPath : books.serverPath(u"02"_s));
    }
    EXPECT_EQ(ip(), books.serverPath(u"02"_s));  // Ctrl does not overwrite

    // A given path, here with a trailing separator: files inside that folder, and not stored.
    const QString folder = books.dataDir() + u"/01"_s;
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char* name : {"Cari.mdb", "Stok.mdb", "Fatura.mdb", "Index.mdb"})
        ASSERT_TRUE(QFile::copy(books.serverPath() + QString::fromUtf8(name),
                                folder + u'/' + QString::fromUtf8(name)));
    messages.said.clear();
    auto given = form(u"terminal"_s, folder + u"\\"_s);
    ASSERT_TRUE(given->Form_Load()) << said();
    EXPECT_TRUE(messages.said.isEmpty());
    EXPECT_EQ(child<data::DataControl>(given.get(), "DataCari")->databaseName(),
              folder + u"\\Cari.mdb"_s);
    EXPECT_EQ(ip(), books.serverPath(u"02"_s));
}

// A broken placeholder is reported once; a garbage company file is shown cut and left as it is.
TEST_F(FormTest, ABrokenPlaceholderOrCompanyFileStillStarts) {
    const QString company = program.filePath(u"Firma.txt"_s);
    writeFile(program.filePath(u"Stok.mdb"_s), "not a database");
    writeFile(company, QByteArray(5000, 'A') + '\0' + "x");
    auto f = form();
    ASSERT_TRUE(f->Form_Load());
    ASSERT_EQ(messages.said.size(), 1);
    EXPECT_TRUE(messages.said[0].contains(u"Stok.mdb"_s));
    EXPECT_EQ(child<QTableView>(f.get(), "DBGrid1")->model()->rowCount(), 0);
    f->Form_Activate();
    EXPECT_EQ(child<QLabel>(f.get(), "Label8(3)")->text(), QString(120, u'A'));
    EXPECT_EQ(readFile(company).size(), 5002);
    // A full disk leaves neither an empty company file nor a cut settings store.
    QFile::remove(company);
    ASSERT_TRUE(settings.SaveSetting(app::SettingsSection, app::KeyServerPath, u"/srv/01"_s));
    app::CompanyName full;
    {
        const FileSizeLimit disk(4);
        full = app::readOrCreateCompanyName(program.path());
        EXPECT_FALSE(
            settings.SaveSetting(app::SettingsSection, app::KeyServerPath, QString(300, u'x')));
    }
    EXPECT_TRUE(full.error.startsWith(company + u" yazılamadı: "_s)) << full.error.toStdString();
    EXPECT_FALSE(QFile::exists(company));
    // Read from the file: the settings layer keeps the refused value in its memory.
    EXPECT_TRUE(readFile(settingsRoot.filePath(u"VB and VBA Program Settings/terminal.ini"_s))
                    .contains("ip=/srv/01\n"));
}

TEST_F(FormTest, WindowPlacementIsSavedOnCloseAndRestoredOnlyWhenOnAScreen) {
    auto shownForm = [&] {
        auto f = form();
        EXPECT_TRUE(f->Form_Load());
        f->show();
        f->Form_Activate();
        return f;
    };
    {
        auto f = shownForm();
        f->setGeometry(40, 50, 600, 400);
        f->close();
    }
    auto value = [&](const char* name) { return registry(QString::fromUtf8(name)).toInt(); };
    auto g = shownForm();
    const double tpp = 1440.0 / g->logicalDpiX();  // values are in twips
    EXPECT_EQ(g->geometry().size(), QSize(600, 400));
    EXPECT_EQ(g->frameGeometry(),
              QRect(qRound(value("TerLeft") / tpp), qRound(value("TerTop") / tpp),
                    qRound(value("TerWidth") / tpp), qRound(value("TerHeight") / tpp)));
    g.reset();

    // Too large or partly off: wholly on the screen it overlaps, as large as it allows; else
    // centred.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        QRect stored, placed;
    } cases[] = {
        {{0, 0, area.width() * 2, area.height() * 2}, area},
        {{area.width() - 100, -50, 400, 300}, {area.right() + 1 - 400, area.top(), 400, 300}},
        {{100000, 100000, 400, 300}, {}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.stored.x());
        auto twips = [tpp](int pixels) { return QString::number(qRound(pixels * tpp)); };
        setRegistry(u"TerTop"_s, twips(k.stored.y()));
        setRegistry(u"TerLeft"_s, twips(k.stored.x()));
        setRegistry(u"TerWidth"_s, twips(k.stored.width()));
        setRegistry(u"TerHeight"_s, twips(k.stored.height()));
        const QRect frame = shownForm()->frameGeometry();
        EXPECT_TRUE(area.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        if (k.placed.isEmpty()) {
            EXPECT_LE((frame.center() - area.center()).manhattanLength(), 2);
        } else {
            EXPECT_EQ(frame, k.placed);
        }
    }
}

TEST(SettingsStore, MissingOrUnreadableStoresGiveDefaults) {
    const QString ini = u"VB and VBA Program Settings/terminal.ini"_s;
    auto get = [](Settings& s, const QString& key, const QString& fallback = u"0"_s) {
        return s.GetSetting(app::SettingsSection, key, fallback);
    };
    // A folder where the settings file should be: the defaults hold.
    QTemporaryDir broken, garbled;
    ASSERT_TRUE(QDir().mkpath(broken.filePath(ini)));
    Settings b(u"terminal"_s, broken.path());
    EXPECT_EQ(get(b, app::KeyServerPath, app::DefaultServerPath), app::DefaultServerPath);
    // One bad line (a format error to the ini reader) loses nothing else, not even at a save.
    QDir().mkpath(garbled.filePath(u"VB and VBA Program Settings"_s));
    writeFile(garbled.filePath(ini), "[Zarvo]\nip=/srv/books/01\n\x01junk line\n");
    Settings g(u"terminal"_s, garbled.path());
    EXPECT_EQ(get(g, app::KeyServerPath), u"/srv/books/01"_s);
    EXPECT_EQ(get(g, app::KeyWorkKind), u"0"_s);
    ASSERT_TRUE(g.SaveSetting(app::SettingsSection, app::KeyWorkKind, u"1"_s));
    EXPECT_EQ(get(g, app::KeyWorkKind), u"1"_s);
    EXPECT_EQ(get(g, app::KeyServerPath), u"/srv/books/01"_s);
}

TEST(Translations, QtsOwnButtonsSpeakTurkish) {
    ASSERT_TRUE(app::installTurkishTranslations());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"İptal"_s);
}
