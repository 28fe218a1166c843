#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <stdexcept>

// The probe itself could not run: no ICMP socket may be opened, too many open files, another local failure.
class EPingProbeError : public std::runtime_error
{
public:
    EPingProbeError(const QString& message, bool noPermission);
    QString Message() const { return QString::fromUtf8(what()); }
    bool NoPermission() const { return m_noPermission; }

private:
    bool m_noPermission;
};

enum class TEchoSocketKind
{
    Ping, // SOCK_DGRAM/IPPROTO_ICMP: allowed by net.ipv4.ping_group_range, kernel demultiplexes by identifier
    Raw, // SOCK_RAW: needs CAP_NET_RAW, sees every ICMP packet, so it is filtered
};

// Status codes of the echo outcome.
enum : std::int32_t
{
    EchoSuccess = 0,
    EchoNoResources = 11006,
    EchoDestNetUnreachable = 11002,
    EchoDestHostUnreachable = 11003,
    EchoDestProtocolUnreachable = 11004,
    EchoDestPortUnreachable = 11005,
    EchoPacketTooBig = 11009,
    EchoTimedOut = 11010,
    EchoBadRoute = 11012,
    EchoTtlExpiredTransit = 11013,
    EchoTtlExpiredReassembly = 11014,
    EchoParameterProblem = 11015,
    EchoSourceQuench = 11016,
    EchoGeneralFailure = 11050,
};

struct TEchoOutcome
{
    // False when no echo could be attempted for the address (not a dotted IPv4 address).
    bool statusPresent = false;
    std::int32_t status = EchoGeneralFailure;
    // The address that answered or reported the outcome; the target itself for a time-out or a local error.
    QString replyAddr;
    // Payload bytes of the reply (success only).
    std::uint16_t dataSize = 0;
    // Whole ms from this echo's own send to its reply, monotonic clock (success only).
    std::uint32_t rttMs = 0;
};

// One ICMP socket for the echoes of one probe call. A ping socket where the process's group may open one,
// else a raw socket with a filter that passes only this socket's replies and the errors quoting its echoes.
class TIcmpEcho
{
public:
    // Raises EPingProbeError.
    TIcmpEcho();
    ~TIcmpEcho();
    TIcmpEcho(const TIcmpEcho&) = delete;
    TIcmpEcho& operator=(const TIcmpEcho&) = delete;

    TEchoSocketKind Kind() const { return m_kind; }

    // One echo request with payloadSize bytes; waits at most timeoutMs for a reply that is ours. A broken
    // socket or wait raises EPingProbeError; network outcomes and sendto errors are statuses.
    TEchoOutcome Echo(const QString& address, std::uint16_t payloadSize, std::uint16_t timeoutMs);

private:
    int m_fd = -1;
    TEchoSocketKind m_kind = TEchoSocketKind::Raw;
    std::uint16_t m_ident = 0; // raw sockets: our identifier (ping sockets: the kernel's)
};

// Minimum gap between any two echo requests of the process (all workers share it), so that a burst of
// released workers leaves as an orderly stream instead of overflowing the receive backlog. Default 100 us;
// zero turns pacing off.
// The Internet checksum (RFC 1071) of an ICMP message; 0 over a message that carries a valid one.
std::uint16_t IcmpChecksum(const std::uint8_t* data, std::size_t len);

void SetEchoSendGap(std::chrono::microseconds gap);
std::chrono::microseconds EchoSendGap();
