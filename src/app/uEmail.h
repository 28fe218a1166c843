#pragma once

#include <QList>
#include <QString>

// What one sending needs from the settings row, read by the caller at the moment of sending.
struct TEmailSettings
{
    QString ServerAdd;
    quint16 ServerPort = 0;
    QString User; // login name and the sender's address
    QString Password;
    QString Proxy; // empty: connect directly
    quint16 ProxyPort = 0;
    QString ProxyUser;
    QString ProxyPass;
    QString EmailRecipients; // RFC 5322 address list; line breaks separate addresses too
};

struct TMailAddress
{
    QString Name; // display name, unquoted; may be empty
    QString Address;
};

// Time allowed for connecting and for each reply of the server or the proxy.
inline constexpr int DefaultEmailTimeoutMs = 30000;

// Reads an address list: bare addresses and `Name <address>` forms separated by commas, semicolons or line
// breaks; quoted names may hold those separators. Throws EMonitorError on a malformed list or an address
// that still holds a line break or NUL.
QList<TMailAddress> ParseAddressList(const QString& text);

// Sends the file at attachmentPath as the only part of one message, blocking the calling thread. Returns the
// empty string on success, otherwise the one log line that tells what went wrong: txtSmtpError when the
// server dropped the connection while greeting, txtSmtpAuthError when no LOGIN authentication could be
// attempted (empty user, mechanism not offered), or the message of the failure itself (the server's or the
// proxy's reply, a refused connection, a time-out, input refused before connecting).
QString SendReportEmail(const TEmailSettings& settings, const QString& subject, const QString& attachmentPath,
                        int timeoutMs = DefaultEmailTimeoutMs);
