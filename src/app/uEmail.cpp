#include "app/uEmail.h"

#include "app/uError.h"
#include "i18n/uLanguage.h"

#include <QByteArray>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostInfo>
#include <QMimeDatabase>
#include <QPair>
#include <QStringList>
#include <QTcpSocket>
#include <QUuid>

#include <algorithm>
#include <initializer_list>

namespace {

const QByteArray CRLF = QByteArrayLiteral("\r\n");

// Bounds on what a misbehaving peer may make us buffer for one reply.
constexpr qsizetype MaxReplyLineLength = 64 * 1024;
constexpr int MaxReplyLines = 1000;

// The peer dropped the connection. While greeting this means "not connected"; later it is an ordinary error.
class EConnectionClosed : public EMonitorError
{
public:
    using EMonitorError::EMonitorError;
};

// Input refused before any connection is made.
class ERefusedInput : public EMonitorError
{
public:
    using EMonitorError::EMonitorError;
};

bool HasLineBreakOrNul(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || text.contains(QChar(0));
}

// Shows control characters of a refused value without breaking the log line.
QString Visible(const QString& text)
{
    QString out;
    for (QChar c : text) {
        if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// A reply line or status line of a peer, made safe for one line of the log.
QString PeerText(const QByteArray& line)
{
    QString text = QString::fromUtf8(line.left(500));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    }
    return text.trimmed();
}

QString SecondsText(int ms)
{
    return QString::number(ms / 1000.0);
}

// ---------------------------------------------------------------------------------------------------------------
// Address list

TMailAddress ParseElement(const QString& element)
{
    const auto notAnAddress
        = [&] { return EMonitorError(QStringLiteral("\"%1\" is not an e-mail address.").arg(element.trimmed())); };
    if (HasLineBreakOrNul(element))
        throw EMonitorError(QStringLiteral("the recipient \"%1\" holds a line break or NUL character.")
                                .arg(Visible(element.trimmed())));

    QString raw; // the element with quotes kept and comments dropped, for the bare form
    QString phrase; // the text before '<', unquoted: the display name
    QString angle; // the text between '<' and '>', quotes kept
    bool inQuote = false, inAngle = false, hasAngle = false, closedAngle = false;
    int commentDepth = 0;
    for (qsizetype i = 0; i < element.size(); ++i) {
        const QChar c = element.at(i);
        if (commentDepth > 0) {
            if (c == QLatin1Char('\\'))
                ++i;
            else if (c == QLatin1Char('('))
                ++commentDepth;
            else if (c == QLatin1Char(')'))
                --commentDepth;
            continue;
        }
        if (inQuote) {
            QString kept(c);
            if (c == QLatin1Char('\\') && i + 1 < element.size())
                kept += element.at(++i);
            else if (c == QLatin1Char('"'))
                inQuote = false;
            raw += kept;
            if (inAngle)
                angle += kept;
            else if (c != QLatin1Char('"'))
                phrase += kept.back();
            continue;
        }
        if (c == QLatin1Char('(')) {
            commentDepth = 1;
        } else if (closedAngle) {
            if (!c.isSpace())
                throw notAnAddress();
        } else if (c == QLatin1Char('"')) {
            inQuote = true;
            raw += c;
            if (inAngle)
                angle += c;
        } else if (inAngle) {
            if (c == QLatin1Char('<'))
                throw notAnAddress();
            if (c == QLatin1Char('>')) {
                inAngle = false;
                closedAngle = true;
            } else {
                angle += c;
            }
        } else if (c == QLatin1Char('<')) {
            inAngle = hasAngle = true;
        } else if (c == QLatin1Char('>')) {
            throw notAnAddress();
        } else {
            raw += c;
            phrase += c;
        }
    }
    if (inQuote || inAngle || commentDepth > 0)
        throw EMonitorError(
            QStringLiteral("unclosed quote, bracket or parenthesis in the recipient \"%1\".").arg(element.trimmed()));

    TMailAddress address;
    if (hasAngle) {
        address.Name = phrase.simplified();
        address.Address = angle.trimmed();
    } else {
        address.Address = raw.trimmed();
    }
    // Blanks are allowed only inside a quoted local part.
    bool quoted = false;
    for (QChar c : address.Address) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c.isSpace())
            throw notAnAddress();
    }
    if (address.Address.isEmpty())
        throw notAnAddress();
    return address;
}

// ---------------------------------------------------------------------------------------------------------------
// Message composition

bool IsPlainHeaderText(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

// RFC 2047 encoded words separated by blanks, where Folded may break the line; no character's UTF-8 bytes are
// split between two words.
QByteArray EncodedWords(const QString& text)
{
    constexpr qsizetype MaxChunk = 39; // 52 Base64 characters: a word of 64, "Subject: " and one fits a line
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = text.mid(i, length).toUtf8();
        i += length - 1;
        if (chunk.size() + bytes.size() > MaxChunk) {
            words << chunk;
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty() || words.isEmpty())
        words << chunk;
    QByteArray out;
    for (const QByteArray& word : words) {
        if (!out.isEmpty())
            out += ' ';
        out += "=?UTF-8?B?" + word.toBase64() + "?=";
    }
    return out;
}

// Unstructured header text (the subject): as it is when plain ASCII of a sane length, encoded otherwise.
QByteArray HeaderText(const QString& text)
{
    if (IsPlainHeaderText(text) && text.size() <= 900)
        return text.toLatin1();
    return EncodedWords(text);
}

QByteArray QuotedString(const QString& text)
{
    QByteArray out = "\"";
    for (char c : text.toLatin1()) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

QByteArray DisplayName(const QString& name)
{
    if (!IsPlainHeaderText(name))
        return EncodedWords(name);
    static const QByteArray atextSpecials = QByteArrayLiteral("!#$%&'*+-/=?^_`{|}~ ");
    for (QChar c : name) {
        if (!c.isLetterOrNumber() && !atextSpecials.contains(char(c.unicode())))
            return QuotedString(name);
    }
    return name.toLatin1();
}

QByteArray AddressHeader(const QList<TMailAddress>& addresses)
{
    QByteArray out;
    for (const TMailAddress& address : addresses) {
        if (!out.isEmpty())
            out += ", ";
        out += address.Name.isEmpty() ? address.Address.toUtf8()
                                      : DisplayName(address.Name) + " <" + address.Address.toUtf8() + '>';
    }
    return out;
}

// A header line broken before blanks to keep lines within 76 characters where it can. Unfolding removes only
// the CR LF, so a break before a blank changes nothing, even inside a quoted string.
QByteArray Folded(const QByteArray& header)
{
    QByteArray out;
    qsizetype lineStart = 0;
    bool lineHasText = false;
    const QList<QByteArray> words = header.split(' ');
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i > 0) {
            if (lineHasText && out.size() - lineStart + 1 + words.at(i).size() > 76) {
                out += CRLF;
                lineStart = out.size();
                lineHasText = false;
            }
            out += ' ';
        }
        out += words.at(i);
        lineHasText = lineHasText || !words.at(i).isEmpty();
    }
    return out + CRLF;
}

// The Content-Type and Content-Disposition parameters naming the attachment; control characters cannot come
// through. A non-ASCII name goes as RFC 2231 for the disposition and as encoded words for older readers.
QPair<QByteArray, QByteArray> FileNameParameters(const QString& fileName)
{
    QString name = fileName;
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('_');
    }
    if (IsPlainHeaderText(name))
        return { "name=" + QuotedString(name), "filename=" + QuotedString(name) };
    return { "name=\"" + EncodedWords(name) + '"', "filename*=UTF-8''" + name.toUtf8().toPercentEncoding() };
}

QByteArray LocalHostName()
{
    const QString name = QHostInfo::localHostName();
    if (name.isEmpty() || name.size() > 64)
        return QByteArrayLiteral("localhost");
    for (QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('.') && c != QLatin1Char('-'))
            return QByteArrayLiteral("localhost");
    }
    return name.toLatin1();
}

QByteArray ComposeMessage(const QString& from, const QList<TMailAddress>& to, const QString& subject,
                          const QString& fileName, const QString& contentType, const QByteArray& content)
{
    const QByteArray boundary = "=_TarquelMONITOR_" + QUuid::createUuid().toByteArray(QUuid::Id128);
    const auto [nameParameter, fileNameParameter] = FileNameParameters(fileName);
    QByteArray message;
    message += Folded("From: " + from.toUtf8());
    message += Folded("To: " + AddressHeader(to));
    message += Folded("Subject: " + HeaderText(subject));
    message += "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + CRLF;
    message
        += "Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + '@' + LocalHostName() + '>' + CRLF;
    message += "MIME-Version: 1.0" + CRLF;
    message += Folded("Content-Type: multipart/mixed; boundary=\"" + boundary + '"');
    message += CRLF;
    message += "--" + boundary + CRLF;
    message += Folded("Content-Type: " + contentType.toLatin1() + "; " + nameParameter);
    message += "Content-Transfer-Encoding: base64" + CRLF;
    message += Folded("Content-Disposition: attachment; " + fileNameParameter);
    message += CRLF;
    const QByteArray encoded = content.toBase64();
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        message += encoded.mid(i, 76) + CRLF;
    message += "--" + boundary + "--" + CRLF;
    return message;
}

// A line of the data that begins with a dot gets a second one, so that no line ends the data early.
QByteArray DotStuffed(const QByteArray& message)
{
    QByteArray out;
    out.reserve(message.size() + 64);
    qsizetype start = 0;
    while (start < message.size()) {
        qsizetype end = message.indexOf(CRLF, start);
        end = end < 0 ? message.size() : end + 2;
        if (message.at(start) == '.')
            out += '.';
        out.append(message.constData() + start, end - start);
        start = end;
    }
    if (!out.endsWith(CRLF))
        out += CRLF;
    return out;
}

// ---------------------------------------------------------------------------------------------------------------
// Connection

// One TCP connection read line by line, every wait bounded by the same time-out.
class TLineChannel
{
public:
    explicit TLineChannel(int timeoutMs)
        : m_timeoutMs(timeoutMs)
    {
    }
    ~TLineChannel() { m_socket.abort(); }

    void Connect(const QString& host, quint16 port, const QString& peer)
    {
        m_socket.abort();
        m_buffer.clear();
        m_peer = peer;
        m_socket.connectToHost(host, port);
        if (!m_socket.waitForConnected(m_timeoutMs)) {
            if (m_socket.error() == QAbstractSocket::SocketTimeoutError)
                throw EMonitorError(
                    QStringLiteral("No connection to %1 within %2 seconds.").arg(m_peer, SecondsText(m_timeoutMs)));
            QString reason = m_socket.errorString();
            while (reason.endsWith(QLatin1Char('.')))
                reason.chop(1);
            throw EMonitorError(QStringLiteral("Cannot connect to %1: %2.").arg(m_peer, reason));
        }
    }

    // Later messages name the SMTP server even when the bytes go through the proxy.
    void SetPeer(const QString& peer) { m_peer = peer; }
    const QString& Peer() const { return m_peer; }

    void Write(const QByteArray& data)
    {
        m_socket.write(data);
        while (m_socket.bytesToWrite() > 0) {
            if (!m_socket.waitForBytesWritten(m_timeoutMs)) {
                if (m_socket.state() != QAbstractSocket::ConnectedState)
                    throw EConnectionClosed(QStringLiteral("%1 closed the connection.").arg(Capitalized(m_peer)));
                throw EMonitorError(QStringLiteral("%1 took no data for %2 seconds.")
                                        .arg(Capitalized(m_peer), SecondsText(m_timeoutMs)));
            }
        }
    }

    // One line without its CR LF, to arrive before the deadline.
    QByteArray ReadLine(const QDeadlineTimer& deadline)
    {
        for (;;) {
            // Waiting for a write reads too, and a peer may answer and close at once: take what came first.
            m_buffer += m_socket.readAll();
            const qsizetype end = m_buffer.indexOf('\n');
            if (end >= 0) {
                QByteArray line = m_buffer.left(end);
                m_buffer.remove(0, end + 1);
                if (line.endsWith('\r'))
                    line.chop(1);
                return line;
            }
            if (m_buffer.size() > MaxReplyLineLength)
                throw EMonitorError(QStringLiteral("%1 sent an overlong reply.").arg(Capitalized(m_peer)));
            if (m_socket.state() != QAbstractSocket::ConnectedState)
                throw EConnectionClosed(QStringLiteral("%1 closed the connection.").arg(Capitalized(m_peer)));
            if (deadline.hasExpired())
                throw EMonitorError(
                    QStringLiteral("No answer from %1 within %2 seconds.").arg(m_peer, SecondsText(m_timeoutMs)));
            m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
    }

    QDeadlineTimer ReplyDeadline() const { return QDeadlineTimer(m_timeoutMs); }

    static QString Capitalized(const QString& text)
    {
        return text.isEmpty() ? text : text.at(0).toUpper() + text.mid(1);
    }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer; // bytes read and not yet taken as lines
    QString m_peer; // "the SMTP server host:port" or "the proxy host:port", for messages
    int m_timeoutMs;
};

QString HostPort(const QString& host, quint16 port)
{
    const QString shown = host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shown + QLatin1Char(':') + QString::number(port);
}

// Opens an HTTP/1.0 CONNECT tunnel to host:port; a 407 with credentials set is answered once, on a new
// connection, since an HTTP/1.0 proxy closes the connection after its answer.
void OpenTunnel(TLineChannel& channel, const TEmailSettings& settings, const QString& host)
{
    const QString proxyPeer
        = QStringLiteral("the proxy %1").arg(HostPort(settings.Proxy.trimmed(), settings.ProxyPort));
    const QByteArray target = HostPort(host, settings.ServerPort).toUtf8();
    const bool haveCredentials = !settings.ProxyUser.isEmpty() || !settings.ProxyPass.isEmpty();
    bool withAuthorization = false;
    for (;;) {
        channel.Connect(settings.Proxy.trimmed(), settings.ProxyPort, proxyPeer);
        QByteArray request = "CONNECT " + target + " HTTP/1.0" + CRLF + "Host: " + target + CRLF;
        if (withAuthorization)
            request += "Proxy-Authorization: Basic "
                + (settings.ProxyUser + QLatin1Char(':') + settings.ProxyPass).toUtf8().toBase64() + CRLF;
        channel.Write(request + CRLF);

        const QDeadlineTimer deadline = channel.ReplyDeadline();
        const QByteArray statusLine = channel.ReadLine(deadline);
        // The header block ends with an empty line; what follows a 200 already belongs to the SMTP server.
        for (int lines = 0; !channel.ReadLine(deadline).isEmpty(); ++lines) {
            if (lines > MaxReplyLines)
                throw EMonitorError(QStringLiteral("The proxy sent an overlong reply."));
        }
        const QList<QByteArray> parts = statusLine.split(' ');
        bool numeric = false;
        const int status = parts.size() >= 2 ? parts.at(1).toInt(&numeric) : 0;
        if (!statusLine.startsWith("HTTP/") || !numeric)
            throw EMonitorError(QStringLiteral("Unexpected reply from %1: %2").arg(proxyPeer, PeerText(statusLine)));
        if (status == 407 && haveCredentials && !withAuthorization) {
            withAuthorization = true;
            continue;
        }
        if (status != 200)
            throw EMonitorError(PeerText(statusLine));
        return;
    }
}

struct TReply
{
    int Code = 0;
    QList<QByteArray> Lines; // the text of each line, without code and separator

    // The reply as one log line: the code, then the text of every line.
    QString Text() const
    {
        QByteArray joined = QByteArray::number(Code);
        for (const QByteArray& line : Lines)
            joined += ' ' + line;
        return PeerText(joined);
    }
};

class TSmtpSession
{
public:
    explicit TSmtpSession(TLineChannel& channel)
        : m_channel(channel)
    {
    }

    // Greeting and EHLO, falling back to HELO. False when the server dropped the connection meanwhile.
    bool Connect()
    {
        try {
            const TReply greeting = ReadReply();
            if (greeting.Code != 220)
                throw EMonitorError(greeting.Text());
            const QByteArray name = LocalHostName();
            m_channel.Write("EHLO " + name + CRLF);
            TReply reply = ReadReply();
            if (reply.Code == 250) {
                m_capabilities = reply.Lines.mid(1);
                return true;
            }
            m_channel.Write("HELO " + name + CRLF);
            reply = ReadReply();
            if (reply.Code != 250)
                throw EMonitorError(reply.Text());
            return true;
        } catch (const EConnectionClosed&) {
            return false;
        }
    }

    bool Authenticate(const QString& user, const QString& password)
    {
        if (user.isEmpty() || !OffersLogin())
            return false;
        Command("AUTH LOGIN", { 334 });
        Command(user.toUtf8().toBase64(), { 334 });
        Command(password.toUtf8().toBase64(), { 235 });
        return true;
    }

    void Send(const QString& sender, const QList<TMailAddress>& recipients, const QByteArray& message)
    {
        Command("MAIL FROM:<" + sender.toUtf8() + '>', { 250 });
        for (const TMailAddress& recipient : recipients)
            Command("RCPT TO:<" + recipient.Address.toUtf8() + '>', { 250, 251 });
        Command("DATA", { 354 });
        m_channel.Write(DotStuffed(message) + '.' + CRLF);
        const TReply reply = ReadReply();
        if (reply.Code != 250)
            throw EMonitorError(reply.Text());
    }

private:
    // Lines "250-..." continue a reply; "250 ..." or a bare "250" ends it.
    TReply ReadReply()
    {
        const QDeadlineTimer deadline = m_channel.ReplyDeadline();
        TReply reply;
        for (;;) {
            const QByteArray line = m_channel.ReadLine(deadline);
            bool numeric = false;
            const int code = line.left(3).toInt(&numeric);
            const bool last = line.size() == 3 || (line.size() > 3 && line.at(3) == ' ');
            if (!numeric || line.size() < 3 || !(last || line.at(3) == '-') || reply.Lines.size() >= MaxReplyLines)
                throw EMonitorError(
                    QStringLiteral("Unexpected reply from %1: %2").arg(m_channel.Peer(), PeerText(line)));
            reply.Code = code;
            reply.Lines << line.mid(4);
            if (last)
                return reply;
        }
    }

    void Command(const QByteArray& command, std::initializer_list<int> expected)
    {
        m_channel.Write(command + CRLF);
        const TReply reply = ReadReply();
        if (std::find(expected.begin(), expected.end(), reply.Code) == expected.end())
            throw EMonitorError(reply.Text());
    }

    // Both "AUTH LOGIN PLAIN" and the older "AUTH=LOGIN" form.
    bool OffersLogin() const
    {
        for (const QByteArray& capability : m_capabilities) {
            QList<QByteArray> words = capability.toUpper().simplified().split(' ');
            if (words.isEmpty())
                continue;
            if (words.first().startsWith("AUTH="))
                words.first().remove(0, 5);
            else if (words.first() == "AUTH")
                words.removeFirst();
            else
                continue;
            if (words.contains("LOGIN"))
                return true;
        }
        return false;
    }

    TLineChannel& m_channel;
    QList<QByteArray> m_capabilities; // the EHLO reply's lines after the first
};

void RefuseIfUnsafe(const TEmailSettings& settings, const QString& subject)
{
    if (HasLineBreakOrNul(settings.User))
        throw ERefusedInput(QStringLiteral("the user name holds a line break or NUL character."));
    if (HasLineBreakOrNul(subject))
        throw ERefusedInput(QStringLiteral("the subject holds a line break or NUL character."));
    const auto isHostName = [](const QString& host) {
        for (QChar c : host) {
            if (c.isSpace() || c.unicode() < 0x20 || c.unicode() == 0x7f)
                return false;
        }
        return true;
    };
    const QString server = settings.ServerAdd.trimmed();
    if (server.isEmpty())
        throw ERefusedInput(QStringLiteral("no SMTP server is set."));
    if (!isHostName(server))
        throw ERefusedInput(QStringLiteral("the SMTP server \"%1\" is not a host name.").arg(Visible(server)));
    if (!isHostName(settings.Proxy.trimmed()))
        throw ERefusedInput(
            QStringLiteral("the proxy \"%1\" is not a host name.").arg(Visible(settings.Proxy.trimmed())));
}

} // namespace

QList<TMailAddress> ParseAddressList(const QString& text)
{
    QList<TMailAddress> addresses;
    QString element;
    bool inQuote = false, inAngle = false;
    int commentDepth = 0;
    const auto flush = [&] {
        if (!element.trimmed().isEmpty())
            addresses << ParseElement(element);
        element.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if ((inQuote || commentDepth > 0) && c == QLatin1Char('\\') && i + 1 < text.size()) {
            element += c;
            element += text.at(++i);
            continue;
        }
        if (inQuote) {
            inQuote = c != QLatin1Char('"');
        } else if (commentDepth > 0) {
            commentDepth += c == QLatin1Char('(') ? 1 : c == QLatin1Char(')') ? -1 : 0;
        } else if (c == QLatin1Char('"')) {
            inQuote = true;
        } else if (c == QLatin1Char('(')) {
            commentDepth = 1;
        } else if (c == QLatin1Char('<')) {
            inAngle = true;
        } else if (c == QLatin1Char('>')) {
            inAngle = false;
        } else if (!inAngle
                   && (c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char('\r')
                       || c == QLatin1Char('\n'))) {
            flush();
            continue;
        }
        element += c;
    }
    flush();
    return addresses;
}

QString SendReportEmail(const TEmailSettings& settings, const QString& subject, const QString& attachmentPath,
                        int timeoutMs)
{
    try {
        QList<TMailAddress> recipients;
        QByteArray content;
        try {
            RefuseIfUnsafe(settings, subject);
            try {
                recipients = ParseAddressList(settings.EmailRecipients);
            } catch (const EMonitorError& e) {
                throw ERefusedInput(e.Message());
            }
            if (recipients.isEmpty())
                throw ERefusedInput(QStringLiteral("no recipient is set."));
            QFile file(attachmentPath);
            if (!file.open(QIODevice::ReadOnly))
                throw ERefusedInput(
                    QStringLiteral("cannot read the report file \"%1\": %2.").arg(attachmentPath, file.errorString()));
            content = file.readAll();
        } catch (const ERefusedInput& e) {
            return QStringLiteral("E-mail not sent: ") + e.Message();
        }

        const QFileInfo info(attachmentPath);
        const QString contentType = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension).name();
        const QString sender = settings.User.trimmed();
        const QByteArray message = ComposeMessage(sender, recipients, subject, info.fileName(), contentType, content);

        const QString server = settings.ServerAdd.trimmed();
        const QString serverPeer = QStringLiteral("the SMTP server %1").arg(HostPort(server, settings.ServerPort));
        TLineChannel channel(timeoutMs);
        if (settings.Proxy.trimmed().isEmpty()) {
            channel.Connect(server, settings.ServerPort, serverPeer);
        } else {
            OpenTunnel(channel, settings, server);
            channel.SetPeer(serverPeer);
        }
        TSmtpSession smtp(channel);
        if (!smtp.Connect())
            return txtSmtpError;
        if (!smtp.Authenticate(settings.User, settings.Password))
            return txtSmtpAuthError;
        smtp.Send(sender, recipients, message);
        // Released without QUIT: the channel's destructor closes the connection.
        return QString();
    } catch (const EMonitorError& e) {
        return e.Message();
    }
}
