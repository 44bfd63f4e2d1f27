#include "HttpEngine.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <algorithm>
#include <sched.h>
#include <utility>

namespace {

std::mutex g_EngineLock;
std::weak_ptr<THttpEngine> g_Engine;

void InitLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Marks a call done when the last copy of the procedure handed to the
// user-interface thread goes, whether it ran or was thrown away unrun.
struct TCallState {
    bool Returned = false;
    bool Ran = false;
};

struct TCallGuard {
    TCallGuard(std::shared_ptr<TCallState> state, std::mutex& lock,
               std::condition_variable& returned)
        : State(std::move(state)), Lock(&lock), Returned(&returned) {}
    TCallGuard(const TCallGuard&) = delete;
    TCallGuard& operator=(const TCallGuard&) = delete;
    std::shared_ptr<TCallState> State;
    std::mutex* Lock;
    std::condition_variable* Returned;
    ~TCallGuard() {
        {
            std::lock_guard lock(*Lock);
            State->Returned = true;
        }
        Returned->notify_all();
    }
};

} // namespace

std::shared_ptr<THttpEngine> THttpEngine::Acquire() {
    std::lock_guard lock(g_EngineLock);
    std::shared_ptr<THttpEngine> engine = g_Engine.lock();
    if (!engine) {
        engine.reset(new THttpEngine);
        g_Engine = engine;
    }
    return engine;
}

THttpEngine::THttpEngine() {
    InitLibraryOnce();
    m_Multi = curl_multi_init();
    if (auto* app = QCoreApplication::instance()) {
        auto* context = new QObject;
        context->moveToThread(app->thread());
        m_UIContext = context;
        m_Posted = std::make_shared<THttpPostQueue>(context);
    }
}

THttpEngine::~THttpEngine() {
    {
        std::lock_guard lock(m_Lock);
        m_Quit = true;
    }
    { std::lock_guard lock(m_CallLock); }
    m_CallReturned.notify_all();
    if (m_Multi)
        curl_multi_wakeup(m_Multi);
    if (m_Thread.joinable())
        m_Thread.join();
    for (auto& job : m_Incoming)
        job->Ended(CURLE_ABORTED_BY_CALLBACK);
    for (CURL* handle : m_IdleHandles)
        curl_easy_cleanup(handle);
    if (m_Multi)
        curl_multi_cleanup(m_Multi);
    if (m_UIContext)
        m_UIContext->deleteLater();
}

void THttpEngine::Start(std::shared_ptr<THttpEngineJob> job) {
    bool wake = false;
    {
        std::lock_guard lock(m_Lock);
        m_Incoming.push_back(std::move(job));
        if (!m_Thread.joinable())
            m_Thread = std::thread([this] { Run(); });
        // Only a thread that waits for the network needs waking; whoever
        // wakes it says so, and later jobs wait for it to look.
        wake = std::exchange(m_Waiting, false);
    }
    if (wake && m_Multi)
        curl_multi_wakeup(m_Multi);
}

void THttpEngine::Stop(THttpEngineJob& job) {
    job.m_Stop = true;
    if (m_Multi)
        curl_multi_wakeup(m_Multi);
}

void THttpEngine::Kill(THttpEngineJob& job) {
    {
        std::lock_guard lock(m_CallLock);
        job.m_Killed = true;
        job.m_Stop = true;
    }
    m_CallReturned.notify_all();
    if (m_Multi)
        curl_multi_wakeup(m_Multi);
}

bool THttpEngine::CallInUIThread(THttpEngineJob& job, const std::function<void()>& proc) {
    if (job.Killed())
        return false;
    QObject* context = m_UIContext;
    if (!context || !m_Posted)
        return false;
    if (QThread::currentThread() == context->thread()) {
        proc();
        return true;
    }
    auto state = std::make_shared<TCallState>();
    auto guard = std::make_shared<TCallGuard>(state, m_CallLock, m_CallReturned);
    std::shared_ptr<THttpEngineJob> target = job.shared_from_this();
    // The procedure is run through a pointer: the engine waits until it has
    // returned, or gives the wait up only once the job is killed, after which
    // the procedure is never run. It goes through the queue of posted
    // procedures, so it comes after whatever the job posted before.
    const std::function<void()>* call = &proc;
    m_Posted->Add(std::move(target), [guard = std::move(guard), call] {
        guard->State->Ran = true;
        (*call)();
    });
    {
        std::unique_lock lock(m_CallLock);
        m_CallReturned.wait(lock, [&] { return state->Returned || job.Killed() || m_Quit; });
    }
    // Every transfer was held up meanwhile; none of them stalled.
    for (auto& running : m_Running)
        running->Stall.Touch();
    return state->Returned && state->Ran;
}

void THttpEngine::Post(const std::shared_ptr<THttpEngineJob>& job, std::function<void()> proc) {
    if (m_Posted)
        m_Posted->Add(job, std::move(proc));
}

void THttpPostQueue::Add(std::shared_ptr<THttpEngineJob> job, TProc proc) {
    bool schedule = false;
    {
        std::lock_guard lock(m_Lock);
        m_Posted.push_back({std::move(job), std::move(proc)});
        schedule = !std::exchange(m_Scheduled, true);
    }
    if (schedule)
        Schedule();
}

void THttpPostQueue::Schedule() {
    if (QObject* context = m_Context)
        QMetaObject::invokeMethod(
            context, [self = shared_from_this()] { self->Drain(); }, Qt::QueuedConnection);
}

void THttpPostQueue::Drain() {
    std::unique_lock lock(m_Lock);
    m_Scheduled = false;
    while (!m_Posted.empty()) {
        TPosted posted = std::move(m_Posted.front());
        m_Posted.pop_front();
        // A procedure may wait in an event loop of its own for what is
        // queued behind it: a Drain queued for the rest lets that loop run
        // it.
        const bool guard = !m_Posted.empty() && !std::exchange(m_Scheduled, true);
        lock.unlock();
        if (guard)
            Schedule();
        if (!posted.Job->Killed()) {
            try {
                posted.Proc();
            } catch (...) {
                // An event handler's error is not the transfer's business.
            }
        }
        posted = {};
        lock.lock();
    }
}

bool THttpEngine::Prepare(THttpEngineJob& job) {
    curl_easy_reset(job.m_Handle);
    try {
        return job.Prepare(job.m_Handle);
    } catch (...) {
        return false;
    }
}

void THttpEngine::Add(const std::shared_ptr<THttpEngineJob>& job) {
    if (job->Killed())
        return;
    if (job->Stopped()) {
        End(job, CURLE_ABORTED_BY_CALLBACK);
        return;
    }
    if (m_IdleHandles.empty()) {
        CURL* handle = curl_easy_init();
        if (!handle) {
            End(job, CURLE_OUT_OF_MEMORY);
            return;
        }
        m_IdleHandles.push_back(handle);
    }
    job->m_Handle = m_IdleHandles.back();
    m_IdleHandles.pop_back();
    if (!Prepare(*job) || curl_multi_add_handle(m_Multi, job->m_Handle) != CURLM_OK) {
        Remove(*job);
        End(job, CURLE_FAILED_INIT);
        return;
    }
    m_Running.push_back(job);
}

void THttpEngine::Remove(THttpEngineJob& job) {
    if (!job.m_Handle)
        return;
    curl_multi_remove_handle(m_Multi, job.m_Handle);
    Release(job.m_Handle);
    job.m_Handle = nullptr;
}

void THttpEngine::Release(CURL* handle) {
    // A cookie jar may go with the job that used it: an idle handle keeps
    // none, and its connections stay with the multi handle.
    curl_easy_setopt(handle, CURLOPT_SHARE, nullptr);
    m_IdleHandles.push_back(handle);
}

void THttpEngine::End(const std::shared_ptr<THttpEngineJob>& job, CURLcode result) {
    if (job->Killed())
        return;
    bool again = false;
    try {
        again = job->Ended(result);
    } catch (...) {
        again = false;
    }
    if (again && !job->Stopped())
        Add(job);
    else if (again)
        End(job, CURLE_ABORTED_BY_CALLBACK);
}

void THttpEngine::Run() {
    // This thread does not preempt the thread it wakes up beside (the
    // user-interface thread): it mostly waits on the network.
    sched_param param{};
    (void)::sched_setscheduler(0, SCHED_BATCH, &param);
    for (;;) {
        std::vector<std::shared_ptr<THttpEngineJob>> incoming;
        {
            std::lock_guard lock(m_Lock);
            if (m_Quit)
                break;
            incoming.swap(m_Incoming);
            m_Waiting = false;
        }
        for (auto& job : incoming)
            Add(job);
        for (auto it = m_Running.begin(); it != m_Running.end();) {
            if (!(*it)->Stopped()) {
                ++it;
                continue;
            }
            std::shared_ptr<THttpEngineJob> job = std::move(*it);
            it = m_Running.erase(it);
            Remove(*job);
            End(job, CURLE_ABORTED_BY_CALLBACK);
        }
        int running = 0;
        curl_multi_perform(m_Multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(m_Multi, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* handle = message->easy_handle;
            const CURLcode result = message->data.result;
            auto it = std::find_if(m_Running.begin(), m_Running.end(),
                                   [handle](const auto& job) { return job->m_Handle == handle; });
            if (it == m_Running.end())
                continue;
            std::shared_ptr<THttpEngineJob> job = std::move(*it);
            m_Running.erase(it);
            // The handle stays with the job for what Ended reads of it, and
            // for a request sent again on it.
            curl_multi_remove_handle(m_Multi, handle);
            bool again = false;
            if (!job->Killed()) {
                try {
                    again = job->Ended(result);
                } catch (...) {
                    again = false;
                }
            }
            if (again && !job->Stopped() && !job->Killed()) {
                if (Prepare(*job) && curl_multi_add_handle(m_Multi, handle) == CURLM_OK) {
                    m_Running.push_back(std::move(job));
                    continue;
                }
                Remove(*job);
                End(job, CURLE_FAILED_INIT);
                continue;
            }
            Release(handle);
            job->m_Handle = nullptr;
            if (again && !job->Killed())
                End(job, CURLE_ABORTED_BY_CALLBACK);
        }
        {
            std::lock_guard lock(m_Lock);
            if (!m_Incoming.empty() || m_Quit)
                continue;
            m_Waiting = true;
        }
        curl_multi_poll(m_Multi, nullptr, 0, 1000, nullptr);
    }
    for (auto& job : m_Running) {
        Remove(*job);
        if (!job->Killed())
            job->Ended(CURLE_ABORTED_BY_CALLBACK);
    }
    m_Running.clear();
}
