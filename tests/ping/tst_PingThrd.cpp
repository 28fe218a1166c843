#include "ping/PingThrd.h"

#include "NetnsHost.h"
#include "app/uError.h"
#include "app/uNotify.h"
#include "ping/IcmpEcho.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <thread>

Q_DECLARE_METATYPE(std::vector<TmEchoResponder::Reply>)

namespace {

struct TResult
{
    QString host;
    QString replyAddr;
    QString errString;
    QString probeError;
    bool noPermission = false;
    int pingId = 0;
    int size = 0;
    quint32 rtt = 0;
    qint64 elapsedMs = 0;
};

TResult capture(const TPingThread* w, const QElapsedTimer& clock)
{
    TResult r;
    r.host = w->PingHostName;
    r.replyAddr = w->ReplyIPAddr;
    r.errString = w->ErrString;
    r.probeError = w->ProbeError;
    r.noPermission = w->ProbeNoPermission;
    r.pingId = w->PingId;
    r.size = w->ReplyDataSize;
    r.rtt = w->ReplyRTT;
    r.elapsedMs = clock.elapsed();
    // The fields the probe never writes stay at their initial values.
    if (w->ReplyStatus != 0 || w->ErrCode != 0 || w->ReplyTotal != 0 || w->PingTTL != 0)
        r.errString = QStringLiteral("a field the probe must not write was written");
    return r;
}

// What the ping cycle does: stop the earlier workers, empty the handles, create held workers, register,
// configure, release them together.
class TCycle
{
public:
    QList<TResult> results;
    QElapsedTimer clock;
    std::function<void(TPingThread*)> extra;

    void start(const QStringList& hosts, int size, int timeout)
    {
        StopPingThreads();
        ClearPingThreadHandles();
        for (int i = 0; i < hosts.size(); ++i) {
            auto* w = new TPingThread(true);
            w->PingThreadNum = RegisterPingThread(w->ThreadID, w->Handle);
            w->FreeOnTerminate = true;
            w->PingId = i + 1;
            w->OnAfterPing = [this](TPingThread* sender) {
                results.append(capture(sender, clock));
                if (extra)
                    extra(sender);
            };
            w->PingHostName = hosts[i];
            w->PingTimeout = timeout;
            w->PingSize = size;
        }
        clock.start();
        ResumePingThreads();
    }

    bool waitFor(int count, int ms)
    {
        return QTest::qWaitFor([&] { return results.size() >= count; }, ms);
    }
};

// A worker's registry slot is cleared by its own destructor, after its event.
bool waitSlotsCleared(int ms = 5000)
{
    return QTest::qWaitFor(
        [] {
            for (auto id : PingThreadIdList()) {
                if (id != 0)
                    return false;
            }
            return true;
        },
        ms);
}

const QString OpenRange = QStringLiteral("0 2147483647");
const QString ClosedRange = QStringLiteral("1 0");

// A client namespace whose socket kind is fixed by its ping_group_range, entered by this thread.
struct TClientNs
{
    TmNetns ns;
    std::unique_ptr<TmNetnsEnter> enter;

    TClientNs(const QString& tag, TEchoSocketKind kind)
        : ns(tag)
    {
        ns.Sysctl(QStringLiteral("net.ipv4.ping_group_range"), kind == TEchoSocketKind::Ping ? OpenRange : ClosedRange);
    }
    bool enterNs()
    {
        if (!ns.Ok())
            return false;
        enter = std::make_unique<TmNetnsEnter>(ns);
        return enter->Ok();
    }
};

TEchoSocketKind kindOf(const QString& name)
{
    return name == QLatin1String("ping") ? TEchoSocketKind::Ping : TEchoSocketKind::Raw;
}

#define REQUIRE_ROOT()                                                                                                 \
    do {                                                                                                               \
        if (!TmNetns::IsRoot())                                                                                        \
            QSKIP("needs root: raw ICMP sockets and network namespaces");                                              \
    } while (false)

#define ENTER_CLIENT(client, kind)                                                                                     \
    do {                                                                                                               \
        QVERIFY2((client).enterNs(), qPrintable((client).ns.Error()));                                                 \
        TIcmpEcho probe;                                                                                               \
        QCOMPARE(probe.Kind(), kind);                                                                                  \
    } while (false)

void addKindRows(const char* suffix = "")
{
    QTest::addRow("raw%s", suffix) << QStringLiteral("raw");
    QTest::addRow("ping%s", suffix) << QStringLiteral("ping");
}

// ---- child modes, run in a process of their own --------------------------------------------------------------

int childNoPermission(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TCycle cycle;
    cycle.start({ QStringLiteral("127.0.0.1") }, 32, 1000);
    const bool raised = cycle.waitFor(1, 5000);
    const TResult r = raised ? cycle.results.first() : TResult{};
    std::printf("raised=%d noPermission=%d size=%d err=[%s] probeError=[%s]\n", raised ? 1 : 0, r.noPermission ? 1 : 0,
                r.size, qPrintable(r.errString), qPrintable(r.probeError));
    waitSlotsCleared();
    return 0;
}

// Leaves the process with a held worker, one blocked on the UI thread and two waiting in the pacer.
int childExit(int argc, char** argv, bool explicitShutdown)
{
    QCoreApplication app(argc, argv);
    SetEchoSendGap(std::chrono::seconds(3));
    auto* held = new TPingThread(true);
    held->FreeOnTerminate = true;
    held->PingHostName = QStringLiteral("127.0.0.1");
    RegisterPingThread(held->ThreadID, held->Handle);
    ClearPingThreadHandles();
    int raised = 0;
    for (int i = 0; i < 3; ++i) {
        auto* w = new TPingThread(true);
        w->PingThreadNum = RegisterPingThread(w->ThreadID, w->Handle);
        w->FreeOnTerminate = true;
        w->PingHostName = QStringLiteral("127.0.0.%1").arg(i + 1);
        w->PingTimeout = 5000;
        w->PingSize = 32;
        w->OnAfterPing = [&raised](TPingThread*) { ++raised; };
    }
    ResumePingThreads();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    if (explicitShutdown)
        ShutdownPingThreads();
    std::printf("raised=%d\n", raised);
    std::fflush(stdout);
    return 0;
}

int childMain(int argc, char** argv)
{
    const QByteArray mode = argv[2];
    if (mode == "noperm")
        return childNoPermission(argc, argv);
    if (mode == "exit-explicit")
        return childExit(argc, argv, true);
    if (mode == "exit-implicit")
        return childExit(argc, argv, false);
    return 2;
}

} // namespace

class TestPingThrd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A thousand sockets at once need more than the default soft limit of open files.
        rlimit lim{};
        getrlimit(RLIMIT_NOFILE, &lim);
        lim.rlim_cur = lim.rlim_max;
        setrlimit(RLIMIT_NOFILE, &lim);
        if (TmNetns::IsRoot())
            TmNetns::RemoveStale();
    }

    void init()
    {
        StopPingThreads();
        ClearPingThreadHandles();
        SetEchoSendGap(std::chrono::microseconds(100));
    }

    void statusTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const struct
        {
            int code;
            const char* text;
        } rows[] = {
            { 0, "Success" },
            { 11001, "Buffer Too Small" },
            { 11002, "Destination Net Unreachable" },
            { 11003, "Destination Host Unreachable" },
            { 11004, "Destination Protocol Unreachable" },
            { 11005, "Destination Port Unreachable" },
            { 11006, "No Resources" },
            { 11007, "Bad Option" },
            { 11008, "Hardware Error" },
            { 11009, "Packet Too Big" },
            { 11010, "Request Timed Out" },
            { 11011, "Bad Request" },
            { 11012, "Bad Route" },
            { 11013, "TimeToLive Expired Transit" },
            { 11014, "TimeToLive Expired Reassembly" },
            { 11015, "Parameter Problem" },
            { 11016, "Source Quench" },
            { 11017, "Option Too Big" },
            { 11018, "Bad Destination" },
            { 11032, "Negotiating IPSEC" },
            { 11050, "General Failure" },
            { 11019, "Unknow" },
            { 11031, "Unknow" },
            { 11033, "Unknow" },
            { 11049, "Unknow" },
            { 11051, "Unknow" },
            { 11000, "Unknow" },
            { -1, "Unknow" },
            { 1, "Unknow" },
        };
        for (const auto& row : rows)
            QTest::addRow("%d", row.code) << row.code << QString::fromLatin1(row.text);
    }
    void statusTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(TPingThread::GetStatusCodeStr(code), text);
    }

    void registryIndexesAndBounds()
    {
        QVERIFY(PingThreadIdList().isEmpty());
        QCOMPARE(RegisterPingThread(101, 0x1001), 1);
        QCOMPARE(RegisterPingThread(102, 0x1002), 2);
        QCOMPARE(RegisterPingThread(103, 0x1003), 3);
        QCOMPARE(PingThreadIdList(), (QList<std::uint32_t>{ 101, 102, 103 }));
        QCOMPARE(PingThreadHandleList(), (QList<TPingThreadHandle>{ 0x1001, 0x1002, 0x1003 }));

        for (int bad : { 0, -1, 4, 1000 }) {
            UnregisterPingThread(bad);
            StopPingThread(bad);
        }
        QCOMPARE(PingThreadIdList(), (QList<std::uint32_t>{ 101, 102, 103 }));

        UnregisterPingThread(2);
        QCOMPARE(PingThreadIdList(), (QList<std::uint32_t>{ 101, 0, 103 }));
        StopPingThread(2); // already ended: only cleared again
        QCOMPARE(PingThreadIdList(), (QList<std::uint32_t>{ 101, 0, 103 }));
        StopPingThread(1);
        QCOMPARE(PingThreadIdList(), (QList<std::uint32_t>{ 0, 0, 103 }));
        StopPingThread(3); // the last live slot empties the id list, the handles stay
        QVERIFY(PingThreadIdList().isEmpty());
        QCOMPARE(PingThreadHandleList().size(), 3);

        // Emptied: numbering starts again at 1, appended after the handles the cycle has not cleared.
        QCOMPARE(RegisterPingThread(201, 0x2001), 1);
        QCOMPARE(RegisterPingThread(202, 0x2002), 2);
        QCOMPARE(PingThreadHandleList().size(), 5);
        ClearPingThreadHandles();
        QVERIFY(PingThreadHandleList().isEmpty());
        QCOMPARE(PingThreadIdList().size(), 2);
    }

    void stopPingThreadsWithClearedSlots()
    {
        StopPingThreads(); // empty: nothing
        QVERIFY(PingThreadIdList().isEmpty());
        RegisterPingThread(301, 0x3001);
        RegisterPingThread(302, 0x3002);
        UnregisterPingThread(1);
        UnregisterPingThread(2);
        QCOMPARE(PingThreadIdList(), (QList<std::uint32_t>{ 0, 0 }));
        StopPingThreads();
        QVERIFY(PingThreadIdList().isEmpty());
        QCOMPARE(PingThreadHandleList().size(), 2);
    }

    void heldWorkerStoppedEndsWithoutProbe()
    {
        auto* w = new TPingThread(true);
        QVERIFY(w->ThreadID != 0);
        bool raised = false;
        w->OnAfterPing = [&](TPingThread*) { raised = true; };
        w->PingHostName = QStringLiteral("127.0.0.1");
        w->PingSize = 32;
        w->PingTimeout = 1000;
        w->PingThreadNum = RegisterPingThread(w->ThreadID, w->Handle);
        StopPingThreads();
        w->WaitFor(); // returns: the held thread has ended
        ResumePingThread(w->Handle); // an ended worker is ignored
        QTest::qWait(100);
        QVERIFY(!raised);
        QVERIFY(w->ReplyIPAddr.isEmpty() && w->ErrString.isEmpty());
        delete w;
    }

    void emptyHostNameRaisesNothing()
    {
        TCycle cycle;
        cycle.start({ QString() }, 32, 1000);
        QVERIFY(waitSlotsCleared());
        QTest::qWait(50);
        QVERIFY(cycle.results.isEmpty());
    }

    void badAddressGivesAbsentStatus_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("three parts") << QStringLiteral("10.0.0");
        QTest::newRow("name") << QStringLiteral("localhost");
        QTest::newRow("out of range") << QStringLiteral("127.0.0.256");
        QTest::newRow("leading zero") << QStringLiteral("127.0.0.01");
        QTest::newRow("quote") << QStringLiteral("127.0.0.1'");
    }
    void badAddressGivesAbsentStatus()
    {
        QFETCH(QString, host);
        TCycle cycle;
        cycle.start({ host }, 32, 1000);
        QVERIFY(cycle.waitFor(1, 5000));
        const TResult r = cycle.results.first();
        QCOMPARE(r.errString, QStringLiteral("Unknow"));
        QVERIFY(r.replyAddr.isEmpty());
        QCOMPARE(r.size, 0);
        QVERIFY(r.probeError.isEmpty());
        QVERIFY(waitSlotsCleared());
    }

    void loopbackReply_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("pingSize");
        QTest::addColumn<int>("expectedSize");
        QTest::addColumn<QString>("expectedError");
        for (const char* kind : { "raw", "ping" }) {
            const QString k = QString::fromLatin1(kind);
            QTest::addRow("%s size 0", kind) << k << 0 << 0 << QString();
            QTest::addRow("%s size 32", kind) << k << 32 << 32 << QString();
            QTest::addRow("%s size 1472", kind) << k << 1472 << 1472 << QString();
            QTest::addRow("%s size 65536+32 low bits", kind) << k << 65536 + 32 << 32 << QString();
            QTest::addRow("%s size 65535 too big", kind) << k << 65535 << 0 << QStringLiteral("Packet Too Big");
        }
    }
    void loopbackReply()
    {
        REQUIRE_ROOT();
        QFETCH(QString, kind);
        QFETCH(int, pingSize);
        QFETCH(int, expectedSize);
        QFETCH(QString, expectedError);
        TClientNs client(QStringLiteral("lo"), kindOf(kind));
        ENTER_CLIENT(client, kindOf(kind));

        TCycle cycle;
        cycle.start({ QStringLiteral("127.0.0.1") }, pingSize, 2000);
        QVERIFY(cycle.waitFor(1, 10000));
        const TResult r = cycle.results.first();
        QVERIFY2(r.probeError.isEmpty(), qPrintable(r.probeError));
        QCOMPARE(r.errString, expectedError);
        QCOMPARE(r.size, expectedSize);
        QCOMPARE(r.replyAddr, QStringLiteral("127.0.0.1"));
        QCOMPARE(r.pingId, 1);
        QVERIFY(r.rtt < 2000);
        QVERIFY(waitSlotsCleared());
    }

    void failuresInNamespace_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<QString>("expectedError");
        QTest::addColumn<QString>("expectedAddr");
        QTest::addColumn<int>("minElapsed");
        for (const char* kind : { "raw", "ping" }) {
            const QString k = QString::fromLatin1(kind);
            QTest::addRow("%s silent host", kind)
                << k << QStringLiteral("10.213.0.2") << 400 << QStringLiteral("Request Timed Out")
                << QStringLiteral("10.213.0.2") << 350;
            QTest::addRow("%s silent host, time-out 65536+300", kind)
                << k << QStringLiteral("10.213.0.2") << 65536 + 300 << QStringLiteral("Request Timed Out")
                << QStringLiteral("10.213.0.2") << 250;
            QTest::addRow("%s unreachable beyond the router", kind)
                << k << QStringLiteral("10.214.0.9") << 2000 << QStringLiteral("Destination Host Unreachable")
                << QStringLiteral("10.213.0.2") << 0;
            QTest::addRow("%s no route", kind)
                << k << QStringLiteral("10.215.0.9") << 2000 << QStringLiteral("Destination Host Unreachable")
                << QStringLiteral("10.215.0.9") << 0;
        }
    }
    void failuresInNamespace()
    {
        REQUIRE_ROOT();
        QFETCH(QString, kind);
        QFETCH(QString, target);
        QFETCH(int, timeout);
        QFETCH(QString, expectedError);
        QFETCH(QString, expectedAddr);
        QFETCH(int, minElapsed);

        TmNetns host(QStringLiteral("host"));
        TClientNs client(QStringLiteral("cli"), kindOf(kind));
        QVERIFY2(host.Ok(), qPrintable(host.Error()));
        // The host drops echoes to itself and answers for 10.214.0.0/24 with "host unreachable"; the client
        // routes that range through it and has no route at all to 10.215.0.0/24.
        QVERIFY2(client.ns.Link(host, QStringLiteral("10.213.0.1/24"), QStringLiteral("10.213.0.2/24")),
                 qPrintable(client.ns.Error() + host.Error()));
        QVERIFY2(host.Sysctl(QStringLiteral("net.ipv4.icmp_echo_ignore_all"), QStringLiteral("1"))
                     && host.Sysctl(QStringLiteral("net.ipv4.ip_forward"), QStringLiteral("1"))
                     && host.Sysctl(QStringLiteral("net.ipv4.icmp_ratelimit"), QStringLiteral("0"))
                     && host.Ip({ QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("unreachable"),
                                  QStringLiteral("10.214.0.0/24") }),
                 qPrintable(host.Error()));
        QVERIFY2(client.ns.Ip({ QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("10.214.0.0/24"),
                                QStringLiteral("via"), QStringLiteral("10.213.0.2") })
                     && client.ns.Ip({ QStringLiteral("route"), QStringLiteral("add"), QStringLiteral("unreachable"),
                                       QStringLiteral("10.215.0.0/24") }),
                 qPrintable(client.ns.Error()));
        ENTER_CLIENT(client, kindOf(kind));

        TCycle cycle;
        cycle.start({ target }, 32, timeout);
        QVERIFY(cycle.waitFor(1, 10000));
        const TResult r = cycle.results.first();
        QVERIFY2(r.probeError.isEmpty(), qPrintable(r.probeError));
        QCOMPARE(r.errString, expectedError);
        QCOMPARE(r.replyAddr, expectedAddr);
        QCOMPARE(r.size, 0);
        QCOMPARE(r.rtt, 0u);
        QVERIFY2(r.elapsedMs >= minElapsed, qPrintable(QString::number(r.elapsedMs)));
        // Bounded by its own time-out: nothing waits longer than asked.
        QVERIFY2(r.elapsedMs < (timeout & 0xFFFF) + 1500, qPrintable(QString::number(r.elapsedMs)));
    }

    // Foreign, corrupt, late and duplicate packets do not count; only the one proper reply does.
    void onlyOurReplyCounts_data()
    {
        using R = TmEchoResponder::Reply;
        QTest::addColumn<QString>("kind");
        QTest::addColumn<std::vector<R>>("script");
        QTest::addColumn<int>("delay");
        QTest::addColumn<QString>("expectedError");
        for (const char* kind : { "raw", "ping" }) {
            const QString k = QString::fromLatin1(kind);
            QTest::addRow("%s wrong ones first, then a duplicate", kind)
                << k << std::vector<R>{ R::WrongSequence, R::WrongIdentifier, R::BadChecksum, R::Good, R::Good } << 100
                << QString();
            QTest::addRow("%s only corrupt ones", kind)
                << k << std::vector<R>{ R::WrongSequence, R::WrongIdentifier, R::BadChecksum } << 0
                << QStringLiteral("Request Timed Out");
            QTest::addRow("%s late reply", kind)
                << k << std::vector<R>{ R::Good } << 900 << QStringLiteral("Request Timed Out");
        }
    }
    void onlyOurReplyCounts()
    {
        REQUIRE_ROOT();
        QFETCH(QString, kind);
        QFETCH(std::vector<TmEchoResponder::Reply>, script);
        QFETCH(int, delay);
        QFETCH(QString, expectedError);
        TmNetns host(QStringLiteral("resp"));
        TClientNs client(QStringLiteral("rcli"), kindOf(kind));
        QVERIFY2(host.Ok() && client.ns.Link(host, QStringLiteral("10.216.0.1/24"), QStringLiteral("10.216.0.2/24"))
                     && host.Sysctl(QStringLiteral("net.ipv4.icmp_echo_ignore_all"), QStringLiteral("1")),
                 qPrintable(client.ns.Error() + host.Error()));
        TmEchoResponder responder(host, script, std::chrono::milliseconds(delay));
        QVERIFY(responder.Ok());
        ENTER_CLIENT(client, kindOf(kind));

        TCycle cycle;
        cycle.start({ QStringLiteral("10.216.0.2") }, 32, 600);
        QVERIFY(cycle.waitFor(1, 5000));
        QTest::qWait(200); // room for a second, wrong event
        QCOMPARE(cycle.results.size(), 1);
        const TResult r = cycle.results.first();
        QCOMPARE(responder.Requests(), 1);
        QCOMPARE(r.errString, expectedError);
        QCOMPARE(r.replyAddr, QStringLiteral("10.216.0.2"));
        if (expectedError.isEmpty()) {
            QCOMPARE(r.size, 32);
            QVERIFY2(r.rtt >= quint32(delay), qPrintable(QString::number(r.rtt)));
        } else {
            QCOMPARE(r.size, 0);
        }
    }

    void stoppedWhileProbingRaisesNothing_data()
    {
        QTest::addColumn<QString>("kind");
        addKindRows();
    }
    void stoppedWhileProbingRaisesNothing()
    {
        REQUIRE_ROOT();
        QFETCH(QString, kind);
        TmNetns host(QStringLiteral("late"));
        TClientNs client(QStringLiteral("lcli"), kindOf(kind));
        QVERIFY2(host.Ok() && client.ns.Link(host, QStringLiteral("10.217.0.1/24"), QStringLiteral("10.217.0.2/24"))
                     && host.Sysctl(QStringLiteral("net.ipv4.icmp_echo_ignore_all"), QStringLiteral("1")),
                 qPrintable(client.ns.Error() + host.Error()));
        TmEchoResponder responder(host, { TmEchoResponder::Reply::Good }, std::chrono::milliseconds(400));
        QVERIFY(responder.Ok());
        ENTER_CLIENT(client, kindOf(kind));

        TCycle first;
        first.start({ QStringLiteral("10.217.0.2") }, 32, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(responder.Requests(), 1, 3000);
        // The next cycle starts before the reply is in, and takes index 1 again.
        StopPingThreads();
        ClearPingThreadHandles();
        QCOMPARE(RegisterPingThread(4242, 0x4242), 1);
        QTest::qWait(1200); // the reply arrives, the probe returns, the stopped worker ends
        QVERIFY(first.results.isEmpty());
        QCOMPARE(PingThreadIdList(), (QList<std::uint32_t>{ 4242 }));
    }

    void stoppedWhileWaitingForUiRaisesNothing()
    {
        REQUIRE_ROOT();
        TClientNs client(QStringLiteral("wait"), TEchoSocketKind::Raw);
        ENTER_CLIENT(client, TEchoSocketKind::Raw);
        TCycle first;
        first.start({ QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2") }, 32, 2000);
        // No event pass: both replies are in and the workers wait for the UI thread.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        StopPingThreads();
        ClearPingThreadHandles();
        QCOMPARE(RegisterPingThread(4343, 0x4343), 1);
        QCOMPARE(RegisterPingThread(4344, 0x4344), 2);
        QTest::qWait(300);
        QVERIFY(first.results.isEmpty());
        QCOMPARE(PingThreadIdList(), (QList<std::uint32_t>{ 4343, 4344 }));
    }

    // The handler pumps events and a new cycle starts inside it: the reporting worker finishes its own
    // report, is freed once, and leaves the new cycle's slots alone.
    void newCycleInsideTheHandler()
    {
        REQUIRE_ROOT();
        TClientNs client(QStringLiteral("nest"), TEchoSocketKind::Raw);
        ENTER_CLIENT(client, TEchoSocketKind::Raw);
        TCycle first;
        TCycle second;
        first.extra = [&](TPingThread* sender) {
            if (first.results.size() != 1)
                return;
            second.start({ QStringLiteral("127.0.1.1"), QStringLiteral("127.0.1.2") }, 16, 2000);
            QVERIFY(second.waitFor(2, 5000));
            QCOMPARE(sender->PingHostName, first.results.first().host); // still ours, not freed
        };
        first.start({ QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.2"), QStringLiteral("127.0.0.3") }, 32,
                    2000);
        QVERIFY(first.waitFor(1, 5000));
        QVERIFY(waitSlotsCleared());
        QTest::qWait(200);
        QCOMPARE(first.results.size(), 1); // the other two were stopped by the second cycle
        QCOMPARE(second.results.size(), 2);
        for (const TResult& r : second.results)
            QCOMPARE(r.size, 16);
    }

    // Sends leave no closer than the gap, and each worker's time is from its own send, not from the release.
    void pacerSpacesSends()
    {
        REQUIRE_ROOT();
        TClientNs client(QStringLiteral("pace"), TEchoSocketKind::Raw);
        ENTER_CLIENT(client, TEchoSocketKind::Raw);
        constexpr int Workers = 10;
        constexpr int GapMs = 30;
        SetEchoSendGap(std::chrono::milliseconds(GapMs));
        QStringList hosts;
        for (int i = 0; i < Workers; ++i)
            hosts << QStringLiteral("127.2.0.%1").arg(i + 1);
        TCycle cycle;
        cycle.start(hosts, 32, 3000);
        QVERIFY(cycle.waitFor(Workers, 10000));
        qint64 last = 0;
        for (const TResult& r : cycle.results) {
            QVERIFY(r.errString.isEmpty());
            QVERIFY2(r.rtt < 100, qPrintable(QString::number(r.rtt)));
            last = std::max(last, r.elapsedMs);
        }
        QVERIFY2(last >= (Workers - 1) * GapMs, qPrintable(QString::number(last)));
    }

    void throwingHandlerDoesNotKeepWorker()
    {
        int shown = 0;
        Notify::SetErrorHandler([&](const QString&) { ++shown; });
        TCycle cycle;
        cycle.extra = [](TPingThread*) { throw EMonitorError(QStringLiteral("handler failed")); };
        cycle.start({ QStringLiteral("not an address") }, 32, 1000);
        QVERIFY(cycle.waitFor(1, 5000));
        QVERIFY(waitSlotsCleared());
        QCOMPARE(shown, 0);
        Notify::SetErrorHandler(nullptr);
    }

    void manyWorkersEachGetTheirOwnReply_data()
    {
        QTest::addColumn<QString>("kind");
        addKindRows();
    }
    void manyWorkersEachGetTheirOwnReply()
    {
        REQUIRE_ROOT();
        QFETCH(QString, kind);
        TClientNs client(QStringLiteral("many"), kindOf(kind));
        ENTER_CLIENT(client, kindOf(kind));
        constexpr int Workers = 1000;
        QStringList hosts;
        for (int i = 0; i < Workers; ++i)
            hosts << QStringLiteral("127.1.%1.%2").arg(i / 200).arg(i % 200 + 1);
        TCycle cycle;
        cycle.start(hosts, 56, 5000);
        QVERIFY(cycle.waitFor(Workers, 30000));
        QSet<int> ids;
        int timedOut = 0;
        for (const TResult& r : cycle.results) {
            QVERIFY2(r.probeError.isEmpty(), qPrintable(r.probeError));
            if (r.errString == QLatin1String("Request Timed Out"))
                ++timedOut;
            QCOMPARE(r.host, hosts[r.pingId - 1]);
            QCOMPARE(r.replyAddr, r.host); // its own reply, no cross-talk
            QCOMPARE(r.size, 56);
            ids.insert(r.pingId);
        }
        QCOMPARE(timedOut, 0);
        QCOMPARE(ids.size(), Workers);
        QVERIFY(waitSlotsCleared(10000));
    }

    void noPermissionIsAProbeError()
    {
        REQUIRE_ROOT();
        TmNetns ns(QStringLiteral("noperm"));
        QVERIFY2(ns.Ok() && ns.Sysctl(QStringLiteral("net.ipv4.ping_group_range"), ClosedRange),
                 qPrintable(ns.Error()));
        const QString self = QCoreApplication::applicationFilePath();
        // nobody, when it may run this binary; else root without CAP_NET_RAW, which is as unprivileged here.
        const bool othersMayRun = QFileInfo(self).permission(QFileDevice::ExeOther);
        QStringList args{ QStringLiteral("netns"), QStringLiteral("exec"), ns.Name(), QStringLiteral("setpriv") };
        if (othersMayRun)
            args << QStringLiteral("--reuid=65534") << QStringLiteral("--regid=65534")
                 << QStringLiteral("--clear-groups");
        else
            args << QStringLiteral("--bounding-set=-net_raw") << QStringLiteral("--inh-caps=-net_raw");
        args << QStringLiteral("--") << self << QStringLiteral("--child") << QStringLiteral("noperm");
        QProcess child;
        child.start(QStringLiteral("ip"), args);
        QVERIFY(child.waitForFinished(20000));
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(child.readAllStandardError());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(out + err));
        QVERIFY2(out.contains(QLatin1String("raised=1 noPermission=1 size=0 err=[]")), qPrintable(out + err));
        QVERIFY2(out.contains(QLatin1String("probeError=[No permission")), qPrintable(out));
    }

    void exitWithWorkersOutstanding_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("ShutdownPingThreads") << QStringLiteral("exit-explicit");
        QTest::newRow("application destroyed only") << QStringLiteral("exit-implicit");
    }
    void exitWithWorkersOutstanding()
    {
        REQUIRE_ROOT();
        QFETCH(QString, mode);
        TClientNs client(QStringLiteral("exit"), TEchoSocketKind::Raw);
        ENTER_CLIENT(client, TEchoSocketKind::Raw);
        QProcess child; // inherits this thread's namespace
        QElapsedTimer clock;
        clock.start();
        child.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--child"), mode });
        QVERIFY(child.waitForFinished(20000));
        const QString out = QString::fromLocal8Bit(child.readAll());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("raised=0")), qPrintable(out));
        // The pacer holds the last worker for 6 s: the exit did not wait for it.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
    QCoreApplication app(argc, argv);
    TestPingThrd test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_PingThrd.moc"
