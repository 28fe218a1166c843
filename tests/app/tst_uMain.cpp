#include "SmtpTestServer.h"
#include "app/uMain.h"
#include "app/uMessageBox.h"
#include "app/uNotify.h"
#include "i18n/uLanguage.h"
#include "ping/PingThrd.h"
#include "settings/uUtils.h"
#include "store/uDM.h"
#include "store/uSqlText.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QMessageBox>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

namespace {

// A main window over a fresh database in a temporary working directory, with recording message boxes.
struct TMainFixture
{
    QTemporaryDir dir;
    QString oldDir = QDir::currentPath();
    QStringList errors;
    QStringList infos;
    QStringList questions;
    bool answer = true;
    std::unique_ptr<TfMain> window;
    std::unique_ptr<TfDM> dm;

    explicit TMainFixture(int language = 1, bool autoStart = false, const QStringList& hosts = {})
    {
        QDir::setCurrent(dir.path());
        Notify::SetErrorHandler([this](const QString& m) { errors << m; });
        Notify::SetInformationHandler([this](const QString& m) { infos << m; });
        Notify::SetConfirmHandler([this](const QString& m) {
            questions << m;
            return answer;
        });
        {
            // Prepare the file before the program opens it.
            TfDM prepare;
            ExecSQL(prepare.SQLConnection,
                    QStringLiteral("UPDATE Settings SET Language = %1, AutoStartAgent = %2")
                        .arg(language)
                        .arg(autoStart ? 1 : 0));
            for (const QString& ip : hosts)
                ExecSQL(prepare.SQLConnection,
                        QStringLiteral("INSERT INTO Hosts (IP, Alias) VALUES (%1, 'h')").arg(QuotedStr(ip)));
        }
        window = std::make_unique<TfMain>();
        fMain = window.get();
        dm = std::make_unique<TfDM>();
        fDM = dm.get();
        window->ConfirmDeleteRecord = [this] {
            questions << QStringLiteral("Delete record?");
            return answer;
        };
        window->BindData();
    }

    ~TMainFixture()
    {
        window->FormClose();
        window.reset();
        dm.reset();
        fDM = nullptr;
        Notify::SetErrorHandler(nullptr);
        Notify::SetInformationHandler(nullptr);
        Notify::SetConfirmHandler(nullptr);
        SetNowFunction(nullptr);
        QDir::setCurrent(oldDir);
    }

    void show()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void setSetting(const QString& column, const QVariant& value)
    {
        dm->qrySettings->SetField(column, value);
        dm->qrySettings->Post();
    }

    QStringList logLines() const
    {
        const QString text = window->LogWindow->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }

    QVariant hostValue(const QString& ip, const QString& column)
    {
        QSqlQuery q(dm->SQLConnection);
        q.exec(QStringLiteral("SELECT %1 FROM Hosts WHERE IP = %2").arg(column, QuotedStr(ip)));
        return q.next() ? q.value(0) : QVariant();
    }

    QList<QStringList> details(const QString& columns)
    {
        QList<QStringList> rows;
        QSqlQuery q(dm->SQLConnection);
        q.exec(QStringLiteral("SELECT %1 FROM Details ORDER BY ID").arg(columns));
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i).toString();
            rows << row;
        }
        return rows;
    }

    void waitForCycleEnd(int timeoutMs = 15000)
    {
        QTRY_VERIFY_WITH_TIMEOUT(window->ThreadNum == 0 && window->PanelText(0) == txtReady, timeoutMs);
    }
};

// Drops CAP_NET_RAW from the effective set of this thread (and so of the workers it creates) for its lifetime.
struct TNoRawSockets
{
    __user_cap_header_struct header{ _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct saved[2]{};
    bool dropped = false;

    TNoRawSockets()
    {
        if (syscall(SYS_capget, &header, saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = { saved[0], saved[1] };
        reduced[CAP_NET_RAW / 32].effective &= ~(1u << (CAP_NET_RAW % 32));
        dropped = syscall(SYS_capset, &header, reduced) == 0;
    }
    ~TNoRawSockets()
    {
        if (dropped)
            syscall(SYS_capset, &header, saved);
    }
};

// Ping sockets are open to this process's group: the permission error cannot be produced here.
bool pingSocketsAllowed()
{
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ping_group_range"));
    if (!range.open(QIODevice::ReadOnly))
        return false;
    const QStringList bounds = QString::fromLatin1(range.readAll()).simplified().split(QLatin1Char(' '));
    const long gid = long(getgid());
    return bounds.size() == 2 && bounds[0].toLong() <= gid && gid <= bounds[1].toLong();
}

} // namespace

class TestMain : public QObject
{
    Q_OBJECT

private slots:
    void captionsAndColumnsInBothLanguages_data();
    void captionsAndColumnsInBothLanguages();
    void windowOpensQuietWithoutAutoStart();
    void autoStartShowsStopAtOnce();
    void hostGridAddEditDelete();
    void hostGridRefusesBadAddress();
    void pingCycleStoresEveryAttempt();
    void pingCycleRefusedOnIncompleteSettings_data();
    void pingCycleRefusedOnIncompleteSettings();
    void emptyHostListCreatesNoWorker();
    void secondPingRestartsNumbering();
    void formatsAreFilledOnce();
    void agentWaitsForAlignedFirstRun();
    void agentHaltsOnZeroInterval();
    void agentStopsEvenWithIncompleteSettings();
    void emailTickWaitsForCycle();
    void resetAllPings();
    void exportForcesHtmlExtension_data();
    void exportForcesHtmlExtension();
    void summaryText_data();
    void summaryText();
    void settingsRefusedWhileWorkersOutstanding();
    void logKeepsBoundedLines();
    void unpingableAddressIsStoredAsFailure();
    void probeErrorStoresNothing();
    void hostDeletedDuringCycle();
    void closingDuringCycleStoresNothing();
    void errorBoxesDoNotPileUp();
    void emailTickSendsTheReportOnce();
    void detailsAndSettingsOpenFromTheirCommands();
    void everyHostRowShowsItsFigures();
    void failedReportIsLoggedWithoutSending();
};

void TestMain::captionsAndColumnsInBothLanguages_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("hostsTab");
    QTest::addColumn<QString>("lastColumn");
    QTest::addRow("Portuguese") << 0 << QStringLiteral("&Iniciar") << QStringLiteral("&IPs")
                                << QStringLiteral("Sucesso (%) - mês");
    QTest::addRow("English") << 1 << QStringLiteral("&Start") << QStringLiteral("&Hosts")
                             << QStringLiteral("Last month success rate (%)");
}

void TestMain::captionsAndColumnsInBothLanguages()
{
    QFETCH(int, language);
    QFETCH(QString, start);
    QFETCH(QString, hostsTab);
    QFETCH(QString, lastColumn);
    TMainFixture f(language);
    f.show();
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Tarquel MONITOR 1.0"));
    QCOMPARE(f.window->btnStartAgent->text(), start);
    QCOMPARE(f.window->btnPingMannualy->text(), txtPingButton);
    QCOMPARE(f.window->btnSettings->text(), txtSettingsButton);
    QCOMPARE(f.window->btnResetPings->text(), txtDeleteAllPingsButton);
    QCOMPARE(f.window->btnHTMLExport->text(), txtExportHtmlButton);
    QCOMPARE(f.window->btnLogClear->text(), txtClearButton);
    QCOMPARE(f.window->pcSubMain->tabText(0), hostsTab);
    QCOMPARE(f.window->pcSubMain->tabText(1), txtLogTab);
    QAbstractItemModel* model = f.window->DBGHosts->model();
    QCOMPARE(model->columnCount(), 13);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), txtColIP);
    QCOMPARE(model->headerData(12, Qt::Horizontal).toString(), lastColumn);
    const int widths[] = { 75, 120, 120, 100, 130, 130, 130, 130, 130, 130, 130, 130, 130 };
    for (int c = 0; c < 13; ++c)
        QCOMPARE(f.window->DBGHosts->columnWidth(c), widths[c]);
    QVERIFY(model->headerData(3, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    QVERIFY(!(model->headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight));
}

void TestMain::windowOpensQuietWithoutAutoStart()
{
    TMainFixture f(1, false);
    f.show();
    QCOMPARE(f.window->acTimerStart->ImageIndex(), 0);
    for (int panel = 0; panel < 4; ++panel)
        QVERIFY(f.window->PanelText(panel).isEmpty());
    QVERIFY(f.window->LogWindow->toPlainText().isEmpty());
    QVERIFY(f.window->sText->text().startsWith(QStringLiteral("Agent is set to ping every host 1 times")));
    QVERIFY(f.errors.isEmpty());
}

void TestMain::autoStartShowsStopAtOnce()
{
    TMainFixture f(1, true);
    f.show();
    QCOMPARE(f.window->btnStartAgent->text(), QStringLiteral("&Stop"));
    QCOMPARE(f.window->acTimerStart->ImageIndex(), 1);
    QVERIFY(f.window->tmrSync->isActive());
    QVERIFY(f.window->tmrSyncEmail->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!f.window->PanelText(2).isEmpty(), 3000);
    QVERIFY(f.window->PanelText(2).startsWith(QStringLiteral("Next run at: ")));
    QVERIFY(f.window->PanelText(3).startsWith(QStringLiteral("Next e-mail at:  ")));
}

void TestMain::hostGridAddEditDelete()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    f.show();
    TfMain* w = f.window.get();
    QAbstractItemModel* model = w->DBGHosts->model();

    // Add a host through the navigator and the grid's editor.
    QTest::mouseClick(w->NavigatorButton(TfMain::nbInsert), Qt::LeftButton);
    const int row = model->rowCount() - 1;
    QCOMPARE(row, 1);
    QVERIFY(model->flags(model->index(row, 0)) & Qt::ItemIsEditable);
    QVERIFY(model->setData(model->index(row, 0), QStringLiteral("127.0.0.2")));
    QVERIFY(model->setData(model->index(row, 1), QStringLiteral("second")));
    QTest::mouseClick(w->NavigatorButton(TfMain::nbPost), Qt::LeftButton);
    QVERIFY2(f.errors.isEmpty(), qPrintable(f.errors.join(QLatin1Char('\n'))));
    QCOMPARE(f.dm->HostsList, QStringList({ QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2") }));
    QCOMPARE(f.hostValue(QStringLiteral("127.0.0.2"), QStringLiteral("TotalPings24")).toInt(), 0);

    // The address of an existing host stays; its alias changes.
    const int first = 0;
    QVERIFY(!(model->flags(model->index(first, 0)) & Qt::ItemIsEditable));
    QVERIFY(!model->setData(model->index(first, 0), QStringLiteral("127.0.0.9")));
    QVERIFY(!(model->flags(model->index(first, 4)) & Qt::ItemIsEditable));
    QVERIFY(model->setData(model->index(first, 1), QStringLiteral("renamed")));
    QTest::mouseClick(w->NavigatorButton(TfMain::nbPost), Qt::LeftButton);
    QCOMPARE(f.hostValue(QStringLiteral("127.0.0.1"), QStringLiteral("Alias")).toString(), QStringLiteral("renamed"));

    // Delete asks first; Cancel keeps the host.
    w->DBGHosts->setCurrentIndex(model->index(1, 1));
    f.answer = false;
    QTest::mouseClick(w->NavigatorButton(TfMain::nbDelete), Qt::LeftButton);
    QCOMPARE(f.questions.last(), QStringLiteral("Delete record?"));
    QCOMPARE(f.dm->HostsList.size(), 2);
    f.answer = true;
    QTest::mouseClick(w->NavigatorButton(TfMain::nbDelete), Qt::LeftButton);
    QCOMPARE(f.dm->HostsList, QStringList({ QStringLiteral("127.0.0.1") }));

    // Cancel of an insert leaves the list equal to the table.
    QTest::mouseClick(w->NavigatorButton(TfMain::nbInsert), Qt::LeftButton);
    model->setData(model->index(model->rowCount() - 1, 0), QStringLiteral("127.0.0.3"));
    QTest::mouseClick(w->NavigatorButton(TfMain::nbCancel), Qt::LeftButton);
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(f.dm->HostsList, QStringList({ QStringLiteral("127.0.0.1") }));
}

void TestMain::hostGridRefusesBadAddress()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    f.show();
    TfMain* w = f.window.get();
    QAbstractItemModel* model = w->DBGHosts->model();
    for (const QString& bad : { QStringLiteral(""), QStringLiteral("host.example"), QStringLiteral("256.1.1.1"),
                                QStringLiteral("1.2.3"), QStringLiteral("127.0.0.1") }) {
        f.errors.clear();
        QTest::mouseClick(w->NavigatorButton(TfMain::nbInsert), Qt::LeftButton);
        const int row = model->rowCount() - 1;
        model->setData(model->index(row, 0), bad);
        QTest::mouseClick(w->NavigatorButton(TfMain::nbPost), Qt::LeftButton);
        QCOMPARE(f.errors.size(), 1);
        if (bad == QStringLiteral("127.0.0.1"))
            QVERIFY2(f.errors.first().contains(QStringLiteral("UNIQUE")), qPrintable(f.errors.first()));
        else
            QCOMPARE(f.errors.first(), txtInvalidHostIP);
        // The row stays for correction.
        QCOMPARE(f.dm->qryHosts->State(), TDataSetState::Insert);
        QCOMPARE(model->rowCount(), 2);
        QTest::mouseClick(w->NavigatorButton(TfMain::nbCancel), Qt::LeftButton);
    }
    QCOMPARE(f.dm->HostsList, QStringList({ QStringLiteral("127.0.0.1") }));
}

void TestMain::pingCycleStoresEveryAttempt()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2") });
    f.show();
    f.setSetting(QStringLiteral("PingAttemts"), 3);
    f.window->acPingHosts->Execute();
    f.waitForCycleEnd();
    QVERIFY2(f.errors.isEmpty(), qPrintable(f.errors.join(QLatin1Char('\n'))));
    const QStringList lines = f.logLines();
    QCOMPARE(lines.size(), 6);
    QSet<QString> ids;
    for (const QString& line : lines) {
        QVERIFY2(line.contains(QStringLiteral(", received 32 bytes from 127.0.0.")), qPrintable(line));
        ids << line.section(QLatin1Char(' '), 1, 1);
    }
    QCOMPARE(ids, QSet<QString>({ "1", "2", "3", "4", "5", "6" }));
    const QList<QStringList> rows = f.details(QStringLiteral("Host, PingId, PingThreadNum, PingTTL, ReplyDataSize"));
    QCOMPARE(rows.size(), 6);
    for (int i = 0; i < rows.size(); ++i) {
        const int id = rows[i][1].toInt();
        QCOMPARE(rows[i][0], id <= 3 ? QStringLiteral("127.0.0.1") : QStringLiteral("127.0.0.2"));
        QCOMPARE(rows[i][2], QString::number(5 - i)); // counts down in completion order
        QCOMPARE(rows[i][3], QStringLiteral("0"));
        QCOMPARE(rows[i][4], QStringLiteral("32"));
    }
    QCOMPARE(f.hostValue(QStringLiteral("127.0.0.2"), QStringLiteral("TotalPings24")).toInt(), 3);
    QCOMPARE(f.window->DBGHosts->model()->index(1, 4).data().toInt(), 3);
    QVERIFY(f.window->PanelText(2).startsWith(QStringLiteral("Next run at: ")));
    QCOMPARE(f.window->PanelText(1), QStringLiteral("Threads: 0"));
}

void TestMain::pingCycleRefusedOnIncompleteSettings_data()
{
    QTest::addColumn<QString>("column");
    for (const char* column : { "PingTimeout", "PingPacketSize", "PingAttemts", "PingInterval" })
        QTest::addRow("%s", column) << QString::fromLatin1(column);
}

void TestMain::pingCycleRefusedOnIncompleteSettings()
{
    QFETCH(QString, column);
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    f.show();
    f.setSetting(column, 0);
    f.window->acPingHosts->Execute();
    QCOMPARE(f.errors, QStringList({ QStringLiteral("Not all settings where informed.") }));
    QCOMPARE(f.window->ThreadNum, 0);
    QVERIFY(f.window->PanelText(0).isEmpty());
    f.window->acTimerStart->Execute();
    QCOMPARE(f.errors.size(), 2);
    QCOMPARE(f.window->acTimerStart->ImageIndex(), 0);
}

void TestMain::emptyHostListCreatesNoWorker()
{
    TMainFixture f(1, false);
    f.show();
    f.window->acPingHosts->Execute();
    QCOMPARE(f.window->ThreadNum, 0);
    for (int panel = 0; panel < 4; ++panel)
        QVERIFY(f.window->PanelText(panel).isEmpty());
}

void TestMain::secondPingRestartsNumbering()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2") });
    f.show();
    f.setSetting(QStringLiteral("PingAttemts"), 2);
    // The second press comes from inside the first cycle's event pass while it creates its workers.
    int presses = 0;
    QTimer::singleShot(0, f.window.get(), [&] {
        ++presses;
        f.window->acPingHosts->Execute();
    });
    f.window->acPingHosts->Execute();
    f.waitForCycleEnd();
    QCOMPARE(presses, 1);
    QTest::qWait(300);
    const QList<QStringList> rows = f.details(QStringLiteral("PingId"));
    QCOMPARE(rows.size(), 4);
    QSet<QString> ids;
    for (const QStringList& row : rows)
        ids << row[0];
    QCOMPARE(ids, QSet<QString>({ "1", "2", "3", "4" }));
    QCOMPARE(f.window->ThreadNum, 0);
}

void TestMain::formatsAreFilledOnce()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    f.show();
    // A host that may never answer: its alias is irrelevant, the failure line carries the status text.
    ExecSQL(f.dm->SQLConnection, QStringLiteral("UPDATE Settings SET User = '%s %1 %d'"));
    f.dm->qrySettings->Open();
    f.window->acLoadStext->Execute();
    QVERIFY2(f.window->sText->text().contains(QStringLiteral("report from %s %1 %d by interval")),
             qPrintable(f.window->sText->text()));
}

void TestMain::agentWaitsForAlignedFirstRun()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    QDateTime now(QDate(2014, 5, 14), QTime(10, 0, 30));
    SetNowFunction([&now] { return now; });
    f.show();
    f.setSetting(QStringLiteral("PingInterval"), 60);
    f.window->acTimerStart->Execute();
    const TDateTime expected = DateTimeFromQt(QDateTime(QDate(2014, 5, 14), QTime(10, 1, 0))) + 1e-7;
    QVERIFY(qAbs(f.dm->NextRunAt - expected) < 1e-9);
    f.window->tmrSyncTimer();
    QCOMPARE(f.window->PanelText(2), QStringLiteral("Next run at: ") + DateTimeText(expected));
    QVERIFY(f.window->tmrSync->isActive());
    QVERIFY(!f.window->tmrPingAll->isActive());
    QCOMPARE(f.window->ThreadNum, 0);
    now = QDateTime(QDate(2014, 5, 14), QTime(10, 1, 0, 9));
    f.window->tmrSyncTimer();
    QVERIFY(!f.window->tmrSync->isActive());
    QVERIFY(f.window->tmrPingAll->isActive());
    QCOMPARE(f.window->tmrPingAll->interval(), 60000);
    f.waitForCycleEnd();
    QCOMPARE(f.details(QStringLiteral("ID")).size(), 1);
    // Stop: all three timers off, the toggle reads Start again.
    f.window->acTimerStart->Execute();
    QVERIFY(!f.window->tmrSync->isActive() && !f.window->tmrPingAll->isActive() && !f.window->tmrSyncEmail->isActive());
    QCOMPARE(f.window->btnStartAgent->text(), QStringLiteral("&Start"));
    QCOMPARE(f.window->acTimerStart->ImageIndex(), 0);
}

void TestMain::agentHaltsOnZeroInterval()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    QDateTime now(QDate(2014, 5, 14), QTime(10, 0, 30));
    SetNowFunction([&now] { return now; });
    f.show();
    f.window->acTimerStart->Execute();
    // The interval is zeroed while the agent waits (an edited database).
    ExecSQL(f.dm->SQLConnection, QStringLiteral("UPDATE Settings SET PingInterval = 0"));
    f.dm->qrySettings->Open();
    now = now.addSecs(3600);
    f.window->tmrSyncTimer();
    QCOMPARE(f.errors, QStringList({ QStringLiteral("No valid ping interval on settings.") }));
    QVERIFY(!f.window->tmrSync->isActive());
    QVERIFY(!f.window->tmrPingAll->isActive());
    QVERIFY(f.window->tmrSyncEmail->isActive());
    QCOMPARE(f.window->btnStartAgent->text(), QStringLiteral("&Stop"));
    QCOMPARE(f.window->ThreadNum, 0);
}

void TestMain::agentStopsEvenWithIncompleteSettings()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    f.show();
    f.window->acTimerStart->Execute();
    QVERIFY(f.window->tmrSync->isActive());
    f.setSetting(QStringLiteral("PingTimeout"), 0);
    f.window->acTimerStart->Execute();
    QVERIFY(f.errors.isEmpty());
    QVERIFY(!f.window->tmrSync->isActive());
    QCOMPARE(f.window->acTimerStart->ImageIndex(), 0);
}

void TestMain::emailTickWaitsForCycle()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    QDateTime now = QDateTime::currentDateTime();
    SetNowFunction([&now] { return now; });
    f.show();
    f.window->acTimerStart->Execute();
    f.window->tmrSyncEmail->stop();
    const TDateTime due = DateTimeFromQt(now) - 1.0 / 86400;
    f.dm->NextEmailAt = due;
    f.window->ThreadNum = 1; // a cycle is outstanding
    f.window->tmrSyncEmailTimer();
    QCOMPARE(f.dm->NextEmailAt, due);
    f.window->ThreadNum = 0;
    f.window->tmrSyncEmailTimer();
    QCOMPARE(f.dm->NextEmailAt, GetNextSyncTime(DateTimeFromQt(now), 43200 / 86400.0));
    QVERIFY(f.window->tmrSyncEmail->isActive());
    QCOMPARE(f.window->PanelText(3), QStringLiteral("Next e-mail at:  ") + DateTimeText(due));
}

void TestMain::resetAllPings()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    f.show();
    f.dm->InsertDetails(QStringLiteral("127.0.0.1"), 32, 1000, 0, QStringLiteral("1"), QStringLiteral("0"),
                        QStringLiteral("127.0.0.1"), 0, 1, 32, 0, 0, QStringLiteral("Success"));
    f.answer = false;
    f.window->acDeleteAllPings->Execute();
    QCOMPARE(f.questions, QStringList({ QStringLiteral("Delete all pings?") }));
    QCOMPARE(f.details(QStringLiteral("ID")).size(), 1);
    f.answer = true;
    f.window->acDeleteAllPings->Execute();
    QCOMPARE(f.details(QStringLiteral("ID")).size(), 0);
    QCOMPARE(f.dm->HostsList.size(), 1);
    QVERIFY(f.hostValue(QStringLiteral("127.0.0.1"), QStringLiteral("LastPingDate")).isNull());
    QCOMPARE(f.hostValue(QStringLiteral("127.0.0.1"), QStringLiteral("TotalPings24")).toInt(), 0);
    QVERIFY(f.window->DBGHosts->model()->index(0, 2).data().isNull());
}

void TestMain::exportForcesHtmlExtension_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addRow("txt replaced") << QStringLiteral("report.txt") << QStringLiteral("report.html");
    QTest::addRow("none appended") << QStringLiteral("report") << QStringLiteral("report.html");
    QTest::addRow("dot in folder") << QStringLiteral("a.b/report") << QStringLiteral("a.b/report.html");
}

void TestMain::exportForcesHtmlExtension()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    QDir(f.dir.path()).mkpath(QStringLiteral("a.b"));
    f.show();
    QString filter;
    f.window->AskSaveFileName = [&](const QString& fl) {
        filter = fl;
        return f.dir.filePath(chosen);
    };
    QStringList opened;
    f.window->OpenDocument = [&](const QString& path) { opened << path; };
    f.answer = false;
    f.window->acExportHTML->Execute();
    QCOMPARE(filter, QStringLiteral("HTML files (*.html) (*.html)"));
    QVERIFY2(f.errors.isEmpty(), qPrintable(f.errors.join(QLatin1Char('\n'))));
    QFile report(f.dir.filePath(written));
    QVERIFY(report.open(QIODevice::ReadOnly));
    QVERIFY(report.readAll().contains("127.0.0.1"));
    QCOMPARE(f.questions, QStringList({ txtReportGeneratedOpen }));
    // Declining to open leaves the file written; Yes hands it to the desktop.
    QVERIFY(opened.isEmpty());
    f.answer = true;
    f.window->acExportHTML->Execute();
    QCOMPARE(opened, QStringList({ f.dir.filePath(written) }));
}

void TestMain::summaryText_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("email");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("expected");
    const QString agent = QStringLiteral("Agent is set to ping every host 1 times by interval of %1, timeout 1000 "
                                         "miliseconds and packet size of 32 bytes.");
    QTest::addRow("default 100 s") << 100 << 43200 << QString() << agent.arg(QStringLiteral("1 minute(s)"));
    QTest::addRow("60 s") << 60 << 43200 << QString() << agent.arg(QStringLiteral("1 minute(s)"));
    QTest::addRow("12 h with user") << 43200 << 604800 << QStringLiteral("ops@example.org")
                                    << agent.arg(QStringLiteral("12 hour(s)"))
            + QStringLiteral("\r\nProgram will send e-mail report from ops@example.org by interval of 1 week");
}

void TestMain::summaryText()
{
    QFETCH(int, interval);
    QFETCH(int, email);
    QFETCH(QString, user);
    QFETCH(QString, expected);
    TMainFixture f(1, false);
    f.setSetting(QStringLiteral("PingInterval"), interval);
    f.setSetting(QStringLiteral("SendEmailinterval"), email);
    f.setSetting(QStringLiteral("User"), user.isEmpty() ? QVariant() : QVariant(user));
    f.show();
    QCOMPARE(f.window->sText->text(), expected);
}

void TestMain::settingsRefusedWhileWorkersOutstanding()
{
    TMainFixture f(1, false);
    f.show();
    f.window->ThreadNum = 2;
    f.window->acOpenSettings->Execute();
    QCOMPARE(f.infos, QStringList({ QStringLiteral("Stop agent before change the settings.") }));
    f.window->ThreadNum = 0;
    f.window->tmrPingAll->start();
    f.window->acOpenSettings->Execute();
    QCOMPARE(f.infos.size(), 2);
    f.window->tmrPingAll->stop();
}

void TestMain::logKeepsBoundedLines()
{
    TMainFixture f(1, false);
    QCOMPARE(f.window->LogWindow->maximumBlockCount(), 100000);
}

void TestMain::unpingableAddressIsStoredAsFailure()
{
    // Only an edited database can hold such an address; the grid refuses it.
    TMainFixture f(1, false, { QStringLiteral("999.1.1.1") });
    f.show();
    f.window->acPingHosts->Execute();
    f.waitForCycleEnd();
    QCOMPARE(f.logLines(), QStringList({ QStringLiteral("Thread 1 for 999.1.1.1, Unknow") }));
    const QList<QStringList> rows = f.details(QStringLiteral("ReplyDataSize, ErrMsg, PingThreadNum"));
    QCOMPARE(rows, QList<QStringList>({ { "0", "Unknow", "0" } }));
    QCOMPARE(f.hostValue(QStringLiteral("999.1.1.1"), QStringLiteral("SuccessRate24")).toInt(), 0);
}

void TestMain::probeErrorStoresNothing()
{
    if (pingSocketsAllowed())
        QSKIP("ping sockets are open to this group, so no permission error can be made");
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2") });
    f.show();
    {
        TNoRawSockets noRaw;
        if (!noRaw.dropped)
            QSKIP("cannot change this thread's capabilities");
        f.window->acPingHosts->Execute();
        f.waitForCycleEnd();
        // A second cycle tells the operator nothing new.
        f.window->acPingHosts->Execute();
        f.waitForCycleEnd();
    }
    QCOMPARE(f.errors, QStringList({ txtIcmpPermission }));
    const QStringList lines = f.logLines();
    QCOMPARE(lines.size(), 4);
    for (const QString& line : lines)
        QVERIFY2(line.startsWith(QStringLiteral("Thread ")) && !line.contains(QStringLiteral("received")),
                 qPrintable(line));
    QVERIFY(f.details(QStringLiteral("ID")).isEmpty());
    QCOMPARE(f.window->ThreadNum, 0);
}

void TestMain::hostDeletedDuringCycle()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2") });
    f.show();
    f.setSetting(QStringLiteral("PingAttemts"), 2);
    f.window->acPingHosts->Execute();
    // The results wait for the event loop; the host goes before they are handled.
    ExecSQL(f.dm->SQLConnection, QStringLiteral("DELETE FROM Hosts WHERE IP = '127.0.0.2'"));
    f.waitForCycleEnd();
    QCOMPARE(f.errors.size(), 2);
    for (const QString& error : f.errors)
        QVERIFY2(error.contains(QStringLiteral("FOREIGN KEY")), qPrintable(error));
    QCOMPARE(f.details(QStringLiteral("Host")), QList<QStringList>({ { "127.0.0.1" }, { "127.0.0.1" } }));
    QCOMPARE(f.logLines().size(), 4);
}

void TestMain::closingDuringCycleStoresNothing()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2") });
    f.show();
    f.setSetting(QStringLiteral("PingAttemts"), 3);
    f.window->acPingHosts->Execute();
    f.window->close();
    QTest::qWait(500);
    QVERIFY(f.details(QStringLiteral("ID")).isEmpty());
    QVERIFY(f.logLines().isEmpty());
}

void TestMain::errorBoxesDoNotPileUp()
{
    TMainFixture f(1, false);
    f.show();
    InstallMessageBoxes(f.window.get());
    QStringList boxes;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        boxes << box->text();
        if (boxes.size() == 1) {
            // A result or tick failing while the box waits for the operator.
            Notify::ShowError(QStringLiteral("second failure"));
            Notify::ShowError(QStringLiteral("third failure"));
        }
        box->accept();
    });
    closer.start(50);
    Notify::ShowError(QStringLiteral("first failure"));
    QCOMPARE(boxes, QStringList({ QStringLiteral("first failure") }));
    QCOMPARE(f.logLines(), QStringList({ QStringLiteral("second failure"), QStringLiteral("third failure") }));
    // With the box gone, the next error gets a box again.
    Notify::ShowError(QStringLiteral("later failure"));
    QCOMPARE(boxes.size(), 2);
    closer.stop();
}

static void useMailServer(TMainFixture& f, quint16 port)
{
    for (const auto& [column, value] : std::initializer_list<std::pair<const char*, QVariant>>{
             { "ServerAdd", QStringLiteral("127.0.0.1") },
             { "ServerPort", port },
             { "User", QStringLiteral("monitor@example.test") },
             { "Password", QStringLiteral("secret") },
             { "EmailRecipients", QStringLiteral("noc@example.test") } })
        f.dm->qrySettings->SetField(QString::fromLatin1(column), value);
    f.dm->qrySettings->Post();
}

void TestMain::emailTickSendsTheReportOnce()
{
    if (!SmtpTestServer::Unavailable().isEmpty())
        QSKIP(qPrintable(SmtpTestServer::Unavailable()));
    SmtpTestServer server;
    QVERIFY2(server.Start(QStringLiteral("normal"), QStringLiteral("monitor@example.test"), QStringLiteral("secret")),
             qPrintable(server.ErrorText()));
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    useMailServer(f, server.Port());
    QDateTime now = QDateTime::currentDateTime();
    SetNowFunction([&now] { return now; });
    f.show();
    f.window->acTimerStart->Execute();
    f.window->tmrSyncEmail->stop();
    f.dm->NextEmailAt = DateTimeFromQt(now);
    f.window->tmrSyncEmailTimer();
    QVERIFY(server.WaitForEvent(QStringLiteral("message")));
    QVERIFY2(f.logLines().isEmpty(), qPrintable(f.logLines().join(QLatin1Char('\n'))));
    QCOMPARE(f.dm->NextEmailAt, GetNextSyncTime(DateTimeFromQt(now), 0.5));
    // Not due again until then.
    now = now.addSecs(1);
    f.window->tmrSyncEmailTimer();
    QTest::qWait(200);
    int messages = 0;
    for (const QJsonObject& event : server.Events()) {
        if (event.value(QStringLiteral("event")).toString() != QStringLiteral("message"))
            continue;
        ++messages;
        const QJsonArray parts = event.value(QStringLiteral("parts")).toArray();
        QCOMPARE(parts.size(), 1);
        const QJsonObject part = parts.first().toObject();
        QCOMPARE(part.value(QStringLiteral("filename")).toString(),
                 QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + QStringLiteral(".html"));
        QVERIFY(
            QByteArray::fromBase64(part.value(QStringLiteral("payload")).toString().toLatin1()).contains("127.0.0.1"));
        QCOMPARE(event.value(QStringLiteral("subject")).toString(), txtReportTitle);
    }
    QCOMPARE(messages, 1);
}

void TestMain::failedReportIsLoggedWithoutSending()
{
    if (!SmtpTestServer::Unavailable().isEmpty())
        QSKIP(qPrintable(SmtpTestServer::Unavailable()));
    SmtpTestServer server;
    QVERIFY(server.Start(QStringLiteral("normal"), QStringLiteral("monitor@example.test"), QStringLiteral("secret")));
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1") });
    useMailServer(f, server.Port());
    f.show();
    // The report cannot read its rows.
    ExecSQL(f.dm->SQLConnection, QStringLiteral("ALTER TABLE Hosts RENAME TO HostsGone"));
    f.window->acSendEmail->Execute();
    QCOMPARE(f.logLines(), QStringList({ txtReportFailed }));
    QVERIFY(f.errors.isEmpty());
    QTest::qWait(200);
    QVERIFY(!server.EventNames().contains(QStringLiteral("connect")));
}

void TestMain::detailsAndSettingsOpenFromTheirCommands()
{
    TMainFixture f(1, false, { QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2") });
    f.show();
    QStringList titles;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            titles << modal->windowTitle();
            modal->close();
        }
    });
    closer.start(50);
    QAbstractItemView* grid = f.window->DBGHosts;
    grid->setCurrentIndex(grid->model()->index(1, 1));
    f.window->acOpenDetails->Execute();
    QCOMPARE(titles, QStringList({ QStringLiteral("Ping details: 127.0.0.2") }));
    QCOMPARE(f.dm->qryDetails->SQL, QStringLiteral("SELECT * FROM Details WHERE Details.Host = '127.0.0.2'"));
    // The settings open while the agent only waits for its first run; the summary follows what they hold.
    f.window->acTimerStart->Execute();
    ExecSQL(f.dm->SQLConnection, QStringLiteral("UPDATE Settings SET PingAttemts = 4"));
    f.dm->qrySettings->Open();
    f.window->acOpenSettings->Execute();
    QCOMPARE(titles.size(), 2);
    QCOMPARE(titles.last(), QStringLiteral("Settings"));
    QVERIFY(f.infos.isEmpty());
    QVERIFY2(f.window->sText->text().contains(QStringLiteral("every host 4 times")),
             qPrintable(f.window->sText->text()));
    closer.stop();
}

void TestMain::everyHostRowShowsItsFigures()
{
    // More hosts than the model fetches at once: the rows past the first batch must refresh too.
    QStringList hosts;
    for (int i = 1; i <= 300; ++i)
        hosts << QStringLiteral("127.0.%1.%2").arg(i / 200).arg(i % 200 + 1);
    TMainFixture f(1, false, hosts);
    f.show();
    QAbstractItemModel* model = f.window->DBGHosts->model();
    QCOMPARE(model->rowCount(), 300);
    for (int row : { 0, 255, 256, 299 }) {
        f.dm->InsertDetails(hosts[row], 32, 1000, 0, QStringLiteral("1"), QStringLiteral("0"), hosts[row], 0, 1, 32, 0,
                            0, QStringLiteral("Success"));
        QVERIFY(f.dm->qryHosts->RefreshHost(hosts[row]));
    }
    for (int row : { 0, 255, 256, 299 })
        QCOMPARE(model->index(row, 4).data().toInt(), 1);
    QCOMPARE(model->index(257, 4).data().toInt(), 0);
    QVERIFY(f.errors.isEmpty());
}

QTEST_MAIN(TestMain)
#include "tst_uMain.moc"
