// Benchmarks of TarquelMONITOR: prints its figures; nothing here is asserted.
#include "uBenchCommon.h"
#include "uBenchCycle.h"
#include "uBenchInsert.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    // The ping-cycle section drives the main window: it will need a QApplication on the offscreen platform here.
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("TarquelMONITOR benchmarks"));
    parser.addHelpOption();
    const QCommandLineOption inserts(QStringLiteral("inserts"),
                                     QStringLiteral("InsertDetails calls measured on the program's schema (200)."),
                                     QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption originalInserts(
        QStringLiteral("original-inserts"),
        QStringLiteral("InsertDetails calls measured on the original schema (200; about a second each)."),
        QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption refill(QStringLiteral("refill"), QStringLiteral("Build the 30-day databases again."));
    const QCommandLineOption cache(QStringLiteral("cache"),
                                   QStringLiteral("Directory that keeps the filled databases between runs."),
                                   QStringLiteral("dir"), QStringLiteral(TM_BENCH_CACHE_DIR));
    parser.addOptions({ inserts, originalInserts, refill, cache });
    parser.process(app);

    TBenchOptions options;
    options.cacheDir = parser.value(cache);
    options.refill = parser.isSet(refill);
    bool ok = true;
    options.inserts = parser.value(inserts).toInt(&ok);
    if (!ok || options.inserts < 1)
        parser.showHelp(1);
    options.originalInserts = parser.value(originalInserts).toInt(&ok);
    if (!ok || options.originalInserts < 1)
        parser.showHelp(1);

    RunInsertDetailsBenchmark(options);
    RunPingCycleBenchmark(options);
    return 0;
}
