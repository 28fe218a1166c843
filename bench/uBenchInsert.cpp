#include "uBenchInsert.h"

#include "app/uError.h"
#include "app/uNotify.h"
#include "store/uDM.h"
#include "store/uSchema.h"
#include "store/uSqlText.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlQuery>
#include <QVariant>

#include <memory>

namespace {

constexpr int hostCount = 100;
constexpr int intervalSeconds = 100;
constexpr int rowsPerHost = 30 * 86400 / intervalSeconds; // 25,920
constexpr qint64 rowCount = qint64(hostCount) * rowsPerHost;
constexpr int fillVersion = 1; // raise when the generated rows change

const QString triggerName = QStringLiteral("TRG_Details_UPDATE_Hosts_INSERT");

// A plain connection for building a database, without the program's pragmas.
class TBuildDb
{
public:
    explicit TBuildDb(const QString& path)
        : m_name(QStringLiteral("bench-build-%1").arg(++s_count))
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(path);
        if (!m_db.open())
            throw EMonitorError(SqlErrorText(m_db.lastError()));
        // A lost fill is simply made again: no journal, no syncing.
        for (const char* pragma : { "PRAGMA journal_mode = OFF", "PRAGMA synchronous = OFF",
                                    "PRAGMA cache_size = -262144", "PRAGMA temp_store = MEMORY" })
            exec(QString::fromLatin1(pragma));
    }
    ~TBuildDb()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }

    void exec(const QString& sql) { ExecSQL(m_db, sql); }
    void execAll(const QStringList& statements)
    {
        exec(QStringLiteral("BEGIN"));
        for (const QString& statement : statements)
            exec(statement);
        exec(QStringLiteral("COMMIT"));
    }
    QVariant scalar(const QString& sql)
    {
        QSqlQuery query(m_db);
        if (!query.exec(sql) || !query.next())
            throw EMonitorError(SqlErrorText(query.lastError()));
        return query.value(0);
    }

private:
    static inline int s_count = 0;
    QString m_name;
    QSqlDatabase m_db;
};

QStringList statementsStartingWith(const QStringList& statements, const QString& start)
{
    QStringList found;
    for (const QString& statement : statements)
        if (statement.startsWith(start, Qt::CaseInsensitive))
            found << statement;
    return found;
}

QString schemaHash()
{
    const QByteArray text = (SchemaStatements() + OriginalSchemaStatements()).join(QLatin1Char('\n')).toUtf8()
        + QByteArray::number(fillVersion);
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex());
}

// The pings of one cycle come a few milliseconds apart; about one in twenty fails.
QString detailsSelect(const QString& times)
{
    return QStringLiteral("INSERT INTO Details (Host, PingSize, PingTimeout, PingTTL, PingID, PingThreadNum, "
                          "ReplyIPAddr, ReplyStatus,"
                          " ReplyRTT, ReplyDataSize, ReplyTotal, ErrCode, ErrMsg, PingDatetime)"
                          " WITH RECURSIVE h(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM h WHERE n < %1), %2,"
                          " p AS (SELECT k.n AS k, h.n AS h, (k.n * 7 + h.n * 13) % 20 = 0 AS failed FROM k, h)"
                          " SELECT '127.0.1.' || h, 32, 1000, 0, h, %1 - h + 1, CASE WHEN failed THEN '' ELSE "
                          "'127.0.1.' || h END, 0,"
                          " CASE WHEN failed THEN 0 ELSE (k + h) % 4 END, CASE WHEN failed THEN 0 ELSE 32 END, 0, 0,"
                          " CASE WHEN failed THEN 'Request Timed Out' ELSE 'Success' END, %3 FROM p")
        .arg(hostCount)
        .arg(times.section(QLatin1Char('|'), 0, 0), times.section(QLatin1Char('|'), 1));
}

// Builds the program's database with the history dropped in at once (no trigger, index made afterwards), lets
// its trigger fill Hosts with one last ping per host, then copies both tables into the original schema.
void fillDatabases(const QString& programFile, const QString& originalFile)
{
    QFile::remove(programFile);
    QFile::remove(originalFile);
    {
        TBuildDb db(programFile);
        const QStringList statements = SchemaStatements();
        db.execAll(statements);
        db.exec(QStringLiteral("INSERT INTO Hosts (IP, Alias) WITH RECURSIVE h(n) AS (SELECT 1 UNION ALL"
                               " SELECT n + 1 FROM h WHERE n < %1) SELECT '127.0.1.' || n, 'bench ' || n FROM h")
                    .arg(hostCount));
        db.exec(QStringLiteral("DROP TRIGGER ") + triggerName);
        const QStringList indexes = statementsStartingWith(statements, QStringLiteral("CREATE INDEX"));
        static const QRegularExpression indexName(QStringLiteral("^CREATE INDEX (\\w+)"),
                                                  QRegularExpression::CaseInsensitiveOption);
        for (const QString& index : indexes)
            db.exec(QStringLiteral("DROP INDEX ") + indexName.match(index).captured(1));

        const QString start
            = db.scalar(QStringLiteral("SELECT strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime', '-30 days')"))
                  .toString();
        db.exec(QStringLiteral("BEGIN"));
        db.exec(
            detailsSelect(QStringLiteral("k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < %1)|"
                                         "strftime('%Y-%m-%d %H:%M:%f', %2, '+' || (k * %3 + h * 0.007) || ' seconds')")
                              .arg(rowsPerHost - 1)
                              .arg(QuotedStr(start))
                              .arg(intervalSeconds)));
        db.exec(QStringLiteral("COMMIT"));
        for (const QString& index : indexes)
            db.exec(index);
        for (const QString& trigger : statementsStartingWith(statements, QStringLiteral("CREATE TRIGGER")))
            db.exec(trigger);
        db.exec(detailsSelect(
            QStringLiteral("k(n) AS (SELECT %1)|strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')").arg(rowsPerHost)));
    }
    {
        TBuildDb db(originalFile);
        const QStringList statements = OriginalSchemaStatements();
        db.execAll(statements);
        db.exec(QStringLiteral("DROP TRIGGER ") + triggerName);
        db.exec(QStringLiteral("ATTACH %1 AS program").arg(QuotedStr(programFile)));
        db.exec(QStringLiteral("BEGIN"));
        db.exec(QStringLiteral("INSERT INTO Hosts SELECT * FROM program.Hosts"));
        db.exec(QStringLiteral("INSERT INTO Details SELECT * FROM program.Details"));
        db.exec(QStringLiteral("COMMIT"));
        db.exec(QStringLiteral("DETACH program"));
        for (const QString& trigger : statementsStartingWith(statements, QStringLiteral("CREATE TRIGGER")))
            db.exec(trigger);
        const qint64 copied = db.scalar(QStringLiteral("SELECT COUNT(*) FROM Details")).toLongLong();
        if (copied != rowCount)
            throw EMonitorError(
                QStringLiteral("The filled database holds %1 rows instead of %2.").arg(copied).arg(rowCount));
    }
}

struct TSide
{
    QString label;
    QString dir;
    int inserts = 0;
    std::unique_ptr<TfDM> dm;
    std::vector<double> ms;
};

// The data module opens "TarquelMONITOR.db" in the working directory, as the program does.
std::unique_ptr<TfDM> openIn(const QString& dir)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir);
    auto dm = std::make_unique<TfDM>();
    QDir::setCurrent(previous);
    if (!dm->Opened())
        throw EMonitorError(QStringLiteral("The data module did not open %1.").arg(dir));
    return dm;
}

// What the ping cycle hands over for one finished worker; one in ten fails.
void insertOne(TfDM& dm, int i)
{
    const QString host = dm.HostsList.at(i % dm.HostsList.size());
    const bool failed = i % 10 == 9;
    dm.InsertDetails(host, 32, 1000, 0, QString::number(i % hostCount + 1), QString::number(hostCount - i % hostCount),
                     failed ? QString() : host, 0, failed ? 0 : i % 4, failed ? 0 : 32, 0, 0,
                     failed ? QStringLiteral("Request Timed Out") : QStringLiteral("Success"));
}

} // namespace

void RunInsertDetailsBenchmark(const TBenchOptions& options)
{
    PrintHeading(QStringLiteral("InsertDetails: %1 hosts x 30 days of pings at %2 s (%3 rows)")
                     .arg(hostCount)
                     .arg(intervalSeconds)
                     .arg(QLocale(QLocale::English).toString(rowCount)));
    try {
        TSide original{ QStringLiteral("original schema (no index)"),
                        options.cacheDir + QStringLiteral("/original"),
                        options.originalInserts,
                        nullptr,
                        {} };
        TSide program{ QStringLiteral("program's schema"),
                       options.cacheDir + QStringLiteral("/program"),
                       options.inserts,
                       nullptr,
                       {} };
        const QString fileName = QString::fromLatin1(DatabaseFileName);
        const QString originalFile = original.dir + QLatin1Char('/') + fileName;
        const QString programFile = program.dir + QLatin1Char('/') + fileName;
        QDir().mkpath(original.dir);
        QDir().mkpath(program.dir);

        // Cached databases serve for a day: older ones hold fewer pings inside the 30-day window.
        QSettings stamp(options.cacheDir + QStringLiteral("/fill.ini"), QSettings::IniFormat);
        const QDateTime filledAt = stamp.value(QStringLiteral("filled")).toDateTime();
        const bool fits = !options.refill && QFile::exists(originalFile) && QFile::exists(programFile)
            && stamp.value(QStringLiteral("schema")).toString() == schemaHash() && filledAt.isValid()
            && filledAt.secsTo(QDateTime::currentDateTime()) < 86400;
        if (fits) {
            PrintLine(QStringLiteral("  databases: cached in %1, filled %2 min ago")
                          .arg(options.cacheDir)
                          .arg(filledAt.secsTo(QDateTime::currentDateTime()) / 60));
        } else {
            PrintLine(QStringLiteral("  filling the databases in %1 ...").arg(options.cacheDir));
            stamp.remove(QStringLiteral("schema"));
            stamp.sync();
            QElapsedTimer fill;
            fill.start();
            fillDatabases(programFile, originalFile);
            stamp.setValue(QStringLiteral("schema"), schemaHash());
            stamp.setValue(QStringLiteral("filled"), QDateTime::currentDateTime());
            stamp.sync();
            PrintLine(QStringLiteral("  databases: filled in %1 s").arg(fill.elapsed() / 1000.0, 0, 'f', 1));
        }

        QStringList errors;
        Notify::SetErrorHandler([&errors](const QString& message) { errors << message; });
        for (TSide* side : { &program, &original }) {
            PrintLine(QStringLiteral("  measuring %1 inserts on the %2 ...").arg(side->inserts).arg(side->label));
            side->dm = openIn(side->dir);
            const QString lastId = QStringLiteral("SELECT COALESCE(MAX(ID), 0) FROM Details");
            QSqlQuery query(side->dm->SQLConnection);
            if (!query.exec(lastId) || !query.next())
                throw EMonitorError(SqlErrorText(query.lastError()));
            const qint64 before = query.value(0).toLongLong();
            query.finish();
            QElapsedTimer timer;
            for (int i = 0; i < side->inserts; ++i) {
                timer.start();
                insertOne(*side->dm, i);
                side->ms.push_back(timer.nsecsElapsed() / 1e6);
            }
            // The cache stays as filled.
            ExecSQL(side->dm->SQLConnection, QStringLiteral("DELETE FROM Details WHERE ID > %1").arg(before));
            side->dm.reset();
        }
        Notify::SetErrorHandler(nullptr);
        if (!errors.isEmpty())
            PrintLine(QStringLiteral("  %1 inserts failed, first: %2").arg(errors.size()).arg(errors.first()));

        PrintLine(QStringLiteral("  %1 %2 %3 %4 %5")
                      .arg(QStringLiteral("schema"), -28)
                      .arg(QStringLiteral("inserts"), 8)
                      .arg(QStringLiteral("median ms"), 10)
                      .arg(QStringLiteral("p95 ms"), 9)
                      .arg(QStringLiteral("max ms"), 9));
        TLatency figures[2];
        int n = 0;
        for (TSide* side : { &original, &program }) {
            const TLatency l = figures[n++] = Summarize(side->ms);
            PrintLine(QStringLiteral("  %1 %2 %3 %4 %5")
                          .arg(side->label, -28)
                          .arg(l.count, 8)
                          .arg(Ms(l.median), 10)
                          .arg(Ms(l.p95), 9)
                          .arg(Ms(l.max), 9));
        }
        const double medianRatio = figures[1].median > 0 ? figures[0].median / figures[1].median : 0;
        const double p95Ratio = figures[1].p95 > 0 ? figures[0].p95 / figures[1].p95 : 0;
        PrintLine(QStringLiteral("  ratio original/program: median %1 x, p95 %2 x")
                      .arg(medianRatio, 0, 'f', 0)
                      .arg(p95Ratio, 0, 'f', 0));
        PrintLine(QStringLiteral("  targets: program median <= 5 ms %1; median ratio >= 300 %2")
                      .arg(figures[1].median <= 5 ? QStringLiteral("met") : QStringLiteral("MISSED"),
                           medianRatio >= 300 ? QStringLiteral("met") : QStringLiteral("MISSED")));
    } catch (const EMonitorError& e) {
        Notify::SetErrorHandler(nullptr);
        PrintLine(QStringLiteral("  failed: ") + e.Message());
    }
}
