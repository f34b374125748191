#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <stdexcept>

#include "DemoBooks.h"
#include "app/Settings.h"
#include "app/TerminalForm.h"
#include "core/Clock.h"
#include "entry/NumberBox.h"
#include "support/TestSupport.h"

// A main window on demo books in temporary folders, with recorded messages and settings of its own.
namespace testing_support {

inline const QString CopyFailed = u"Kopyalama Yapılamadı"_s;
inline const QString NoConnection = u"RezoruviZada Directory ile Bağlantı kurulamadı..."_s;

class FormTest : public ::testing::Test {
  protected:
    TempBooks books{40};
    using TerminalForm = app::TerminalForm;
    using Settings = app::Settings;
    QTemporaryDir program;
    QTemporaryDir settingsRoot;
    RecordingMessages messages;
    core::FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(10, 30))};
    Settings settings{u"terminal"_s, settingsRoot.path()};

    void SetUp() override {
        demobooks::Options options;
        options.items = 25;
        demobooks::makePlaceholder(program.filePath(u"Stok.mdb"_s), options);
    }

    app::TerminalContext context(const QString& exe, std::optional<QString> serverPath,
                                 bool ctrl = false) {
        app::TerminalContext c;
        c.env = {exe, program.path(), program.path(), settingsRoot.path()};
        c.messages = &messages;
        c.clock = &clock;
        c.settings = &settings;
        c.ctrlHeld = [ctrl] { return ctrl; };
        c.serverPathOverride = std::move(serverPath);
        return c;
    }
    /// A form on the demo books, or on `serverPath` when one is given.
    std::unique_ptr<TerminalForm> form(const QString& exe = u"terminal"_s,
                                       const QString& serverPath = QString()) {
        return std::make_unique<TerminalForm>(
            context(exe, serverPath.isEmpty() ? books.serverPath() : serverPath));
    }
    template <class T>
    static T* child(QObject* f, const char* name) {
        T* w = f->findChild<T*>(QString::fromUtf8(name));
        if (!w) throw std::runtime_error(std::string("no control ") + name);
        return w;
    }
    /// Everything the program said, for a failure's message.
    std::string said() const { return messages.said.join(u'\n').toStdString(); }
    QString ip() const {
        return settings.GetSetting(app::SettingsSection, app::KeyServerPath, u"-"_s);
    }
    QString registry(const QString& name) const {
        return settings.ReadRegistryText(Settings::Root::CurrentUser, app::PropertiesKey, name);
    }
    void setRegistry(const QString& name, const QString& value) {
        settings.WriteRegistryText(Settings::Root::CurrentUser, app::PropertiesKey, name, value);
    }
};

/// The same window shown, active and set up, as the operator finds it.
class WindowTest : public FormTest {
  protected:
    std::unique_ptr<TerminalForm> f;

    void start(const std::function<void(app::TerminalContext&)>& adjust = {}) {
        app::TerminalContext c = context(u"terminal"_s, books.serverPath());
        c.labelPdfFolder = program.filePath(u"labels"_s);
        if (adjust) adjust(c);
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
    bool shown(const char* name) { return c<QWidget>(name)->isVisible(); }
    // A scanner is a keyboard: it types the code and Enter into whatever has the focus.
    void scan(const QString& code) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClicks(target, code);
        QTest::keyClick(target, Qt::Key_Return);
    }
    void typeQuantity(const QString& text) {
        auto* box = c<entry::NumberBox>("Text2");
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    /// Start, the work kind (0 warehouse, 1 account), the operation's key, then the scans.
    void road(int kind, Qt::Key operation, const QStringList& scans = {},
              const std::function<void(app::TerminalContext&)>& adjust = {}) {
        ASSERT_NO_FATAL_FAILURE(start(adjust));
        f->SbCr_Click(kind);
        if (operation != Qt::Key_unknown) QTest::keyClick(f.get(), operation);
        if (shown("Frame2")) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        for (const QString& code : scans)
            scan(code);
    }
    /// What the lines in the working copy add up to, line by line as exact amounts, and how many.
    core::Money enteredTotal() {
        core::Money total;
        for (const QString& amount :
             column(f->workingCopyPath(), u"SELECT GirenTutar FROM StokKartlar WHERE KalanB<>0"_s))
            total += core::Money::fromDouble(amount.toDouble());
        return total;
    }
    /// The journal beside the books, each entry's `fields` in the order they were written.
    QStringList journal(const QString& fields) {
        return column(books.dataDir() + u"/TerminalJournal.db"_s,
                      u"SELECT %1 FROM Journal ORDER BY rowid"_s.arg(fields));
    }
    int linesLeft() {
        return count(f->workingCopyPath(), u"SELECT count(*) FROM StokKartlar WHERE KalanB<>0"_s);
    }
    QString strip() { return c<QLabel>("StatusStrip")->text(); }
    ::testing::AssertionResult stripSays(const QString& part, bool atEnd = false) {
        const QString s = strip();
        if (atEnd ? s.endsWith(part) : s.contains(part)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << s.toStdString();
    }
    bool waitShown() {
        for (QWidget* panel : f->findChildren<QWidget*>(u"WaitPanel"_s))
            if (panel->isVisible()) return true;
        return false;
    }
    QVariant wc(const QString& code, const char* field) {
        return scalar(f->workingCopyPath(),
                      u"SELECT %1 FROM StokKartlar WHERE StokKod=?"_s.arg(QString::fromUtf8(field)),
                      {code});
    }
};

}  // namespace testing_support
