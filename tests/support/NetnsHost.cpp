#include "NetnsHost.h"

#include "ping/IcmpEcho.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString NamePrefix = QStringLiteral("tmping-");

bool runTool(const QString& program, const QStringList& args, QString* error)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error && error->isEmpty())
            *error = QStringLiteral("%1 %2: %3")
                         .arg(program, args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll()).trimmed());
        return false;
    }
    return true;
}

} // namespace

TmNetns::TmNetns(const QString& tag)
    : m_name(NamePrefix + tag + QLatin1Char('-') + QString::number(getpid()))
{
    QString ignored;
    runTool(QStringLiteral("ip"), { QStringLiteral("netns"), QStringLiteral("del"), m_name }, &ignored);
    if (runTool(QStringLiteral("ip"), { QStringLiteral("netns"), QStringLiteral("add"), m_name }, &m_error))
        Ip({ QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up") });
}

TmNetns::~TmNetns()
{
    QString ignored;
    runTool(QStringLiteral("ip"), { QStringLiteral("netns"), QStringLiteral("del"), m_name }, &ignored);
}

bool TmNetns::Ip(const QStringList& args)
{
    return runTool(QStringLiteral("ip"), QStringList{ QStringLiteral("-n"), m_name } + args, &m_error);
}

bool TmNetns::Sysctl(const QString& key, const QString& value)
{
    return runTool(QStringLiteral("ip"),
                   { QStringLiteral("netns"), QStringLiteral("exec"), m_name, QStringLiteral("sysctl"),
                     QStringLiteral("-qw"), key + QLatin1Char('=') + value },
                   &m_error);
}

bool TmNetns::Link(TmNetns& peer, const QString& localCidr, const QString& peerCidr)
{
    return Ip({ QStringLiteral("link"), QStringLiteral("add"), QStringLiteral("veth0"), QStringLiteral("type"),
                QStringLiteral("veth"), QStringLiteral("peer"), QStringLiteral("name"), QStringLiteral("veth1"),
                QStringLiteral("netns"), peer.Name() })
        && Ip({ QStringLiteral("addr"), QStringLiteral("add"), localCidr, QStringLiteral("dev"),
                QStringLiteral("veth0") })
        && Ip({ QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("veth0"), QStringLiteral("up") })
        && peer.Ip(
            { QStringLiteral("addr"), QStringLiteral("add"), peerCidr, QStringLiteral("dev"), QStringLiteral("veth1") })
        && peer.Ip({ QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("veth1"), QStringLiteral("up") });
}

void TmNetns::RemoveStale()
{
    const QRegularExpression re(QStringLiteral("^tmping-.*-(\\d+)$"));
    const QStringList names = QDir(QStringLiteral("/run/netns")).entryList(QDir::Files | QDir::System);
    for (const QString& name : names) {
        const auto m = re.match(name);
        if (!m.hasMatch() || QDir(QStringLiteral("/proc/") + m.captured(1)).exists())
            continue;
        QString ignored;
        runTool(QStringLiteral("ip"), { QStringLiteral("netns"), QStringLiteral("del"), name }, &ignored);
    }
}

bool TmNetns::IsRoot()
{
    return geteuid() == 0;
}

TmNetnsEnter::TmNetnsEnter(const TmNetns& ns)
{
    m_original = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const QByteArray path = QStringLiteral("/run/netns/%1").arg(ns.Name()).toLocal8Bit();
    const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
    m_ok = m_original >= 0 && fd >= 0 && setns(fd, CLONE_NEWNET) == 0;
    if (fd >= 0)
        close(fd);
}

TmNetnsEnter::~TmNetnsEnter()
{
    if (m_original >= 0) {
        if (m_ok)
            setns(m_original, CLONE_NEWNET);
        close(m_original);
    }
}

TmEchoResponder::TmEchoResponder(const TmNetns& ns, std::vector<Reply> script, std::chrono::milliseconds delay)
    : m_script(std::move(script))
    , m_delay(delay)
{
    int fd = -1;
    {
        // A socket stays in the namespace it was opened in; the thread itself need not move.
        TmNetnsEnter enter(ns);
        if (enter.Ok())
            fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    }
    m_ok = fd >= 0;
    if (m_ok)
        m_thread = std::thread([this, fd] { run(fd); });
}

TmEchoResponder::~TmEchoResponder()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void TmEchoResponder::run(int fd)
{
    std::uint8_t buf[70000];
    while (!m_stop) {
        pollfd pfd{ fd, POLLIN, 0 };
        if (poll(&pfd, 1, 50) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 20)
            continue;
        const std::size_t ihl = std::size_t(buf[0] & 0x0F) * 4;
        if (std::size_t(n) < ihl + 8 || buf[ihl] != ICMP_ECHO)
            continue;
        ++m_requests;
        const std::size_t icmpLen = std::size_t(n) - ihl;
        for (std::size_t k = 0; k < m_script.size() && !m_stop; ++k) {
            std::this_thread::sleep_for(k == 0 ? m_delay : std::chrono::milliseconds(5));
            std::vector<std::uint8_t> reply(buf + ihl, buf + n);
            reply[0] = ICMP_ECHOREPLY;
            reply[2] = reply[3] = 0;
            if (m_script[k] == Reply::WrongSequence)
                reply[7] = static_cast<std::uint8_t>(reply[7] + 1);
            if (m_script[k] == Reply::WrongIdentifier)
                reply[5] = static_cast<std::uint8_t>(reply[5] + 1);
            const std::uint16_t sum = IcmpChecksum(reply.data(), icmpLen);
            reply[2] = static_cast<std::uint8_t>(sum >> 8);
            reply[3] = static_cast<std::uint8_t>(sum);
            if (m_script[k] == Reply::BadChecksum)
                reply[3] = static_cast<std::uint8_t>(reply[3] ^ 0x5A);
            sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), sizeof from);
        }
    }
    close(fd);
}
