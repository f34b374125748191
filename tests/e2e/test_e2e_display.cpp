// The real terminal on a real X server of its own: keys, clicks, drags and window sizes come from
// xdotool, and what they did is read back from the books, the layout files and the screen. Focus,
// window sizes, separate windows and painting work differently on the offscreen platform, so
// faults there only show here.
#include <gtest/gtest.h>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "DemoBooks.h"
#include "data/DatabaseError.h"
#include "support/TestSupport.h"

namespace {

using testing_support::column;
using testing_support::readFile;
using testing_support::scalar;

constexpr int ScreenWidth = 1920;
constexpr int ScreenHeight = 1080;
// The designed window the layout scales from.
constexpr double DesignWidth = 1024;
constexpr double DesignHeight = 768;
// Header colours of the style sheet: a section's fill and its right border.
const QRgb HeaderFill = qRgb(0xdf, 0xe6, 0xee);
const QRgb HeaderBorder = qRgb(0xb9, 0xc7, 0xd8);

// One X server, one set of books and one terminal shared by the cases.
struct Session {
    QProcess xvfb;
    QString display;
    testing_support::TempBooks books{40};
    QTemporaryDir program;
    QTemporaryDir home;
    QProcess terminal;
    QString window;
    QStringList
        codes;  // barcodes of shown items with a price and VAT; the last one is the sentinel

    ~Session() {
        if (terminal.state() != QProcess::NotRunning) {
            terminal.kill();
            terminal.waitForFinished(5000);
        }
        xvfb.terminate();
        if (!xvfb.waitForFinished(5000)) xvfb.kill();
    }
    QString workingCopy() const { return program.filePath(QStringLiteral("Temp1.Mdb")); }
    QString layoutFile() const { return program.filePath(QStringLiteral("ZarvoGrd2.Dat")); }
};

Session* s = nullptr;

QProcessEnvironment displayEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), s->display);
    // The tests themselves run offscreen; the terminal must use the X server.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Settings, the desktop and runtime files stay inside the session's folders.
    env.insert(QStringLiteral("HOME"), s->home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), s->home.filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), s->home.filePath(QStringLiteral(".local")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), s->home.filePath(QStringLiteral("run")));
    return env;
}

// Runs a tool on the display and returns its output; one that fails or hangs fails the case.
QString run(const QString& tool, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(displayEnvironment());
    p.start(tool, args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished(2000);
        ADD_FAILURE() << tool.toStdString() << ' ' << args.join(u' ').toStdString()
                      << " did not finish";
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        ADD_FAILURE() << tool.toStdString() << ' ' << args.join(u' ').toStdString() << ": "
                      << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString xdotool(const QStringList& args) {
    return run(QStringLiteral("xdotool"), args);
}

void key(const QString& keys) {
    xdotool({QStringLiteral("key"), keys});
}

// A scanner is a keyboard: the code, then Enter.
void scan(const QString& code) {
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"), code});
    key(QStringLiteral("Return"));
}

void click(QPointF at) {
    // No --sync: it waits for a move that never comes when the pointer is already there.
    xdotool({QStringLiteral("mousemove"), QString::number(qRound(at.x())),
             QString::number(qRound(at.y())), QStringLiteral("click"), QStringLiteral("1")});
}

QRect geometry(const QString& window) {
    const QString shell =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    auto value = [&shell](const char* name) {
        const QRegularExpression re(QStringLiteral("%1=(-?\\d+)").arg(QLatin1String(name)));
        return re.match(shell).captured(1).toInt();
    };
    return {value("X"), value("Y"), value("WIDTH"), value("HEIGHT")};
}

void resizeWindow(int width, int height) {
    xdotool({QStringLiteral("windowsize"), QStringLiteral("--sync"), s->window,
             QString::number(width), QString::number(height)});
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

double field(const QString& code, const char* name) {
    return read(
               QStringLiteral("SELECT %1 FROM StokKartlar WHERE Barkod=?").arg(QLatin1String(name)),
               {code})
        .toDouble();
}

double bookedPieces() {
    return read(QStringLiteral("SELECT SUM(KalanB) FROM StokKartlar")).toDouble();
}

// X delivers the terminal's input in order: once a scan sent last is booked, all before is done.
void settle() {
    const QString sentinel = s->codes.last();
    const double before = field(sentinel, "KalanB");
    scan(sentinel);
    ASSERT_TRUE(waitUntil([&] { return field(sentinel, "KalanB") == before + 1; }))
        << "the terminal no longer books scans";
}

// Scans an item and waits until its line holds one more piece.
void scanAndWait(const QString& code) {
    const double before = field(code, "KalanB");
    scan(code);
    ASSERT_TRUE(waitUntil([&] { return field(code, "KalanB") == before + 1; }))
        << "the scan of " << code.toStdString() << " was not booked";
}

// The screen now; kept as /tmp/e2e-NAME.png for a person to look at.
QImage screenshot(const QString& name) {
    const QString own = s->home.filePath(name + QStringLiteral(".png"));
    run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), own});
    const QString kept = QStringLiteral("/tmp/e2e-%1.png").arg(name);
    QFile::remove(kept);
    QFile::copy(own, kept);
    return QImage(own).convertToFormat(QImage::Format_RGB32);
}

// A point of the main window at its designed place, scaled as the layout scales every control.
QPointF designed(const QRect& window, double x, double y) {
    return {window.x() + x * window.width() / DesignWidth,
            window.y() + y * window.height() / DesignHeight};
}

// The x of every section's right border in the item grid's header, as painted.
std::vector<int> headerBorders(const QImage& screen, const QRect& window) {
    const QPoint inside =
        designed(window, 30, 140).toPoint();  // in the first column, above the grid
    const int bottom = qRound(designed(window, 0, 200).y());
    int y = inside.y();
    while (y < bottom && screen.pixel(inside.x(), y) != HeaderFill)
        ++y;
    std::vector<int> borders;
    if (y >= bottom) return borders;
    // Within the section's top padding: no caption pixels there.
    for (int x = window.left(); x <= window.right(); ++x)
        if (screen.pixel(x, y + 3) == HeaderBorder) borders.push_back(x);
    return borders;
}

// The header's borders once the screen shows what `painted` waits for (a repaint follows its
// cause a little later), or the last ones seen when it never does.
std::vector<int> paintedBorders(const QString& name, const QRect& window,
                                const std::function<bool(const std::vector<int>&)>& painted) {
    std::vector<int> borders;
    waitUntil([&] {
        borders = headerBorders(screenshot(name), window);
        return painted(borders);
    });
    return borders;
}

auto columnsShown(size_t count) {
    return [count](const std::vector<int>& borders) { return borders.size() == count; };
}

void startTerminal() {
    // Written while the window activates: once it is there, the terminal is ready for keys.
    const QString company = s->program.filePath(QStringLiteral("Firma.txt"));
    QFile::remove(company);
    s->terminal.setProcessEnvironment(displayEnvironment());
    s->terminal.setProcessChannelMode(QProcess::ForwardedChannels);
    s->terminal.start(
        s->program.filePath(QStringLiteral("terminal")),
        {QStringLiteral("--server-path"), s->books.serverPath(), QStringLiteral("--report-folder"),
         s->home.filePath(QStringLiteral("reports")), QStringLiteral("--label-pdf-folder"),
         s->home.filePath(QStringLiteral("labels"))});
    ASSERT_TRUE(s->terminal.waitForStarted(20000));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(company); }))
        << "the terminal did not come up";
    s->window = xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                         QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                         QStringLiteral("^terminal$")})
                    .section(u'\n', 0, 0);
    ASSERT_FALSE(s->window.isEmpty());
    // No window manager: the keyboard goes where the focus is set.
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), s->window});
}

// The operator's way out: back to the mode panel, then "Çıkış".
void closeTerminal() {
    key(QStringLiteral("F9"));
    key(QStringLiteral("ctrl+q"));
    ASSERT_TRUE(s->terminal.waitForFinished(20000)) << "the terminal did not close";
    EXPECT_EQ(s->terminal.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(s->terminal.exitCode(), 0);
}

void beginSession() {
    s = new Session;
    s->xvfb.start(
        QStringLiteral("Xvfb"),
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
         QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(ScreenWidth).arg(ScreenHeight),
         QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    // The server picks a free display and writes its number: parallel runs never meet.
    while (!s->xvfb.canReadLine() && s->xvfb.waitForReadyRead(20000)) {
    }
    const QString number = QString::fromLatin1(s->xvfb.readLine()).trimmed();
    ASSERT_FALSE(number.isEmpty()) << "Xvfb did not start";
    s->display = u':' + number;

    QDir(s->home.path()).mkpath(QStringLiteral("run"));
    QFile::setPermissions(s->home.filePath(QStringLiteral("run")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // A link of our own: the program folder (working copy, layout files) is this temporary one.
    ASSERT_TRUE(
        QFile::link(QStringLiteral(TERMINAL_EXE), s->program.filePath(QStringLiteral("terminal"))));
    demobooks::makePlaceholder(s->program.filePath(QStringLiteral("Stok.mdb")),
                               demobooks::Options{});

    ASSERT_NO_FATAL_FAILURE(startTerminal());
    xdotool({QStringLiteral("windowmove"), QStringLiteral("--sync"), s->window, QStringLiteral("0"),
             QStringLiteral("0")});
    resizeWindow(ScreenWidth, ScreenHeight);
    s->codes = column(s->workingCopy(),
                      QStringLiteral("SELECT Barkod FROM StokKartlar WHERE StokGizle=0 AND Fiyat>0 "
                                     "AND Kdv>0 AND Barkod<>'' ORDER BY StokKod LIMIT 5"));
    ASSERT_EQ(s->codes.size(), 5);
    key(QStringLiteral("F2"));  // SATIŞ to the first branch
    ASSERT_NO_FATAL_FAILURE(settle());
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
        ASSERT_EQ(s->terminal.state(), QProcess::Running) << "the terminal is not running";
        // Whatever a failed case left in the search box must not run into this case's scans.
        key(QStringLiteral("Escape"));
    }
};

TEST_F(RealDisplay, AMissedBarcodeIsReplacedByTheNextScan) {
    const QString code = s->codes[0];
    const double item = field(code, "KalanB");
    const double all = bookedPieces();
    // Quotes and wildcards match nothing; the text stays, selected.
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("15"),
             QStringLiteral("x'*%_[?#")});
    key(QStringLiteral("Return"));
    ASSERT_NO_FATAL_FAILURE(scanAndWait(code));
    EXPECT_EQ(field(code, "KalanB"), item + 1);
    EXPECT_EQ(bookedPieces(), all + 1);  // the miss booked nothing anywhere
}

TEST_F(RealDisplay, ClearedLineBooksOnePieceAfresh) {
    const QString code = s->codes[1];
    scan(code);
    scan(code);
    key(QStringLiteral("F6"));  // SİL
    scan(code);
    ASSERT_NO_FATAL_FAILURE(settle());
    const double price = field(code, "Fiyat");
    EXPECT_EQ(field(code, "KalanB"), 1);
    EXPECT_DOUBLE_EQ(field(code, "GirenTutar"), price);
    EXPECT_DOUBLE_EQ(field(code, "Kar"), price * field(code, "Kdv") / 100.0);
}

TEST_F(RealDisplay, OnScreenKeyboardTypesIntoTheSearchBox) {
    const QString code = s->codes[2];
    const double before = field(code, "KalanB");
    click(designed(geometry(s->window), 764, 34));  // the "⌨" button
    const QString keyboard = xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                      QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                      QStringLiteral("Klavye")})
                                 .section(u'\n', 0, 0);
    ASSERT_FALSE(keyboard.isEmpty()) << "the keyboard did not open";
    const QRect k = geometry(keyboard);
    // The window gave the keyboard its room: nothing of the road lies under it.
    EXPECT_FALSE(geometry(s->window).intersects(k));
    // Keys at their designed places (twips of a 7275 × 2235 client area), scaled to the window.
    auto keyAt = [&k](int left, int top, int width, int height) {
        return QPointF(k.x() + (left + width / 2.0) * k.width() / 7275.0,
                       k.y() + (top + height / 2.0) * k.height() / 2235.0);
    };
    click(keyAt(6060, 1680, 1155, 495));  // "Num": the digits take the space bar's row
    for (const QChar digit : code) {
        const int column = digit == u'0' ? 9 : digit.digitValue() - 1;
        click(keyAt(60 + 545 * column, 1680, 500, 495));  // eleven keys with the comma
    }
    click(keyAt(6060, 1140, 1155, 495));  // "Enter"
    EXPECT_TRUE(waitUntil([&] { return field(code, "KalanB") == before + 1; }))
        << "the keys typed on the keyboard did not book " << code.toStdString();
    key(QStringLiteral("F11"));  // closes it again
    ASSERT_NO_FATAL_FAILURE(settle());
    EXPECT_EQ(field(code, "KalanB"), before + 1);
}

TEST_F(RealDisplay, NarrowAndFullWindowsStillBook) {
    const QString code = s->codes[3];
    for (const QSize size : {QSize(420, 900), QSize(ScreenWidth, ScreenHeight)}) {
        SCOPED_TRACE(size.width());
        resizeWindow(size.width(), size.height());
        EXPECT_EQ(geometry(s->window).size(), size);
        ASSERT_NO_FATAL_FAILURE(scanAndWait(code));
        // The grid's header is painted across the new width, with every shown column.
        const QRect window(QPoint(0, 0), size);
        EXPECT_EQ(
            paintedBorders(QStringLiteral("window-%1x%2").arg(size.width()).arg(size.height()),
                           window, columnsShown(4))
                .size(),
            4u);
    }
}

// The width of each header section, from the painted borders.
int sectionWidth(const std::vector<int>& borders, size_t section) {
    return borders.at(section) - borders.at(section - 1);
}

std::vector<double> savedWidths() {
    std::vector<double> widths;
    for (const QByteArray& line : readFile(s->layoutFile()).split('\n'))
        if (!line.trimmed().isEmpty()) widths.push_back(line.split(',').value(0).toDouble());
    return widths;
}

TEST_F(RealDisplay, DraggedPriceColumnSurvivesARestart) {
    // A fresh start shows every column of the item grid, the price last.
    ASSERT_NO_FATAL_FAILURE(closeTerminal());
    ASSERT_NO_FATAL_FAILURE(startTerminal());
    const QRect window = geometry(s->window);
    ASSERT_EQ(window, QRect(0, 0, ScreenWidth, ScreenHeight)) << "the placement was not restored";
    const std::vector<int> before =
        paintedBorders(QStringLiteral("columns-before"), window, columnsShown(5));
    ASSERT_EQ(before.size(), 5u);
    const int priceWidth = sectionWidth(before, 4);
    ASSERT_FALSE(QFile::exists(s->layoutFile()));

    // The operator drags the price column's right border 50 pixels to the left, in one move: the
    // screen passes through no width but the first and the last.
    const QString y = QString::number(qRound(designed(window, 0, 158).y()));
    const int edge = before[4] - 1;
    xdotool({QStringLiteral("mousemove"), QString::number(edge), y, QStringLiteral("mousedown"),
             QStringLiteral("1"), QStringLiteral("mousemove"), QString::number(edge - 50), y,
             QStringLiteral("mouseup"), QStringLiteral("1")});
    const std::vector<int> dragged =
        paintedBorders(QStringLiteral("columns-dragged"), window, [&](const std::vector<int>& b) {
            return b.size() == 5 && sectionWidth(b, 4) != priceWidth;
        });
    ASSERT_EQ(dragged.size(), 5u);
    EXPECT_EQ(sectionWidth(dragged, 4), priceWidth - 50);

    ASSERT_NO_FATAL_FAILURE(closeTerminal());
    const QByteArray saved = readFile(s->layoutFile());
    const QDateTime written = QFileInfo(s->layoutFile()).lastModified();
    // The file holds what the screen showed: widths in twips, in the proportion of the pixels.
    const std::vector<double> twips = savedWidths();
    ASSERT_EQ(twips.size(), 5u);
    const double perPixel = twips[2] / sectionWidth(dragged, 2);
    EXPECT_NEAR(twips[4] / perPixel, priceWidth - 50, 1.0);
    EXPECT_EQ(saved.count("#TRUE#"), 5);

    ASSERT_NO_FATAL_FAILURE(startTerminal());
    ASSERT_EQ(geometry(s->window), window);
    const std::vector<int> restarted =
        paintedBorders(QStringLiteral("columns-restarted"), window, columnsShown(5));
    ASSERT_EQ(restarted.size(), 5u);
    EXPECT_EQ(sectionWidth(restarted, 4), priceWidth - 50);

    // The program's own column changes are no layout of the operator's: the file stays as saved.
    key(QStringLiteral("F2"));
    resizeWindow(420, 900);
    resizeWindow(ScreenWidth, ScreenHeight);
    ASSERT_NO_FATAL_FAILURE(settle());
    EXPECT_EQ(readFile(s->layoutFile()), saved);
    EXPECT_EQ(QFileInfo(s->layoutFile()).lastModified(), written);
}

}  // namespace
