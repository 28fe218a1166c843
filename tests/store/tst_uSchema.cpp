#include "store/uDM.h"
#include "store/uSchema.h"
#include "store/uSqlText.h"

#include "TempDatabase.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <sqlite3.h>

namespace {

// What GETDATE() gives both databases: one reading of the clock per insert, so that the two rows match.
QByteArray currentGetDate;

void getDate(sqlite3_context* context, int, sqlite3_value**)
{
    sqlite3_result_text(context, currentGetDate.constData(), int(currentGetDate.size()), SQLITE_TRANSIENT);
}

// A private in-memory database created from one statement list, set up as the program sets up its own.
class SchemaDb
{
public:
    SchemaDb(const QString& name, const QStringList& statements)
        : m_name(name)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        m_db.setDatabaseName(QStringLiteral(":memory:"));
        if (!m_db.open())
            return;
        sqlite3* handle = *static_cast<sqlite3* const*>(m_db.driver()->handle().constData());
        sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DDL, 1, nullptr);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
        sqlite3_create_function(handle, "GETDATE", 0, SQLITE_UTF8, nullptr, getDate, nullptr, nullptr);
        exec(QStringLiteral("PRAGMA foreign_keys = ON"));
        exec(QStringLiteral("BEGIN"));
        for (const QString& statement : statements)
            if (!exec(statement))
                return;
        m_ok = exec(QStringLiteral("COMMIT"));
    }
    ~SchemaDb()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }

    bool ok() const { return m_ok; }
    QString lastError() const { return m_error; }

    bool exec(const QString& sql)
    {
        QSqlQuery query(m_db);
        if (query.exec(sql)) {
            m_error.clear();
            return true;
        }
        m_error = SqlErrorText(query.lastError());
        return false;
    }

    // Each row as one line; every value with its storage class, reals to the last bit (100 and 100.0 differ).
    QStringList rows(const QString& sql) const
    {
        QStringList result;
        QSqlQuery query(m_db);
        if (!query.exec(sql))
            return { SqlErrorText(query.lastError()) };
        while (query.next()) {
            QStringList values;
            for (int i = 0; i + 1 < query.record().count(); i += 2) {
                const QString type = query.value(i).toString();
                const QVariant value = query.value(i + 1);
                values << type + QLatin1Char(':')
                        + (type == QLatin1String("real") ? QString::number(value.toDouble(), 'g', 17)
                                                         : value.toString());
            }
            result << values.join(QLatin1Char('|'));
        }
        return result;
    }

    // typeof(column), column for every column of the table, in order.
    QStringList typedRows(const QString& table, const QString& order) const
    {
        QStringList columns;
        QSqlQuery info(m_db);
        info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(table));
        while (info.next()) {
            const QString column = info.value(1).toString();
            columns << QStringLiteral("typeof( %1 ), %1").arg(column);
        }
        return rows(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(columns.join(QStringLiteral(", ")), table, order));
    }

    QString scalar(const QString& sql) const
    {
        QSqlQuery query(m_db);
        return query.exec(sql) && query.next() ? query.value(0).toString() : QString();
    }

private:
    QString m_name;
    QSqlDatabase m_db;
    bool m_ok = false;
    QString m_error;
};

// "yyyy-MM-dd HH:mm:ss" moved by whole seconds, as plain calendar arithmetic.
QString shifted(const QString& second, qint64 seconds)
{
    const QDateTime t(QDate::fromString(second.left(10), Qt::ISODate),
                      QTime::fromString(second.mid(11), QStringLiteral("HH:mm:ss")), Qt::UTC);
    return t.addSecs(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Stored times around the bounds of the windows of an insert made in the second `now` of the local clock:
// the last instant before each bound, the bound itself, its last millisecond, the next second, the date alone
// (on, before and after the bound's day), and times well inside and outside.
QStringList candidateTimes(const SchemaDb& db, QRandomGenerator& random)
{
    const QString now = db.scalar(QStringLiteral("SELECT datetime( 'now', 'localtime' )"));
    QStringList bounds = { now };
    for (int days : { 1, 7, 30 })
        bounds << db.scalar(QStringLiteral("SELECT datetime( 'now', 'localtime', '-%1 days' )").arg(days));
    QStringList times;
    for (const QString& bound : bounds) {
        times << shifted(bound, -1) + QStringLiteral(".999") << bound + QStringLiteral(".000")
              << bound + QStringLiteral(".999") << bound << shifted(bound, 1) + QStringLiteral(".000");
        for (int day : { -1, 0, 1 })
            times << shifted(bound, day * 86400).left(10);
    }
    times << shifted(now, -qint64(random.bounded(30 * 86400))) + QStringLiteral(".123")
          << shifted(now, -40 * 86400) + QStringLiteral(".500");
    return times;
}

struct PingRow
{
    QString host;
    QString replyIPAddr; // "NULL" for no value
    QString replyRTT;
    QString replyDataSize;
    QString pingDatetime; // empty: the column default, GETDATE()
};

QString insertStatement(const PingRow& row)
{
    const QString columns = QStringLiteral("Host,PingSize,PingTimeout,PingTTL,PingID,PingThreadNum,ReplyIPAddr,"
                                           "ReplyStatus,ReplyRTT,ReplyDataSize,ReplyTotal,ErrCode,ErrMsg");
    QStringList values = { QuotedStr(row.host),
                           QuotedStr(QStringLiteral("32")),
                           QuotedStr(QStringLiteral("1000")),
                           QuotedStr(QStringLiteral("0")),
                           QuotedStr(QStringLiteral("1")),
                           QuotedStr(QStringLiteral("1")),
                           row.replyIPAddr == QLatin1String("NULL") ? row.replyIPAddr : QuotedStr(row.replyIPAddr),
                           QuotedStr(QStringLiteral("0")),
                           QuotedStr(row.replyRTT),
                           QuotedStr(row.replyDataSize),
                           QuotedStr(QStringLiteral("0")),
                           QuotedStr(QStringLiteral("0")),
                           QuotedStr(row.replyDataSize == QLatin1String("0") ? QStringLiteral("Request Timed Out")
                                                                             : QStringLiteral("Success")) };
    if (row.pingDatetime.isEmpty())
        return QStringLiteral("INSERT INTO Details(%1) SELECT %2").arg(columns, values.join(QStringLiteral(", ")));
    values << QuotedStr(row.pingDatetime);
    return QStringLiteral("INSERT INTO Details(%1,PingDatetime) SELECT %2")
        .arg(columns, values.join(QStringLiteral(", ")));
}

} // namespace

class tst_uSchema : public QObject
{
    Q_OBJECT

private slots:
    void sameTablesAndDefaultRow();
    void sameFiguresAfterEveryInsert_data();
    void sameFiguresAfterEveryInsert();
    void newDatabaseGetsFastSchema();
};

void tst_uSchema::sameTablesAndDefaultRow()
{
    SchemaDb original(QStringLiteral("original"), OriginalSchemaStatements());
    SchemaDb fast(QStringLiteral("fast"), SchemaStatements());
    QVERIFY2(original.ok(), qPrintable(original.lastError()));
    QVERIFY2(fast.ok(), qPrintable(fast.lastError()));

    // Columns (name, declared type, NOT NULL, default, key), foreign keys, the tables' own text and the row.
    for (const QString& table : { QStringLiteral("Hosts"), QStringLiteral("Details"), QStringLiteral("Settings") }) {
        const QString columns
            = QStringLiteral("SELECT typeof( name ), name, typeof( type ), type, typeof( \"notnull\" ),"
                             " \"notnull\", typeof( dflt_value ), dflt_value, typeof( pk ), pk"
                             " FROM pragma_table_info( '%1' )")
                  .arg(table);
        QCOMPARE(fast.rows(columns), original.rows(columns));
        const QString keys = QStringLiteral("SELECT typeof( \"table\" ), \"table\", typeof( \"from\" ), \"from\","
                                            " typeof( \"to\" ), \"to\", typeof( on_delete ), on_delete"
                                            " FROM pragma_foreign_key_list( '%1' )")
                                 .arg(table);
        QCOMPARE(fast.rows(keys), original.rows(keys));
        const QString sql = QStringLiteral("SELECT sql FROM sqlite_master WHERE name = '%1'").arg(table);
        QCOMPARE(fast.scalar(sql), original.scalar(sql));
    }
    QCOMPARE(fast.typedRows(QStringLiteral("Settings"), QStringLiteral("rowid")),
             original.typedRows(QStringLiteral("Settings"), QStringLiteral("rowid")));
    QCOMPARE(fast.scalar(QStringLiteral("SELECT COUNT(*) FROM Settings")), QStringLiteral("1"));

    const QString triggers
        = QStringLiteral("SELECT typeof( name ), name, typeof( tbl_name ), tbl_name FROM sqlite_master"
                         " WHERE type = 'trigger'");
    QCOMPARE(fast.rows(triggers), original.rows(triggers));
    QCOMPARE(fast.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL")),
             QStringLiteral("1"));
    QCOMPARE(
        original.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL")),
        QStringLiteral("0"));
}

void tst_uSchema::sameFiguresAfterEveryInsert_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("inserts");
    QTest::addRow("seed 1") << 1u << 400;
    QTest::addRow("seed 2") << 2u << 400;
    QTest::addRow("seed 3") << 3u << 400;
}

// The same inserts, on both schemas, leave the same Hosts rows after every one; an insert refused by one is
// refused by the other. Each insert runs in a transaction on both, undone and repeated when the clock's second
// changed meanwhile, so both triggers and the bound times above see the same "now".
void tst_uSchema::sameFiguresAfterEveryInsert()
{
    QFETCH(quint32, seed);
    QFETCH(int, inserts);
    SchemaDb original(QStringLiteral("original"), OriginalSchemaStatements());
    SchemaDb fast(QStringLiteral("fast"), SchemaStatements());
    QVERIFY2(original.ok(), qPrintable(original.lastError()));
    QVERIFY2(fast.ok(), qPrintable(fast.lastError()));

    const QStringList hosts = { QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3"),
                                QStringLiteral("10.0.0.1") };
    for (const QString& host : hosts) {
        const QString sql = QStringLiteral("INSERT INTO Hosts (IP, Alias) VALUES (%1, 'host')").arg(QuotedStr(host));
        QVERIFY(original.exec(sql));
        QVERIFY(fast.exec(sql));
    }

    QRandomGenerator random(seed);
    QStringList recentTimes; // times used before, so that pings of the same stored time meet
    int refused = 0;
    int done = 0;
    QSet<QString> seconds; // the clock's seconds the inserts fell in
    while (done < inserts || seconds.size() < 3) {
        const QString before = original.scalar(QStringLiteral("SELECT datetime( 'now', 'localtime' )"));
        const QStringList times = candidateTimes(original, random);

        PingRow row;
        row.host = hosts.at(random.bounded(int(hosts.size())));
        const int outcome = random.bounded(10);
        row.replyDataSize = outcome < 6 ? QStringLiteral("32") : QStringLiteral("0");
        row.replyIPAddr = outcome < 6 ? row.host : QString();
        if (outcome == 5)
            row.replyIPAddr.clear(); // a reply size without an address does not count as a last response
        if (outcome == 4)
            row.replyIPAddr = QStringLiteral("NULL");
        if (outcome == 9)
            row.replyIPAddr = QStringLiteral("127.0.0.254"); // an error reported by a router
        row.replyRTT = QString::number(random.bounded(1000));
        const int when = random.bounded(10);
        if (when < 2)
            row.pingDatetime.clear();
        else if (when < 4 && !recentTimes.isEmpty())
            row.pingDatetime = recentTimes.at(random.bounded(int(recentTimes.size())));
        else
            row.pingDatetime = times.at(random.bounded(int(times.size())));

        const QString sql = insertStatement(row);
        currentGetDate = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
        QVERIFY(original.exec(QStringLiteral("BEGIN")));
        QVERIFY(fast.exec(QStringLiteral("BEGIN")));
        const bool originalStored = original.exec(sql);
        const bool fastStored = fast.exec(sql);
        const QStringList originalHosts = original.typedRows(QStringLiteral("Hosts"), QStringLiteral("IP"));
        const QStringList fastHosts = fast.typedRows(QStringLiteral("Hosts"), QStringLiteral("IP"));
        if (original.scalar(QStringLiteral("SELECT datetime( 'now', 'localtime' )")) != before) {
            QVERIFY(original.exec(QStringLiteral("ROLLBACK")));
            QVERIFY(fast.exec(QStringLiteral("ROLLBACK")));
            continue;
        }
        QVERIFY(original.exec(QStringLiteral("COMMIT")));
        QVERIFY(fast.exec(QStringLiteral("COMMIT")));

        const QByteArray context = QStringLiteral("insert %1 at %2: %3").arg(done).arg(before, sql).toUtf8();
        QVERIFY2(fastStored == originalStored, context.constData());
        for (int i = 0; i < originalHosts.size(); ++i)
            QVERIFY2(
                i < fastHosts.size() && fastHosts.at(i) == originalHosts.at(i),
                (context + "\noriginal: " + originalHosts.at(i).toUtf8() + "\nfast:     " + fastHosts.value(i).toUtf8())
                    .constData());
        QCOMPARE(fastHosts.size(), originalHosts.size());
        if (!originalStored)
            ++refused;
        if (!row.pingDatetime.isEmpty())
            recentTimes << row.pingDatetime;
        seconds << before;
        ++done;
    }
    // A row dated outside every window, for a host without recent pings, leaves a total of 0: both refuse it.
    QVERIFY(refused > 0);
    const QString count = QStringLiteral("SELECT COUNT(*) FROM Details");
    QCOMPARE(fast.scalar(count), original.scalar(count));
}

void tst_uSchema::newDatabaseGetsFastSchema()
{
    TempDatabase temp;
    QVERIFY(temp.dm() && temp.dm()->Opened());
    QSqlQuery query(temp.dm()->SQLConnection);
    QVERIFY(query.exec(QStringLiteral("SELECT type, name FROM sqlite_master WHERE sql IS NOT NULL ORDER BY name")));
    QStringList objects;
    while (query.next())
        objects << query.value(0).toString() + QLatin1Char(' ') + query.value(1).toString();
    QCOMPARE(objects,
             QStringList({ QStringLiteral("table Details"), QStringLiteral("table Hosts"),
                           QStringLiteral("index IX_Details_Host_PingDatetime"), QStringLiteral("table Settings"),
                           QStringLiteral("trigger TRG_Details_UPDATE_Hosts_INSERT"),
                           QStringLiteral("table sqlite_sequence") }));
}

QTEST_GUILESS_MAIN(tst_uSchema)
#include "tst_uSchema.moc"
