// Benchmarks of the terminal on large demo books. Each figure is printed beside a baseline measured
// in the same run: `NAME ours_ms=X baseline_ms=Y ratio=R`, or `NAME value=X unit=U`.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdio>

#include "DemoBooks.h"
#include "Harness.h"
#include "app/Settings.h"
#include "app/TerminalForm.h"
#include "core/Clock.h"
#include "core/Messages.h"
#include "filecopy/CopyDatabaseFile.h"

namespace {

class QuietMessages final : public core::Messages {
  public:
    void inform(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool ask(const QString&) override { return true; }
    QString askText(const QString&, const QString&, const QString&, bool* ok) override {
        if (ok) *ok = false;
        return {};
    }
};

void plainCopy(const QString& from, const QString& to) {
    if (!QFile::copy(from, to)) std::fprintf(stderr, "plain copy failed\n");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bench.json");
    const int items = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 100000;

    QTemporaryDir books;
    QTemporaryDir program;
    QTemporaryDir config;
    demobooks::Options options;
    options.items = items;
    demobooks::makeBooks(books.path(), options);
    demobooks::makePlaceholder(program.filePath(QStringLiteral("Stok.mdb")), demobooks::Options{});
    const QString serverPath = books.path() + QStringLiteral("/RezoruviZada/01");
    const QString stock = serverPath + QStringLiteral("Stok.mdb");
    bench::Report report;
    QuietMessages messages;

    // Working-copy copy: the copier in 4096-byte blocks under the engine's read lock, beside a
    // plain file copy of the same file.
    const QString target = program.filePath(QStringLiteral("Temp9.Mdb"));
    const double plain = bench::medianMs(
        7, [&] { plainCopy(stock, target); }, [&] { QFile::remove(target); });
    const double ours = bench::medianMs(
        7, [&] { filecopy::copyDatabaseFile(stock, target, &messages); },
        [&] { QFile::remove(target); });
    report.ratio(QStringLiteral("copy_working_copy_%1_items").arg(items), ours, plain);
    report.value(QStringLiteral("copy_file_size_%1_items").arg(items),
                 static_cast<double>(QFileInfo(stock).size()) / 1e6, QStringLiteral("MB"));

    // Start-up to the shown main window: copy, bindings, first activation and the first paint.
    core::SystemClock clock;
    app::Settings settings(QStringLiteral("terminal"), config.path());
    const double startup = bench::medianMs(5, [&] {
        app::TerminalContext c;
        c.env = {QStringLiteral("terminal"), program.path(), program.path(), config.path()};
        c.messages = &messages;
        c.clock = &clock;
        c.settings = &settings;
        c.ctrlHeld = [] { return false; };
        c.serverPathOverride = serverPath;
        app::TerminalForm form(c);
        if (!form.Form_Load()) std::fprintf(stderr, "start-up failed\n");
        form.show();
        form.Form_Activate();
        form.grab();  // paints every visible control once
    });
    report.value(QStringLiteral("startup_main_window_%1_items").arg(items), startup,
                 QStringLiteral("ms"));

    return report.write(out) ? 0 : 1;
}
