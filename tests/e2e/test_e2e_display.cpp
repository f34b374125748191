// The real terminal on an X server of its own, driven by xdotool and read back from the books and
// the screen: focus, sizes, separate windows and painting fail here as they never do offscreen.
#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>
#include <iostream>

#include "DemoBooks.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "support/TestSupport.h"

namespace {

using namespace testing_support;

constexpr int ScreenWidth = 1920, ScreenHeight = 1080;
// A second server's screen: a small shop screen.
constexpr int SmallWidth = 1024, SmallHeight = 768;
constexpr double DesignWidth = 1024, DesignHeight = 768;  // the window the layout scales from
// Header colours of the style sheet: a section's fill and its right border.
const QRgb HeaderFill = qRgb(0xdf, 0xe6, 0xee);
const QRgb HeaderBorder = qRgb(0xb9, 0xc7, 0xd8);

// One X server and one set of books for the cases; each case starts its own terminal.
struct Session {
    QProcess xvfb, smallXvfb, terminal;
    QString display, window, smallDisplay;
    QString scale = u"1"_s;  // QT_SCALE_FACTOR of the terminal
    TempBooks books{40};
    QTemporaryDir program, home;
    QStringList codes;  // barcodes of shown items with a price and VAT; the last is the sentinel

    void stopTerminal() {
        terminal.kill();
        terminal.waitForFinished(5000);
    }
    ~Session() {
        stopTerminal();
        for (QProcess* server : {&xvfb, &smallXvfb}) {
            server->terminate();
            if (!server->waitForFinished(5000)) server->kill();
        }
    }
    QString workingCopy() const { return program.filePath(u"Temp1.Mdb"_s); }
};

Session* s = nullptr;

QProcessEnvironment displayEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, s->display);
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);  // the tests themselves run offscreen
    env.insert(u"QT_SCALE_FACTOR"_s, s->scale);
    // Settings, the desktop and runtime files stay inside the session's folders.
    env.insert(u"HOME"_s, s->home.path());
    env.insert(u"XDG_CONFIG_HOME"_s, s->home.filePath(u".config"_s));
    env.insert(u"XDG_DATA_HOME"_s, s->home.filePath(u".local"_s));
    env.insert(u"XDG_RUNTIME_DIR"_s, s->home.filePath(u"run"_s));
    env.insert(u"TMPDIR"_s, s->home.path());  // the single-instance lock of a killed terminal
    return env;
}

// Runs a tool on the display and returns its output; one that fails or hangs fails the case.
QString run(const QString& tool, const QStringList& args, bool mustSucceed = true) {
    QProcess p;
    p.setProcessEnvironment(displayEnvironment());
    p.start(tool, args);
    const std::string call = (tool + u' ' + args.join(u' ')).toStdString();
    if (!p.waitForFinished(20000)) {
        ADD_FAILURE() << call << " did not finish";  // the QProcess kills it
        return {};
    }
    if (mustSucceed && (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0))
        ADD_FAILURE() << call << ": " << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// An xdotool command line; no argument of ours holds a space.
QString xdo(const QString& line, bool mustSucceed = true) {
    return run(u"xdotool"_s, line.split(u' ', Qt::SkipEmptyParts), mustSucceed);
}

void key(const QString& keys) {
    xdo(u"key "_s + keys);
}

// A scanner is a keyboard: the code, then Enter.
void scan(const QString& code) {
    xdo(u"type --delay 15 "_s + code);
    key(u"Return"_s);
}

QRect geometry(const QString& window) {
    QMap<QString, int> v;  // lines of NAME=VALUE
    for (const QString& line : xdo(u"getwindowgeometry --shell "_s + window).split(u'\n'))
        v[line.section(u'=', 0, 0)] = line.section(u'=', 1).toInt();
    return {v[u"X"_s], v[u"Y"_s], v[u"WIDTH"_s], v[u"HEIGHT"_s]};
}

void resizeWindow(int width, int height) {
    xdo(u"windowsize --sync %1 %2 %3"_s.arg(s->window).arg(width).arg(height));
}

// Waits for the terminal to have done something; false when it did not in time or has ended.
bool waitUntil(const std::function<bool()>& done) {
    const QDeadlineTimer deadline(20000);
    while (!done()) {
        if (deadline.hasExpired() || s->terminal.state() != QProcess::Running) return false;
        s->terminal.waitForFinished(25);
    }
    return true;
}

// A value of the working copy; read again while the terminal is replacing the file.
QVariant read(const QString& sql, const QVariantList& params = {}) {
    for (int attempt = 0;; ++attempt) {
        try {
            return scalar(s->workingCopy(), sql, params);
        } catch (const data::DatabaseError&) {
            if (attempt == 200) throw;
            s->terminal.waitForFinished(25);
        }
    }
}

double quantity(const QString& code) {
    return read(u"SELECT coalesce(sum(KalanB), 0) FROM Basket WHERE Barkod=?"_s, {code}).toDouble();
}

int lines() {
    return read(u"SELECT count(*) FROM Basket WHERE KalanB<>0"_s).toInt();
}

// What the totals screen would show, to the kuruş.
double total() {
    return read(u"SELECT round(coalesce(sum(GirenTutar), 0), 2) FROM Basket WHERE Removed=0"_s)
        .toDouble();
}

int documents(const QString& cari) {
    return count(cari, u"SELECT count(*) FROM CariHareket"_s);
}

// The screen now, as home/NAME.png; a failed case keeps its pictures (see TearDown).
QImage screenshot(const QString& name) {
    const QString own = s->home.filePath(name + u".png"_s);
    run(u"import"_s, {u"-window"_s, u"root"_s, own});
    return QImage(own).convertToFormat(QImage::Format_RGB32);
}

// Scans an item and waits until its line holds one more piece.
void scanAndWait(const QString& code) {
    const double before = quantity(code);
    scan(code);
    const bool booked = waitUntil([&] { return quantity(code) == before + 1; });
    if (!booked) screenshot(u"scan-not-booked"_s);
    ASSERT_TRUE(booked) << "the scan of " << code.toStdString() << " was not booked";
}

// The terminal's windows other than its main one: a message box, the wait panel.
QStringList otherWindows() {
    QStringList windows =
        xdo(u"search --onlyvisible --pid "_s + QString::number(s->terminal.processId()), false)
            .split(u'\n', Qt::SkipEmptyParts);
    windows.removeAll(s->window);
    return windows;
}

// Waits for a window besides the main one and keeps a picture of it; empty when none came.
QString opened(const QString& picture) {
    QStringList windows;
    if (!waitUntil([&] { return !(windows = otherWindows()).isEmpty(); })) return QString();
    screenshot(picture);
    return windows.first();
}

// Waits for a message, keeps a picture of it and presses its button; false when none came.
bool dismissMessage(const QString& name) {
    const QString box = opened(name);
    if (box.isEmpty()) return false;
    // No window manager: the box takes the keyboard, and gives it back to the window.
    EXPECT_TRUE(waitUntil([&] { return xdo(u"getwindowfocus"_s) == box; }))
        << "the message did not take the keyboard";
    key(u"Return"_s);
    waitUntil([&] { return !otherWindows().contains(box); });
    // The window, or the next box of the terminal's (a message after a wait given up).
    EXPECT_TRUE(waitUntil([&] {
        const QString focus = xdo(u"getwindowfocus"_s);
        return focus != box && (focus == s->window || otherWindows().contains(focus));
    })) << "the terminal did not get the keyboard back";
    return true;
}

// SATIŞ remakes the working copy while the test reads on; keys arrive in order, so once a scan
// sent after it is the copy's only line the copy is the new one, and SİL empties it.
void chooseSale() {
    key(u"F2"_s);  // SATIŞ to the first branch
    const QString sentinel = s->codes.last();
    scan(sentinel);
    ASSERT_TRUE(waitUntil([&] { return lines() == 1 && quantity(sentinel) == 1; }))
        << "the working copy was not made afresh";
    key(u"F6"_s);  // SİL
    ASSERT_TRUE(waitUntil([] { return lines() == 0; })) << "the sentinel's line was not cleared";
}

// Güncelle, Tamam, and the document reaching the branch's books.
void post(const QString& cari, int expected) {
    key(u"F7"_s);
    key(u"F10"_s);
    ASSERT_TRUE(waitUntil([&] { return documents(cari) == expected; }))
        << "the lines were not posted";
}

// A point of the main window at its designed place, scaled as the layout scales every control.
QPointF designed(const QRect& window, double x, double y) {
    return {window.x() + x * window.width() / DesignWidth,
            window.y() + y * window.height() / DesignHeight};
}

// A point of a grid's first column above its header, and how far down the header may start.
struct HeaderPlace {
    double x, y, bottom;
};
constexpr HeaderPlace ItemGrid{30, 140, 200};
constexpr HeaderPlace TotalsGrid{40, 112, 148};  // above the item grid's, which is under it

// A grid's header as painted: its sections' right borders, and the pixel rows of the first caption.
struct PaintedHeader {
    std::vector<int> borders;
    int captionHeight = 0;
};

PaintedHeader paintedColumns(const QString& name, const QSize& size, const HeaderPlace& place) {
    const QRect window(QPoint(0, 0), size);
    const QPoint inside = designed(window, place.x, place.y).toPoint();
    const int bottom = qRound(designed(window, 0, place.bottom).y());
    PaintedHeader header;
    waitUntil([&] {
        const QImage screen = screenshot(name);
        int y = inside.y();
        while (y < bottom && screen.pixel(inside.x(), y) != HeaderFill)
            ++y;
        header.borders.clear();
        // Within the section's top padding: no caption pixels there.
        for (int x = 0; y < bottom && x < size.width(); ++x)
            if (screen.pixel(x, y + 3) == HeaderBorder) header.borders.push_back(x);
        if (header.borders.size() != 4) return false;
        // The section's fill ends at its bottom border; the caption's dark rows lie within it.
        const int right = header.borders[0];
        header.captionHeight = 0;
        for (int row = y; row < size.height() && screen.pixel(right - 2, row) == HeaderFill; ++row)
            for (int x = inside.x(); x < right - 2; ++x)
                if (qGray(screen.pixel(x, row)) < 100) {
                    ++header.captionHeight;
                    break;
                }
        return true;
    });
    return header;
}

// The terminal on the session's books files or those of `serverPath`, filling the screen or not;
// on a fresh sale, or on the basket a crashed terminal left.
void startTerminal(const QString& serverPath = {}, bool fillScreen = true, bool fresh = true) {
    // Written while the window activates: once it is there, the terminal is ready for keys.
    const QString company = s->program.filePath(u"Firma.txt"_s);
    QFile::remove(company);
    s->terminal.setProcessEnvironment(displayEnvironment());
    s->terminal.setProcessChannelMode(QProcess::ForwardedChannels);
    s->terminal.start(
        s->program.filePath(u"terminal"_s),
        {u"--server-path"_s, serverPath.isEmpty() ? s->books.serverPath() : serverPath,
         u"--report-folder"_s, s->home.filePath(u"reports"_s), u"--label-pdf-folder"_s,
         s->home.filePath(u"labels"_s)});
    ASSERT_TRUE(s->terminal.waitForStarted(20000));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(company); }))
        << "the terminal did not come up";
    s->window = xdo(u"search --sync --onlyvisible --name ^terminal$"_s).section(u'\n', 0, 0);
    ASSERT_FALSE(s->window.isEmpty());
    // No window manager and no tap yet: the terminal takes the keyboard itself.
    ASSERT_TRUE(waitUntil([] { return xdo(u"getwindowfocus"_s) == s->window; }))
        << "the terminal did not take the keyboard";
    if (fillScreen) {
        xdo(u"windowmove --sync %1 0 0"_s.arg(s->window));
        resizeWindow(ScreenWidth, ScreenHeight);
    }
    if (s->codes.isEmpty())
        s->codes = column(s->books.file("01", "Stok"),
                          u"SELECT Barkod FROM StokKartlar WHERE StokGizle=0 AND Fiyat>0 "
                          "AND Kdv>0 AND Barkod<>'' ORDER BY StokKod LIMIT 5"_s);
    ASSERT_EQ(s->codes.size(), 5);
    if (fresh) {
        ASSERT_NO_FATAL_FAILURE(chooseSale());  // keys work before any tap
    }
}

// The operator's way out: back to the mode panel, then "Çıkış".
void closeTerminal() {
    key(u"F9"_s);
    key(u"ctrl+q"_s);
    ASSERT_TRUE(s->terminal.waitForFinished(20000)) << "the terminal did not close";
    EXPECT_EQ(s->terminal.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(s->terminal.exitCode(), 0);
}

// An X server with one screen of `width` × `height`; its display, or empty when it did not start.
QString startServer(QProcess& server, int width, int height) {
    server.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s,
                             u"%1x%2x24"_s.arg(width).arg(height), u"-nolisten"_s, u"tcp"_s});
    // The server picks a free display and writes its number: parallel runs never meet.
    while (!server.canReadLine() && server.waitForReadyRead(20000)) {
    }
    const QString number = QString::fromLatin1(server.readLine()).trimmed();
    return number.isEmpty() ? QString() : u':' + number;
}

void beginSession() {
    s = new Session;
    s->display = startServer(s->xvfb, ScreenWidth, ScreenHeight);
    ASSERT_FALSE(s->display.isEmpty()) << "Xvfb did not start";
    QDir(s->home.path()).mkpath(u"run"_s);
    QFile::setPermissions(s->home.filePath(u"run"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A link of our own: the program folder (working copy, layout files) is this temporary one.
    ASSERT_TRUE(QFile::link(QStringLiteral(TERMINAL_EXE), s->program.filePath(u"terminal"_s)));
    demobooks::makePlaceholder(s->program.filePath(u"Stok.mdb"_s), demobooks::Options{});
}

class RealDisplay : public ::testing::Test {
  protected:
    static void TearDownTestSuite() {
        delete s;
        s = nullptr;
    }
    void SetUp() override {
        for (const char* tool : {"Xvfb", "xdotool", "import"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                GTEST_SKIP() << tool << " is not installed (scripts/install-deps installs it)";
            }
        if (!s) {
            ASSERT_NO_FATAL_FAILURE(beginSession());
        }
        ASSERT_FALSE(s->display.isEmpty()) << "the session did not start";
    }
    // A failed case's pictures are kept for a person to look at; a passing run leaves none.
    void TearDown() override {
        if (!s) return;
        s->stopTerminal();
        if (!HasFailure()) return;
        s->home.setAutoRemove(false);
        std::cerr << "pictures kept in " << s->home.path().toStdString() << '\n';
    }
};

// One walk on the books files: a second start, a miss and a tap that the next scan replaces, the
// grids at a narrow and the full size still booking, and a wait given up that keeps the lines.
TEST_F(RealDisplay, ScansTapsSizesAndAWaitOnFileBooks) {
    ASSERT_NO_FATAL_FAILURE(startTerminal());
    // A second start while this one runs ends at once and silently; the options need no window.
    const QString exe = s->program.filePath(u"terminal"_s);
    EXPECT_EQ(run(exe, {u"--server-path"_s, s->books.serverPath()}), QString());
    EXPECT_TRUE(run(exe, {u"--help"_s}).contains(u"--server-path"_s));
    EXPECT_TRUE(run(exe, {u"--version"_s}).contains(QStringLiteral(TERMINAL_VERSION)));
    const QString code = s->codes[0];
    const double all = read(u"SELECT coalesce(sum(KalanB), 0) FROM Basket"_s).toDouble();
    scan(u"x'*%_[?#"_s);  // quotes and wildcards match nothing; the text stays, selected
    ASSERT_NO_FATAL_FAILURE(scanAndWait(code));
    EXPECT_EQ(read(u"SELECT coalesce(sum(KalanB), 0) FROM Basket"_s).toDouble(), all + 1);
    // A tap into the shown name selects all of it: the next scan replaces it.
    const QPointF name = designed(geometry(s->window), 200, 116);
    xdo(u"mousemove %1 %2 click 1"_s.arg(qRound(name.x())).arg(qRound(name.y())));
    ASSERT_NO_FATAL_FAILURE(scanAndWait(code));

    // Refusals open no box for the next scan's Enter to close unread (keys arrive in order): OK
    // on a name no longer shown, a barcode in the quantity box, a scale label of nothing weighed.
    const double onLine = quantity(code);
    scan(u"8690000009999"_s);
    key(u"Tab"_s);
    xdo(u"type 2"_s);
    key(u"Return"_s);
    ASSERT_NO_FATAL_FAILURE(scanAndWait(code));
    key(u"Tab"_s);
    scan(code);  // into the quantity box
    scan(u"2700031000007"_s);
    ASSERT_NO_FATAL_FAILURE(scanAndWait(code));
    EXPECT_EQ(quantity(code), onLine + 2);
    EXPECT_EQ(quantity(u"2700031"_s), 0);
    EXPECT_TRUE(otherWindows().isEmpty()) << "a refusal opened a window";
    // A price label books what its price buys at the sale price (12,50 TL at 150 TL/kg).
    scan(u"2900033012507"_s);
    EXPECT_TRUE(waitUntil([] { return quantity(u"2900033"_s) == 0.083; }))
        << "the price label was not booked as one package";
    screenshot(u"refusals-and-labels"_s);

    // Killed right after a scan, the terminal loses nothing: the next start is on the same road
    // with the same lines, and scans book onto them.
    const auto road = [] {
        return column(s->workingCopy(), u"SELECT Value FROM Road ORDER BY Key"_s);
    };
    ASSERT_NO_FATAL_FAILURE(scanAndWait(code));
    const QStringList crashedOn = road();
    const double kept = quantity(code), keptTotal = total();
    const int keptLines = lines();
    s->stopTerminal();  // SIGKILL
    ASSERT_NO_FATAL_FAILURE(startTerminal({}, true, false));
    screenshot(u"restored"_s);
    EXPECT_EQ(road(), crashedOn);
    EXPECT_EQ(lines(), keptLines);
    EXPECT_EQ(total(), keptTotal);
    ASSERT_NO_FATAL_FAILURE(scanAndWait(code));
    EXPECT_EQ(quantity(code), kept + 1);

    for (const QSize size :
         {QSize(420, 900), QSize(800, 600), QSize(600, 1024), QSize(ScreenWidth, ScreenHeight)}) {
        SCOPED_TRACE(size.width());
        resizeWindow(size.width(), size.height());
        EXPECT_EQ(geometry(s->window).size(), size);
        ASSERT_NO_FATAL_FAILURE(scanAndWait(s->codes[3]));
        // Both headers paint four columns, their captions readable at arm's length (12 pixels)
        // from the smallest shop screen up; the totals' last column ends inside the window.
        const int readable = size.width() >= 600 && size.height() >= 600 ? 12 : 8;
        const QString picture = u"window-%1x%2"_s.arg(size.width()).arg(size.height());
        const auto header = [&](const QString& name, const HeaderPlace& place) {
            const PaintedHeader painted = paintedColumns(name, size, place);
            EXPECT_GE(painted.captionHeight, readable);
            return painted.borders;
        };
        EXPECT_EQ(header(picture, ItemGrid).size(), 4u);
        key(u"F7"_s);
        const std::vector<int> totals = header(picture + u"-totals"_s, TotalsGrid);
        ASSERT_EQ(totals.size(), 4u);
        EXPECT_LT(totals.back(), size.width());
        EXPECT_GT(totals.back(), size.width() * 0.9);
        key(u"Escape"_s);  // Vazgeç
    }

    // Another terminal holds the branch's books: the window says what it waits for, the operator
    // gives the wait up (Return on its "Vazgeç"), and once the holder is gone the same lines post.
    const QString branchCari = s->books.file("02", "Cari");
    const int before = documents(branchCari), booked = lines();
    key(u"F7"_s);
    {
        auto holder = data::Database::openPrivate(branchCari);
        holder->query(u"BEGIN EXCLUSIVE"_s);
        key(u"F10"_s);
        ASSERT_TRUE(dismissMessage(u"waiting"_s)) << "the wait said nothing";
        ASSERT_TRUE(dismissMessage(u"wait-given-up"_s));
    }
    EXPECT_EQ(documents(branchCari), before);
    EXPECT_EQ(lines(), booked);
    const double onScreen = total(), ofCode = quantity(code);
    key(u"F10"_s);  // the totals screen is still there
    EXPECT_TRUE(waitUntil([&] { return documents(branchCari) == before + 1; }))
        << "the line did not post once the cause was gone";
    // One document of what was entered before and after the crash, and the basket empty.
    EXPECT_TRUE(waitUntil([] { return lines() == 0; })) << "the posted lines stayed";
    const QString document =
        text(branchCari, u"SELECT DigerId FROM CariHareket ORDER BY rowid DESC LIMIT 1"_s);
    EXPECT_EQ(count(branchCari, u"SELECT count(*) FROM CariHareket WHERE DigerId=?"_s, {document}),
              1);
    EXPECT_EQ(scalar(branchCari, u"SELECT round(Alacak, 2) FROM CariHareket WHERE DigerId=?"_s,
                     {document})
                  .toDouble(),
              onScreen);
    EXPECT_EQ(scalar(s->books.file("02", "Stok"),
                     u"SELECT sum(Miktar) FROM StokHareket WHERE DigerId=? AND Barkod=?"_s,
                     {document, code})
                  .toDouble(),
              ofCode);
    // The journal beside the books: the start's "SİL", each "Vazgeç", the wait given up, then the
    // document.
    const QStringList journalled =
        column(s->books.dataDir() + u"/TerminalJournal.db"_s,
               u"SELECT Event || ' ' || Number FROM Journal ORDER BY rowid"_s);
    EXPECT_EQ(journalled, (QStringList{u"removed "_s} + QStringList(4, u"cancelled "_s) +
                           QStringList{u"waitgivenup "_s, u"document "_s + document}));
    ASSERT_NO_FATAL_FAILURE(closeTerminal());
}

// A 1024 × 768 screen at twice the scale, with a placement stored on a larger screen: the window
// and the boxes it opens are wholly on the screen, and a tap opens the work-kind menu.
TEST_F(RealDisplay, AtTwiceTheScaleOnASmallScreenEverythingStaysOnIt) {
    const QString display = s->display;
    const auto back = qScopeGuard([display] {
        s->display = display;
        s->scale = u"1"_s;
    });
    if (s->smallDisplay.isEmpty())
        s->smallDisplay = startServer(s->smallXvfb, SmallWidth, SmallHeight);
    ASSERT_FALSE(s->smallDisplay.isEmpty()) << "the small screen's Xvfb did not start";
    s->display = s->smallDisplay;
    s->scale = u"2"_s;
    {  // 2048 × 1536 pixels at the scale of 1, in twips
        QSettings stored(s->home.filePath(u".config/RarovUv/Properties1.ini"_s),
                         QSettings::IniFormat);
        for (const QString& pair :
             {u"TerTop=0"_s, u"TerLeft=0"_s, u"TerWidth=30720"_s, u"TerHeight=23040"_s})
            stored.setValue(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    }
    ASSERT_NO_FATAL_FAILURE(startTerminal({}, false));
    const QRect screen(0, 0, SmallWidth, SmallHeight), window = geometry(s->window);
    const auto onScreen = [&](const QString& what, const QRect& r) {
        EXPECT_TRUE(screen.contains(r)) << what.toStdString() << " at " << r.x() << "," << r.y()
                                        << " " << r.width() << "x" << r.height();
    };
    onScreen(u"the window"_s, window);
    screenshot(u"twice-the-scale"_s);
    const auto closed = [] {
        EXPECT_TRUE(waitUntil([] { return otherWindows().isEmpty(); })) << "a box stayed";
    };
    // The pointer then rests on the background, where no tooltip opens a window of its own.
    const QPoint rest = designed(window, 700, 75).toPoint();
    const auto tap = [&](double x, double y, int button) {
        const QPoint at = designed(window, x, y).toPoint();
        xdo(QString::asprintf("mousemove %d %d click %d mousemove %d %d", at.x(), at.y(), button,
                              rest.x(), rest.y()));
    };
    tap(120, 34, 1);  // a finger on the work kind
    const QString kinds = opened(u"work-kind-menu"_s);
    ASSERT_FALSE(kinds.isEmpty()) << "a tap on the work kind opened nothing";
    onScreen(u"the work-kind menu"_s, geometry(kinds));
    key(u"Escape"_s);
    closed();
    tap(700, 75, 3);  // the background's menu: "Server İp"
    ASSERT_FALSE(opened(u"background-menu"_s).isEmpty());
    key(u"Down"_s);
    key(u"Return"_s);
    QString box;
    ASSERT_TRUE(waitUntil([&] {
        return !(box = xdo(u"search --onlyvisible --name Ana.Makina"_s, false)).isEmpty();
    })) << "no server path box";
    screenshot(u"server-path-box"_s);
    onScreen(u"the server path box"_s, geometry(box));
    key(u"Escape"_s);  // İptal
    closed();
    ASSERT_NO_FATAL_FAILURE(closeTerminal());
}

// On a server's books: a posting whose answer is lost after the commit (the working copy refuses
// to let its lines go) keeps them until the terminal finds out it was written; a line scanned
// after it goes into a document of its own.
TEST_F(RealDisplay, AWarehouseSaleOnServerBooksAndALostAnswer) {
    if (ServerBooks::testServer().isEmpty()) GTEST_SKIP() << NoTestServer;
    ServerBooks server(s->books);
    const QString branchCari = server.serverPath(u"02"_s) + u"Cari.mdb"_s;
    const int before = documents(branchCari);
    ASSERT_NO_FATAL_FAILURE(startTerminal(server.serverPath()));
    for (int i : {0, 0, 1})
        ASSERT_NO_FATAL_FAILURE(scanAndWait(s->codes[i]));
    ASSERT_NO_FATAL_FAILURE(post(branchCari, before + 1));
    const auto last = [&] {
        return text(branchCari, u"SELECT DigerId FROM CariHareket ORDER BY rowid DESC LIMIT 1"_s);
    };
    EXPECT_EQ(count(server.serverPath(u"01"_s) + u"Stok.mdb"_s,
                    u"SELECT count(*) FROM StokHareket WHERE DigerId=?"_s, {last()}),
              2);  // the head office's side
    EXPECT_TRUE(waitUntil([] { return lines() == 0; })) << "the posted lines stayed";

    ASSERT_NO_FATAL_FAILURE(chooseSale());
    ASSERT_NO_FATAL_FAILURE(scanAndWait(s->codes[2]));
    const auto lose = [](bool on) {
        data::Database::open(s->workingCopy())
            ->query(on ? u"CREATE TRIGGER lost BEFORE DELETE ON Basket BEGIN SELECT "
                         "RAISE(ABORT, 'cevap gelmedi'); END"_s
                       : u"DROP TRIGGER lost"_s);
    };
    lose(true);
    key(u"F7"_s);
    key(u"F10"_s);
    ASSERT_TRUE(dismissMessage(u"lost-answer"_s));
    ASSERT_TRUE(dismissMessage(u"lost-answer-unknown"_s)) << "the terminal did not try to find out";
    EXPECT_EQ(documents(branchCari), before + 2);
    lose(false);
    key(u"Escape"_s);  // Vazgeç
    key(u"Escape"_s);  // an empty search box
    scan(s->codes[3]);
    ASSERT_TRUE(dismissMessage(u"lost-answer-written"_s)) << "it did not say it was written";
    EXPECT_TRUE(waitUntil([] { return quantity(s->codes[3]) == 1; })) << "the scan was not booked";
    EXPECT_EQ(quantity(s->codes[2]), 0);
    ASSERT_NO_FATAL_FAILURE(post(branchCari, before + 3));
    EXPECT_EQ(column(server.serverPath(u"02"_s) + u"Stok.mdb"_s,
                     u"SELECT StokHarKod FROM StokHareket WHERE DigerId=?"_s, {last()}),
              column(s->books.file("01", "Stok"),
                     u"SELECT StokKod FROM StokKartlar WHERE Barkod=?"_s, {s->codes[3]}));
    // The server's journal: each sale's "SİL" before its document; the lost answer is no refusal,
    // its settling follows the "Vazgeç".
    EXPECT_EQ(column(branchCari, u"SELECT event FROM terminal.journal ORDER BY seq"_s),
              (QStringList{u"removed"_s, u"document"_s, u"removed"_s, u"document"_s, u"cancelled"_s,
                           u"settled"_s, u"document"_s}));
    ASSERT_NO_FATAL_FAILURE(closeTerminal());
}

}  // namespace
