#include "TempDatabase.h"

#include "app/uNotify.h"
#include "details/uDetails.h"
#include "i18n/uLanguage.h"
#include "store/uDM.h"
#include "store/uSqlText.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QtTest>

#include <memory>

namespace {

QString selectOf(const QString& host)
{
    return QStringLiteral("SELECT * FROM Details WHERE Details.Host = ") + QuotedStr(host);
}

QString cell(const TfDetails& window, int row, int column)
{
    const QAbstractItemModel* model = window.dbgDetails->model();
    return model->data(model->index(row, column)).toString();
}

} // namespace

class TstDetails : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void hostWithoutPings();
    void rowsOfThisHostAsText();
    void quoteInAddress();
    void deleteAll_data();
    void deleteAll();
    void deleteAllTwiceAndRefresh();
    void databaseErrorsAreShown();
    void focusAndEnterNeverDelete();
    void closingReleasesTheQuery();
    void screenshots();

private:
    TfDM* dm() const { return m_db->dm(); }
    void exec(const QString& sql) const { ExecSQL(dm()->SQLConnection, sql); }
    int count(const QString& sql) const;
    void addPing(const QString& host, const QString& when, int rtt, const QString& error);

    std::unique_ptr<TempDatabase> m_db;
    QStringList m_errors;
    QStringList m_questions;
    bool m_answer = true;
};

void TstDetails::init()
{
    m_errors.clear();
    m_questions.clear();
    m_answer = true;
    Notify::SetErrorHandler([this](const QString& message) { m_errors << message; });
    Notify::SetConfirmHandler([this](const QString& message) {
        m_questions << message;
        return m_answer;
    });
    m_db = std::make_unique<TempDatabase>();
    QVERIFY(dm()->Opened());
    LoadEnglishTexts();
    exec(QStringLiteral("INSERT INTO Hosts (IP, Alias) VALUES ('10.0.0.1', 'a'), ('10.0.0.2', 'b')"));
}

void TstDetails::cleanup()
{
    m_db.reset();
    Notify::SetConfirmHandler(nullptr);
}

int TstDetails::count(const QString& sql) const
{
    QSqlQuery query(dm()->SQLConnection);
    return query.exec(sql) && query.next() ? query.value(0).toInt() : -1;
}

void TstDetails::addPing(const QString& host, const QString& when, int rtt, const QString& error)
{
    // Stored now, as every ping is (the trigger counts it in the last 24 hours), then dated for the test.
    exec(QStringLiteral("INSERT INTO Details (Host, ReplyRTT, ReplyDataSize, ReplyIPAddr, ErrMsg) "
                        "VALUES (%1, %2, %3, %4, %5)")
             .arg(QuotedStr(host), QString::number(rtt), rtt > 0 ? QStringLiteral("32") : QStringLiteral("0"),
                  QuotedStr(rtt > 0 ? host : QString()), QuotedStr(error)));
    exec(QStringLiteral("UPDATE Details SET PingDatetime = %1 WHERE ID = last_insert_rowid()").arg(QuotedStr(when)));
}

void TstDetails::hostWithoutPings()
{
    TfDetails window(nullptr, selectOf(QStringLiteral("10.0.0.1")), QStringLiteral("10.0.0.1"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Ping details: 10.0.0.1"));
    QCOMPARE(window.btnDeleteALL->text(), QStringLiteral("Delete &all"));
    QCOMPARE(window.btnRefresh->text(), QStringLiteral("&Refresh"));
    QCOMPARE(window.btnOk->text(), QStringLiteral("&OK"));
    QCOMPARE(window.dbgDetails->model()->rowCount(), 0);
    QCOMPARE(window.dbgDetails->model()->columnCount(), 3);
    const QAbstractItemModel* model = window.dbgDetails->model();
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Ping date/time"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Response time (ms)"));
    QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Error message"));
    QCOMPARE(window.dbgDetails->columnWidth(1), 150);
    QCOMPARE(window.dbgDetails->columnWidth(2), 300);
    QCOMPARE(window.dbgDetails->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(dm()->qryDetails->Active());
    QCOMPARE(dm()->qryDetails->SQL, selectOf(QStringLiteral("10.0.0.1")));
    QVERIFY(m_errors.isEmpty());

    LoadPortugueseTexts();
    TfDetails portuguese(nullptr, selectOf(QStringLiteral("10.0.0.1")), QStringLiteral("10.0.0.1"));
    QCOMPARE(portuguese.windowTitle(), QStringLiteral("Detalhes: 10.0.0.1"));
    QCOMPARE(portuguese.btnDeleteALL->text(), QStringLiteral("&Apagar tudo"));
    QCOMPARE(portuguese.dbgDetails->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Data e hora"));
}

void TstDetails::rowsOfThisHostAsText()
{
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 09:05:03.042"), 12, QString());
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 21:00:00.000"), 0,
            QStringLiteral("Request timed out"));
    addPing(QStringLiteral("10.0.0.2"), QStringLiteral("2014-06-12 09:05:04.000"), 7, QString());
    TfDetails window(nullptr, selectOf(QStringLiteral("10.0.0.1")), QStringLiteral("10.0.0.1"));
    QCOMPARE(window.dbgDetails->model()->rowCount(), 2);
    QCOMPARE(cell(window, 0, 0).replace(QChar(0x202F), QLatin1Char(' ')), QStringLiteral("6/12/14 9:05:03 AM"));
    QCOMPARE(cell(window, 0, 1), QStringLiteral("12"));
    QCOMPARE(cell(window, 0, 2), QString());
    QCOMPARE(cell(window, 1, 1), QStringLiteral("0"));
    QCOMPARE(cell(window, 1, 2), QStringLiteral("Request timed out"));
    const QModelIndex first = window.dbgDetails->model()->index(0, 2);
    QVERIFY(!(window.dbgDetails->model()->flags(first) & Qt::ItemIsEditable));
    QVERIFY(!window.dbgDetails->model()->setData(first, QStringLiteral("x")));
}

void TstDetails::quoteInAddress()
{
    const QString host = QStringLiteral("10.0.0.'1");
    exec(QStringLiteral("INSERT INTO Hosts (IP) VALUES ('10.0.0.''1')"));
    addPing(host, QStringLiteral("2014-06-12 09:05:03.042"), 3, QString());
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 09:05:03.042"), 3, QString());
    TfDetails window(nullptr, selectOf(host), host);
    QCOMPARE(window.windowTitle(), QStringLiteral("Ping details: 10.0.0.'1"));
    QCOMPARE(window.dbgDetails->model()->rowCount(), 1);
    window.acDeleteALL->trigger();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Details WHERE Host = '10.0.0.''1'")), 0);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Details")), 1);
}

void TstDetails::deleteAll_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addRow("Yes") << true;
    QTest::addRow("No") << false;
}

void TstDetails::deleteAll()
{
    QFETCH(bool, answer);
    m_answer = answer;
    // Stored through the data module, so the trigger fills the host's figures.
    for (int i = 0; i < 3; ++i)
        dm()->InsertDetails(QStringLiteral("10.0.0.1"), 32, 1000, 0, QStringLiteral("1"), QStringLiteral("1"),
                            QStringLiteral("10.0.0.1"), 0, 5, 32, 0, 0, QString());
    dm()->InsertDetails(QStringLiteral("10.0.0.2"), 32, 1000, 0, QStringLiteral("1"), QStringLiteral("1"),
                        QStringLiteral("10.0.0.2"), 0, 5, 32, 0, 0, QString());
    const QString figures = QStringLiteral("SELECT TotalPings24 FROM Hosts WHERE IP = '10.0.0.1'");
    QCOMPARE(count(figures), 3);

    TfDetails window(nullptr, selectOf(QStringLiteral("10.0.0.1")), QStringLiteral("10.0.0.1"));
    QCOMPARE(window.dbgDetails->model()->rowCount(), 3);
    QTest::mouseClick(window.btnDeleteALL, Qt::LeftButton);
    QCOMPARE(m_questions, QStringList{ QStringLiteral("Delete all pings?") });
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    const int left = answer ? 0 : 3;
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Details WHERE Host = '10.0.0.1'")), left);
    QCOMPARE(window.dbgDetails->model()->rowCount(), left);
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Details WHERE Host = '10.0.0.2'")), 1);
    // The figures stay until the host's next stored ping.
    QCOMPARE(count(figures), 3);
    QCOMPARE(dm()->qryDetails->SQL, selectOf(QStringLiteral("10.0.0.1")));
    QVERIFY(dm()->qryDetails->Active());
}

void TstDetails::deleteAllTwiceAndRefresh()
{
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 09:05:03.042"), 3, QString());
    TfDetails window(nullptr, selectOf(QStringLiteral("10.0.0.1")), QStringLiteral("10.0.0.1"));
    window.acDeleteALL->trigger();
    window.acDeleteALL->trigger();
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QCOMPARE(window.dbgDetails->model()->rowCount(), 0);
    // Rows stored while the window is open appear on Refresh.
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 09:06:03.042"), 4, QString());
    QCOMPARE(window.dbgDetails->model()->rowCount(), 0);
    QTest::mouseClick(window.btnRefresh, Qt::LeftButton);
    QCOMPARE(window.dbgDetails->model()->rowCount(), 1);
    QCOMPARE(cell(window, 0, 1), QStringLiteral("4"));
}

void TstDetails::databaseErrorsAreShown()
{
    TfDetails broken(nullptr, QStringLiteral("SELECT * FROM Nowhere"), QStringLiteral("10.0.0.1"));
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors[0].contains(QLatin1String("no such table")), qPrintable(m_errors[0]));
    QCOMPARE(broken.windowTitle(), QStringLiteral("Ping details: 10.0.0.1"));
    broken.acRefresh->trigger();
    QCOMPARE(m_errors.size(), 2);

    m_errors.clear();
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 09:05:03.042"), 3, QString());
    TfDetails window(nullptr, selectOf(QStringLiteral("10.0.0.1")), QStringLiteral("10.0.0.1"));
    exec(QStringLiteral("PRAGMA query_only = ON"));
    window.acDeleteALL->trigger();
    exec(QStringLiteral("PRAGMA query_only = OFF"));
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors[0].contains(QLatin1String("readonly")), qPrintable(m_errors[0]));
    // The grid is back on the host's rows, which are all still there.
    QCOMPARE(dm()->qryDetails->SQL, selectOf(QStringLiteral("10.0.0.1")));
    QCOMPARE(window.dbgDetails->model()->rowCount(), 1);
}

void TstDetails::focusAndEnterNeverDelete()
{
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 09:05:03.042"), 3, QString());
    TfDetails window(nullptr, selectOf(QStringLiteral("10.0.0.1")), QStringLiteral("10.0.0.1"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.focusWidget(), window.dbgDetails);
    QVERIFY(!window.btnDeleteALL->autoDefault() && !window.btnDeleteALL->isDefault());
    window.btnDeleteALL->setFocus();
    QTest::keyClick(window.btnDeleteALL, Qt::Key_Return);
    QVERIFY(!window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(m_questions.isEmpty());
    QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM Details")), 1);
}

void TstDetails::closingReleasesTheQuery()
{
    {
        TfDetails window(nullptr, selectOf(QStringLiteral("10.0.0.2")), QStringLiteral("10.0.0.2"));
        QVERIFY(dm()->qryDetails->Active());
    }
    QVERIFY(!dm()->qryDetails->Active());
    QCOMPARE(dm()->qryDetails->SQL, selectOf(QStringLiteral("10.0.0.2")));
    QVERIFY(!dm()->dsSettingsEdit);
}

void TstDetails::screenshots()
{
    // TM_SCREENSHOT_DIR=docs under a real X server (tests/support/screenshots.sh) writes the pictures.
    const QString dir = qEnvironmentVariable("TM_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("TM_SCREENSHOT_DIR is not set");
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 09:05:03.042"), 12, QString());
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 09:06:03.017"), 0,
            QStringLiteral("Request timed out"));
    addPing(QStringLiteral("10.0.0.1"), QStringLiteral("2014-06-12 09:07:03.101"), 9, QString());
    for (bool english : { false, true }) {
        english ? LoadEnglishTexts() : LoadPortugueseTexts();
        TfDetails window(nullptr, selectOf(QStringLiteral("10.0.0.1")), QStringLiteral("10.0.0.1"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(200);
        const QString name = english ? QStringLiteral("details-en.png") : QStringLiteral("details-pt.png");
        QVERIFY(window.grab().save(QDir(dir).filePath(name)));
    }
}

int main(int argc, char** argv)
{
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("LANG", "en_US.UTF-8");
    QApplication app(argc, argv);
    TstDetails test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uDetails.moc"
