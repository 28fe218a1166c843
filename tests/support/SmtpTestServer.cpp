#include "SmtpTestServer.h"

#include "TestProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTcpServer>
#include <QThread>

namespace {
const QString Python = QStringLiteral("/usr/bin/python3");
const QString Script = QStringLiteral(TM_TEST_SUPPORT_DIR "/smtp_test_server.py");
} // namespace

SmtpTestServer::~SmtpTestServer()
{
    Stop();
}

QString SmtpTestServer::Unavailable()
{
    static const QString reason = [] {
        if (!QFileInfo(Python).isExecutable())
            return QStringLiteral("%1 is missing").arg(Python);
        QProcess probe;
        probe.start(Python, { QStringLiteral("-c"), QStringLiteral("import aiosmtpd") });
        if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
            return QStringLiteral("python3-aiosmtpd is not installed for %1").arg(Python);
        return QString();
    }();
    return reason;
}

bool SmtpTestServer::Start(const QString& mode, const QString& user, const QString& password, int greetDelayMs)
{
    Stop();
    m_error.clear();
    const QString events = m_dir.filePath(QStringLiteral("events.jsonl"));
    QFile::remove(events);
    m_process.setProgram(Python);
    m_process.setArguments({ Script, QStringLiteral("--mode"), mode, QStringLiteral("--user"), user,
                             QStringLiteral("--password"), password, QStringLiteral("--events"), events,
                             QStringLiteral("--greet-delay-ms"), QString::number(greetDelayMs) });
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("stderr.txt")));
    m_process.start();
    const QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        out += m_process.readAllStandardOutput();
    }
    if (out.startsWith("PORT ")) {
        m_port = quint16(out.mid(5).trimmed().toUInt());
        if (m_port != 0)
            return true;
    }
    QFile err(m_dir.filePath(QStringLiteral("stderr.txt")));
    err.open(QIODevice::ReadOnly);
    m_error = QStringLiteral("SMTP test server did not start: %1 %2")
                  .arg(QString::fromUtf8(out), QString::fromUtf8(err.readAll()));
    Stop();
    return false;
}

void SmtpTestServer::Stop()
{
    StopTestProcess(m_process);
    m_port = 0;
}

QList<QJsonObject> SmtpTestServer::Events() const
{
    QList<QJsonObject> events;
    QFile file(m_dir.filePath(QStringLiteral("events.jsonl")));
    if (!file.open(QIODevice::ReadOnly))
        return events;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            events << QJsonDocument::fromJson(line).object();
    }
    return events;
}

QStringList SmtpTestServer::EventNames() const
{
    QStringList names;
    for (const QJsonObject& event : Events())
        names << event.value(QStringLiteral("event")).toString();
    return names;
}

bool SmtpTestServer::WaitForEvent(const QString& name, int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!EventNames().contains(name)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

quint16 FreeLocalPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}
