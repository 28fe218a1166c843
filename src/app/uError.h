#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Errors travel as exceptions that carry the message the operator is shown.
class EMonitorError : public std::exception
{
public:
    explicit EMonitorError(const QString& message);
    const QString& Message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
