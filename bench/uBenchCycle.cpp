#include "uBenchCycle.h"

#include "app/uError.h"
#include "app/uMain.h"
#include "app/uNotify.h"
#include "i18n/uLanguage.h"
#include "ping/IcmpEcho.h"
#include "store/uDM.h"
#include "store/uSqlText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sqlite3.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <memory>

namespace {

// The 30-day database's hosts come first, so that its runs ping every host that has history.
constexpr int historyHosts = 100;
constexpr int historyRowsPerHost = 30 * 86400 / 100;
constexpr int cycleTimeoutMs = 120000;
// The checks and the comparison with fping assume these; the cycle's settings are written to match.
constexpr int pingTimeoutMs = 1000;
constexpr int pingPacketSize = 32;

QString hostAddress(int i)
{
    if (i < historyHosts)
        return QStringLiteral("127.0.1.%1").arg(i + 1);
    const int j = i - historyHosts;
    return QStringLiteral("127.2.%1.%2").arg(j / 250).arg(j % 250 + 1);
}

QStringList hostAddresses(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << hostAddress(i);
    return list;
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double rusageMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& tv) { return tv.tv_sec * 1e3 + tv.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// A "Name:   value" line of /proc/self/status, as a number (kB for the memory lines).
qint64 statusValue(const char* name)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(name) + ':';
    // Files under /proc report no size: read to the end rather than asking for it.
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Sets the peak resident size back to the current one, so that each run reports its own peak.
bool resetPeakResident()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write("5") == 1;
}

QVariant scalar(const QSqlDatabase& db, const QString& sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql) || !query.next())
        throw EMonitorError(SqlErrorText(query.lastError()));
    return query.value(0);
}

struct TCycleRun
{
    bool filled = false;
    int hosts = 0;
    bool completed = false;
    double wallMs = 0; // Execute to the end-of-cycle "Ready"
    double createWallMs = 0; // inside Execute: the workers made, registered and released
    double uiCpuMs = 0; // UI thread, same span as wallMs
    double createUiCpuMs = 0;
    double processCpuMs = 0; // the whole process until the workers' threads have ended
    double insertSpanMs = 0; // first to last stored ping of the cycle
    qint64 rssBeforeKb = 0;
    qint64 peakKb = 0;
    bool peakReset = false;
    int rows = 0; // Details rows the cycle stored
    int replies = 0; // ... of them with a reply
    int errors = 0;
    int gridLoaded = 0; // rows of the hosts grid's model
    int gridCurrent = 0; // ... that show the host's figures as the table holds them
    int gridFetched = 0; // rows once every row is fetched, as scrolling does
    int gridFetchedCurrent = 0;
    QString firstError;
    int badRepeats = 0; // runs of the same size that missed a reply or did not finish
    qint64 stackKb = 0; // the UI thread's stack mapping after the run: it grows with nested result handling
};

// Where the UI thread's time of one cycle goes: thread CPU by event kind, nested deliveries excluded, and the
// database's own time by statement.
struct TCycleProfile
{
    std::vector<double> nestedMs; // per delivery under way: its nested deliveries' time
    double paintMs = 0; // update requests and paint events: the window drawn and flushed
    double resultMs = 0; // queued calls: the workers' hand-overs (the result handling itself) and the widgets' own
    double otherMs = 0;
    int results = 0; // hand-overs to the application object
    int paints = 0;
    double insertMs = 0; // wall time of InsertDetails' statements, trigger included
    double selectMs = 0; // ... of the grid's row reads
    double otherSqlMs = 0;
    int inserts = 0;
    int selects = 0;
    double historyInsertMs = 0; // ... of them, the hosts that have history (127.0.1.x)
    int historyInserts = 0;
    // Taken when the creation of the workers ends.
    double createPaintMs = 0;
    int createPaints = 0;
    // Thread CPU of one RowOfIP call at the end of the cycle: hosts in the grid's loaded rows, and the rest.
    double rowOfLoadedUs = 0;
    double rowOfMissingUs = 0;
    double uiResultsMs = 0; // the UI thread's CPU from the end of the creation to "Ready"

    void markCreated()
    {
        createPaintMs = paintMs;
        createPaints = paints;
        paintMs = resultMs = otherMs = insertMs = selectMs = otherSqlMs = historyInsertMs = 0;
        results = paints = inserts = selects = historyInserts = 0;
    }
};

TCycleProfile* g_profile = nullptr;

int traceStatement(unsigned type, void* context, void* statement, void* elapsedNs)
{
    auto* profile = static_cast<TCycleProfile*>(context);
    if (type != SQLITE_TRACE_PROFILE || !profile)
        return 0;
    const double ms = double(*static_cast<sqlite3_int64*>(elapsedNs)) / 1e6;
    const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
    const QByteArray whole(sql ? sql : "");
    const QByteArray text = whole.trimmed().left(32).toUpper();
    if (text.startsWith("INSERT INTO DETAILS")) {
        profile->insertMs += ms;
        ++profile->inserts;
        // The statement holds the host as a literal: the 30-day database's own hosts have history.
        if (whole.contains("'127.0.1.")) {
            profile->historyInsertMs += ms;
            ++profile->historyInserts;
        }
    } else if (text.startsWith("SELECT")) {
        profile->selectMs += ms;
        ++profile->selects;
    } else {
        profile->otherSqlMs += ms;
    }
    return 0;
}

sqlite3* sqliteHandle(const QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

struct TFpingRun
{
    bool ran = false;
    double wallMs = 0;
    double cpuMs = 0;
    int alive = 0;
    QString problem;
};

// Every cell of the grid's model against the table, by host.
void checkGrid(const TfDM& dm, TCycleRun* run)
{
    QHash<QString, QSqlRecord> table;
    QSqlQuery query(dm.SQLConnection);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT * FROM Hosts")))
        throw EMonitorError(SqlErrorText(query.lastError()));
    while (query.next())
        table.insert(query.value(QStringLiteral("IP")).toString(), query.record());
    THostsQuery* model = dm.qryHosts;
    const int ipColumn = model->FieldIndex(QStringLiteral("IP"));
    const auto current = [&] {
        int count = 0;
        for (int row = 0; row < model->rowCount(); ++row) {
            const QString ip = model->data(model->index(row, ipColumn), Qt::EditRole).toString();
            const auto found = table.constFind(ip);
            if (found == table.constEnd())
                continue;
            bool same = true;
            for (int c = 0; c < model->columnCount() && same; ++c)
                same = model->data(model->index(row, c), Qt::EditRole).toString() == found->value(c).toString();
            count += same ? 1 : 0;
        }
        return count;
    };
    run->gridLoaded = model->rowCount();
    run->gridCurrent = current();
    // The rows a scrolling operator would bring in next.
    while (model->canFetchMore())
        model->fetchMore();
    run->gridFetched = model->rowCount();
    run->gridFetchedCurrent = current();
}

// The hosts of the run and the settings the figures assume, written before the program opens the file.
void prepareDatabase(const QStringList& hosts)
{
    TfDM prepare;
    if (!prepare.Opened())
        throw EMonitorError(QStringLiteral("The data module did not open the run's database."));
    QSqlDatabase db = prepare.SQLConnection;
    ExecSQL(db, QStringLiteral("BEGIN"));
    ExecSQL(db,
            QStringLiteral("UPDATE Settings SET Language = 1, AutoStartAgent = 0, PingAttemts = 1, PingTimeout = %1,"
                           " PingPacketSize = %2")
                .arg(pingTimeoutMs)
                .arg(pingPacketSize));
    QStringList present;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT IP FROM Hosts")))
        throw EMonitorError(SqlErrorText(query.lastError()));
    while (query.next())
        present << query.value(0).toString();
    query.finish();
    for (const QString& ip : present)
        if (!hosts.contains(ip))
            ExecSQL(db, QStringLiteral("DELETE FROM Hosts WHERE IP = %1").arg(QuotedStr(ip)));
    for (const QString& ip : hosts)
        if (!present.contains(ip))
            ExecSQL(db,
                    QStringLiteral("INSERT INTO Hosts (IP, Alias) VALUES (%1, %2)")
                        .arg(QuotedStr(ip), QuotedStr(QStringLiteral("bench ") + ip)));
    ExecSQL(db, QStringLiteral("COMMIT"));
}

// Pumps the event loop until done() holds or the time is up; the timer only wakes the wait.
bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QTimer wake;
    wake.start(20);
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

TCycleRun runCycle(int hostCount, const QString& filledSource, QStringList* errors, TCycleProfile* profile)
{
    TCycleRun run;
    run.hosts = hostCount;
    run.filled = !filledSource.isEmpty();
    const QStringList hosts = hostAddresses(hostCount);

    QTemporaryDir dir;
    if (!dir.isValid())
        throw EMonitorError(QStringLiteral("No temporary directory: ") + dir.errorString());
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const auto restoreDir = qScopeGuard([&] { QDir::setCurrent(previousDir); });
    if (run.filled && !QFile::copy(filledSource, dir.filePath(QString::fromLatin1(DatabaseFileName))))
        throw EMonitorError(QStringLiteral("Could not copy %1.").arg(filledSource));
    prepareDatabase(hosts);

    const qsizetype errorsBefore = errors->size();
    auto window = std::make_unique<TfMain>();
    fMain = window.get();
    auto dm = std::make_unique<TfDM>();
    fDM = dm.get();
    const auto close = qScopeGuard([&] {
        window->FormClose();
        window.reset();
        fMain = nullptr;
        dm.reset();
        fDM = nullptr;
    });
    if (!dm->Opened())
        throw EMonitorError(QStringLiteral("The data module did not open the run's database."));
    if (dm->HostsList.size() != hostCount)
        throw EMonitorError(
            QStringLiteral("The host list holds %1 hosts instead of %2.").arg(dm->HostsList.size()).arg(hostCount));
    window->BindData();
    window->show();
    QElapsedTimer settle;
    settle.start();
    pumpUntil([&] { return settle.elapsed() > 300; }, 1000);

    const qint64 lastId
        = scalar(dm->SQLConnection, QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM Details")).toLongLong();
    const qint64 threadsBefore = statusValue("Threads");
    run.peakReset = resetPeakResident();
    run.rssBeforeKb = statusValue("VmRSS");

    sqlite3* sqlite = profile ? sqliteHandle(dm->SQLConnection) : nullptr;
    if (sqlite)
        sqlite3_trace_v2(sqlite, SQLITE_TRACE_PROFILE, traceStatement, profile);
    g_profile = profile;
    const auto stopProfile = qScopeGuard([&] {
        g_profile = nullptr;
        if (sqlite)
            sqlite3_trace_v2(sqlite, 0, nullptr, nullptr);
    });

    const double process0 = rusageMs(RUSAGE_SELF);
    const double ui0 = threadCpuMs();
    QElapsedTimer wall;
    wall.start();
    window->acPingHosts->Execute();
    run.createWallMs = wall.nsecsElapsed() / 1e6;
    run.createUiCpuMs = threadCpuMs() - ui0;
    if (profile)
        profile->markCreated();
    run.completed = pumpUntil([&] { return fMain->ThreadNum == 0 && fMain->PanelText(0) == txtReady; }, cycleTimeoutMs);
    run.wallMs = wall.nsecsElapsed() / 1e6;
    run.uiCpuMs = threadCpuMs() - ui0;
    g_profile = nullptr;
    if (profile)
        profile->uiResultsMs = run.uiCpuMs - run.createUiCpuMs;
    // The workers end right after their results were handled; their exits belong to the echo's cost.
    pumpUntil([&] { return statusValue("Threads") <= threadsBefore; }, 5000);
    run.processCpuMs = rusageMs(RUSAGE_SELF) - process0;
    run.peakKb = statusValue("VmHWM");
    run.stackKb = statusValue("VmStk");

    QSqlQuery query(dm->SQLConnection);
    if (!query.exec(QStringLiteral("SELECT COUNT(*), COALESCE(SUM(ReplyDataSize > 0), 0),"
                                   " (julianday(MAX(PingDatetime)) - julianday(MIN(PingDatetime))) * 86400000.0"
                                   " FROM Details WHERE ID > %1")
                        .arg(lastId))
        || !query.next())
        throw EMonitorError(SqlErrorText(query.lastError()));
    run.rows = query.value(0).toInt();
    run.replies = query.value(1).toInt();
    run.insertSpanMs = query.value(2).toDouble();
    query.finish();
    if (profile) {
        // The grid's row lookup as the cycle left the model: each call scans the loaded rows.
        int loaded = 0;
        int missing = 0;
        for (const QString& ip : hosts) {
            const double t0 = threadCpuMs();
            const bool found = dm->qryHosts->RowOfIP(ip) >= 0;
            const double us = (threadCpuMs() - t0) * 1000;
            (found ? profile->rowOfLoadedUs : profile->rowOfMissingUs) += us;
            ++(found ? loaded : missing);
        }
        profile->rowOfLoadedUs /= std::max(1, loaded);
        profile->rowOfMissingUs /= std::max(1, missing);
    }
    checkGrid(*dm, &run);
    run.errors = int(errors->size() - errorsBefore);
    if (run.errors > 0)
        run.firstError = errors->at(errorsBefore);
    return run;
}

TFpingRun runFping(const QString& program, int hostCount)
{
    TFpingRun run;
    QTemporaryDir dir;
    const QString listFile = dir.filePath(QStringLiteral("hosts.txt"));
    QFile list(listFile);
    if (!dir.isValid() || !list.open(QIODevice::WriteOnly | QIODevice::Text)) {
        run.problem = QStringLiteral("no host list file");
        return run;
    }
    list.write(hostAddresses(hostCount).join(QLatin1Char('\n')).toLatin1() + '\n');
    list.close();

    QProcess fping;
    const double children0 = rusageMs(RUSAGE_CHILDREN);
    QElapsedTimer wall;
    wall.start();
    fping.start(program,
                { QStringLiteral("-c1"), QStringLiteral("-t%1").arg(pingTimeoutMs), QStringLiteral("-i1"),
                  QStringLiteral("-b%1").arg(pingPacketSize), QStringLiteral("-q"), QStringLiteral("-f"), listFile });
    if (!fping.waitForFinished(cycleTimeoutMs)) {
        run.problem = fping.errorString();
        fping.kill();
        fping.waitForFinished();
        return run;
    }
    run.wallMs = wall.nsecsElapsed() / 1e6;
    run.cpuMs = rusageMs(RUSAGE_CHILDREN) - children0;
    run.ran = true;
    // With -q, one summary line per target on stderr: "127.0.1.1 : xmt/rcv/%loss = 1/1/0%, ...".
    const QList<QByteArray> lines = fping.readAllStandardError().split('\n');
    run.alive = int(
        std::count_if(lines.begin(), lines.end(), [](const QByteArray& line) { return line.contains("= 1/1/0%"); }));
    if (fping.exitStatus() != QProcess::NormalExit || fping.exitCode() != 0)
        run.problem = QStringLiteral("exit code %1").arg(fping.exitCode());
    return run;
}

QString mb(qint64 kb)
{
    return QString::number(kb / 1024.0, 'f', 1);
}
QString num(double value, int decimals = 1)
{
    return QString::number(value, 'f', decimals);
}
QString met(bool ok)
{
    return ok ? QStringLiteral("met") : QStringLiteral("NOT MET");
}
QString dbName(bool filled)
{
    return filled ? QStringLiteral("30-day") : QStringLiteral("empty");
}

const TCycleRun* findRun(const std::vector<TCycleRun>& runs, bool filled, int hosts)
{
    for (const TCycleRun& run : runs)
        if (run.filled == filled && run.hosts == hosts && run.completed)
            return &run;
    return nullptr;
}

} // namespace

void RunPingCycleBenchmark(const TBenchOptions& options)
{
    const double gapUs = double(EchoSendGap().count());
    QString socketKind = QStringLiteral("none");
    try {
        socketKind = TIcmpEcho().Kind() == TEchoSocketKind::Ping ? QStringLiteral("ping sockets")
                                                                 : QStringLiteral("filtered raw sockets");
    } catch (const EPingProbeError& e) {
        socketKind = e.Message();
    }
    PrintHeading(QStringLiteral("Ping cycle: 1 echo of %1 bytes per host, time-out %2 ms, pacer gap %3 us, %4")
                     .arg(pingPacketSize)
                     .arg(pingTimeoutMs)
                     .arg(gapUs, 0, 'f', 0)
                     .arg(socketKind));
    std::vector<int> sizes = options.cycleHosts;
    std::sort(sizes.begin(), sizes.end());

    QString filledSource;
    if (options.cycleFilled) {
        filledSource = options.cacheDir + QStringLiteral("/program/") + QString::fromLatin1(DatabaseFileName);
        if (QFileInfo::exists(filledSource)) {
            PrintLine(QStringLiteral("  30-day database: a copy of %1 per run; its %2 hosts (127.0.1.1-.%2) hold %3"
                                     " pings each, the other hosts none")
                          .arg(filledSource)
                          .arg(historyHosts)
                          .arg(QLocale(QLocale::English).toString(historyRowsPerHost)));
        } else {
            PrintLine(QStringLiteral("  30-day database: %1 is missing (run the InsertDetails part once); skipped")
                          .arg(filledSource));
            filledSource.clear();
        }
    }
    const QString fping = options.fping ? QStandardPaths::findExecutable(QStringLiteral("fping")) : QString();
    if (options.fping && fping.isEmpty())
        PrintLine(QStringLiteral("  fping: not installed; no comparison"));

    QStringList errors;
    Notify::SetErrorHandler([&errors](const QString& m) { errors << m; });
    Notify::SetInformationHandler([&errors](const QString& m) { errors << QStringLiteral("information: ") + m; });
    Notify::SetConfirmHandler([&errors](const QString& m) {
        errors << QStringLiteral("question: ") + m;
        return false;
    });
    const auto restoreHandlers = qScopeGuard([] {
        Notify::SetErrorHandler(nullptr);
        Notify::SetInformationHandler(nullptr);
        Notify::SetConfirmHandler(nullptr);
    });

    std::vector<TCycleRun> runs;
    QHash<int, TFpingRun> fpings;
    TCycleProfile profiles[2];
    bool profiled[2] = { false, false };
    for (const bool filled : { false, true }) {
        if (filled ? filledSource.isEmpty() : !options.cycleEmpty)
            continue;
        for (const int n : sizes) {
            PrintLine(QStringLiteral("  measuring %1 hosts on the %2 database ...").arg(n).arg(dbName(filled)));
            // With repeats, the run of median wall time stands for the size.
            std::vector<TCycleRun> repeats;
            try {
                for (int k = 0; k < options.cycleRepeat; ++k)
                    repeats.push_back(runCycle(n, filled ? filledSource : QString(), &errors, nullptr));
            } catch (const EMonitorError& e) {
                PrintLine(QStringLiteral("  failed: ") + e.Message());
                continue;
            }
            std::sort(repeats.begin(), repeats.end(),
                      [](const TCycleRun& a, const TCycleRun& b) { return a.wallMs < b.wallMs; });
            runs.push_back(repeats[repeats.size() / 2]);
            // Every run's checks count, not only the one shown.
            TCycleRun& shown = runs.back();
            shown.errors = 0;
            for (const TCycleRun& r : repeats) {
                shown.errors += r.errors;
                if (shown.firstError.isEmpty())
                    shown.firstError = r.firstError;
                shown.badRepeats += r.completed && r.replies == r.hosts && r.rows == r.hosts ? 0 : 1;
            }
            if (!fping.isEmpty() && !fpings.contains(n))
                fpings.insert(n, runFping(fping, n));
        }
        // The profile perturbs the timing a little: it has a run of its own, outside the tables' figures.
        if (options.cycleProfile) {
            PrintLine(
                QStringLiteral("  profiling %1 hosts on the %2 database ...").arg(sizes.back()).arg(dbName(filled)));
            try {
                runCycle(sizes.back(), filled ? filledSource : QString(), &errors, &profiles[filled ? 1 : 0]);
                profiled[filled ? 1 : 0] = true;
            } catch (const EMonitorError& e) {
                PrintLine(QStringLiteral("  failed: ") + e.Message());
            }
        }
    }
    if (runs.empty())
        return;

    PrintLine(QString());
    PrintLine(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8 %9")
                  .arg(QStringLiteral("database"), -9)
                  .arg(QStringLiteral("hosts"), 5)
                  .arg(QStringLiteral("wall ms"), 8)
                  .arg(QStringLiteral("ms/host"), 8)
                  .arg(QStringLiteral("pacer ms"), 9)
                  .arg(QStringLiteral("wall/pacer"), 10)
                  .arg(QStringLiteral("fping ms"), 9)
                  .arg(QStringLiteral("cycle/fping"), 11)
                  .arg(QStringLiteral("stored span ms"), 14));
    for (const TCycleRun& r : runs) {
        const double pacerMs = r.hosts * gapUs / 1000;
        const TFpingRun f = fpings.value(r.hosts);
        PrintLine(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8 %9")
                      .arg(dbName(r.filled), -9)
                      .arg(r.hosts, 5)
                      .arg(r.completed ? Ms(r.wallMs) : QStringLiteral("timeout"), 8)
                      .arg(num(r.wallMs / r.hosts, 2), 8)
                      .arg(Ms(pacerMs), 9)
                      .arg(pacerMs > 0 ? num(r.wallMs / pacerMs) : QStringLiteral("-"), 10)
                      .arg(f.ran ? Ms(f.wallMs) : QStringLiteral("-"), 9)
                      .arg(f.ran && r.completed ? num(r.wallMs / f.wallMs, 2) : QStringLiteral("-"), 11)
                      .arg(Ms(r.insertSpanMs), 14));
    }
    PrintLine(QString());
    PrintLine(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8 %9")
                  .arg(QStringLiteral("database"), -9)
                  .arg(QStringLiteral("hosts"), 5)
                  .arg(QStringLiteral("UI CPU ms"), 9)
                  .arg(QStringLiteral("UI us/host"), 10)
                  .arg(QStringLiteral("create ms"), 9)
                  .arg(QStringLiteral("create CPU"), 10)
                  .arg(QStringLiteral("CPU us/echo"), 11)
                  .arg(QStringLiteral("workers us/echo"), 15)
                  .arg(QStringLiteral("peak MB (before)"), 16));
    for (const TCycleRun& r : runs) {
        const double echoes = std::max(1, r.rows);
        PrintLine(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8 %9")
                      .arg(dbName(r.filled), -9)
                      .arg(r.hosts, 5)
                      .arg(Ms(r.uiCpuMs), 9)
                      .arg(num(r.uiCpuMs * 1000 / r.hosts, 0), 10)
                      .arg(Ms(r.createWallMs), 9)
                      .arg(Ms(r.createUiCpuMs), 10)
                      .arg(num(r.processCpuMs * 1000 / echoes, 0), 11)
                      .arg(num((r.processCpuMs - r.uiCpuMs) * 1000 / echoes, 0), 15)
                      .arg(QStringLiteral("%1 (%2)%3")
                               .arg(mb(r.peakKb), mb(r.rssBeforeKb), r.peakReset ? QString() : QStringLiteral("*")),
                           16));
    }
    PrintLine(QString());
    PrintLine(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8")
                  .arg(QStringLiteral("database"), -9)
                  .arg(QStringLiteral("hosts"), 5)
                  .arg(QStringLiteral("replies/stored/expected"), 23)
                  .arg(QStringLiteral("errors"), 6)
                  .arg(QStringLiteral("grid rows current/loaded"), 24)
                  .arg(QStringLiteral("fping alive"), 11)
                  .arg(QStringLiteral("fping CPU ms"), 12)
                  .arg(QStringLiteral("UI stack kB"), 11));
    bool allReplied = true;
    int errorCount = 0;
    for (const TCycleRun& r : runs) {
        const TFpingRun f = fpings.value(r.hosts);
        allReplied = allReplied && r.badRepeats == 0;
        errorCount += r.errors;
        PrintLine(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8")
                      .arg(dbName(r.filled), -9)
                      .arg(r.hosts, 5)
                      .arg(QStringLiteral("%1/%2/%3").arg(r.replies).arg(r.rows).arg(r.hosts), 23)
                      .arg(r.errors, 6)
                      .arg(QStringLiteral("%1/%2, all %3/%4")
                               .arg(r.gridCurrent)
                               .arg(r.gridLoaded)
                               .arg(r.gridFetchedCurrent)
                               .arg(r.gridFetched),
                           24)
                      .arg(f.ran ? QString::number(f.alive) : QStringLiteral("-"), 11)
                      .arg(f.ran ? Ms(f.cpuMs) : QStringLiteral("-"), 12)
                      .arg(r.stackKb, 11));
        if (!r.firstError.isEmpty())
            PrintLine(QStringLiteral("    first error: ") + r.firstError);
        if (!f.problem.isEmpty())
            PrintLine(QStringLiteral("    fping: ") + f.problem);
    }
    PrintLine(
        QStringLiteral("  UI CPU: the UI thread from Execute to \"Ready\" (creating the workers and handling every"
                       " result); create: inside Execute;"));
    PrintLine(QStringLiteral("  CPU/echo: the whole process until the workers have ended, per stored echo; workers:"
                             " the same less the UI thread."));
    PrintLine(QStringLiteral("  stored span: first to last PingDatetime of the cycle; peak: VmHWM reset before each"
                             " run (* not reset), RSS before in brackets;"));
    PrintLine(QStringLiteral("  UI stack: VmStk after the run, the deepest the UI thread's stack has been so far."));

    // Where the UI thread's time goes.
    if (profiled[0] || profiled[1]) {
        PrintLine(QString());
        PrintLine(
            QStringLiteral("  Where the UI thread's time goes, %1 hosts (a separate profiled run; us per result):")
                .arg(sizes.back()));
        PrintLine(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8 %9 %10")
                      .arg(QStringLiteral("database"), -9)
                      .arg(QStringLiteral("UI CPU"), 6)
                      .arg(QStringLiteral("handling"), 8)
                      .arg(QStringLiteral("Insert SQL"), 10)
                      .arg(QStringLiteral("row SQL"), 7)
                      .arg(QStringLiteral("rest"), 6)
                      .arg(QStringLiteral("paint"), 6)
                      .arg(QStringLiteral("paints"), 6)
                      .arg(QStringLiteral("other"), 6)
                      .arg(QStringLiteral("RowOfIP loaded/not"), 18));
        for (const bool filled : { false, true }) {
            if (!profiled[filled ? 1 : 0])
                continue;
            const TCycleProfile& p = profiles[filled ? 1 : 0];
            const double per = sizes.back();
            const auto us = [per](double ms) { return num(ms * 1000 / per, 0); };
            PrintLine(QStringLiteral("  %1 %2 %3 %4 %5 %6 %7 %8 %9 %10")
                          .arg(dbName(filled), -9)
                          .arg(us(p.uiResultsMs), 6)
                          .arg(us(p.resultMs), 8)
                          .arg(us(p.insertMs), 10)
                          .arg(us(p.selectMs), 7)
                          .arg(us(p.resultMs - p.insertMs - p.selectMs - p.otherSqlMs), 6)
                          .arg(us(p.paintMs), 6)
                          .arg(p.paints, 6)
                          .arg(us(p.otherMs), 6)
                          .arg(QStringLiteral("%1/%2").arg(num(p.rowOfLoadedUs, 0), num(p.rowOfMissingUs, 0)), 18));
            PrintLine(QStringLiteral("    %1 hand-overs; creating the workers: %2 paints, %3 us of paint per worker")
                          .arg(p.results)
                          .arg(p.createPaints)
                          .arg(num(p.createPaintMs * 1000 / sizes.back(), 0)));
            const int plain = p.inserts - p.historyInserts;
            const double plainUs = plain > 0 ? (p.insertMs - p.historyInsertMs) * 1000 / plain : 0;
            if (filled && p.historyInserts > 0) {
                const double historyUs = p.historyInsertMs * 1000 / p.historyInserts;
                PrintLine(QStringLiteral("    InsertDetails SQL: %1 us for a host with 30 days of history (%2 hosts),"
                                         " %3 us without; if all %4 hosts had history: about %5 ms more UI time")
                              .arg(num(historyUs, 0))
                              .arg(p.historyInserts)
                              .arg(num(plainUs, 0))
                              .arg(sizes.back())
                              .arg(num(plain * (historyUs - plainUs) / 1000, 0)));
            }
        }
        PrintLine(QStringLiteral("  UI CPU: the UI thread from the workers' release to \"Ready\"; handling: the "
                                 "hand-over events themselves; Insert SQL and row SQL: the statements"
                                 " of InsertDetails and of the grid's row"));
        PrintLine(QStringLiteral("  refresh; rest: handling less SQL (row lookup, log, panels); paint: drawing and"
                                 " flushing the window; RowOfIP: one lookup at the end."));
    }

    // Targets, reported only.
    PrintLine(QString());
    const int largest = sizes.back();
    const int smallest = sizes.front();
    const auto ratioLine = [&](bool filled, double limit) {
        const TCycleRun* r = findRun(runs, filled, largest);
        const TFpingRun f = fpings.value(largest);
        if (!r || !f.ran)
            return QStringLiteral("not measured");
        const double ratio = r->wallMs / f.wallMs;
        return QStringLiteral("%1 (%2)").arg(met(ratio <= limit), num(ratio, 2));
    };
    if (options.cycleEmpty)
        PrintLine(QStringLiteral("  target: %1-host cycle on the empty database <= fping -i1: %2")
                      .arg(largest)
                      .arg(ratioLine(false, 1.0)));
    if (!filledSource.isEmpty())
        PrintLine(QStringLiteral("  target: %1-host cycle on the 30-day database <= 2 x fping -i1: %2")
                      .arg(largest)
                      .arg(ratioLine(true, 2.0)));
    // "About linear": the per-host cost at the largest size within 1.5 x the one at the smallest.
    if (largest > smallest) {
        for (const bool filled : { false, true }) {
            const TCycleRun* small = findRun(runs, filled, smallest);
            const TCycleRun* large = findRun(runs, filled, largest);
            if (!small || !large)
                continue;
            const double scale = double(largest) / smallest;
            const double wallGrowth = large->wallMs / small->wallMs;
            const double uiGrowth = large->uiCpuMs / small->uiCpuMs;
            PrintLine(QStringLiteral("  target: linear growth %1 -> %2 hosts on the %3 database (x%4 hosts): wall"
                                     " x%5 %6, UI CPU x%7 %8")
                          .arg(smallest)
                          .arg(largest)
                          .arg(dbName(filled))
                          .arg(num(scale))
                          .arg(num(wallGrowth), met(wallGrowth <= 1.5 * scale))
                          .arg(num(uiGrowth), met(uiGrowth <= 1.5 * scale)));
        }
    }
    qint64 peak = 0;
    for (const TCycleRun& r : runs)
        peak = std::max(peak, r.peakKb);
    PrintLine(QStringLiteral("  target: peak resident memory <= 150 MB: %1 (highest %2 MB)")
                  .arg(met(peak <= 150 * 1024), mb(peak)));
    PrintLine(QStringLiteral("  check: every echo replied and stored once: %1; message boxes: %2")
                  .arg(allReplied ? QStringLiteral("yes") : QStringLiteral("NO"))
                  .arg(errorCount == 0 ? QStringLiteral("none") : QString::number(errorCount)));
}

bool TBenchApplication::notify(QObject* receiver, QEvent* event)
{
    TCycleProfile* p = g_profile;
    if (!p || QThread::currentThread() != thread())
        return QApplication::notify(receiver, event);
    const QEvent::Type type = event->type();
    const double t0 = threadCpuMs();
    p->nestedMs.push_back(0);
    const bool result = QApplication::notify(receiver, event);
    const double total = threadCpuMs() - t0;
    const double own = total - p->nestedMs.back();
    p->nestedMs.pop_back();
    if (!p->nestedMs.empty())
        p->nestedMs.back() += total;
    if (type == QEvent::UpdateRequest || type == QEvent::Paint) {
        p->paintMs += own;
        p->paints += type == QEvent::UpdateRequest ? 1 : 0;
    } else if (type == QEvent::MetaCall) {
        // The workers' hand-overs go to the application object; widgets queue some calls of their own.
        p->resultMs += own;
        p->results += receiver == this ? 1 : 0;
    } else {
        p->otherMs += own;
    }
    return result;
}
