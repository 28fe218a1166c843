#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

// A network namespace of the test's own ("tmping-<tag>-<pid>"), with its loopback up; removed when the
// object goes, also when the test fails. Needs root.
class TmNetns
{
public:
    explicit TmNetns(const QString& tag);
    ~TmNetns();
    TmNetns(const TmNetns&) = delete;
    TmNetns& operator=(const TmNetns&) = delete;

    bool Ok() const { return m_error.isEmpty(); }
    QString Error() const { return m_error; }
    QString Name() const { return m_name; }

    // `ip -n <name> <args>`; records the first failure in Error().
    bool Ip(const QStringList& args);
    // `sysctl -w key=value` inside the namespace.
    bool Sysctl(const QString& key, const QString& value);
    // A veth pair from this namespace (address localCidr, "veth0") to peer (peerCidr, "veth1"), both up.
    bool Link(TmNetns& peer, const QString& localCidr, const QString& peerCidr);

    // Removes namespaces left by earlier runs of this test whose process is gone (after a crash).
    static void RemoveStale();
    static bool IsRoot();

private:
    QString m_name;
    QString m_error;
};

// Moves the calling thread (and the threads it creates afterwards) into a namespace until destroyed.
class TmNetnsEnter
{
public:
    explicit TmNetnsEnter(const TmNetns& ns);
    ~TmNetnsEnter();
    TmNetnsEnter(const TmNetnsEnter&) = delete;
    TmNetnsEnter& operator=(const TmNetnsEnter&) = delete;
    bool Ok() const { return m_ok; }

private:
    int m_original = -1;
    bool m_ok = false;
};

// An echo host played by the test inside a namespace whose kernel ignores echoes
// (net.ipv4.icmp_echo_ignore_all=1): for every echo request it answers with a scripted list of packets,
// each after a delay, so that tests see late, duplicate and foreign replies.
class TmEchoResponder
{
public:
    enum class Reply
    {
        Good, // the proper echo reply
        WrongSequence, // identifier right, sequence off by one
        WrongIdentifier,
        BadChecksum,
    };
    TmEchoResponder(const TmNetns& ns, std::vector<Reply> script, std::chrono::milliseconds delay);
    ~TmEchoResponder();
    bool Ok() const { return m_ok; }
    int Requests() const { return m_requests.load(); }

private:
    void run(int fd);

    std::vector<Reply> m_script;
    std::chrono::milliseconds m_delay;
    std::atomic<bool> m_stop{ false };
    std::atomic<int> m_requests{ 0 };
    bool m_ok = false;
    std::thread m_thread;
};
