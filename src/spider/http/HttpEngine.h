#pragma once
// The engine under every HTTP transfer of the process: one thread drives all
// of them through one libcurl multi handle, so a crawl's pages fetched ahead
// and its other fetches run concurrently without a thread each, share the
// connections the library keeps, and are set up, timed and read by the same
// code. A transfer is a job: the engine hands it a library handle to set up,
// runs the request, and tells the job when it has ended; the job then asks
// for another request (a retry with credentials) or is done. Whatever a job
// must hand to the user-interface thread and wait for (a question with an
// answer) goes through CallInUIThread; everything else it posts.
#include "HttpRequestOptions.h"

#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <curl/curl.h>

class QObject;
class THttpEngineJob;

// Procedures posted for the user-interface thread, run there in the order
// posted. One queued event runs every procedure posted until it runs, so the
// user-interface thread is woken once for the transfers that ended together
// rather than once for each.
class THttpPostQueue : public std::enable_shared_from_this<THttpPostQueue> {
  public:
    using TProc = std::function<void()>;
    explicit THttpPostQueue(QObject* context) : m_Context(context) {}
    // Any thread.
    void Add(std::shared_ptr<THttpEngineJob> job, TProc proc);

  private:
    struct TPosted {
        std::shared_ptr<THttpEngineJob> Job;
        TProc Proc;
    };
    // On the user-interface thread: runs what is queued, skipping the
    // procedures of jobs killed since.
    void Drain();
    void Schedule();

    QPointer<QObject> m_Context;
    std::mutex m_Lock;
    std::deque<TPosted> m_Posted;
    // A Drain is queued and has not begun.
    bool m_Scheduled = false;
};

class THttpEngineJob : public std::enable_shared_from_this<THttpEngineJob> {
  public:
    virtual ~THttpEngineJob() = default;

    // On the engine thread: sets up the freshly reset handle for the next
    // request. False ends the job at once, with Ended(CURLE_FAILED_INIT).
    virtual bool Prepare(CURL* handle) = 0;
    // On the engine thread, when a request has ended (or the job was
    // stopped: Stopped() is then set): true asks for another request on the
    // same handle (Prepare runs again), false ends the job.
    virtual bool Ended(CURLcode result) = 0;

    // Asked to stop: its callbacks end the request, and the engine ends the
    // job at its next turn.
    bool Stopped() const { return m_Stop.load(); }
    // Given up by its owner: nothing of it reaches the user-interface thread
    // any more, and the engine drops it without a word.
    bool Killed() const { return m_Killed.load(); }

    // The job's receive time-out. A wait for the user-interface thread holds
    // every transfer up, so the engine counts it as activity for all.
    THttpStallWatch Stall;

  private:
    friend class THttpEngine;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_Killed{false};
    CURL* m_Handle = nullptr;
};

class THttpEngine {
  public:
    // The engine every transfer of the process shares; made with the first
    // user (on the user-interface thread) and gone with the last.
    static std::shared_ptr<THttpEngine> Acquire();
    ~THttpEngine();
    THttpEngine(const THttpEngine&) = delete;
    THttpEngine& operator=(const THttpEngine&) = delete;

    // Hands a job over; any thread.
    void Start(std::shared_ptr<THttpEngineJob> job);
    // The job ends at the engine's next turn, Ended telling it so.
    void Stop(THttpEngineJob& job);
    // The job is dropped quietly: a call it waits for returns at once
    // without having run, and nothing it posted runs any more.
    void Kill(THttpEngineJob& job);

    // On the engine thread, for a job's callbacks: runs proc on the
    // user-interface thread and waits until it has returned. Other transfers
    // wait meanwhile, so it is for questions whose answer the transfer needs,
    // and rare. False when proc did not run (the job was killed, or there is
    // no user-interface thread any more). On the user-interface thread proc
    // runs at once.
    bool CallInUIThread(THttpEngineJob& job, const std::function<void()>& proc);
    // Any thread: runs proc on the user-interface thread later, unless the
    // job has been killed by then.
    void Post(const std::shared_ptr<THttpEngineJob>& job, std::function<void()> proc);

  private:
    THttpEngine();
    void Run();
    void Add(const std::shared_ptr<THttpEngineJob>& job);
    void Remove(THttpEngineJob& job);
    void Release(CURL* handle);
    bool Prepare(THttpEngineJob& job);
    void End(const std::shared_ptr<THttpEngineJob>& job, CURLcode result);

    CURLM* m_Multi = nullptr;
    QPointer<QObject> m_UIContext;
    std::shared_ptr<THttpPostQueue> m_Posted;
    std::thread m_Thread;

    // Guarded by m_Lock: jobs handed over and not yet taken, and the order
    // to leave.
    std::mutex m_Lock;
    std::vector<std::shared_ptr<THttpEngineJob>> m_Incoming;
    std::atomic<bool> m_Quit{false};
    bool m_Waiting = false;

    // Calls waited for on the user-interface thread: they, a kill and the
    // order to leave wake the waiting engine.
    std::mutex m_CallLock;
    std::condition_variable m_CallReturned;

    // On the engine thread only.
    std::vector<std::shared_ptr<THttpEngineJob>> m_Running;
    std::vector<CURL*> m_IdleHandles;
};
