#include "TinyproxyRunner.h"

#include "TestProcess.h"

#include "SmtpTestServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QThread>

namespace {
const QString Tinyproxy = QStringLiteral("/usr/bin/tinyproxy");
} // namespace

TinyproxyRunner::~TinyproxyRunner()
{
    Stop();
}

QString TinyproxyRunner::Unavailable()
{
    if (!QFileInfo(Tinyproxy).isExecutable())
        return QStringLiteral("%1 is missing (package tinyproxy)").arg(Tinyproxy);
    return QString();
}

bool TinyproxyRunner::Start(quint16 connectPort, const QString& user, const QString& password)
{
    Stop();
    m_error.clear();
    // The port is free a moment before tinyproxy takes it; another taker in between is retried.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = FreeLocalPort();
        const QString config = m_dir.filePath(QStringLiteral("tinyproxy.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_error = file.errorString();
            return false;
        }
        file.write(QStringLiteral("Port %1\n"
                                  "Listen 127.0.0.1\n"
                                  "Allow 127.0.0.1\n"
                                  "Timeout 60\n"
                                  "MaxClients 20\n"
                                  "LogLevel Info\n"
                                  "DisableViaHeader Yes\n"
                                  "BasicAuth %2 %3\n"
                                  "ConnectPort %4\n")
                       .arg(QString::number(m_port), user, password, QString::number(connectPort))
                       .toUtf8());
        file.close();
        m_process.setProgram(Tinyproxy);
        m_process.setArguments({ QStringLiteral("-d"), QStringLiteral("-c"), config });
        m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("log.txt")), QIODevice::Append);
        m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("log.txt")), QIODevice::Append);
        m_process.start();
        if (!m_process.waitForStarted(10000)) {
            m_error = m_process.errorString();
            return false;
        }
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(500))
                return true;
            QThread::msleep(50);
        }
        Stop();
    }
    QFile log(m_dir.filePath(QStringLiteral("log.txt")));
    log.open(QIODevice::ReadOnly);
    m_error = QStringLiteral("tinyproxy did not start: %1").arg(QString::fromUtf8(log.readAll()));
    return false;
}

void TinyproxyRunner::Stop()
{
    StopTestProcess(m_process);
    m_port = 0;
}
