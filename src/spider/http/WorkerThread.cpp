#include "WorkerThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The hidden object on the user-interface thread through which workers hand
// procedures over; created with the first worker component, destroyed with
// the last.
std::mutex g_WindowLock;
QObject* g_Window = nullptr;
int g_WindowUsers = 0;

QObject* AcquireWindow() {
    std::lock_guard lock(g_WindowLock);
    if (g_WindowUsers++ == 0) {
        g_Window = new QObject;
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

// Nice values of the seven priorities, relative to the process's own.
int NiceDelta(int priority) {
    static constexpr int kDelta[] = {19, 10, 5, 0, -5, -10, -20};
    return priority >= tpIdle && priority <= tpTimeCritical ? kDelta[priority] : 0;
}

void ApplyPriority(pid_t tid, int priority) {
    if (tid == 0)
        return;
    errno = 0;
    int base = ::getpriority(PRIO_PROCESS, 0);
    if (errno != 0)
        base = 0;
    int value = std::clamp(base + NiceDelta(priority), -20, 19);
    // Raising needs privileges the user may lack; the worker then keeps the
    // priority it has.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), value);
}

} // namespace

TEventWorkerThread::~TEventWorkerThread() {
    if (m_Thread.joinable())
        m_Thread.detach(); // unreachable in practice: owners join every worker
}

bool TEventWorkerThread::RunInUIThread(const std::function<void()>& proc) {
    if (m_Killed || *m_OwnerDestroying)
        return false;
    QObject* window = Window();
    if (!window)
        return false;
    bool ran = false;
    auto call = [&] {
        // Looked at again here: a kill or the owner's end may have come while
        // the call waited in the queue.
        if (m_Killed || *m_OwnerDestroying)
            return;
        ran = true;
        m_LastDelivery = NowMs();
        try {
            proc();
        } catch (...) {
            // An event handler's error is not the worker's business.
        }
    };
    if (QThread::currentThread() == window->thread())
        call();
    else
        QMetaObject::invokeMethod(window, call, Qt::BlockingQueuedConnection);
    return ran;
}

TCustomWorkerThread::TCustomWorkerThread()
    : m_Destroying(std::make_shared<std::atomic<bool>>(false)) {
    AcquireWindow();
}

TCustomWorkerThread::~TCustomWorkerThread() {
    Shutdown();
    ReleaseWindow();
}

void TCustomWorkerThread::Body(std::shared_ptr<TEventWorkerThread> thread, TWorkerProc execute,
                               TWorkerProc finish, TWorkerErrorProc error) {
    thread->m_Tid = static_cast<pid_t>(::syscall(SYS_gettid));
    // A new thread starts with its creator's priority, which is tpNormal's.
    if (thread->m_Priority != tpNormal)
        ApplyPriority(thread->m_Tid, thread->m_Priority);
    if (!*thread->m_OwnerDestroying && execute) {
        try {
            execute(*thread);
        } catch (...) {
            std::exception_ptr e = std::current_exception();
            if (error)
                thread->RunInUIThread([&] { error(*thread, e); });
        }
    }
    if (!*thread->m_OwnerDestroying && !thread->m_SkipFinish && finish)
        thread->RunInUIThread([&] { finish(*thread); });
    thread->m_Done = true;
    // Wakes a user-interface thread that waits for the end (Wait, Shutdown).
    if (thread->m_Awaited)
        if (QObject* window = Window())
            QMetaObject::invokeMethod(
                window, [] {}, Qt::QueuedConnection);
}

bool TCustomWorkerThread::Start(std::shared_ptr<void> context, bool wait, unsigned waitTimeoutMs) {
    ReapEnded();
    if (m_Current) {
        // Whatever the previous worker still does, it hands nothing over any more.
        m_Current->m_Killed = true;
        m_Current->m_Stop = true;
        m_Retired.push_back(std::move(m_Current));
    }
    auto thread = std::shared_ptr<TEventWorkerThread>(new TEventWorkerThread);
    thread->Context = std::move(context);
    thread->m_OwnerDestroying = m_Destroying;
    thread->m_Priority = m_Priority;
    thread->m_LastDelivery = NowMs();
    m_Current = thread;
    thread->m_Thread =
        std::thread(&TCustomWorkerThread::Body, thread, OnExecute, OnFinish, OnError);
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
    auto joinIfDone = [](std::shared_ptr<TEventWorkerThread>& t) {
        if (t && t->m_Done && t->m_Thread.joinable())
            t->m_Thread.join();
    };
    joinIfDone(m_Current);
    for (auto it = m_Retired.begin(); it != m_Retired.end();) {
        joinIfDone(*it);
        if ((*it)->m_Done)
            it = m_Retired.erase(it);
        else
            ++it;
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
    if (m_Current && !m_Current->m_Done) {
        m_Current->m_Priority = value;
        ApplyPriority(m_Current->m_Tid, value);
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
    // Workers may be waiting for the user-interface thread; their queued
    // calls must run (and find the owner going away) before they can end.
    auto allDone = [&] {
        for (auto& t : all)
            if (!t->m_Done)
                return false;
        return true;
    };
    QTimer tick;
    tick.start(10);
    while (!allDone())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    for (auto& t : all)
        if (t->m_Thread.joinable())
            t->m_Thread.join();
    m_Retired.clear();
    m_Current.reset();
}
