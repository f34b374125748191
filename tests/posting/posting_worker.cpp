// A terminal that only enters four lines and posts them, again and again, printing each number.
// Usage: test-posting-worker SERVERPATH WORKDIR TERMINAL COUNT [invoice|post [GOFILE]]
// With GOFILE it prints "ready" once its working copy is made and starts when that file exists.
#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>

#include "core/Clock.h"
#include "data/Database.h"
#include "data/DatabaseError.h"
#include "filecopy/CopyDatabaseFile.h"
#include "invoicing/WriteInvoice.h"
#include "modes/WorkingSet.h"
#include "posting/Posting.h"

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 5 || argc > 7) return 2;
    const QString mode = argc >= 6 ? QString::fromLocal8Bit(argv[5]) : QString();
    const bool invoices = mode == u"invoice"_s;
    const QString serverPath = QString::fromLocal8Bit(argv[1]);
    const QString workingCopy =
        QString::fromLocal8Bit(argv[2]) + u"/Temp"_s + QString::fromLocal8Bit(argv[3]) + u".Mdb"_s;
    const long count = QString::fromLocal8Bit(argv[4]).toLong();
    const int terminal = QString::fromLocal8Bit(argv[3]).toInt();
    std::shared_ptr<data::Database> basket;
    try {
        basket =
            modes::openBasket(workingCopy, serverPath + u"Stok.Mdb"_s, data::basket::View::Sale);
    } catch (const data::DatabaseError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 3;
    }
    if (argc == 7) {
        std::printf("ready\n");
        std::fflush(stdout);
        while (!QFile::exists(QString::fromLocal8Bit(argv[6])))
            QThread::msleep(1);
    }
    core::SystemClock clock;
    for (long i = 0; i < count; ++i) {
        try {
            basket->execute(
                u"UPDATE StokKartlar SET KalanB = 1 + (rowid % 3), GirenTutar = (1 + "
                "(rowid % 3)) * Fiyat, Kar = (1 + (rowid % 3)) * Fiyat * Kdv / 100 "
                "WHERE rowid IN (SELECT rowid FROM StokKartlar WHERE StokGizle=0 "
                "ORDER BY rowid LIMIT 4)"_s);
            const QString number =
                invoices ? invoicing::writeInvoice({.serverPath = serverPath,
                                                    .workingCopy = workingCopy,
                                                    .customerTitle = u"ÖZTÜRK MARKET"_s,
                                                    .clock = &clock,
                                                    .terminal = terminal})
                               .key
                         : posting::postWorkingSet({.warehouse = true,
                                                    .sale = i % 2 == 0,
                                                    .serverPath = serverPath,
                                                    .workingCopy = workingCopy,
                                                    .targetTitle = u"KADIKÖY ŞUBESİ"_s,
                                                    .targetIndex = 0,
                                                    .clock = &clock,
                                                    .terminal = terminal})
                               .documentNumber;
            std::printf("%s\n", qPrintable(number));
            std::fflush(stdout);
        } catch (const data::DatabaseError& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.text()));
            return 1;
        }
    }
    return 0;
}
