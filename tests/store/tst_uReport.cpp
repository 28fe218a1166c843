#include "TempDatabase.h"

#include "app/uNotify.h"
#include "i18n/uLanguage.h"
#include "settings/uUtils.h"
#include "store/uDM.h"
#include "store/uSqlText.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray head = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
                        "<html><head>\r\n"
                        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n"
                        "<meta name=Generator content=\"Tarquel MONITOR\">\r\n";

} // namespace

class TstReport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void goldenTwoHosts();
    void portugueseTitlesInUtf8();
    void noHosts();
    void storedTextIsEscaped();
    void existingFileOverwritten();
    void failures_data();
    void failures();
    void failedQueryLeavesNoFile();
    void numberText_data();
    void numberText();
    void dateTimeText_data();
    void dateTimeText();

private:
    void exec(const QString& sql) { ExecSQL(m_db->dm()->SQLConnection, sql); }

    std::unique_ptr<TempDatabase> m_db;
    QStringList m_errors;
};

void TstReport::init()
{
    m_errors.clear();
    Notify::SetErrorHandler([this](const QString& message) { m_errors << message; });
    SetNowFunction([] { return QDateTime(QDate(2014, 6, 14), QTime(10, 0)); });
    m_db = std::make_unique<TempDatabase>();
    QVERIFY(m_db->dm()->Opened());
    LoadEnglishTexts();
}

void TstReport::cleanup()
{
    m_db.reset();
    SetNowFunction(nullptr);
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
}

void TstReport::goldenTwoHosts()
{
    exec(QStringLiteral("INSERT INTO Hosts (IP, Alias) VALUES ('10.0.0.1', 'Router'), ('10.0.0.2', 'Never pinged')"));
    exec(QStringLiteral("UPDATE Hosts SET LastPingDate = '2014-06-12 09:05:03.042', LastPingResponse = '12',"
                        " TotalPings24 = 3, SuccessPings24 = 2,"
                        " SuccessRate24 = CAST ( ( ( 2 * 1.0 ) / 3 ) * 100 AS Decimal( 38, 2 ) ),"
                        " TotalPingsWeek = 4, SuccessPingsWeek = 2,"
                        " SuccessRateWeek = CAST ( ( ( 2 * 1.0 ) / 4 ) * 100 AS Decimal( 38, 2 ) ),"
                        " TotalPingsMonth = 5, SuccessPingsMonth = 5,"
                        " SuccessRateMonth = CAST ( ( ( 5 * 1.0 ) / 5 ) * 100 AS Decimal( 38, 2 ) )"
                        " WHERE IP = '10.0.0.1'"));
    const QString path = m_db->filePath(QStringLiteral("report.html"));
    QVERIFY(m_db->dm()->GenerateReport(path));
    const QString goldenPath = QStringLiteral(REPORT_GOLDEN_DIR "/report_two_hosts_en_US.html");
    // TM_UPDATE_GOLDEN=1 rewrites the golden file after a deliberate change of the document; review its diff.
    if (qEnvironmentVariableIsSet("TM_UPDATE_GOLDEN")) {
        QFile::remove(goldenPath);
        QVERIFY(QFile::copy(path, goldenPath));
    }
    const QByteArray golden = readAll(goldenPath);
    QVERIFY(!golden.isEmpty());
    QCOMPARE(readAll(path), golden);
}

void TstReport::portugueseTitlesInUtf8()
{
    LoadPortugueseTexts();
    const QString path = m_db->filePath(QStringLiteral("relatorio.html"));
    QVERIFY(m_db->dm()->GenerateReport(path));
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.startsWith("<!DOCTYPE")); // no byte-order mark
    QVERIFY(bytes.contains("<th>\xC3\x9Altimo ping</th>"));
    QVERIFY(bytes.contains("<th>Qtd total de pings - m\xC3\xAAs</th>"));
}

void TstReport::noHosts()
{
    const QString path = m_db->filePath(QStringLiteral("empty.html"));
    QVERIFY(m_db->dm()->GenerateReport(path));
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), 13); // twelve lines, each ended by CR LF
    QVERIFY(lines.last().isEmpty());
    QCOMPARE(lines[4], QByteArray("<title>Tarquel MONITOR: 6/14/14</title>\r"));
    QVERIFY(lines[9].startsWith("<tr><th>IP</th><th>Alias</th>"));
    QCOMPARE(lines[10], QByteArray("</table>\r"));
    QCOMPARE(lines[11], QByteArray("</body></html>\r"));
    for (int i = 0; i < 12; ++i)
        QVERIFY2(lines[i].endsWith('\r') && !lines[i].chopped(1).contains('\r'), lines[i].constData());
}

void TstReport::storedTextIsEscaped()
{
    txtColAlias = QStringLiteral("Alias <\"name\">");
    exec(QStringLiteral("INSERT INTO Hosts (IP, Alias) VALUES ('10.0.0.9', 'R&D <lab> \"x\"')"));
    const QString path = m_db->filePath(QStringLiteral("escaped.html"));
    QVERIFY(m_db->dm()->GenerateReport(path));
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.contains("<tr><td>10.0.0.9</td><td>R&amp;D &lt;lab&gt; &quot;x&quot;</td><td></td>"));
    QVERIFY(bytes.contains("<th>Alias &lt;&quot;name&quot;&gt;</th>"));
    QVERIFY(!bytes.contains("<lab>"));
}

void TstReport::existingFileOverwritten()
{
    const QString path = m_db->filePath(QStringLiteral("old.html"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    QVERIFY(m_db->dm()->GenerateReport(path));
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.startsWith(head));
    QVERIFY(bytes.endsWith("</table>\r\n</body></html>\r\n"));
    QVERIFY(!bytes.contains('x' + QByteArray(10, 'x')));
}

void TstReport::failures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("leavesFile");
    QTest::addRow("missing directory") << QStringLiteral("no/such/dir/report.html") << false;
    QTest::addRow("a directory") << QStringLiteral(".") << true;
    QTest::addRow("empty name") << QString() << false;
    // Every write is taken into the buffer; the full disk shows only at the flush.
    QTest::addRow("short write") << QStringLiteral("/dev/full") << true;
}

void TstReport::failures()
{
    QFETCH(QString, name);
    QFETCH(bool, leavesFile);
    const QString path = name.startsWith(QLatin1Char('/')) || name.isEmpty() ? name : m_db->filePath(name);
    QVERIFY(!m_db->dm()->GenerateReport(path));
    // The directory and the device were there before: they stay.
    QCOMPARE(QFileInfo::exists(path), leavesFile);
    QVERIFY(!m_db->dm()->qryReport->Active());
    // A later report to a good name still works: nothing stayed open or locked.
    QVERIFY(m_db->dm()->GenerateReport(m_db->filePath(QStringLiteral("after.html"))));
}

void TstReport::failedQueryLeavesNoFile()
{
    const QString path = m_db->filePath(QStringLiteral("broken.html"));
    exec(QStringLiteral("ALTER TABLE Hosts RENAME TO HostsAway"));
    QVERIFY(!m_db->dm()->GenerateReport(path));
    QVERIFY(!QFileInfo::exists(path));
    exec(QStringLiteral("ALTER TABLE HostsAway RENAME TO Hosts"));
    QVERIFY(m_db->dm()->GenerateReport(path));
    QVERIFY(readAll(path).startsWith(head));
}

void TstReport::numberText_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("text");
    QTest::addRow("whole") << QVariant(100.0) << QStringLiteral("100");
    QTest::addRow("integer") << QVariant(qlonglong(50)) << QStringLiteral("50");
    QTest::addRow("two thirds") << QVariant(200.0 / 3) << QStringLiteral("66.6666666666667");
    QTest::addRow("one third") << QVariant(100.0 / 3) << QStringLiteral("33.3333333333333");
    QTest::addRow("half") << QVariant(0.5) << QStringLiteral("0.5");
    QTest::addRow("small") << QVariant(1e-7) << QStringLiteral("0.0000001");
    QTest::addRow("large") << QVariant(1e20) << QStringLiteral("100000000000000000000");
    QTest::addRow("rounds up") << QVariant(99.999999999999999) << QStringLiteral("100");
    QTest::addRow("negative") << QVariant(-2.25) << QStringLiteral("-2.25");
    QTest::addRow("zero") << QVariant(0.0) << QStringLiteral("0");
    QTest::addRow("text number") << QVariant(QStringLiteral("12.50")) << QStringLiteral("12.5");
    QTest::addRow("no number") << QVariant(QStringLiteral("n/a")) << QStringLiteral("n/a");
    QTest::addRow("no value") << QVariant() << QString();
}

void TstReport::numberText()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, text);
    QCOMPARE(TDetailsQuery::NumberFieldText(stored), text);
}

void TstReport::dateTimeText_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("text");
    QTest::addRow("stored form") << QVariant(QStringLiteral("2014-06-12 09:05:03.042"))
                                 << QStringLiteral("6/12/14 9:05:03 AM");
    QTest::addRow("afternoon") << QVariant(QStringLiteral("2014-06-12 21:05:03.999"))
                               << QStringLiteral("6/12/14 9:05:03 PM");
    QTest::addRow("midnight") << QVariant(QStringLiteral("2014-06-12 00:00:00.000")) << QStringLiteral("6/12/14");
    QTest::addRow("no milliseconds") << QVariant(QStringLiteral("2014-06-12 09:05:03"))
                                     << QStringLiteral("6/12/14 9:05:03 AM");
    QTest::addRow("foreign text") << QVariant(QStringLiteral("yesterday")) << QStringLiteral("yesterday");
    QTest::addRow("no value") << QVariant() << QString();
}

void TstReport::dateTimeText()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, text);
    QCOMPARE(TDetailsQuery::DateTimeFieldText(stored).replace(QChar(0x202F), QLatin1Char(' ')), text);
}

int main(int argc, char** argv)
{
    // A fixed regional format for the golden file, whatever the machine's locale.
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("LANG", "en_US.UTF-8");
    QCoreApplication app(argc, argv);
    TstReport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uReport.moc"
