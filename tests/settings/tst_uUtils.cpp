#include "i18n/uLanguage.h"
#include "settings/uUtils.h"

#include <QLocale>
#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(QDateTime)

namespace {

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

// Far below the 8.64 ms that separates an aligned result from a whole second.
constexpr double closeEnough = 1e-10;

} // namespace

class TestUtils : public QObject
{
    Q_OBJECT

private slots:
    void nextSyncTime_data()
    {
        QTest::addColumn<QDateTime>("given");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QDateTime>("expected");
        QTest::addColumn<int>("weekday");

        const QDateTime wed = local(2014, 5, 14, 10, 37, 25, 400);
        // Worked values.
        QTest::addRow("0 s, rounded only") << wed << 0 << local(2014, 5, 14, 10, 37, 25) << 3;
        QTest::addRow("60 s") << wed << 60 << local(2014, 5, 14, 10, 38) << 3;
        QTest::addRow("100 s") << wed << 100 << local(2014, 5, 14, 10, 38, 20) << 3;
        QTest::addRow("600 s") << wed << 600 << local(2014, 5, 14, 10, 40) << 3;
        QTest::addRow("3600 s") << wed << 3600 << local(2014, 5, 14, 11, 0) << 3;
        QTest::addRow("21600 s") << wed << 21600 << local(2014, 5, 14, 12, 0) << 3;
        QTest::addRow("43200 s") << wed << 43200 << local(2014, 5, 14, 12, 0) << 3;
        QTest::addRow("86400 s") << wed << 86400 << local(2014, 5, 15) << 4;
        QTest::addRow("week from Wednesday") << wed << 604800 << local(2014, 5, 18) << 7;
        QTest::addRow("0.4 s before a multiple rounds onto it")
            << local(2014, 5, 14, 10, 39, 59, 600) << 600 << local(2014, 5, 14, 10, 50) << 3;
        QTest::addRow("on a multiple gets the next")
            << local(2014, 5, 14, 10, 40) << 600 << local(2014, 5, 14, 10, 50) << 3;
        QTest::addRow("Saturday night, hourly") << local(2014, 5, 17, 23) << 3600 << local(2014, 5, 18) << 7;
        QTest::addRow("Saturday night, weekly") << local(2014, 5, 17, 23) << 604800 << local(2014, 5, 25) << 7;
        QTest::addRow("Sunday midnight, daily") << local(2014, 5, 18) << 86400 << local(2014, 5, 19) << 1;
        QTest::addRow("Sunday midnight, weekly") << local(2014, 5, 18) << 604800 << local(2014, 5, 25) << 7;

        // The week: chosen Saturday first, then one more day.
        QTest::addRow("Saturday midnight, weekly") << local(2014, 5, 17) << 604800 << local(2014, 5, 25) << 7;
        QTest::addRow("Friday 0.4 s before Saturday, weekly")
            << local(2014, 5, 16, 23, 59, 59, 600) << 604800 << local(2014, 5, 25) << 7;
        QTest::addRow("Friday noon, weekly") << local(2014, 5, 16, 12) << 604800 << local(2014, 5, 18) << 7;
        // Other multiples of a week get no extra day.
        QTest::addRow("14 days from Wednesday") << wed << 1209600 << local(2014, 5, 17) << 6;
        QTest::addRow("14 days from its own Saturday") << local(2014, 5, 17) << 1209600 << local(2014, 5, 31) << 6;
        // Intervals that divide a day.
        QTest::addRow("01:00, 6 h") << local(2014, 5, 14, 1) << 21600 << local(2014, 5, 14, 6) << 3;
        QTest::addRow("01:00, 12 h") << local(2014, 5, 14, 1) << 43200 << local(2014, 5, 14, 12) << 3;
        QTest::addRow("07:00, 6 h") << local(2014, 5, 14, 7) << 21600 << local(2014, 5, 14, 12) << 3;
        QTest::addRow("07:00, 12 h") << local(2014, 5, 14, 7) << 43200 << local(2014, 5, 14, 12) << 3;
        // Counted from the zero point, not from midnight.
        QTest::addRow("7200 s from midnight") << local(2014, 5, 14) << 7200 << local(2014, 5, 14, 2) << 3;
        QTest::addRow("7000 s from midnight") << local(2014, 5, 14) << 7000 << local(2014, 5, 14, 1, 36, 40) << 3;
        QTest::addRow("100 s just before midnight") << local(2014, 5, 14, 23, 59, 50) << 100 << local(2014, 5, 15) << 4;
        // A zero interval rounds to the nearest second, either way.
        QTest::addRow("0 s, rounded up") << local(2014, 5, 14, 10, 37, 25, 600) << 0 << local(2014, 5, 14, 10, 37, 26)
                                         << 3;
        QTest::addRow("0 s, on a second") << local(2014, 5, 18) << 0 << local(2014, 5, 18) << 7;
    }

    void nextSyncTime()
    {
        QFETCH(QDateTime, given);
        QFETCH(int, seconds);
        QFETCH(QDateTime, expected);
        QFETCH(int, weekday);

        const TDateTime result = GetNextSyncTime(DateTimeFromQt(given), seconds / 86400.0);
        const double offset = seconds == 0 ? 0.0 : 1e-7;
        const double want = DateTimeFromQt(expected) + offset;
        QVERIFY2(std::fabs(result - want) < closeEnough,
                 qPrintable(QStringLiteral("got %1, want %2")
                                .arg(DateTimeToQt(result).toString(Qt::ISODateWithMs),
                                     DateTimeToQt(want).toString(Qt::ISODateWithMs))));
        QCOMPARE(DateTimeToQt(result).date().dayOfWeek(), weekday);
    }

    void intervalCatalogue()
    {
        const QList<int> ping = { 60, 600, 3600, 21600, 43200, 86400 };
        const QList<int> email = { 43200, 86400, 604800 };
        QCOMPARE(PingIntervalItemCount(), ping.size());
        QCOMPARE(EmailIntervalItemCount(), email.size());
        for (int item = 0; item < ping.size(); ++item) {
            QCOMPARE(PingIntervalSecondsOf(item), ping[item]);
            QCOMPARE(PingIntervalItemOf(ping[item]), item);
        }
        for (int item = 0; item < email.size(); ++item) {
            QCOMPARE(EmailIntervalSecondsOf(item), email[item]);
            QCOMPARE(EmailIntervalItemOf(email[item]), item);
        }
        // Every value that is no later item shows as the first one; the stored value is not judged.
        for (int seconds : { 100, 0, -60, 7200, 59, 604800 })
            QCOMPARE(PingIntervalItemOf(seconds), 0);
        for (int seconds : { 60, 600, 3600, 100, 0, 1209600 })
            QCOMPARE(EmailIntervalItemOf(seconds), 0);
    }

    void intervalTexts_data()
    {
        QTest::addColumn<bool>("english");
        QTest::addColumn<QStringList>("pingItems");
        QTest::addColumn<QStringList>("emailItems");
        QTest::addColumn<QStringList>("pingPhrases"); // for 60, 600 ... 86400, then 100
        QTest::addColumn<QStringList>("emailPhrases"); // for 43200, 86400, 604800, then 100

        QTest::addRow("English") << true
                                 << QStringList{ "1 minute", "10 minutes", "1 hour", "6 hours", "12 hours", "1 day" }
                                 << QStringList{ "12 hours", "1 day", "1 week" }
                                 << QStringList{ "1 minute(s)", "10 minute(s)", "1 hour(s)",  "6 hour(s)",
                                                 "12 hour(s)",  "1 day",        "1 minute(s)" }
                                 << QStringList{ "12 hour(s)", "1 day", "1 week", "12 hour(s)" };
        QTest::addRow("Portuguese") << false
                                    << QStringList{ "1 minuto", "10 minutos", "1 hora", "6 horas", "12 horas", "1 dia" }
                                    << QStringList{ "12 horas", "1 dia", "1 semana" }
                                    << QStringList{ "1 minuto(s)", "10 minuto(s)", "1 hora(s)",  "6 hora(s)",
                                                    "12 hora(s)",  "1 dia",        "1 minuto(s)" }
                                    << QStringList{ "12 hora(s)", "1 dia", "1 semana", "12 hora(s)" };
    }

    void intervalTexts()
    {
        QFETCH(bool, english);
        QFETCH(QStringList, pingItems);
        QFETCH(QStringList, emailItems);
        QFETCH(QStringList, pingPhrases);
        QFETCH(QStringList, emailPhrases);

        ApplyLanguageRule(english ? 1 : 0);
        QCOMPARE(SplitListEntry(txtPingIntervalList), pingItems);
        QCOMPARE(SplitListEntry(txtEmailIntervalList), emailItems);
        const QList<int> ping = { 60, 600, 3600, 21600, 43200, 86400, 100 };
        for (int i = 0; i < ping.size(); ++i)
            QCOMPARE(PingIntervalPhrase(ping[i]), pingPhrases[i]);
        const QList<int> email = { 43200, 86400, 604800, 100 };
        for (int i = 0; i < email.size(); ++i)
            QCOMPARE(EmailIntervalPhrase(email[i]), emailPhrases[i]);
    }

    void dateTimeText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDateTime>("value");
        QTest::addColumn<double>("offset"); // days added to the value
        QTest::addColumn<QString>("text");

        const QDateTime morning = local(2014, 5, 14, 10, 37, 25);
        const QDateTime evening = local(2014, 12, 3, 21, 5, 9);
        const QDateTime midnight = local(2014, 5, 14);
        QTest::addRow("en_US morning") << "en_US" << morning << 0.0 << "5/14/14 10:37:25 AM";
        QTest::addRow("en_US evening") << "en_US" << evening << 0.0 << "12/3/14 9:05:09 PM";
        QTest::addRow("en_US midnight") << "en_US" << midnight << 0.0 << "5/14/14";
        QTest::addRow("en_US aligned midnight") << "en_US" << midnight << 1e-7 << "5/14/14 12:00:00 AM";
        QTest::addRow("pt_BR morning") << "pt_BR" << morning << 0.0 << "14/05/2014 10:37:25";
        QTest::addRow("pt_BR evening") << "pt_BR" << evening << 0.0 << "03/12/2014 21:05:09";
        QTest::addRow("pt_BR midnight") << "pt_BR" << midnight << 0.0 << "14/05/2014";
        QTest::addRow("pt_BR aligned midnight") << "pt_BR" << midnight << 1e-7 << "14/05/2014 00:00:00";
    }

    void dateTimeText()
    {
        QFETCH(QString, locale);
        QFETCH(QDateTime, value);
        QFETCH(double, offset);
        QFETCH(QString, text);

        const QLocale loc(locale);
        const TDateTime dt = DateTimeFromQt(value) + offset;
        QCOMPARE(DateTimeText(dt, loc), text);

        // Read back to the second (the date alone reads as midnight), never into the 1900s.
        TDateTime parsed = -1;
        QVERIFY(TextToDateTime(text, loc, &parsed));
        QCOMPARE(DateTimeToQt(parsed), value);
    }

    void textToDateTimeRefusesOtherText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addRow("en_US empty") << "en_US"
                                     << "";
        QTest::addRow("en_US words") << "en_US"
                                     << "next Sunday";
        QTest::addRow("en_US no such day") << "en_US"
                                           << "2/30/14 10:00:00 AM";
        QTest::addRow("en_US hour 25") << "en_US"
                                       << "5/14/14 25:00:00 AM";
        QTest::addRow("pt_BR US order") << "pt_BR"
                                        << "05/14/2014 10:37:25";
        QTest::addRow("pt_BR trailing text") << "pt_BR"
                                             << "14/05/2014 10:37:25 xyz";
    }

    void textToDateTimeRefusesOtherText()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        TDateTime parsed = 12345;
        QVERIFY(!TextToDateTime(text, QLocale(locale), &parsed));
        QCOMPARE(parsed, 12345.0);
    }

    void scaleConversions()
    {
        QCOMPARE(DateTimeFromQt(local(1899, 12, 30)), 0.0);
        QCOMPARE(DateTimeFromQt(local(1899, 12, 31, 6)), 1.25);
        QCOMPARE(DateTimeFromQt(local(1900, 1, 1, 12)), 2.5);
        QCOMPARE(DateTimeToQt(2.5), local(1900, 1, 1, 12));
        QCOMPARE(DateTimeToQt(DateTimeFromQt(local(2014, 5, 14, 10, 37, 25, 42))), local(2014, 5, 14, 10, 37, 25, 42));
        // The scale's zero point is a Saturday.
        QCOMPARE(DateTimeToQt(0).date().dayOfWeek(), 6);
    }

    void nowFollowsTheInstalledClock()
    {
        const QDateTime fixed = local(2014, 5, 14, 10, 37, 25, 400);
        SetNowFunction([fixed] { return fixed; });
        QCOMPARE(Now(), DateTimeFromQt(fixed));
        SetNowFunction(nullptr);
        QVERIFY(std::fabs(Now() - DateTimeFromQt(QDateTime::currentDateTime())) < 1.0 / 86400);
    }
};

QTEST_GUILESS_MAIN(TestUtils)
#include "tst_uUtils.moc"
