// The terminal: one main window over the books of the accounting package.
#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>

#include "app/AppEnvironment.h"
#include "app/MessageBoxMessages.h"
#include "app/Settings.h"
#include "app/SingleInstance.h"
#include "app/TerminalForm.h"
#include "core/Clock.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(TERMINAL_VERSION));
    // Numbers are read and shown the Turkish way ("." groups thousands, "," is the decimal sign).
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Touch-screen terminal for shops and warehouses, working on the accounting books.\n"
        "Executables whose names end in 1..9 (terminal2, terminal3, ...) are further terminals."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption serverPath(
        QStringLiteral("server-path"),
        QStringLiteral("Use these books for this run without storing the path, e.g. "
                       "/srv/RezoruviZada/01 or \\\\server\\RezoruviZada\\01."),
        QStringLiteral("PATH"));
    parser.addOption(serverPath);
    parser.process(application);

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
    if (parser.isSet(serverPath)) context.serverPathOverride = parser.value(serverPath);

    app::TerminalForm form(context);
    messages.setParent(&form);
    if (!form.Form_Load()) return 0;
    form.show();
    return QApplication::exec();
}
