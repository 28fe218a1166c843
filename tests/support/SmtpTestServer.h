#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// An aiosmtpd server on 127.0.0.1 and a free port, run by /usr/bin/python3 from smtp_test_server.py, which
// lists the modes. It records each command and each received message; stopped when destroyed.
class SmtpTestServer
{
public:
    SmtpTestServer() = default;
    ~SmtpTestServer();
    SmtpTestServer(const SmtpTestServer&) = delete;
    SmtpTestServer& operator=(const SmtpTestServer&) = delete;

    // Empty when the server can run here, otherwise why not.
    static QString Unavailable();

    bool Start(const QString& mode, const QString& user = QString(), const QString& password = QString(),
               int greetDelayMs = 0);
    void Stop();
    quint16 Port() const { return m_port; }
    QString ErrorText() const { return m_error; }

    // The recorded events in order: {"event": "connect" | "EHLO" | "HELO" | "AUTH" | "login" | "MAIL" | "RCPT"
    // | "DATA" | "QUIT" | "message" | "disconnect", ...}; a "message" holds the parsed headers, the parts and "raw".
    QList<QJsonObject> Events() const;
    QStringList EventNames() const;
    // True once the event was recorded, false after waiting timeoutMs for it.
    bool WaitForEvent(const QString& name, int timeoutMs = 10000) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

// A local port with nothing listening on it (free a moment ago).
quint16 FreeLocalPort();
