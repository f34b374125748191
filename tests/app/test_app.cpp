#include <gtest/gtest.h>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include "DemoBooks.h"
#include "app/AppEnvironment.h"
#include "app/CompanyFile.h"
#include "app/FormFixture.h"
#include "app/Settings.h"
#include "app/SingleInstance.h"
#include "app/Style.h"
#include "app/TerminalForm.h"
#include "core/Clock.h"
#include "core/LockFiles.h"
#include "data/DataControl.h"
#include "support/TestSupport.h"

using namespace testing_support;
using app::Settings;
using app::TerminalForm;

TEST(TerminalNumber, ComesFromTheLastCharacterOfTheExecutablesName) {
    EXPECT_EQ(app::terminalNumber(QStringLiteral("terminal3")), 3);
    EXPECT_EQ(app::terminalNumber(QStringLiteral("terminal")), 1);
    EXPECT_EQ(app::terminalNumber(QStringLiteral("terminal0")), 1);
    EXPECT_EQ(app::terminalNumber(QString()), 1);
    const auto env = app::AppEnvironment::fromProgram(QStringLiteral("/opt/x/terminal7"),
                                                      QStringLiteral("/elsewhere"));
    EXPECT_EQ(env.executableName, QStringLiteral("terminal7"));
    EXPECT_EQ(env.programFolder, QStringLiteral("/opt/x"));
}

TEST_F(FormTest, StartsOnTheBooksWithAFreshWorkingCopyAndBoundControls) {
    auto f = form(QStringLiteral("terminal3"));
    ASSERT_TRUE(f->Form_Load()) << messages.said.join(u'\n').toStdString();
    EXPECT_TRUE(messages.said.isEmpty()) << messages.said.join(u'\n').toStdString();
    EXPECT_EQ(child<QLabel>(f.get(), "Label6")->text(), QStringLiteral("Terminal 3"));
    EXPECT_EQ(f->workingCopyPath(), program.filePath(QStringLiteral("Temp3.Mdb")));
    EXPECT_EQ(readFile(f->workingCopyPath()),
              readFile(books.serverPath() + QStringLiteral("Stok.mdb")));

    auto* cari = child<data::DataControl>(f.get(), "DataCari");
    ASSERT_TRUE(cari->isOpen());
    EXPECT_EQ(cari->recordset().RecordCount(), 16);  // 3 branches, 12 customers, VAT
    EXPECT_EQ(cari->recordset().field(QStringLiteral("CariKod")).toString(),
              QStringLiteral("=110"));
    for (const char* name : {"DataCariHar", "DataStokHar", "DataFatura", "DataFatHar",
                             "IndexPrimary", "IndexSecondary", "DataTemp"})
        EXPECT_TRUE(child<data::DataControl>(f.get(), name)->isOpen()) << name;
    EXPECT_FALSE(child<data::DataControl>(f.get(), "DataStok")->isOpen());
    // The grids show the placeholder's cards until a target is chosen.
    EXPECT_EQ(child<QTableView>(f.get(), "DBGrid1")->model()->rowCount(), 25);
    EXPECT_EQ(child<QTableView>(f.get(), "DBGrid2")->model()->rowCount(), 25);
}

TEST_F(FormTest, UnreachableBooksShowBothMessagesAndEnd) {
    auto f = form(QStringLiteral("terminal"), QStringLiteral("/nonexistent/RezoruviZada/01"));
    EXPECT_FALSE(f->Form_Load());
    EXPECT_EQ(messages.said, (QStringList{CopyFailed, NoConnection}));
    EXPECT_FALSE(QFile::exists(f->workingCopyPath()));
}

TEST_F(FormTest, ServerPathComesFromTheSettingsUnlessCtrlIsHeldOrAPathIsGiven) {
    ASSERT_TRUE(settings.SaveSetting(app::SettingsSection, app::KeyServerPath,
                                     books.serverPath(QStringLiteral("02"))));
    {
        TerminalForm f(context(QStringLiteral("terminal"), std::nullopt));
        ASSERT_TRUE(f.Form_Load());
        EXPECT_EQ(f.serverPath(), books.serverPath(QStringLiteral("02")));
        EXPECT_TRUE(child<data::DataControl>(&f, "DataCari")
                        ->databaseName()
                        .endsWith(QStringLiteral("/02Cari.mdb")));
    }
    {
        TerminalForm f(context(QStringLiteral("terminal"), std::nullopt, true));
        EXPECT_FALSE(f.Form_Load());  // the default share does not exist here
        EXPECT_EQ(f.serverPath(), app::DefaultServerPath);
    }
    EXPECT_EQ(ip(), books.serverPath(QStringLiteral("02")));  // Ctrl does not overwrite

    auto given = form(QStringLiteral("terminal"), books.serverPath(QStringLiteral("03")));
    ASSERT_TRUE(given->Form_Load());
    EXPECT_EQ(ip(), books.serverPath(QStringLiteral("02")));  // --server-path is not stored
}

TEST_F(FormTest, AForeignFileWhereTheAccountsShouldBeEndsTheStart) {
    writeFile(books.serverPath() + QStringLiteral("Cari.mdb"), "garbage, not a database");
    auto f = form();
    EXPECT_FALSE(f->Form_Load());
    EXPECT_EQ(messages.said, QStringList{NoConnection});
}

TEST_F(FormTest, EveryControlHasAnAccessibleName) {
    auto f = form();
    ASSERT_TRUE(f->Form_Load());
    int controls = 0;
    for (QWidget* w : f->findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || w->objectName().startsWith(QStringLiteral("qt_")) ||
            w->objectName() == QStringLiteral("FormArea"))
            continue;
        ++controls;
        EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
    EXPECT_GT(controls, 30);
    EXPECT_EQ(child<QPushButton>(f.get(), "Command8(1)")->accessibleName(),
              QStringLiteral("Tamam"));
    EXPECT_EQ(child<QLineEdit>(f.get(), "Text1")->accessibleName(), QStringLiteral("Text1"));
}

TEST_F(FormTest, AServerPathWithATrailingSeparatorNamesFilesInsideTheFolder) {
    const QString folder = books.dataDir() + QStringLiteral("/01");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const char* name : {"Cari.mdb", "Stok.mdb", "Fatura.mdb", "Index.mdb"})
        ASSERT_TRUE(QFile::copy(books.serverPath() + QString::fromUtf8(name),
                                folder + u'/' + QString::fromUtf8(name)));
    auto f = form(QStringLiteral("terminal"), folder + QStringLiteral("\\"));
    ASSERT_TRUE(f->Form_Load()) << messages.said.join(u'\n').toStdString();
    EXPECT_TRUE(messages.said.isEmpty());
    EXPECT_EQ(child<data::DataControl>(f.get(), "DataCari")->databaseName(),
              folder + QStringLiteral("\\Cari.mdb"));
}

TEST_F(FormTest, StaleLockFilesGoButLiveOnesAndRecoveryFilesStay) {
    writeFile(program.filePath(QStringLiteral("Temp1.ldb")), QByteArray(64, '\x01'));
    writeFile(program.filePath(QStringLiteral("OLD.LDB")), "99999999 elsewhere");
    ASSERT_TRUE(core::writeLockFile(program.filePath(QStringLiteral("Temp2.ldb"))));
    writeFile(program.filePath(QStringLiteral("Temp2.Mdb-journal")), "recovery");
    auto f = form();
    ASSERT_TRUE(f->Form_Load());
    EXPECT_FALSE(QFile::exists(program.filePath(QStringLiteral("Temp1.ldb"))));
    EXPECT_FALSE(QFile::exists(program.filePath(QStringLiteral("OLD.LDB"))));
    EXPECT_TRUE(QFile::exists(program.filePath(QStringLiteral("Temp2.ldb"))));
    EXPECT_TRUE(QFile::exists(program.filePath(QStringLiteral("Temp2.Mdb-journal"))));
}

TEST_F(FormTest, ABrokenPlaceholderIsReportedOnceAndTheTerminalStillStarts) {
    writeFile(program.filePath(QStringLiteral("Stok.mdb")), "not a database");
    auto f = form();
    ASSERT_TRUE(f->Form_Load());
    ASSERT_EQ(messages.said.size(), 1);
    EXPECT_TRUE(messages.said[0].contains(QStringLiteral("Stok.mdb")));
    EXPECT_FALSE(child<data::DataControl>(f.get(), "DataTemp")->isOpen());
    EXPECT_EQ(child<QTableView>(f.get(), "DBGrid1")->model()->rowCount(), 0);
}

TEST_F(FormTest, ServerIpMenuStoresTheTrimmedAnswerAndCancelKeepsThePath) {
    auto f = form();
    ASSERT_TRUE(f->Form_Load());
    messages.textAnswer =
        QStringLiteral("   ") + books.serverPath(QStringLiteral("04")) + QStringLiteral("  ");
    f->SrvIp_Click();
    EXPECT_EQ(messages.asked.value(0),
              QStringLiteral("Ana Makina İp Numarası|Ip Numarası Giriniz..\n\n"
                             "( \\\\127.0.0.1\\RezoruviZada\\01 ) Gibi|") +
                  books.serverPath());
    EXPECT_EQ(f->serverPath(), books.serverPath(QStringLiteral("04")));
    EXPECT_EQ(ip(), books.serverPath(QStringLiteral("04")));

    messages.textAccepted = false;
    f->SrvIp_Click();
    EXPECT_EQ(f->serverPath(), books.serverPath(QStringLiteral("04")));
    EXPECT_EQ(ip(), books.serverPath(QStringLiteral("04")));
}

TEST_F(FormTest, FirstActivationSetsUpOnceAndCreatesTheCompanyFile) {
    auto f = form();
    ASSERT_TRUE(f->Form_Load());
    auto* command4 = child<QPushButton>(f.get(), "Command4");
    EXPECT_FALSE(command4->isEnabled());
    f->Form_Activate();
    EXPECT_TRUE(command4->isEnabled());
    EXPECT_TRUE(child<data::DataControl>(f.get(), "DataStok")->isOpen());
    auto* text1 = child<QLineEdit>(f.get(), "Text1");
    const QString firstName = text1->text();
    EXPECT_FALSE(firstName.isEmpty());
    auto* wheel = child<QComboBox>(f.get(), "cmbMouseWheel");
    ASSERT_EQ(wheel->count(), 3);
    EXPECT_EQ(wheel->itemText(0), QStringLiteral("Up"));
    EXPECT_EQ(wheel->currentText(), QStringLiteral("Idle"));
    EXPECT_EQ(readFile(program.filePath(QStringLiteral("Firma.txt"))),
              QByteArray("\"Karvendo\"\r\n"));
    EXPECT_EQ(child<QLabel>(f.get(), "Label8(3)")->text(), QStringLiteral("Karvendo"));

    // Coming back to the front does not run the set-up again.
    wheel->setCurrentIndex(2);
    text1->setText(QStringLiteral("typed"));
    f->Form_Activate();
    EXPECT_EQ(wheel->currentIndex(), 2);
    EXPECT_EQ(text1->text(), QStringLiteral("typed"));
}

TEST_F(FormTest, TheCompanyFileIsReadAsWrittenAndSurvivesDamage) {
    writeFile(program.filePath(QStringLiteral("Firma.txt")), "\"Şen Market\"\r\n");
    auto f = form();
    ASSERT_TRUE(f->Form_Load());
    f->Form_Activate();
    EXPECT_EQ(child<QLabel>(f.get(), "Label8(3)")->text(), QStringLiteral("Şen Market"));

    writeFile(program.filePath(QStringLiteral("Firma.txt")), QByteArray(5000, 'A') + '\0' + "x");
    const app::CompanyName garbage = app::readOrCreateCompanyName(program.path());
    ASSERT_TRUE(garbage.name.has_value());
    EXPECT_LE(garbage.name->size(), 120);
    EXPECT_EQ(readFile(program.filePath(QStringLiteral("Firma.txt"))).size(), 5002);  // untouched
}

TEST_F(FormTest, WindowPlacementIsSavedOnCloseAndRestoredAtTheNextStart) {
    {
        auto f = form();
        ASSERT_TRUE(f->Form_Load());
        f->show();
        f->Form_Activate();
        f->setGeometry(40, 50, 800, 600);
        f->close();
    }
    auto value = [&](const char* name) {
        return settings.ReadRegistryText(Settings::Root::CurrentUser, app::PropertiesKey,
                                         QString::fromUtf8(name));
    };
    for (const char* name : {"TerTop", "TerLeft", "TerWidth", "TerHeight"})
        EXPECT_FALSE(value(name).isEmpty()) << name;

    auto g = form();
    ASSERT_TRUE(g->Form_Load());
    g->show();
    g->Form_Activate();
    const double tpp = 1440.0 / g->logicalDpiX();  // values are in twips
    EXPECT_EQ(g->geometry().size(), QSize(800, 600));
    EXPECT_EQ(
        g->frameGeometry(),
        QRect(qRound(value("TerLeft").toInt() / tpp), qRound(value("TerTop").toInt() / tpp),
              qRound(value("TerWidth").toInt() / tpp), qRound(value("TerHeight").toInt() / tpp)));
}

TEST_F(FormTest, APlacementOffEveryScreenIsNotRestoredAndAnUnshownFormSavesNothing) {
    for (const auto& [name, v] : {std::pair{"TerTop", "900000"},
                                  {"TerLeft", "900000"},
                                  {"TerWidth", "12000"},
                                  {"TerHeight", "9000"}})
        settings.WriteRegistryText(Settings::Root::CurrentUser, app::PropertiesKey,
                                   QString::fromUtf8(name), QString::fromUtf8(v));
    {
        auto f = form();
        ASSERT_TRUE(f->Form_Load());
        f->show();
        f->Form_Activate();
        EXPECT_LT(f->frameGeometry().left(), 5000);
    }
    settings.WriteRegistryText(Settings::Root::CurrentUser, app::PropertiesKey,
                               QStringLiteral("TerTop"), QStringLiteral("unchanged"));
    {
        auto f = form(QStringLiteral("terminal"), QStringLiteral("/nonexistent/01"));
        EXPECT_FALSE(f->Form_Load());
        f->close();
    }
    EXPECT_EQ(settings.ReadRegistryText(Settings::Root::CurrentUser, app::PropertiesKey,
                                        QStringLiteral("TerTop")),
              QStringLiteral("unchanged"));
}

TEST(SettingsStore, MissingOrUnreadableStoresGiveDefaults) {
    QTemporaryDir root;
    Settings s(QStringLiteral("terminal"), root.path());
    EXPECT_EQ(s.GetSetting(app::SettingsSection, app::KeyWorkKind, QStringLiteral("0")),
              QStringLiteral("0"));
    EXPECT_EQ(s.ReadRegistryText(Settings::Root::CurrentUser, app::PropertiesKey,
                                 QStringLiteral("TerTop")),
              QString());
    ASSERT_TRUE(s.SaveSetting(app::SettingsSection, app::KeyWorkKind, QStringLiteral("1")));
    EXPECT_EQ(s.GetSetting(app::SettingsSection, app::KeyWorkKind, QStringLiteral("0")),
              QStringLiteral("1"));
    ASSERT_TRUE(s.WriteRegistryText(Settings::Root::CurrentUser, app::PropertiesKey,
                                    QStringLiteral("01FatNo"), QStringLiteral("1112:")));
    EXPECT_EQ(s.ReadRegistryText(Settings::Root::CurrentUser, app::PropertiesKey,
                                 QStringLiteral("01FatNo")),
              QStringLiteral("1112:"));

    // A folder where the settings file should be: unreadable, so the defaults hold.
    QTemporaryDir broken;
    ASSERT_TRUE(
        QDir().mkpath(broken.filePath(QStringLiteral("VB and VBA Program Settings/terminal.ini"))));
    Settings b(QStringLiteral("terminal"), broken.path());
    EXPECT_EQ(b.GetSetting(app::SettingsSection, app::KeyServerPath, app::DefaultServerPath),
              app::DefaultServerPath);
    // A garbled file likewise.
    QTemporaryDir garbled;
    QDir().mkpath(garbled.filePath(QStringLiteral("VB and VBA Program Settings")));
    writeFile(garbled.filePath(QStringLiteral("VB and VBA Program Settings/terminal.ini")),
              QByteArray("\x00\xff[[[=\n\x01ip", 10));
    Settings g(QStringLiteral("terminal"), garbled.path());
    EXPECT_EQ(g.GetSetting(app::SettingsSection, app::KeyServerPath, app::DefaultServerPath),
              app::DefaultServerPath);
    // One bad line loses nothing else: the stored path is read, a save keeps it.
    writeFile(garbled.filePath(QStringLiteral("VB and VBA Program Settings/terminal.ini")),
              "[Zarvo]\nip=/srv/books/01\n\x01junk line\n");
    {
        QSettings junk(garbled.filePath(QStringLiteral("VB and VBA Program Settings/terminal.ini")),
                       QSettings::IniFormat);
        junk.allKeys();
        ASSERT_EQ(junk.status(), QSettings::FormatError);
    }
    EXPECT_EQ(g.GetSetting(app::SettingsSection, app::KeyServerPath, app::DefaultServerPath),
              QStringLiteral("/srv/books/01"));
    EXPECT_EQ(g.GetSetting(app::SettingsSection, app::KeyWorkKind, QStringLiteral("0")),
              QStringLiteral("0"));
    ASSERT_TRUE(g.SaveSetting(app::SettingsSection, app::KeyWorkKind, QStringLiteral("1")));
    EXPECT_EQ(g.GetSetting(app::SettingsSection, app::KeyWorkKind, QStringLiteral("0")),
              QStringLiteral("1"));
    EXPECT_EQ(g.GetSetting(app::SettingsSection, app::KeyServerPath, app::DefaultServerPath),
              QStringLiteral("/srv/books/01"));
}

TEST(SingleInstance, OneInstancePerExecutable) {
    QTemporaryDir locks;
    app::SingleInstance first(QStringLiteral("/opt/t/terminal"), locks.path());
    app::SingleInstance second(QStringLiteral("/opt/t/terminal"), locks.path());
    app::SingleInstance other(QStringLiteral("/opt/t/terminal2"), locks.path());
    EXPECT_TRUE(first.acquire());
    EXPECT_FALSE(second.acquire());
    EXPECT_TRUE(other.acquire());
}

TEST(Executable, HelpVersionAndASecondStartThatEndsSilently) {
    QProcess help;
    help.start(QStringLiteral(TERMINAL_EXE), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(20000));
    EXPECT_TRUE(help.readAllStandardOutput().contains("--server-path"));
    QProcess version;
    version.start(QStringLiteral(TERMINAL_EXE), {QStringLiteral("--version")});
    ASSERT_TRUE(version.waitForFinished(20000));
    EXPECT_TRUE(version.readAllStandardOutput().contains(TERMINAL_VERSION));

    TempBooks books(20);
    QTemporaryDir config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    const QString workingCopy =
        QFileInfo(QStringLiteral(TERMINAL_EXE)).absolutePath() + QStringLiteral("/Temp1.Mdb");
    QFile::remove(workingCopy);  // its appearance tells that the first instance holds the lock
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(TERMINAL_EXE),
                {QStringLiteral("--server-path"), books.serverPath()});
    ASSERT_TRUE(first.waitForStarted(20000));
    // The first instance is up once its working copy exists.
    for (int i = 0; i < 200 && first.state() == QProcess::Running; ++i) {
        if (QFile::exists(workingCopy)) break;
        first.waitForFinished(50);
    }
    ASSERT_EQ(first.state(), QProcess::Running);
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(TERMINAL_EXE),
                 {QStringLiteral("--server-path"), books.serverPath()});
    const bool ended = second.waitForFinished(20000);
    if (!ended) second.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAll().isEmpty());
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished(5000);
}

TEST(Translations, QtsOwnButtonsSpeakTurkish) {
    ASSERT_TRUE(app::installTurkishTranslations());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("İptal"));
}
