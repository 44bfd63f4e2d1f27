#pragma once

// A worker thread per run of a job, whose steps hand procedures to the
// user-interface thread (the thread of the QCoreApplication) and wait until
// they have returned. One hidden QObject on that thread carries them for all
// workers of the process.

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <vector>

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TCustomWorkerThread;

// One run of a worker: the operating-system thread and the flags that the
// worker and the user-interface thread share.
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
    TEventWorkerThread() = default;

    std::thread m_Thread;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_Killed{false};
    std::atomic<bool> m_Done{false};
    std::atomic<bool> m_SkipFinish{false};
    // The user-interface thread waits for this worker's end.
    std::atomic<bool> m_Awaited{false};
    std::atomic<pid_t> m_Tid{0};
    std::atomic<int> m_Priority{tpNormal};
    // Milliseconds of the steady clock when the last procedure ran.
    std::atomic<long long> m_LastDelivery{0};
    std::shared_ptr<std::atomic<bool>> m_OwnerDestroying;
};

class TCustomWorkerThread {
  public:
    using TWorkerProc = std::function<void(TEventWorkerThread& Thread)>;
    using TWorkerErrorProc =
        std::function<void(TEventWorkerThread& Thread, std::exception_ptr Error)>;
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

    // Starts a fresh worker (a previous one is given up) carrying context.
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
    void ReapEnded();
    static void Body(std::shared_ptr<TEventWorkerThread> thread, TWorkerProc execute,
                     TWorkerProc finish, TWorkerErrorProc error);

    std::shared_ptr<TEventWorkerThread> m_Current;
    std::vector<std::shared_ptr<TEventWorkerThread>> m_Retired;
    std::shared_ptr<std::atomic<bool>> m_Destroying;
    int m_Priority = tpNormal;
};
