#include "ping/PingThrd.h"

#include "app/uError.h"
#include "ping/IcmpEcho.h"
#include "store/uSqlText.h"

#include <QCoreApplication>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>
#include <unordered_map>
#include <vector>

// Shared between the worker's thread and the registry; outlives the worker object, so the registry and a
// completion queued on the UI thread never reach a freed worker. Every field is guarded by the registry mutex.
struct TPingWorkerControl
{
    enum class Sync
    {
        Idle,
        Pending,
        Running,
        Done
    };

    std::condition_variable cv;
    TPingThreadHandle handle = 0;
    bool released = false; // the start gate is open
    bool stopped = false; // abandoned by the registry or by the program's shutdown
    bool ended = false; // the thread has left its last use of the worker object
    bool ownerDeleting = false; // deleted from another thread: the thread must not free it as well
    int slot = 0; // registry index this worker was registered under, 0 if none
    Sync sync = Sync::Idle;
    const std::function<void()>* syncCall = nullptr;
    std::exception_ptr syncError;
};

namespace {

// Main-loop code and thousands of short threads; a small stack keeps a large cycle small in memory.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t WorkerStackSize = 1024 * 1024;
#else
constexpr std::size_t WorkerStackSize = 128 * 1024;
#endif

struct TRegistrySlot
{
    std::uint32_t id = 0;
    std::shared_ptr<TPingWorkerControl> ctl; // null for a handle of no known worker
};

struct TRegistry
{
    std::mutex mutex;
    std::vector<TRegistrySlot> ids; // PingThreadIds
    int live = 0; // slots of ids whose id is not 0
    std::vector<TPingThreadHandle> handles; // PingThreadHandles
    std::unordered_map<TPingThreadHandle, std::shared_ptr<TPingWorkerControl>> threads; // not yet ended
    bool terminating = false;
    TPingThreadHandle nextSerial = 1;
};

// Never destroyed: a worker still finishing its probe while the process exits may take the lock.
TRegistry& reg()
{
    static TRegistry* registry = new TRegistry;
    return *registry;
}

thread_local TPingThread* t_currentWorker = nullptr;

TPingThreadHandle allocateSerial()
{
    TRegistry& r = reg();
    std::lock_guard lock(r.mutex);
    return r.nextSerial++;
}

std::uint32_t threadIdOf(TPingThreadHandle serial)
{
    return static_cast<std::uint32_t>((serial - 1) % 0xFFFFFFFFu) + 1;
}

// Registry lock held.
void stopControl(TPingWorkerControl& ctl)
{
    ctl.stopped = true;
    ctl.cv.notify_all();
}

// Registry lock held.
void stopSlot(TRegistry& r, std::int32_t index)
{
    if (index < 1 || std::size_t(index) > r.ids.size())
        return;
    TRegistrySlot& slot = r.ids[std::size_t(index) - 1];
    if (slot.id != 0) {
        if (slot.ctl)
            stopControl(*slot.ctl);
        slot.id = 0;
        --r.live;
    }
    slot.ctl.reset();
    if (r.live == 0)
        r.ids.clear();
}

// Registry lock held.
void clearSlot(TRegistry& r, TRegistrySlot& slot)
{
    if (slot.id != 0)
        --r.live;
    slot.id = 0;
    slot.ctl.reset();
}

// Registry lock held. An unknown or ended worker is ignored.
void openGate(TRegistry& r, TPingThreadHandle handle)
{
    const auto it = r.threads.find(handle);
    if (it == r.threads.end() || it->second->released)
        return;
    it->second->released = true;
    it->second->cv.notify_all();
}

template <typename F> auto notOk(F&& f)
{
    try {
        return f();
    } catch (...) {
        throw EMonitorError(QStringLiteral("NOT OK "));
    }
}

void runQueuedSync(const std::shared_ptr<TPingWorkerControl>& ctl)
{
    TRegistry& r = reg();
    const std::function<void()>* call = nullptr;
    {
        std::lock_guard lock(r.mutex);
        // The worker may have given up (stopped, shutdown) before the UI thread came to this event.
        if (ctl->sync != TPingWorkerControl::Sync::Pending)
            return;
        ctl->sync = TPingWorkerControl::Sync::Running;
        call = ctl->syncCall;
    }
    std::exception_ptr error;
    try {
        (*call)();
    } catch (...) {
        error = std::current_exception();
    }
    std::lock_guard lock(r.mutex);
    ctl->syncError = error;
    ctl->sync = TPingWorkerControl::Sync::Done;
    ctl->cv.notify_all();
}

} // namespace

TPingThread::TPingThread(bool CreateSuspended)
    : Handle(allocateSerial())
    , ThreadID(threadIdOf(Handle))
    , m_ctl(std::make_shared<TPingWorkerControl>())
{
    m_ctl->handle = Handle;
    m_ctl->released = !CreateSuspended;

    static std::once_flag postRoutine;
    if (QCoreApplication::instance())
        std::call_once(postRoutine, [] { qAddPostRoutine(ShutdownPingThreads); });

    TRegistry& r = reg();
    {
        std::lock_guard lock(r.mutex);
        m_ctl->stopped = r.terminating;
        r.threads.emplace(Handle, m_ctl);
    }

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attr, WorkerStackSize);
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, &TPingThread::ThreadMain, this);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        {
            std::lock_guard lock(r.mutex);
            r.threads.erase(Handle);
        }
        throw EMonitorError(
            QStringLiteral("Cannot create a ping thread: %1").arg(QString::fromLocal8Bit(strerror(rc))));
    }
}

TPingThread::~TPingThread()
{
    TRegistry& r = reg();
    if (t_currentWorker != this) {
        // Deleted by its owner: end the thread first (a held one leaves at once, a probing one when its
        // probe returns) so that it never touches a freed object.
        std::unique_lock lock(r.mutex);
        m_ctl->ownerDeleting = true;
        stopControl(*m_ctl);
        m_ctl->cv.wait(lock, [this] { return m_ctl->ended; });
    }
    FException = nullptr;
    try {
        // Leave by token: the slot is cleared only while it still holds this worker, so a later cycle that
        // reused the index keeps its own worker there.
        std::lock_guard lock(r.mutex);
        const int index = m_ctl->slot;
        if (index >= 1 && std::size_t(index) <= r.ids.size()) {
            TRegistrySlot& slot = r.ids[std::size_t(index) - 1];
            if (slot.ctl == m_ctl)
                clearSlot(r, slot);
        }
    } catch (...) {
        HandleException();
    }
}

void* TPingThread::ThreadMain(void* arg)
{
    auto* self = static_cast<TPingThread*>(arg);
    t_currentWorker = self;
    const std::shared_ptr<TPingWorkerControl> ctl = self->m_ctl;
    TRegistry& r = reg();
    bool run = false;
    {
        std::unique_lock lock(r.mutex);
        ctl->cv.wait(lock, [&] { return ctl->released || ctl->stopped; });
        run = !ctl->stopped;
    }
    if (run) {
        try {
            self->Execute();
        } catch (...) {
            try {
                self->HandleException();
            } catch (...) {
            }
        }
        // A worker stopped while held is not freed: its creator may still hold it. Once released, nobody
        // but this thread does.
        bool freeIt = self->FreeOnTerminate;
        if (freeIt) {
            std::lock_guard lock(r.mutex);
            freeIt = !ctl->ownerDeleting;
        }
        if (freeIt)
            delete self;
    }
    t_currentWorker = nullptr;
    std::lock_guard lock(r.mutex);
    ctl->ended = true;
    r.threads.erase(ctl->handle);
    ctl->cv.notify_all();
    return nullptr;
}

void TPingThread::Execute()
{
    FException = nullptr;
    if (PingHostName.isEmpty()) {
        Terminate();
        return;
    }
    try {
        try {
            Ping(PingHostName, 1, static_cast<std::uint16_t>(PingSize), static_cast<std::uint16_t>(PingTimeout));
        } catch (const EPingProbeError& e) {
            // Not the host's fault: completed with the reason so that the cycle can count it and store nothing.
            ProbeError = e.Message();
            ProbeNoPermission = e.NoPermission();
        } catch (const std::exception& e) {
            ProbeError = QString::fromUtf8(e.what());
        } catch (...) {
            ProbeError = QStringLiteral("The echo probe failed");
        }
        Synchronize([this] { NotifyAfterPing(); });
    } catch (...) {
        Terminate();
        HandleException();
        return;
    }
    Terminate();
}

void TPingThread::NotifyAfterPing()
{
    {
        TRegistry& r = reg();
        std::lock_guard lock(r.mutex);
        if (m_ctl->stopped || r.terminating)
            return;
    }
    FException = nullptr;
    if (!OnAfterPing)
        return;
    try {
        OnAfterPing(this);
    } catch (...) {
        HandleException();
    }
}

void TPingThread::HandleException()
{
    FException = std::current_exception();
    try {
        Synchronize([this] { DoHandleException(); });
    } catch (...) {
    }
    FException = nullptr;
}

void TPingThread::DoHandleException()
{
    // Nothing is shown; a window toolkit's mouse capture is not ours to release from the core library.
    Terminate();
}

void TPingThread::Synchronize(const std::function<void()>& method)
{
    if (t_currentWorker != this) {
        method();
        return;
    }
    TRegistry& r = reg();
    const std::shared_ptr<TPingWorkerControl> ctl = m_ctl;
    std::unique_lock lock(r.mutex);
    // Posted under the lock: shutdown sets terminating under it before the application object goes away.
    QCoreApplication* app = QCoreApplication::instance();
    if (ctl->stopped || r.terminating || !app)
        return;
    ctl->sync = TPingWorkerControl::Sync::Pending;
    ctl->syncCall = &method;
    ctl->syncError = nullptr;
    QMetaObject::invokeMethod(
        app, [ctl] { runQueuedSync(ctl); }, Qt::QueuedConnection);
    // A call the UI thread has begun is waited for; one it has not begun is given up when the worker is
    // stopped or the program is ending, so nothing waits on an event loop that is gone.
    ctl->cv.wait(lock, [&] {
        return ctl->sync == TPingWorkerControl::Sync::Done
            || (ctl->sync == TPingWorkerControl::Sync::Pending && (ctl->stopped || r.terminating));
    });
    const std::exception_ptr error = ctl->sync == TPingWorkerControl::Sync::Done ? ctl->syncError : nullptr;
    ctl->sync = TPingWorkerControl::Sync::Idle;
    ctl->syncCall = nullptr;
    ctl->syncError = nullptr;
    lock.unlock();
    if (error)
        std::rethrow_exception(error);
}

bool TPingThread::Terminated() const
{
    return m_terminated.load();
}

void TPingThread::Terminate()
{
    m_terminated.store(true);
}

void TPingThread::WaitFor()
{
    TRegistry& r = reg();
    std::unique_lock lock(r.mutex);
    m_ctl->cv.wait(lock, [this] { return m_ctl->ended; });
}

void TPingThread::Ping(const QString& Address, std::uint16_t Retries, std::uint16_t BufferSize, std::uint16_t Timeout)
{
    std::unique_ptr<TIcmpEcho> echo;
    for (unsigned attempt = 0; attempt < Retries; ++attempt) {
        // No echo can be attempted for such an address: the absent status, and no socket is needed.
        if (!IsDottedIPv4(Address)) {
            ErrString = GetStatusCodeStr(1);
            continue;
        }
        if (!echo)
            echo = std::make_unique<TIcmpEcho>();
        const TEchoOutcome outcome = echo->Echo(Address, BufferSize, Timeout);
        if (!outcome.statusPresent) {
            ErrString = GetStatusCodeStr(1);
        } else if (outcome.status == EchoSuccess) {
            ReplyIPAddr = outcome.replyAddr;
            ReplyDataSize = outcome.dataSize;
            ReplyRTT = outcome.rttMs;
        } else {
            ReplyIPAddr = outcome.replyAddr;
            ErrString = GetStatusCodeStr(outcome.status);
        }
    }
}

QString TPingThread::GetStatusCodeStr(std::int32_t statusCode)
{
    switch (statusCode) {
    case 0:
        return QStringLiteral("Success");
    case 11001:
        return QStringLiteral("Buffer Too Small");
    case 11002:
        return QStringLiteral("Destination Net Unreachable");
    case 11003:
        return QStringLiteral("Destination Host Unreachable");
    case 11004:
        return QStringLiteral("Destination Protocol Unreachable");
    case 11005:
        return QStringLiteral("Destination Port Unreachable");
    case 11006:
        return QStringLiteral("No Resources");
    case 11007:
        return QStringLiteral("Bad Option");
    case 11008:
        return QStringLiteral("Hardware Error");
    case 11009:
        return QStringLiteral("Packet Too Big");
    case 11010:
        return QStringLiteral("Request Timed Out");
    case 11011:
        return QStringLiteral("Bad Request");
    case 11012:
        return QStringLiteral("Bad Route");
    case 11013:
        return QStringLiteral("TimeToLive Expired Transit");
    case 11014:
        return QStringLiteral("TimeToLive Expired Reassembly");
    case 11015:
        return QStringLiteral("Parameter Problem");
    case 11016:
        return QStringLiteral("Source Quench");
    case 11017:
        return QStringLiteral("Option Too Big");
    case 11018:
        return QStringLiteral("Bad Destination");
    case 11032:
        return QStringLiteral("Negotiating IPSEC");
    case 11050:
        return QStringLiteral("General Failure");
    default:
        return QStringLiteral("Unknow");
    }
}

std::int32_t RegisterPingThread(std::uint32_t ThreadId, TPingThreadHandle Handle)
{
    return notOk([&] {
        TRegistry& r = reg();
        std::lock_guard lock(r.mutex);
        r.handles.push_back(Handle);
        const auto it = r.threads.find(Handle);
        std::shared_ptr<TPingWorkerControl> ctl = it != r.threads.end() ? it->second : nullptr;
        r.ids.push_back({ ThreadId, ctl });
        if (ThreadId != 0)
            ++r.live;
        const auto index = static_cast<std::int32_t>(r.ids.size());
        if (ctl)
            ctl->slot = index;
        return index;
    });
}

void UnregisterPingThread(std::int32_t Index)
{
    notOk([&] {
        TRegistry& r = reg();
        std::lock_guard lock(r.mutex);
        if (Index < 1 || std::size_t(Index) > r.ids.size())
            return;
        clearSlot(r, r.ids[std::size_t(Index) - 1]);
    });
}

void StopPingThread(std::int32_t Index)
{
    notOk([&] {
        TRegistry& r = reg();
        std::lock_guard lock(r.mutex);
        stopSlot(r, Index);
    });
}

void StopPingThreads()
{
    notOk([&] {
        TRegistry& r = reg();
        std::lock_guard lock(r.mutex);
        if (r.ids.empty())
            return;
        const auto n = static_cast<std::int32_t>(r.ids.size());
        for (std::int32_t i = 1; i <= n; ++i)
            stopSlot(r, i);
        r.ids.clear();
        r.live = 0;
    });
}

void ResumePingThread(TPingThreadHandle Handle)
{
    TRegistry& r = reg();
    std::lock_guard lock(r.mutex);
    openGate(r, Handle);
}

void ResumePingThreads()
{
    TRegistry& r = reg();
    std::lock_guard lock(r.mutex);
    for (TPingThreadHandle handle : r.handles)
        openGate(r, handle);
}

void ClearPingThreadHandles()
{
    TRegistry& r = reg();
    std::lock_guard lock(r.mutex);
    r.handles.clear();
}

void ShutdownPingThreads()
{
    TRegistry& r = reg();
    std::lock_guard lock(r.mutex);
    if (r.terminating)
        return;
    r.terminating = true;
    for (auto& [handle, ctl] : r.threads)
        stopControl(*ctl);
    r.ids.clear();
    r.live = 0;
    r.handles.clear();
}

QList<std::uint32_t> PingThreadIdList()
{
    TRegistry& r = reg();
    std::lock_guard lock(r.mutex);
    QList<std::uint32_t> list;
    list.reserve(qsizetype(r.ids.size()));
    for (const TRegistrySlot& slot : r.ids)
        list.append(slot.id);
    return list;
}

QList<TPingThreadHandle> PingThreadHandleList()
{
    TRegistry& r = reg();
    std::lock_guard lock(r.mutex);
    return QList<TPingThreadHandle>(r.handles.begin(), r.handles.end());
}

void RaisePingFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}
