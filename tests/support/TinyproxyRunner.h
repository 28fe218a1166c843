#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// tinyproxy in the foreground on 127.0.0.1 and a free port, with Basic authorization and CONNECT allowed to
// one port only; stopped when destroyed.
class TinyproxyRunner
{
public:
    TinyproxyRunner() = default;
    ~TinyproxyRunner();
    TinyproxyRunner(const TinyproxyRunner&) = delete;
    TinyproxyRunner& operator=(const TinyproxyRunner&) = delete;

    // Empty when tinyproxy can run here, otherwise why not.
    static QString Unavailable();

    bool Start(quint16 connectPort, const QString& user, const QString& password);
    void Stop();
    quint16 Port() const { return m_port; }
    QString ErrorText() const { return m_error; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
