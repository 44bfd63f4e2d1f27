#include "WorkerThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

// An operating-system thread that runs the runs it is handed, one after
// another, and sleeps in between.
struct TWorkerHost {
    std::thread Thread;
    std::mutex Lock;
    std::condition_variable Wake;
    // Everything below is guarded by Lock.
    // The run handed over and not yet taken.
    std::shared_ptr<TEventWorkerThread> Next;
    // The run taken last; compared only, never followed.
    const TEventWorkerThread* Active = nullptr;
    // Leave once the run handed over (if any) is done.
    bool Quit = false;
    bool Exited = false;
    pid_t Tid = 0;
    // The nice value the thread was created with, and the one it has.
    int BaseNice = 0;
    int Nice = 0;
    // The scheduling policy the thread has (SCHED_OTHER when it starts).
    int Policy = SCHED_OTHER;
};

// A procedure handed to the user-interface thread. One the worker waits for
// tells it through the run's call lock when it has returned or was dropped
// unrun (its destructor runs either way, also when the queue is thrown away).
// The end procedure is waited for by nobody: it marks the run done instead.
class TUICallEvent : public QEvent {
  public:
    struct TState {
        bool Returned = false;
        bool Ran = false;
    };

    TUICallEvent(TEventWorkerThread& run, const std::function<void()>& proc, TState& state)
        : QEvent(Type()), m_Run(&run), m_Proc(&proc), m_State(&state) {}
    explicit TUICallEvent(std::shared_ptr<TEventWorkerThread> run)
        : QEvent(Type()), m_Run(run.get()), m_Keep(std::move(run)) {}
    TUICallEvent(const TUICallEvent&) = delete;
    TUICallEvent& operator=(const TUICallEvent&) = delete;

    ~TUICallEvent() override {
        if (m_State) {
            {
                std::lock_guard lock(m_Run->m_CallLock);
                m_State->Ran = m_Ran;
                m_State->Returned = true;
            }
            // The run outlives this: its owner keeps it until it is done,
            // which it cannot be while its worker waits here, and lets go of
            // it only on this thread.
            m_Run->m_CallReturned.notify_one();
        } else {
            m_Run->m_Done = true;
        }
    }

    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    void Deliver() {
        if (m_Proc) {
            m_Ran = m_Run->Deliver(*m_Proc);
        } else {
            TEventWorkerThread& run = *m_Run;
            m_Ran = run.Deliver([&run] { run.m_Finish(run); });
        }
    }

  private:
    TEventWorkerThread* m_Run;
    std::shared_ptr<TEventWorkerThread> m_Keep;
    const std::function<void()>* m_Proc = nullptr;
    TState* m_State = nullptr;
    bool m_Ran = false;
};

namespace {

// The hidden object on the user-interface thread through which workers hand
// procedures over.
class TWorkerWindow : public QObject {
  public:
    bool event(QEvent* e) override {
        if (e->type() == TUICallEvent::Type()) {
            static_cast<TUICallEvent*>(e)->Deliver();
            return true;
        }
        return QObject::event(e);
    }
};

// Created with the first worker component, destroyed with the last.
std::mutex g_WindowLock;
QObject* g_Window = nullptr;
int g_WindowUsers = 0;

QObject* AcquireWindow() {
    std::lock_guard lock(g_WindowLock);
    if (g_WindowUsers++ == 0) {
        g_Window = new TWorkerWindow;
        g_Window->setObjectName(QStringLiteral("TWorkerThreadWindow"));
        if (auto* app = QCoreApplication::instance())
            g_Window->moveToThread(app->thread());
    }
    return g_Window;
}

void ReleaseWindow() {
    std::lock_guard lock(g_WindowLock);
    if (--g_WindowUsers == 0) {
        delete g_Window;
        g_Window = nullptr;
    }
}

QObject* Window() {
    std::lock_guard lock(g_WindowLock);
    return g_Window;
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Nice values of the seven priorities, relative to the one a new thread
// starts with (its creator's).
int NiceDelta(int priority) {
    static constexpr int kDelta[] = {19, 10, 5, 0, -5, -10, -20};
    return priority >= tpIdle && priority <= tpTimeCritical ? kDelta[priority] : 0;
}

int WantedNice(const TWorkerHost& host, int priority) {
    return std::clamp(host.BaseNice + NiceDelta(priority), -20, 19);
}

// A worker at normal priority or below never preempts the thread it wakes
// up beside (the user-interface thread, above all): it runs when that thread
// sleeps or its time slice ends. A worker's runs mostly wait on the network,
// and a crawl wakes one for every page; preempting on each of those wake-ups
// costs more than it saves. Higher priorities keep the usual wake-up rules.
int WantedPolicy(int priority) {
    return priority <= tpNormal ? SCHED_BATCH : SCHED_OTHER;
}

// Under the host's lock, once its thread has started.
void ApplyPriority(TWorkerHost& host, int priority) {
    const int policy = WantedPolicy(priority);
    if (policy != host.Policy) {
        // Switching between these two policies needs no privileges; the nice
        // value is kept.
        sched_param param{};
        if (::sched_setscheduler(host.Tid, policy, &param) == 0)
            host.Policy = policy;
    }
    const int wanted = WantedNice(host, priority);
    if (wanted == host.Nice)
        return;
    // Raising needs privileges the user may lack; the thread then keeps the
    // priority it has.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(host.Tid), wanted);
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, static_cast<id_t>(host.Tid));
    if (errno == 0)
        host.Nice = now;
}

} // namespace

TEventWorkerThread::~TEventWorkerThread() = default;

bool TEventWorkerThread::Deliver(const std::function<void()>& proc) {
    // Looked at again here: a kill or the owner's end may have come while
    // the call waited in the queue.
    if (m_Killed || *m_OwnerDestroying)
        return false;
    m_LastDelivery = NowMs();
    try {
        proc();
    } catch (...) {
        // An event handler's error is not the worker's business.
    }
    return true;
}

bool TEventWorkerThread::RunInUIThread(const std::function<void()>& proc) {
    if (m_Killed || *m_OwnerDestroying)
        return false;
    QObject* window = Window();
    if (!window)
        return false;
    if (QThread::currentThread() == window->thread())
        return Deliver(proc);
    TUICallEvent::TState state;
    QCoreApplication::postEvent(window, new TUICallEvent(*this, proc, state));
    std::unique_lock lock(m_CallLock);
    m_CallReturned.wait(lock, [&] { return state.Returned; });
    return state.Ran;
}

void TCustomWorkerThread::RunOnHost(const std::shared_ptr<TEventWorkerThread>& run) {
    TEventWorkerThread& t = *run;
    if (!*t.m_OwnerDestroying && t.m_Execute) {
        try {
            t.m_Execute(t);
        } catch (...) {
            std::exception_ptr e = std::current_exception();
            if (t.m_Error)
                t.RunInUIThread([&] { t.m_Error(t, e); });
        }
    }
    t.m_Finishing = true;
    if (!*t.m_OwnerDestroying && !t.m_SkipFinish && t.m_Finish && !t.m_Killed) {
        if (QObject* window = Window()) {
            // The thread has nothing left to do for this run; it sleeps until
            // it is handed the next one while the end procedure runs, and the
            // event marks the run done once the procedure has returned.
            QCoreApplication::postEvent(window, new TUICallEvent(run));
            return;
        }
    }
    t.m_Done = true;
    // Wakes a user-interface thread that waits for the end (Wait, Shutdown).
    if (t.m_Awaited)
        if (QObject* window = Window())
            QMetaObject::invokeMethod(
                window, [] {}, Qt::QueuedConnection);
}

void TCustomWorkerThread::HostMain(std::shared_ptr<TWorkerHost> host) {
    TWorkerHost& h = *host;
    std::unique_lock lock(h.Lock);
    h.Tid = static_cast<pid_t>(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    h.BaseNice = h.Nice = errno == 0 ? nice : 0;
    for (;;) {
        h.Wake.wait(lock, [&] { return h.Next || h.Quit; });
        if (!h.Next)
            break;
        std::shared_ptr<TEventWorkerThread> run = std::move(h.Next);
        h.Active = run.get();
        ApplyPriority(h, run->m_Priority);
        lock.unlock();
        RunOnHost(run);
        run.reset();
        lock.lock();
    }
    h.Exited = true;
}

TCustomWorkerThread::TCustomWorkerThread()
    : m_Destroying(std::make_shared<std::atomic<bool>>(false)) {
    AcquireWindow();
}

TCustomWorkerThread::~TCustomWorkerThread() {
    Shutdown();
    ReleaseWindow();
}

bool TCustomWorkerThread::CanReuseHost(int priority) {
    if (!m_Host || (m_Current && !m_Current->m_Done && !m_Current->m_Finishing))
        return false;
    std::lock_guard lock(m_Host->Lock);
    if (m_Host->Quit || m_Host->Exited || m_Host->Next || m_Host->Tid == 0)
        return false;
    // A fresh thread starts at the base value and may always be lowered
    // from there; a thread that was lowered further may lack the right to
    // come back up, so it is not reused for a higher priority.
    return m_Host->Nice <= std::max(WantedNice(*m_Host, priority), m_Host->BaseNice);
}

void TCustomWorkerThread::RetireHost() {
    if (!m_Host)
        return;
    {
        std::lock_guard lock(m_Host->Lock);
        m_Host->Quit = true;
    }
    m_Host->Wake.notify_one();
    m_RetiredHosts.push_back(std::move(m_Host));
}

bool TCustomWorkerThread::Start(std::shared_ptr<void> context, bool wait, unsigned waitTimeoutMs) {
    ReapEnded();
    auto thread = std::shared_ptr<TEventWorkerThread>(new TEventWorkerThread);
    thread->Context = std::move(context);
    thread->m_Execute = OnExecute;
    thread->m_Finish = OnFinish;
    thread->m_Error = OnError;
    thread->m_OwnerDestroying = m_Destroying;
    thread->m_Priority = m_Priority;
    thread->m_LastDelivery = NowMs();

    const bool reuse = CanReuseHost(m_Priority);
    if (m_Current) {
        // Whatever the previous run still does, it hands nothing over any more.
        m_Current->m_Killed = true;
        m_Current->m_Stop = true;
        if (!m_Current->m_Done)
            m_Retired.push_back(std::move(m_Current));
    }
    m_Current = thread;
    if (reuse) {
        {
            std::lock_guard lock(m_Host->Lock);
            m_Host->Next = thread;
        }
        m_Host->Wake.notify_one();
    } else {
        // The previous run still works (or the priority asks for it): it
        // keeps its thread, and this run gets a fresh one.
        RetireHost();
        m_Host = std::make_shared<TWorkerHost>();
        m_Host->Next = thread;
        m_Host->Thread = std::thread(HostMain, m_Host);
    }
    if (!wait)
        return true;
    return Wait(thread, waitTimeoutMs);
}

bool TCustomWorkerThread::Wait(const std::shared_ptr<TEventWorkerThread>& thread,
                               unsigned waitTimeoutMs) {
    thread->m_Awaited = true;
    // A steady tick keeps the loop looking at the clock even when nothing
    // else arrives.
    QTimer tick;
    tick.start(waitTimeoutMs == 0 ? 200
                                  : std::clamp<int>(static_cast<int>(waitTimeoutMs) / 4, 1, 50));
    while (!thread->m_Done) {
        if (*m_Destroying || QCoreApplication::closingDown())
            return true;
        if (waitTimeoutMs != 0 && !thread->m_Killed &&
            NowMs() - thread->m_LastDelivery >= static_cast<long long>(waitTimeoutMs)) {
            bool terminate = true;
            if (OnWaitTimeout)
                OnWaitTimeout(terminate);
            if (terminate && !thread->m_Done) {
                if (thread == m_Current)
                    Kill();
                return false;
            }
            thread->m_LastDelivery = NowMs();
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    ReapEnded();
    return true;
}

void TCustomWorkerThread::ReapEnded() {
    std::erase_if(m_Retired, [](const auto& t) { return t->m_Done.load(); });
    for (auto it = m_RetiredHosts.begin(); it != m_RetiredHosts.end();) {
        bool exited;
        {
            std::lock_guard lock((*it)->Lock);
            exited = (*it)->Exited;
        }
        if (exited) {
            (*it)->Thread.join();
            it = m_RetiredHosts.erase(it);
        } else {
            ++it;
        }
    }
}

void TCustomWorkerThread::Stop() {
    if (m_Current)
        m_Current->m_Stop = true;
}

void TCustomWorkerThread::Kill() {
    if (!m_Current)
        return;
    m_Current->m_Killed = true;
    m_Current->m_Stop = true;
}

bool TCustomWorkerThread::Running() const {
    return m_Current && !m_Current->m_Done && !m_Current->m_Killed;
}

TThreadPriority TCustomWorkerThread::Priority() const {
    return m_Priority >= tpIdle && m_Priority <= tpTimeCritical
               ? static_cast<TThreadPriority>(m_Priority)
               : tpNormal;
}

void TCustomWorkerThread::SetPriority(TThreadPriority value) {
    m_Priority = value;
    if (m_Current && !m_Current->m_Done && m_Host) {
        m_Current->m_Priority = value;
        // A run not yet taken gets the priority when its thread takes it.
        std::lock_guard lock(m_Host->Lock);
        if (m_Host->Tid != 0 && m_Host->Active == m_Current.get())
            ApplyPriority(*m_Host, value);
    }
}

void TCustomWorkerThread::Shutdown() {
    *m_Destroying = true;
    std::vector<std::shared_ptr<TEventWorkerThread>> all = m_Retired;
    if (m_Current)
        all.push_back(m_Current);
    for (auto& t : all) {
        t->m_Stop = true;
        t->m_Awaited = true;
    }
    RetireHost();
    // Workers may be waiting for the user-interface thread; their queued
    // calls must run (and find the owner going away) before they can end.
    auto allDone = [&] {
        for (auto& t : all)
            if (!t->m_Done)
                return false;
        return true;
    };
    if (!allDone()) {
        QTimer tick;
        tick.start(10);
        while (!allDone())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // With every run done, no thread needs the user-interface thread any more.
    for (auto& host : m_RetiredHosts)
        host->Thread.join();
    m_RetiredHosts.clear();
    m_Retired.clear();
    m_Current.reset();
}
