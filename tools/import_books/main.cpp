// Moves a data directory of SQLite books onto a PostgreSQL server.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "bookimport/BookImport.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TERMINAL_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Copies every company file of DATA_DIRECTORY (01Cari.mdb, 01Stok.mdb, …) and the invoice\n"
        "number of FatNo.txt into the PostgreSQL database at SERVER, one schema per file\n"
        "(01cari, 01stok, …). Date texts become dates (\"07.12.2026 14:43\" is read day first).\n"
        "Refuses, writing nothing, when SERVER already holds books or a date cannot be read.\n"
        "Credentials come from libpq's own places: PGUSER, PGPASSWORD, ~/.pgpass, a service "
        "file."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("DATA_DIRECTORY"),
                                 QStringLiteral("Folder of the books, e.g. …/RezoruviZada"));
    parser.addPositionalArgument(QStringLiteral("SERVER"),
                                 QStringLiteral("postgresql://HOST[:PORT]/DATABASE"));
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2) parser.showHelp(2);
    try {
        const data::ImportCount n = data::importBooks(args[0], args[1], [](const QString& file) {
            std::fprintf(stderr, "%s\n", qPrintable(file));
        });
        std::printf("%d files, %d tables, %lld rows\n", n.files, n.tables,
                    static_cast<long long>(n.rows));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "terminal-import-books: %s\n", e.what());
        return 1;
    }
    return 0;
}
