#pragma once

// A worker that runs one job at a time and whose steps hand procedures to
// the user-interface thread (the thread of the QCoreApplication), waiting
// until they have returned. One hidden QObject on that thread carries them
// for all workers of the process.
//
// Each run of the job is a TEventWorkerThread of its own. The operating-system
// thread under it sleeps between runs and is handed the next one; a run that
// is given up while it still works keeps its thread, and the next run gets a
// fresh one. A run's end procedure is the last thing it hands over: its
// thread, having nothing left to do for the run, sleeps until the next run
// instead of waiting for that procedure to return.

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/types.h>
#include <vector>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TCustomWorkerThread;
struct TWorkerHost;
class TUICallEvent;

// One run of a worker: the flags that the worker and the user-interface
// thread share, and the procedures the run was started with.
class TEventWorkerThread {
  public:
    TEventWorkerThread(const TEventWorkerThread&) = delete;
    TEventWorkerThread& operator=(const TEventWorkerThread&) = delete;
    ~TEventWorkerThread();

    // A stop was asked (or the worker was killed); the job ends at its next check.
    bool StopRequested() const { return m_Stop.load(); }
    // The worker was given up: nothing it hands over runs any more.
    bool Killed() const { return m_Killed.load(); }
    // Runs proc on the user-interface thread and waits for it to return;
    // an exception it throws is dropped. False when proc did not run because
    // the worker was killed or its owner is going away. Called on the
    // user-interface thread, proc runs at once.
    bool RunInUIThread(const std::function<void()>& proc);
    // Ends the run without the end procedure (after a stop was carried out).
    void EndWithoutFinish() { m_SkipFinish = true; }
    // Whatever the owner hands to this run of the job.
    std::shared_ptr<void> Context;

  private:
    friend class TCustomWorkerThread;
    friend class TUICallEvent;
    TEventWorkerThread() = default;

    // Runs a handed-over procedure on the user-interface thread unless the
    // run was given up meanwhile; true when it ran.
    bool Deliver(const std::function<void()>& proc);

    using TWorkerProc = std::function<void(TEventWorkerThread& Thread)>;
    using TWorkerErrorProc =
        std::function<void(TEventWorkerThread& Thread, std::exception_ptr Error)>;
    TWorkerProc m_Execute;
    TWorkerProc m_Finish;
    TWorkerErrorProc m_Error;

    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_Killed{false};
    // The job and its error procedure are over: only the end procedure may
    // still be handed over, and the thread may take the next run.
    std::atomic<bool> m_Finishing{false};
    std::atomic<bool> m_Done{false};
    std::atomic<bool> m_SkipFinish{false};
    // The user-interface thread waits for this worker's end.
    std::atomic<bool> m_Awaited{false};
    std::atomic<int> m_Priority{tpNormal};
    // Milliseconds of the steady clock when the last procedure ran.
    std::atomic<long long> m_LastDelivery{0};
    std::shared_ptr<std::atomic<bool>> m_OwnerDestroying;
    // A procedure handed over and waited for has returned (or was dropped).
    std::mutex m_CallLock;
    std::condition_variable m_CallReturned;
};

class TCustomWorkerThread {
  public:
    using TWorkerProc = TEventWorkerThread::TWorkerProc;
    using TWorkerErrorProc = TEventWorkerThread::TWorkerErrorProc;
    using TWaitTimeoutProc = std::function<void(bool& TerminateThread)>;

    TCustomWorkerThread();
    // Stops every worker and waits for them, processing events meanwhile.
    ~TCustomWorkerThread();
    TCustomWorkerThread(const TCustomWorkerThread&) = delete;
    TCustomWorkerThread& operator=(const TCustomWorkerThread&) = delete;

    // The job, on the worker.
    TWorkerProc OnExecute;
    // The end procedure, on the user-interface thread, after the job.
    TWorkerProc OnFinish;
    // On the user-interface thread, for an exception that left the job.
    TWorkerErrorProc OnError;
    // On the user-interface thread when a wait ran out of time.
    TWaitTimeoutProc OnWaitTimeout;

    // Starts a fresh run (a previous one is given up) carrying context.
    // With wait, returns only when it has ended, processing events meanwhile;
    // waitTimeoutMs (0: no limit) is the longest stretch without the worker
    // ending or handing over a procedure, after which OnWaitTimeout decides
    // whether the worker is killed. True, or false when it was killed so.
    bool Start(std::shared_ptr<void> context, bool wait, unsigned waitTimeoutMs);
    // Asks the current worker to stop at its next check.
    void Stop();
    // Gives the current worker up at once: it stops at its next check and
    // nothing it hands over runs any more.
    void Kill();
    // A worker was started and has neither ended nor been killed.
    bool Running() const;
    TThreadPriority Priority() const;
    void SetPriority(TThreadPriority value);
    // Stops every worker and waits until all have ended; used by owners
    // before they take their own state down.
    void Shutdown();

  private:
    bool Wait(const std::shared_ptr<TEventWorkerThread>& thread, unsigned waitTimeoutMs);
    // The current thread can take the next run: its run is over or has
    // nothing left but the end procedure, and the priority asked for can be
    // reached from where the thread stands.
    bool CanReuseHost(int priority);
    void RetireHost();
    void ReapEnded();
    // The thread's loop: takes each run handed over, until told to leave.
    static void HostMain(std::shared_ptr<TWorkerHost> host);
    // One run on its thread; the end procedure is handed over, not waited for.
    static void RunOnHost(const std::shared_ptr<TEventWorkerThread>& run);

    std::shared_ptr<TEventWorkerThread> m_Current;
    // Runs given up before they ended; kept until they have.
    std::vector<std::shared_ptr<TEventWorkerThread>> m_Retired;
    std::shared_ptr<TWorkerHost> m_Host;
    // Threads given up with their run; joined once they have left.
    std::vector<std::shared_ptr<TWorkerHost>> m_RetiredHosts;
    std::shared_ptr<std::atomic<bool>> m_Destroying;
    int m_Priority = tpNormal;
};
