#include "ping/IcmpEcho.h"

#include "store/uSqlText.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/errqueue.h>
#include <linux/filter.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <atomic>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int IcmpHeaderSize = 8;
constexpr int IpHeaderMin = 20;

std::atomic<std::int64_t> g_sendGapNs{ 100'000 };
// Next instant (steady clock, ns) at which an echo may leave; a lock-free reservation so that late workers
// at exit never touch destroyed state.
std::atomic<std::int64_t> g_nextSendNs{ 0 };

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

void paceSend()
{
    const std::int64_t gap = g_sendGapNs.load(std::memory_order_relaxed);
    if (gap <= 0)
        return;
    const std::int64_t now = nowNs();
    std::int64_t next = g_nextSendNs.load(std::memory_order_relaxed);
    std::int64_t slot = 0;
    do {
        slot = std::max(now, next);
    } while (!g_nextSendNs.compare_exchange_weak(next, slot + gap, std::memory_order_relaxed));
    if (slot > now)
        std::this_thread::sleep_until(Clock::time_point(std::chrono::nanoseconds(slot)));
}

std::uint16_t nextIdent()
{
    // Distinct identifiers for the raw sockets of this process, starting at a random point so that two
    // instances of the program do not start on the same values.
    static std::atomic<std::uint32_t> counter{ std::random_device{}() };
    return static_cast<std::uint16_t>(counter.fetch_add(1, std::memory_order_relaxed));
}

std::uint16_t nextSequence()
{
    static std::atomic<std::uint32_t> counter{ std::random_device{}() };
    return static_cast<std::uint16_t>(counter.fetch_add(1, std::memory_order_relaxed));
}

std::uint16_t readBe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(strerror(err));
}

QString addrText(in_addr addr)
{
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &addr, buf, sizeof buf);
    return QString::fromLatin1(buf);
}

// Destination unreachable codes (RFC 792, 1122, 1812) to status codes; out of range falls back to host.
std::int32_t unreachableStatus(int code)
{
    static const std::int32_t table[] = {
        EchoDestNetUnreachable, // 0 net
        EchoDestHostUnreachable, // 1 host
        EchoDestProtocolUnreachable, // 2 protocol
        EchoDestPortUnreachable, // 3 port
        EchoPacketTooBig, // 4 fragmentation needed and DF set
        EchoBadRoute, // 5 source route failed
        EchoDestNetUnreachable, // 6 network unknown
        EchoDestHostUnreachable, // 7 host unknown
        EchoDestHostUnreachable, // 8 source host isolated
        EchoDestNetUnreachable, // 9 network administratively prohibited
        EchoDestHostUnreachable, // 10 host administratively prohibited
        EchoDestNetUnreachable, // 11 network unreachable for TOS
        EchoDestHostUnreachable, // 12 host unreachable for TOS
        EchoDestHostUnreachable, // 13 communication administratively prohibited
        EchoDestHostUnreachable, // 14 host precedence violation
        EchoDestHostUnreachable, // 15 precedence cutoff
    };
    if (code >= 0 && code < int(std::size(table)))
        return table[code];
    return EchoDestHostUnreachable;
}

// 0 when the type is not an error that quotes a datagram.
std::int32_t icmpErrorStatus(int type, int code)
{
    switch (type) {
    case ICMP_DEST_UNREACH:
        return unreachableStatus(code);
    case ICMP_TIME_EXCEEDED:
        return code == ICMP_EXC_FRAGTIME ? EchoTtlExpiredReassembly : EchoTtlExpiredTransit;
    case ICMP_PARAMETERPROB:
        return EchoParameterProblem;
    case ICMP_SOURCE_QUENCH:
        return EchoSourceQuench;
    default:
        return 0;
    }
}

std::int32_t sendErrorStatus(int err)
{
    switch (err) {
    case ENETUNREACH:
        return EchoDestNetUnreachable;
    case EHOSTUNREACH:
        return EchoDestHostUnreachable;
    case EMSGSIZE:
        return EchoPacketTooBig;
    case ENOBUFS:
    case ENOMEM:
        return EchoNoResources;
    default:
        return EchoGeneralFailure;
    }
}

// Passes only echo replies carrying our identifier, and the ICMP errors whose quoted datagram is an echo
// request with our identifier (the quoted IP header is ours, so without options: 20 bytes).
void attachRawFilter(int fd, std::uint16_t ident)
{
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0), // X = IP header length
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0), // A = ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHOREPLY, 0, 2),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4), // identifier of the reply
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ident, 8, 9),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_DEST_UNREACH, 3, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_TIME_EXCEEDED, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_PARAMETERPROB, 1, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_SOURCE_QUENCH, 0, 5),
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, IcmpHeaderSize + IpHeaderMin), // quoted ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHO, 0, 3),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, IcmpHeaderSize + IpHeaderMin + 4), // quoted identifier
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ident, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0x40000),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog prog{ static_cast<unsigned short>(std::size(code)), code };
    if (setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &prog, sizeof prog) < 0) {
        const int err = errno;
        close(fd);
        throw EPingProbeError(QStringLiteral("Cannot filter the raw ICMP socket: %1").arg(errnoText(err)), false);
    }
    // Packets queued between socket() and the filter passed unfiltered.
    std::uint8_t scratch[256];
    while (recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) >= 0) { }
}

bool isResourceErrno(int err)
{
    return err == EMFILE || err == ENFILE || err == ENOBUFS || err == ENOMEM;
}

} // namespace

EPingProbeError::EPingProbeError(const QString& message, bool noPermission)
    : std::runtime_error(message.toStdString())
    , m_noPermission(noPermission)
{
}

void SetEchoSendGap(std::chrono::microseconds gap)
{
    g_sendGapNs.store(std::chrono::duration_cast<std::chrono::nanoseconds>(gap).count(), std::memory_order_relaxed);
}

std::chrono::microseconds EchoSendGap()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::nanoseconds(g_sendGapNs.load(std::memory_order_relaxed)));
}

TIcmpEcho::TIcmpEcho()
{
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd >= 0) {
        m_kind = TEchoSocketKind::Ping;
        // ICMP errors about our echoes arrive on the error queue, with the reporting address.
        const int on = 1;
        setsockopt(m_fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
        return;
    }
    const int pingErr = errno;
    // EACCES: our group is outside net.ipv4.ping_group_range; EPROTONOSUPPORT/EAFNOSUPPORT: a kernel without
    // ping sockets. Both leave the raw socket. Running out of descriptors or memory would fail there as well.
    if (isResourceErrno(pingErr))
        throw EPingProbeError(QStringLiteral("Cannot open an ICMP socket: %1").arg(errnoText(pingErr)), false);

    m_fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd < 0) {
        const int rawErr = errno;
        // EPERM: no CAP_NET_RAW.
        const bool denied = rawErr == EPERM || rawErr == EACCES;
        throw EPingProbeError(QStringLiteral("%1 (ping socket: %2; raw socket: %3)")
                                  .arg(denied ? QStringLiteral("No permission to open an ICMP socket")
                                              : QStringLiteral("Cannot open an ICMP socket"),
                                       errnoText(pingErr), errnoText(rawErr)),
                              denied);
    }
    m_kind = TEchoSocketKind::Raw;
    m_ident = nextIdent();
    attachRawFilter(m_fd, m_ident);
}

TIcmpEcho::~TIcmpEcho()
{
    if (m_fd >= 0)
        close(m_fd);
}

TEchoOutcome TIcmpEcho::Echo(const QString& address, std::uint16_t payloadSize, std::uint16_t timeoutMs)
{
    TEchoOutcome out;
    in_addr target{};
    if (!IsDottedIPv4(address) || inet_pton(AF_INET, address.toLatin1().constData(), &target) != 1)
        return out;
    out.statusPresent = true;
    out.replyAddr = address;

    const std::uint16_t seq = nextSequence();
    std::vector<std::uint8_t> packet(IcmpHeaderSize + payloadSize);
    packet[0] = ICMP_ECHO;
    packet[1] = 0;
    packet[4] = static_cast<std::uint8_t>(m_ident >> 8);
    packet[5] = static_cast<std::uint8_t>(m_ident);
    packet[6] = static_cast<std::uint8_t>(seq >> 8);
    packet[7] = static_cast<std::uint8_t>(seq);
    for (std::size_t i = IcmpHeaderSize; i < packet.size(); ++i)
        packet[i] = static_cast<std::uint8_t>(i);
    if (m_kind == TEchoSocketKind::Raw) {
        const std::uint16_t sum = IcmpChecksum(packet.data(), packet.size());
        packet[2] = static_cast<std::uint8_t>(sum >> 8);
        packet[3] = static_cast<std::uint8_t>(sum);
    }
    // The kernel fills identifier and checksum of a ping socket's echoes.

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = target;

    paceSend();
    const Clock::time_point sentAt = Clock::now();
    if (sendto(m_fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        out.status = sendErrorStatus(errno);
        return out;
    }
    std::uint16_t ident = m_ident;
    if (m_kind == TEchoSocketKind::Ping) {
        sockaddr_in local{};
        socklen_t len = sizeof local;
        if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &len) == 0)
            ident = ntohs(local.sin_port);
    }

    const Clock::time_point deadline = sentAt + std::chrono::milliseconds(timeoutMs);
    // Room for the largest reply that can be ours (the echo back with IP options) and for a quoted error;
    // a longer packet is cut, fails its checksum and is ignored. Left uninitialized: thousands of workers
    // wait at once.
    const std::size_t bufSize = std::max<std::size_t>(60 + IcmpHeaderSize + payloadSize + 64, 1024);
    std::unique_ptr<std::uint8_t[]> bufMem(new std::uint8_t[bufSize]);
    std::uint8_t* const buf = bufMem.get();
    const auto elapsedMs = [&] {
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sentAt).count());
    };

    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd pfd{ m_fd, POLLIN, 0 };
        const int ready = poll(&pfd, 1, left > 0 ? int(left) : 0);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throw EPingProbeError(QStringLiteral("Cannot wait for the echo reply: %1").arg(errnoText(errno)), false);
        }
        if (ready == 0) {
            out.status = EchoTimedOut;
            return out;
        }

        if (m_kind == TEchoSocketKind::Ping && (pfd.revents & POLLERR)) {
            sockaddr_in orig{};
            char control[512];
            iovec iov{ buf, bufSize };
            msghdr msg{};
            msg.msg_name = &orig;
            msg.msg_namelen = sizeof orig;
            msg.msg_iov = &iov;
            msg.msg_iovlen = 1;
            msg.msg_control = control;
            msg.msg_controllen = sizeof control;
            const ssize_t n = recvmsg(m_fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
            if (n < 0)
                continue;
            // The queued datagram is our own echo as sent: check that it is this attempt's.
            if (n < IcmpHeaderSize || readBe16(buf + 6) != seq || orig.sin_addr.s_addr != target.s_addr)
                continue;
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR)
                    continue;
                const auto* ee = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
                if (ee->ee_origin == SO_EE_ORIGIN_ICMP) {
                    const std::int32_t status = icmpErrorStatus(ee->ee_type, ee->ee_code);
                    if (status == 0)
                        continue;
                    const auto* offender = reinterpret_cast<const sockaddr_in*>(SO_EE_OFFENDER(ee));
                    out.status = status;
                    if (offender->sin_family == AF_INET)
                        out.replyAddr = addrText(offender->sin_addr);
                    return out;
                }
                if (ee->ee_origin == SO_EE_ORIGIN_LOCAL) {
                    out.status = sendErrorStatus(int(ee->ee_errno));
                    return out;
                }
            }
            continue;
        }

        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = recvfrom(m_fd, buf, bufSize, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            // Raw sockets also carry the pending error of ICMP errors about other sockets' echoes
            // (ECONNREFUSED, EHOSTUNREACH, ...); the error packet itself comes as data, so they are noise.
            // Only a broken socket ends the wait.
            if (errno == EBADF || errno == ENOTSOCK || errno == EFAULT || errno == EINVAL)
                throw EPingProbeError(QStringLiteral("Cannot read the ICMP socket: %1").arg(errnoText(errno)), false);
            continue;
        }

        const std::uint8_t* icmp = buf;
        std::size_t icmpLen = std::size_t(n);
        in_addr source = from.sin_addr;
        if (m_kind == TEchoSocketKind::Raw) {
            if (icmpLen < std::size_t(IpHeaderMin))
                continue;
            const std::size_t ihl = std::size_t(buf[0] & 0x0F) * 4;
            if (ihl < std::size_t(IpHeaderMin) || icmpLen < ihl + IcmpHeaderSize || buf[9] != IPPROTO_ICMP)
                continue;
            std::memcpy(&source.s_addr, buf + 12, 4);
            icmp += ihl;
            icmpLen -= ihl;
        }
        if (icmpLen < std::size_t(IcmpHeaderSize) || IcmpChecksum(icmp, icmpLen) != 0)
            continue;

        const int type = icmp[0];
        if (type == ICMP_ECHOREPLY) {
            if (readBe16(icmp + 4) != ident || readBe16(icmp + 6) != seq || source.s_addr != target.s_addr)
                continue;
            out.status = EchoSuccess;
            out.replyAddr = addrText(source);
            out.dataSize = static_cast<std::uint16_t>(icmpLen - IcmpHeaderSize);
            out.rttMs = elapsedMs();
            return out;
        }
        if (m_kind != TEchoSocketKind::Raw)
            continue;
        const std::int32_t status = icmpErrorStatus(type, icmp[1]);
        if (status == 0)
            continue;
        // The quoted datagram: its IP header, then at least the first 8 bytes of our echo request.
        const std::uint8_t* inner = icmp + IcmpHeaderSize;
        const std::size_t innerLen = icmpLen - IcmpHeaderSize;
        if (innerLen < std::size_t(IpHeaderMin))
            continue;
        const std::size_t innerIhl = std::size_t(inner[0] & 0x0F) * 4;
        if (innerIhl < std::size_t(IpHeaderMin) || innerLen < innerIhl + IcmpHeaderSize || inner[9] != IPPROTO_ICMP
            || std::memcmp(inner + 16, &target.s_addr, 4) != 0)
            continue;
        const std::uint8_t* quoted = inner + innerIhl;
        if (quoted[0] != ICMP_ECHO || readBe16(quoted + 4) != ident || readBe16(quoted + 6) != seq)
            continue;
        out.status = status;
        out.replyAddr = addrText(source);
        return out;
    }
}

std::uint16_t IcmpChecksum(const std::uint8_t* data, std::size_t len)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < len; i += 2)
        sum += (std::uint32_t(data[i]) << 8) | data[i + 1];
    if (len & 1)
        sum += std::uint32_t(data[len - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}
