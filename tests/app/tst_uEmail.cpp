#include "app/uEmail.h"

#include "app/uError.h"
#include "i18n/uLanguage.h"

#include "SmtpTestServer.h"
#include "TinyproxyRunner.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString User = QStringLiteral("reporter@example.test");
const QString Password = QStringLiteral("s3cret");
const QString ProxyUser = QStringLiteral("proxyuser");
const QString ProxyPass = QStringLiteral("proxypass");

QStringList ToStrings(const QJsonValue& value)
{
    QStringList out;
    for (const QJsonValue& item : value.toArray())
        out << item.toString();
    return out;
}

QList<QJsonObject> EventsNamed(const SmtpTestServer& server, const QString& name)
{
    QList<QJsonObject> out;
    for (const QJsonObject& event : server.Events()) {
        if (event.value(QStringLiteral("event")).toString() == name)
            out << event;
    }
    return out;
}

} // namespace

class TestEmail : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void parseAddressList_data();
    void parseAddressList();
    void parseAddressListRefuses_data();
    void parseAddressListRefuses();

    void directSendingArrivesIntact_data();
    void directSendingArrivesIntact();
    void serverSideFailures_data();
    void serverSideFailures();
    void unsafeInputIsRefusedBeforeConnecting_data();
    void unsafeInputIsRefusedBeforeConnecting();
    void connectionRefused_data();
    void connectionRefused();
    void silentServerTimesOut_data();
    void silentServerTimesOut();
    void throughProxy_data();
    void throughProxy();

private:
    TEmailSettings Settings(quint16 port) const;
    bool StartServer(SmtpTestServer& server, const QString& mode, int greetDelayMs = 0);

    QTemporaryDir m_dir;
    QString m_report; // the attachment every sending carries
    QByteArray m_reportBytes;
};

void TestEmail::initTestCase()
{
    LoadEnglishTexts();
    QVERIFY(m_dir.isValid());
    // Bytes that a careless sender would alter: lines starting with a dot, a lone dot line, bare LF and CR,
    // non-ASCII text, and enough of it for several socket writes.
    QByteArray body = "<html><body>\n.hidden\r\n.\r\nRelat\xc3\xb3rio \xe2\x82\xac\r\r\n";
    while (body.size() < 300 * 1024)
        body += "<tr><td>127.0.0." + QByteArray::number(body.size() % 251) + "</td><td>.5</td></tr>\n";
    body += "</body></html>\n";
    m_reportBytes = body;
    m_report = m_dir.filePath(QStringLiteral("TarquelMONITOR.html"));
    QFile file(m_report);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(m_reportBytes), m_reportBytes.size());
}

TEmailSettings TestEmail::Settings(quint16 port) const
{
    TEmailSettings settings;
    settings.ServerAdd = QStringLiteral("127.0.0.1");
    settings.ServerPort = port;
    settings.User = User;
    settings.Password = Password;
    settings.EmailRecipients = QStringLiteral("first@example.test");
    return settings;
}

bool TestEmail::StartServer(SmtpTestServer& server, const QString& mode, int greetDelayMs)
{
    if (!server.Start(mode, User, Password, greetDelayMs)) {
        qWarning().noquote() << server.ErrorText();
        return false;
    }
    return true;
}

#define REQUIRE_SMTP_SERVER()                                                                                          \
    if (!SmtpTestServer::Unavailable().isEmpty())                                                                      \
    QSKIP(qPrintable(SmtpTestServer::Unavailable()))
#define REQUIRE_TINYPROXY()                                                                                            \
    if (!TinyproxyRunner::Unavailable().isEmpty())                                                                     \
    QSKIP(qPrintable(TinyproxyRunner::Unavailable()))

void TestEmail::parseAddressList_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("names");

    QTest::addRow("empty") << "" << QStringList() << QStringList();
    QTest::addRow("bare") << " a@x.test " << QStringList{ "a@x.test" } << QStringList{ "" };
    QTest::addRow("bare and named") << "a@x.test, Bob Smith <b@x.test>" << QStringList{ "a@x.test", "b@x.test" }
                                    << QStringList{ "", "Bob Smith" };
    QTest::addRow("comma inside quotes") << "\"Smith, Bob\" <b@x.test>,c@x.test"
                                         << QStringList{ "b@x.test", "c@x.test" } << QStringList{ "Smith, Bob", "" };
    QTest::addRow("memo lines") << "a@x.test\r\nb@x.test\n\nc@x.test\r\n"
                                << QStringList{ "a@x.test", "b@x.test", "c@x.test" } << QStringList{ "", "", "" };
    QTest::addRow("semicolons and empty items")
        << "a@x.test; ;, b@x.test ," << QStringList{ "a@x.test", "b@x.test" } << QStringList{ "", "" };
    QTest::addRow("comments dropped") << "a@x.test (Alice, home), Bob (boss) <b@x.test> (work)"
                                      << QStringList{ "a@x.test", "b@x.test" } << QStringList{ "", "Bob" };
    QTest::addRow("escaped quote in name")
        << "\"Bob \\\"B\\\" Smith\" <b@x.test>" << QStringList{ "b@x.test" } << QStringList{ "Bob \"B\" Smith" };
    QTest::addRow("quoted local part") << "\"john doe\"@x.test, <\"a,b\"@x.test>"
                                       << QStringList{ "\"john doe\"@x.test", "\"a,b\"@x.test" }
                                       << QStringList{ "", "" };
    QTest::addRow("non-ASCII name") << "Jos\u00e9 Concei\u00e7\u00e3o <jose@x.test>" << QStringList{ "jose@x.test" }
                                    << QStringList{ "Jos\u00e9 Concei\u00e7\u00e3o" };
}

void TestEmail::parseAddressList()
{
    QFETCH(QString, text);
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, names);
    QStringList gotAddresses, gotNames;
    for (const TMailAddress& address : ParseAddressList(text)) {
        gotAddresses << address.Address;
        gotNames << address.Name;
    }
    QCOMPARE(gotAddresses, addresses);
    QCOMPARE(gotNames, names);
}

void TestEmail::parseAddressListRefuses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("unclosed quote") << "\"Bob <b@x.test>, c@x.test";
    QTest::addRow("unclosed bracket") << "Bob <b@x.test, c@x.test";
    QTest::addRow("unclosed comment") << "b@x.test (Bob";
    QTest::addRow("blank in bare address") << "john doe@x.test";
    QTest::addRow("empty brackets") << "Bob <>";
    QTest::addRow("stray bracket") << "a@x.test>";
    QTest::addRow("text after brackets") << "Bob <b@x.test> c@x.test";
    QTest::addRow("two brackets") << "<a@x.test> <b@x.test>";
    QTest::addRow("line break in quoted name") << "\"Bob\r\nBcc: victim@x.test\" <b@x.test>";
    QTest::addRow("NUL in address") << QStringLiteral("a@x.test") + QChar(0) + QStringLiteral("b");
}

void TestEmail::parseAddressListRefuses()
{
    QFETCH(QString, text);
    try {
        const QList<TMailAddress> addresses = ParseAddressList(text);
        QFAIL(qPrintable(QStringLiteral("accepted, %1 address(es)").arg(addresses.size())));
    } catch (const EMonitorError& e) {
        QVERIFY(!e.Message().isEmpty());
        QVERIFY2(!e.Message().contains(QLatin1Char('\n')) && !e.Message().contains(QLatin1Char('\r')),
                 qPrintable(e.Message()));
    }
}

void TestEmail::directSendingArrivesIntact_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("names");

    const QStringList two{ "first@example.test", "second@example.test" };
    QTest::addRow("English subject") << "Tarquel MONITOR - Ping report"
                                     << "first@example.test,\n\"Second, Person\" <second@example.test>" << two
                                     << QStringList{ "", "Second, Person" };
    QTest::addRow("Portuguese subject") << "Tarquel MONITOR - Relat\u00f3rio de pings"
                                        << "first@example.test; Jos\u00e9 Concei\u00e7\u00e3o <second@example.test>"
                                        << two << QStringList{ "", "Jos\u00e9 Concei\u00e7\u00e3o" };
    QTest::addRow("long non-ASCII subject")
        << QString(120, QChar(0x00e9)) + QStringLiteral(" \U0001F600 end")
        << "first@example.test\r\nsecond@example.test" << two << QStringList{ "", "" };
}

void TestEmail::directSendingArrivesIntact()
{
    REQUIRE_SMTP_SERVER();
    QFETCH(QString, subject);
    QFETCH(QString, recipients);
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, names);

    SmtpTestServer server;
    QVERIFY(StartServer(server, QStringLiteral("normal")));
    TEmailSettings settings = Settings(server.Port());
    settings.EmailRecipients = recipients;

    QCOMPARE(SendReportEmail(settings, subject, m_report), QString());
    // Released without QUIT: the connection just goes.
    QVERIFY(server.WaitForEvent("disconnect"));
    const QStringList expectedEvents{ "connect", "EHLO", "AUTH", "login",   "MAIL",
                                      "RCPT",    "RCPT", "DATA", "message", "disconnect" };
    QCOMPARE(server.EventNames(), expectedEvents);
    QVERIFY(!EventsNamed(server, "EHLO").first().value("arg").toString().isEmpty());
    const QJsonObject login = EventsNamed(server, "login").first();
    QCOMPARE(login.value("mechanism").toString(), QStringLiteral("LOGIN"));
    QCOMPARE(login.value("user").toString(), settings.User);
    QVERIFY(login.value("success").toBool());

    const QJsonObject message = EventsNamed(server, "message").first();
    QCOMPARE(message.value("mail_from").toString(), User);
    QCOMPARE(ToStrings(message.value("rcpt_tos")), addresses);
    QCOMPARE(message.value("from").toString(), User);
    QCOMPARE(ToStrings(message.value("to_addresses")), addresses);
    QCOMPARE(ToStrings(message.value("to_names")), names);
    QCOMPARE(message.value("subject").toString(), subject);
    QCOMPARE(ToStrings(message.value("defects")), QStringList());

    QVERIFY(message.value("multipart").toBool());
    const QJsonArray parts = message.value("parts").toArray();
    QCOMPARE(parts.size(), 1);
    const QJsonObject part = parts.first().toObject();
    QCOMPARE(part.value("content_type").toString(), QStringLiteral("text/html"));
    QCOMPARE(part.value("disposition").toString(), QStringLiteral("attachment"));
    QCOMPARE(part.value("filename").toString(), QStringLiteral("TarquelMONITOR.html"));
    QCOMPARE(part.value("transfer_encoding").toString(), QStringLiteral("base64"));
    QCOMPARE(QByteArray::fromBase64(part.value("payload").toString().toLatin1()), m_reportBytes);

    // On the wire: CR LF line ends only, headers within the line limit, Base64 in lines of 76.
    const QByteArray raw = QByteArray::fromBase64(message.value("raw").toString().toLatin1());
    QVERIFY(raw.endsWith("\r\n"));
    int base64Lines = 0;
    for (const QByteArray& line : raw.chopped(1).split('\n')) {
        QVERIFY2(line.endsWith('\r'), line.constData());
        QVERIFY2(line.size() <= 79, line.constData());
        if (line.size() == 77)
            ++base64Lines;
    }
    QVERIFY(base64Lines >= m_reportBytes.size() * 4 / 3 / 76 - 1);
}

void TestEmail::serverSideFailures_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<QString>("expected"); // the log line, or its beginning when it ends with "*"
    QTest::addColumn<QStringList>("events");

    const QString one = QStringLiteral("first@example.test");
    // An empty user is never sent to the server, even one that would take mail without a login.
    QTest::addRow("empty user") << "normal"
                                << "" << Password << one << txtSmtpAuthError << QStringList{ "connect", "EHLO" };
    QTest::addRow("no AUTH offered") << "noauth" << User << Password << one << txtSmtpAuthError
                                     << QStringList{ "connect", "EHLO" };
    QTest::addRow("LOGIN not among mechanisms")
        << "plainonly" << User << Password << one << txtSmtpAuthError << QStringList{ "connect", "EHLO" };
    QTest::addRow("HELO only") << "helo" << User << Password << one << txtSmtpAuthError
                               << QStringList{ "connect", "EHLO", "HELO" };
    QTest::addRow("wrong password") << "normal" << User << "wrong" << one
                                    << "535 5.7.8 Authentication credentials invalid"
                                    << QStringList{ "connect", "EHLO", "AUTH", "login" };
    QTest::addRow("recipient rejected") << "normal" << User << Password << "first@example.test, nobody@example.test"
                                        << "550 5.1.1 <nobody@example.test>: Recipient address rejected"
                                        << QStringList{ "connect", "EHLO", "AUTH", "login", "MAIL", "RCPT", "RCPT" };
    QTest::addRow("greeting refused") << "refuses" << User << Password << one << "554 5.3.2 No service here"
                                      << QStringList{ "connect" };
    QTest::addRow("closed before greeting")
        << "closes" << User << Password << one << txtSmtpError << QStringList{ "connect" };
}

void TestEmail::serverSideFailures()
{
    REQUIRE_SMTP_SERVER();
    QFETCH(QString, mode);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, recipients);
    QFETCH(QString, expected);
    QFETCH(QStringList, events);

    SmtpTestServer server;
    QVERIFY(StartServer(server, mode));
    TEmailSettings settings = Settings(server.Port());
    settings.User = user;
    settings.Password = password;
    settings.EmailRecipients = recipients;

    QCOMPARE(SendReportEmail(settings, txtReportTitle, m_report), expected);
    QVERIFY(server.WaitForEvent("disconnect"));
    QCOMPARE(server.EventNames(), events << "disconnect");
}

void TestEmail::unsafeInputIsRefusedBeforeConnecting_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("mentions");

    QTest::addRow("user with CR LF") << "User" << User + "\r\nRCPT TO:<victim@x.test>"
                                     << "user name";
    QTest::addRow("user with NUL") << "User" << User + QChar(0) << "user name";
    QTest::addRow("subject with LF") << "subject"
                                     << "Report\nBcc: victim@x.test"
                                     << "subject";
    QTest::addRow("quoted name with line break") << "EmailRecipients"
                                                 << "\"A\nBcc: v@x.test\" <a@x.test>"
                                                 << "recipient";
    QTest::addRow("malformed recipients") << "EmailRecipients"
                                          << "Bob <b@x.test"
                                          << "recipient";
    QTest::addRow("no recipients") << "EmailRecipients"
                                   << " \r\n , "
                                   << "recipient";
    QTest::addRow("server with line break") << "ServerAdd"
                                            << "127.0.0.1\r\nX: y"
                                            << "SMTP server";
    QTest::addRow("no server") << "ServerAdd"
                               << "  "
                               << "SMTP server";
    QTest::addRow("proxy with line break") << "Proxy"
                                           << "127.0.0.1\nX"
                                           << "proxy";
    QTest::addRow("report missing") << "attachment"
                                    << "missing.html"
                                    << "report file";
}

void TestEmail::unsafeInputIsRefusedBeforeConnecting()
{
    REQUIRE_SMTP_SERVER();
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, mentions);

    SmtpTestServer server;
    QVERIFY(StartServer(server, QStringLiteral("noauth")));
    TEmailSettings settings = Settings(server.Port());
    QString subject = txtReportTitle;
    QString attachment = m_report;
    if (field == "User")
        settings.User = value;
    else if (field == "subject")
        subject = value;
    else if (field == "EmailRecipients")
        settings.EmailRecipients = value;
    else if (field == "ServerAdd")
        settings.ServerAdd = value;
    else if (field == "Proxy")
        settings.Proxy = value;
    else
        attachment = m_dir.filePath(value);

    const QString result = SendReportEmail(settings, subject, attachment);
    QVERIFY2(result.startsWith(QStringLiteral("E-mail not sent: ")), qPrintable(result));
    QVERIFY2(result.contains(mentions), qPrintable(result));
    QVERIFY2(!result.contains(QLatin1Char('\n')) && !result.contains(QLatin1Char('\r')) && !result.contains(QChar(0)),
             qPrintable(result));
    server.Stop();
    QCOMPARE(server.EventNames(), QStringList());
}

void TestEmail::connectionRefused_data()
{
    QTest::addColumn<bool>("viaProxy");
    QTest::addRow("SMTP server") << false;
    QTest::addRow("proxy") << true;
}

void TestEmail::connectionRefused()
{
    QFETCH(bool, viaProxy);
    const quint16 port = FreeLocalPort();
    QVERIFY(port != 0);
    TEmailSettings settings = Settings(port);
    QString peer = QStringLiteral("the SMTP server 127.0.0.1:%1").arg(port);
    if (viaProxy) {
        settings.ServerPort = 25;
        settings.Proxy = QStringLiteral("127.0.0.1");
        settings.ProxyPort = port;
        peer = QStringLiteral("the proxy 127.0.0.1:%1").arg(port);
    }
    QCOMPARE(SendReportEmail(settings, txtReportTitle, m_report),
             QStringLiteral("Cannot connect to %1: Connection refused.").arg(peer));
}

void TestEmail::silentServerTimesOut_data()
{
    QTest::addColumn<bool>("viaProxy");
    QTest::addRow("direct") << false;
    QTest::addRow("through proxy") << true;
}

void TestEmail::silentServerTimesOut()
{
    REQUIRE_SMTP_SERVER();
    QFETCH(bool, viaProxy);
    SmtpTestServer server;
    QVERIFY(StartServer(server, QStringLiteral("silent")));
    TEmailSettings settings = Settings(server.Port());
    TinyproxyRunner proxy;
    if (viaProxy) {
        REQUIRE_TINYPROXY();
        QVERIFY2(proxy.Start(server.Port(), ProxyUser, ProxyPass), qPrintable(proxy.ErrorText()));
        settings.Proxy = QStringLiteral("127.0.0.1");
        settings.ProxyPort = proxy.Port();
        settings.ProxyUser = ProxyUser;
        settings.ProxyPass = ProxyPass;
    }

    const int timeoutMs = 1500;
    QElapsedTimer clock;
    clock.start();
    const QString result = SendReportEmail(settings, txtReportTitle, m_report, timeoutMs);
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(result,
             QStringLiteral("No answer from the SMTP server 127.0.0.1:%1 within 1.5 seconds.").arg(server.Port()));
    // Bounded by the one time-out for the reply it waited on, with room for a loaded machine.
    QVERIFY2(elapsed >= timeoutMs - 50 && elapsed < timeoutMs + 10000, qPrintable(QString::number(elapsed)));
    QCOMPARE(EventsNamed(server, "connect").size(), 1);
}

void TestEmail::throughProxy_data()
{
    QTest::addColumn<QString>("proxyUser");
    QTest::addColumn<QString>("proxyPass");
    QTest::addColumn<bool>("allowedPort");
    QTest::addColumn<int>("greetDelayMs");
    QTest::addColumn<QString>("expected"); // empty: delivered; else the status code the log line carries

    QTest::addRow("good credentials") << ProxyUser << ProxyPass << true << 0 << "";
    // Many servers hold back their greeting; the tunnel must wait for it like a direct connection does.
    QTest::addRow("delayed greeting") << ProxyUser << ProxyPass << true << 700 << "";
    QTest::addRow("wrong password") << ProxyUser << "wrong" << true << 0 << "401";
    QTest::addRow("no credentials") << ""
                                    << "" << true << 0 << "407";
    QTest::addRow("port not allowed") << ProxyUser << ProxyPass << false << 0 << "403";
}

void TestEmail::throughProxy()
{
    REQUIRE_SMTP_SERVER();
    REQUIRE_TINYPROXY();
    QFETCH(QString, proxyUser);
    QFETCH(QString, proxyPass);
    QFETCH(bool, allowedPort);
    QFETCH(int, greetDelayMs);
    QFETCH(QString, expected);

    SmtpTestServer server;
    QVERIFY(StartServer(server, QStringLiteral("normal"), greetDelayMs));
    TinyproxyRunner proxy;
    QVERIFY2(proxy.Start(allowedPort ? server.Port() : quint16(server.Port() ^ 1), ProxyUser, ProxyPass),
             qPrintable(proxy.ErrorText()));
    TEmailSettings settings = Settings(server.Port());
    settings.EmailRecipients = QStringLiteral("first@example.test, Second <second@example.test>");
    settings.Proxy = QStringLiteral(" 127.0.0.1 ");
    settings.ProxyPort = proxy.Port();
    settings.ProxyUser = proxyUser;
    settings.ProxyPass = proxyPass;

    const QString result = SendReportEmail(settings, txtReportTitle, m_report);
    const QList<QJsonObject> messages = EventsNamed(server, "message");
    if (expected.isEmpty()) {
        QCOMPARE(result, QString());
        QCOMPARE(messages.size(), 1);
        QCOMPARE(ToStrings(messages.first().value("rcpt_tos")),
                 (QStringList{ "first@example.test", "second@example.test" }));
        const QJsonArray parts = messages.first().value("parts").toArray();
        QCOMPARE(parts.size(), 1);
        QCOMPARE(QByteArray::fromBase64(parts.first().toObject().value("payload").toString().toLatin1()),
                 m_reportBytes);
    } else {
        // The proxy's own status line, e.g. "HTTP/1.0 407 Proxy Authentication Required".
        QVERIFY2(QRegularExpression(QStringLiteral("^HTTP/1\\.[01] %1 \\S.*$").arg(expected)).match(result).hasMatch(),
                 qPrintable(result));
        server.Stop();
        QCOMPARE(server.EventNames(), QStringList());
    }
}

QTEST_GUILESS_MAIN(TestEmail)
#include "tst_uEmail.moc"
