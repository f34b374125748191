// The terminal: one main window over the books of the accounting package.
#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <optional>

#include "app/AppEnvironment.h"
#include "app/MessageBoxMessages.h"
#include "app/Settings.h"
#include "app/SingleInstance.h"
#include "app/Style.h"
#include "app/TerminalForm.h"
#include "core/Clock.h"

namespace {

struct Options {
    std::optional<QString> serverPath;
    QString reportFolder;
    QString labelPdfFolder;
    bool fullScreen = false;
};

// Parses the command line; --help and --version print and end the program here.
Options parseOptions(const QCoreApplication& application) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Touch-screen terminal for shops and warehouses, working on the accounting books.\n"
        "Muhasebe defterleri üzerinde çalışan dokunmatik mağaza ve depo terminali.\n"
        "Executables whose names end in 1..9 (terminal2, terminal3, ...) are further terminals."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption serverPath(
        QStringLiteral("server-path"),
        QStringLiteral("Use these books for this run without storing the path, e.g. "
                       "/srv/RezoruviZada/01 or \\\\server\\RezoruviZada\\01."),
        QStringLiteral("PATH"));
    QCommandLineOption reportFolder(
        QStringLiteral("report-folder"),
        QStringLiteral("Folder of the count-difference reports (default: C:\\RezoruviZada on "
                       "Windows, ~/RezoruviZada elsewhere)."),
        QStringLiteral("DIR"));
    QCommandLineOption labelPdf(
        QStringLiteral("label-pdf-folder"),
        QStringLiteral(
            "Print price labels as PDF files into this folder instead of on the printer."),
        QStringLiteral("DIR"));
    QCommandLineOption fullScreen(
        QStringLiteral("fullscreen"),
        QStringLiteral("Fill the screen the window opens on, without a frame (a kiosk session)."));
    parser.addOptions({serverPath, reportFolder, labelPdf, fullScreen});
    parser.process(application);
    Options options;
    if (parser.isSet(serverPath)) options.serverPath = parser.value(serverPath);
    options.reportFolder = parser.value(reportFolder);
    options.labelPdfFolder = parser.value(labelPdf);
    options.fullScreen = parser.isSet(fullScreen);
    return options;
}

bool onlyAsksForText(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--help" || a == "-h" || a == "--help-all" || a == "--version" || a == "-v")
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // Help and version need no screen.
    if (onlyAsksForText(argc, argv)) {
        QCoreApplication application(argc, argv);
        QCoreApplication::setApplicationVersion(QStringLiteral(TERMINAL_VERSION));
        parseOptions(application);
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TERMINAL_VERSION));
    // Numbers are read and shown the Turkish way ("." groups thousands, "," is the decimal sign).
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    app::installTurkishTranslations();
    const Options options = parseOptions(application);

    const app::AppEnvironment env = app::AppEnvironment::fromProgram(
        QString::fromLocal8Bit(argv[0]), QCoreApplication::applicationDirPath());
    // A second start of the same executable ends silently.
    app::SingleInstance instance(env.programFolder + u'/' + env.executableName);
    if (!instance.acquire()) return 0;

    // Read before anything slow happens, while the operator still holds the key.
    const bool ctrlHeld = QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier;

    app::MessageBoxMessages messages(env.executableName);
    core::SystemClock clock;
    app::Settings settings(env.executableName);

    app::TerminalContext context;
    context.env = env;
    context.messages = &messages;
    context.clock = &clock;
    context.settings = &settings;
    context.ctrlHeld = [ctrlHeld] { return ctrlHeld; };
    context.serverPathOverride = options.serverPath;
    context.reportFolder = options.reportFolder;
    context.labelPdfFolder = options.labelPdfFolder;
    context.fullScreen = options.fullScreen;

    app::TerminalForm form(context);
    messages.setParent(&form, form.touchButtonModel());
    if (!form.Form_Load()) return 0;
    if (options.fullScreen) {
        form.setWindowFlag(Qt::FramelessWindowHint);
        form.showFullScreen();
    } else {
        form.show();
    }
    return QApplication::exec();
}
