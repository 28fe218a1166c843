#include "TempDatabase.h"

#include "app/uNotify.h"
#include "i18n/uLanguage.h"
#include "settings/uSettings.h"
#include "settings/uUtils.h"
#include "store/uDM.h"
#include "store/uSqlText.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

// What an operator's pick in a list does: select the item and report the activation.
void pick(QComboBox* combo, int item)
{
    combo->setCurrentIndex(item);
    emit combo->activated(item);
}

void type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

TDateTime at(int year, int month, int day, int h = 0, int m = 0, int s = 0)
{
    return DateTimeFromQt(QDateTime(QDate(year, month, day), QTime(h, m, s)));
}

} // namespace

class TstSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newDatabaseOpensAsStored();
    void captionsFitBeforeTheirControls();
    void untouchedListsKeepStoredInterval();
    void weeklyEmailShowsSunday();
    void startAtKeepsTheComputedTime();
    void englishApplySwitchesLabelsNotItems();
    void closingWithoutSaveRestores_data();
    void closingWithoutSaveRestores();
    void failedSaveShowsErrorAndStaysOpen();
    void secondSaveInOneOpeningPosts();
    void refusedValues_data();
    void refusedValues();
    void acceptedValues_data();
    void acceptedValues();
    void emptiedFields_data();
    void emptiedFields();
    void integerEditsTakeDigitsAndSign();
    void checkBoxEditsWithoutApply();
    void screenshots();

private:
    TfDM* dm() const { return m_db->dm(); }
    QVariant stored(const QString& column) const;
    void exec(const QString& sql) const { ExecSQL(dm()->SQLConnection, sql); }
    // Reopens the data module on the same file, as a restart does.
    void restart();

    std::unique_ptr<TempDatabase> m_db;
    QStringList m_errors;
};

void TstSettings::init()
{
    m_errors.clear();
    Notify::SetErrorHandler([this](const QString& message) { m_errors << message; });
    // Wednesday morning.
    SetNowFunction([] { return QDateTime(QDate(2014, 6, 11), QTime(10, 20, 30, 500)); });
    m_db = std::make_unique<TempDatabase>();
    QVERIFY(dm()->Opened());
}

void TstSettings::cleanup()
{
    m_db.reset();
    SetNowFunction(nullptr);
}

QVariant TstSettings::stored(const QString& column) const
{
    QSqlQuery query(dm()->SQLConnection);
    if (!query.exec(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM Settings")) || !query.next())
        return QStringLiteral("<error>");
    return query.value(0);
}

void TstSettings::restart()
{
    m_db->Open();
    QVERIFY(dm()->Opened());
}

void TstSettings::newDatabaseOpensAsStored()
{
    TfSettings dialog;
    QCOMPARE(dialog.cbPingInterval->currentText(), QStringLiteral("1 minuto"));
    QCOMPARE(dialog.cbEMailinterval->currentText(), QStringLiteral("12 horas"));
    QCOMPARE(dialog.cbLanguage->currentText(), QStringLiteral("Portugues"));
    QCOMPARE(dialog.cbPingInterval->count(), 6);
    QCOMPARE(dialog.cbEMailinterval->itemText(2), QStringLiteral("1 semana"));
    QCOMPARE(dialog.dbeTimeout->text(), QStringLiteral("1000"));
    QCOMPARE(dialog.dbePacketSize->text(), QStringLiteral("32"));
    QCOMPARE(dialog.dbeAttempts->text(), QStringLiteral("1"));
    QVERIFY(dialog.dbcAutoStartAgent->isChecked());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Configurações"));
    QCOMPARE(dialog.lbTimeout->text(), QStringLiteral("Limite de tempo"));
    QCOMPARE(dialog.btnCancel->text(), QStringLiteral("&Cancelar"));
    QVERIFY(!dialog.edNextRunAt->isEnabled() && dialog.edNextRunAt->isReadOnly());
    QCOMPARE(dialog.dbePassword->echoMode(), QLineEdit::Password);
    // Showing the row is no change.
    QVERIFY(!dialog.acApply->isEnabled() && !dialog.btnApply->isEnabled());
    QVERIFY(!dm()->dsSettingsEdit);
}

void TstSettings::captionsFitBeforeTheirControls()
{
    for (int language : { 0, 1 }) {
        ApplyLanguageRule(language);
        TfSettings dialog;
        QCOMPARE(dialog.height(), 503);
        QVERIFY(dialog.width() >= 463);
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
            if (const QWidget* control = label->buddy(); control && label != dialog.Label4)
                QVERIFY2(label->geometry().right() < control->x(), qPrintable(label->text()));
        }
        for (const QWidget* child : dialog.findChildren<QWidget*>()) {
            if (child->parentWidget() == &dialog)
                QVERIFY2(child->geometry().right() < dialog.width(), qPrintable(child->objectName()));
        }
    }
}

void TstSettings::untouchedListsKeepStoredInterval()
{
    TfSettings dialog;
    dialog.show();
    type(dialog.dbeTimeout, QStringLiteral("2000"));
    QVERIFY(dialog.acApply->isEnabled());
    QVERIFY(dm()->dsSettingsEdit);
    QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(stored(QStringLiteral("PingTimeout")).toInt(), 2000);
    QCOMPARE(stored(QStringLiteral("PingInterval")).toInt(), 100);
    QCOMPARE(stored(QStringLiteral("SendEmailinterval")).toInt(), 43200);
    QCOMPARE(stored(QStringLiteral("Language")).toInt(), 0);
    QVERIFY(!dm()->dsSettingsEdit);
    QVERIFY(m_errors.isEmpty());
}

void TstSettings::weeklyEmailShowsSunday()
{
    TfSettings dialog;
    pick(dialog.cbEMailinterval, 2);
    QCOMPARE(dm()->Settings().AsInteger(QStringLiteral("SendEmailinterval")), 604800);
    QCOMPARE(dm()->NextEmailAt, at(2014, 6, 15));
    QCOMPARE(dialog.edEmailStartAt->text(), DateTimeText(at(2014, 6, 15) + 1e-7));
    QVERIFY(dialog.edEmailStartAt->text().startsWith(QLatin1String("6/15/14 12:00:00")));
    QVERIFY(dialog.acApply->isEnabled());
    dialog.btnOkClick();
    QCOMPARE(stored(QStringLiteral("SendEmailinterval")).toInt(), 604800);
    QCOMPARE(dm()->NextEmailAt, at(2014, 6, 15));
}

void TstSettings::startAtKeepsTheComputedTime()
{
    // The regional text of en_US has a two-digit year; the time itself must keep its century.
    dm()->NextRunAt = at(2014, 6, 11, 10, 21) + 1e-7;
    TfSettings dialog;
    QCOMPARE(dm()->NextRunAt, at(2014, 6, 11, 10, 21));
    QVERIFY(dialog.edNextRunAt->text().startsWith(QLatin1String("6/11/14 10:21:00")));

    pick(dialog.cbPingInterval, 2);
    QCOMPARE(dm()->Settings().AsInteger(QStringLiteral("PingInterval")), 3600);
    QCOMPARE(dm()->NextRunAt, at(2014, 6, 11, 11));
    QCOMPARE(DateTimeToQt(dm()->NextRunAt).date().year(), 2014);
    // The same value the text gives back where the text keeps the year.
    TDateTime parsed = 0;
    const QString text = DateTimeText(GetNextSyncTime(Now(), 3600 / 86400.0), QLocale(QLocale::German));
    QVERIFY(TextToDateTime(text, QLocale(QLocale::German), &parsed));
    QCOMPARE(dm()->NextRunAt, parsed);
}

void TstSettings::englishApplySwitchesLabelsNotItems()
{
    TfSettings dialog;
    dialog.show();
    pick(dialog.cbLanguage, 1);
    QCOMPARE(dm()->Settings().AsInteger(QStringLiteral("Language")), 1);
    QCOMPARE(txtTimeout, QStringLiteral("Limite de tempo")); // the pick alone switches nothing
    QTest::mouseClick(dialog.btnApply, Qt::LeftButton);
    QCOMPARE(stored(QStringLiteral("Language")).toInt(), 1);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(dialog.lbTimeout->text(), QStringLiteral("Timeout"));
    QCOMPARE(dialog.lbCommon->text(), QStringLiteral("Common"));
    QCOMPARE(dialog.btnCancel->text(), QStringLiteral("&Cancel"));
    QCOMPARE(dialog.cbPingInterval->itemText(0), QStringLiteral("1 minuto"));
    QCOMPARE(dialog.cbEMailinterval->itemText(0), QStringLiteral("12 horas"));
    QVERIFY(!dialog.acApply->isEnabled() && !dialog.btnApply->isEnabled());
    QVERIFY(dialog.isVisible());
    QVERIFY(m_errors.isEmpty());
    // Apply was the save: closing now keeps it.
    dialog.reject();
    QCOMPARE(stored(QStringLiteral("Language")).toInt(), 1);
    QCOMPARE(txtTimeout, QStringLiteral("Timeout"));
}

void TstSettings::closingWithoutSaveRestores_data()
{
    QTest::addColumn<QString>("how");
    QTest::addRow("Cancel button") << QStringLiteral("cancel");
    QTest::addRow("Esc") << QStringLiteral("esc");
    QTest::addRow("close box") << QStringLiteral("close");
    QTest::addRow("destroyed while open") << QStringLiteral("destroy");
}

void TstSettings::closingWithoutSaveRestores()
{
    QFETCH(QString, how);
    const TDateTime runAt = dm()->NextRunAt;
    const TDateTime emailAt = dm()->NextEmailAt;
    auto dialog = std::make_unique<TfSettings>();
    dialog->show();
    pick(dialog->cbPingInterval, 5);
    pick(dialog->cbEMailinterval, 2);
    pick(dialog->cbLanguage, 1);
    type(dialog->dbeTimeout, QStringLiteral("5000"));
    type(dialog->dbeServer, QStringLiteral("smtp.example.org"));
    QVERIFY(dm()->NextEmailAt != emailAt);
    QCOMPARE(dm()->Settings().AsInteger(QStringLiteral("PingTimeout")), 5000);

    if (how == QLatin1String("cancel"))
        QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
    else if (how == QLatin1String("esc"))
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
    else if (how == QLatin1String("close"))
        dialog->close();
    else
        dialog.reset();
    if (dialog)
        QVERIFY(!dialog->isVisible());

    const TSettingsQuery& row = dm()->Settings();
    QCOMPARE(row.State(), TDataSetState::Browse);
    QVERIFY(!dm()->dsSettingsEdit);
    QCOMPARE(row.AsInteger(QStringLiteral("PingTimeout")), 1000);
    QCOMPARE(row.AsInteger(QStringLiteral("PingInterval")), 100);
    QCOMPARE(row.AsInteger(QStringLiteral("SendEmailinterval")), 43200);
    QCOMPARE(row.AsInteger(QStringLiteral("Language")), 0);
    QVERIFY(row.IsNull(QStringLiteral("ServerAdd")));
    QCOMPARE(dm()->NextRunAt, runAt);
    QCOMPARE(dm()->NextEmailAt, emailAt);
    QCOMPARE(txtTimeout, QStringLiteral("Limite de tempo"));
    QCOMPARE(stored(QStringLiteral("PingTimeout")).toInt(), 1000);
}

void TstSettings::failedSaveShowsErrorAndStaysOpen()
{
    TfSettings dialog;
    dialog.show();
    type(dialog.dbeAttempts, QStringLiteral("3"));
    pick(dialog.cbLanguage, 1);
    exec(QStringLiteral("PRAGMA query_only = ON"));

    QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors[0].contains(QLatin1String("readonly")), qPrintable(m_errors[0]));
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.pblSuccesfulSave);
    QVERIFY(dm()->dsSettingsEdit);
    QCOMPARE(dm()->Settings().AsInteger(QStringLiteral("PingAttemts")), 3);
    // Nothing was saved, so nothing was switched.
    QCOMPARE(txtTimeout, QStringLiteral("Limite de tempo"));
    QCOMPARE(dialog.lbTimeout->text(), QStringLiteral("Limite de tempo"));

    QTest::mouseClick(dialog.btnApply, Qt::LeftButton);
    QCOMPARE(m_errors.size(), 2);
    QVERIFY2(dialog.acApply->isEnabled(), "a failed Apply can be retried");

    exec(QStringLiteral("PRAGMA query_only = OFF"));
    QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    QCOMPARE(m_errors.size(), 2);
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.pblSuccesfulSave);
    QCOMPARE(stored(QStringLiteral("PingAttemts")).toInt(), 3);
    QCOMPARE(stored(QStringLiteral("Language")).toInt(), 1);
    QCOMPARE(txtTimeout, QStringLiteral("Timeout"));
}

void TstSettings::secondSaveInOneOpeningPosts()
{
    TfSettings dialog;
    dialog.show();
    type(dialog.dbeTimeout, QStringLiteral("2000"));
    dialog.acApply->trigger();
    QCOMPARE(stored(QStringLiteral("PingTimeout")).toInt(), 2000);
    pick(dialog.cbEMailinterval, 1);
    const TDateTime appliedEmailAt = dm()->NextEmailAt;
    type(dialog.dbeTimeout, QStringLiteral("3000"));
    QVERIFY(dialog.acApply->isEnabled());
    dialog.acApply->trigger();
    QCOMPARE(stored(QStringLiteral("PingTimeout")).toInt(), 3000);
    QCOMPARE(stored(QStringLiteral("SendEmailinterval")).toInt(), 86400);

    // A cancel after the save goes back to what was saved, schedule included.
    pick(dialog.cbEMailinterval, 2);
    dialog.reject();
    QCOMPARE(dm()->Settings().AsInteger(QStringLiteral("SendEmailinterval")), 86400);
    QCOMPARE(dm()->NextEmailAt, appliedEmailAt);
    QVERIFY(m_errors.isEmpty());
}

void TstSettings::refusedValues_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pingItem");
    QTest::addColumn<QString>("message");
    const QString pt = QStringLiteral("%1 deve ser um número inteiro de %2.");
    QTest::addRow("timeout 65536") << false << "dbeTimeout"
                                   << "65536" << -1
                                   << pt.arg(QStringLiteral("Limite de tempo"), QStringLiteral("1 a 65535 ms"));
    QTest::addRow("timeout 65536, English")
        << true << "dbeTimeout"
        << "65536" << -1 << QStringLiteral("Timeout must be a whole number from 1 to 65535 ms.");
    QTest::addRow("timeout 0") << false << "dbeTimeout"
                               << "0" << -1
                               << pt.arg(QStringLiteral("Limite de tempo"), QStringLiteral("1 a 65535 ms"));
    QTest::addRow("timeout sign only") << false << "dbeTimeout"
                                       << "-" << -1
                                       << pt.arg(QStringLiteral("Limite de tempo"), QStringLiteral("1 a 65535 ms"));
    QTest::addRow("packet size 65501") << true << "dbePacketSize"
                                       << "65501" << -1
                                       << QStringLiteral("Packet size must be a whole number from 0 to 65500 bytes.");
    QTest::addRow("packet size -1") << false << "dbePacketSize"
                                    << "-1" << -1
                                    << pt.arg(QStringLiteral("Tamanho"), QStringLiteral("0 a 65500 bytes"));
    QTest::addRow("attempts 0") << true << "dbeAttempts"
                                << "0" << -1 << QStringLiteral("Attempts must be a whole number from 1 to 100.");
    QTest::addRow("attempts 101") << false << "dbeAttempts"
                                  << "101" << -1 << pt.arg(QStringLiteral("Tentativas"), QStringLiteral("1 a 100"));
    QTest::addRow("port 0") << true << "dbePort"
                            << "0" << -1 << QStringLiteral("Port must be a whole number from 1 to 65535.");
    QTest::addRow("port too long") << false << "dbePort"
                                   << "99999999999" << -1
                                   << pt.arg(QStringLiteral("Porta"), QStringLiteral("1 a 65535"));
    QTest::addRow("proxy port 65536") << true << "dbeProxyPort"
                                      << "65536" << -1
                                      << QStringLiteral("Proxy port must be a whole number from 1 to 65535.");
    QTest::addRow("timeout of a whole minute")
        << true << "dbeTimeout"
        << "60000" << 0 << QStringLiteral("Timeout must be shorter than the ping interval (60000 ms).");
    QTest::addRow("timeout of a whole minute, Portuguese")
        << false << "dbeTimeout"
        << "60000" << 0 << QStringLiteral("Limite de tempo deve ser menor que o intervalo de ping (60000 ms).");
}

void TstSettings::refusedValues()
{
    QFETCH(bool, english);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(int, pingItem);
    QFETCH(QString, message);
    if (english) {
        exec(QStringLiteral("UPDATE Settings SET Language = 1"));
        restart();
    }
    TfSettings dialog;
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>(field);
    QVERIFY(edit);
    if (pingItem >= 0)
        pick(dialog.cbPingInterval, pingItem);
    type(edit, text);
    QCOMPARE(edit->text(), text);

    QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    QCOMPARE(m_errors, QStringList{ message });
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.focusWidget(), edit);
    QVERIFY(dm()->dsSettingsEdit);
    QCOMPARE(stored(QStringLiteral("PingTimeout")).toInt(), 1000);
    QCOMPARE(stored(QStringLiteral("PingInterval")).toInt(), 100);
    QVERIFY(stored(QStringLiteral("ServerPort")).isNull());
}

void TstSettings::acceptedValues_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addRow("timeout 1") << "dbeTimeout"
                               << "PingTimeout"
                               << "1" << 1;
    QTest::addRow("timeout 65535") << "dbeTimeout"
                                   << "PingTimeout"
                                   << "65535" << 65535;
    QTest::addRow("packet size 0") << "dbePacketSize"
                                   << "PingPacketSize"
                                   << "0" << 0;
    QTest::addRow("packet size 65500") << "dbePacketSize"
                                       << "PingPacketSize"
                                       << "65500" << 65500;
    QTest::addRow("attempts with a sign") << "dbeAttempts"
                                          << "PingAttemts"
                                          << "+100" << 100;
    QTest::addRow("port 65535") << "dbePort"
                                << "ServerPort"
                                << "65535" << 65535;
    QTest::addRow("proxy port 1") << "dbeProxyPort"
                                  << "ProxyPort"
                                  << "1" << 1;
}

void TstSettings::acceptedValues()
{
    QFETCH(QString, field);
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(int, value);
    TfSettings dialog;
    dialog.show();
    type(dialog.findChild<QLineEdit*>(field), text);
    QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    QVERIFY(!dialog.isVisible());
    const QVariant v = stored(column);
    QCOMPARE(v.toString(), QString::number(value));
}

void TstSettings::emptiedFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("zero"); // else no value
    QTest::addRow("timeout") << "dbeTimeout"
                             << "PingTimeout" << true;
    QTest::addRow("packet size") << "dbePacketSize"
                                 << "PingPacketSize" << true;
    QTest::addRow("attempts") << "dbeAttempts"
                              << "PingAttemts" << true;
    QTest::addRow("server port") << "dbePort"
                                 << "ServerPort" << false;
    QTest::addRow("server") << "dbeServer"
                            << "ServerAdd" << false;
    QTest::addRow("password") << "dbePassword"
                              << "Password" << false;
}

void TstSettings::emptiedFields()
{
    QFETCH(QString, field);
    QFETCH(QString, column);
    QFETCH(bool, zero);
    exec(QStringLiteral("UPDATE Settings SET ServerPort = 25, ServerAdd = 'smtp', Password = 'x'"));
    restart();
    TfSettings dialog;
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>(field);
    QVERIFY(!edit->text().isEmpty());
    type(edit, QString());
    QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    QVERIFY2(m_errors.isEmpty(), qPrintable(m_errors.join(QLatin1Char('\n'))));
    const QVariant v = stored(column);
    if (zero) {
        QVERIFY(!v.isNull());
        QCOMPARE(v.toInt(), 0);
    } else {
        QVERIFY(v.isNull());
    }
}

void TstSettings::integerEditsTakeDigitsAndSign()
{
    TfSettings dialog;
    dialog.show();
    type(dialog.dbeTimeout, QStringLiteral("1a2 3.4"));
    QCOMPARE(dialog.dbeTimeout->text(), QStringLiteral("1234"));
    type(dialog.dbePort, QStringLiteral("+25x"));
    QCOMPARE(dialog.dbePort->text(), QStringLiteral("+25"));
    type(dialog.dbeServer, QStringLiteral("mail 1.example"));
    QCOMPARE(dialog.dbeServer->text(), QStringLiteral("mail 1.example"));
    QCOMPARE(dm()->Settings().AsString(QStringLiteral("ServerAdd")), QStringLiteral("mail 1.example"));
    dialog.dbmReciepts->setPlainText(QStringLiteral("a@example.org\nb@example.org"));
    QCOMPARE(dm()->Settings().AsString(QStringLiteral("EmailRecipients")),
             QStringLiteral("a@example.org\nb@example.org"));
}

void TstSettings::checkBoxEditsWithoutApply()
{
    TfSettings dialog;
    dialog.show();
    QTest::mouseClick(dialog.dbcAutoStartAgent, Qt::LeftButton);
    QVERIFY(!dialog.dbcAutoStartAgent->isChecked());
    QVERIFY(dm()->dsSettingsEdit);
    QVERIFY(!dialog.acApply->isEnabled());
    QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(stored(QStringLiteral("AutoStartAgent")).toInt(), 0);
    restart();
    QVERIFY(!dm()->Settings().AsBoolean(QStringLiteral("AutoStartAgent")));
}

void TstSettings::screenshots()
{
    // TM_SCREENSHOT_DIR=docs under a real X server (tests/support/screenshots.sh) writes the pictures.
    const QString dir = qEnvironmentVariable("TM_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("TM_SCREENSHOT_DIR is not set");
    exec(QStringLiteral("UPDATE Settings SET ServerAdd = 'smtp.example.org', ServerPort = 587, User = "
                        "'monitor@example.org', Password = 'secret', EmailRecipients = 'noc@example.org'"));
    for (int language : { 0, 1 }) {
        exec(QStringLiteral("UPDATE Settings SET Language = %1").arg(language));
        restart();
        TfSettings dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(200);
        const QString name = language == 0 ? QStringLiteral("settings-pt.png") : QStringLiteral("settings-en.png");
        QVERIFY(dialog.grab().save(QDir(dir).filePath(name)));
    }
}

int main(int argc, char** argv)
{
    // A regional format with a two-digit year: the "Start at" times must not depend on reading it back.
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("LANG", "en_US.UTF-8");
    QApplication app(argc, argv);
    TstSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uSettings.moc"
