// Makes the demo books: a data directory with a head office and three branches, and the
// placeholder stock database that ships beside the terminal.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

#include "DemoBooks.h"
#include "bookimport/BookImport.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TERMINAL_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes DIR/RezoruviZada with the demo books of company 01 (head office) and 02 to 04\n"
        "(branches): 01Cari.mdb, 01Stok.mdb, 01Fatura.mdb, 01Index.mdb and so on.\n"
        "Existing files of those names are replaced. The output is the same on every run.\n"
        "The terminal needs the placeholder stock database \"Stok.mdb\" beside its executable;\n"
        "write it with --placeholder (the build does this for build/bin/Stok.mdb)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("DIR"),
                                 QStringLiteral("Folder in which RezoruviZada is made."));
    QCommandLineOption items(QStringLiteral("items"),
                             QStringLiteral("Number of items in the catalogue (default 300; "
                                            "100000 for benchmarks)."),
                             QStringLiteral("N"), QStringLiteral("300"));
    QCommandLineOption placeholder(
        QStringLiteral("placeholder"),
        QStringLiteral("Also write the placeholder stock database to FILE (put it beside the "
                       "terminal executable as Stok.mdb). DIR may then be left out."),
        QStringLiteral("FILE"));
    QCommandLineOption server(
        QStringLiteral("server"),
        QStringLiteral("Make the books in the PostgreSQL database at URL "
                       "(postgresql://HOST[:PORT]/DATABASE) instead of a folder."),
        QStringLiteral("URL"));
    parser.addOption(items);
    parser.addOption(server);
    parser.addOption(placeholder);
    parser.process(app);

    bool ok = false;
    demobooks::Options options;
    options.items = parser.value(items).toInt(&ok);
    if (!ok || options.items < 1 || options.items > 10'000'000) {
        std::fprintf(stderr, "--items takes a whole number from 1 to 10000000\n");
        return 2;
    }
    const QStringList dirs = parser.positionalArguments();
    if (dirs.size() > 1 ||
        (dirs.isEmpty() && !parser.isSet(placeholder) && !parser.isSet(server))) {
        parser.showHelp(2);
    }
    try {
        if (parser.isSet(server)) {
            // The same books as in a folder, made there first and then moved in one go.
            QTemporaryDir scratch;
            demobooks::makeBooks(scratch.path(), options);
            data::importBooks(scratch.filePath(QStringLiteral("RezoruviZada")),
                              parser.value(server));
            std::printf("%s/01\n", qPrintable(parser.value(server)));
        }
        if (!dirs.isEmpty()) {
            demobooks::makeBooks(dirs.first(), options);
            std::printf("%s\n",
                        qPrintable(QDir(dirs.first()).filePath(QStringLiteral("RezoruviZada"))));
        }
        if (parser.isSet(placeholder)) {
            demobooks::makePlaceholder(parser.value(placeholder), options);
            std::printf("%s\n", qPrintable(parser.value(placeholder)));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "terminal-demo-books: %s\n", e.what());
        return 1;
    }
    return 0;
}
