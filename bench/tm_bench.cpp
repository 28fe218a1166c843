// Benchmarks of TarquelMONITOR: prints its figures; nothing here is asserted.
#include "uBenchCommon.h"
#include "uBenchCycle.h"
#include "uBenchInsert.h"

#include "ping/PingThrd.h"

#include <QCommandLineParser>
#include <QDir>

namespace {

// The offscreen platform says so for every window shown; nothing else is dropped.
QtMessageHandler previousHandler = nullptr;

void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

int main(int argc, char* argv[])
{
    RaisePingFileLimit();
    // The ping cycle runs the main window itself; no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(messageHandler);
    TBenchApplication app(argc, argv);
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
    const QCommandLineOption cycleOnly(QStringLiteral("cycle-only"),
                                       QStringLiteral("Only the ping cycle (uses the cached 30-day database)."));
    const QCommandLineOption noCycle(QStringLiteral("no-cycle"), QStringLiteral("Only the InsertDetails part."));
    const QCommandLineOption hosts(QStringLiteral("hosts"),
                                   QStringLiteral("Host counts of the ping cycle, comma-separated (250,500,1000)."),
                                   QStringLiteral("list"), QStringLiteral("250,500,1000"));
    const QCommandLineOption cycleDb(QStringLiteral("cycle-db"),
                                     QStringLiteral("Databases of the ping cycle: empty, 30-day or both (both)."),
                                     QStringLiteral("which"), QStringLiteral("both"));
    const QCommandLineOption noFping(QStringLiteral("no-fping"), QStringLiteral("No comparison with fping."));
    const QCommandLineOption noProfile(QStringLiteral("no-profile"),
                                       QStringLiteral("No profiled cycle showing where the UI thread's time goes."));
    const QCommandLineOption repeat(QStringLiteral("cycle-repeat"),
                                    QStringLiteral("Runs of each cycle size; the median by wall time is shown (1)."),
                                    QStringLiteral("n"), QStringLiteral("1"));
    parser.addOptions(
        { inserts, originalInserts, refill, cache, cycleOnly, noCycle, hosts, cycleDb, noFping, noProfile, repeat });
    parser.process(app);

    TBenchOptions options;
    // The cycle runs in temporary working directories: a relative cache folder must not follow it there.
    options.cacheDir = QDir(parser.value(cache)).absolutePath();
    options.refill = parser.isSet(refill);
    bool ok = true;
    options.inserts = parser.value(inserts).toInt(&ok);
    if (!ok || options.inserts < 1)
        parser.showHelp(1);
    options.originalInserts = parser.value(originalInserts).toInt(&ok);
    if (!ok || options.originalInserts < 1)
        parser.showHelp(1);
    options.cycleHosts.clear();
    for (const QString& item : parser.value(hosts).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int n = item.trimmed().toInt(&ok);
        // Distinct addresses in 127.0.1.0/24 and 127.2.0.0/16.
        if (!ok || n < 1 || n > 100 + 250 * 256)
            parser.showHelp(1);
        options.cycleHosts.push_back(n);
    }
    if (options.cycleHosts.empty())
        parser.showHelp(1);
    const QString which = parser.value(cycleDb);
    if (which != QLatin1String("both") && which != QLatin1String("empty") && which != QLatin1String("30-day"))
        parser.showHelp(1);
    options.cycleEmpty = which != QLatin1String("30-day");
    options.cycleFilled = which != QLatin1String("empty");
    options.fping = !parser.isSet(noFping);
    options.cycleProfile = !parser.isSet(noProfile);
    options.cycleRepeat = parser.value(repeat).toInt(&ok);
    if (!ok || options.cycleRepeat < 1)
        parser.showHelp(1);
    if (parser.isSet(cycleOnly) && parser.isSet(noCycle))
        parser.showHelp(1);

    if (!parser.isSet(cycleOnly))
        RunInsertDetailsBenchmark(options);
    if (!parser.isSet(noCycle))
        RunPingCycleBenchmark(options);
    return 0;
}
