#include "TempDatabase.h"

#include "app/uError.h"
#include "app/uNotify.h"
#include "i18n/uLanguage.h"
#include "settings/uUtils.h"
#include "store/uDM.h"
#include "store/uSqlText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QThread>

#include <cmath>

#include <sys/stat.h>

namespace {

QStringList recordedErrors;

// Every error box the data module raised since the last call.
QStringList takeErrors()
{
    QStringList errors;
    errors.swap(recordedErrors);
    return errors;
}

QSqlQuery run(TfDM* dm, const QString& sql)
{
    QSqlQuery query(dm->SQLConnection);
    if (!query.exec(sql))
        qWarning().noquote() << "statement failed:" << sql << query.lastError().text();
    return query;
}

QVariant scalar(TfDM* dm, const QString& sql)
{
    QSqlQuery query = run(dm, sql);
    return query.next() ? query.value(0) : QVariant();
}

QStringList column(TfDM* dm, const QString& sql)
{
    QStringList values;
    QSqlQuery query = run(dm, sql);
    while (query.next())
        values << query.value(0).toString();
    return values;
}

void addHost(TfDM* dm, const QString& ip, const QString& alias = QString())
{
    ExecSQL(dm->SQLConnection,
            QStringLiteral("INSERT INTO Hosts (IP, Alias) VALUES (%1, %2)").arg(QuotedStr(ip), QuotedStr(alias)));
}

// A value of the host's row and the storage class SQLite gave it.
QVariant hostValue(TfDM* dm, const QString& ip, const QString& name)
{
    return scalar(dm, QStringLiteral("SELECT %1 FROM Hosts WHERE IP = %2").arg(name, QuotedStr(ip)));
}

QString hostType(TfDM* dm, const QString& ip, const QString& name)
{
    return hostValue(dm, ip, QStringLiteral("typeof(%1)").arg(name)).toString();
}

QStringList hostRow(TfDM* dm, const QString& ip)
{
    QSqlQuery query = run(dm, QStringLiteral("SELECT * FROM Hosts WHERE IP = %1").arg(QuotedStr(ip)));
    QStringList values;
    if (query.next()) {
        for (int i = 0; i < query.record().count(); ++i)
            values << (query.isNull(i) ? QStringLiteral("<null>") : query.value(i).toString());
    }
    return values;
}

// One ping result as the ping cycle hands it over: a success when dataSize > 0.
void ping(TfDM* dm, const QString& host, double dataSize, double rtt = 1,
          const QString& replyIP = QStringLiteral("127.0.0.1"))
{
    dm->InsertDetails(host, 32, 1000, 0, QStringLiteral("1"), QStringLiteral("1"), replyIP, 0, rtt, dataSize, 0, 0,
                      dataSize > 0 ? QStringLiteral("Success") : QStringLiteral("Request Timed Out"));
}

// Two rows stored in the same millisecond would tie on PingDatetime.
void nextMillisecond()
{
    QThread::msleep(3);
}

QString normalized(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    // A default written in parentheses is the same default.
    if (text.startsWith(QLatin1Char('(')) && text.endsWith(QLatin1Char(')')))
        text = text.mid(1, text.size() - 2);
    return text;
}

const QString localTimePattern = QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}$");

QDateTime fixedNow()
{
    return QDateTime(QDate(2014, 5, 14), QTime(10, 37, 25, 400));
}

TDateTime at(int h, int mi, int s, int day = 14)
{
    return DateTimeFromQt(QDateTime(QDate(2014, 5, day), QTime(h, mi, s)));
}

void writeFile(const QString& name, const QByteArray& content)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

struct HelperResult
{
    QStringList errors;
    bool opened = false;
    bool finished = false;
};

// Runs a second program start-up in the given directory, as a process of its own.
HelperResult openInOtherProcess(const QString& directory)
{
    HelperResult result;
    QProcess helper;
    helper.start(QStringLiteral(UDM_OPEN_HELPER), { directory });
    result.finished
        = helper.waitForFinished(30000) && helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0;
    if (!result.finished)
        helper.kill();
    for (const QString& line : QString::fromUtf8(helper.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("error: ")))
            result.errors << line.mid(7);
        else if (line == QLatin1String("opened: 1"))
            result.opened = true;
    }
    return result;
}

} // namespace

class TestDM : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Notify::SetErrorHandler([](const QString& message) { recordedErrors << message; });
    }

    void init()
    {
        takeErrors();
        SetNowFunction(nullptr);
    }

    // A box nobody expected is a fault of its own.
    void cleanup()
    {
        const QStringList errors = takeErrors();
        SetNowFunction(nullptr);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1String(" | "))));
    }

    // ---- Opening ------------------------------------------------------------------------------------------------

    void newDatabaseSchema_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns"); // name|declared type|notnull|default|pk

        QStringList hosts = { "IP|VARCHAR(15)|1||1", "Alias|VARCHAR(50)|0||0", "LastPingDate|DATETIME|0||0",
                              "LastPingResponse|NVARCHAR(20)|0|0|0" };
        for (const char* window : { "24", "Week", "Month" }) {
            const QString w = QString::fromLatin1(window);
            hosts << "TotalPings" + w + "|INT|1|0|0"
                  << "SuccessPings" + w + "|INT|1|0|0"
                  << "SuccessRate" + w + "|DECIMAL(38,2)|1|0|0";
        }
        QTest::addRow("Hosts") << "Hosts" << hosts;
        QTest::addRow("Details") << "Details"
                                 << QStringList{ "ID|INTEGER|0||1",
                                                 "Host|NVARCHAR(50)|1||0",
                                                 "PingSize|DECIMAL(38,20)|1|\"0\"|0",
                                                 "PingTimeout|DECIMAL(38,20)|1|\"0\"|0",
                                                 "PingTTL|DECIMAL(38,20)|1|\"0\"|0",
                                                 "PingId|NVARCHAR(50)|0||0",
                                                 "PingThreadNum|NVARCHAR(50)|0||0",
                                                 "ReplyIPAddr|NVARCHAR(50)|0||0",
                                                 "ReplyStatus|INTEGER|1|\"0\"|0",
                                                 "ReplyRTT|DECIMAL(38,20)|1|\"0\"|0",
                                                 "ReplyDataSize|DECIMAL(38,20)|1|\"0\"|0",
                                                 "ReplyTotal|INTEGER|1|\"0\"|0",
                                                 "ErrCode|INTEGER|1|\"0\"|0",
                                                 "ErrMsg|NVARCHAR(100)|0||0",
                                                 "PingDatetime|DATETIME|1|GETDATE()|0" };
        QTest::addRow("Settings") << "Settings"
                                  << QStringList{ "DatabasePath|NVARCHAR(100)|0||1",
                                                  "PingTimeout|INTEGER|1|1000|0",
                                                  "PingPacketSize|INTEGER|1|32|0",
                                                  "PingAttemts|INTEGER|1|1|0",
                                                  "PingInterval|INTEGER|1|100|0",
                                                  "SendEmailinterval|INTEGER|1|43200|0",
                                                  "EmailRecipients|NVARCHAR(1000)|0||0",
                                                  "ServerPort|INTEGER|0||0",
                                                  "ServerAdd|NVARCHAR(32)|0||0",
                                                  "User|NVARCHAR(50)|0||0",
                                                  "Password|NVARCHAR(50)|0||0",
                                                  "Proxy|NVARCHAR(32)|0||0",
                                                  "ProxyPort|INTEGER|0||0",
                                                  "ProxyUser|NVARCHAR(50)|0||0",
                                                  "ProxyPass|NVARCHAR(50)|0||0",
                                                  "AutoStartAgent|BOOLEAN|1|true|0",
                                                  "Language|TINYINT|1|0|0" };
    }

    void newDatabaseSchema()
    {
        QFETCH(QString, table);
        QFETCH(QStringList, columns);

        TempDatabase db;
        QVERIFY(db.dm()->Opened());
        QStringList actual;
        QSqlQuery info = run(db.dm(), QStringLiteral("PRAGMA table_info(%1)").arg(table));
        while (info.next()) {
            actual << QStringList{ info.value(QStringLiteral("name")).toString(),
                                   normalized(info.value(QStringLiteral("type")).toString()),
                                   info.value(QStringLiteral("notnull")).toString(),
                                   normalized(info.value(QStringLiteral("dflt_value")).toString()),
                                   info.value(QStringLiteral("pk")).toString() }
                          .join(QLatin1Char('|'));
        }
        QCOMPARE(actual, columns);
    }

    void newDatabaseObjects()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        QVERIFY(dm->Opened());
        QCOMPARE(column(dm, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")),
                 (QStringList{ "Details", "Hosts", "Settings", "sqlite_sequence" }));
        const QStringList indexes = column(dm, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index'"));
        QVERIFY(indexes.contains(QStringLiteral("sqlite_autoindex_Hosts_1")));
        QVERIFY(indexes.contains(QStringLiteral("sqlite_autoindex_Settings_1")));
        QCOMPARE(column(dm,
                        QStringLiteral("SELECT name || ' on ' || tbl_name FROM sqlite_master WHERE type = "
                                       "'trigger'")),
                 QStringList{ "TRG_Details_UPDATE_Hosts_INSERT on Details" });
        QSqlQuery fk = run(dm, QStringLiteral("PRAGMA foreign_key_list(Details)"));
        QVERIFY(fk.next());
        QCOMPARE(fk.value(QStringLiteral("table")).toString(), QStringLiteral("Hosts"));
        QCOMPARE(fk.value(QStringLiteral("from")).toString(), QStringLiteral("Host"));
        QCOMPARE(fk.value(QStringLiteral("to")).toString(), QStringLiteral("IP"));
        QCOMPARE(fk.value(QStringLiteral("on_delete")).toString(), QStringLiteral("CASCADE"));
        QVERIFY(!fk.next());
        QCOMPARE(scalar(dm, QStringLiteral("PRAGMA encoding")).toString(), QStringLiteral("UTF-8"));

        // The default row: every column but Language from its default.
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM Settings")).toInt(), 1);
        QSqlQuery row = run(dm, QStringLiteral("SELECT * FROM Settings"));
        QVERIFY(row.next());
        const QHash<QString, QVariant> defaults
            = { { "PingTimeout", 1000 },        { "PingPacketSize", 32 }, { "PingAttemts", 1 }, { "PingInterval", 100 },
                { "SendEmailinterval", 43200 }, { "AutoStartAgent", 1 },  { "Language", 0 } };
        for (int i = 0; i < row.record().count(); ++i) {
            const QString name = row.record().fieldName(i);
            if (defaults.contains(name))
                QCOMPARE(row.value(i).toInt(), defaults.value(name).toInt());
            else
                QVERIFY2(row.isNull(i), qPrintable(name));
        }
        QCOMPARE(scalar(dm, QStringLiteral("SELECT typeof(AutoStartAgent) FROM Settings")).toString(),
                 QStringLiteral("integer"));
    }

    void newDatabaseOpening()
    {
        SetNowFunction(fixedNow);
        LoadEnglishTexts();
        TempDatabase db;
        TfDM* dm = db.dm();
        QVERIFY(dm->Opened());

        // The file holds the mail passwords.
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(db.databasePath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0600));

        const QHash<QString, QString> pragmas
            = { { "foreign_keys", "1" },      { "locking_mode", "exclusive" }, { "synchronous", "0" },
                { "journal_mode", "delete" }, { "cache_size", "10000" },       { "busy_timeout", "10000" } };
        for (auto it = pragmas.cbegin(); it != pragmas.cend(); ++it)
            QCOMPARE(scalar(dm, "PRAGMA " + it.key()).toString(), it.value());

        const QString stamp = scalar(dm, QStringLiteral("SELECT GETDATE()")).toString();
        QVERIFY2(QRegularExpression(localTimePattern).match(stamp).hasMatch(), qPrintable(stamp));
        const QDateTime stamped = QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        QVERIFY(std::abs(stamped.msecsTo(QDateTime::currentDateTime())) < 60000);

        // The stored language 0, the default intervals of 100 s and 12 h from the fixed clock.
        QCOMPARE(txtReady, QStringLiteral("Pronto"));
        QVERIFY(std::fabs(dm->NextRunAt - (at(10, 38, 20) + 1e-7)) < 1e-10);
        QVERIFY(std::fabs(dm->NextEmailAt - (at(12, 0, 0) + 1e-7)) < 1e-10);
        QVERIFY(dm->HostsList.isEmpty());
        QCOMPARE(dm->qryHosts->State(), TDataSetState::Browse);
        // The schema's transaction is closed: a new one can begin.
        QVERIFY(QSqlQuery(dm->SQLConnection).exec(QStringLiteral("BEGIN")));
        QVERIFY(QSqlQuery(dm->SQLConnection).exec(QStringLiteral("ROLLBACK")));
        QVERIFY(!dm->dsSettingsEdit);
        QVERIFY(!dm->dsSettingsInsert);
    }

    void existingDatabaseIsUsedUnchanged()
    {
        TempDatabase db;
        addHost(db.dm(), QStringLiteral("127.0.0.2"), QStringLiteral("first"));
        addHost(db.dm(), QStringLiteral("127.0.0.3"), QStringLiteral("second"));
        ExecSQL(db.dm()->SQLConnection,
                QStringLiteral("UPDATE Settings SET PingInterval = 600, SendEmailinterval = 604800"));

        SetNowFunction(fixedNow);
        TfDM* dm = db.Open();
        QVERIFY(dm->Opened());
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM Settings")).toInt(), 1);
        QCOMPARE(dm->HostsList, (QStringList{ "127.0.0.2", "127.0.0.3" }));
        QCOMPARE(dm->qryHosts->rowCount(), 2);
        // The schedule is realigned to the stored intervals at every start.
        QVERIFY(std::fabs(dm->NextRunAt - (at(10, 40, 0) + 1e-7)) < 1e-10);
        QVERIFY(std::fabs(dm->NextEmailAt - (at(0, 0, 0, 18) + 1e-7)) < 1e-10);
    }

    void languageAtOpening_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("ready");
        QTest::addRow("0") << "0"
                           << "Pronto";
        QTest::addRow("1") << "1"
                           << "Ready";
        QTest::addRow("7") << "7"
                           << "Ready";
        QTest::addRow("-1") << "-1"
                            << "Ready";
    }

    void languageAtOpening()
    {
        QFETCH(QString, stored);
        QFETCH(QString, ready);
        TempDatabase db;
        ExecSQL(db.dm()->SQLConnection, "UPDATE Settings SET Language = " + stored);
        ApplyLanguageRule(stored == QLatin1String("0") ? 1 : 0);
        QVERIFY(db.Open()->Opened());
        QCOMPARE(txtReady, ready);
    }

    void emptyFileIsTakenAsNew()
    {
        TempDatabase db(false);
        writeFile(db.databasePath(), QByteArray());
        TfDM* dm = db.Open();
        QVERIFY(dm->Opened());
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM Settings")).toInt(), 1);
        QCOMPARE(column(dm, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'")),
                 QStringList{ "TRG_Details_UPDATE_Hosts_INSERT" });
        addHost(dm, QStringLiteral("127.0.0.2"));
        ping(dm, QStringLiteral("127.0.0.2"), 32);
        QCOMPARE(hostValue(dm, QStringLiteral("127.0.0.2"), QStringLiteral("TotalPings24")).toInt(), 1);
    }

    void foreignFileFails_data()
    {
        QTest::addColumn<bool>("sqlite");
        QTest::addColumn<QString>("error");
        QTest::addRow("unrelated table") << true << "no such table: Hosts";
        QTest::addRow("no database at all") << false << "file is not a database";
    }

    void foreignFileFails()
    {
        QFETCH(bool, sqlite);
        QFETCH(QString, error);

        TempDatabase db(false);
        if (sqlite) {
            {
                QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
                other.setDatabaseName(db.databasePath());
                QVERIFY(other.open());
                QVERIFY(QSqlQuery(other).exec(QStringLiteral("CREATE TABLE Other (x INTEGER)")));
                other.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
        } else {
            writeFile(db.databasePath(),
                      QByteArray("These are a few lines of text, and no SQLite header at all.\n").repeated(40));
        }
        const QByteArray before = [&] {
            QFile file(db.databasePath());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();

        TfDM* dm = db.Open();
        QVERIFY(!dm->Opened());
        QCOMPARE(takeErrors(), QStringList{ error });

        // What the opening did not set up fails with a message, never a crash.
        QCOMPARE(dm->qryHosts->Insert(), -1);
        QCOMPARE(takeErrors().size(), 1);
        QVERIFY(!dm->qryHosts->Refresh());
        QCOMPARE(takeErrors().size(), 1);
        QVERIFY(!dm->qryHosts->Edit(0));
        QVERIFY(!dm->qryHosts->Delete(0));
        QVERIFY(!dm->qryHosts->Post());
        dm->qryHosts->Cancel();
        QVERIFY(!dm->qryHosts->RefreshHost(QStringLiteral("127.0.0.1")));
        takeErrors();
        ping(dm, QStringLiteral("127.0.0.1"), 32);
        QCOMPARE(takeErrors().size(), 1);
        QVERIFY_THROWS_EXCEPTION(EMonitorError, dm->LoadHostsArr());
        QVERIFY(dm->HostsList.isEmpty());
        QVERIFY_THROWS_EXCEPTION(EMonitorError, dm->Settings());
        QVERIFY_THROWS_EXCEPTION(EMonitorError, dm->qrySettings->AsInteger(QStringLiteral("PingInterval")));
        QVERIFY_THROWS_EXCEPTION(EMonitorError, dm->qrySettings->Edit());
        dm->qrySettings->Post();
        dm->qrySettings->Cancel();
        takeErrors();

        // The file is left as it was found.
        db.Close();
        QFile file(db.databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    // A file that holds part of the schema (left by an older program or by hand) is used as it is and fails
    // where the missing part is first needed.
    void partialSchemaFails_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("error");
        QTest::addRow("no Settings table")
            << QStringList{ "CREATE TABLE Hosts (IP VARCHAR(15) PRIMARY KEY, Alias)" } << "no such table: Settings";
        QTest::addRow("no settings row") << QStringList{
            "CREATE TABLE Hosts (IP VARCHAR(15) PRIMARY KEY, Alias)",
            "CREATE TABLE Settings (PingInterval INTEGER, SendEmailinterval INTEGER, Language INTEGER)"
        } << "The Settings table holds no row.";
    }

    void partialSchemaFails()
    {
        QFETCH(QStringList, statements);
        QFETCH(QString, error);

        TempDatabase db(false);
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("partial"));
            other.setDatabaseName(db.databasePath());
            QVERIFY(other.open());
            for (const QString& statement : statements)
                QVERIFY(QSqlQuery(other).exec(statement));
            other.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("partial"));

        TfDM* dm = db.Open();
        QVERIFY(!dm->Opened());
        QCOMPARE(takeErrors(), QStringList{ error });
        QCOMPARE(dm->NextRunAt, 0.0);
        QVERIFY_THROWS_EXCEPTION(EMonitorError, dm->Settings());
        QVERIFY_THROWS_EXCEPTION(EMonitorError, dm->qrySettings->AsBoolean(QStringLiteral("AutoStartAgent")));
        ping(dm, QStringLiteral("127.0.0.1"), 32);
        QCOMPARE(takeErrors(), QStringList{ "no such table: Details" });
        // Nothing was added to the file.
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'")).toInt(),
                 statements.size());
    }

    void otherWorkingDirectoryGetsItsOwnDatabase()
    {
        const QString startDir = QDir::currentPath();
        const bool startHadFile = QFileInfo::exists(QString::fromLatin1(DatabaseFileName));
        TempDatabase first;
        addHost(first.dm(), QStringLiteral("127.0.0.2"));
        first.dm()->LoadHostsArr();
        {
            TempDatabase second;
            QVERIFY(second.dm()->Opened());
            QVERIFY(QFileInfo::exists(second.databasePath()));
            QVERIFY(second.dm()->HostsList.isEmpty());
            QCOMPARE(scalar(second.dm(), QStringLiteral("SELECT COUNT(*) FROM Hosts")).toInt(), 0);
            QCOMPARE(scalar(second.dm(), QStringLiteral("SELECT COUNT(*) FROM Settings")).toInt(), 1);
        }
        QCOMPARE(first.dm()->HostsList, QStringList{ "127.0.0.2" });
        QCOMPARE(QDir::currentPath(), first.path());
        first.Close();
        QCOMPARE(QFileInfo::exists(QDir(startDir).filePath(QString::fromLatin1(DatabaseFileName))), startHadFile);
    }

    void secondCopyIsRefusedAndFirstKeepsWorking()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        QVERIFY(dm->Opened());
        LoadPortugueseTexts();

        const HelperResult refused = openInOtherProcess(db.path());
        QVERIFY(refused.finished);
        QVERIFY(!refused.opened);
        // The second copy has read no language yet.
        LoadEnglishTexts();
        QCOMPARE(refused.errors, QStringList{ txtDatabaseInUse });

        addHost(dm, QStringLiteral("127.0.0.2"));
        ping(dm, QStringLiteral("127.0.0.2"), 32);
        QCOMPARE(hostValue(dm, QStringLiteral("127.0.0.2"), QStringLiteral("SuccessPings24")).toInt(), 1);
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM Settings")).toInt(), 1);

        // The lock goes with the first copy.
        db.Close();
        const HelperResult accepted = openInOtherProcess(db.path());
        QVERIFY(accepted.finished);
        QCOMPARE(accepted.errors, QStringList());
        QVERIFY(accepted.opened);
    }

    // ---- SQL text helpers ---------------------------------------------------------------------------------------

    void quotedStr_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("literal");
        QTest::addRow("empty") << ""
                               << "''";
        QTest::addRow("plain") << "Success"
                               << "'Success'";
        QTest::addRow("one quote") << "it's"
                                   << "'it''s'";
        QTest::addRow("only quotes") << "''"
                                     << "''''''";
        QTest::addRow("double quotes untouched") << "say \"hi\""
                                                 << "'say \"hi\"'";
        QTest::addRow("non-ASCII") << "Relatório d'água"
                                   << "'Relatório d''água'";
    }

    void quotedStr()
    {
        QFETCH(QString, value);
        QFETCH(QString, literal);
        QCOMPARE(QuotedStr(value), literal);
        // And the engine reads the literal back as the value.
        TempDatabase db;
        QCOMPARE(scalar(db.dm(), "SELECT " + QuotedStr(value)).toString(), value);
    }

    void isDottedIPv4_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addRow("loopback") << "127.0.0.1" << true;
        QTest::addRow("zeros") << "0.0.0.0" << true;
        QTest::addRow("broadcast") << "255.255.255.255" << true;
        QTest::addRow("empty") << "" << false;
        QTest::addRow("empty part") << "127..0.1" << false;
        QTest::addRow("trailing point") << "127.0.0.1." << false;
        QTest::addRow("256") << "256.0.0.1" << false;
        QTest::addRow("four digits") << "0127.0.0.1" << false;
        QTest::addRow("leading zero") << "127.0.0.010" << false;
        QTest::addRow("hex") << "0x7f.0.0.1" << false;
        QTest::addRow("negative") << "-1.0.0.1" << false;
        QTest::addRow("inner blank") << "127.0. 0.1" << false;
        QTest::addRow("other digits") << "١٢٧.0.0.1" << false;
        QTest::addRow("IPv6") << "::1" << false;
    }

    void isDottedIPv4()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(IsDottedIPv4(text), valid);
    }

    // ---- Ping records -------------------------------------------------------------------------------------------

    void ratesAreStoredUnrounded_data()
    {
        QTest::addColumn<QList<int>>("dataSizes");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("type");
        QTest::addRow("2 of 3") << QList<int>{ 32, 0, 32 } << 200.0 / 3 << "real";
        QTest::addRow("1 of 3") << QList<int>{ 0, 32, 0 } << 100.0 / 3 << "real";
        QTest::addRow("3 of 3") << QList<int>{ 32, 32, 32 } << 100.0 << "integer";
        QTest::addRow("1 of 2") << QList<int>{ 0, 32 } << 50.0 << "integer";
        QTest::addRow("0 of 2") << QList<int>{ 0, 0 } << 0.0 << "integer";
        QTest::addRow("1 of 1") << QList<int>{ 1 } << 100.0 << "integer";
    }

    void ratesAreStoredUnrounded()
    {
        QFETCH(QList<int>, dataSizes);
        QFETCH(double, rate);
        QFETCH(QString, type);

        TempDatabase db;
        TfDM* dm = db.dm();
        const QString ip = QStringLiteral("127.0.0.2");
        addHost(dm, ip);
        int successes = 0;
        for (int size : dataSizes) {
            ping(dm, ip, size);
            successes += size > 0 ? 1 : 0;
        }
        for (const char* window : { "24", "Week", "Month" }) {
            const QString w = QString::fromLatin1(window);
            QCOMPARE(hostValue(dm, ip, "TotalPings" + w).toInt(), dataSizes.size());
            QCOMPARE(hostValue(dm, ip, "SuccessPings" + w).toInt(), successes);
            const double stored = hostValue(dm, ip, "SuccessRate" + w).toDouble();
            QVERIFY2(std::fabs(stored - rate) < 1e-9, qPrintable(QString::number(stored, 'g', 17)));
            QCOMPARE(hostType(dm, ip, "SuccessRate" + w), type);
        }
    }

    void lastResponseComesFromTheLatestSuccess()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        const QString ip = QStringLiteral("127.0.0.2");
        addHost(dm, ip);
        const auto last = [&] { return hostValue(dm, ip, QStringLiteral("LastPingResponse")); };

        ping(dm, ip, 0, 0);
        QVERIFY(last().isNull()); // no success yet: no value, not the default 0
        nextMillisecond();
        ping(dm, ip, 32, 5);
        QCOMPARE(last().toString(), QStringLiteral("5"));
        QCOMPARE(hostType(dm, ip, QStringLiteral("LastPingResponse")), QStringLiteral("text"));
        nextMillisecond();
        ping(dm, ip, 0, 9); // a failure
        QCOMPARE(last().toString(), QStringLiteral("5"));
        nextMillisecond();
        ping(dm, ip, 32, 9, QString()); // a success without an answering address
        QCOMPARE(last().toString(), QStringLiteral("5"));
        nextMillisecond();
        ping(dm, ip, 32, 7);
        QCOMPARE(last().toString(), QStringLiteral("7"));

        QCOMPARE(hostValue(dm, ip, QStringLiteral("TotalPings24")).toInt(), 5);
        QCOMPARE(hostValue(dm, ip, QStringLiteral("SuccessPings24")).toInt(), 3);
        const QString latest = scalar(dm, QStringLiteral("SELECT MAX(PingDatetime) FROM Details")).toString();
        QVERIFY2(QRegularExpression(localTimePattern).match(latest).hasMatch(), qPrintable(latest));
        QCOMPARE(hostValue(dm, ip, QStringLiteral("LastPingDate")).toString(), latest);
    }

    void windowsCountBackFromNow()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        const QString ip = QStringLiteral("127.0.0.2");
        addHost(dm, ip);
        const QDateTime now = QDateTime::currentDateTime();
        const QList<QPair<int, int>> older
            = { { -2, 32 }, { -3, 0 }, { -10, 32 }, { -29, 0 }, { -40, 32 }, { -400, 0 } };
        // Pings of earlier runs: stored now, then moved back (the trigger refuses a row outside its own window).
        for (const auto& [days, size] : older) {
            ping(dm, ip, size, 3);
            ExecSQL(dm->SQLConnection,
                    QStringLiteral("UPDATE Details SET PingDatetime = %1 WHERE ID = (SELECT MAX(ID) FROM Details)")
                        .arg(QuotedStr(now.addDays(days).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")))));
        }
        ping(dm, ip, 0);
        QCOMPARE(hostValue(dm, ip, QStringLiteral("TotalPings24")).toInt(), 1);
        QCOMPARE(hostValue(dm, ip, QStringLiteral("SuccessPings24")).toInt(), 0);
        QCOMPARE(hostValue(dm, ip, QStringLiteral("TotalPingsWeek")).toInt(), 3);
        QCOMPARE(hostValue(dm, ip, QStringLiteral("SuccessPingsWeek")).toInt(), 1);
        QCOMPARE(hostValue(dm, ip, QStringLiteral("TotalPingsMonth")).toInt(), 5);
        QCOMPARE(hostValue(dm, ip, QStringLiteral("SuccessPingsMonth")).toInt(), 2);
        QCOMPARE(hostValue(dm, ip, QStringLiteral("SuccessRate24")).toDouble(), 0.0);
        QVERIFY(std::fabs(hostValue(dm, ip, QStringLiteral("SuccessRateWeek")).toDouble() - 100.0 / 3) < 1e-9);
        QCOMPARE(hostValue(dm, ip, QStringLiteral("SuccessRateMonth")).toDouble(), 40.0);
        // The last response is the latest success of any age.
        QCOMPARE(hostValue(dm, ip, QStringLiteral("LastPingResponse")).toString(), QStringLiteral("3"));
    }

    void otherHostsAreUntouched()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        addHost(dm, QStringLiteral("127.0.0.2"));
        addHost(dm, QStringLiteral("127.0.0.3"), QStringLiteral("old"));
        // Figures of a ping long ago, outside every window.
        ExecSQL(dm->SQLConnection,
                QStringLiteral("UPDATE Hosts SET LastPingDate = '2000-01-01 10:00:00.000', LastPingResponse = '4', "
                               "TotalPings24 = 9, SuccessPings24 = 3, SuccessRate24 = 33.3, TotalPingsWeek = 8, "
                               "TotalPingsMonth = 7, SuccessRateMonth = 100 WHERE IP = '127.0.0.3'"));
        const QStringList before = hostRow(dm, QStringLiteral("127.0.0.3"));
        ping(dm, QStringLiteral("127.0.0.2"), 32);
        ping(dm, QStringLiteral("127.0.0.2"), 0);
        QCOMPARE(hostRow(dm, QStringLiteral("127.0.0.3")), before);
        QCOMPARE(hostValue(dm, QStringLiteral("127.0.0.2"), QStringLiteral("TotalPings24")).toInt(), 2);
    }

    void unknownHostIsRejectedWithTheDatabaseMessage()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        addHost(dm, QStringLiteral("127.0.0.2"));
        ping(dm, QStringLiteral("127.0.0.2"), 32);
        const QStringList before = hostRow(dm, QStringLiteral("127.0.0.2"));

        ping(dm, QStringLiteral("127.0.0.9"), 32);
        QCOMPARE(takeErrors(), QStringList{ "FOREIGN KEY constraint failed" });
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM Details")).toInt(), 1);
        QCOMPARE(hostRow(dm, QStringLiteral("127.0.0.2")), before);
        // The next result goes on as usual.
        ping(dm, QStringLiteral("127.0.0.2"), 32);
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM Details")).toInt(), 2);
    }

    void deletingAHostDeletesItsPings()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        addHost(dm, QStringLiteral("127.0.0.2"));
        addHost(dm, QStringLiteral("127.0.0.3"));
        QVERIFY(dm->qryHosts->Refresh());
        for (int i = 0; i < 3; ++i) {
            ping(dm, QStringLiteral("127.0.0.2"), 32);
            ping(dm, QStringLiteral("127.0.0.3"), 0);
        }
        QVERIFY(dm->qryHosts->Delete(dm->qryHosts->RowOfIP(QStringLiteral("127.0.0.2"))));
        QCOMPARE(column(dm, QStringLiteral("SELECT DISTINCT Host FROM Details")), QStringList{ "127.0.0.3" });
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM Details")).toInt(), 3);
        QCOMPARE(dm->HostsList, QStringList{ "127.0.0.3" });
    }

    void insertDetailsStoresEveryValue_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("pingId");
        QTest::addColumn<QString>("threadNum");
        QTest::addColumn<QString>("replyIP");
        QTest::addColumn<QString>("errMsg");
        QTest::addRow("plain") << "127.0.0.2"
                               << "7"
                               << "12"
                               << "127.0.0.2"
                               << "Success";
        QTest::addRow("quotes in every text") << "127.0.0.2'"
                                              << "'7"
                                              << "1'2"
                                              << "127.0.0.2''"
                                              << "it's 'quoted'";
        QTest::addRow("empty texts") << "127.0.0.2"
                                     << ""
                                     << ""
                                     << ""
                                     << "";
        QTest::addRow("SQL in the texts") << "x'); DROP TABLE Hosts; --"
                                          << "%1"
                                          << "%s"
                                          << "\"\""
                                          << "a\nb, c";
    }

    void insertDetailsStoresEveryValue()
    {
        QFETCH(QString, host);
        QFETCH(QString, pingId);
        QFETCH(QString, threadNum);
        QFETCH(QString, replyIP);
        QFETCH(QString, errMsg);

        TempDatabase db;
        TfDM* dm = db.dm();
        addHost(dm, host);
        dm->InsertDetails(host, 32, 1000, 0, pingId, threadNum, replyIP, 11010, 0.5, 64, 2, 3, errMsg);
        QSqlQuery row = run(
            dm,
            QStringLiteral("SELECT Host, PingId, PingThreadNum, ReplyIPAddr, ErrMsg, typeof(Host), typeof(PingId), "
                           "typeof(PingThreadNum), typeof(ReplyIPAddr), typeof(ErrMsg), PingSize, typeof(PingSize), "
                           "PingTimeout, PingTTL, ReplyStatus, ReplyRTT, typeof(ReplyRTT), ReplyDataSize, ReplyTotal, "
                           "ErrCode, typeof(ErrCode), ID FROM Details"));
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toString(), host);
        QCOMPARE(row.value(1).toString(), pingId);
        QCOMPARE(row.value(2).toString(), threadNum);
        QCOMPARE(row.value(3).toString(), replyIP);
        QCOMPARE(row.value(4).toString(), errMsg);
        // Texts stay texts, empty ones too: never a missing value, never a number.
        for (int i = 5; i < 10; ++i)
            QCOMPARE(row.value(i).toString(), QStringLiteral("text"));
        QCOMPARE(row.value(10).toInt(), 32);
        QCOMPARE(row.value(11).toString(), QStringLiteral("integer"));
        QCOMPARE(row.value(12).toInt(), 1000);
        QCOMPARE(row.value(13).toInt(), 0);
        QCOMPARE(row.value(14).toInt(), 11010);
        QCOMPARE(row.value(15).toDouble(), 0.5);
        QCOMPARE(row.value(16).toString(), QStringLiteral("real"));
        QCOMPARE(row.value(17).toInt(), 64);
        QCOMPARE(row.value(18).toInt(), 2);
        QCOMPARE(row.value(19).toInt(), 3);
        QCOMPARE(row.value(20).toString(), QStringLiteral("integer"));
        QCOMPARE(row.value(21).toInt(), 1);
        QVERIFY(!row.next());
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM Hosts")).toInt(), 1);
        // A result without an answering address is a ping, but gives no last response.
        QCOMPARE(hostValue(dm, host, QStringLiteral("SuccessPings24")).toInt(), 1);
        QCOMPARE(hostValue(dm, host, QStringLiteral("LastPingResponse")).isNull(), replyIP.isEmpty());
    }

    // ---- Host list through the host query -----------------------------------------------------------------------

    void hostsListFollowsTheHostQuery()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        THostsQuery* q = dm->qryHosts;
        const int ipColumn = q->FieldIndex(QStringLiteral("IP"));
        const int aliasColumn = q->FieldIndex(QStringLiteral("Alias"));
        const auto add = [&](const QString& ip, const QString& alias) {
            const int row = q->Insert();
            QCOMPARE(q->State(), TDataSetState::Insert);
            QVERIFY(!q->IPReadOnly);
            QVERIFY(q->setData(q->index(row, ipColumn), ip));
            QVERIFY(q->setData(q->index(row, aliasColumn), alias));
            QVERIFY(q->Post());
            QCOMPARE(q->State(), TDataSetState::Browse);
        };

        add(QStringLiteral("127.0.0.2"), QStringLiteral("a"));
        add(QStringLiteral("127.0.0.3"), QStringLiteral("b"));
        QCOMPARE(dm->HostsList, (QStringList{ "127.0.0.2", "127.0.0.3" }));
        QCOMPARE(column(dm, QStringLiteral("SELECT IP || '=' || Alias FROM Hosts")),
                 (QStringList{ "127.0.0.2=a", "127.0.0.3=b" }));

        // A new row keeps the figure columns at their defaults.
        QCOMPARE(hostRow(dm, QStringLiteral("127.0.0.3")),
                 (QStringList{ "127.0.0.3", "b", "<null>", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0" }));

        // An abandoned insert leaves the list and the table alone.
        int row = q->Insert();
        QVERIFY(q->setData(q->index(row, ipColumn), QStringLiteral("127.0.0.4")));
        q->Cancel();
        QCOMPARE(q->State(), TDataSetState::Browse);
        QCOMPARE(q->rowCount(), 2);
        QCOMPARE(dm->HostsList, (QStringList{ "127.0.0.2", "127.0.0.3" }));

        // The alias of an existing host is editable, its IP is not.
        row = q->RowOfIP(QStringLiteral("127.0.0.2"));
        QVERIFY(!q->setData(q->index(row, ipColumn), QStringLiteral("127.0.0.9")));
        QVERIFY(q->setData(q->index(row, aliasColumn), QStringLiteral("renamed")));
        QCOMPARE(q->State(), TDataSetState::Edit);
        QVERIFY(q->IPReadOnly);
        QVERIFY(!q->setData(q->index(row, ipColumn), QStringLiteral("127.0.0.9")));
        QVERIFY(q->Post());
        QCOMPARE(hostValue(dm, QStringLiteral("127.0.0.2"), QStringLiteral("Alias")).toString(),
                 QStringLiteral("renamed"));
        QCOMPARE(dm->HostsList, (QStringList{ "127.0.0.2", "127.0.0.3" }));

        // An abandoned edit restores the alias.
        QVERIFY(q->setData(q->index(row, aliasColumn), QStringLiteral("typed")));
        q->Cancel();
        QCOMPARE(q->data(q->index(q->RowOfIP(QStringLiteral("127.0.0.2")), aliasColumn)).toString(),
                 QStringLiteral("renamed"));
        QCOMPARE(hostValue(dm, QStringLiteral("127.0.0.2"), QStringLiteral("Alias")).toString(),
                 QStringLiteral("renamed"));

        // Hosts added elsewhere come in with a refresh; a refresh waits while a row is being typed.
        addHost(dm, QStringLiteral("127.0.0.5"));
        QCOMPARE(dm->HostsList, (QStringList{ "127.0.0.2", "127.0.0.3" }));
        row = q->Insert();
        QVERIFY(q->setData(q->index(row, ipColumn), QStringLiteral("127.0.0.6")));
        QVERIFY(!q->Refresh());
        QCOMPARE(q->State(), TDataSetState::Insert);
        QCOMPARE(q->data(q->index(row, ipColumn)).toString(), QStringLiteral("127.0.0.6"));
        QVERIFY(q->Post());
        QCOMPARE(dm->HostsList, (QStringList{ "127.0.0.2", "127.0.0.3", "127.0.0.5", "127.0.0.6" }));
        QVERIFY(q->Refresh());
        QCOMPARE(q->rowCount(), 4);

        QVERIFY(q->Delete(q->RowOfIP(QStringLiteral("127.0.0.3"))));
        QCOMPARE(dm->HostsList, (QStringList{ "127.0.0.2", "127.0.0.5", "127.0.0.6" }));
        QCOMPARE(q->rowCount(), 3);
        QCOMPARE(q->RowOfIP(QStringLiteral("127.0.0.3")), -1);
    }

    void badHostIPIsRefused_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addRow("empty") << "";
        QTest::addRow("three parts") << "127.0.0";
        QTest::addRow("five parts") << "127.0.0.1.1";
        QTest::addRow("over 255") << "127.0.0.256";
        QTest::addRow("leading zero") << "127.0.0.01";
        QTest::addRow("name") << "localhost";
        QTest::addRow("blank") << "127.0.0.1 ";
        QTest::addRow("sign") << "127.0.0.+1";
    }

    void badHostIPIsRefused()
    {
        QFETCH(QString, ip);
        TempDatabase db;
        TfDM* dm = db.dm();
        THostsQuery* q = dm->qryHosts;
        LoadEnglishTexts();
        const int row = q->Insert();
        QVERIFY(q->setData(q->index(row, q->FieldIndex(QStringLiteral("IP"))), ip));
        QVERIFY(!q->Post());
        QCOMPARE(takeErrors(), QStringList{ txtInvalidHostIP });
        QCOMPARE(q->State(), TDataSetState::Insert);
        QCOMPARE(scalar(dm, QStringLiteral("SELECT COUNT(*) FROM Hosts")).toInt(), 0);
        // The row waits for its correction.
        QVERIFY(q->setData(q->index(row, q->FieldIndex(QStringLiteral("IP"))), QStringLiteral("127.0.0.2")));
        QVERIFY(q->Post());
        QCOMPARE(dm->HostsList, QStringList{ "127.0.0.2" });
    }

    void duplicateHostIPShowsTheDatabaseError()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        THostsQuery* q = dm->qryHosts;
        const int ipColumn = q->FieldIndex(QStringLiteral("IP"));
        addHost(dm, QStringLiteral("127.0.0.2"), QStringLiteral("there"));
        QVERIFY(q->Refresh());
        const int row = q->Insert();
        QVERIFY(q->setData(q->index(row, ipColumn), QStringLiteral("127.0.0.2")));
        QVERIFY(q->setData(q->index(row, q->FieldIndex(QStringLiteral("Alias"))), QStringLiteral("again")));
        QVERIFY(!q->Post());
        const QStringList errors = takeErrors();
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QLatin1String("UNIQUE constraint failed")), qPrintable(errors[0]));
        QCOMPARE(q->State(), TDataSetState::Insert);
        QCOMPARE(hostValue(dm, QStringLiteral("127.0.0.2"), QStringLiteral("Alias")).toString(),
                 QStringLiteral("there"));

        QVERIFY(q->setData(q->index(q->EditRow(), ipColumn), QStringLiteral("127.0.0.3")));
        QVERIFY(q->Post());
        QCOMPARE(dm->HostsList, (QStringList{ "127.0.0.2", "127.0.0.3" }));
        QCOMPARE(hostValue(dm, QStringLiteral("127.0.0.3"), QStringLiteral("Alias")).toString(),
                 QStringLiteral("again"));
    }

    void onlyIPAndAliasAreEditable()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        THostsQuery* q = dm->qryHosts;
        addHost(dm, QStringLiteral("127.0.0.2"));
        QVERIFY(q->Refresh());
        const int ipColumn = q->FieldIndex(QStringLiteral("IP"));
        const int aliasColumn = q->FieldIndex(QStringLiteral("Alias"));
        const auto editable = [&](int row, int col) { return bool(q->flags(q->index(row, col)) & Qt::ItemIsEditable); };

        QVERIFY(!editable(0, ipColumn));
        QVERIFY(editable(0, aliasColumn));
        const int newRow = q->Insert();
        QVERIFY(editable(newRow, ipColumn));
        QVERIFY(editable(newRow, aliasColumn));
        QVERIFY(!editable(0, ipColumn));
        QVERIFY(!editable(0, aliasColumn)); // only the row being inserted
        for (int col = 0; col < q->columnCount(); ++col) {
            if (col == ipColumn || col == aliasColumn)
                continue;
            QVERIFY(!editable(0, col));
            QVERIFY(!editable(newRow, col));
            QVERIFY(!q->setData(q->index(newRow, col), 5));
        }
        QVERIFY(q->setData(q->index(newRow, ipColumn), QStringLiteral("127.0.0.3")));
        QVERIFY(q->Post());
        for (int col = 0; col < q->columnCount(); ++col) {
            if (col == aliasColumn)
                continue;
            QVERIFY(!q->setData(q->index(0, col), 5));
        }
        QCOMPARE(q->State(), TDataSetState::Browse);
        QCOMPARE(hostValue(dm, QStringLiteral("127.0.0.2"), QStringLiteral("TotalPings24")).toInt(), 0);
        QCOMPARE(hostValue(dm, QStringLiteral("127.0.0.3"), QStringLiteral("TotalPings24")).toInt(), 0);
    }

    void beforeInsertAndBeforeEditSetIPReadOnly()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        THostsQuery* q = dm->qryHosts;
        addHost(dm, QStringLiteral("127.0.0.2"));
        QVERIFY(q->Refresh());
        QVERIFY(q->IPReadOnly);
        q->Insert();
        QVERIFY(!q->IPReadOnly);
        q->Cancel();
        QVERIFY(q->Edit(0));
        QVERIFY(q->IPReadOnly);
        q->Cancel();
        dm->qryHostsBeforeInsert();
        QVERIFY(!q->IPReadOnly);
        dm->qryHostsBeforeEdit();
        QVERIFY(q->IPReadOnly);
    }

    void refreshHostShowsNewFigures()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        THostsQuery* q = dm->qryHosts;
        addHost(dm, QStringLiteral("127.0.0.2"));
        addHost(dm, QStringLiteral("127.0.0.3"));
        QVERIFY(q->Refresh());
        const int total = q->FieldIndex(QStringLiteral("TotalPings24"));
        ping(dm, QStringLiteral("127.0.0.3"), 32);
        QVERIFY(q->RefreshHost(QStringLiteral("127.0.0.3")));
        QCOMPARE(q->data(q->index(q->RowOfIP(QStringLiteral("127.0.0.3")), total)).toInt(), 1);
        QCOMPARE(q->data(q->index(q->RowOfIP(QStringLiteral("127.0.0.2")), total)).toInt(), 0);

        // A row being typed is not overwritten.
        QVERIFY(q->setData(q->index(0, q->FieldIndex(QStringLiteral("Alias"))), QStringLiteral("typing")));
        ping(dm, QStringLiteral("127.0.0.2"), 32);
        QVERIFY(!q->RefreshHost(QStringLiteral("127.0.0.2")));
        QCOMPARE(q->data(q->index(0, q->FieldIndex(QStringLiteral("Alias")))).toString(), QStringLiteral("typing"));
        QVERIFY(q->Post());
        QVERIFY(q->RefreshHost(QStringLiteral("127.0.0.2")));
        QCOMPARE(q->data(q->index(q->RowOfIP(QStringLiteral("127.0.0.2")), total)).toInt(), 1);
    }

    // ---- Settings row -------------------------------------------------------------------------------------------

    void settingsEditFlags()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        TSettingsQuery* s = dm->qrySettings;
        QVERIFY(!dm->dsSettingsEdit);
        s->Edit();
        QVERIFY(dm->dsSettingsEdit);
        QVERIFY(!dm->dsSettingsInsert);
        s->Post();
        QVERIFY(!dm->dsSettingsEdit);

        s->SetField(QStringLiteral("PingTimeout"), 250);
        QVERIFY(dm->dsSettingsEdit);
        // The details window opening and closing meanwhile leaves the flags alone.
        dm->qryDetails->Open();
        dm->qryDetails->Close();
        QVERIFY(dm->dsSettingsEdit);
        s->Cancel();
        QVERIFY(!dm->dsSettingsEdit);
        QCOMPARE(s->AsInteger(QStringLiteral("PingTimeout")), 1000);
        dm->qryDetails->Open();
        QVERIFY(!dm->dsSettingsEdit);
        QCOMPARE(scalar(dm, QStringLiteral("SELECT PingTimeout FROM Settings")).toInt(), 1000);
    }

    void postStoresZeroForMissingNumbers()
    {
        TempDatabase db;
        TfDM* dm = db.dm();
        TSettingsQuery* s = dm->qrySettings;
        const QStringList numbers
            = { "PingTimeout", "PingPacketSize", "PingAttemts", "PingInterval", "SendEmailinterval" };
        for (const QString& name : numbers)
            s->SetField(name, QVariant());
        s->SetField(QStringLiteral("ServerPort"), QVariant());
        s->SetField(QStringLiteral("EmailRecipients"), QStringLiteral("a@example.org"));
        s->Post();
        QVERIFY(!dm->dsSettingsEdit);
        for (const QString& name : numbers) {
            QCOMPARE(s->AsInteger(name), 0);
            QVERIFY(!s->IsNull(name));
            QCOMPARE(scalar(dm, QStringLiteral("SELECT typeof(%1) || '=' || %1 FROM Settings").arg(name)).toString(),
                     QStringLiteral("integer=0"));
        }
        QVERIFY(s->IsNull(QStringLiteral("ServerPort")));
        QVERIFY(scalar(dm, QStringLiteral("SELECT ServerPort FROM Settings")).isNull());
        QVERIFY(scalar(dm, QStringLiteral("SELECT ProxyPort FROM Settings")).isNull());
        QCOMPARE(scalar(dm, QStringLiteral("SELECT EmailRecipients FROM Settings")).toString(),
                 QStringLiteral("a@example.org"));

        // A post the database refuses leaves the row in edit with the operator's values.
        s->SetField(QStringLiteral("PingInterval"), 600);
        s->SetField(QStringLiteral("Language"), QVariant());
        QVERIFY_THROWS_EXCEPTION(EMonitorError, s->Post());
        QVERIFY(dm->dsSettingsEdit);
        QCOMPARE(s->AsInteger(QStringLiteral("PingInterval")), 600);
        QCOMPARE(scalar(dm, QStringLiteral("SELECT PingInterval FROM Settings")).toInt(), 0);
        s->Cancel();
        QCOMPARE(s->AsInteger(QStringLiteral("PingInterval")), 0);
    }

    void settingsSurviveARestart()
    {
        TempDatabase db;
        TSettingsQuery* s = db.dm()->qrySettings;
        s->SetField(QStringLiteral("PingInterval"), 3600);
        s->SetField(QStringLiteral("AutoStartAgent"), false);
        s->SetField(QStringLiteral("Password"), QStringLiteral("pa'ss"));
        s->SetField(QStringLiteral("Language"), 1);
        s->Post();

        SetNowFunction(fixedNow);
        TfDM* dm = db.Open();
        QVERIFY(dm->Opened());
        QCOMPARE(txtReady, QStringLiteral("Ready"));
        QVERIFY(std::fabs(dm->NextRunAt - (at(11, 0, 0) + 1e-7)) < 1e-10);
        QVERIFY(!dm->qrySettings->AsBoolean(QStringLiteral("AutoStartAgent")));
        QCOMPARE(dm->qrySettings->AsString(QStringLiteral("Password")), QStringLiteral("pa'ss"));
    }

    void autoStartAgentReadsEveryStoredForm_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("value");
        QTest::addRow("1") << "1" << true;
        QTest::addRow("0") << "0" << false;
        QTest::addRow("'true'") << "'true'" << true;
        QTest::addRow("'false'") << "'false'" << false;
    }

    void autoStartAgentReadsEveryStoredForm()
    {
        QFETCH(QString, stored);
        QFETCH(bool, value);
        TempDatabase db;
        ExecSQL(db.dm()->SQLConnection, "UPDATE Settings SET AutoStartAgent = " + stored);
        QCOMPARE(db.Open()->qrySettings->AsBoolean(QStringLiteral("AutoStartAgent")), value);
    }
};

QTEST_GUILESS_MAIN(TestDM)
#include "tst_uDM.moc"
