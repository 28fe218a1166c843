#pragma once

#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

// One echo request per worker thread, and the registry through which the UI thread releases and stops them.
//
// Threads. A worker is created held: its thread exists (small stack) but waits at a start gate until
// ResumePingThread(s) opens it. Its body runs the echo probe, then hands its completion to the UI thread (the
// thread of the QCoreApplication instance) and waits there until OnAfterPing has returned (Synchronize).
//
// Stopping. Threads are never killed. StopPingThread(s) marks a worker stopped under the registry lock:
//   - held: its gate opens and its thread ends at once, without a probe and without any event;
//   - probing: the probe runs to its end (at most its time-out), then the thread ends without an event;
//   - waiting for the UI thread: the wait is given up, no event;
//   - already inside OnAfterPing: that call completes normally (it was already reporting).
// A stopped worker never touches the registry again; it holds its own token and checks it, never a bare
// index that a later cycle reuses. A worker stopped while held keeps its object allocated (its creator may
// still hold the pointer); one stopped after release frees itself when FreeOnTerminate is set.
//
// Exit. ShutdownPingThreads() stops every worker for good and makes every later Synchronize return without
// running. main() should call it after QApplication::exec() returns (it also runs on its own from the
// QCoreApplication destructor). After it, no worker posts to the UI thread, none keeps the process alive,
// and a worker still inside its probe ends harmlessly while the process exits. The registry itself is
// never destroyed, so a late worker cannot reach freed state.

class TPingThread;
struct TPingWorkerControl;

// Completion event; Sender is the finished worker. Runs on the UI thread; must not keep Sender.
using TPingNotify = std::function<void(TPingThread* Sender)>;

// Opaque, never reused within a run.
using TPingThreadHandle = std::uintptr_t;

class TPingThread
{
public:
    // CreateSuspended true: held until released through the registry. Raises EMonitorError when the
    // thread cannot be created.
    explicit TPingThread(bool CreateSuspended);
    TPingThread(const TPingThread&) = delete;
    TPingThread& operator=(const TPingThread&) = delete;
    // Deleting from another thread is for FreeOnTerminate false (tests, tools): it stops the worker and waits
    // until its thread has ended. A FreeOnTerminate worker is never deleted by anyone else.
    virtual ~TPingThread();

    // Process-unique tokens for the registry (not kernel thread ids; never 0).
    const TPingThreadHandle Handle;
    const std::uint32_t ThreadID;
    // Read once the body has ended; set it before the release.
    bool FreeOnTerminate = false;

    TPingNotify OnAfterPing;

    QString PingHostName;
    bool PingLookupReply = false;
    std::int32_t PingSize = 0;
    std::int32_t PingTimeout = 0;
    std::int32_t PingTTL = 0;
    std::int32_t PingFlags = 0;
    std::int32_t PingId = 0;
    // Registry index returned by RegisterPingThread; informative (the worker leaves the registry by token).
    std::int32_t PingThreadNum = 0;
    QString DnsHostIP;
    QString ReplyIPAddr;
    std::uint32_t ReplyStatus = 0;
    std::uint32_t ReplyRTT = 0;
    std::uint16_t ReplyDataSize = 0;
    std::int32_t ReplyTotal = 0;
    QString ReplyHostName;
    std::int32_t ErrCode = 0;
    QString ErrString;

    // The probe itself could not run (no ICMP socket, too many open files, ...): not the host's fault, so
    // not a failed ping. The completion is still raised with this text set; nothing else is meaningful.
    QString ProbeError;
    // With ProbeError: the process may open neither a ping socket nor a raw socket.
    bool ProbeNoPermission = false;

    // The echo probe: Retries attempts, each BufferSize payload bytes and at most Timeout ms. Writes only
    // the fields each outcome sets. Raises EPingProbeError (see ping/IcmpEcho.h) when the probe cannot run.
    void Ping(const QString& Address, std::uint16_t Retries, std::uint16_t BufferSize, std::uint16_t Timeout);

    static QString GetStatusCodeStr(std::int32_t statusCode);

    // Stop-request flag.
    bool Terminated() const;
    void Terminate();

    // Blocks until the body has ended (or the worker was stopped while held). Not for FreeOnTerminate workers.
    void WaitFor();

protected:
    virtual void Execute();
    // Reports the exception being handled (nothing is shown); call only inside a catch block.
    virtual void HandleException();

    // Runs method on the UI thread and waits; runs it directly when not called on a worker thread. Returns
    // without running it once the worker is stopped or the program is shutting down.
    void Synchronize(const std::function<void()>& method);

private:
    static void* ThreadMain(void* self);
    void NotifyAfterPing();
    void DoHandleException();

    std::shared_ptr<TPingWorkerControl> m_ctl;
    std::exception_ptr FException;
    std::atomic<bool> m_terminated{ false };
};

// Registry. Every function except UnregisterPingThread runs on the UI thread. Register, Unregister, Stop and
// StopPingThreads raise EMonitorError("NOT OK ") for any failure inside them.
std::int32_t RegisterPingThread(std::uint32_t ThreadId, TPingThreadHandle Handle);
// Bare-index form: 1 <= Index <= length clears that slot; anything else does nothing.
void UnregisterPingThread(std::int32_t Index);
void StopPingThread(std::int32_t Index);
void StopPingThreads();
// Opens the gate of the worker with that handle; an unknown or ended worker is ignored.
void ResumePingThread(TPingThreadHandle Handle);
// Opens every gate of the handle list, first to last.
void ResumePingThreads();
// The ping cycle empties the handle list itself, right after StopPingThreads.
void ClearPingThreadHandles();
// Program exit: see the top of this header. Idempotent.
void ShutdownPingThreads();

// One socket per echo request: a cycle of a few thousand workers needs more than the default 1024 open files.
// Raises the soft limit to the hard limit; called once at start-up.
void RaisePingFileLimit();

// Copies of the two lists, for diagnostics and tests.
QList<std::uint32_t> PingThreadIdList();
QList<TPingThreadHandle> PingThreadHandleList();
